#!/usr/bin/python3
"""The workbook through quillmere-cli, read and edited with openpyxl, an
independent reader and writer of workbooks.

usage: workbook_test.py QUILLMERE_CLI RELEASE_IMAGE

On images laid out like each release (RELEASE_IMAGE ROW FILE makes them):
an unchanged workbook imports as "Nothing changed." and writes nothing; on a
Gold and a Crystal row, the workbook holds exactly each table's CSV export,
with hex texts as text cells, numbers as numbers, bold frozen headers and a
dropdown on every list column that offers each value the column holds; cells
changed and rows added with openpyxl import to the very bytes that the same
edits give through the CSV tables; the About sheet guards against another
image; hostile workbooks are refused with one message, within bounded memory,
writing nothing.
"""

import csv
import hashlib
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

try:
    import openpyxl
except ImportError:
    print("skipped: openpyxl (Debian python3-openpyxl) is not installed")
    sys.exit(77)

CLI = RELEASE_IMAGE = None
ROWS = range(12)
GOLD_ROW, CRYSTAL_ROW = 0, 3
SHEETS = ["Species", "Machines", "Evolutions", "Moves", "Egg moves"]
TABLES = dict(zip(SHEETS, ["species", "machines", "evolutions", "moves", "egg-moves"]))
LIST_COLUMNS = {
    "Species": ["Type1", "Type2", "Item1", "Item2", "Growth", "Sprite", "Cry"],
    "Evolutions": ["Method", "Item", "When", "Stats", "Into"],
    "Moves": ["Move"],
    "Egg moves": ["Move"],
}
NUMBER_COLUMNS = {"Position", "HP", "ATK", "DEF", "SPD", "SATK", "SDEF", "RATE", "EXP", "Cycles", "Growth", "Pitch",
                  "Echo", "Length", "Gender", "Level"}


def run(*args, check=True):
    done = subprocess.run([CLI, *args], capture_output=True, text=True)
    if check and done.returncode != 0:
        raise AssertionError(f"quillmere-cli {' '.join(args)} failed ({done.returncode}):\n{done.stderr}")
    return done


def sha1(path):
    with open(path, "rb") as f:
        return hashlib.sha1(f.read()).hexdigest()


