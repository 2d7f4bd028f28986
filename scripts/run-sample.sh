#!/usr/bin/env bash
# The main job on the bundled sample page: builds what is needed, converts
# examples/sample/index.html (no network) into a book, writes the book's preview, and prints
# where both are, what is in the book and the first lines of its text.
#   BUILD_DIR  build folder (default: build)
#   OUT_DIR    where the book goes (default: out/sample)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
out_dir=${OUT_DIR:-out/sample}
if [ ! -f "$build_dir/build.ninja" ]; then
  bash scripts/setup.sh >/dev/null
fi
cmake --build "$build_dir" --target nbclip NBKDesigns >/dev/null
mkdir -p "$out_dir"
book="$out_dir/sample.nbk"
rm -f "$book"
# The sample marks the part to convert and a part to leave out with comments.
NUBRA_COMMON_DIR="${NUBRA_COMMON_DIR:-$PWD/$build_dir/share}" \
  "$build_dir/bin/nbclip" convert examples/sample/index.html -o "$book" \
  --author "Nubra" --book-id SAMPLE-1 \
  --start-comment NBK-START --end-comment NBK-END \
  --except-start NBK-SKIP --except-end /NBK-SKIP
echo "contents (nbclip dump $book):"
"$build_dir/bin/nbclip" dump "$book" | sed -n '/^meta/,/^pages/p'
# The preview shows the book as the reader would; open it in a browser.
"$build_dir/bin/nbclip" view "$book" | head -1
echo "the book's text begins:"
"$build_dir/bin/nbclip" dump "$book" | sed -n 's/^ *text "\(.*\)"$/  \1/p' | head -8
