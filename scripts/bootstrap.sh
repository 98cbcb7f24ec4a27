#!/usr/bin/env bash
# Installs every Debian package that building, testing, benchmarking and the demo need.
# Safe to run again: when everything is present it says nothing and changes nothing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config git ca-certificates
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
  libcurl4-openssl-dev curl
  python3 python3-pyftpdlib
  xvfb xauth
  rsync
  # Checks of the installed tree and the Debian packages: desktop-file-validate, man --warnings,
  # dpkg-shlibdeps for the packages' dependencies, systemd-analyze verify for the example units;
  # rsvg-convert remakes the 48 x 48 icon from the SVG.
  desktop-file-utils man-db dpkg-dev systemd librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "bootstrap: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
