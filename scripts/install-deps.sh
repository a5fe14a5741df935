#!/usr/bin/env bash
# Installs the Debian packages Quillet needs to build, run and test, when any is missing.
#
#   bash scripts/install-deps.sh [EXTRA_PACKAGE...]
#
# Extra packages are for the optional scripts (gnuplot-nox for the scaling plot,
# libopencv-imgproc-dev for the flood fill's peer in the benchmarks).
set -euo pipefail
packages=(cmake ninja-build g++ libgtest-dev libbenchmark-dev qt6-base-dev qt6-svg-dev
          qt6-translations-l10n qt6-wayland libcgal-dev nlohmann-json3-dev python3
          xvfb xauth xdotool imagemagick x11-apps x11-utils weston clang libclang-rt-14-dev
          desktop-file-utils xdg-utils shared-mime-info appstream libglib2.0-bin lintian
          dpkg-dev file man-db groff-base dbus at-spi2-core python3-pyatspi "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
