#!/usr/bin/env python3
"""Checks the user documentation against the files and the program it describes.

  check_docs.py SOURCE_DIR QUILLMERE_CLI

1. Every relative link in README.md and docs/ names a file that exists and,
   with a #fragment, a heading of that file (anchors as GitHub makes them).
2. Every `$ quillmere-cli ...` command in a fenced block of those files is one
   the program accepts: its subcommand exists, each option is one that
   subcommand lists in its --help, the number of operands fits, and the command
   with --help appended exits 0. A block right after the line
   `<!-- docs-check: skip -->` is not checked (commands of features still to come).
3. The options of each subcommand are the same in the program's --help, in the
   manual page's synopsis and in the reference's synopsis; the window's options
   are the same in its manual page and its reference page.

Prints one line per fault and exits 1 when there is any.
"""

import re
import shlex
import subprocess
import sys
import unicodedata
from pathlib import Path

SKIP_MARK = "<!-- docs-check: skip -->"
FENCE = re.compile(r"^\s*(```|~~~)")
LINK = re.compile(r"(?<!!)\[(?:[^\]\[]|\[[^\]]*\])*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)|^\s*\[[^\]]+\]:\s*(\S+)")
IMAGE_LINK = re.compile(r"!\[[^\]]*\]\(([^)\s]+)\)")
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*#*\s*$")
OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z][\w-]*)")

faults = []
counts = {"links": 0, "commands": 0}


def fault(where, text):
    faults.append(f"{where}: {text}")


def strip_code_spans(line):
    return re.sub(r"`[^`]*`", "", line)


def prose_lines(path):
    """(number, line) of the lines outside fenced blocks."""
    inside = False
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if FENCE.match(line):
            inside = not inside
            continue
        if not inside:
            yield number, line


def anchor_of(heading, seen):
    """The anchor GitHub gives a heading: its text without markup, lower case,
    punctuation dropped, spaces as hyphens; a repeated one gets -1, -2, ..."""
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", heading)
    text = text.replace("`", "").replace("*", "").replace("<", "").replace(">", "")
    text = text.strip().lower()
    kept = "".join(c for c in text if c in " -_" or unicodedata.category(c)[0] in "LN")
    slug = kept.replace(" ", "-")
    count = seen.get(slug, 0)
    seen[slug] = count + 1
    return slug if count == 0 else f"{slug}-{count}"


def anchors_of(path):
    seen = {}
    return {anchor_of(m.group(2), seen) for _, line in prose_lines(path) if (m := HEADING.match(line))}


def check_links(root, pages):
    anchors = {}
    for page in pages:
        for number, line in prose_lines(page):
            line = strip_code_spans(line)
            targets = [m.group(1) or m.group(2) for m in LINK.finditer(line)]
            targets += IMAGE_LINK.findall(line)
            for target in targets:
                counts["links"] += 1
                if re.match(r"^[a-z][a-z0-9+.-]*:", target):
                    continue  # an outside address: not checked here
                where = f"{page.relative_to(root)}:{number}"
                file_part, _, fragment = target.partition("#")
                linked = (page.parent / file_part).resolve() if file_part else page
                if not linked.exists():
                    fault(where, f"link to {target}: no such file")
                    continue
                if fragment and linked.suffix == ".md":
                    if linked not in anchors:
                        anchors[linked] = anchors_of(linked)
                    if fragment not in anchors[linked]:
                        fault(where, f"link to {target}: no heading with the anchor #{fragment}")


def fenced_commands(page):
    """(number, command) of every `$ quillmere-cli` line in a checked fenced block."""
    inside = skip = False
    previous = ""
    for number, line in enumerate(page.read_text(encoding="utf-8").splitlines(), 1):
        if FENCE.match(line):
            if not inside:
                skip = previous.strip() == SKIP_MARK
            inside = not inside
        elif inside and not skip and line.startswith("$ quillmere-cli "):
            yield number, line[2:]
        if line.strip():
            previous = line


def command_words(command):
    """The words of the program's own command: up to a shell operator or comment."""
    lexer = shlex.shlex(command, posix=True, punctuation_chars=";|&<>")
    lexer.whitespace_split = True
    lexer.commenters = "#"
    words = []
    for word in lexer:
        if word and set(word) <= set(";|&<>"):
            break
        words.append(word)
    return words[1:]


class Program:
    """What quillmere-cli says about itself in its --help texts."""

    def __init__(self, path):
        self.path = path
        self.helps = {}

    def help(self, words):
        key = tuple(words)
        if key not in self.helps:
            done = subprocess.run([self.path, *words, "--help"], capture_output=True, text=True, timeout=30)
            self.helps[key] = done.stdout if done.returncode == 0 else None
        return self.helps[key]

    @staticmethod
    def section(text, name):
        block = re.search(rf"^{name}:\n((?:  .*\n|\n)*)", text + "\n", re.M)
        return [line for line in block.group(1).splitlines() if line.startswith("  ")] if block else []

    def subcommands(self, path=()):
        return [line.split()[0] for line in self.section(self.help(list(path)) or "", "Subcommands")]

    def options(self, path):
        found = set()
        for line in self.section(self.help(list(path)) or "", "Options"):
            found |= set(line.split()[0].split(","))
        return found - {"-h", "--help"}

    def operands(self, path):
        lines = self.section(self.help(list(path)) or "", "Positionals")
        return len(lines), sum("REQUIRED" in line for line in lines)

    def valued(self, path):
        """Options that take a value (TEXT after the name in --help)."""
        valued = set()
        for line in self.section(self.help(list(path)) or "", "Options"):
            names = line.split()[0]
            if len(line.split()) > 1 and line.split()[1].isupper():
                valued |= set(names.split(","))
        return valued

    def command_paths(self, path=()):
        below = self.subcommands(path)
        if not below:
            return [path]
        return [p for word in below for p in self.command_paths(path + (word,))]


