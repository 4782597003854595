#pragma once

// Files the tests need that live beside the repository (the legacy Access catalogue, the discs).
// A clone without them skips those tests; under CI (CI=true) a missing file fails them instead, so
// that a green run never hides checks that did not run.
#include <QString>
#include <QtGlobal>
#include <gtest/gtest.h>
#include <string>

inline bool runningUnderCi() {
    return qEnvironmentVariable("CI") == QLatin1String("true");
}

#ifdef VADREL_LEGACY_FIXTURE
// VADREL_LEGACY_FIXTURE from the environment, else the place the build was given.
inline QString legacyFixturePath() {
    const QString set = qEnvironmentVariable("VADREL_LEGACY_FIXTURE");
    return set.isEmpty() ? QStringLiteral(VADREL_LEGACY_FIXTURE) : set;
}
#endif

// Skips the test, or fails it under CI, when `present` is false; returns from the calling
// function either way (SetUp or the test body), as GTEST_SKIP does.
#define SKIP_OR_FAIL_WITHOUT_FIXTURE(present, path)                                                \
    do {                                                                                           \
        if (!(present)) {                                                                          \
            const std::string fixtureMessage_ = "no fixture at " + QString(path).toStdString();    \
            if (runningUnderCi())                                                                  \
                GTEST_FAIL() << fixtureMessage_ << " (CI=true: a missing fixture is a failure)";   \
            else                                                                                   \
                GTEST_SKIP() << fixtureMessage_;                                                   \
        }                                                                                          \
    } while (false)
