#!/usr/bin/env bash
# Real vlfwflash runs against simulated devices, one of each outcome (written, failed,
# current, interrupted, a device to plug in again, an image refused by its hash): their
# JSON lines must validate against the schema file, keys in order, and the report must
# hold a record per device and open in LibreOffice Calc as the same cells.
#   station_run_test.sh BIN_DIR SOURCE_DIR [KEEP_DIR]
set -euo pipefail
bin=$1 source=$2
work=${3:-$(mktemp -d)}
mkdir -p "$work"
[ $# -ge 3 ] || trap 'rm -rf "$work"' EXIT
export VL_SIM_BUS="$work/bus.txt" XDG_DATA_HOME="$work/userdata"
rm -f "$VL_SIM_BUS" "$work"/*.jsonl "$work/report.csv"
ctl="$bin/vlsimctl"
boot="mode=boot loader=VLQN-1.3 cpu=0x25013F37"
"$ctl" add name=good adapter=ftdi serial=7100 fw=VLQN-2.2 $boot >/dev/null
"$ctl" add name=locked adapter=qn serial=7101 code=0x0102 fw=VLQN-2.2 locked=1 $boot >/dev/null
"$ctl" add name=current adapter=ftdi serial=7102 fw=VLQN-2.3b $boot >/dev/null
"$ctl" add name=app adapter=qn serial=7103 code=0x0103 mode=app fw=VLQN-2.1 loader=VLQN-1.3 cpu=0x25013F37 >/dev/null

common=(--json --no-log --report "$work/report.csv" --station "line-3" --operator "Пётр Иванов")
# The device in its application is plugged in again once it was told to start its boot
# loader, as a person at the line would.
( for _ in $(seq 100); do grep -q '"event":"reconnect"' "$work/write.jsonl" 2>/dev/null && break; sleep 0.1; done
  "$ctl" replug app 1500 >/dev/null ) &
status=0
"$bin/vlfwflash" write --count 4 --timeout 60 --skip-current "${common[@]}" > "$work/write.jsonl" || status=$?
wait
[ "$status" = 1 ] || { echo "write run: exit $status, expected 1"; cat "$work/write.jsonl"; exit 1; }

"$ctl" remove good >/dev/null; "$ctl" remove locked >/dev/null; "$ctl" remove current >/dev/null
"$ctl" remove app >/dev/null
"$ctl" add name=slow adapter=ftdi serial=7104 fw=VLQN-2.2 writems=20 $boot >/dev/null
"$bin/vlfwflash" watch "${common[@]}" > "$work/watch.jsonl" &
pid=$!
for _ in $(seq 300); do grep -q '"event":"progress"' "$work/watch.jsonl" 2>/dev/null && break; sleep 0.1; done
kill -INT $pid
status=0; wait $pid || status=$?
[ "$status" = 130 ] || { echo "watch run: exit $status, expected 130"; cat "$work/watch.jsonl"; exit 1; }

status=0
"$bin/vlfwflash" write --image-sha256 "$(printf '0%.0s' $(seq 64))" "${common[@]}" > "$work/refused.jsonl" || status=$?
[ "$status" = 2 ] || { echo "refused run: exit $status, expected 2"; cat "$work/refused.jsonl"; exit 1; }

python3 "$source/tests/cli/check_events.py" "$source/src/cli/events.schema.json" "$work"/*.jsonl
for event in start image listed reconnect started progress result gone log error summary; do
  grep -q "\"event\":\"$event\"" "$work"/*.jsonl || { echo "no $event event in the runs"; exit 1; }
done
for result in written failed current interrupted; do
  grep -q "\"result\":\"$result\"" "$work"/*.jsonl || { echo "no $result result in the runs"; exit 1; }
done
records=$(($(wc -l < "$work/report.csv") - 1))
[ "$records" = 5 ] || { echo "report: $records records, expected 5"; cat "$work/report.csv"; exit 1; }
# The report of the runs as a spreadsheet program shows it: the cells Python's CSV reader
# finds are the cells Calc must show, Cyrillic included (times and seconds any).
python3 - "$work/report.csv" > "$work/expected.tsv" <<'PY'
import csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8-sig", newline="")))
print("\t".join(rows[0]))
numbers = {"serial", "result_code", "last_reply"}
for row in rows[1:]:
    cells = []
    for name, cell in zip(rows[0], row):
        if name in ("time", "seconds"):
            cells.append("*")
        elif name in numbers and cell:
            cells.append("#" + cell)
        else:
            cells.append(cell.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t"))
    print("\t".join(cells))
PY
python3 "$source/tests/cli/report_in_calc.py" "$work/report.csv" "$work/expected.tsv"
echo "runs checked in $work"
