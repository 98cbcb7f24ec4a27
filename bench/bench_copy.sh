#!/usr/bin/env bash
# Figures for a copy-mode run, each printed beside the tool a user would compare it with, measured in
# the same run on the same machine:
#   copy   - one 1 GiB package copied by `kestrun /Copy`, against cp of the same file (speed ratio >= 0.95)
#   scan   - a source folder of 100,000 files none of which is a package, against
#            find DIR -maxdepth 1 -iname 'sdat*.exe' (time ratio <= 2)
#   prune  - 20,000 packages in the local folder pruned down to 2 (under 0.5 s), beside ls|sort|rm
# Each figure is the best of a few rounds. The program runs on the console with a store of its own.
#
# Usage: bench/bench_copy.sh [path/to/kestrun]
#   KESTRUN_BIN    the program (when no argument is given); default build/src/kestrun
#   BENCH_DIR      where the work folders go (default /dev/shm, else /tmp); removed afterwards
#   BENCH_ROUNDS   rounds per figure (default 3)
set -euo pipefail

KESTRUN=$(realpath "${1:-${KESTRUN_BIN:-build/src/kestrun}}")
[[ -x "$KESTRUN" ]] || { echo "no program at $KESTRUN" >&2; exit 2; }
BASE=${BENCH_DIR:-/dev/shm}
[[ -d "$BASE" && -w "$BASE" ]] || BASE=/tmp
ROUNDS=${BENCH_ROUNDS:-3}
WORK=$(mktemp -d "$BASE/kestrun-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
STORE="$WORK/registry.reg"
failed=0

now() { date +%s%N; }
# Seconds, with milliseconds, between two readings of now.
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b - a) / 1e9 }'; }
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }

# The settings of a copy-mode run; every value present, so no question is asked.
write_store() {  # source local keep
  cat > "$STORE" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]
"HostName"="ftp.example.invalid"
"RemotePath"="$1"
"AlternateHostName"="ftp.example.invalid"
"AlternateRemotePath"="$1"
"FileMask"="sdat*.exe"
"LocalPath"="$2"
"SDATsToKeep"="$3"
REG
}

# Runs the program once and prints its wall time; a run that did not finish is an error.
run_kestrun() {
  local t0 t1 status=0
  t0=$(now)
  KESTRUN_UI=console KESTRUN_REGISTRY="$STORE" NO_COLOR=1 "$KESTRUN" /Copy </dev/null >"$WORK/out.txt" 2>"$WORK/err.txt" || status=$?
  t1=$(now)
  if [[ $status -ne 0 ]] || [[ "$(tail -n 1 "$WORK/out.txt")" != "Finished" ]]; then
    echo "kestrun failed (status $status):" >&2
    tail -n 5 "$WORK/out.txt" "$WORK/err.txt" >&2
    exit 2
  fi
  seconds "$t0" "$t1"
}

verdict() {  # ok-expression text
  if awk "BEGIN { exit !($1) }"; then echo "  $2: ok"; else echo "  $2: MISSED"; failed=1; fi
}

echo "kestrun: $KESTRUN"
echo "work folder: $WORK ($(df -T "$WORK" | awk 'NR == 2 { print $2 }'))"

# ---- copy --------------------------------------------------------------------------------------------
mkdir -p "$WORK/src" "$WORK/cp" "$WORK/local" "$WORK/empty"
head -c 1073741824 /dev/zero > "$WORK/src/sdat9999.exe"
best_cp= best_k=
for ((i = 0; i < ROUNDS; i++)); do
  rm -f "$WORK/cp/"*
  t0=$(now); cp "$WORK/src/sdat9999.exe" "$WORK/cp/"; t1=$(now)
  best_cp=$(smaller "$best_cp" "$(seconds "$t0" "$t1")")
  rm -f "$WORK/local/"*
  write_store "$WORK/src" "$WORK/local" 2
  best_k=$(smaller "$best_k" "$(run_kestrun)")
  cmp -s "$WORK/src/sdat9999.exe" "$WORK/local/sdat9999.exe" || { echo "the copy differs" >&2; exit 2; }
done
rm -rf "$WORK/src" "$WORK/cp" "$WORK/local"
ratio=$(awk -v c="$best_cp" -v k="$best_k" 'BEGIN { printf "%.2f", c / k }')
echo "copy 1 GiB:      kestrun ${best_k} s   cp ${best_cp} s   speed ratio ${ratio} (target >= 0.95)"
verdict "$ratio >= 0.95" "copy"

# ---- scan --------------------------------------------------------------------------------------------
mkdir -p "$WORK/scan" "$WORK/local"
(cd "$WORK/scan" && seq -f 'file%06g.dat' 1 100000 | xargs touch)
write_store "$WORK/scan" "$WORK/local" 2
best_find= best_k=
for ((i = 0; i < ROUNDS; i++)); do
  t0=$(now); find "$WORK/scan" -maxdepth 1 -iname 'sdat*.exe' >/dev/null; t1=$(now)
  best_find=$(smaller "$best_find" "$(seconds "$t0" "$t1")")
  best_k=$(smaller "$best_k" "$(run_kestrun)")
done
rm -rf "$WORK/scan" "$WORK/local"
ratio=$(awk -v f="$best_find" -v k="$best_k" 'BEGIN { printf "%.2f", k / f }')
echo "scan 100,000:    kestrun ${best_k} s   find ${best_find} s   time ratio ${ratio} (target <= 2)"
verdict "$ratio <= 2" "scan"

# ---- prune -------------------------------------------------------------------------------------------
make_packages() { mkdir -p "$1" && (cd "$1" && seq -f 'sdat%05g.exe' 1 20000 | xargs touch); }
best_rm= best_k=
for ((i = 0; i < ROUNDS; i++)); do
  make_packages "$WORK/ref"
  t0=$(now); (cd "$WORK/ref" && ls | LC_ALL=C sort | head -n -2 | xargs rm --); t1=$(now)
  best_rm=$(smaller "$best_rm" "$(seconds "$t0" "$t1")")
  rm -rf "$WORK/ref"
  make_packages "$WORK/local"
  write_store "$WORK/empty" "$WORK/local" 2
  best_k=$(smaller "$best_k" "$(run_kestrun)")
  left=$(ls "$WORK/local" | tr '\n' ' ')
  [[ "$left" == "sdat19999.exe sdat20000.exe " ]] || { echo "pruning left: $left" >&2; exit 2; }
  rm -rf "$WORK/local"
done
echo "prune 20,000->2: kestrun ${best_k} s   ls|sort|rm ${best_rm} s   (target < 0.5 s)"
verdict "$best_k < 0.5" "prune"

exit $failed
