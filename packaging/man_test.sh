#!/usr/bin/env bash
# Renders every built manual page with man's warnings on, at two widths, and checks that
# groff says nothing, that the page has the sections a reader looks for, and that it
# names the files its tool reads and writes.
#
#   man_test.sh MAN_DIR
set -uo pipefail
man_dir=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
command -v man >/dev/null || { echo "SKIP: man is missing (bash scripts/deps installs man-db)"; exit 77; }

common_sections=(NAME SYNOPSIS DESCRIPTION OPTIONS "FILE NAMES" FILES "EXIT STATUS" EXAMPLES)
# tool|texts its page must hold, separated by "|": the names of what it writes, the
# drive-prefix mapping of its file names, and its own options.
pages=(
  'steptab2|s2.inc|c:\s2.inc|./s2.inc|--version'
  'steptab3|s3.inc|S_100.inc|S_200.inc|S_400.inc|S_800.inc|c:\S_800.inc|--version'
  'branchscan|War|../_Out/_Machine.TXT|..\_Out\_Machine.TXT|../_Out/_Machine.War|c:\|--version'
  'unlister|ASM|180412_DisAsm.txt|180412_DisAsm.ASM|LIST P=18F4550|c:\|--version'
  'dumpflip|data.bi_|data.bi1|c:\|--version'
  'capsheet|Txt|cap01.Txt|0xA without 0xD|c:\|--version'
  'pwmscope|--snapshot OUT.png CAPTURE|KEYS|Toggle pause|c:\|--version'
)

for entry in "${pages[@]}"; do
  IFS='|' read -r -a texts <<<"$entry"
  tool=${texts[0]}
  page=$man_dir/$tool.1
  if [ ! -s "$page" ]; then
    fail "$page was not built"
    continue
  fi
  for width in 80 60; do
    MANWIDTH=$width man --warnings -l "$page" >/dev/null 2>"$man_dir/$tool.warnings"
    if [ -s "$man_dir/$tool.warnings" ]; then
      fail "$tool(1) at width $width: man warns:"
      cat "$man_dir/$tool.warnings"
    fi
  done
  rm -f "$man_dir/$tool.warnings"

  # Wide enough that no text of interest is broken across lines.
  rendered=$(MANWIDTH=400 man -l "$page" 2>/dev/null)
  grep -q "^ *$tool - " <<<"$rendered" || fail "$tool(1): no NAME line \"$tool - ...\""
  for section in "${common_sections[@]}"; do
    grep -qx "$section" <<<"$rendered" || fail "$tool(1): no section $section"
  done
  grep -q "^ *$tool --help | -h | --version" <<<"$rendered" ||
    fail "$tool(1): the synopsis does not show the standard options"
  for text in "${texts[@]:1}"; do
    grep -qF -- "$text" <<<"$rendered" || fail "$tool(1) does not mention \"$text\""
  done
  # Exit status 0 and 1, each a paragraph of its own.
  exits=$(sed -n '/^EXIT STATUS$/,/^EXAMPLES$/p' <<<"$rendered")
  grep -qx ' *0' <<<"$exits" && grep -qx ' *1' <<<"$exits" ||
    fail "$tool(1): EXIT STATUS does not explain 0 and 1"
done

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "manual pages: all checks passed"
