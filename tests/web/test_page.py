"""The browser page in headless Chromium, driven as a user drives it.

Opens an image laid out like a release, changes HP of Pikachu, adds a level-up
move, undoes and redoes, downloads the image and the patch, and compares
their bytes with what quillmere-cli makes of the same edits; checks that a
refused value writes nothing and that an image with moved tables is refused.
Renames Pikachu, undoes and redoes the rename, and finds it in the image.
Exports the workbook and compares it sheet by sheet with quillmere-cli's,
imports an edited one and compares the image with the command line's import.
Then that nothing typed is lost (a refused or declined open, the leave
prompt), that refused cells block the downloads, that new list rows are
judged when complete and placed by level, the search box and the machines'
moves; and that rows typed but not taken in one list stay while another
list changes.
With --bench, also times opening the image and a field edit.

    test_page.py --page quillmere.html --cli quillmere-cli --images make_web_images [--bench FILE]
"""

import argparse
import csv
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

import openpyxl
from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service as ChromeService
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import Select, WebDriverWait

PIKACHU = 24


def start_browser(downloads):
    options = webdriver.ChromeOptions()
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--no-first-run", "--disable-dev-shm-usage",
                 "--window-size=1600,1000", f"--user-data-dir={tempfile.mkdtemp(prefix='quillmere-chromium-')}"):
        options.add_argument(flag)
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                              "download.prompt_for_download": False})
    service = ChromeService(executable_path=shutil.which("chromedriver") or "/usr/bin/chromedriver")
    driver = webdriver.Chrome(service=service, options=options)
    driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
    return driver


class Page:
    def __init__(self, driver, url, downloads):
        self.driver = driver
        self.downloads = downloads
        driver.get(url)
        self.wait(lambda d: d.execute_script("return document.body.dataset.ready") == "yes", 30)

    def wait(self, condition, seconds=10):
        return WebDriverWait(self.driver, seconds, poll_frequency=0.02).until(condition)

    def named(self, name, scope=None):
        return (scope or self.driver).find_element(By.CSS_SELECTOR, f'[aria-label="{name}"]')

    def button(self, text, scope=None):
        return (scope or self.driver).find_element(By.XPATH, f'.//button[normalize-space()="{text}"]')

    def alert(self):
        return self.driver.find_element(By.CSS_SELECTOR, '[role="alert"]').text

    def changes(self):
        return self.driver.find_element(By.ID, "changes").text

    def open(self, *paths):
        self.driver.find_element(By.ID, "open-image").send_keys("\n".join(paths))

    def answer_prompt(self, accept):
        """Answers the page's confirm box; gives its text."""
        prompt = self.wait(expected_conditions.alert_is_present())
        text = prompt.text
        prompt.accept() if accept else prompt.dismiss()
        return text

    def answer_prompt_if_any(self):
        try:
            WebDriverWait(self.driver, 2).until(expected_conditions.alert_is_present()).accept()
        except TimeoutException:
            pass

    def leave_prompt_set(self):
        return self.driver.execute_script(
            "const e = new Event('beforeunload', {cancelable: true}); window.dispatchEvent(e);"
            "return e.defaultPrevented;")

    def status(self):
        return self.driver.find_element(By.ID, "status").text

    def no_download(self, button, name):
        path = os.path.join(self.downloads, name)
        if os.path.exists(path):
            os.remove(path)
        self.button(button).click()
        time.sleep(0.5)
        return not os.path.exists(path)

    def type_into(self, name, text):
        control = self.named(name)
        self.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", control)
        control.click()
        control.send_keys(Keys.CONTROL, "a")
        control.send_keys(text, Keys.TAB)
        return control

    def region(self, name):
        return self.driver.find_element(By.CSS_SELECTOR, f'[role="region"][aria-label="{name}"]')

    def rows(self, region_name):
        return self.region(region_name).find_elements(By.CSS_SELECTOR, "tbody tr")

    def download(self, button, name):
        path = os.path.join(self.downloads, name)
        if os.path.exists(path):
            os.remove(path)
        self.button(button).click()
        self.wait(lambda _: os.path.exists(path) and not os.path.exists(path + ".crdownload"))
        time.sleep(0.2)
        with open(path, "rb") as f:
            return f.read()


