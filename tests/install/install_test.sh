#!/usr/bin/env bash
# The tree that `cmake --install` makes, seen as a user of it sees it: every file in its place and no
# other, the desktop entry, man pages and units valid, the program free of window libraries, and the
# program choosing windows or the console by what is installed beside it.
#   install_test.sh BUILD_DIR WITH_QT(1|0) VERSION [OTHER_VERSION_MODULE]
set -uo pipefail
build=$1 with_qt=$2 version=$3 other_module=${4:-}
source "$(dirname "$0")/common.sh"

# A prefix with blanks, under DESTDIR; and the same build into a prefix alone, without DESTDIR.
prefix="/opt/kes trun"
root="$work/dest$prefix"
DESTDIR="$work/dest" cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  fail "install under DESTDIR: $(cat "$work/install.log")"
env -u DESTDIR cmake --install "$build" --prefix "$work/plain prefix" >/dev/null 2>&1 || fail "install without DESTDIR"
expect "installed without DESTDIR" test -x "$work/plain prefix/bin/kestrun"
expect "nothing outside DESTDIR" test ! -e "$prefix"

expected="./bin/kestrun
./bin/kestrun-tree
./share/doc/kestrun/copyright
./share/doc/kestrun/examples/kestrun.cron
./share/doc/kestrun/examples/kestrun.service
./share/doc/kestrun/examples/kestrun.timer
./share/man/man1/kestrun-tree.1
./share/man/man1/kestrun.1"
if [ "$with_qt" = 1 ]; then
  expected+="
./lib/kestrun/kestrun-gui.so
./share/applications/kestrun.desktop
./share/doc/kestrun-gui/copyright
./share/icons/hicolor/48x48/apps/kestrun.png
./share/icons/hicolor/scalable/apps/kestrun.svg"
else
  expect "the install says it has no windows" grep -q "Built without windows" "$work/install.log"
fi
installed=$(cd "$root" && find . -type f | LC_ALL=C sort)
expect "installed files: $installed" test "$installed" = "$(LC_ALL=C sort <<<"$expected")"

for page in "$root"/share/man/man1/*.1; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  expect "man page $page: $warnings" test -z "$warnings"
done
if [ "$with_qt" = 1 ]; then
  expect "desktop entry" desktop-file-validate "$root/share/applications/kestrun.desktop"
  expect "48 x 48 icon" test "$(od -An -tu1 -j16 -N8 "$root/share/icons/hicolor/48x48/apps/kestrun.png" | tr -s ' ')" = " 0 0 0 48 0 0 0 48"
  expect "scalable icon" /usr/bin/python3 -c 'import sys, xml.etree.ElementTree as t; sys.exit(t.parse(sys.argv[1]).getroot().tag != "{http://www.w3.org/2000/svg}svg")' \
    "$root/share/icons/hicolor/scalable/apps/kestrun.svg"
fi
# The units name the program as systemd finds it on its search path; here it is the installed one.
if command -v systemd-analyze >/dev/null; then
  mkdir "$work/units"
  sed "s|^ExecStart=kestrun|ExecStart=\"$root/bin/kestrun\"|" "$root/share/doc/kestrun/examples/kestrun.service" >"$work/units/kestrun.service"
  cp "$root/share/doc/kestrun/examples/kestrun.timer" "$work/units/"
  expect "units verify" systemd-analyze verify --man=no "$work/units/kestrun.service" "$work/units/kestrun.timer"
else
  echo "systemd-analyze is not installed: the units are not verified"
fi

libraries=$(ldd "$root/bin/kestrun")
expect "the program links no window library: $libraries" lacks "$libraries" 'libQt|libX11|libxcb'
expect "--version" answers_version "$root/bin/kestrun"

# The front end follows what is installed beside the program; whatever is missing, the run goes on.
if [ "$with_qt" = 1 ]; then
  module="$root/lib/kestrun/kestrun-gui.so"
  run_copy "$root/bin/kestrun"
  expect "windows: status $status, stderr '$err', arrived $arrived" test "$status/$err/$arrived" = "0//yes"
  cp "$module" "$work/module"
  # The module's Qt library missing, as on a server that has the module but not Qt.
  perl -0777 -pe 's/libQt6Core\.so\.6/libQt6Cxre.so.6/g' "$work/module" >"$module"
  run_copy "$root/bin/kestrun"
  expect "Qt missing: status $status, stderr '$err', arrived $arrived" test "$status/$arrived" = "0/yes"
  expect "Qt missing is said: $err" has "$err" "kestrun: the window module cannot be loaded (libQt6Cxre.so.6: cannot open shared object file"
  cp "$other_module" "$module"
  run_copy "$root/bin/kestrun"
  expect "another version: status $status, stderr '$err', arrived $arrived" test "$status/$arrived" = "0/yes"
  expect "another version is said: $err" has "$err" "kestrun: the window module $module belongs to version 0.0.0-other, not $version; running on the console"
  rm "$module"
  run_copy "$root/bin/kestrun"
  expect "no module: status $status, stderr '$err', arrived $arrived" test "$status/$arrived" = "0/yes"
  expect "no module is said: $err" has "$err" "kestrun: the windows are not installed ($module: No such file or directory); running on the console"
else
  run_copy "$root/bin/kestrun"
  expect "console only: status $status, stderr '$err', arrived $arrived" test "$status/$arrived" = "0/yes"
  expect "console only is said: $err" has "$err" "kestrun: built without windows; running on the console"
fi
finish
