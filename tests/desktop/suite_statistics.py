"""The statistics window: its pages, and a chart saved as an image through the file dialog."""

import os

import pyatspi

from desktop import Desktop, wait_for


class Statistics(Desktop):
    def test_pages_switched_and_a_chart_saved_under_a_name_typed_without_png(self):
        self.menu("Ver", "Estadísticas")
        form = self.window("Estadísticas")
        for tab, table in [("Por año", "Programas por año"), ("Por CD", "Programas por CD"),
                           ("Empresas", "Programas por empresa")]:
            with self.subTest(tab=tab):
                self.click(self.find(form, pyatspi.ROLE_PAGE_TAB, tab))
                self.find(form, pyatspi.ROLE_TABLE, table)
        self.click(self.find(form, pyatspi.ROLE_PUSH_BUTTON, "Guardar imagen ..."))
        target = os.path.join(self.home, "gráfico de empresas")
        self.type_into_file_dialog("Guardar imagen", target)

        def png():
            with open(target + ".png", "rb") as image:
                return image.read(8) == b"\x89PNG\r\n\x1a\n"
        wait_for("the image saved with .png", lambda: os.path.exists(target + ".png") and png())
        self.assertFalse(os.path.exists(target))
