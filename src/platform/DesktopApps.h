#pragma once

#include <QByteArray>

// The desktop's own choice of program for an address or a kind of file, as its file manager and
// its settings see it: the desktop entries and the mimeapps.list defaults of the XDG directories.
// Each call starts the program detached and says whether one was started; nothing is shown.
namespace platform::desktop {

// Opens `uri` (encoded) in the default web browser: the handler of https, else of http, else of
// HTML pages. For addresses no program claims for themselves, such as about:blank.
bool openInBrowser(const QByteArray &uri);

// Hands `uri` (encoded) as it is to the default handler of its own scheme (mailto: ...).
bool openWithSchemeHandler(const QByteArray &uri);

// Opens `uri` (encoded) with its default program: by its scheme, or for a file by its content.
bool openWithDefault(const QByteArray &uri);

// Starts the default program for `mimeType` ("text/plain", "inode/directory") without arguments.
bool startDefault(const QByteArray &mimeType);

} // namespace platform::desktop
