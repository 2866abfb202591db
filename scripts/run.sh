#!/usr/bin/env bash
# Builds what is missing and starts Tavrolin under Wine, with the stand-in Word and PDF printer
# registered in the private prefix. Uses $DISPLAY when there is one, otherwise starts Xvfb.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ensure_packages
build_win

xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { display=:$n; break; }
  done
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  log "no display: started Xvfb on $DISPLAY"
  log "look at it with:  xwd -root -display $DISPLAY | convert xwd:- tavrolin.png"
  log "or drive it with: DISPLAY=$DISPLAY xdotool ..."
fi
cleanup() {
  stop_wine
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

prepare_prefix
set_theme on  # visual styles, as Windows 10 and 11 users see the window
log "starting $BIN_DIR/tavrolin.exe"
wine "$BIN_DIR/tavrolin.exe"