def cli_result(cli, image, work, move_name):
    """The image and patch quillmere-cli makes with the same edits."""
    folder = os.path.join(work, "cli")
    os.makedirs(folder, exist_ok=True)
    edited = os.path.join(folder, "crystal.gbc")
    shutil.copyfile(image, edited)

    def run(*args):
        done = subprocess.run([cli, *args], capture_output=True, text=True)
        if done.returncode != 0:
            raise AssertionError(f"quillmere-cli {' '.join(args)}: {done.stderr}")
        return done.stdout

    rows = list(csv.reader(io.StringIO(run("export", edited))))
    header = rows[0]
    rows[1 + PIKACHU][header.index("HP")] = "40"
    with open(os.path.join(folder, "species.csv"), "w", newline="") as f:
        csv.writer(f).writerows(rows)
    run("import", edited, os.path.join(folder, "species.csv"))

    rows = list(csv.reader(io.StringIO(run("export", edited, "--table", "moves"))))
    last = max(i for i, row in enumerate(rows) if row[0] == str(PIKACHU))
    rows.insert(last + 1, [str(PIKACHU), "Pikachu", "11", move_name])
    with open(os.path.join(folder, "moves.csv"), "w", newline="") as f:
        csv.writer(f).writerows(rows)
    run("import", edited, os.path.join(folder, "moves.csv"), "--table", "moves")
    run("checksum", edited, "--fix")
    run("patch", "create", image, edited, os.path.join(folder, "crystal.bps"))
    exported = subprocess.run([cli, "export", edited, "--table", "moves", "--format", "json"], capture_output=True,
                              check=True).stdout
    with open(edited, "rb") as f, open(os.path.join(folder, "crystal.bps"), "rb") as g:
        return f.read(), g.read(), exported


def check(condition, what):
    if not condition:
        raise AssertionError(what)
    print(f"  ok: {what}")


def edit_session(page, image):
    page.open(image)
    page.wait(lambda d: not d.find_element(By.ID, "editor").get_attribute("hidden"))
    check("Kreblin Crystal Version (America)" in page.driver.find_element(By.ID, "caption").text,
          "the caption names the release")
    check(len(page.driver.find_elements(By.CSS_SELECTOR, "#species-body [role=row]")) == 251, "251 species are shown")

    page.type_into(f"HP of Pikachu", "40")
    page.wait(lambda _: "HP:" in page.changes())
    check("24 Pikachu" in page.changes(), "the change of HP of Pikachu is listed")

    page.named("HP of Pikachu").send_keys(Keys.ARROW_DOWN)
    check(page.driver.switch_to.active_element.get_attribute("aria-label") == "HP of Raichu",
          "the arrow keys move between cells")
    page.driver.execute_script("document.querySelector('.table-pane').scrollTop = 1e6")
    page.wait(lambda d: d.find_elements(By.CSS_SELECTOR, '[aria-label="HP of Celebi"]'))
    check(True, "rows get their controls as they come into view")

    refused = page.type_into("HP of Bulbasaur", "300")
    page.wait(lambda _: "HP" in page.alert())
    check(refused.get_attribute("aria-invalid") == "true", "a refused value is marked and said: " + page.alert())
    check("Bulbasaur" not in page.changes(), "a refused value is no change")
    refused.click()
    refused.send_keys(Keys.ESCAPE)
    check(refused.get_attribute("value") == refused.get_attribute("data-value") != "300" and
          refused.get_attribute("aria-invalid") is None,
          "Escape puts back the image's value")

    page.button("Pikachu").click()
    moves = "Level-up moves of Pikachu"
    page.wait(lambda _: page.region(moves))
    before = len(page.rows(moves))
    page.button("Add level-up move", page.region(moves)).click()
    new_row = page.rows(moves)[-1]
    move = Select(page.named("Move", new_row))
    move_name = next(o.text for o in move.options if o.get_attribute("value") == "85")
    level = page.named("Level", new_row)
    level.send_keys("11")
    move.select_by_value("85")
    page.wait(lambda _: len(page.rows(moves)) == before + 1 and "Moves:" in page.changes())
    check(page.alert() == "", "the added move is taken")

    page.button("Undo").click()
    page.wait(lambda _: len(page.rows(moves)) == before)
    check("Moves:" not in page.changes(), "Undo takes the move back")
    page.button("Redo").click()
    page.wait(lambda _: len(page.rows(moves)) == before + 1)
    keys = ActionChains(page.driver)
    keys.key_down(Keys.CONTROL).send_keys("z").key_up(Keys.CONTROL).perform()
    page.wait(lambda _: len(page.rows(moves)) == before)
    keys.key_down(Keys.CONTROL).send_keys("y").key_up(Keys.CONTROL).perform()
    page.wait(lambda _: len(page.rows(moves)) == before + 1)
    check("Moves:" in page.changes(), "Ctrl+Z and Ctrl+Y walk the same steps")
    return move_name


