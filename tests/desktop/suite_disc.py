"""The disc window: what a disc's listing left out is said over the proposal."""

import os
import shutil

import pyatspi

from desktop import DISC_FIXTURE, Desktop, search, wait_for


class DiscUnread(Desktop):
    def test_a_link_leading_off_the_folder_is_named_over_the_proposal(self):
        self.assertTrue(os.path.isdir(DISC_FIXTURE), "VADREL_DISC_FIXTURE names no disc folder")
        disc = os.path.join(self.home, "disco con enlace")
        shutil.copytree(DISC_FIXTURE, disc)
        secret = os.path.join(self.home, "privado.txt")
        with open(secret, "w", encoding="utf-8") as private:
            private.write("Clave privada\n")
        os.symlink(secret, os.path.join(disc, "FILE_ID.DIZ"))
        form, grid = self.read_disc(disc)
        label = wait_for("the label of what was not read", lambda: next(iter(search(
            form, lambda n: n.getRole() == pyatspi.ROLE_LABEL
            and n.name.startswith("No se leyeron"))), None))
        self.assertIn("FILE_ID.DIZ", label.name)
        self.assertIn("fuera del disco", label.name)
        rows = grid.queryTable()
        for row in range(rows.nRows):
            for column in range(rows.nColumns):
                self.assertNotIn("Clave privada", rows.getAccessibleAt(row, column).name)
