#!/usr/bin/env bash
# Installs what is needed, configures, builds and runs the whole test suite.
#   scripts/test.sh                 the normal build, in build/
#   KESTRUN_SANITIZE=1 scripts/test.sh   AddressSanitizer + UndefinedBehaviorSanitizer, in build-asan/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/bootstrap.sh"

cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
build="$root/build"
if [ "${KESTRUN_SANITIZE:-0}" = 1 ]; then
  build="$root/build-asan"
  cmake_args+=(-DKESTRUN_SANITIZE=ON)
fi
build=${KESTRUN_BUILD_DIR:-$build}

cmake -S "$root" -B "$build" "${cmake_args[@]}" >/dev/null
cmake --build "$build" -j2

# The suite never needs a display or the user's settings: windows are drawn off screen and every
# test points KESTRUN_REGISTRY at a store of its own.
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$build/xdg-runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
if [ "${KESTRUN_SANITIZE:-0}" = 1 ]; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
cd "$build"
ctest --output-on-failure -j2 --timeout 600
