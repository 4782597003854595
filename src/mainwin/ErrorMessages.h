#pragma once

#include <QString>
#include <exception>

// The text of the error box for a failure: one Spanish sentence, in the style of the fixed
// message for a CD that still has programs, saying what failed (naming the file where there is
// one); the engine's own words follow on a second line only where they add a technical detail.
QString errorMessage(std::exception_ptr failure);

// A sentence in the same form: blanks around it, and the technical detail, when there is one,
// on a second line, cut to a readable length.
QString errorText(const QString &sentence, const QString &detail = {});
