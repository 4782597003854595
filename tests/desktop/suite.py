"""The program as a person uses it: every drop-down list, menu command, shortcut and file dialog
that matters, on a real X server under a real window manager."""

import datetime
import glob
import importlib
import os
import re
import shutil
import subprocess
import sys
import unicodedata
import unittest

import pyatspi

from desktop import (DISC_FIXTURE, VADREL_DB, Desktop, children, extents, labelled_by, showing,
                     wait_for)

TABLE = pyatspi.ROLE_TABLE
COMBO = pyatspi.ROLE_COMBO_BOX
TEXT = pyatspi.ROLE_TEXT
BUTTON = pyatspi.ROLE_PUSH_BUTTON


def column(table, index, rows=8):
    """The texts of one column's first rows as the grid shows them."""
    grid = table.queryTable()
    return [grid.getAccessibleAt(row, index).name for row in range(min(rows, grid.nRows))]


class QueriesPage(Desktop):
    def test_ordering_and_cd_lists_take_a_choice_from_the_popup(self):
        self.click(self.find(self.main, pyatspi.ROLE_PAGE_TAB, " Consultas "))
        order = self.find(self.main, COMBO, label="Ordenado por :")
        cds = self.find(self.main, COMBO, label="CD :")
        grid = self.find(self.main, TABLE, "Programas con sus CDs")
        self.assertEqual(order.name, "Nro. CD")

        cases = [  # list, way, entry, column checked, what it must hold
            (order, "mouse", "Año", 6, "ascending"),
            (order, "keys", "Programa", 2, "ascending"),
            (order, "keys", "Nro. CD", 0, "ascending"),
            (cds, "mouse", "3", 0, "only"),
            (cds, "keys", "5", 0, "only"),
            (cds, "mouse", "Todos", 0, "all"),
        ]
        for combo, way, entry, index, holds in cases:
            with self.subTest(list=labelled(combo), way=way, entry=entry):
                if way == "mouse":
                    self.choose_with_mouse(combo, entry)
                else:
                    self.click_without_opening(combo)
                    self.choose_with_keys(combo, entry)
                # The popup's selected item follows the entry once it closes.
                selected = wait_for("the popup's selection", lambda: selected_names(combo))
                self.assertEqual(selected, [entry])
                if holds == "ascending":
                    wait_for("the grid ordered by %s" % entry,
                             lambda: ordered(column(grid, index, 30), index))
                elif holds == "only":
                    expected = self.catalogue("SELECT count(*) FROM Programas WHERE NroDisco=?",
                                              int(entry))[0][0]
                    wait_for("only CD %s's programs" % entry,
                             lambda: grid.queryTable().nRows == expected
                             and set(column(grid, 0, expected)) == {entry})
                else:
                    total = self.catalogue("SELECT count(*) FROM Programas")[0][0]
                    wait_for("every program", lambda: grid.queryTable().nRows == total)


