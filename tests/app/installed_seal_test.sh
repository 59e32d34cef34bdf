#!/usr/bin/env bash
# The program as the Linux package carries it still checks out intact: packing and
# installing must leave the sealed file as it was built.
#   installed_seal_test.sh BUILD-DIR
set -euo pipefail
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
(cd "$root" && cpack -G DEB -B "$root/pack" --config "$1/CPackConfig.cmake" >/dev/null)
dpkg-deb -x "$(ls "$root"/pack/vlfwloader_*.deb)" "$root/installed"
program="$root/installed/usr/lib/vlfwloader/VLFWLoader"
[ -x "$program" ] || { echo "FAILED: nothing installed at $program"; exit 1; }
# No driver library beside it and none on the system: it says so and closes by itself.
out=$(HOME="$root/home" XDG_DATA_HOME="$root/home/data" TMPDIR="$root" QT_QPA_PLATFORM=offscreen \
      timeout 60 "$program" 2>&1) || true
if grep -q "повреждён" <<<"$out"; then echo "FAILED: the installed program fails its seal"; exit 1; fi
grep -q "Перед первым запуском программы" <<<"$out" || { echo "FAILED: $out"; exit 1; }
echo "the installed program checks out intact"
