#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR, checks the installed files against the list
# they must make (each program in bin/, each page in share/man/man1/, nothing else), runs
# one installed program, then uninstalls and checks that exactly those files went away.
#
#   install_test.sh BUILD_DIR TOOL...
set -uo pipefail
build=$1
shift
tools=("$@")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

work=$(mktemp -d)
manifest=$build/install_manifest.txt
# The install writes its manifest into the build folder; keep the one of a real install.
[ -e "$manifest" ] && cp -p "$manifest" "$work/manifest.saved"
restore() {
  if [ -e "$work/manifest.saved" ]; then cp -p "$work/manifest.saved" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$work"
}
trap restore EXIT

configured_prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

# check_prefix PREFIX [--prefix PREFIX]: one install and uninstall round.
check_prefix() {
  local prefix=$1
  shift
  local dest=$work/dest
  rm -rf "$dest"
  mkdir -p "$dest"
  echo "== install to DESTDIR=$dest, prefix $prefix"
  if ! DESTDIR=$dest cmake --install "$build" "$@" >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    fail "install to $prefix failed"
    return
  fi

  local expected=() tool
  for tool in "${tools[@]}"; do
    expected+=("$prefix/bin/$tool" "$prefix/share/man/man1/$tool.1.gz")
  done
  printf '%s\n' "${expected[@]}" | sort >"$work/expected"
  (cd "$dest" && find . ! -type d | sed 's|^\.||' | sort) >"$work/installed"
  if ! diff -u "$work/expected" "$work/installed"; then
    fail "installed files under $prefix differ from the list above"
  fi

  for tool in "${tools[@]}"; do
    [ -x "$dest$prefix/bin/$tool" ] || fail "$prefix/bin/$tool is not executable"
    gzip -t "$dest$prefix/share/man/man1/$tool.1.gz" 2>/dev/null ||
      fail "$prefix/share/man/man1/$tool.1.gz is not a gzip file"
  done
  local answer
  answer=$("$dest$prefix/bin/dumpflip" --version </dev/null)
  [ "$answer" = "dumpflip (PIC18 firmware tool kit) $version" ] ||
    fail "the installed dumpflip answered --version with: $answer"
  grep -qx "$prefix/bin/steptab2" "$manifest" || fail "the manifest does not list $prefix/bin/steptab2"

  # A file of somebody else's in the same folder must survive the uninstall.
  echo "not ours" >"$dest$prefix/bin/other-program"
  echo "== uninstall from DESTDIR=$dest"
  if ! DESTDIR=$dest cmake --build "$build" --target uninstall >"$work/uninstall.log" 2>&1; then
    cat "$work/uninstall.log"
    fail "uninstall from $prefix failed"
    return
  fi
  (cd "$dest" && find . ! -type d | sed 's|^\.||' | sort) >"$work/left"
  if [ "$(cat "$work/left")" != "$prefix/bin/other-program" ]; then
    echo "left after uninstall:"
    cat "$work/left"
    fail "uninstall from $prefix did not remove exactly the installed files"
  fi
}

check_prefix "$configured_prefix"
check_prefix /opt/pic18kit --prefix /opt/pic18kit

# Uninstalling without an install is refused, not a silent success.
rm -f "$manifest"
if cmake --build "$build" --target uninstall >"$work/none.log" 2>&1; then
  fail "uninstall without a manifest succeeded"
fi

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "install and uninstall: all checks passed"
