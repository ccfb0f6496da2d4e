#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Xavoline needs.
# Does nothing when they are all present; otherwise runs apt-get (as root, or through sudo).
set -euo pipefail

packages=(cmake g++ make libgtest-dev libbenchmark-dev libicu-dev qt6-base-dev fonts-ipafont-gothic
          desktop-file-utils dpkg-dev file libmigemo-dev cmigemo-common qt6-translations-l10n)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "error: run as root or install sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${packages[@]}"