def run_tests(args, page, work):
    image = os.path.join(work, "crystal.gbc")
    move_name = edit_session(page, image)
    saved = page.download("Download image", "crystal.gbc")
    patch = page.download("Download patch", "crystal.bps")
    check("checksum" in page.driver.find_element(By.ID, "image-note").text.lower(), "the checksums are said")
    Select(page.driver.find_element(By.ID, "table-choice")).select_by_value("moves")
    Select(page.driver.find_element(By.ID, "format-choice")).select_by_value("json")
    exported = page.download("Export tables", "crystal-moves.json")
    cli_image, cli_patch, cli_export = cli_result(args.cli, image, work, move_name)
    check(saved == cli_image, "the downloaded image is the command line's, byte for byte")
    check(patch == cli_patch, "the downloaded patch is the command line's, byte for byte")
    check(exported == cli_export, "the exported moves table is the command line's, byte for byte")

    # An import with a refused value is said with its place, and writes nothing.
    damaged = os.path.join(work, "damaged.json")
    with open(damaged, "wb") as f:
        f.write(exported.replace(b'"Level":11,', b'"Level":111,'))
    page.driver.find_element(By.ID, "import-tables").send_keys(damaged)
    page.wait(lambda _: "Nothing was written." in page.alert())
    check("damaged.json" in page.alert() and "Level" in page.alert(), "a refused import is said: " +
          page.alert().splitlines()[0])
    check(page.download("Download image", "crystal.gbc") == saved, "a refused import writes nothing")

    workbook_session(args, page, work)
    names_session(args, page, work)
    picture_session(page, work)

    changes = page.changes()
    page.open(os.path.join(work, "moved.gbc"))
    page.wait(lambda _: "moved.gbc" in page.alert())
    check(page.driver.find_element(By.ID, "editor").get_attribute("hidden") is None and
          page.changes() == changes, "an image with moved tables is refused and the open one stays: " +
          page.alert().splitlines()[0])

    keeping_session(page, work)
    lists_session(page, work)
    pending_session(page, work)


def keeping_session(page, work):
    """Edits survive a refused or declined open; the leave prompt; refused cells block downloads."""
    image = os.path.join(work, "crystal.gbc")
    page.open(image)
    page.wait(lambda _: page.changes().startswith("No changes"))
    check(not page.leave_prompt_set(), "no leave prompt without edits")
    page.type_into("HP of Pikachu", "41")
    page.wait(lambda _: "HP:" in page.changes())
    check(page.leave_prompt_set(), "the leave prompt is set while there are unsaved edits")

    page.open(os.path.join(work, "moved.gbc"))
    asked = page.answer_prompt(True)
    page.wait(lambda _: "moved.gbc" in page.alert())
    check("crystal.gbc" in asked and "HP:" in page.changes() and page.button("Undo").is_enabled(),
          "the edits survive a refused open (after being asked: " + asked + ")")
    page.open(image)
    page.answer_prompt(False)
    page.wait(lambda _: "Kept" in page.status())
    check("HP:" in page.changes() and page.button("Undo").is_enabled(), "a \"no\" to another open keeps the edits")

    page.type_into("ATK of Pikachu", "999")
    page.wait(lambda _: "ATK" in page.alert())
    for button, name in (("Download image", "crystal.gbc"), ("Download patch", "crystal.bps")):
        check(page.no_download(button, name) and "ATK of Pikachu" in page.alert() and
              page.alert().startswith("Not downloaded"), f'"{button}" names the refused cell and gives nothing')
    page.type_into("ATK of Pikachu", "56")
    page.wait(lambda _: page.alert() == "")
    page.download("Download image", "crystal.gbc")
    check(not page.leave_prompt_set() and page.status().startswith("Downloaded crystal.gbc"),
          "a download keeps the edits: no leave prompt, and the status says the download")


