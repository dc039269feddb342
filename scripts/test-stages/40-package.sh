#!/usr/bin/env bash
# The Debian package as a user meets it: built by scripts/package, checked by
# lintian, installed with apt-get, its files checked, the installed programs
# run (the window under Xvfb with an image named on its command line), then
# purged, after which nothing it installed may be left.
set -euo pipefail
cd "$(dirname "$0")/../.."

if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing the package needs root (CI runs as root)"
  exit 77
fi

package=quillmere
app_id=invalid.quillmere.Quillmere
artifacts=$PWD/build/package-artifacts
work=$(mktemp -d)
installed=no

# Runs a command quietly; its output is shown only when it fails.
quietly() {
  if ! "$@" >"$work/quiet.log" 2>&1; then
    echo "FAILED: $*" >&2
    cat "$work/quiet.log" >&2
    return 1
  fi
}

apt_get() {
  DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=600 "$@"
}

lintian_pid=
cleanup() {
  [ -z "$lintian_pid" ] || kill "$lintian_pid" 2>/dev/null || true
  if [ "$installed" = yes ]; then
    quietly apt_get purge "$package" || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

echo "- building the package"
scripts/package >"$work/package.log" 2>&1 || { cat "$work/package.log" >&2; fail "scripts/package"; }
deb=$(tail -n 1 "$work/package.log")
version=$(dpkg-deb -f "$deb" Version)
echo "  $deb (version $version)"

# lintian reads only the package file: it runs while the package is installed
# and checked, and its findings are shown before the purge.
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 &
lintian_pid=$!

status() { dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true; }
if [ "$(status)" = "install ok installed" ]; then
  echo "  note: an installed $package package is replaced by this one and removed at the end"
fi

echo "- installing with apt-get"
installed=yes
quietly apt_get install "$deb"
dpkg-query -L "$package" | sort >"$work/files"

echo "- checking the installed files"
desktop=/usr/share/applications/$app_id.desktop
metainfo=/usr/share/metainfo/$app_id.metainfo.xml
for file in /usr/bin/quillmere "$desktop" "$metainfo" /usr/share/man/man1/quillmere.1.gz \
            /usr/share/doc/$package/copyright; do
  grep -qxF "$file" "$work/files" || fail "the package does not install $file"
done
quietly desktop-file-validate "$desktop"
quietly appstreamcli validate --no-net "$metainfo"
for size in 16 32 48 64 128 256; do
  icon=/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
  file -b "$icon" | grep -q "^PNG image data, $size x $size," || fail "$icon is not a $size x $size PNG"
done
while IFS= read -r page; do
  gzip -t "$page" || fail "$page is not a good gzip file"
done < <(grep '^/usr/share/man/.*\.gz$' "$work/files")

echo "- the installed programs print the project's version"
# No display: --version must not need one.
out=$(env -u DISPLAY -u QT_QPA_PLATFORM quillmere --version) || fail "quillmere --version"
[ "$out" = "Quillmere $version" ] || fail "quillmere --version printed '$out', not 'Quillmere $version'"
echo "  quillmere --version: $out"
if grep -qxF /usr/bin/quillmere-cli "$work/files"; then
  grep -qxF /usr/share/man/man1/quillmere-cli.1.gz "$work/files" || fail "no manual page for quillmere-cli"
  out=$(quillmere-cli --version) || fail "quillmere-cli --version"
  grep -qF "$version" <<<"$out" || fail "quillmere-cli --version printed '$out', without $version"
  echo "  quillmere-cli --version: $out"
  # The workbook's libraries are a module the program loads from the
  # package's own folder: a workbook written and read back by the installed
  # program shows that it is where the program looks.
  if [ -x build/tests/cli/release-image ]; then
    build/tests/cli/release-image 0 "$work/image.gbc"
    quietly quillmere-cli export "$work/image.gbc" -o "$work/tables.xlsx"
    out=$(quillmere-cli import "$work/image.gbc" "$work/tables.xlsx") || fail "quillmere-cli import of its own workbook"
    [ "$out" = "Nothing changed." ] || fail "quillmere-cli import of its own workbook printed '$out'"
    echo "  quillmere-cli exports a workbook and reads it back (its module loaded from the package)"
  fi
fi

echo "- the installed window opens an image named on its command line (Xvfb, openbox)"
python3 -B tests/e2e/run_e2e.py --program /usr/bin/quillmere --artifacts "$artifacts" open_argument \
  >"$work/window.log" 2>&1 || { cat "$work/window.log" >&2; fail "the installed window"; }
echo "  screens kept in $artifacts"

echo "- lintian (no errors allowed)"
lint=ok
wait "$lintian_pid" || lint=failed
lintian_pid=
# lintian notes that it runs as root; that is no finding about the package.
grep -v 'running with root privileges' "$work/lintian.log" | sed 's/^/  /' || true
[ "$lint" = ok ] || fail "lintian reports errors"

echo "- purging"
quietly apt_get purge "$package"
installed=no
case "$(status)" in
  "" | *not-installed) ;;
  *) fail "$package is still known to dpkg after the purge: $(status)" ;;
esac
left=()
while IFS= read -r path; do
  [ -e "$path" ] || [ -L "$path" ] || continue
  # A folder may stay when another package still owns it (/usr/bin, the icon theme's folders).
  if [ -d "$path" ] && [ ! -L "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1; then
    continue
  fi
  left+=("$path")
done <"$work/files"
[ ${#left[@]} -eq 0 ] || fail "left behind after the purge: ${left[*]}"
echo "  nothing of the package is left ($(wc -l <"$work/files") paths checked)"
echo "  the package stage took $SECONDS s"
