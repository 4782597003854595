// The export, backup, help and About windows as the user reads them: captions, sizes, texts and,
// where the windows were drawn to the pixel, places. Compared with the texts themselves, so that
// a blank more or less in a caption is caught.
#include "support/AppFixture.h"
#include "support/QtPrinters.h"
#include "utilities/Acerca.h"
#include "utilities/ayuda.h"
#include "utilities/backup.h"
#include "utilities/exportar.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <gtest/gtest.h>
#include <optional>

namespace {

using WindowTextsTest = AppFixture;

QString textOf(const QWidget *widget) {
    if (auto *box = qobject_cast<const QGroupBox *>(widget))
        return box->title();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    return {};
}

} // namespace

TEST_F(WindowTextsTest, UtilityWindowsShowTheirCaptionsTextsAndPlaces) {
    start();
    struct Control {
        const char *name;
        const char *text;
        std::optional<QRect> place; // in its parent, where the window fixes it
    };
    const struct {
        QWidget *window;
        const char *caption;
        QSize size;
        std::vector<Control> controls;
    } windows[] = {
        {form8(),
         "Exportar ...",
         {281, 239},
         {{"GroupBox1", " Seleccione los campos a incluir en el listado : ", {}},
          {"CheckBox1", "Programa", {}},
          {"CheckBox2", "Versión", {}},
          {"CheckBox3", "Empresa", {}},
          {"CheckBox4", "Licencia", {}},
          {"CheckBox5", "Año", {}},
          {"CheckBox6", "Link", {}},
          {"CheckBox7", "Nro. CD", {}},
          {"CheckBox8", "CD", {}},
          {"Label1",
           "NOTA: El archivo se generará en la carpeta donde se está ejecutando la aplicación.",
           {}},
          {"SpeedButton1", "GENERAR", {}},
          {"SpeedButton2", "CANCELAR", {}}}},
        {form9(),
         "Copia de Seguridad",
         {322, 431},
         {{"GroupBox1", " Seleccione el destino : ", {}},
          {"SpeedButton1", "GENERAR COPIA DE SEGURIDAD", {}},
          {"SpeedButton2", "CERRAR", {}}}},
        // One blank: the title bar shows no text, where an empty title would show the program's
        // name.
        {form10(),
         " ",
         {626, 518},
         {{"Atras", "Atrás", QRect(8, 8, 75, 25)},
          {"Adelante", "Adelante", QRect(87, 8, 75, 25)},
          {"Inicio", "Inicio", QRect(166, 8, 75, 25)},
          {"WebBrowser", "", QRect(8, 40, 609, 468)}}},
        {form7(),
         "Acerca de ...",
         {401, 185},
         {{"Panel1", "", QRect(8, 8, 385, 137)},
          {"Image2", "", QRect(104, 16, 32, 32)},
          {"Label1", "Vadrel versión 1.0", QRect(96, 56, 0, 0)},
          {"Label4", "(14082004)", QRect(96, 72, 0, 0)},
          {"Label3", "Hecho en Argentina", QRect(264, 116, 0, 0)},
          {"Label5", "Contacto :", QRect(16, 160, 0, 0)},
          {"Label6", "vadrel@example.org", QRect(80, 160, 0, 0)},
          {"Button1", "OK", QRect(312, 152, 73, 25)}}},
    };
    for (const auto &expected : windows) {
        SCOPED_TRACE(expected.window->objectName().toStdString());
        EXPECT_EQ(expected.window->windowTitle(), QString::fromUtf8(expected.caption));
        EXPECT_EQ(expected.window->size(), expected.size);
        EXPECT_EQ(expected.window->minimumSize(), expected.size);
        EXPECT_EQ(expected.window->maximumSize(), expected.size);
        for (const Control &control : expected.controls) {
            SCOPED_TRACE(control.name);
            auto *widget = expected.window->findChild<QWidget *>(QLatin1String(control.name));
            ASSERT_NE(widget, nullptr);
            EXPECT_EQ(textOf(widget), QString::fromUtf8(control.text));
            if (!control.place)
                continue;
            // A label's size follows its text; only its corner is fixed.
            if (control.place->isEmpty())
                EXPECT_EQ(widget->pos(), control.place->topLeft());
            else
                EXPECT_EQ(widget->geometry(), *control.place);
        }
    }
}
