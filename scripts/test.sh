#!/usr/bin/env bash
# Runs every test: native unit tests, then the Win32 and end-to-end tests under Wine in a
# private prefix and a virtual display of their own. Exits non-zero on any failure.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ensure_packages
build_native
log "unit tests"
native_rc=0
ctest --test-dir "$NATIVE_DIR" --output-on-failure || native_rc=$?

build_win
log "Win32 and end-to-end tests under Wine"
win_rc=0
# One display for the whole run; the tests start nothing else of their own.
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  source "$1/scripts/lib.sh"
  prepare_prefix
  rc=0
  ctest --test-dir "$WIN_DIR" --output-on-failure ${CTEST_ARGS:-} || rc=$?
  stop_wine
  exit $rc' _ "$ROOT" || win_rc=$?

if [ "$native_rc" -ne 0 ] || [ "$win_rc" -ne 0 ]; then
  log "FAILED (unit: $native_rc, Wine: $win_rc)"
  exit 1
fi
log "all tests passed"
