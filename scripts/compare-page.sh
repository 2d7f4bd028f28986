#!/usr/bin/env bash
# Converts a page into a book and renders the page and its book's preview with headless
# Chromium into pictures side by side, to see what the conversion kept.
#   scripts/compare-page.sh PAGE [CONVERT OPTIONS...]
#   PAGE       a local file, or a file:// or http(s):// address
#   BUILD_DIR  build folder (default: build)
#   OUT_DIR    where the book, preview and pictures go (default: out/compare)
# Prints the paths of PAGE-page.png, PAGE-preview.png and PAGE-side-by-side.png.
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: scripts/compare-page.sh PAGE [CONVERT OPTIONS...]" >&2
  exit 2
fi
page=$1
shift
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
out_dir=${OUT_DIR:-$root/out/compare}
case $page in
  *://*) url=$page ;;
  *)
    [ -f "$page" ] || { echo "compare-page: $page: no such file" >&2; exit 1; }
    url=$(python3 -c 'import pathlib, sys; print(pathlib.Path(sys.argv[1]).resolve().as_uri())' "$page") ;;
esac
if [ ! -f "$build_dir/build.ninja" ] || [ ! -d "$root/tests/browser/node_modules" ]; then
  bash "$root/scripts/setup.sh" >/dev/null
fi
cmake --build "$build_dir" --target nbclip NBKDesigns >/dev/null
name=$(basename "${page%%\?*}")
name=${name%.*}
[ -n "$name" ] || name=page
mkdir -p "$out_dir"
book=$out_dir/$name.nbk
rm -f "$book"
export NUBRA_COMMON_DIR="${NUBRA_COMMON_DIR:-$build_dir/share}"
"$build_dir/bin/nbclip" convert "$page" -o "$book" "$@" >/dev/null
"$build_dir/bin/nbclip" view "$book" -o "$out_dir/$name.html" >/dev/null
node "$root/tests/browser/compare.mjs" "$url" "$out_dir/$name.html" "$out_dir/$name"
