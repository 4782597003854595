"""The CSV import window: how the file is read, its choices, and rows the catalogue has."""

import os

import pyatspi

from desktop import Desktop, search, wait_for
from suite import BUTTON, COMBO, TABLE

CHECK = pyatspi.ROLE_CHECK_BOX
TITLES = "La primera fila tiene los títulos"


class CsvImport(Desktop):
    def open(self, content):
        source = os.path.join(self.home, "lista 'ñ' #6.csv")
        with open(source, "wb") as csv:
            csv.write(content)
        self.menu("Archivo", "Importar desde CSV ...")
        self.type_into_file_dialog("Importar desde CSV", source)
        return self.window("Importar desde CSV")

    def says(self, form, text):
        """Waits until a label of the window says `text`."""
        return wait_for("a label saying %r" % text, lambda: next(iter(search(
            form, lambda n: n.getRole() == pyatspi.ROLE_LABEL and text in n.name)), None))

    def test_titles_box_rereads_the_file(self):
        form = self.open("Ñandú Gráfico,2\nOtro Más,3\n".encode())
        box = self.find(form, CHECK, TITLES)
        self.assertFalse(box.getState().contains(pyatspi.STATE_CHECKED))  # numbers under text
        self.says(form, "Se importarán 2 líneas.")
        self.assertEqual(self.find(form, COMBO, label="Columna 1 :").name, "Programa")
        self.click(box)
        self.says(form, "No se importará nada: falta la columna del número de CD")
        self.find(form, COMBO, label="Ñandú Gráfico :")
        self.click(box)
        self.says(form, "Se importarán 2 líneas.")
        self.click(self.find(form, BUTTON, "Importar"))
        wait_for("both rows imported", lambda: self.catalogue(
            "SELECT NombrePrograma, NroDisco FROM Programas WHERE NroDisco IN (2, 3)"
            " AND NombrePrograma IN ('Ñandú Gráfico', 'Otro Más') ORDER BY NroDisco")
            == [("Ñandú Gráfico", 2), ("Otro Más", 3)])

    def test_encoding_chosen_from_its_list_names_the_lines_it_cannot_read(self):
        form = self.open(b"Nro. CD,Programa\r\n7,\xd1and\xfa Viejo\r\n")
        encoding = self.find(form, COMBO, label="Codificación:")
        self.assertEqual(encoding.name, "Windows-1252")
        errors = self.find(form, TABLE, "Líneas que no se pueden guardar")
        self.choose_with_mouse(encoding, "UTF-8")
        wait_for("line 2 named", lambda: errors.queryTable().nRows == 1
                 and errors.queryTable().getAccessibleAt(0, 0).name == "2")
        self.click_without_opening(encoding)
        self.choose_with_keys(encoding, "Windows-1252")
        wait_for("no bad line", lambda: errors.queryTable().nRows == 0)
        self.click(self.find(form, BUTTON, "Importar"))
        wait_for("the row imported", lambda: self.catalogue(
            "SELECT NroDisco FROM Programas WHERE NombrePrograma = 'Ñandú Viejo'") == [(7,)])

    def test_rows_the_catalogue_has_are_left_out_unless_added_again(self):
        rows = self.catalogue("SELECT NroDisco, NombrePrograma, ifnull(Version, '') FROM Programas"
                              " ORDER BY NroPrograma LIMIT 3")
        before = self.catalogue("SELECT count(*) FROM Programas")[0][0]
        text = "Nro. CD,Programa,Versión\r\n" + "".join(
            '%d,"%s","%s"\r\n' % (cd, name.replace('"', '""'), version.replace('"', '""'))
            for cd, name, version in rows)
        form = self.open(text.encode())
        self.says(form, "3 filas ya están en el catálogo")
        importar = self.find(form, BUTTON, "Importar")
        self.assertFalse(importar.getState().contains(pyatspi.STATE_ENABLED))
        again = self.find(form, COMBO, label="¿Qué hacer con las filas que ya están en el "
                                             "catálogo (el mismo CD, programa y versión)?")
        self.assertEqual(again.name, "No importarlas")
        self.choose_with_mouse(again, "Importarlas de nuevo")
        wait_for("Importar enabled", lambda: importar.getState().contains(pyatspi.STATE_ENABLED))
        self.click(importar)
        wait_for("the rows added again", lambda: self.catalogue(
            "SELECT count(*) FROM Programas")[0][0] == before + 3)