class Workbooks(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="workbook-test-")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def path(self, name):
        return os.path.join(self.dir, name)

    def image(self, row, name="image.gbc"):
        subprocess.run([RELEASE_IMAGE, str(row), self.path(name)], check=True, capture_output=True)
        return self.path(name)

    def export(self, image, name="tables.xlsx"):
        run("export", image, "-o", self.path(name))
        return self.path(name)

    def csv_rows(self, image, table):
        return list(csv.reader(io.StringIO(run("export", image, "--table", table).stdout)))

    def test_an_unchanged_workbook_changes_nothing_on_every_release_row(self):
        for row in ROWS:
            with self.subTest(row=row):
                image = self.image(row)
                before = sha1(image)
                workbook = self.export(image)
                done = run("import", image, workbook)
                self.assertIn("Nothing changed.", done.stdout)
                self.assertEqual(sha1(image), before)

    def test_the_sheets_hold_the_csv_tables_with_typed_cells_and_dropdowns(self):
        for row in (GOLD_ROW, CRYSTAL_ROW):
            with self.subTest(row=row):
                image = self.image(row)
                book = openpyxl.load_workbook(self.export(image))
                visible = [ws.title for ws in book.worksheets if ws.sheet_state == "visible"]
                self.assertEqual(visible, SHEETS + ["About"])
                self.assertEqual(book.sheetnames[-1], "About")
                for sheet in SHEETS:
                    self.check_sheet(book, book[sheet], self.csv_rows(image, TABLES[sheet]))
                about = {r[0].value: r[1].value for r in book["About"].iter_rows()}
                self.assertEqual(about["SHA-1"], sha1(image))
                self.assertIn("Kreblin", about["Version"])

    def check_sheet(self, book, ws, rows):
        self.assertEqual(ws.freeze_panes, "A2")
        header = [c.value for c in ws[1]]
        self.assertEqual(header, rows[0])
        self.assertTrue(all(c.font.b for c in ws[1]))
        self.assertEqual(ws.max_row, len(rows))
        for r, expected in enumerate(rows[1:], start=2):
            for cell, text in zip(ws[r], expected):
                column = rows[0][cell.column - 1]
                if text == "":
                    self.assertIsNone(cell.value, cell.coordinate)
                elif column in NUMBER_COLUMNS or ws.title == "Machines" and column != "Species":
                    self.assertEqual((cell.data_type, cell.value), ("n", int(text)), cell.coordinate)
                else:  # hex texts ("0E12" stays so), names and list entries
                    self.assertEqual((cell.data_type, cell.value), ("s", text), cell.coordinate)
        self.check_dropdowns(book, ws, rows[0])

    def check_dropdowns(self, book, ws, header):
        """Every list column has a dropdown whose entries hold each value of the column."""
        lists = book["Lists"]
        self.assertEqual(lists.sheet_state, "hidden")
        ranges = {}
        for validation in ws.data_validations.dataValidation:
            self.assertEqual(validation.type, "list")
            for cells in str(validation.sqref).split():
                ranges[cells.split(":")[0].rstrip("0123456789")] = validation.formula1
        wanted = LIST_COLUMNS.get(ws.title, header[2:] if ws.title == "Machines" else [])
        for name in wanted:
            letter = openpyxl.utils.get_column_letter(header.index(name) + 1)
            self.assertIn(letter, ranges, f"{ws.title}!{name} has no dropdown")
            sheet, cells = ranges[letter].split("!")
            self.assertEqual(sheet, "Lists")
            entries = {c.value for row in lists[cells.replace("$", "")] for c in row}
            # Values the list cannot name (the test pattern's bytes) are written as codes.
            values = {c.value for c in ws[letter][1:] if c.value is not None}
            named = {v for v in values if not re.fullmatch(r"[0-9A-F]{2}|[0-9]+", str(v)) or v in (0, 1)}
            self.assertTrue(named, f"{ws.title}!{name}")
            self.assertLessEqual(named, entries, f"{ws.title}!{name}")

    def test_edits_made_with_openpyxl_import_as_the_same_edits_through_csv(self):
        image = self.image(CRYSTAL_ROW)
        by_csv = self.image(CRYSTAL_ROW, "by-csv.gbc")
        workbook = self.export(image)
        book = openpyxl.load_workbook(workbook)
        species, moves = book["Species"], book["Moves"]
        hp = [c.value for c in species[1]].index("HP") + 1
        species.cell(row=7, column=hp).value = 77           # Position 5
        species.cell(row=8, column=hp + 6).value = "FIRE"   # Type1 of Position 6, by text
        move = moves["D3"].value
        moves.append([3, "Charmander", 50, move])  # a level-up move more: the lists grow
        book.save(workbook)

        dry = run("import", image, workbook, "--dry-run")
        self.assertIn("Dry run: nothing was written.", dry.stdout)
        self.assertEqual(sha1(image), sha1(by_csv))
        run("import", image, workbook)

        # The same edits through the CSV tables: moves, then the two fields.
        table = self.csv_rows(by_csv, "moves")
        table.append(["3", "Charmander", "50", move])
        self.write_csv("moves.csv", table)
        run("import", by_csv, self.path("moves.csv"), "--table", "moves")
        table = self.csv_rows(by_csv, "species")
        table[6][table[0].index("HP")] = "77"
        table[7][table[0].index("Type1")] = "FIRE"
        self.write_csv("species.csv", table)
        run("import", by_csv, self.path("species.csv"))
        self.assertEqual(sha1(image), sha1(by_csv))

        # The workbook's Pointer column is now stale (the lists moved): taken
        # again it is refused, and nothing is written.
        again = run("import", image, workbook, check=False)
        self.assertEqual(again.returncode, 1)
        self.assertIn("Species row 6 (Pointer)", again.stderr)
        self.assertEqual(sha1(image), sha1(by_csv))

    def write_csv(self, name, rows):
        with open(self.path(name), "w", newline="") as f:
            csv.writer(f).writerows(rows)

    def test_deleted_rows_species_cells_and_header_notes(self):
        """Deleting every row of a species from a list sheet is refused, one row with only its Position empties its
        list; a Species cell naming another species is refused; header notes explain the coded values."""
        image = self.image(GOLD_ROW)
        before = sha1(image)
        workbook = self.export(image)
        book = openpyxl.load_workbook(workbook)
        self.assertIn("31 1 in 8 female", book["Species"].cell(row=1, column=self.column(book["Species"], "Gender")).comment.text)
        self.assertIn("3 Medium Slow", book["Species"].cell(row=1, column=self.column(book["Species"], "Growth")).comment.text)
        self.assertRegex(book["Machines"]["C1"].comment.text, r"^TM01 \w+")
        about = {r[0].value: r[1].value for r in book["About"].iter_rows()}
        self.assertIn("whose rows are all deleted is refused", about["List sheets"])

        moves = book["Moves"]
        rows = [c.row for c in moves["A"] if c.value == 4]
        self.assertGreater(len(rows), 1)
        moves.delete_rows(rows[0], len(rows))
        book.save(self.path("deleted.xlsx"))
        refused = run("import", image, self.path("deleted.xlsx"), check=False)
        self.assertEqual(refused.returncode, 1)
        self.assertIn(f"Moves row {rows[0]}: no rows for 4 ", refused.stderr)
        self.assertIn("1 value or row was refused", refused.stderr)

        moves.insert_rows(rows[0])
        moves.cell(row=rows[0], column=1).value = 4
        book.save(self.path("emptied.xlsx"))
        emptied = run("import", image, self.path("emptied.xlsx"), "--dry-run")
        self.assertIn("Would change the data of 1 species", emptied.stdout)

        book = openpyxl.load_workbook(workbook)
        book["Evolutions"]["B2"].value = "Pikachu"
        book.save(self.path("swapped.xlsx"))
        swapped = run("import", image, self.path("swapped.xlsx"), check=False)
        self.assertEqual(swapped.returncode, 1)
        self.assertIn("Evolutions!B2 (Species): Species names 24 Pikachu, but Position 0 is Bulbasaur.", swapped.stderr)
        self.assertEqual(sha1(image), before)

    @staticmethod
    def column(ws, name):
        return [c.value for c in ws[1]].index(name) + 1

    def test_one_sheet_only_with_table(self):
        image = self.image(GOLD_ROW)
        workbook = self.export(image)
        book = openpyxl.load_workbook(workbook)
        book["Species"]["D2"].value = 1  # HP
        book["Moves"]["C3"].value = 99
        book.save(workbook)
        # Refusals of every sheet, each in its cell; nothing written.
        book["Moves"]["D4"].value = "Vine Wip"
        book["Species"]["E3"].value = 300  # ATK
        book.save(workbook)
        refused = run("import", image, workbook, check=False)
        self.assertEqual(refused.returncode, 1)
        self.assertIn("Moves!D4 (Move): Move must be", refused.stderr)
        self.assertIn("Species!E3 (ATK)", refused.stderr)
        self.assertIn('2 values or rows were refused', refused.stderr)
        self.assertEqual(sha1(image), sha1(self.image(GOLD_ROW, "o.gbc")))
        book["Moves"]["D4"].value = book["Moves"]["D3"].value
        book.save(workbook)

        done = run("import", image, workbook, "--table", "moves")
        self.assertNotIn("HP", done.stdout)
        self.assertEqual(self.csv_rows(image, "species")[1][2], self.csv_rows(self.image(GOLD_ROW, "o.gbc"), "species")[1][2])
        self.assertEqual(self.csv_rows(image, "moves")[2][2], "99")

    def test_about_guards_against_another_image(self):
        gold, crystal = self.image(GOLD_ROW, "gold.gbc"), self.image(CRYSTAL_ROW, "crystal.gbc")
        workbook = self.export(gold)
        before = sha1(crystal)
        refused = run("import", crystal, workbook, check=False)
        self.assertEqual(refused.returncode, 1)
        self.assertIn("--from-other-image", refused.stderr)
        self.assertEqual(sha1(crystal), before)

        # Carried on purpose: one column of one sheet, the rest deleted.
        book = openpyxl.load_workbook(workbook)
        for name in book.sheetnames:
            if name not in ("Species", "About"):
                del book[name]
        species = book["Species"]
        species.delete_cols(4, species.max_column - 3)
        book.save(workbook)
        run("import", crystal, workbook, "--from-other-image")
        self.assertEqual([r[2] for r in self.csv_rows(crystal, "species")], [r[2] for r in self.csv_rows(gold, "species")])

        # Without About, no version is checked: said once.
        del book["About"]
        book.save(workbook)
        done = run("import", crystal, workbook)
        self.assertEqual(done.stderr.count("About"), 1)

    def test_hostile_workbooks_are_refused_with_one_message_in_bounded_memory(self):
        image = self.image(GOLD_ROW)
        before = sha1(image)
        good = self.export(image)
        sheet = "xl/worksheets/sheet1.xml"
        hostile = {
            "bomb": {sheet: " " * (200 << 20)},
            "million-rows": {sheet: "<worksheet><sheetData>" + "".join(
                f"<row><c><v>{r}</v></c></row>" for r in range(1000000)) + "</sheetData></worksheet>"},
            "broken-xml": {sheet: "<worksheet><sheetData><row></sheetData>"},
            "no-shared-strings": {"xl/sharedStrings.xml": None},
        }
        for name, changes in hostile.items():
            with self.subTest(name=name):
                path = self.path(name + ".xlsx")
                with zipfile.ZipFile(good) as src, zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as dst:
                    for part in src.namelist():
                        if changes.get(part, "") is not None:
                            dst.writestr(part, changes.get(part) or src.read(part))
                done = subprocess.run(["/usr/bin/time", "-q", "-f", "%M", CLI, "import", image, path],
                                      capture_output=True, text=True)
                *messages, peak_kib = done.stderr.strip().splitlines()
                self.assertEqual(done.returncode, 1)
                self.assertEqual(len(messages), 1, done.stderr)
                self.assertIn("Nothing was written.", messages[0])
                self.assertLess(int(peak_kib), 128 * 1024)
                self.assertEqual(sha1(image), before)


if __name__ == "__main__":
    CLI, RELEASE_IMAGE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=1)
