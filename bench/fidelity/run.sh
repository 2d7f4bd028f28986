#!/usr/bin/env bash
# The fidelity benchmark, run by hand (not part of ctest or .ci/run): installs the
# corpus (Debian documentation packages) and the two independent extractions (headless
# Chromium, w3m), builds nbclip when it is missing, and prints the table of fidelity.py.
#   bench/fidelity/run.sh [--out DIR] [PAGE...]
set -euo pipefail
cd "$(dirname "$0")/../.."
packages=(chromium w3m python3)
while read -r pkg _; do
  case "$pkg" in ''|\#*) continue ;; esac
  packages+=("$pkg")
done < bench/fidelity/corpus.txt
missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  # Never at the price of removing something: a documentation package can conflict with a
  # program installed from elsewhere (nodejs-doc with another build of Node.js). Such a package
  # is left out, and its pages are reported as errors.
  if ! DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-remove \
      "${missing[@]}" >/dev/null 2>&1; then
    for p in "${missing[@]}"; do
      DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-remove "$p" \
        >/dev/null 2>&1 || echo "fidelity: $p is left out: installing it would remove a package" >&2
    done
  fi
fi
[ -x build/bin/nbclip ] || bash scripts/setup.sh
exec python3 bench/fidelity/fidelity.py "$@"
