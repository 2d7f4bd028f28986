#!/usr/bin/env bash
# Runs every fuzz target in BUILD_DIR/bin for SECONDS seconds each, from its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-fuzz}
seconds=${2:-20}
shopt -s nullglob
for target in "$build_dir"/bin/fuzz_*; do
  name=$(basename "$target")
  corpus=$(mktemp -d)
  seeds=fuzz/corpus/${name#fuzz_}
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  echo "fuzz: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=1 "$corpus" 2>&1 | tail -n 5
  rm -rf "$corpus"
done
