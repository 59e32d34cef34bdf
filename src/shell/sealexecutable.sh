#!/usr/bin/env bash
# Seals a freshly linked program: appends "VLFW-SHA256:" and the SHA-256 of the file as it
# stands, in 64 lower-case hex digits; the program checks the trailer at start
# (integritycheck.h). In a Windows program the PE header's checksum field and security
# directory entry are hashed as zeros, since signing the program later changes them.
#   sealexecutable.sh PROGRAM
set -euo pipefail
file="$1"
[ -f "$file" ] || { echo "sealexecutable: no file '$file'" >&2; exit 1; }
marker="VLFW-SHA256:"
size=$(stat -c %s "$file")
# Sealed already: a second trailer would seal the first one instead of the program.
if [ "$size" -gt 76 ] && tail -c 76 "$file" | grep -Eqx "${marker}[0-9a-f]{64}"; then exit 0; fi

u32() { od -An -tu4 -j "$1" -N 4 "$file" | tr -d ' '; }
u16() { od -An -tu2 -j "$1" -N 2 "$file" | tr -d ' '; }
zeroed=()  # offset:length of the fields hashed as zeros, in file order
if [ "$size" -ge 64 ] && [ "$(head -c 2 "$file")" = MZ ]; then
  pe=$(u32 60)
  # As the program reads it: a header within the first 4 KiB and whole in the file.
  if [ "$pe" -ge 64 ] && [ "$pe" -le 2048 ] && [ $((pe + 184)) -le "$size" ] && [ "$(od -An -tx1 -j "$pe" -N 4 "$file" | tr -d ' ')" = 50450000 ]; then
    optional=$((pe + 24))
    case "$(u16 "$optional")" in
      267) count_at=$((optional + 92)) ;;   # PE32
      523) count_at=$((optional + 108)) ;;  # PE32+
      *) echo "sealexecutable: unknown optional header in $file" >&2; exit 1 ;;
    esac
    zeroed+=("$((optional + 64)):4")
    if [ "$(u32 "$count_at")" -gt 4 ]; then
      security=$((count_at + 4 + 32))
      [ "$(u32 "$security")" = 0 ] || { echo "sealexecutable: $file is signed already" >&2; exit 1; }
      zeroed+=("$security:8")
    fi
  fi
fi

# The file with those fields as zeros.
sealed_bytes() {
  local at=0 field offset length
  for field in "${zeroed[@]}"; do
    offset=${field%:*} length=${field#*:}
    dd if="$file" bs=64K iflag=skip_bytes,count_bytes skip="$at" count=$((offset - at)) status=none
    head -c "$length" /dev/zero
    at=$((offset + length))
  done
  dd if="$file" bs=64K iflag=skip_bytes skip="$at" status=none
}
digest=$(sealed_bytes | sha256sum | cut -d' ' -f1)
printf '%s%s' "$marker" "$digest" >> "$file"