class CdPage(Desktop):
    def test_cd_added_with_a_date_from_the_calendar_changed_and_deleted(self):
        self.click(self.find(self.main, BUTTON, "    ALTAS    "))
        form = self.window("Nuevo CD")
        number = int(self.find(form, TEXT, label="Nro. CD :").queryText().getText(0, -1))
        self.click(self.find(form, TEXT, label="Descripción :"))
        self.type("Música y vídeo, año 2004")
        date = self.find(form, pyatspi.ROLE_SPIN_BUTTON, label="Fecha :")
        shown = date.queryText().getText(0, -1)
        self.click(date, left=extents(date)[2] - 8)  # the arrow that opens the calendar
        self.keys("Down", "Right", "Return")  # a week and a day later, chosen in the calendar
        picked = datetime.datetime.strptime(shown, "%d/%m/%Y").date() + datetime.timedelta(8)
        wait_for("the date picked", lambda: date.queryText().getText(0, -1)
                 == picked.strftime("%d/%m/%Y"))
        self.click(self.find(form, TEXT, label="Comentario :"))
        self.type("Dos líneas:\nla segunda, ñ")
        self.click(self.find(form, BUTTON, "ACEPTAR"))
        self.close("Information")
        self.close("Nuevo CD")
        self.assertEqual(self.catalogue("SELECT DescripcionDisco, FechaDisco, Comentario FROM Discos"
                                        " WHERE NroDisco=?", number),
                         [("Música y vídeo, año 2004", picked.isoformat(),
                           "Dos líneas:\r\nla segunda, ñ")])

        # The new CD is the current one: changed, then deleted after the question.
        self.click(self.find(self.main, BUTTON, "    MODIFICACIONES    "))
        form = self.window("Modificación CD")
        box = self.find(form, TEXT, label="Descripción :")
        self.click(box)
        self.keys("End")
        self.type(" (copia)")
        self.click(self.find(form, BUTTON, "ACEPTAR"))
        wait_for("the description changed", lambda: self.catalogue(
            "SELECT DescripcionDisco FROM Discos WHERE NroDisco=?", number)
            == [("Música y vídeo, año 2004 (copia)",)])
        if any(w.name == "Modificación CD" for w in self.windows()):
            self.close("Modificación CD")
        self.click(self.find(self.main, BUTTON, "    BAJAS    "))
        question = self.window("Confirm")
        self.click(self.find(question, BUTTON, "Yes"))
        wait_for("the CD deleted", lambda: self.catalogue(
            "SELECT count(*) FROM Discos WHERE NroDisco=?", number) == [(0,)])


class Listing(Desktop):
    def test_listing_written_with_a_column_ticked_and_opened(self):
        self.keys("ctrl+e")
        form = self.window("Exportar ...")
        self.click(self.find(form, pyatspi.ROLE_CHECK_BOX, "Versión"))
        self.click(self.find(form, BUTTON, "GENERAR"))
        self.click(self.find(self.window("Information"), BUTTON, "OK"))
        self.click(self.find(self.window("Confirm"), BUTTON, "Yes"))
        line = wait_for("the listing opened", lambda: self.started())
        self.assertTrue(line[0].startswith("editor") and "Listado.txt" in line[0], line)
        with open(os.path.join(self.folder, "Listado.txt"), encoding="cp1252") as listing:
            text = listing.read()
        for name, version in self.catalogue("SELECT NombrePrograma, Version FROM Programas"
                                            " WHERE Version <> ''"):
            self.assertRegex(text, re.escape(name) + r"\s+" + re.escape(version))


class ProgramWindows(Desktop):
    def test_new_program_saved_with_every_field_typed(self):
        self.menu("Archivo", "Nuevo Programa")
        form = self.window("Nuevo Programa")
        typed = [("Programa :", "Ñandú Café"), ("Versión :", "2.0 beta ü"),
                 ("Empresa :", "Compañía Ibérica"), ("Año :", "2004"),
                 ("Link :", "https://ejemplo.test/ñandú?a=1&b=2"),
                 ("Comentario :", "Línea única: áéíóú ÁÉÍÓÚ ¿¡ ç")]
        for label, text in typed:
            box = self.find(form, TEXT, label=label)
            self.click(box)
            self.type(text)
            wait_for("%s typed, not %r" % (label, box.queryText().getText(0, -1)),
                     lambda: box.queryText().getText(0, -1) == text)
        self.choose_with_mouse(self.find(form, COMBO, label="Licencia :"), "Shareware")
        cd = self.find(form, COMBO, label="Nro. CD :")
        self.click_without_opening(cd)
        self.choose_with_keys(cd, "3")
        self.click(self.find(form, BUTTON, "ACEPTAR"))
        self.close("Information")
        stored = self.catalogue("SELECT NombrePrograma, Version, Empresa, Anio, Link, Comentario,"
                                " Licencia, NroDisco FROM Programas WHERE NombrePrograma=?",
                                typed[0][1])
        self.assertEqual(stored, [(*(t for _, t in typed[:3]), 2004, typed[4][1], typed[5][1],
                                   "Shareware", 3)])
        self.close("Nuevo Programa")

    def test_modify_program_takes_its_lists_choices(self):
        self.click(self.find(self.main, pyatspi.ROLE_PAGE_TAB, " Programas "))
        grid = self.find(self.main, TABLE, "Lista de programas")
        name = wait_for("the current program", lambda: column(grid, 0, 1)[0])
        [(number, licence, cd)] = self.catalogue("SELECT NroPrograma, Licencia, NroDisco"
                                                 " FROM Programas WHERE NombrePrograma=?", name)
        other_licence = "Warez" if licence != "Warez" else "Demo"
        other_cd = str(cd % 12 + 1)
        self.click(self.find(self.main, BUTTON, "    MODIFICACIONES    "))
        form = self.window("Modificación Programa")
        self.choose_with_mouse(self.find(form, COMBO, label="Licencia :"), other_licence)
        box = self.find(form, COMBO, label="Nro. CD :")
        self.click_without_opening(box)
        self.choose_with_keys(box, other_cd)
        self.click(self.find(form, BUTTON, "ACEPTAR"))
        wait_for("the program saved", lambda: self.catalogue(
            "SELECT Licencia, NroDisco FROM Programas WHERE NroPrograma=?", number)
            == [(other_licence, int(other_cd))])


