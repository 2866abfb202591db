#!/usr/bin/env bash
# Registers the stand-in Word as "Word.Application" in the current Wine prefix (WINEPREFIX is
# exported by the caller) and clears the stand-ins' settings, so the demo starts with a working
# Word and printer. Usage: register.sh <bin dir> [32]. Skips quietly when the server is not built.
# With "32" the server's class is registered as 32-bit Office registers Word's on 64-bit Windows:
# in the registry's 32-bit view only (the ProgID key, which Windows shares between the views, in
# both; Wine keeps the views apart even there).
set -euo pipefail

bin=${1:?usage: register.sh <bin dir> [32]}
view=${2:-64}
exe=$bin/testbed_word.exe
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
clsid='{6B3C1E52-3A0F-4C1B-9E61-5D2A7B8C9F01}'

# Samples live beside bin/ (the build makes them too; this covers a prefix made without a build).
samples=$(dirname "$bin")/samples
if [ -d "$bin" ] && [ ! -f "$samples/.made" ] && command -v python3 >/dev/null; then
  python3 "$here/samples/make_samples.py" "$samples" && touch "$samples/.made" || true
fi

if [ ! -f "$exe" ]; then
  echo "testbed: $exe not built yet, not registered" >&2
  exit 0
fi

winexe=$(winepath -w "$exe" 2>/dev/null)
[ -n "$winexe" ] || { echo "testbed: winepath failed for $exe" >&2; exit 1; }
escaped=${winexe//\\/\\\\}

reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
cat >"$reg" <<REG
REGEDIT4

[HKEY_CLASSES_ROOT\\Word.Application]
@="Word stand-in (Tavrolin testbed)"

[HKEY_CLASSES_ROOT\\Word.Application\\CLSID]
@="$clsid"

[HKEY_CLASSES_ROOT\\CLSID\\$clsid]
@="Word stand-in (Tavrolin testbed)"

[HKEY_CLASSES_ROOT\\CLSID\\$clsid\\LocalServer32]
@="$escaped"

[HKEY_CLASSES_ROOT\\CLSID\\$clsid\\ProgID]
@="Word.Application"

[-HKEY_CURRENT_USER\\Software\\TavrolinTestbed]

; The stand-in's two printers, known to the system so that its default printer can be read and
; set (Word changes it when its active printer is set); "Office Laser" is the default.
[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices]
"Office Laser"="winspool,LPT1:"
"PDF Printer"="winspool,Ne00:"

[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts]
"Office Laser"="winspool,LPT1:,15,45"
"PDF Printer"="winspool,Ne00:,15,45"

[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows]
"Device"="Office Laser,winspool,LPT1:"
REG
wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1
if [ "$view" = 32 ]; then
  class="HKLM\\Software\\Classes\\CLSID\\$clsid"
  wine reg delete "$class" /reg:64 /f >/dev/null 2>&1 || true
  wine reg add 'HKLM\Software\Classes\Word.Application\CLSID' /ve /d "$clsid" /reg:32 /f >/dev/null
  wine reg add "$class\\LocalServer32" /ve /d "$winexe" /reg:32 /f >/dev/null
  wine reg add "$class\\ProgID" /ve /d Word.Application /reg:32 /f >/dev/null
else
  # A 32-bit registration of an earlier run must not linger beside this one.
  wine reg delete "HKLM\\Software\\Classes\\CLSID\\$clsid" /reg:32 /f >/dev/null 2>&1 || true
fi
echo "testbed: registered $winexe as Word.Application ($view-bit view)" >&2
