#!/usr/bin/env bash
# Installs what is needed, configures, builds and runs the whole test suite. Each shape of the build has
# a folder of its own, so switching between them rebuilds nothing:
#   scripts/test.sh                      the normal build, in build/
#   KESTRUN_SANITIZE=1 scripts/test.sh   AddressSanitizer + UndefinedBehaviorSanitizer, in build-asan/
#   KESTRUN_WITH_QT=0 scripts/test.sh    the console-only program (no Qt), in build-console/
#   KESTRUN_WERROR=1                     with any of them: compiler warnings are errors (as in CI); =0
#                                        turns that off again, unset leaves the folder as it was set up
#   KESTRUN_BUILD_DIR=DIR                builds in DIR instead
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/bootstrap.sh"

on() { [ "${1:-0}" = 1 ]; }
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
build="$root/build"
if on "${KESTRUN_SANITIZE:-0}"; then
  build+="-asan"
  cmake_args+=(-DKESTRUN_SANITIZE=ON)
else
  cmake_args+=(-DKESTRUN_SANITIZE=OFF)
fi
if [ "${KESTRUN_WITH_QT:-1}" = 0 ]; then
  build+="-console"
  cmake_args+=(-DKESTRUN_WITH_QT=OFF)
else
  cmake_args+=(-DKESTRUN_WITH_QT=ON)
fi
case "${KESTRUN_WERROR-}" in
  1) cmake_args+=(-DKESTRUN_WERROR=ON) ;;
  0) cmake_args+=(-DKESTRUN_WERROR=OFF) ;;
esac
build=${KESTRUN_BUILD_DIR:-$build}

cmake -S "$root" -B "$build" "${cmake_args[@]}" >/dev/null
cmake --build "$build" -j2

# The suite never needs a display or the user's settings: windows are drawn off screen and every
# test points KESTRUN_REGISTRY at a store of its own.
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$build/xdg-runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
if on "${KESTRUN_SANITIZE:-0}"; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
cd "$build"
ctest --output-on-failure -j2 --timeout 600
