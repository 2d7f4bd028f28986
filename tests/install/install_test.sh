#!/usr/bin/env bash
# An installation into a temporary prefix works from there alone: it is moved after installing,
# its programs and libraries find each other through relative RPATHs, the designs come from its
# own share/, the sample converts and previews, and the desktop entry names the installed nbclip.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$(mktemp -d /tmp/nubra-install-test-XXXXXX)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() {  # check NAME COMMAND...
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $name"
  fi
}

cmake --install "$build" --prefix "$work/staged" >"$work/install.log" || { cat "$work/install.log"; exit 1; }
mv "$work/staged" "$work/prefix"
prefix=$work/prefix
nbclip=$prefix/bin/nbclip
mkdir -p "$work/home" "$work/tmp"
run() {
  env -u NUBRA_COMMON_DIR -u NUBRA_REGISTRY_DIR HOME="$work/home" TMPDIR="$work/tmp" \
    XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" \
    XDG_CACHE_HOME="$work/home/cache" XDG_DOCUMENTS_DIR="$work/home/docs" "$@"
}

relative_rpath() {
  local f
  for f in "$nbclip" "$prefix"/lib/*.so; do
    readelf -d "$f" | grep -q 'R.*PATH.*\[\$ORIGIN/\.\./lib\]' || { echo "$f: no relative RPATH"; return 1; }
    if readelf -d "$f" | grep -qF "$build"; then echo "$f names the build folder"; return 1; fi
  done
}
check "programs and libraries carry relative RPATHs only" relative_rpath
libraries_from_prefix() {
  local name arrow path rest found=0
  while read -r name arrow path rest; do
    case $name in libNBKCreator.so | libNBParser.so | libPlatform.so | libShelvaryManager.so) ;;
      *) continue ;; esac
    found=$((found + 1))
    [ "$(realpath "$path")" = "$prefix/lib/$name" ] || { echo "$name comes from '$path'"; return 1; }
  done < <(run ldd "$nbclip")
  [ "$found" -ge 2 ] || { echo "nbclip links $found of the system's libraries"; return 1; }
}
check "nbclip loads the installed libraries" libraries_from_prefix

book=$work/home/sample.nbk
convert() {
  run "$nbclip" convert "$source/examples/sample/index.html" -o "$book" --author Nubra \
    --start-comment NBK-START --end-comment NBK-END --except-start NBK-SKIP --except-end /NBK-SKIP
}
check "the sample converts with the installed design" convert >/dev/null
check "the book carries the standard design" bash -c "'$nbclip' dump '$book' | grep -q '^design \"Standard\"'"
check "the sample previews" run "$nbclip" view "$book" >/dev/null
check "the preview shows the sample" grep -q '寺院 Temples' "$work/home/sample.html"

mv "$prefix/share" "$prefix/share.away"
no_design() {
  local out
  out=$(convert 2>&1) && return 1
  grep -q "no design found" <<<"$out"
}
check "without its share/ the installation finds no design" no_design
mv "$prefix/share.away" "$prefix/share"

check "register --desktop works from the installation" run "$nbclip" register --desktop >/dev/null 2>&1
entry=$work/home/data/applications/nubra-book-preview.desktop
check "the desktop entry names the installed nbclip" grep -qF "Exec=$nbclip view --open %f" "$entry"

check "the help file and its control are installed beside the toolbar" \
  test -f "$prefix/lib/ToolbarForNubra.chm" -a -f "$prefix/lib/hhctrl.ocx"
installed_help() {
  run env NUBRA_OPENER=true "$nbclip" help | grep -q "opened the help" &&
    grep -qF "@=\"$prefix/lib/hhctrl.ocx\"" "$work/home/data/Nubra/registry/HKEY_CLASSES_ROOT.txt"
}
check "the help opens from the installation" installed_help

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
