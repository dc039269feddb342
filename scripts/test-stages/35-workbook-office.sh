#!/usr/bin/env bash
# The workbook as a spreadsheet program saves it again: a workbook exported by
# quillmere-cli is converted by LibreOffice Calc (soffice --headless
# --convert-to xlsx, with a private profile) and imported: nothing changes.
# Then a workbook with one value changed (with openpyxl) is converted and
# imported: exactly that value changes, to the very bytes the same change
# makes through the CSV table. Skipped (exit 77) where soffice or openpyxl is
# missing. Uses the programs of the full build (build/).
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
build=${QUILLMERE_BUILD_DIR:-build}

if ! command -v soffice >/dev/null 2>&1; then
  echo "skipped: soffice (LibreOffice Calc, Debian libreoffice-calc-nogui) is not installed"
  exit 77
fi
if ! /usr/bin/python3 -c 'import openpyxl' 2>/dev/null; then
  echo "skipped: openpyxl (Debian python3-openpyxl) is not installed"
  exit 77
fi

cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target quillmere-cli release-image >/dev/null
cli=$repo/$build/cli/quillmere-cli
make_image=$repo/$build/tests/cli/release-image

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export HOME=$work/home
mkdir -p "$HOME"

# Converts $1 into converted/$1 with LibreOffice Calc; its own output is shown
# only when it fails.
convert() {
  if ! timeout 300 soffice -env:UserInstallation="file://$work/profile" --headless --norestore \
      --convert-to xlsx --outdir converted "$1" >soffice.log 2>&1 || [ ! -s "converted/$1" ]; then
    cat soffice.log >&2
    echo "FAIL: soffice could not convert $1" >&2
    exit 1
  fi
}

"$make_image" 3 image.gbc >/dev/null
cp image.gbc by-csv.gbc
"$cli" export image.gbc -o tables.xlsx
convert tables.xlsx
"$cli" import image.gbc converted/tables.xlsx >import.log
if ! grep -qx 'Nothing changed.' import.log || ! cmp -s image.gbc by-csv.gbc; then
  cat import.log >&2
  echo "FAIL: the workbook saved again by LibreOffice Calc changed the image" >&2
  exit 1
fi
echo "unchanged workbook, saved by LibreOffice Calc: nothing changed"

# One HP changed with openpyxl, then saved again by LibreOffice Calc.
/usr/bin/python3 - <<'EOF'
import openpyxl
book = openpyxl.load_workbook("tables.xlsx")
species = book["Species"]
hp = [c.value for c in species[1]].index("HP") + 1
species.cell(row=7, column=hp).value = 123
book.save("changed.xlsx")
EOF
convert changed.xlsx
"$cli" import image.gbc converted/changed.xlsx >import.log
"$cli" export by-csv.gbc -o species.csv
/usr/bin/python3 - <<'EOF'
import csv
rows = list(csv.reader(open("species.csv", newline="")))
rows[6][rows[0].index("HP")] = "123"
csv.writer(open("species.csv", "w", newline="")).writerows(rows)
EOF
"$cli" import by-csv.gbc species.csv >/dev/null
if ! grep -q 'HP: .* -> 123' import.log || ! cmp -s image.gbc by-csv.gbc; then
  cat import.log >&2
  echo "FAIL: the changed workbook saved by LibreOffice Calc did not make exactly the change" >&2
  exit 1
fi
echo "changed workbook, saved by LibreOffice Calc: exactly the change"
