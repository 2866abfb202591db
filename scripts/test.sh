#!/usr/bin/env bash
# Runs every test: native unit tests, then the Win32 and end-to-end tests under Wine in a
# private prefix and a virtual display of their own, then the checks of the Windows package: the
# zip and the MSI. Exits non-zero on any failure.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ensure_packages
build_native
log "unit tests"
native_rc=0
ctest --test-dir "$NATIVE_DIR" --output-on-failure || native_rc=$?

build_win

# The package as a user gets it: built alone, zipped, unzipped into a folder of its own.
log "Windows package"
package_rc=0
package_dir=$BUILD_DIR/package-check
rm -rf "$package_dir"
msi_file=""
old_msi_file=""
if packaged=$(bash "$ROOT/scripts/package.sh") && zip_file=$(tail -n 1 <<<"$packaged") && [ -f "$zip_file" ]; then
  msi_file=$(grep '\.msi$' <<<"$packaged" | tail -n 1)
  # An older MSI of the same files to upgrade from: only its version differs (any real
  # version is above 0.0.1).
  old_msi_file=$(TAVROLIN_PACKAGE_VERSION=0.0.1 TAVROLIN_PACKAGE_OUT="$BUILD_DIR/installer-check" \
    bash "$ROOT/scripts/package.sh" | grep '\.msi$' | tail -n 1) || old_msi_file=""
  if [ ! -f "$msi_file" ] || [ ! -f "$old_msi_file" ]; then
    log "scripts/package.sh made no MSI"
    package_rc=1
  fi
  listed=$(unzip -Z1 "$zip_file" | LC_ALL=C sort | tr '\n' ' ')
  expected="HAND-M.CUR README.txt drag.ico tavrolin.exe "
  if [ "$listed" != "$expected" ]; then
    log "the package holds '$listed' instead of '$expected'"
    package_rc=1
  fi
  mkdir -p "$package_dir"
  unzip -q "$zip_file" -d "$package_dir" || package_rc=1
else
  log "scripts/package.sh failed"
  package_rc=1
fi

log "Win32 and end-to-end tests under Wine, then the unzipped package and the MSI"
win_rc=0
# One display for the whole run; the tests start nothing else of their own. Exit bits:
# 1 for the test suite, 2 for the package check, 4 for the installer check.
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  source "$1/scripts/lib.sh"
  prepare_prefix
  set_theme off  # the classic look, whatever an earlier run left; tests that want another set it
  rc=0
  TAVROLIN_PREFIX_READY=1 ctest --test-dir "$WIN_DIR" --output-on-failure ${CTEST_ARGS:-} || rc=1
  if [ -f "$2/tavrolin.exe" ]; then
    TAVROLIN_PACKAGE_DIR=$(winepath -w "$2" 2>/dev/null) wine "$BIN_DIR/e2e_package_check.exe" || rc=$((rc | 2))
  fi
  # Installs into this prefix and removes everything again.
  if [ -f "$3" ] && [ -f "$4" ]; then
    start=$SECONDS
    TAVROLIN_MSI=$(winepath -w "$3" 2>/dev/null) TAVROLIN_OLD_MSI=$(winepath -w "$4" 2>/dev/null) \
      wine "$BIN_DIR/e2e_installer_check.exe" || rc=$((rc | 4))
    log "installer check: $((SECONDS - start)) s"
  fi
  stop_wine
  exit $rc' _ "$ROOT" "$package_dir" "$msi_file" "$old_msi_file" || win_rc=$?
[ $((win_rc & 6)) -eq 0 ] || package_rc=1
win_rc=$((win_rc & ~6))

if [ "$native_rc" -ne 0 ] || [ "$win_rc" -ne 0 ] || [ "$package_rc" -ne 0 ]; then
  log "FAILED (unit: $native_rc, Wine: $win_rc, package: $package_rc)"
  exit 1
fi
log "all tests passed"
