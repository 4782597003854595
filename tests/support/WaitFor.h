#pragma once

// A wait for the event loop that gtest sees. QTRY_* report to QtTest, not to gtest, and return
// only from the function they are written in: inside a helper the test went on as if it had
// waited. This records a gtest failure naming what was awaited and returns false, so that a
// caller can ASSERT_TRUE(waitFor(...)).
#include <QTest>
#include <gtest/gtest.h>

template <class Predicate>
[[nodiscard]] bool waitFor(Predicate ready, const char *what, int timeoutMs = 5000) {
    if (QTest::qWaitFor(ready, timeoutMs))
        return true;
    ADD_FAILURE() << "still waiting after " << timeoutMs << " ms for " << what;
    return false;
}
