"""The menus without a mouse, and where file dialogs start."""

import os

import pyatspi

from desktop import Desktop, children, showing, wait_for
from suite import Commands

TEXT = pyatspi.ROLE_TEXT


class MenuKeys(Desktop):
    # Alt and the menu's letter, the item's letter, and what shows that it ran.
    COMMANDS = [
        ("alt+a", "n", ("window", "Nuevo CD")),
        ("alt+a", "i", ("window", "Importar desde CSV")),
        ("alt+v", "e", ("window", "Estadísticas")),
        ("alt+v", "o", ("page", "Programas con sus CDs")),
        ("alt+h", "c", ("window", "Copia de Seguridad")),
        ("alt+y", "d", ("window", "Acerca de ...")),
    ]
    check = Commands.check
    assert_over_main = Commands.assert_over_main

    def test_menu_commands_by_their_underlined_letters(self):
        for menu, item, (kind, what) in self.COMMANDS:
            with self.subTest(keys=menu + " " + item):
                self.keys(menu)
                wait_for("a menu open", self.open_menu)
                self.keys(item)
                self.check(kind, what, 0)

    def test_file_dialog_starts_where_that_kind_was_last_chosen(self):
        folder = os.path.join(self.home, "hojas de cálculo, 'viejas'")
        os.mkdir(folder)
        csv = os.path.join(folder, "lista.csv")
        with open(csv, "w", encoding="utf-8") as out:
            out.write("Nro. CD,Programa\r\n1,Ñandú\r\n")
        self.menu("Archivo", "Importar desde CSV ...")
        self.type_into_file_dialog("Importar desde CSV", csv)
        self.close("Importar desde CSV")
        self.menu("Archivo", "Importar desde CSV ...")
        dialog = self.window("Importar desde CSV")
        # The dialog names its folder in its "Buscar en" list, and the name box is empty.
        wait_for("the dialog in the folder last used", lambda: self.find(
            dialog, pyatspi.ROLE_COMBO_BOX, name=folder, timeout=1))
        name = wait_for("the name box focused", lambda: next(
            (n for n in self.texts(dialog) if self.focused(n)), None))
        self.assertEqual(name.queryText().getText(0, -1), "")
        self.keys("Escape")
        self.gone("Importar desde CSV")

    def open_menu(self):
        for menu in children(self.find(self.main, pyatspi.ROLE_MENU_BAR)):
            for popup in children(menu):
                if popup is not None and popup.getRole() == pyatspi.ROLE_POPUP_MENU and showing(popup):
                    return popup
        return None

    def texts(self, root):
        found = []
        stack = [root]
        while stack:
            node = stack.pop()
            if node is None:
                continue
            if node.getRole() == TEXT:
                found.append(node)
            stack.extend(node[i] for i in range(node.childCount))
        return found