def lists_session(page, work):
    """New rows judged when complete and placed by level; the search box; the machines' moves."""
    page.open(os.path.join(work, "crystal.gbc"))
    page.wait(lambda _: page.changes().startswith("No changes"))
    page.button("Pikachu").click()
    page.wait(lambda _: page.region("Evolutions of Pikachu"))
    check("TM01 Dynamicpunch" in page.region("Machines of Pikachu").text, "the machines show their moves")

    evolutions = "Evolutions of Pikachu"
    page.button("Add evolution", page.region(evolutions)).click()
    row = page.rows(evolutions)[-1]
    Select(page.named("Method", row)).select_by_value("1")
    level = page.named("Level", row)
    level.send_keys("20")
    page.named("Into", row).click()
    check(page.alert() == "" and "Evolutions:" not in page.changes(), "a half-filled evolution row is not judged")
    Select(page.named("Into", row)).select_by_value("26")
    page.wait(lambda _: "Evolutions:" in page.changes())
    check(page.alert() == "" and len(page.rows(evolutions)) == 2, "the completed row is taken")

    moves = "Level-up moves of Pikachu"
    page.button("Add level-up move", page.region(moves)).click()
    row = page.rows(moves)[-1]
    page.named("Level", row).send_keys("5")
    Select(page.named("Move", row)).select_by_value("85")
    page.wait(lambda _: "Moves:" in page.changes())
    levels = [page.named("Level", each).get_attribute("value") for each in page.rows(moves)]
    check(levels == ["1", "5", "6", "8"] and page.alert() == "", f"a level-5 move lands by level: {levels}")

    page.button("Add level-up move", page.region(moves)).click()
    row = page.rows(moves)[-1]
    page.named("Level", row).send_keys("300")
    page.driver.find_element(By.ID, "history-title").click()
    check("Level-up moves of Pikachu, Level:" in page.alert() and "line" not in page.alert(),
          "a row left unfinished is judged by species and field: " + page.alert().splitlines()[0])

    find = page.driver.find_element(By.ID, "find-species")
    pane = page.driver.find_element(By.CSS_SELECTOR, ".table-pane")
    page.driver.execute_script("arguments[0].scrollTop = 1e6", pane)
    for text in ("pika", "25"):
        find.clear()
        find.send_keys(text)
        found = page.driver.find_element(By.CSS_SELECTOR, '#species-body .row[data-position="24"]')
        in_view = page.driver.execute_script(
            "const r = arguments[0].getBoundingClientRect(), p = arguments[1].getBoundingClientRect();"
            "return r.top >= p.top && r.bottom <= p.bottom;", found, pane)
        check("found" in found.get_attribute("class") and in_view, f'the search box finds Pikachu by "{text}"')
    page.driver.execute_script("arguments[0].scrollLeft = 1e6", pane)
    name = page.button("Pikachu")
    left = page.driver.execute_script("return arguments[0].getBoundingClientRect().left - "
                                      "arguments[1].getBoundingClientRect().left", name, pane)
    check(0 <= left < 150, "the Species column stays in view when the table scrolls sideways")


