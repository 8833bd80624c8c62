#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kravix need,
# but only those that are missing. Safe to run on every build.
set -euo pipefail

packages=(
  # tool chain
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev
  # libraries
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev libxcb1-dev libzip-dev zlib1g-dev libdeflate-dev libssl-dev
  libgtest-dev googletest libbenchmark-dev
  # peer programs the tests compare against
  zip unzip 7zip libarchive-tools arj arc lhasa nomarch unar sharutils python3
  # display for window tests and screenshots
  xvfb xauth x11-apps imagemagick openbox
  # file types and icons
  shared-mime-info adwaita-icon-theme
  # the freedesktop tools the file-type registration runs and its tests query
  xdg-utils desktop-file-utils libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

# The package test asks apt how the .deb would install on a fresh system,
# which needs the package lists even when nothing is missing.
if [ ${#missing[@]} -gt 0 ] || ! ls /var/lib/apt/lists/*_Packages* >/dev/null 2>&1; then
  $sudo apt-get update -qq
fi

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
