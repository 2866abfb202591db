#!/usr/bin/env bash
# The whole job on the sample documents, through the real window, driven as a person would:
# two documents through the open dialog, a folder through the input box and the folder picker,
# the export, "Done.". Prints each step, each PDF with its page count and first line, and a
# screenshot of each step. Exits non-zero when a step fails. Installs and builds what is missing.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ensure_packages
build_win --target e2e_demo

shots=$WIN_DIR/screenshots/demo
rc=0
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  source "$1/scripts/lib.sh"
  prepare_prefix
  rc=0
  wine "$BIN_DIR/e2e_demo.exe" || rc=$?
  stop_wine
  exit $rc' _ "$ROOT" || rc=$?

printf 'Screenshots:\n'
found=0
for bmp in "$shots"/*.bmp; do
  [ -e "$bmp" ] || continue
  png=${bmp%.bmp}.png
  if convert "$bmp" "$png" && [ -s "$png" ]; then
    rm -f "$bmp"
    printf '  %s\n' "$png"
    found=1
  else
    log "cannot convert $bmp"
    rc=1
  fi
done
[ "$found" -eq 1 ] || { log "no screenshots in $shots"; rc=1; }

if [ "$rc" -ne 0 ]; then
  log "demo FAILED"
  exit 1
fi
log "demo done"
