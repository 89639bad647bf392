#!/usr/bin/env bash
# The listing tools on a generated listing of one million lines (LISTING_BENCH_LINES):
# unlister against an equivalent mawk one-liner, and branchscan in lines per second.
# Each tool writes its file beside the listing and its console goes to a file; each time
# is the best of three runs.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=${KIT_BIN_DIR:-$top/build/bin}
lines=${LISTING_BENCH_LINES:-1000000}
for tool in "$bin/unlister" "$bin/branchscan"; do
  [ -x "$tool" ] || { echo "listing_bench: $tool is not built (make build)" >&2; exit 1; }
done
command -v mawk >/dev/null || { echo "listing_bench: mawk is missing (bash scripts/deps)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Listings in the two layouts with DOS line ends: instructions of every kind, a label
# line now and then and a heading every 60 lines. Addresses stay below branchscan's
# limit (2700 hexadecimal), as in listings of one program after another.
mawk -v lines="$lines" '
BEGIN {
  split("MOVLW 0x3A|MOVWF 0x81, 0x0|BTFSS 0x9E, 0x5, 0x0|BRA 0x%04X|RCALL 0x%04X|GOTO 0x%04X|" \
        "CALL 0x%04X, 0x0|INCF 0x03, 0x1, 0x0|RETLW 0x36|BZ 0x%04X|NOP|RETURN 0x0", op, "|")
  srand(1)
  for (i = 0; i < lines; i++) {
    address = (2 * i) % 9984
    if (i % 60 == 0) { b = "Disassembly listing, page " int(i / 60 + 1); u = b }
    else if (i % 17 == 0) { b = "Label_" i % 1000 ":"; u = b }
    else {
      text = sprintf(op[int(rand() * 12) + 1], int(rand() * 9984))
      word = sprintf("%04X", int(rand() * 65536))
      b = sprintf("  %04d%7s %s     %s", i % 10000, sprintf("%04X", address), word, text)
      u = sprintf("  %04X    %s     %s", address, word, text)
    }
    printf "%s\r\n", b > "branchscan.txt"
    printf "%s\r\n", u > "unlister.txt"
  }
}'

best_of_three() {  # best_of_three OUTPUT COMMAND...: the shortest wall time in seconds
  local output=$1 best= start end
  shift
  for _ in 1 2 3; do
    rm -f "$output"
    start=$EPOCHREALTIME
    "$@" </dev/null >console.txt
    end=$EPOCHREALTIME
    best=$(awk -v s="$start" -v e="$end" -v b="$best" 'BEGIN { t = e - s; print (b == "" || t < b) ? t : b }')
  done
  printf '%.3f' "$best"
}

# unlister's conversion in mawk: the column test over positions 1 to 19, then the
# instruction with the listing columns as a comment, or the whole line as a comment.
mawk_unlister() {
  mawk 'BEGIN {
    ORS = "\r\n"
    print "\tLIST P=18F4550\t;directive to define processor"
    print "\t#include <P18F4550.INC> ;processor specific variable definitions"
  }
  {
    sub(/\r$/, "")
    if ($0 ~ /^  [0-9:A-G][0-9:A-G][0-9:A-G][0-9:A-G]    [0-9:A-G][0-9:A-G][0-9:A-G][0-9:A-G]     /)
      print substr($0, 16) "; " substr($0, 1, 16)
    else
      print "; " $0
  }' unlister.txt >mawk.ASM
}

echo "listing tools on $lines generated lines (best of three, console to a file)"
ours=$(best_of_three unlister.ASM "$bin/unlister" unlister.txt)
peer=$(best_of_three mawk.ASM mawk_unlister)
cmp -s unlister.ASM mawk.ASM || { echo "listing_bench: unlister and mawk differ" >&2; exit 1; }
printf '%-34s %8.3f s   %-22s %8.3f s   %6.2fx faster\n' "unlister unlister.txt" "$ours" \
  "mawk one-liner" "$peer" "$(awk -v a="$ours" -v b="$peer" 'BEGIN { print b / a }')"

scan=$(best_of_three branchscan.War "$bin/branchscan" branchscan.txt)
grep -q "Strings= $lines," console.txt || { echo "listing_bench: branchscan stopped early" >&2; exit 1; }
printf '%-34s %8.3f s   %6.2f million lines/s (console %d MB; %s)\n' "branchscan branchscan.txt" \
  "$scan" "$(awk -v t="$scan" -v n="$lines" 'BEGIN { print n / t / 1e6 }')" \
  "$(($(stat -c %s console.txt) >> 20))" "$(grep -ao 'Strings= [0-9]*, Warnings= [0-9]*' console.txt | tail -n 1)"
