#!/usr/bin/env bash
# The capture converters against their everyday peers on the same 64 MB of random data:
# dumpflip's dump against xxd -p -u, its restore against xxd -r -p, and capsheet against
# od -An -td2 -v. Every run writes its output into a file in the same scratch folder;
# each time is the best of three runs, each creating its output afresh. Prints the times and how many times faster ours is.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=${KIT_BIN_DIR:-$top/build/bin}
megabytes=${CAPTURE_BENCH_MB:-64}
for tool in "$bin/dumpflip" "$bin/capsheet"; do
  [ -x "$tool" ] || { echo "capture_bench: $tool is not built (make build)" >&2; exit 1; }
done
for peer in xxd od; do
  command -v "$peer" >/dev/null || { echo "capture_bench: $peer is missing (bash scripts/deps)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
head -c "$((megabytes << 20))" /dev/urandom >data.bin

best_of_three() {  # best_of_three OUTPUT COMMAND...: the shortest wall time in seconds
  local output=$1 best= start end
  shift
  for _ in 1 2 3; do
    rm -f "$output"  # every run creates its output afresh
    start=$EPOCHREALTIME
    "$@" </dev/null >/dev/null
    end=$EPOCHREALTIME
    best=$(awk -v s="$start" -v e="$end" -v b="$best" 'BEGIN { t = e - s; print (b == "" || t < b) ? t : b }')
  done
  printf '%.3f' "$best"
}
# Peers write to standard output; give them a file as the tools have.
xxd_dump() { xxd -p -u data.bin >xxd.hex; }
xxd_restore() { xxd -r -p data.bi_ >xxd.bin; }
od_sheet() { od -An -td2 -v data.bin >od.txt; }

report() {  # report WHAT OURS PEER PEER_NAME
  printf '%-28s %8.3f s   %-22s %8.3f s   %6.1fx faster\n' "$1" "$2" "$4" "$3" \
    "$(awk -v a="$2" -v b="$3" 'BEGIN { print b / a }')"
}

echo "capture converters on $megabytes MB of random data (best of three)"
dump=$(best_of_three data.bi_ "$bin/dumpflip" data.bin)
peer=$(best_of_three xxd.hex xxd_dump)
report "dumpflip data.bin (dump)" "$dump" "$peer" "xxd -p -u"

restore=$(best_of_three data.bi1 "$bin/dumpflip" data.bi_)
peer=$(best_of_three xxd.bin xxd_restore)
report "dumpflip data.bi_ (restore)" "$restore" "$peer" "xxd -r -p"

sheet=$(best_of_three data.Txt "$bin/capsheet" data.bin)
peer=$(best_of_three od.txt od_sheet)
report "capsheet data.bin" "$sheet" "$peer" "od -An -td2 -v"

# The figures count only when the outputs are right.
cmp -s data.bin data.bi1 || { echo "capture_bench: restore differs from the data" >&2; exit 1; }
cmp -s data.bin xxd.bin || { echo "capture_bench: xxd -r -p differs from the data" >&2; exit 1; }
tr -d '\n' <xxd.hex | cmp -s - data.bi_ || { echo "capture_bench: dump differs from xxd" >&2; exit 1; }
