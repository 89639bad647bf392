#!/bin/sh
# Turns the output of gpdasm (gpdasm -p p18f4550 FILE.hex) into a disassembly listing in
# one of the two layouts the listing tools read, with DOS line ends:
#
#   gpdasm_to_listing.sh branchscan TITLE < FILE.dis > FILE.txt
#     "  0012   01A4 D7F5     BRA 0x0190": line number in columns 1-6, address in 7-13,
#     the first word of the instruction in 15-18, the instruction from column 24 on, with
#     one blank before its operands and program addresses as 0x and four digits.
#   gpdasm_to_listing.sh unlister TITLE < FILE.dis > FILE.txt
#     "  01A4    D7F5     BRA 0x190": address in columns 3-6, word in 11-14, the
#     instruction from column 20 on; the second word of a two-word instruction gets a line
#     of its own with no instruction.
#
# Both start with the title and a heading. Mnemonics are written in upper case.
set -eu
layout=${1:?layout: branchscan or unlister}
title=${2:-}
case $layout in branchscan | unlister) ;; *) echo "unknown layout: $layout" >&2; exit 2 ;; esac

exec awk -v layout="$layout" -v title="$title" '
function hex_value(digits,   i, v, d) {
  v = 0
  digits = toupper(digits)
  for (i = 1; i <= length(digits); i++) {
    d = index("0123456789ABCDEF", substr(digits, i, 1))
    if (d == 0) break
    v = v * 16 + d - 1
  }
  return v
}
# Program addresses are the six-digit numbers of gpdasm; other numbers keep their digits.
function number_text(digits) {
  if (length(digits) == 6)
    return sprintf(layout == "branchscan" ? "%04X" : "%X", hex_value(digits))
  return toupper(digits)
}
function operand_text(ops,   out) {
  out = ""
  while (match(ops, /0x[0-9a-fA-F]+/)) {
    out = out substr(ops, 1, RSTART - 1) "0x" number_text(substr(ops, RSTART + 2, RLENGTH - 2))
    ops = substr(ops, RSTART + RLENGTH)
  }
  return out ops
}
function emit(text) {
  lines++
  printf "%s\r\n", text
}
BEGIN {
  emit(title)
  emit(layout == "branchscan" ? "Line   Addr Word     Instruction" : "")
}
/^[0-9a-fA-F]+:/ {
  address = hex_value(substr($1, 1, length($1) - 1))
  word = toupper($2)
  if (NF == 2) {
    # The second word of a two-word instruction.
    if (layout == "unlister") emit(sprintf("  %04X    %s     ", address, word))
    next
  }
  ops = $0
  sub(/^[^:]*:[ \t]+[0-9a-fA-F]+[ \t]+[^ \t]+[ \t]*/, "", ops)
  instruction = toupper($3) (ops == "" ? "" : " " operand_text(ops))
  if (layout == "branchscan")
    emit(sprintf("%6s%7s %s     %s", sprintf("%04d", lines + 1), sprintf("%04X", address), word,
                 instruction))
  else
    emit(sprintf("  %04X    %s     %s", address, word, instruction))
}
'
