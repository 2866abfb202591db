#!/usr/bin/env bash
# Builds what is missing and starts Tavrolin under Wine, with the stand-in Word and PDF printer
# registered in the private prefix. Uses $DISPLAY when there is one; otherwise starts Xvfb and a
# VNC server on it, for this machine only, and prints how to watch and use the window.
# Ctrl+C or closing the window ends the run and everything it started.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ensure_packages
build_win

xvfb_pid="" vnc_pid="" app_pid="" vnc_out="" wine_used=""
cleanup() {
  trap - EXIT INT TERM HUP
  [ -n "$app_pid" ] && { kill "$app_pid" 2>/dev/null || true; }
  # Only this prefix's server and its programs.
  if [ -n "$wine_used" ]; then
    stop_wine
    timeout 20 wineserver -w 2>/dev/null || true
  fi
  for pid in $vnc_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
  for pid in $vnc_pid $xvfb_pid; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
  done
  [ -n "$vnc_out" ] && rm -f "$vnc_out"
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

if [ -z "${DISPLAY:-}" ]; then
  display=""
  for n in $(seq 90 120); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { display=:$n; break; }
  done
  [ -n "$display" ] || { log "no free display between :90 and :120"; exit 1; }
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  xdpyinfo >/dev/null 2>&1 || { log "Xvfb did not start on $DISPLAY"; exit 1; }

  # No password: it listens on 127.0.0.1 only. It picks the first free port from 5900 on.
  vnc_out=$(mktemp)
  x11vnc -display "$DISPLAY" -localhost -nopw -forever -shared -quiet >"$vnc_out" 2>/dev/null &
  vnc_pid=$!
  port=""
  for _ in $(seq 100); do
    port=$(sed -n 's/^PORT=\([0-9]*\)$/\1/p' "$vnc_out")
    [ -n "$port" ] && break
    kill -0 "$vnc_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$port" ] || { log "the VNC server did not start"; exit 1; }
  log "no display: started Xvfb on $DISPLAY and a VNC server for it on localhost:$port"
  log "watch and use the window with a VNC viewer on this machine:  vncviewer localhost::$port"
  log "  (from another machine: ssh -L $port:localhost:$port <this machine>, then the viewer there)"
  log "a picture of it:  vncsnapshot localhost::$port tavrolin.jpg"
  # No window manager, so no close box: Wine closes the window on Alt+F4 itself.
  log "Alt+F4 in the window, or Ctrl+C here, ends the run"
fi

wine_used=1
export TAVROLIN_WINEPREFIX=$BUILD_DIR/wine-run
prepare_prefix
set_theme on  # visual styles, as Windows 10 and 11 users see the window
# The stand-in printer asks through the platform's own "Save As" dialog, as real printers do;
# TAVROLIN_SAVE_AS_DIALOG=plain|windows|itemdialog shows another (see testbed/README.md).
wine reg add 'HKCU\Software\TavrolinTestbed' /v SaveAsDialog /t REG_SZ /d "${TAVROLIN_SAVE_AS_DIALOG:-system}" /f >/dev/null
log "starting $BIN_DIR/tavrolin.exe (Ctrl+C or closing the window ends the run)"
# In the background, so that Ctrl+C reaches the trap at once instead of after the program.
wine "$BIN_DIR/tavrolin.exe" &
app_pid=$!
rc=0
wait "$app_pid" || rc=$?
exit $rc
