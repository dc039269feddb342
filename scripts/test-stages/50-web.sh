#!/usr/bin/env bash
# The browser page: built by scripts/web (emscripten, the C libraries from
# Debian's source packages), then driven in headless Chromium by
# tests/web/test_page.py, whose downloads are compared byte for byte with
# quillmere-cli's result of the same edits (the workbooks' cells read with
# openpyxl); the page's timings are printed (build-web/bench.txt). Skipped
# (77) where the browser tools cannot be installed.
# With --prepare it installs the packages, builds the page (and its C
# libraries) and stops: scripts/test runs that while the first stages compile,
# since nothing before this stage needs it (the stage's own run of scripts/web
# then finds it built).
set -euo pipefail
cd "$(dirname "$0")/../.."

needed=(emscripten nodejs chromium chromium-driver python3-selenium python3-openpyxl dpkg-dev)
missing=()
for pkg in "${needed[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: the browser tests need ${missing[*]}, and installing them needs root"
    exit 77
  fi
  echo "- installing ${missing[*]}"
  if ! { DEBIAN_FRONTEND=noninteractive apt-get update -qq -o DPkg::Lock::Timeout=600 &&
         DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 "${missing[@]}"; } \
       >/tmp/quillmere-web-install.log 2>&1; then
    tail -n 20 /tmp/quillmere-web-install.log
    echo "skipped: ${missing[*]} could not be installed"
    exit 77
  fi
fi
if [ "${1:-}" = --prepare ]; then
  echo "- the browser stage's packages are installed; building the page and its C libraries"
  scripts/web build-web >/dev/null
  exit 0
fi

echo "- building the page"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
scripts/web build-web >"$log" 2>&1 || status=$?
if [ "$status" -eq 77 ]; then
  tail -n 20 "$log"
  echo "skipped: scripts/web cannot install or fetch what the page needs here"
  exit 77
fi
[ "$status" -eq 0 ] || { cat "$log" >&2; echo "FAILED: scripts/web" >&2; exit 1; }
page=$(tail -n 1 "$log")
echo "  $page ($(stat -c %s "$page") bytes)"

# The command line and the test images from the full build when it is there.
native=build
if [ ! -x build/cli/quillmere-cli ] || [ ! -x build/tests/web/make_web_images ]; then
  native=build-web/native
  echo "- building quillmere-cli and the test images (Qt-free)"
  cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMERE_WITH_GUI=OFF \
    -DQUILLMERE_WITH_BENCH=OFF >/dev/null
  cmake --build "$native" -j2 --target quillmere-cli make_web_images >/dev/null
fi

echo "- the page in headless Chromium"
/usr/bin/python3 -B tests/web/test_page.py --page "$page" --cli "$native/cli/quillmere-cli" \
  --images "$native/tests/web/make_web_images" --bench build-web/bench.txt
