#!/usr/bin/env bash
# The window under Windows' own font scaling, 125 % and 150 %: each in a prefix of its own
# whose LogPixels (120, 144) stands for the system's scale setting, where the window's
# test checks that every control stays inside the window and every caption clears its
# value, and keeps a picture of the window in OUT-DIR (window-125.png, window-150.png).
#   scaled_window_test.sh WINE-RUN PREFIX-BASE TEST-PROGRAM OUT-DIR
set -euo pipefail
run="$1" base="$2" program="$3" out="$4"
mkdir -p "$out"
status=0
for scale in 125:120 150:144; do
  percent=${scale%:*} dpi=${scale#*:}
  export VL_WINEPREFIX="$base-$percent"
  "$run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  # The setting is read as a program starts: the next one sees it.
  WINEPREFIX="$VL_WINEPREFIX" wineserver -k 2>/dev/null || true
  echo "--- $percent % (LogPixels $dpi)"
  picture="$(realpath "$out")/window-$percent.png"
  VL_EXPECTED_DPI=$dpi VL_SCREENSHOT="Z:${picture//\//\\}" \
    WINEQT_QPA_PLATFORM=windows "$run" "$program" \
    --gtest_filter='WindowFont.ScaledByTheSystem*' || status=1
  WINEPREFIX="$VL_WINEPREFIX" wineserver -k 2>/dev/null || true
done
exit $status
