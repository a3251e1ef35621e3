#!/usr/bin/env bash
# Runs a test executable on the X server xvfb-run gave it, under a window
# manager when one is installed, so that focus and activation behave as on
# an author's desktop.
set -u
test_exe="$1"; shift
wm_pid=
if command -v openbox >/dev/null 2>&1; then
  openbox >/dev/null 2>&1 &
  wm_pid=$!
  sleep 0.5
fi
QT_QPA_PLATFORM=xcb "$test_exe" "$@"
rc=$?
if [ -n "$wm_pid" ]; then kill "$wm_pid" 2>/dev/null; wait "$wm_pid" 2>/dev/null; fi
exit $rc
