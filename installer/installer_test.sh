#!/usr/bin/env bash
# The installer under Wine, as a user and a line's administrator would run it, on the
# shipped setup's files: an older version installed, the new one refused while a program
# runs, installed over the old one (whose dropped file goes), installed again as a repair,
# and uninstalled; signed with a throwaway certificate made here.
#   installer_test.sh DEPLOY-DIR FILES.NSH NSI ICON VERSION WINE-RUN PREFIX STAND-IN-DIR SIGN-SCRIPT
set -euo pipefail
deploy="$1" files="$2" nsi="$3" icon="$4" version="$5" run="$6" standins="$8" sign="$9"
export VL_WINEPREFIX="$7"
rm -rf "$VL_WINEPREFIX" "$VL_WINEPREFIX.lock"
work=$(mktemp -d)
# A program left running would hold the test's output open after the script has ended.
trap 'WINEPREFIX="$VL_WINEPREFIX" wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
say() { echo "--- $(date +%T) $*"; }
drive="$VL_WINEPREFIX/drive_c"

# A throwaway code-signing certificate, trusted by nobody but this test.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=VLFWLoader test signing/O=Velmarkon" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass: -out "$work/sign.pfx"
export VL_TIMESTAMP_URL=none VL_SIGN_PASSWORD=

# The new version: the build's files, the programs signed, the setup and its
# uninstaller signed as makensis finishes them.
cp -r "$deploy" "$work/new"
for program in VLFWLoader.exe vlfwflash.exe; do "$sign" "$work/sign.pfx" "$work/new/$program"; done
makensis -V2 -DVERSION="$version" -DARCH=i686 -DDEPLOY="$work/new" -DOUTFILE="$work/new-setup.exe" \
  -DFILES="$files" -DICON="$icon" "-DSIGN=$sign $work/sign.pfx" "$nsi" >/dev/null
# The old version: the same files and one more, which the new version no longer ships.
cp -r "$deploy" "$work/old"
echo "shipped by the old version only" > "$work/old/readme-old.txt"
sed 's|^!macro VL_INSTALL_FILES$|&\n  SetOutPath "$INSTDIR"\n  File "${DEPLOY}\\readme-old.txt"|;
     s|^!macro VL_UNINSTALL_FILES$|&\n  Delete "$INSTDIR\\readme-old.txt"|' "$files" > "$work/old-files.nsh"
makensis -V2 -DVERSION=0.9 -DARCH=i686 -DDEPLOY="$work/old" -DOUTFILE="$work/old-setup.exe" \
  -DFILES="$work/old-files.nsh" -DICON="$icon" "$nsi" >/dev/null

