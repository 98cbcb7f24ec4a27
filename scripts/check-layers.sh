#!/usr/bin/env bash
# Fails when a file of src/ includes a header from a layer above its own. From the bottom up:
#   platform            the seams: window system, FTP client, cancellation, the run's window, registry
#                       API, processes and the machine; it includes nothing above it
#   util                stateless helpers
#   registry, filetree, update
#   ui                  the main window's logic and its view interface
#   app                 the driver and the controller
#   front ends          ui/console, ui/qt, tree/ and main.cpp; nothing else includes them
# A file may include headers of its own folder and of the folders listed for it below, nothing else of
# src/. Headers without a folder (the generated BuildConfig.h) and system headers are not looked at.
set -euo pipefail
cd "$(dirname "$0")/../src"

find . \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z | xargs -0 awk '
BEGIN {
  allowed["platform"] = "platform"
  allowed["util"] = "util platform"
  allowed["registry"] = "registry util platform"
  allowed["filetree"] = "filetree registry util platform"
  allowed["update"] = "update filetree registry util platform"
  allowed["app"] = "app ui update filetree registry util platform"
  allowed["ui"] = "ui update filetree registry util platform"
  status = 0
}
FNR == 1 {
  file = substr(FILENAME, 3)
  layer = file
  sub(/\/.*/, "", layer)
  frontEnd = file ~ /^(ui\/console|ui\/qt|tree)\// || file == "main.cpp"
  if (!frontEnd && !(layer in allowed)) {
    print "check-layers: src/" file ": the folder " layer "/ has no place among the layers" > "/dev/stderr"
    status = 1
  }
}
frontEnd || !(layer in allowed) { next }
/^[ \t]*#[ \t]*include[ \t]*"[^"]*\/[^"]*"/ {
  header = $0
  sub(/^[^"]*"/, "", header)
  sub(/".*/, "", header)
  target = header
  sub(/\/.*/, "", target)
  if (header ~ /^(ui\/console|ui\/qt|tree)\//) target = "a front end"
  if (index(" " allowed[layer] " ", " " target " ") == 0) {
    print "check-layers: src/" file ":" FNR " includes \"" header "\", above its layer (" layer ")" > "/dev/stderr"
    status = 1
  }
}
END { exit status }
'
