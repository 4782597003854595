#include "platform/Application.h"

#include <QApplication>
#include <gtest/gtest.h>

// Real widgets on the offscreen platform, set up as the program sets itself up; CTest fixes the
// locale through LANG.
int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::prepareApplication(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
