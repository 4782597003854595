#include <QCoreApplication>
#include <QLocale>
#include <gtest/gtest.h>

// Results must not depend on the machine's locale: dates are dd/MM/yyyy as in es_AR.
int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QStringLiteral("es_AR")));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
