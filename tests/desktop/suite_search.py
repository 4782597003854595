"""The catalogue search as a person uses it: opened from the menu, typed into, kept true while a
program is renamed in its own window beside it, closed with Escape."""

import pyatspi

from desktop import Desktop, extents, wait_for, xdotool
from suite import BUTTON, TABLE, TEXT, column

TITLE = "Buscar en todo el catálogo"


class CatalogueSearch(Desktop):
    def search(self, window, words):
        """Types words over the box's text; returns what reads the names the grid lists."""
        self.click(self.find(window, TEXT, "Palabras a buscar"))
        self.keys("ctrl+a")
        self.type(words)
        found = self.find(window, TABLE, "Programas encontrados")
        return lambda: column(found, 0, 60)

    def test_search_shows_a_rename_saved_beside_it_and_closes_with_escape(self):
        self.click(self.find(self.main, pyatspi.ROLE_PAGE_TAB, " Programas "))
        grid = self.find(self.main, TABLE, "Lista de programas")
        name = wait_for("the current program", lambda: column(grid, 0, 1)[0])
        renamed = name.split()[0] + " renombrado ñandú"
        self.menu("Ver", TITLE)
        window = self.window(TITLE)
        names = self.search(window, name.split()[0])
        wait_for("%r found" % name, lambda: name in names())

        # Dragged by its title bar below the main window's buttons, and left open there.
        button = self.find(self.main, BUTTON, "    MODIFICACIONES    ")
        x, y, width, _ = extents(window)
        below = extents(button)[1] + extents(button)[3] + 40
        xdotool("mousemove", x + width // 2, y - 10, "sleep", 0.1, "mousedown", 1, "mousemove",
                x + width // 2 + 5, y - 5, "sleep", 0.1, "mousemove", x + width // 2, below,
                "sleep", 0.1, "mouseup", 1)
        wait_for("the search moved down", lambda: extents(window)[1] > below)
        self.click(button)
        form = self.window("Modificación Programa")
        self.click(self.find(form, TEXT, label="Programa :"))
        self.keys("ctrl+a")
        self.type(renamed)
        self.click(self.find(form, BUTTON, "ACEPTAR"))
        wait_for("the program saved", lambda: self.catalogue(
            "SELECT count(*) FROM Programas WHERE NombrePrograma=?", renamed) == [(1,)])
        self.gone("Modificación Programa")

        wait_for("the new name in place of the old", lambda: renamed in names()
                 and name not in names())
        names = self.search(window, "ÑANDU renombrado")
        wait_for("the new name found by its words", lambda: renamed in names())
        self.keys("Escape")
        self.gone(TITLE)
