#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks, then configures and builds.
#   BUILD_DIR   build folder (default: build)
#   NB_SANITIZE 1 for an AddressSanitizer + UndefinedBehaviorSanitizer build
#   NB_FUZZ     1 to build the fuzz targets with clang as well
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake ninja-build pkg-config libgumbo-dev libcurl4-openssl-dev libpugixml-dev librsvg2-dev
          googletest libgtest-dev libgmock-dev libbenchmark-dev python3 clang libclang-rt-14-dev
          clang-format
          # the toolbar's resources (windres) and help file (chmcmd, chmlib)
          binutils-mingw-w64-x86-64 fp-utils libchm-dev
          # the preview in a real browser, and books opened from the desktop
          chromium fonts-ipafont-gothic fonts-ipafont-mincho xdg-utils desktop-file-utils
          shared-mime-info libfile-mimeinfo-perl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Node.js and npm drive Chromium in the browser tests; a machine that has them from elsewhere
# keeps its own (Debian's npm would replace them).
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "setup: installing nodejs npm"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq nodejs npm >/dev/null
fi
# The browser tests' node project, pinned by its lockfile; reinstalled when the lockfile changes.
browser=tests/browser
if [ ! -f $browser/node_modules/.package-lock.json ] ||
   [ $browser/package-lock.json -nt $browser/node_modules/.package-lock.json ]; then
  (cd $browser && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi

build_dir=${BUILD_DIR:-build}
args=(-G Ninja -DNB_SANITIZE="${NB_SANITIZE:-0}")
if [ "${NB_SANITIZE:-0}" = 1 ]; then
  # Benchmarks are meaningless under sanitizers and only cost build time.
  args+=(-DNB_BENCH=OFF)
fi
cmake -S . -B "$build_dir" "${args[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"

if [ "${NB_FUZZ:-0}" = 1 ]; then
  cmake -S . -B "${build_dir}-fuzz" -G Ninja -DNB_FUZZ=ON -DNB_BENCH=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build "${build_dir}-fuzz" -j "$(nproc)"
fi
