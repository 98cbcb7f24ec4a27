#!/usr/bin/env bash
# Figures for kestrun-tree, each printed beside the tool a user would compare it with, measured in the
# same run on the same machine, the two taking turns round by round (the order swapped every round):
#   mirror  - a fresh tree of 10,000 files of 4 KiB in 100 folders, against cp -a (time ratio <= 1.5);
#             also beside cp -a followed by sync -f, for kestrun-tree has its copies on disk when it
#             ends while cp -a leaves them to be written back (the fair reference where a disk is behind
#             the folder; on tmpfs the two are alike)
#   again   - the same mirror run again with nothing to do, against rsync -a with nothing to do
#             (time ratio <= 1.5)
#   empty   - 100,000 files 40 days old in one folder emptied with 30 days to keep, against
#             find DIR -type f -mtime +30 -delete (time ratio <= 2)
# Each figure is the median of its rounds. Ages are set with touch -d; nothing waits. Each copy starts
# with nothing left to write back, so that neither pays for the other's data.
#
# Usage: bench/bench_tree.sh [path/to/kestrun-tree [FOLDER]]
#   KESTRUN_TREE   the program (when no argument is given); default build/src/kestrun-tree
#   FOLDER, or BENCH_DIR  where the work folders go (default /dev/shm, else /tmp); removed afterwards.
#                  A folder on a disk shows what flushing costs there (tmpfs has no disk to wait for).
#   BENCH_ROUNDS   rounds per figure (default 5)
set -euo pipefail

TREE=$(realpath "${1:-${KESTRUN_TREE:-build/src/kestrun-tree}}")
[[ -x "$TREE" ]] || { echo "no program at $TREE" >&2; exit 2; }
for tool in rsync find cp sync; do command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }; done
if [[ -n "${2:-}" ]]; then
  [[ -d "$2" && -w "$2" ]] || { echo "no writable folder at $2" >&2; exit 2; }
  BASE=$(realpath "$2")
else
  BASE=${BENCH_DIR:-/dev/shm}
  [[ -d "$BASE" && -w "$BASE" ]] || BASE=/tmp
fi
ROUNDS=${BENCH_ROUNDS:-5}
WORK=$(mktemp -d "$BASE/kestrun-tree-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
failed=0

now() { date +%s%N; }
# Runs a command and prints its wall time in seconds; a failed command ends the benchmark.
timed() {
  local t0 t1
  t0=$(now)
  "$@" >"$WORK/out.txt" 2>&1 || { echo "failed: $*" >&2; tail -n 5 "$WORK/out.txt" >&2; exit 2; }
  t1=$(now)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", (b - a) / 1e9 }'
}
# One round of two commands taking turns: the first goes first in even rounds. Each is a shell function;
# its time is added to the file named after it.   in_turn ROUND FUNCTION_A FILE_A FUNCTION_B FILE_B
in_turn() {
  if (($1 % 2 == 0)); then
    "$2" >>"$WORK/$3"; "$4" >>"$WORK/$5"
  else
    "$4" >>"$WORK/$5"; "$2" >>"$WORK/$3"
  fi
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
verdict() {  # kestrun reference limit name
  local ratio
  ratio=$(awk -v k="$1" -v r="$2" 'BEGIN { printf "%.2f", k / r }')
  printf '%-8s kestrun-tree %6.3f s   %-22s %6.3f s   ratio %s (target <= %s)' "$4" "$1" "$5" "$2" "$ratio" "$3"
  if awk -v x="$ratio" -v l="$3" 'BEGIN { exit !(x <= l) }'; then echo "  ok"; else echo "  MISSED"; failed=1; fi
}

echo "kestrun-tree: $TREE"
echo "work folder: $WORK ($(df -T "$WORK" | awk 'NR == 2 { print $2 }')), $ROUNDS rounds"

# ---- the source tree: 100 folders of 100 files of 4 KiB -----------------------------------------------
head -c 4096 /dev/urandom >"$WORK/block"
for ((d = 0; d < 100; d++)); do
  mkdir -p "$WORK/src/folder$d"
  for ((f = 0; f < 100; f++)); do cp "$WORK/block" "$WORK/src/folder$d/file$f.dat"; done
done
touch -d '2 days ago' "$WORK"/src/*/*.dat

# ---- mirror and again --------------------------------------------------------------------------------
: >"$WORK/k1" >"$WORK/cp" >"$WORK/cps" >"$WORK/k2" >"$WORK/rs"
rsync -a "$WORK/src/" "$WORK/rsync/"
mirror() {
  sync -f "$WORK"
  timed "$TREE" mirror "$WORK/src" "$WORK/dst"
}
copy() {  # prints the time of cp -a; adds the time until its copies are on disk to cps
  local t0
  sync -f "$WORK"
  t0=$(now)
  timed cp -a "$WORK/src" "$WORK/cpdst"
  sync -f "$WORK"
  awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.3f\n", (b - a) / 1e9 }' >>"$WORK/cps"
}
resync() { timed rsync -a "$WORK/src/" "$WORK/rsync/"; }
for ((i = 0; i < ROUNDS; i++)); do
  rm -rf "$WORK/dst" "$WORK/cpdst"
  in_turn "$i" mirror k1 copy cp
  [[ $(find "$WORK/dst" -type f | wc -l) -eq 10000 ]] || { echo "the mirror is incomplete" >&2; exit 2; }
  in_turn "$i" mirror k2 resync rs
done
rm -rf "$WORK/dst" "$WORK/cpdst" "$WORK/rsync" "$WORK/src"
verdict "$(median <"$WORK/k1")" "$(median <"$WORK/cp")" 1.5 mirror "cp -a"
awk -v k="$(median <"$WORK/k1")" -v r="$(median <"$WORK/cps")" \
  'BEGIN { printf "%-8s kestrun-tree %6.3f s   %-22s %6.3f s   ratio %.2f\n", "", k, "cp -a + sync -f", r, k / r }'
verdict "$(median <"$WORK/k2")" "$(median <"$WORK/rs")" 1.5 again "rsync -a (no-op)"

# ---- empty ---------------------------------------------------------------------------------------------
make_old() {  # folder
  mkdir -p "$1"
  (cd "$1" && seq -f 'file%06g.dat' 1 100000 | xargs touch -d '40 days ago')
}
: >"$WORK/ke" >"$WORK/fd"
empty_k() { timed "$TREE" empty "$WORK/k" 30; }
empty_find() { timed find "$WORK/f" -type f -mtime +30 -delete; }
for ((i = 0; i < ROUNDS; i++)); do
  make_old "$WORK/k"
  make_old "$WORK/f"
  sync
  in_turn "$i" empty_k ke empty_find fd
  [[ -z $(ls -A "$WORK/k") ]] || { echo "empty left files behind" >&2; exit 2; }
  rm -rf "$WORK/k" "$WORK/f"
done
verdict "$(median <"$WORK/ke")" "$(median <"$WORK/fd")" 2 empty "find -delete"

exit $failed