class Commands(Desktop):
    # Menu path, shortcut, and what shows that it ran: a window's title, a page, a started
    # program's line, or the search box taking the focus.
    COMMANDS = [
        (("Archivo", "Nuevo CD"), "ctrl+n", ("window", "Nuevo CD")),
        (("Archivo", "Nuevo Programa"), "ctrl+shift+n", ("window", "Nuevo Programa")),
        (("Archivo", "Catalogar un disco ..."), None, ("window", "Catalogar un disco")),
        (("Archivo", "Abrir catálogo ..."), "ctrl+o", ("window", "Abrir catálogo")),
        (("Archivo", "Exportar listado de programas ..."), "ctrl+e", ("window", "Exportar ...")),
        (("Archivo", "Exportar catálogo ..."), None, ("window", "Exportar catálogo")),
        (("Archivo", "Importar desde CSV ..."), None, ("window", "Importar desde CSV")),
        (("Ver", "Programas"), "ctrl+2", ("page", "Lista de programas")),
        (("Ver", "Consultas"), "ctrl+3", ("page", "Programas con sus CDs")),
        (("Ver", "CDs"), "ctrl+1", ("page", "Lista de CDs")),
        (("Ver", "Buscar en Consultas"), "ctrl+f", ("focus", "Buscar :")),
        (("Ver", "Buscar en todo el catálogo"), "ctrl+shift+f",
         ("window", "Buscar en todo el catálogo")),
        (("Ver", "Estadísticas"), None, ("window", "Estadísticas")),
        (("Ver", "Programas repetidos"), None, ("window", "Programas repetidos")),
        (("Herramientas", "Copia de seguridad (Backup)"), "ctrl+b",
         ("window", "Copia de Seguridad")),
        (("Herramientas", "Bloc de notas"), None, ("started", "editor")),
        (("Herramientas", "Explorador de Windows"), None, ("started", "files")),
        (("Herramientas", "Calculadora"), None, ("started", "calculator")),
        (("Herramientas", "Navegador (predeterminado)"), None, ("started", "browser about:blank")),
        (("Herramientas", "Cliente de correo (predeterminado)"), None, ("started", "mail mailto:")),
        (("Ayuda", "Ayuda"), "F1", ("help", None)),
        (("Ayuda", "Contacto"), None, ("started", "mail mailto:")),
        (("Ayuda", "Acerca de ..."), None, ("window", "Acerca de ...")),
    ]

    def test_every_menu_command_with_the_mouse_and_every_shortcut(self):
        for path, shortcut, (kind, what) in self.COMMANDS:
            for way in ("mouse", "shortcut") if shortcut else ("mouse",):
                with self.subTest(command=" > ".join(path), way=way):
                    before = len(self.started())
                    if way == "mouse":
                        self.menu(*path)
                    else:
                        self.keys(shortcut)
                    self.check(kind, what, before)

    def check(self, kind, what, before):
        if kind == "window":
            self.assert_over_main(self.window(what))
            self.close(what)
        elif kind == "page":  # the page's grid shows
            self.find(self.main, TABLE, what)
        elif kind == "focus":
            box = self.find(self.main, TEXT, label=what)
            wait_for("the focus in %r" % what, lambda: self.focused(box))
        elif kind == "started":
            line = wait_for("%r started" % what, lambda: self.started()[before:])
            self.assertTrue(line[0].startswith(what), line)
        elif kind == "help":
            self.help_window()
            self.close(HELP)

    def assert_over_main(self, window):
        """On screen, title bar included, and centred over the main window, which opened it."""
        x, y, width, height = extents(window)
        mx, my, mwidth, mheight = extents(self.main)
        self.assertGreaterEqual(min(x, y), 0, "%r off the screen" % window.name)
        off = (abs(x + width / 2 - mx - mwidth / 2), abs(y + height / 2 - my - mheight / 2))
        self.assertLessEqual(max(off), 40, "%r not over the main window" % window.name)

    def help_window(self):
        return self.find(self.window(HELP), pyatspi.ROLE_LABEL, "Ayuda de Vadrel")

    def test_help_comes_to_the_front_when_asked_again_and_about_shows(self):
        self.keys("F1")
        self.help_window()
        self.click(self.main, left=8)  # the edge the help window leaves uncovered
        window = self.window(HELP)
        wait_for("the main window active", lambda: self.main.getState().contains(
            pyatspi.STATE_ACTIVE))
        self.keys("F1")  # the help window covers the menu bar
        wait_for("the help window active again", lambda: window.getState().contains(
            pyatspi.STATE_ACTIVE))
        self.close(HELP)
        self.menu("Ayuda", "Acerca de ...")
        about = self.window("Acerca de ...")
        self.click(self.find(about, BUTTON))
        self.gone("Acerca de ...")

    def test_quit_with_the_menu_and_with_its_shortcut(self):
        for way in ("mouse", "shortcut"):
            with self.subTest(way=way):
                if way == "mouse":
                    self.menu("Archivo", "Salir")
                else:
                    self.keys("ctrl+q")
                self.assertEqual(self.program.wait(TIMEOUT_EXIT), 0)
                self.start()


