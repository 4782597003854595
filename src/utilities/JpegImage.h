#pragma once

#include <QByteArray>
#include <QImage>

// Decodes JPEG data with libjpeg. Anything libjpeg does not accept whole (a damaged or cut
// stream, a colour model it cannot turn into RGB) gives a null image, never a half-drawn one.
QImage decodeJpeg(const QByteArray &data);
