"""A disc's proposal as a person checks it: a licence no word on the disc names is shown as a
guess, and stops being one once a licence is chosen from the cell's list."""

import os
import shutil

from desktop import DISC_FIXTURE, Desktop, wait_for

LICENCES = ["Freeware", "Comercial", "Demo", "Trial", "Shareware", "Warez"]


class GuessedLicence(Desktop):
    def test_guessed_licence_marked_until_one_is_chosen(self):
        self.assertTrue(os.path.isdir(DISC_FIXTURE), "VADREL_DISC_FIXTURE names no disc folder")
        disc = os.path.join(self.home, "disco")
        shutil.copytree(DISC_FIXTURE, disc)
        form, grid = self.read_disc(disc)
        rows = grid.queryTable()
        row = next(r for r in range(rows.nRows) if rows.getAccessibleAt(r, 0).name == "Ajedrez")
        trial = next(r for r in range(rows.nRows) if rows.getAccessibleAt(r, 3).name == "Trial")
        guess = lambda r: rows.getAccessibleAt(r, 3).description.startswith("Licencia supuesta")
        self.assertTrue(guess(row))
        self.assertFalse(guess(trial))

        cell = rows.getAccessibleAt(row, 3)
        self.click(cell, repeat=2)
        steps = LICENCES.index("Shareware") - LICENCES.index(cell.name)
        self.keys("alt+Down", *(["Down"] * steps), "Return")
        self.keys("Return")
        wait_for("the chosen licence", lambda: rows.getAccessibleAt(row, 3).name == "Shareware")
        wait_for("the guess's mark gone", lambda: not guess(row))