class FileDialogs(Desktop):
    def test_another_catalogue_opened_from_a_typed_folder(self):
        other = os.path.join(self.home, "otro catálogo, 'ñandú' #2")
        subprocess.run([VADREL_DB, "init", "--sample", other], check=True,
                       stdout=subprocess.DEVNULL)
        self.menu("Archivo", "Abrir catálogo ...")
        self.type_into_file_dialog("Abrir catálogo", other)
        bar = self.find(self.main, pyatspi.ROLE_STATUS_BAR)
        wait_for("the new catalogue in the status bar",
                 lambda: any(other in label.name for label in children(bar)))

    def test_disc_folder_read_with_a_licence_from_a_cell_list_and_saved(self):
        self.assertTrue(os.path.isdir(DISC_FIXTURE), "VADREL_DISC_FIXTURE names no disc folder")
        disc = os.path.join(self.home, "disco de 'revista' #3")
        shutil.copytree(DISC_FIXTURE, disc)
        form, grid = self.read_disc(disc)
        rows = grid.queryTable()
        row = next(r for r in range(rows.nRows)
                   if rows.getAccessibleAt(r, 0).getState().contains(pyatspi.STATE_CHECKED))
        name = rows.getAccessibleAt(row, 0).name
        cell = rows.getAccessibleAt(row, 3)
        choice = "Warez" if cell.name != "Warez" else "Demo"
        self.click(cell, repeat=2)
        # The cell's list is an editor inside the table, which the bus does not list: it is
        # chosen from its popup with the keyboard, knowing the entries' order.
        licences = ["Freeware", "Comercial", "Demo", "Trial", "Shareware", "Warez"]
        steps = licences.index(choice) - licences.index(cell.name)
        self.keys("alt+Down", *(["Down"] * steps if steps > 0 else ["Up"] * -steps), "Return")
        self.keys("Return")
        wait_for("the cell's licence", lambda: rows.getAccessibleAt(row, 3).name == choice)
        self.click(self.find(form, BUTTON, "GUARDAR"))
        wait_for("%r stored with its licence" % name, lambda: self.catalogue(
            "SELECT Licencia FROM Programas WHERE NombrePrograma=?", name) == [(choice,)])

    def test_catalogue_exported_to_a_typed_file(self):
        self.menu("Archivo", "Exportar catálogo ...")
        form = self.window("Exportar catálogo")
        self.click(self.find(form, pyatspi.ROLE_RADIO_BUTTON, name=None))
        self.click(self.find(form, BUTTON, "Exportar ..."))
        target = os.path.join(self.home, "exportado 'ñ' #4.csv")
        self.type_into_file_dialog("Exportar catálogo", target)
        wait_for("the exported file", lambda: os.path.exists(target))
        names = [n for (n,) in self.catalogue("SELECT NombrePrograma FROM Programas")]
        def written():
            with open(target, encoding="utf-8-sig") as csv:
                text = csv.read()
            return all(name in text for name in names)
        wait_for("every program in the file", written)

    def test_csv_imported_with_its_fields_chosen_in_the_lists(self):
        source = os.path.join(self.home, "importar 'ñ' #5.csv")
        with open(source, "w", encoding="utf-8") as csv:
            # Titles that say nothing: every column starts left out and is chosen by hand.
            csv.write("Uno,Dos,Tres\nÑandú Gráfico,2,primera\nOtro Más,3,segunda\n")
        self.menu("Archivo", "Importar desde CSV ...")
        self.type_into_file_dialog("Importar desde CSV", source)
        form = self.window("Importar desde CSV")
        for column, way, field in (("Uno", "mouse", "Programa"), ("Dos", "keys", "Nro. CD"),
                                   ("Tres", "mouse", "Comentario")):
            combo = self.find(form, COMBO, label=column + " :")
            self.assertEqual(combo.name, "(no se importa)")
            if way == "mouse":
                self.choose_with_mouse(combo, field)
            else:
                self.click_without_opening(combo)
                self.choose_with_keys(combo, field)
        self.click(self.find(form, BUTTON, "Importar"))
        wait_for("the rows imported", lambda: self.catalogue(
            "SELECT NombrePrograma, NroDisco, Comentario FROM Programas"
            " WHERE NombrePrograma IN ('Ñandú Gráfico', 'Otro Más') ORDER BY NroDisco")
            == [("Ñandú Gráfico", 2, "primera"), ("Otro Más", 3, "segunda")])


TIMEOUT_EXIT = 10
HELP = " "  # the help window's title until a page names it


def labelled(node):
    return (labelled_by(node) or [node.name])[0]


def selected_names(combo):
    return [item.name for item in children(combo.getChildAtIndex(0))
            if item.getState().contains(pyatspi.STATE_SELECTED)]


def ordered(texts, index):
    """texts when they ascend as the grid orders them (numbers as numbers, words accents and case
    aside) and are not all alike, else None."""
    if index in (0, 6):
        values = [int(t) if t.strip() else -1 for t in texts]
    else:
        values = ["".join(c for c in unicodedata.normalize("NFKD", t) if not unicodedata.combining(c))
                  .casefold() for t in texts]
    return texts if values == sorted(values) and len(set(texts)) > 1 else None


# Each window's own cases may live in a suite_*.py beside this file.
for _path in sorted(glob.glob(os.path.join(os.path.dirname(os.path.abspath(__file__)), "suite_*.py"))):
    _module = importlib.import_module(os.path.basename(_path)[:-3])
    globals().update({name: value for name, value in vars(_module).items()
                      if isinstance(value, type) and issubclass(value, unittest.TestCase)})

if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[1:]])