def pending_session(page, work):
    """Rows typed but not taken in one list stay through changes to another list and their Undo and Redo."""
    page.open(os.path.join(work, "crystal.gbc"))
    page.answer_prompt_if_any()
    page.wait(lambda _: page.changes().startswith("No changes"))
    page.button("Pikachu").click()
    evolutions, moves, eggs = "Evolutions of Pikachu", "Level-up moves of Pikachu", "Egg moves of Pikachu"
    page.wait(lambda _: page.region(eggs))

    def set_level(row, text):
        level = page.named("Level", page.rows(moves)[row])
        level.click()
        level.send_keys(Keys.CONTROL, "a")
        level.send_keys(text, Keys.TAB)

    set_level(2, "9")
    page.wait(lambda _: "Moves:" in page.changes())
    page.button("Add evolution", page.region(evolutions)).click()
    Select(page.named("Method", page.rows(evolutions)[-1])).select_by_value("1")
    set_level(1, "300")
    page.wait(lambda _: "it holds \"300\"" in page.alert())

    def pending():
        new_row = page.rows(evolutions)[-1]
        level = page.named("Level", page.rows(moves)[1])
        return (len(page.rows(evolutions)) == 2 and new_row.get_attribute("data-fresh") == "yes" and
                page.named("Method", new_row).get_attribute("value") == "1" and
                level.get_attribute("value") == "300" and level.get_attribute("aria-invalid") == "true")

    page.button("Add egg move", page.region(eggs)).click()
    Select(page.named("Move", page.rows(eggs)[-1])).select_by_value("85")
    for button, listed in ((None, True), ("Undo", False), ("Redo", True)):
        if button:
            page.button(button).click()
        page.wait(lambda _: ("Egg moves:" in page.changes()) == listed)
        check(pending(), "a half-filled evolution row and a refused level stay when an egg move is " +
              {None: "added", "Undo": "undone", "Redo": "redone"}[button])
    for button, name in (("Download image", "crystal.gbc"), ("Download patch", "crystal.bps")):
        check(page.no_download(button, name) and "Level of row 2 of Level-up moves of Pikachu" in page.alert() and
              evolutions in page.alert(), f'"{button}" is refused naming both lists\' pending rows')

    # An Undo of the level-up moves themselves shows the image's rows: the refused level is put back.
    page.button("Undo").click()
    page.button("Undo").click()
    page.wait(lambda _: "Moves:" not in page.changes())
    levels = [page.named("Level", row).get_attribute("value") for row in page.rows(moves)]
    check(levels == ["1", "6", "8"] and "put back" in page.alert() and
          not page.region(moves).find_elements(By.CSS_SELECTOR, "[aria-invalid]") and
          page.rows(evolutions)[-1].get_attribute("data-fresh") == "yes",
          "an Undo of the list itself puts its refused level back and keeps the new evolution row: " +
          page.alert().splitlines()[-1])


def canvas_pixels(page, name):
    """The canvas's pixels as a data URL, and the colours it holds."""
    return page.driver.execute_script("""
        const canvas = document.querySelector(`[aria-label="${arguments[0]}"]`);
        const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
        const colours = new Set();
        for (let at = 0; at < data.length; at += 4) colours.add(data[at] + "," + data[at + 1] + "," + data[at + 2]);
        return [canvas.toDataURL(), [...colours].sort()];""", name)


def picture_session(page, work):
    """Pikachu's pictures: a colour picked redraws them, Undo restores them, the image holds the colour."""
    page.open(os.path.join(work, "crystal.gbc"))
    page.wait(lambda _: page.changes().startswith("No changes"))
    page.wait(lambda d: d.find_elements(By.CSS_SELECTOR, '#species-body .row[data-position="24"][data-drawn]'))
    check(True, "the row of Pikachu shows its front picture once in view")
    page.button("Pikachu").click()
    page.wait(lambda _: page.named("Shiny front picture of Pikachu"))
    for name in ("Front picture of Pikachu", "Shiny front picture of Pikachu", "Back picture of Pikachu",
                 "Shiny back picture of Pikachu"):
        check(page.named(name).get_attribute("role") == "img", f"\"{name}\" is shown")
    before, colours = canvas_pixels(page, "Front picture of Pikachu")
    check("239,214,41" in colours, "the front picture is drawn in Pikachu's Normal1, #EFD629")
    picker = page.named("Normal1 of Pikachu")
    page.driver.execute_script("""
        arguments[0].value = '#ff0102';
        arguments[0].dispatchEvent(new Event('input', {bubbles: true}));
        arguments[0].dispatchEvent(new Event('change', {bubbles: true}));""", picker)
    page.wait(lambda _: "Palette: Normal1" in page.changes())
    check(picker.get_attribute("value") == "#ff0000", "the picker snaps to the nearest stored colour, #FF0000")
    after, colours = canvas_pixels(page, "Front picture of Pikachu")
    check(after != before and "255,0,0" in colours and "239,214,41" not in colours, "the picture is drawn again")
    check(canvas_pixels(page, "Shiny front picture of Pikachu")[0] != after, "the shiny picture keeps its colours")
    page.button("Undo").click()
    page.wait(lambda _: "Palette" not in page.changes())
    page.wait(lambda _: canvas_pixels(page, "Front picture of Pikachu")[0] == before)
    check(True, "Undo restores the colour and the picture")
    page.button("Redo").click()
    page.wait(lambda _: "Palette: Normal1" in page.changes())
    saved = page.download("Download image", "crystal.gbc")
    check(saved[0xA8CE + 25 * 8:0xA8CE + 25 * 8 + 2] == bytes([0x1F, 0x00]),
          "the downloaded image holds the new colour in Pikachu's two bytes")


