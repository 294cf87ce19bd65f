#!/usr/bin/env bash
# Installs what building, running and testing the demo need on Debian 12.
set -euo pipefail
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
packages=(
  build-essential cmake pkg-config
  libsdl2-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri   # the program
  libx11-dev                                                      # the program's message box
  zlib1g-dev                                                      # Deflate-compressed textures
  xvfb xauth xfonts-base x11-apps x11-utils xdotool imagemagick  # running without a display, screenshots
  googletest libgtest-dev libbenchmark-dev libxtst-dev            # tests and benchmarks
  libtiff-tools libtiff-dev lib3ds-dev assimp-utils               # independent readers and writers to compare with
  clang libclang-rt-14-dev                                        # fuzzing
  g++-mingw-w64-x86-64 libz-mingw-w64-dev wine wine64             # the Windows build and its tests
)
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
echo "setup: packages installed"
