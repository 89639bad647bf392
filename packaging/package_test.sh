#!/usr/bin/env bash
# Builds the Debian package with CPack, checks its control fields and contents, installs
# it with dpkg, runs every tool once from /usr/bin on a small input with standard input
# from /dev/null, reads a manual page through man, and removes the package again.
# Needs root and dpkg: without them it exits 77, which ctest reports as skipped.
#
#   package_test.sh BUILD_DIR TOOL...
set -uo pipefail
build=$1
shift
tools=("$@")
package=pic18kit
skip() { echo "SKIP: $*"; exit 77; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
command -v dpkg >/dev/null && command -v dpkg-deb >/dev/null || skip "dpkg is missing"
command -v cpack >/dev/null || skip "cpack is missing"
installed() { dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; }
# A package of the same name that somebody installed is theirs: do not replace it.
installed && skip "$package is installed on this machine already"

work=$(mktemp -d)
we_installed=0
cleanup() {
  ((we_installed)) && installed && dpkg -r "$package" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

echo "== cpack"
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack did not build the package"
  exit 1
fi
debs=("$work"/pkg/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single .deb in $work/pkg"; exit 1; }
deb=${debs[0]}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "${package}_${version}_${arch}.deb" ] || fail "package file named $(basename "$deb")"

echo "== control fields"
dpkg-deb -f "$deb" Package Version Architecture Depends | tee "$work/control"
[ "$(dpkg-deb -f "$deb" Package)" = "$package" ] || fail "Package field"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version field"
depends=$(dpkg-deb -f "$deb" Depends)
# The package names alone, one a line, without their versions.
tr ',|' '\n\n' <<<"$depends" | sed 's/^ *//; s/ .*//' >"$work/depends"
for library in libsdl2-2.0-0 libpng16-16 libc6 libstdc++6; do
  grep -qxF "$library" "$work/depends" || fail "Depends lacks $library: $depends"
done

echo "== contents"
expected=()
for tool in "${tools[@]}"; do expected+=("./usr/bin/$tool" "./usr/share/man/man1/$tool.1.gz"); done
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort >"$work/contents"
diff -u "$work/expected" "$work/contents" || fail "the package holds other files than the list above"

echo "== dpkg -i"
if ! dpkg -i "$deb" >"$work/dpkg-i.log" 2>&1; then
  cat "$work/dpkg-i.log"
  echo "FAIL: dpkg -i"
  exit 1
fi
we_installed=1

# Each tool once, from where the package put it, in a scratch folder.
run=$work/run
mkdir -p "$run"
cd "$run" || exit 1
# run_tool TOOL ARGS...: runs /usr/bin/TOOL with standard input from /dev/null; fails the
# test unless its status is 0.
run_tool() {
  local tool=$1
  shift
  echo "== /usr/bin/$tool $*"
  "/usr/bin/$tool" "$@" </dev/null >"$run/$tool.out" 2>"$run/$tool.err"
  local status=$?
  [ $status -eq 0 ] || { fail "/usr/bin/$tool $* ended with status $status"; cat "$run/$tool.err"; }
  [ -s "$run/$tool.err" ] && { fail "/usr/bin/$tool $* wrote to standard error"; cat "$run/$tool.err"; }
}
# same FILE BYTES: the file holds exactly these bytes (printf format).
same() {
  printf "$2" >"$run/expected.bytes"
  cmp -s "$run/expected.bytes" "$1" || fail "$1 is not as expected: $(od -c "$1" | head -n 5)"
}

run_tool steptab2
head -c 12 s2.inc | grep -q '^; MAX Delta=' || fail "s2.inc does not start with its header"
[ "$(wc -l <s2.inc)" -eq 258 ] || fail "s2.inc has $(wc -l <s2.inc) lines, not 258 (no table lines for 0 Hz)"
# Without a terminal the closing prompt is not shown; the message before it is.
grep -qF 'Output data in c:\s2.inc' steptab2.out || fail "steptab2 closing message"

run_tool steptab3
for name in s3.inc S_100.inc S_200.inc S_400.inc S_800.inc; do
  [ -s "$name" ] || fail "steptab3 did not write $name"
done

# The instruction line of the listing layout that unlister reads.
printf '  01A4    D7F5     BRA 0x190\r\n' >unlist.txt
run_tool unlister unlist.txt
same unlist.ASM '\tLIST P=18F4550\t;directive to define processor\r\n\t#include <P18F4550.INC> ;processor specific variable definitions\r\n    BRA 0x190;   01A4    D7F5  \r\n'

# Two lines in branchscan's layout: a BRA 20 back, and a GOTO only 10 ahead, which warns.
printf '  0012   01A4          BRA 0x0190\r\n  0013   01A6          GOTO 0x01B0\r\n' >scan.txt
run_tool branchscan scan.txt
same scan.War '  0013   01A6          GOTO 0x01B0\r\nStr=  0013, LenGoTo= 10\r\nStrings= 2, Warnings= 1\r\n'

printf 'AB' >ab.bin
run_tool dumpflip ab.bin
same ab.bi_ '4142'

printf '\x34\x12;\r\n\xff\x00;' >two.bin
run_tool capsheet two.bin
same two.Txt ' 4660;\r\n-1;\r\n'

printf '%%0800=0000*8000+6000$0FEB#0001\n#0002=0100\n' >pwm.txt
run_tool pwmscope --snapshot pwm.png pwm.txt
# A PNG signature, then the IHDR chunk with the width 1280 and the height 1024.
[ "$(head -c 24 pwm.png | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a0000000d494844520000050000000400 ] ||
  fail "pwm.png is not a 1280 x 1024 PNG"

echo "== man steptab3"
[ "$(man -w steptab3 2>/dev/null)" = /usr/share/man/man1/steptab3.1.gz ] || fail "man -w steptab3 gives: $(man -w steptab3 2>&1)"
MANWIDTH=80 man --warnings -P cat steptab3 >"$work/man.out" 2>"$work/man.err" || fail "man steptab3 failed"
[ -s "$work/man.err" ] && { fail "man steptab3 warns"; cat "$work/man.err"; }
grep -q 'S_800.inc' "$work/man.out" || fail "man steptab3 does not show the page"

echo "== dpkg -r"
dpkg -r "$package" >"$work/dpkg-r.log" 2>&1 || { cat "$work/dpkg-r.log"; fail "dpkg -r"; }
installed && fail "$package is still installed"
for tool in "${tools[@]}"; do
  [ -e "/usr/bin/$tool" ] && fail "/usr/bin/$tool is still there"
  [ -e "/usr/share/man/man1/$tool.1.gz" ] && fail "the page of $tool is still there"
done
we_installed=0

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package: all checks passed"