def sheets(path):
    """Every sheet's name, state and cell values, as an independent reader sees them."""
    book = openpyxl.load_workbook(path)
    return [(sheet.title, sheet.sheet_state, [list(row) for row in sheet.iter_rows(values_only=True)])
            for sheet in book.worksheets]


def workbook_session(args, page, work):
    """The workbook of the image as opened: exported, edited in one cell, imported; another release's refused."""
    image = os.path.join(work, "crystal.gbc")
    page.open(image)
    page.wait(lambda _: page.changes().startswith("No changes"))
    Select(page.driver.find_element(By.ID, "format-choice")).select_by_value("xlsx")
    check(not page.driver.find_element(By.ID, "table-choice").is_enabled(), "the workbook asks for no table")
    folder = os.path.join(work, "cli-workbook")
    os.makedirs(folder)
    exported = os.path.join(folder, "page.xlsx")
    with open(exported, "wb") as f:
        f.write(page.download("Export tables", "crystal.xlsx"))
    cli_image = os.path.join(folder, "crystal.gbc")
    shutil.copyfile(image, cli_image)
    subprocess.run([args.cli, "export", cli_image, "-o", os.path.join(folder, "cli.xlsx")], check=True)
    ours, theirs = sheets(exported), sheets(os.path.join(folder, "cli.xlsx"))
    # Only the About sheet's Program row names who wrote the workbook.
    for each in (ours, theirs):
        about = next(rows for title, _, rows in each if title == "About")
        about[:] = [row for row in about if row[0] != "Program"]
    titles = [title for title, _, _ in ours]
    check(titles == ["Species", "Machines", "Evolutions", "Moves", "Egg moves", "Palettes", "Lists", "About"] and
          titles == [title for title, _, _ in theirs], "the page's workbook holds every table")
    for mine, cli in zip(ours, theirs):
        check(mine == cli, f"the workbook's {mine[0]} sheet is the command line's, cell by cell")

    book = openpyxl.load_workbook(exported)
    species = book["Species"]
    header = [cell.value for cell in species[1]]
    species.cell(row=2 + PIKACHU, column=1 + header.index("HP"), value=41)
    edited = os.path.join(folder, "edited.xlsx")
    book.save(edited)
    about = book["About"]
    for row in about.iter_rows():
        if row[0].value == "Release":
            row[1].value = "Kreblin Gold Version (America)"
    other = os.path.join(folder, "other.xlsx")
    book.save(other)

    page.driver.find_element(By.ID, "import-tables").send_keys(other)
    page.wait(lambda _: "Nothing was written." in page.alert())
    check("another image" in page.alert() and page.changes().startswith("No changes"),
          "a workbook of another release is refused and writes nothing: " + page.alert().splitlines()[0])
    page.driver.find_element(By.ID, "import-tables").send_keys(edited)
    page.wait(lambda _: "HP:" in page.changes())
    saved = page.download("Download image", "crystal.gbc")
    subprocess.run([args.cli, "import", cli_image, edited], check=True, capture_output=True)
    subprocess.run([args.cli, "checksum", cli_image, "--fix"], check=True, capture_output=True)
    with open(cli_image, "rb") as f:
        check(saved == f.read(), "the image after the workbook's import is the command line's, byte for byte")


