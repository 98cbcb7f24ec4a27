#!/usr/bin/env bash
# The Debian packages that `cpack -G DEB` makes: what each declares and holds, and the programs they
# unpack running as installed: the console package alone has no Qt in it or among its dependencies.
#   package_test.sh BUILD_DIR WITH_QT(1|0) VERSION
set -uo pipefail
build=$1 with_qt=$2 version=$3
source "$(dirname "$0")/common.sh"

if ! cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack"
  finish
  exit
fi
contents() { dpkg-deb --contents "$1" | awk '{ print $6 }'; }

console="$work/out/kestrun_${version}_$(dpkg --print-architecture).deb"
depends=$(dpkg-deb --field "$console" Depends)
expect "console package depends on libcurl: $depends" has "$depends" "libcurl4"
expect "console package depends on no window library: $depends" lacks "$depends" 'qt|libx11|xcb'
# What goes where is the install check's; here only the split between the two packages.
files=$(contents "$console")
expect "console package holds the program" has "$files" ./usr/bin/kestrun
expect "console package holds no window file: $files" lacks "$files" '\.so$|\.desktop$|icons'
mkdir "$work/root"
dpkg-deb -x "$console" "$work/root"

gui="$work/out/kestrun-gui_${version}_$(dpkg --print-architecture).deb"
if [ "$with_qt" = 1 ]; then
  depends=$(dpkg-deb --field "$gui" Depends)
  expect "window package depends on this very program and on Qt: $depends" \
    test -n "$(grep -F "kestrun (= $version)" <<<"$depends" | grep -F libqt6widgets6)"
  files=$(contents "$gui")
  expect "window package holds the module" has "$files" ./usr/lib/kestrun/kestrun-gui.so
  expect "window package holds no program: $files" lacks "$files" /bin/
  dpkg-deb -x "$gui" "$work/root"
else
  expect "no window package without windows" test ! -e "$gui"
fi

expect "unpacked program answers" answers_version "$work/root/usr/bin/kestrun"
run_copy "$work/root/usr/bin/kestrun"
expect "unpacked program runs: status $status, arrived $arrived" test "$status/$arrived" = "0/yes"
if [ "$with_qt" = 1 ]; then
  expect "unpacked program finds its windows: $err" test -z "$err"
fi
finish