verify() {
  osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >/dev/null 2>&1 || fail "$(basename "$1") does not verify"
}
verify "$work/new-setup.exe"
say "signed setup verifies"

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VLFWLoader'
registry() {  # registry KEY VALUE: the value's data, empty when there is none
  "$run" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
setup() { local code=0; "$run" "$@" || code=$?; echo "$code"; }
installed_files() { (cd "$folder" && find . -type f | sort | md5sum); }

say "install the old version"
[ "$(setup "$work/old-setup.exe" /S)" = 0 ] || fail "the old version's setup failed"
program=$(find "$drive" -ipath '*/program files*/VLFWLoader/VLFWLoader.exe' | head -n 1)
[ -n "$program" ] || fail "no VLFWLoader.exe under Program Files"
folder=$(dirname "$program")
windows_folder=$("$run" winepath -w "$folder" | tr -d '\r')
[ -e "$folder/readme-old.txt" ] || fail "the old version's own file is missing"
[ "$(registry "$uninstall_key" DisplayVersion)" = 0.9 ] || fail "no entry for version 0.9"

say "the window runs: neither the new setup nor the uninstaller change anything"
drivers=(ftd2xx.dll VLUSB.dll libvlsimbus.dll)
for name in "${drivers[@]}"; do cp "$standins/$name" "$folder/"; done
QT_QPA_PLATFORM=windows "$run" "$program" &
window=$!
sleep 8
before=$(installed_files)
code=$(setup "$work/new-setup.exe" /S)
[ "$code" = 2 ] || fail "the setup did not refuse while the window runs (exit code $code)"
# _? runs the uninstaller in place: without it, it copies itself away and its exit code
# is that of the copying. The folder after it goes unquoted, which Wine's own quoting of
# an argument with spaces would break: a batch file passes it as written.
printf '@"%s\\Uninstall.exe" /S _?=%s\r\n@exit /b %%errorlevel%%\r\n' "$windows_folder" "$windows_folder" \
  > "$drive/uninstall-in-place.bat"
code=$(setup cmd /c 'C:\uninstall-in-place.bat')
[ "$code" = 2 ] || fail "the uninstaller did not refuse while the window runs (exit code $code)"
[ "$(installed_files)" = "$before" ] || fail "files changed while the window ran"
[ "$(registry "$uninstall_key" DisplayVersion)" = 0.9 ] || fail "the entry changed while the window ran"
"$run" taskkill /im VLFWLoader.exe >/dev/null 2>&1 || true   # a request to close, not a kill
for _ in $(seq 1 150); do kill -0 "$window" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$window" 2>/dev/null; then fail "the installed program did not close"; fi
for name in "${drivers[@]}"; do rm -f "$folder/$name"; done
settings=$(find "$drive/users" -ipath '*/VLFWLoader/VLFWLoader.ini' | head -n 1)
[ -n "$settings" ] || fail "the installed program wrote no settings in the user's data folder"
[ ! -e "$folder/VLFWLoader.ini" ] || fail "settings written into Program Files"
[ ! -e "$folder/Logs" ] || fail "logs written into Program Files"

say "install the new version over the old one, with the PATH entry"
[ "$(setup "$work/new-setup.exe" /S /ADDTOPATH)" = 0 ] || fail "the new version's setup failed"
[ ! -e "$folder/readme-old.txt" ] || fail "the file the new version dropped is still there"
for name in VLFWLoader.exe vlfwflash.exe Uninstall.exe; do
  [ -e "$folder/$name" ] || fail "$name missing"
  verify "$folder/$name"
done
(cd "$folder" && find . -type f | sed 's|^\./||' | sort) > "$work/installed.txt"
(cd "$work/new" && find . -type f | sed 's|^\./||'; echo Uninstall.exe) | sort > "$work/shipped.txt"
diff "$work/shipped.txt" "$work/installed.txt" >&2 || fail "installed files differ from the shipped ones"
for name in ftd2xx.dll VLUSB.dll libvlsimbus.dll Qt6Test.dll; do
  [ ! -e "$folder/$name" ] || fail "$name must not be shipped"
done
[ "$(registry "$uninstall_key" DisplayVersion)" = "$version" ] || fail "no entry for version $version"
[ "$(registry "$uninstall_key" Publisher)" = Velmarkon ] || fail "no publisher"
[ -n "$(registry "$uninstall_key" DisplayIcon)" ] || fail "no icon"
[ -n "$(registry "$uninstall_key" InstallLocation)" ] || fail "no install location"
size=$(registry "$uninstall_key" EstimatedSize)
[ -n "$size" ] && [ $((size)) -gt 1000 ] || fail "estimated size '$size'"
entries=$("$run" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null | grep -ci 'VLFWLoader' || true)
[ "$entries" = 1 ] || fail "$entries entries in Apps and Features"
path=$(registry 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' Path)
grep -qi 'VLFWLoader' <<<"$path" || fail "the install folder is not on PATH: $path"
find "$drive" -path '*Start Menu*' -iname '*.lnk' | grep -q . || fail "no Start-menu shortcut"
say "installed: $(tr '\n' ' ' < "$work/installed.txt")"

say "the signed programs pass their own checks, and fail them once changed"
out=$("$run" "$folder/vlfwflash.exe" --version 2>&1 | tr -d '\r') || true
[ "$out" = "vlfwflash $version" ] || fail "vlfwflash --version printed '$out'"
code=0; out=$("$run" "$folder/vlfwflash.exe" list --json 2>&1) || code=$?
[ "$code" = 3 ] || fail "the signed vlfwflash without drivers ended with $code (3 expected): $out"
# The window in a copy of the folder with the toolkit's offscreen platform added: with
# no driver library it says so and closes by itself.
cp -r "$folder" "$work/try"
cp "$standins/platforms/qoffscreen.dll" "$work/try/platforms/"
code=0; out=$(WINEQT_QPA_PLATFORM=offscreen timeout 180 "$run" "$work/try/VLFWLoader.exe" 2>&1) || code=$?
grep -q "повреждён" <<<"$out" && fail "the signed window fails its seal: $out"
grep -q "Перед первым запуском программы" <<<"$out" || fail "the signed window: $out"
cp "$folder/vlfwflash.exe" "$work/changed.exe"
offset=$(grep -obUa 'GCC: (' "$work/changed.exe" | head -n 1 | cut -d: -f1)
printf 'X' | dd of="$work/changed.exe" bs=1 seek=$((offset + 2)) conv=notrunc status=none
cp "$work/changed.exe" "$folder/vlfwflash-changed.exe"
code=0; out=$("$run" "$folder/vlfwflash-changed.exe" list --json 2>&1) || code=$?
rm -f "$folder/vlfwflash-changed.exe"
[ "$code" = 6 ] || fail "a changed signed vlfwflash ended with $code (6 expected): $out"

say "install the same version again: a repair"
rm -f "$folder/Qt6Core.dll"
[ "$(setup "$work/new-setup.exe" /S)" = 0 ] || fail "the repair failed"
[ -e "$folder/Qt6Core.dll" ] || fail "the repair did not put back a missing file"
path=$(registry 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' Path)
grep -qi 'VLFWLoader' <<<"$path" || fail "the repair dropped the PATH entry: $path"

say "uninstall"
[ "$(setup "$folder/Uninstall.exe" /S)" = 0 ] || fail "the uninstaller failed"
# The uninstaller copies itself away and returns before it has finished.
for _ in $(seq 1 100); do [ -e "$folder" ] || break; sleep 0.2; done
[ ! -e "$folder" ] || fail "left behind: $(ls -R "$folder")"
[ -e "$settings" ] || fail "the uninstaller removed the user's settings"
if find "$drive" -path '*Start Menu*' -iname '*.lnk' | grep -q .; then fail "shortcut left behind"; fi
[ -z "$(registry "$uninstall_key" DisplayName)" ] || fail "the Apps and Features entry is left"
path=$(registry 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' Path)
grep -qi 'VLFWLoader' <<<"$path" && fail "the PATH entry is left: $path"
[ -n "$path" ] || fail "PATH is empty after the uninstall"
WINEPREFIX="$VL_WINEPREFIX" wineserver -k 2>/dev/null || true
echo "installer: $(stat -c %s "$work/new-setup.exe") bytes; old version installed, refused while running, upgraded, repaired, uninstalled"
