#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

// Real widgets on the offscreen platform, with dates as in es_AR whatever the machine says.
int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QStringLiteral("es_AR")));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
