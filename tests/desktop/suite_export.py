"""The export window on a large catalogue: the progress window comes up over it, and "Cancelar"
stops the export with no file written."""

import os
import sqlite3
import zipfile

import pyatspi

from desktop import Desktop, search, still_showing, wait_for

BUTTON = pyatspi.ROLE_PUSH_BUTTON
PROGRAMS = 200000


class ExportProgress(Desktop):
    def start(self):
        # Enough programs for a PDF that lasts many seconds.
        with sqlite3.connect(os.path.join(self.folder, "db.mdb")) as db:
            first = db.execute("SELECT max(NroPrograma) FROM Programas").fetchone()[0] + 1
            db.executemany(
                "INSERT INTO Programas (NroPrograma, NroDisco, NombrePrograma, Version, Link)"
                " VALUES (?, 1, ?, '1.0', 'https://ejemplo.org/descargas/programa')",
                ((n, "Programa %d" % n) for n in range(first, first + PROGRAMS)))
        super().start()

    def progress_window(self):
        """The window with "Cancelar" that has come up over the export window."""
        def has_cancel(window):
            return search(window, lambda n: n.getRole() == BUTTON and n.name == "Cancelar")
        return wait_for("the progress window", lambda: next(
            (w for w in self.windows() if w.name == "Exportar catálogo" and has_cancel(w)), None))

    def test_pdf_export_cancelled_from_the_progress_window(self):
        self.menu("Archivo", "Exportar catálogo ...")
        form = self.window("Exportar catálogo")
        note = self.find(form, pyatspi.ROLE_LABEL)
        self.assertIn("como Texto", note.name)  # how to keep versions such as 007 as they are
        self.click(self.find(form, pyatspi.ROLE_RADIO_BUTTON,
                             "Informe PDF, el mismo informe en páginas A4"))
        before = set(os.listdir(self.home))
        target = os.path.join(self.home, "informe 'ñ' #6.pdf")
        self.click(self.find(form, BUTTON, "Exportar ..."))
        self.type_into_file_dialog("Exportar catálogo", target)
        progress = self.progress_window()
        self.click(self.find(progress, BUTTON, "Cancelar"))
        wait_for("the progress window closed", lambda: not still_showing(progress))
        self.assertEqual(set(os.listdir(self.home)), before)  # no file, no leftover
        # The export window stays for another choice, and answers.
        self.assertTrue(still_showing(form))
        self.close("Exportar catálogo")


class ExportSpreadsheet(Desktop):
    def test_catalogue_exported_as_a_spreadsheet_to_a_typed_file(self):
        self.menu("Archivo", "Exportar catálogo ...")
        form = self.window("Exportar catálogo")
        self.click(self.find(form, pyatspi.ROLE_RADIO_BUTTON, ODS))
        self.click(self.find(form, BUTTON, "Exportar ..."))
        target = os.path.join(self.home, "hoja 'ñ' #7.ods")
        self.type_into_file_dialog("Exportar catálogo", target)
        wait_for("the exported file", lambda: os.path.exists(target))
        with zipfile.ZipFile(target) as sheet:
            self.assertEqual(sheet.namelist()[0], "mimetype")
            content = sheet.read("content.xml").decode("utf-8")
        for (name,) in self.catalogue("SELECT NombrePrograma FROM Programas"):
            self.assertIn("<text:p>%s</text:p>" % name.replace("&", "&amp;"), content)


ODS = "Hoja de cálculo ODS, con cada texto tal como está (también versiones como 007 o 1.10)"
