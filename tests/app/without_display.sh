#!/usr/bin/env bash
# Without a display, scripts/run and the program itself each say that a
# graphical session is needed and exit non-zero, before anything else happens.
#   without_display.sh PROGRAM RUN_SCRIPT
set -uo pipefail
program=$1
run_script=$2
failed=0

check() {
  local what=$1
  shift
  local output status
  output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" 2>&1 </dev/null)
  status=$?
  if [ "$status" -eq 0 ]; then
    echo "FAIL: $what exited with 0 without a display"
    failed=1
  elif ! grep -q "needs a graphical session" <<<"$output"; then
    echo "FAIL: $what did not say that a graphical session is needed; it said:"
    echo "$output"
    failed=1
  elif grep -qi "platform plugin" <<<"$output"; then
    echo "FAIL: $what still printed the toolkit's plugin advice:"
    echo "$output"
    failed=1
  else
    echo "ok: $what (exit $status): $(head -n 1 <<<"$output")"
  fi
}

check "the program" "$program"
check "scripts/run" "$run_script"
exit $failed
