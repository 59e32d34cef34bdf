#!/usr/bin/env bash
# The installer under Wine, as a user would run it: installed silently into Program Files
# of a fresh prefix, the installed program started beside the simulator's stand-in driver
# libraries (the installer ships none) and closed as a user closes it, then uninstalled.
#   installer_test.sh SETUP.EXE WINE-RUN PREFIX STAND-IN-DIR
set -euo pipefail
setup="$1" run="$2" standins="$4"
export VL_WINEPREFIX="$3"
rm -rf "$VL_WINEPREFIX" "$VL_WINEPREFIX.lock"
fail() { echo "FAILED: $*"; exit 1; }
drive="$VL_WINEPREFIX/drive_c"

"$run" "$setup" /S || fail "the installer exited with $?"
program=$(find "$drive" -ipath '*/program files*/VLFWLoader/VLFWLoader.exe' | head -n 1)
[ -n "$program" ] || fail "no VLFWLoader.exe under Program Files"
folder=$(dirname "$program")
echo "installed into ${folder#$drive/}: $(ls "$folder" | tr '\n' ' ')"
for name in ftd2xx.dll VLUSB.dll libvlsimbus.dll Qt6Test.dll; do
  [ ! -e "$folder/$name" ] || fail "$name must not be shipped"
done
find "$drive" -path '*Start Menu*' -iname '*.lnk' | grep -q . || fail "no Start-menu shortcut"

drivers=(ftd2xx.dll VLUSB.dll libvlsimbus.dll)
for name in "${drivers[@]}"; do cp "$standins/$name" "$folder/"; done
QT_QPA_PLATFORM=windows "$run" "$program" &
pid=$!
sleep 8
"$run" taskkill /im VLFWLoader.exe >/dev/null 2>&1 || true   # a request to close, not a kill
for _ in $(seq 1 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$pid" 2>/dev/null; then kill "$pid"; fail "the installed program did not close"; fi
for name in "${drivers[@]}"; do rm -f "$folder/$name"; done
settings=$(find "$drive/users" -ipath '*/VLFWLoader/VLFWLoader.ini' | head -n 1)
[ -n "$settings" ] || fail "the installed program wrote no settings in the user's data folder"
echo "settings written to ${settings#$drive/}"
[ ! -e "$folder/VLFWLoader.ini" ] || fail "settings written into Program Files"
[ ! -e "$folder/Logs" ] || fail "logs written into Program Files"

"$run" "$folder/Uninstall.exe" /S || fail "the uninstaller exited with $?"
# The uninstaller copies itself away and returns before it has finished.
for _ in $(seq 1 100); do [ -e "$folder" ] || break; sleep 0.2; done
[ ! -e "$folder" ] || fail "left behind: $(ls -R "$folder")"
[ -e "$settings" ] || fail "the uninstaller removed the user's settings"
if find "$drive" -path '*Start Menu*' -iname '*.lnk' | grep -q .; then fail "shortcut left behind"; fi
WINEPREFIX="$VL_WINEPREFIX" wineserver -k 2>/dev/null || true
echo "installer: $(stat -c %s "$setup") bytes; installed, started, uninstalled"
