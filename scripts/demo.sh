#!/usr/bin/env bash
# The main job, shown end to end: installs and builds what is needed, starts a local FTP server on
# 127.0.0.1 that serves a few generated sample packages, points a fresh settings store at it and runs
# kestrun twice: the first run downloads and prunes, the second finds nothing new. In a window when a
# display is available, on the console otherwise. Everything it makes is removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/bootstrap.sh"

build=${KESTRUN_BUILD_DIR:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j2 --target kestrun >/dev/null
kestrun="$build/src/kestrun"

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrun-demo.XXXXXX")
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkdir -p "$work/server/pub/dat" "$work/local"
# Sample packages: a few megabytes of random bytes behind an executable's "MZ" signature.
for n in 4297 4298 4299 4300 4301; do
  { printf 'MZ'; head -c $((1024 * 1024 + n)) /dev/urandom; } > "$work/server/pub/dat/sdat$n.exe"
done
echo "not a package" > "$work/server/pub/dat/readme.txt"

/usr/bin/python3 "$root/tests/integration/ftp_server.py" --root "$work/server" --port-file "$work/port" \
  --max-lifetime 600 >/dev/null 2>"$work/server.log" &
server_pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/port" ] && break
  sleep 0.1
done
[ -s "$work/port" ] || { echo "demo: the FTP server did not start" >&2; cat "$work/server.log" >&2; exit 1; }
port=$(cat "$work/port")

export KESTRUN_REGISTRY="$work/registry.reg"
cat > "$KESTRUN_REGISTRY" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]
"HostName"="127.0.0.1:$port"
"RemotePath"="/pub/dat"
"AlternateHostName"="127.0.0.1:$port"
"AlternateRemotePath"="/pub/dat"
"FileMask"="sdat*.exe"
"LocalPath"="$work/local/"
"SDATsToKeep"="2"
REG

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  export KESTRUN_UI=${KESTRUN_UI:-gui}
else
  export KESTRUN_UI=console
fi

echo "== Serving $(ls "$work/server/pub/dat" | tr '\n' ' ')on 127.0.0.1:$port"
status=0
for run in first second; do
  echo
  echo "== The $run run"
  "$kestrun" </dev/null || status=$?
  echo "== Exit status: $status; local folder now holds: $(ls "$work/local" | tr '\n' ' ')"
  [ "$status" -eq 0 ] || break
done
echo
echo "== Settings store after the runs"
cat "$KESTRUN_REGISTRY"
exit "$status"
