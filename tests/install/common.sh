# Shared by the install and package checks: a scratch folder, failures counted, and one copy-mode
# run of an installed program.
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrun-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
finish() {
  echo "$((checks - failures)) passed, $failures failed"
  [ "$failures" -eq 0 ]
}
checks=0
expect() {  # expect DESCRIPTION COMMAND...: the command must succeed
  local what=$1
  shift
  checks=$((checks + 1))
  "$@" || fail "$what"
}
# The version as the program says it: 1.0.0 is "kestrun 1.00.00".
answers_version() { test "$("$1" --version)" = "kestrun $(printf '%d.%02d.%02d' ${version//./ })"; }
has() { grep -qF -- "$2" <<<"$1"; }
lacks() { ! grep -qiE -- "$2" <<<"$1"; }

# run_copy PROGRAM: a copy-mode /Silent run of PROGRAM from a folder holding one package, with a
# display wanted (Qt off screen); sets $status, $err (its standard error) and $arrived (yes when the
# package was fetched).
run_copy() {
  local program=$1 run="$work/run"
  rm -rf "$run"
  mkdir -p "$run/packages" "$run/local"
  printf 'MZ' > "$run/packages/sdat0001.exe"
  cat > "$run/registry.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]
"HostName"="$run/packages"
"RemotePath"="$run/packages/"
"AlternateHostName"="$run/packages"
"AlternateRemotePath"="$run/packages/"
"FileMask"="sdat*.exe"
"LocalPath"="$run/local/"
"SDATsToKeep"="2"
REG
  status=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u KESTRUN_UI -u KESTRUN_LOG QT_QPA_PLATFORM=offscreen \
    KESTRUN_REGISTRY="$run/registry.reg" timeout 60 "$program" /Copy /Silent </dev/null >/dev/null \
    2>"$run/err" || status=$?
  err=$(cat "$run/err")
  arrived=no
  [ -f "$run/local/sdat0001.exe" ] && arrived=yes
}
