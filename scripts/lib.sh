# Shared by run.sh, test.sh, bench.sh, demo.sh and package.sh: packages, builds, the private Wine prefix.
# shellcheck shell=bash
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
NATIVE_DIR=$BUILD_DIR/native
WIN_DIR=$BUILD_DIR/win
BIN_DIR=$WIN_DIR/bin
# The product alone, for the Windows package.
PACKAGE_BUILD_DIR=$BUILD_DIR/package

PACKAGES=(cmake ninja-build g++ googletest libgtest-dev libgmock-dev python3
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64
  xvfb xauth x11-apps x11-utils xdotool imagemagick poppler-utils fonts-liberation procps
  x11vnc zip unzip libz-mingw-w64-dev nlohmann-json3-dev locales wixl msitools qpdf)

# The suite runs in this one language; the cases that need another pick one of LOCALES on
# purpose (the stand-in printer shows its dialog in a process started under it).
SUITE_LOCALE=C.UTF-8
LOCALES=(de_DE.UTF-8 ja_JP.UTF-8)

log() { printf '== %s\n' "$*" >&2; }

ensure_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
  fi
  ensure_locales
}

# Generates the LOCALES that the C library does not have yet (a fresh machine has none).
ensure_locales() {
  local missing=() name
  for name in "${LOCALES[@]}"; do
    # locale -a spells de_DE.UTF-8 as de_DE.utf8.
    locale -a 2>/dev/null | grep -qix "${name%%.*}.utf-\?8" || missing+=("$name")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "generating the locales ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  for name in "${missing[@]}"; do
    if ! grep -q "^${name} UTF-8" /etc/locale.gen 2>/dev/null; then
      if grep -q "^# *${name} UTF-8" /etc/locale.gen 2>/dev/null; then
        $sudo sed -i "s/^# *${name} UTF-8/${name} UTF-8/" /etc/locale.gen
      else
        echo "${name} UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
      fi
    fi
  done
  $sudo locale-gen >/dev/null
}

build_native() {
  log "native build (logic and unit tests)"
  cmake -S "$ROOT" -B "$NATIVE_DIR" -G Ninja >/dev/null
  cmake --build "$NATIVE_DIR" -j "$(nproc)"
}

# Arguments go to the build (for example --target e2e_demo); none builds everything.
build_win() {
  log "Windows build (mingw-w64)"
  cmake -S "$ROOT" -B "$WIN_DIR" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$WIN_DIR" -j "$(nproc)" "$@"
}

build_package() {
  log "Windows build of the program alone (release, for the package)"
  cmake -S "$ROOT" -B "$PACKAGE_BUILD_DIR" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DTAVROLIN_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$PACKAGE_BUILD_DIR" -j "$(nproc)" --target tavrolin
}

wine_env() {
  # Wine stores Windows file names in the Unix file system in the locale's character set, so the
  # locale is UTF-8 (Debian's C library always has C.UTF-8). The tests run in one known language
  # whatever the machine speaks, since Wine draws its own dialogs and message boxes in the
  # locale's; scripts/run.sh (a prefix of its own) keeps the machine's language.
  if [ -z "${TAVROLIN_WINEPREFIX:-}" ]; then
    export LC_ALL=$SUITE_LOCALE LANG=$SUITE_LOCALE
    unset LANGUAGE
  elif [ "$(locale charmap 2>/dev/null)" != "UTF-8" ]; then
    export LC_ALL=C.UTF-8
  fi
  # The tests' prefix; scripts/run.sh keeps one of its own, so that what it switches on (the
  # visual style) never reaches a test.
  export WINEPREFIX=${TAVROLIN_WINEPREFIX:-$BUILD_DIR/wine}
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
}

# Creates the prefix once and registers the stand-ins (needs a display).
prepare_prefix() {
  wine_env
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating the Wine prefix $WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w
  fi
  if [ ! -f "$WINEPREFIX/.tavrolin-prepared" ]; then
    # A crashing test program must not wait for someone to close a crash dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
    wineserver -w
    # The user's folders (Desktop, Documents, ...) link to the host's home by default; plain
    # folders keep the tests and the folder picker independent of what lies there.
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
      [ -L "$link" ] || continue
      rm -f "$link" && mkdir -p "$link"
    done
    touch "$WINEPREFIX/.tavrolin-prepared"
  fi
  if [ -x "$ROOT/testbed/register.sh" ]; then
    "$ROOT/testbed/register.sh" "$BIN_DIR"
  fi
  wineserver -w
}

stop_wine() {
  wine_env
  wineserver -k 2>/dev/null || true
}

# Switches Wine's own visual style ("light") on or off for the programs started afterwards, as
# a Windows user's look would be: set_theme on|off.
set_theme() {
  wine_env
  local key='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
  case "${1:-}" in
    on)
      wine reg add "$key" /v DllName /t REG_SZ /d 'C:\windows\resources\themes\light\light.msstyles' /f
      wine reg add "$key" /v ColorName /t REG_SZ /d Blue /f
      wine reg add "$key" /v SizeName /t REG_SZ /d NormalSize /f
      wine reg add "$key" /v ThemeActive /t REG_SZ /d 1 /f ;;
    off)
      wine reg add "$key" /v ThemeActive /t REG_SZ /d 0 /f ;;
    *)
      log "set_theme: say on or off"
      return 1 ;;
  esac >/dev/null 2>&1
  wineserver -w
}
