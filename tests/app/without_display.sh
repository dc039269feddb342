#!/usr/bin/env bash
# Without a display, scripts/run and the program itself each say that a
# graphical session is needed and exit non-zero, before anything else happens;
# the program says the same when the display it is given cannot be reached.
#   without_display.sh PROGRAM RUN_SCRIPT
set -uo pipefail
program=$1
run_script=$2
failed=0

check() {
  local what=$1
  shift
  local output status
  output=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" 2>&1 </dev/null)
  status=$?
  if [ "$status" -eq 0 ]; then
    echo "FAIL: $what exited with 0 without a display"
    failed=1
  elif ! grep -q "needs a graphical session" <<<"$output"; then
    echo "FAIL: $what did not say that a graphical session is needed; it said:"
    echo "$output"
    failed=1
  elif grep -qiE "reinstall|platform plugin" <<<"$output"; then
    echo "FAIL: $what still printed the toolkit's plugin advice:"
    echo "$output"
    failed=1
  else
    echo "ok: $what (exit $status): $(head -n 1 <<<"$output")"
  fi
}

check "the program" env -u DISPLAY "$program"
check "scripts/run" env -u DISPLAY "$run_script"
# A display that is named but cannot be reached: the toolkit fails to connect.
check "the program with an unreachable display" env DISPLAY=:9876 "$program"
exit $failed
