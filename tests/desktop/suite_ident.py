"""Cataloguing the discs of a set: the second one, with the first one's label and date, is
proposed as a disc of its own; the first one read again is asked about."""

import os
import shutil

import pyatspi

from desktop import DISC_FIXTURE, Desktop, wait_for

BUTTON = pyatspi.ROLE_PUSH_BUTTON


class DiscSets(Desktop):
    def disc(self, number):
        """A copy of the fixture with the set's label in the code page of the time, every file of
        one copied moment; the second disc holds one more file."""
        disc = os.path.join(self.home, "enciclopedia 'cd%d'" % number)
        shutil.copytree(DISC_FIXTURE, disc)
        with open(os.path.join(disc, "AUTORUN.INF"), "w", encoding="cp1252") as inf:
            inf.write("[autorun]\r\nopen=MENU.EXE\r\nlabel=Enciclopedia Ñandú\r\n")
        if number == 2:
            shutil.copy(os.path.join(disc, "MENU.EXE"), os.path.join(disc, "TOMO2.EXE"))
        for folder, _, files in os.walk(disc):
            for name in files:
                os.utime(os.path.join(folder, name), (1700000000, 1700000000))
        return disc

    def read(self, disc):
        """Reads a disc in a fresh window; the question asked before proposing it, if any."""
        form = self.start_reading_disc(disc)
        grid = self.find(form, pyatspi.ROLE_TABLE, "Programas propuestos")
        asked = wait_for("the proposal or a question", lambda: next(
            (w for w in self.windows() if w.name == "Confirm"), None)
            or (grid.queryTable().nRows > 0 and "proposed"), timeout=60)
        return form, asked

    def stored(self):
        return self.catalogue("SELECT Comentario FROM Discos WHERE DescripcionDisco = ?",
                              "Enciclopedia Ñandú")

    def test_second_disc_of_a_set_stored_and_the_first_read_again_asked_about(self):
        first, second = self.disc(1), self.disc(2)
        for disc, count in ((first, 1), (second, 2)):
            form, asked = self.read(disc)
            self.assertEqual(asked, "proposed", "%s taken for a disc already catalogued" % disc)
            self.click(self.find(form, BUTTON, "GUARDAR"))
            self.window("Information")
            self.keys("Return")
            self.gone("Catalogar un disco")
            wait_for("%d CDs of the set stored" % count, lambda: len(self.stored()) == count)
        # A copied folder's single date is no disc's date: the comment says so.
        self.assertTrue(all("Fecha del disco desconocida." in c for (c,) in self.stored()))

        _, asked = self.read(first)
        self.assertNotEqual(asked, "proposed", "the same disc again was not asked about")
        self.keys("Escape")  # No: nothing is stored
        self.gone("Confirm")
        self.assertEqual(len(self.stored()), 2)
