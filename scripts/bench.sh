#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine in a virtual display; each prints its own ratios.
# BENCH=<name> runs one (for example BENCH=startup_bench).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ensure_packages
build_win
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  source "$1/scripts/lib.sh"
  prepare_prefix
  rc=0
  for exe in "$BIN_DIR"/*_bench.exe; do
    name=$(basename "$exe" .exe)
    [ -n "${BENCH:-}" ] && [ "$BENCH" != "$name" ] && continue
    log "$name"
    wine "$exe" || rc=1
  done
  stop_wine
  exit $rc' _ "$ROOT"
