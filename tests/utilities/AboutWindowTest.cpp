#include "mainwin/cds_.h"
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "utilities/Acerca.h"
#include "utilities/JpegImage.h"

#include <QAction>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QByteArray banner() {
    QFile file(":/banner.jpg");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

} // namespace

using AboutWindowTest = AppFixture;

// Escape and a click on the address leave it open; Enter closes it.
TEST_F(AboutWindowTest, EnterClosesEscapeDoesNotAndTheAddressWritesToTheMaker) {
    start();
    fake.modal.inside = [this](QDialog *) {
        EXPECT_FALSE(form7()->windowFlags() &
                     (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint |
                      Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_EQ(child<QLabel>(form7(), "Image1")->geometry(),
                  child<QFrame>(form7(), "Panel1")->contentsRect());
        EXPECT_EQ(child<QLabel>(form7(), "Image1")->pixmap().size(), QSize(371, 124));
        EXPECT_EQ(form7()->focusWidget(), child<QPushButton>(form7(), "Button1"));

        QTest::keyClick(form7(), Qt::Key_Escape);
        EXPECT_TRUE(form7()->isVisible());
        QTest::mouseClick(child<QLabel>(form7(), "Label6"), Qt::LeftButton);
        EXPECT_TRUE(form7()->isVisible());
        ASSERT_EQ(fake.shell.opened.size(), 1u);
        EXPECT_EQ(fake.shell.opened[0].target,
                  "mailto:" + child<QLabel>(form7(), "Label6")->text());
        EXPECT_EQ(fake.shell.opened[0].verb, "open");
        EXPECT_EQ(fake.shell.opened[0].mode, platform::Shell::Maximized);
        QTest::keyClick(child<QPushButton>(form7(), "Button1"), Qt::Key_Return);
        EXPECT_FALSE(form7()->isVisible());
    };
    form1()->menuBar()->findChild<QAction *>("Acercade1")->trigger();
    EXPECT_EQ(fake.modal.opened, std::vector<QDialog *>{form7()});
    EXPECT_EQ(child<QLabel>(form7(), "Label6")->text(), "vadrel@example.org");
    EXPECT_TRUE(fake.dialogs.boxes.empty());
}

// Damaged data gives no picture at all, never a half-drawn one, and the window still opens.
TEST_F(AboutWindowTest, DamagedBannerLeavesThePanelWithoutPicture) {
    const QByteArray good = banner();
    const QImage image = decodeJpeg(good);
    ASSERT_EQ(image.size(), QSize(371, 124));
    EXPECT_GT(qGray(image.pixel(370, 123)), 240); // the white background

    QByteArray flipped = good;
    for (qsizetype i = flipped.size() / 3; i < flipped.size() - 2; i += 7)
        flipped[i] = char(flipped[i] ^ 0x5a);
    const QByteArray damaged[] = {
        {}, "not a picture at all", good.left(200), good.left(good.size() / 2), flipped,
    };
    for (const QByteArray &data : damaged)
        EXPECT_TRUE(decodeJpeg(data).isNull()) << data.size();

    start();
    form7()->showBanner(good.left(good.size() / 2));
    EXPECT_TRUE(child<QLabel>(form7(), "Image1")->pixmap().isNull());
    form1()->menuBar()->findChild<QAction *>("Acercade1")->trigger();
    EXPECT_EQ(fake.modal.opened.size(), 1u);
}
