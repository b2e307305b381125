#!/usr/bin/env bash
# Builds ORV Teletext as `tools/build.sh run` does and starts the viewer on the
# simulated TV card (build/run/drivers/orvtt-simtv.so): a tuner whose channels
# 1-3 carry the demo service under three names, 4 one with a blank station
# name, the others no teletext, and a moving test picture in the video window.
# The viewer gets a registry of its own, made afresh at each start in
# build/run/simcard/registry.reg; the user's own settings are not touched.
# Installs missing Debian packages first (needs root or sudo only then).
set -euo pipefail

top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"
jobs="$(nproc 2>/dev/null || echo 2)"

# shellcheck source=tools/install-missing.sh
source "$top/tools/install-missing.sh"
install_missing g++ cmake ninja-build pkg-config qt6-base-dev libxcb1-dev
cmake -S . -B build/run -G Ninja -DORVTT_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVTT_TESTS=OFF \
  -DORVTT_BENCH=OFF >/dev/null
cmake --build build/run -j "$jobs"

card="$top/build/run/drivers/orvtt-simtv.so"
[ -f "$card" ] || { echo "$(basename "$0"): $card was not built" >&2; exit 1; }

# A REGEDIT4 text: quote and backslash escaped, lines ending in CR LF.
quoted() { local text="${1//\\/\\\\}"; printf '"%s"' "${text//\"/\\\"}"; }
registry_file() {
  local hklm='HKEY_LOCAL_MACHINE\SOFTWARE\ORV Technologies' tuner channel
  tuner="$hklm\\MultiMedia\\Features\\TV\\Tuner"
  echo 'REGEDIT4'
  echo
  echo "[$hklm\\Capture Driver\\Settings\\Config]"
  echo "\"driver\"=$(quoted "$card")"
  echo
  echo "[$hklm\\Capture Driver\\VBI]"
  echo '"Backend"="simcard"'
  echo
  echo "[$hklm\\Capture Driver\\Replay]"
  echo '"Source"="none"'
  echo
  echo "[$tuner]"
  echo '"Current Channel"=dword:00000001'
  # Named channels are listed by name, a key without a name (5 and the others
  # past 3) not at all, a channel without a key (6) by its number.
  local names=("" "Demo One" "Demo Two" "Demo Three")
  for channel in 1 2 3 4 5 7 8 9 10 11 12; do
    echo
    echo "[$tuner\\$channel]"
    if [ "$channel" -le 3 ]; then echo "\"Channel Name\"=$(quoted "${names[$channel]}")"; fi
  done
}

folder="$top/build/run/simcard"
mkdir -p "$folder"
rm -f "$folder"/registry.reg*  # with the lock and any .bad copies of an earlier run
registry_file | sed 's/$/\r/' >"$folder/registry.reg"

export ORVTT_REGISTRY="$folder/registry.reg"
exec build/run/orvtt