def check_command(program, where, command):
    words = command_words(command)
    path = ()
    while words and words[0] in program.subcommands(path):
        path += (words.pop(0),)
    if not path or program.subcommands(path):
        fault(where, f"`{command}`: names no subcommand the program has")
        return
    known, valued = program.options(path), program.valued(path)
    operands = []
    while words:
        word = words.pop(0)
        if word.startswith("-") and word != "-":
            name = word.split("=", 1)[0]
            if name not in known:
                fault(where, f"`{command}`: {' '.join(path)} has no option {name}")
            elif name in valued and "=" not in word:
                words = words[1:]
        else:
            operands.append(word)
    most, least = program.operands(path)
    if not least <= len(operands) <= most:
        fault(where, f"`{command}`: {' '.join(path)} takes {least} to {most} operands, not {len(operands)}")
    done = subprocess.run([program.path, *command_words(command), "--help"], capture_output=True, timeout=30)
    if done.returncode != 0:
        fault(where, f"`{command}`: with --help appended the program exits {done.returncode}")


def man_synopsis(man_page):
    """{subcommand path: options} from a manual page's SYNOPSIS."""
    text = man_page.read_text(encoding="utf-8").replace("\\-", "-")
    synopsis = text.split(".SH SYNOPSIS", 1)[1].split(".SH ", 1)[0]
    found = {}
    for entry in synopsis.split(".br"):
        head = re.search(r"^\.B quillmere-cli(.*)$", entry, re.M)
        if not head or not head.group(1).strip():
            continue
        path = tuple(head.group(1).split())
        found[path] = set(OPTION.findall(entry.replace(head.group(0), "")))
    return found


def reference_synopsis(page):
    """{subcommand path: options} from the lines `quillmere-cli ...` of the first
    fenced block of the reference page."""
    found = {}
    inside = False
    for line in page.read_text(encoding="utf-8").splitlines():
        if FENCE.match(line):
            if inside:
                break
            inside = True
        elif inside and line.startswith("quillmere-cli "):
            words = line.split()[1:]
            path = tuple(w for w in words[:2] if re.fullmatch(r"[a-z]+", w))
            if path:
                found[path] = set(OPTION.findall(line))
    return found


def compare_options(root, program):
    cli_page = root / "docs/reference/cli.md"
    sources = {
        "quillmere-cli --help": {p: program.options(p) for p in program.command_paths()},
        "packaging/man/quillmere-cli.1": man_synopsis(root / "packaging/man/quillmere-cli.1"),
        "docs/reference/cli.md": reference_synopsis(cli_page),
    }
    names = list(sources)
    for path in sorted(set().union(*sources.values())):
        for name in names:
            if path not in sources[name]:
                fault(name, f"the subcommand `{' '.join(path)}` is missing")
        present = [sources[n].get(path) for n in names if path in sources[n]]
        everything = set().union(*present)
        for name in names:
            missing = everything - sources[name].get(path, everything)
            for option in sorted(missing):
                fault(name, f"`{' '.join(path)}` lacks the option {option} that another source lists")

    man = (root / "packaging/man/quillmere.1").read_text(encoding="utf-8").replace("\\-", "-")
    options_part = man.split(".SH OPTIONS", 1)[1].split(".SH ", 1)[0].split(".PP", 1)[0]
    man_options = set(OPTION.findall(options_part))
    window = (root / "docs/reference/window.md").read_text(encoding="utf-8")
    block = re.search(r"^quillmere (.*)$", window, re.M)
    page_options = set(OPTION.findall(block.group(1))) if block else set()
    for option in sorted(man_options ^ page_options):
        side = "docs/reference/window.md" if option in man_options else "packaging/man/quillmere.1"
        fault(side, f"the window's option {option} is missing")


def main():
    root, cli = Path(sys.argv[1]).resolve(), sys.argv[2]
    pages = [root / "README.md", *sorted((root / "docs").rglob("*.md"))]
    check_links(root, pages)
    program = Program(cli)
    if not program.subcommands():
        fault(cli, "--help lists no subcommands")
    for page in pages:
        for number, command in fenced_commands(page):
            counts["commands"] += 1
            check_command(program, f"{page.relative_to(root)}:{number}", command)
    compare_options(root, program)
    for line in faults:
        print(line)
    print(f"{len(pages)} pages, {counts['links']} links, {counts['commands']} commands checked: {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
