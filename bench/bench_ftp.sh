#!/usr/bin/env bash
# FTP download figures: one package fetched from the local test FTP server (tests/integration/ftp_server.py)
# into a folder on tmpfs, by `kestrun` (console, a store of its own, nothing recorded beforehand) and by
# the curl command-line tool (`curl -s -o FILE ftp://...`), alternating, and each one's median.
#   speed   - a 500 MB package, five rounds each; ratio = curl time / kestrun time (target >= 1.0)
#   memory  - kestrun's peak resident memory for a 50 MB and a 1 GB package (target < 40 MB, and the
#             same for both: a download buffers a fixed amount, whatever the package's size)
# The server is the same for both tools, so where it is the bottleneck both wait on it alike.
#
# Usage: bench/bench_ftp.sh [path/to/kestrun]
#   KESTRUN_BIN    the program (when no argument is given); default build/src/kestrun
#   BENCH_DIR      where the work folders go (default /dev/shm, else /tmp); removed afterwards
#   BENCH_ROUNDS   rounds per tool for the speed figure (default 5)
#   BENCH_MB       size of the speed figure's package in MB (default 500)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
KESTRUN=$(realpath "${1:-${KESTRUN_BIN:-$root/build/src/kestrun}}")
[[ -x "$KESTRUN" ]] || { echo "no program at $KESTRUN" >&2; exit 2; }
BASE=${BENCH_DIR:-/dev/shm}
[[ -d "$BASE" && -w "$BASE" ]] || BASE=/tmp
ROUNDS=${BENCH_ROUNDS:-5}
SPEED_MB=${BENCH_MB:-500}

# GNU time gives the peak resident memory; curl is the yardstick.
missing=()
[[ -x /usr/bin/time ]] || missing+=(time)
command -v curl >/dev/null || missing+=(curl)
if [[ ${#missing[@]} -gt 0 ]]; then
  SUDO=; [[ $(id -u) -eq 0 ]] || SUDO=sudo
  $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

WORK=$(mktemp -d "$BASE/kestrun-bench-ftp-XXXXXX")
server_pid=
cleanup() {
  if [[ -n "$server_pid" ]]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT INT TERM
STORE="$WORK/registry.reg"
mkdir -p "$WORK/served" "$WORK/local" "$WORK/curl"
failed=0

now() { date +%s%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b - a) / 1e9 }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
verdict() {  # ok-expression text
  if awk "BEGIN { exit !($1) }"; then echo "  $2: ok"; else echo "  $2: MISSED"; failed=1; fi
}

make_package() {  # name megabytes
  head -c $(($2 * 1000 * 1000)) /dev/urandom > "$WORK/served/$1"
}

/usr/bin/python3 "$root/tests/integration/ftp_server.py" --root "$WORK/served" --port-file "$WORK/port" \
  --max-lifetime 3600 >/dev/null 2>"$WORK/server.log" &
server_pid=$!
for _ in $(seq 1 100); do [[ -s "$WORK/port" ]] && break; sleep 0.1; done
[[ -s "$WORK/port" ]] || { echo "the FTP server did not start" >&2; cat "$WORK/server.log" >&2; exit 2; }
PORT=$(cat "$WORK/port")

# A fresh store each run: nothing recorded, so the one package on the server is fetched.
write_store() {
  cat > "$STORE" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]
"HostName"="127.0.0.1:$PORT"
"RemotePath"="/"
"AlternateHostName"=""
"AlternateRemotePath"=""
"FileMask"="sdat*.exe"
"LocalPath"="$WORK/local/"
"SDATsToKeep"="2"
REG
}

# Runs kestrun once under GNU time; prints "seconds peak-kB". A run that did not fetch is an error.
run_kestrun() {  # package
  rm -f "$WORK/local/"* "$WORK/local/".*.part 2>/dev/null || true
  write_store
  local t0 t1 status=0
  t0=$(now)
  KESTRUN_UI=console KESTRUN_REGISTRY="$STORE" NO_COLOR=1 /usr/bin/time -v -o "$WORK/time.txt" \
    "$KESTRUN" </dev/null >"$WORK/out.txt" 2>"$WORK/err.txt" || status=$?
  t1=$(now)
  if [[ $status -ne 0 ]] || ! grep -qx "$1 copied!" "$WORK/out.txt"; then
    echo "kestrun failed (status $status):" >&2
    tail -n 8 "$WORK/out.txt" "$WORK/err.txt" >&2
    exit 2
  fi
  cmp -s "$WORK/served/$1" "$WORK/local/$1" || { echo "kestrun's download differs" >&2; exit 2; }
  echo "$(seconds "$t0" "$t1") $(awk -F': ' '/Maximum resident set size/ { print $2 }' "$WORK/time.txt")"
}

run_curl() {  # package
  rm -f "$WORK/curl/"*
  local t0 t1
  t0=$(now)
  curl -s -o "$WORK/curl/$1" "ftp://127.0.0.1:$PORT/$1" || { echo "curl failed" >&2; exit 2; }
  t1=$(now)
  cmp -s "$WORK/served/$1" "$WORK/curl/$1" || { echo "curl's download differs" >&2; exit 2; }
  seconds "$t0" "$t1"
}

echo "kestrun: $KESTRUN"
echo "curl: $(curl --version | head -n 1)"
echo "work folder: $WORK ($(df -T "$WORK" | awk 'NR == 2 { print $2 }')), server 127.0.0.1:$PORT"

# ---- speed -------------------------------------------------------------------------------------------
package=sdat0500.exe
make_package "$package" "$SPEED_MB"
k_times=() c_times=()
run_kestrun "$package" >/dev/null  # warm-up: page cache, server start-up
for ((i = 0; i < ROUNDS; i++)); do
  read -r t _ < <(run_kestrun "$package")
  k_times+=("$t")
  c_times+=("$(run_curl "$package")")
done
rm -f "$WORK/served/$package" "$WORK/local/"* "$WORK/curl/"*
k_med=$(median "${k_times[@]}")
c_med=$(median "${c_times[@]}")
ratio=$(awk -v c="$c_med" -v k="$k_med" 'BEGIN { printf "%.3f", c / k }')
echo
echo "speed: a ${SPEED_MB} MB package, $ROUNDS rounds each, alternating"
echo "  kestrun: ${k_times[*]} s; median $k_med s ($(awk -v k="$k_med" -v m="$SPEED_MB" 'BEGIN { printf "%.0f", m / k }') MB/s)"
echo "  curl:    ${c_times[*]} s; median $c_med s ($(awk -v c="$c_med" -v m="$SPEED_MB" 'BEGIN { printf "%.0f", m / c }') MB/s)"
echo "  ratio curl/kestrun: $ratio"
verdict "$ratio >= 1.0" "kestrun at least as fast as curl"

# ---- memory ------------------------------------------------------------------------------------------
echo
echo "memory: kestrun's peak resident set"
peaks=()
for mb in 50 1000; do
  package=$(printf 'sdat%04d.exe' "$mb")
  make_package "$package" "$mb"
  read -r t kb < <(run_kestrun "$package")
  peaks+=("$kb")
  echo "  ${mb} MB package: ${kb} kB (${t} s)"
  rm -f "$WORK/served/$package" "$WORK/local/"*
done
verdict "${peaks[0]} < 40960 && ${peaks[1]} < 40960" "under 40 MB"
verdict "${peaks[1]} - ${peaks[0]} < 2048 && ${peaks[0]} - ${peaks[1]} < 2048" "the same for both sizes (within 2 MB)"
exit $failed
