#!/usr/bin/env bash
# Builds ORV Teletext and either runs it or runs every test.
#   tools/build.sh run    build, then start the viewer (orvtt) on the built-in demo broadcast
#   tools/build.sh tv     build as run does, then start the viewer on the simulated TV card
#                         with a registry of its own (tools/simcard.sh)
#   tools/build.sh test   build and test three times: normal, with AddressSanitizer + UBSan,
#                         and with ThreadSanitizer
#   tools/build.sh package  build as the run command does, then the Debian package
#                         build/run/orv-teletext_VERSION_ARCH.deb
# Installs missing Debian packages first (needs root or sudo only then).
set -euo pipefail

top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"
mode="${1:-}"
jobs="$(nproc 2>/dev/null || echo 2)"

# shellcheck source=tools/install-missing.sh
source "$top/tools/install-missing.sh"

build_packages=(g++ cmake ninja-build pkg-config qt6-base-dev libxcb1-dev)
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev libfreetype-dev xvfb xauth fonts-dejavu-core fonts-urw-base35
               dpkg-dev desktop-file-utils)
package_packages=(dpkg-dev)

configure_and_build() {  # folder, cmake options...
  local dir="$1"; shift
  cmake -S . -B "$dir" -G Ninja -DORVTT_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

case "$mode" in
  run)
    install_missing "${build_packages[@]}"
    configure_and_build build/run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVTT_TESTS=OFF -DORVTT_BENCH=OFF
    exec build/run/orvtt
    ;;
  tv)
    exec "$top/tools/simcard.sh"
    ;;
  package)
    install_missing "${build_packages[@]}" "${package_packages[@]}"
    configure_and_build build/run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVTT_TESTS=OFF -DORVTT_BENCH=OFF
    (cd build/run && cpack -G DEB >/dev/null)
    ls build/run/orv-teletext_*.deb
    ;;
  test)
    install_missing "${build_packages[@]}" "${test_packages[@]}"
    configure_and_build build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo
    (cd build/test && ctest --output-on-failure -j "$jobs")
    # CMake's default generator (Unix Makefiles) as a user without Ninja has it: the
    # generated sources and the command-line program.
    cmake -S . -B build/make -DORVTT_WERROR=ON -DORVTT_TESTS=OFF -DORVTT_BENCH=OFF >/dev/null
    cmake --build build/make --target ttxdump -j "$jobs" >/dev/null
    build/make/ttxdump --demo 2 --list >/dev/null
    configure_and_build build/asan -DCMAKE_BUILD_TYPE=Debug -DORVTT_SANITIZE=address,undefined -DORVTT_BENCH=OFF
    (cd build/asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$top/tests/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs")
    configure_and_build build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVTT_SANITIZE=thread -DORVTT_BENCH=OFF
    (cd build/tsan && TSAN_OPTIONS="halt_on_error=1 suppressions=$top/tests/tsan.supp" ctest --output-on-failure -j "$jobs")
    ;;
  *)
    echo "usage: tools/build.sh run|tv|test|package" >&2
    exit 2
    ;;
esac