def names_session(args, page, work):
    """The image's own name of Pikachu: shown, renamed, undone and redone, downloaded; a refused name writes nothing."""
    image = os.path.join(work, "crystal.gbc")
    page.open(image)
    page.wait(lambda _: page.changes().startswith("No changes"))
    name = page.named("Name of Pikachu")
    check(name.get_attribute("value") == "PIKACHU", "Name of Pikachu shows the image's name")
    page.type_into("Name of Pikachu", "Pika'dchu")
    page.wait(lambda _: "Name: PIKACHU -> Pika'dchu" in page.changes())
    check(page.alert() == "", "the rename is taken")
    page.button("Undo").click()
    page.wait(lambda _: page.named("Name of Pikachu").get_attribute("value") == "PIKACHU")
    check("Name:" not in page.changes(), "Undo takes the rename back")
    page.button("Redo").click()
    page.wait(lambda _: page.named("Name of Pikachu").get_attribute("value") == "Pika'dchu")
    saved = page.download("Download image", "crystal.gbc")
    info = json.loads(subprocess.run([args.cli, "info", image, "--json"], capture_output=True, check=True).stdout)
    field = info["names"]["offset"] + PIKACHU * info["names"]["fieldLength"]
    # P i k a ' d c h u, then 0x50 to the end of the field.
    check(saved[field:field + 10] == bytes([0x8F, 0xA8, 0xAA, 0xA0, 0xE0, 0xA3, 0xA2, 0xA7, 0xB4, 0x50]),
          "the downloaded image holds the rename on its field")
    refused = page.type_into("Name of Pikachu", "Pika~")
    page.wait(lambda _: "~" in page.alert())
    check(refused.get_attribute("aria-invalid") == "true" and "character 5" in page.alert(),
          "a name with a character of no byte is refused with its place: " + page.alert())
    refused.click()
    refused.send_keys(Keys.ESCAPE)
    page.wait(lambda _: refused.get_attribute("aria-invalid") is None)
    check(page.download("Download image", "crystal.gbc") == saved, "a refused name writes nothing")


def bench(page, work, output):
    """Opening a 2 MiB image and one field edit, timed in the page and from outside."""
    figures = {"open_ms": [], "open_outside_ms": [], "edit_ms": []}
    for attempt in range(5):
        page.driver.execute_script("delete document.body.dataset.openMs")
        started = time.perf_counter()
        page.open(os.path.join(work, "crystal.gbc"))
        page.answer_prompt_if_any()
        page.wait(lambda d: d.execute_script("return document.body.dataset.openMs") is not None)
        figures["open_outside_ms"].append((time.perf_counter() - started) * 1000)
        figures["open_ms"].append(float(page.driver.execute_script("return document.body.dataset.openMs")))
        page.driver.execute_script("delete document.body.dataset.editMs")
        page.type_into("ATK of Pikachu", str(50 + attempt))
        page.wait(lambda d: d.execute_script("return document.body.dataset.editMs") is not None)
        figures["edit_ms"].append(float(page.driver.execute_script("return document.body.dataset.editMs")))
    size = os.path.getsize(page.driver.current_url.removeprefix("file://"))
    summary = {name: round(sorted(values)[len(values) // 2], 1) for name, values in figures.items()}
    summary["page_bytes"] = size
    text = (f"open a 2 MiB image and show 251 species: {summary['open_ms']} ms in the page, "
            f"{summary['open_outside_ms']} ms seen from the driver (median of 5)\n"
            f"field edit answered: {summary['edit_ms']} ms (median of 5)\n"
            f"page size: {size} bytes\n")
    met = summary["open_ms"] < 1000 and summary["edit_ms"] < 50 and size < 3_000_000
    # Timings depend on the machine's load: they are reported, not failed on.
    text += ("targets met" if met else "TARGETS MISSED") + " (open under 1000 ms, edit under 50 ms, page under 3 MB)\n"
    print(text, end="")
    if output:
        with open(output, "w") as f:
            f.write(text)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--page", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--images", required=True, help="the make_web_images program")
    parser.add_argument("--bench", nargs="?", const="", default=None, help="time the page; figures into FILE")
    parser.add_argument("--screenshot", help="save a screenshot of the page with Pikachu's lists here")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="quillmere-web-")
    downloads = os.path.join(work, "downloads")
    os.makedirs(downloads)
    subprocess.run([args.images, work], check=True)
    driver = start_browser(downloads)
    try:
        page = Page(driver, "file://" + os.path.abspath(args.page), downloads)
        if args.screenshot:
            edit_session(page, os.path.join(work, "crystal.gbc"))
            driver.execute_script("window.scrollTo(0, 0); document.getElementById('lists').scrollTop = 0;"
                                  "document.querySelector('.table-pane').scrollTop = 330")
            driver.save_screenshot(args.screenshot)
            return 0
        run_tests(args, page, work)
        if args.bench is not None:
            bench(page, work, args.bench)
        print("PASSED: the page in headless Chromium")
        return 0
    except Exception as error:  # noqa: BLE001 - every failure is one line and a screen for the log
        shot = os.path.join(work, "failure.png")
        driver.save_screenshot(shot)
        print(f"FAILED: {error} (screen kept in {shot})", file=sys.stderr)
        return 1
    finally:
        driver.quit()
        if not args.screenshot:
            shutil.rmtree(downloads, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
