#!/usr/bin/env bash
# How ctest starts the Windows build's test programs: in that build's own Wine prefix (never
# ~/.wine), with the stand-ins registered, on the display of the caller. scripts/test.sh gives
# it all of these; plain `ctest` in the Windows build folder works on any display, for example
# `xvfb-run -a ctest --test-dir build/win`. Usage (set by CMake): wine_test.sh <win build dir> <program> [args]
win_build=${1:?usage: wine_test.sh <win build dir> <program> [args]}
shift
export BUILD_DIR
BUILD_DIR=$(dirname "$win_build")
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

if [ -z "${DISPLAY:-}" ]; then
  log "no display: run every test with 'bash scripts/test.sh', or these with 'xvfb-run -a ctest --test-dir $WIN_DIR'"
  exit 1
fi
wine_env
# scripts/test.sh has prepared the prefix already.
if [ -z "${TAVROLIN_PREFIX_READY:-}" ]; then
  if [ ! -f "$WINEPREFIX/.tavrolin-prepared" ] || ! wine reg query 'HKCR\Word.Application' >/dev/null 2>&1; then
    prepare_prefix >&2
  fi
fi
exec wine "$@"
