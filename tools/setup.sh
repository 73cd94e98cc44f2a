#!/usr/bin/env bash
# Installs what building, running and testing Tarvelin needs on Debian 12.
# Safe to run again; uses sudo when not run as root.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools
  # the window's fonts: substitutes with the designed text heights
  fonts-liberation2 fonts-comic-neue
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils openbox xdotool xclip dbus-daemon at-spi2-core libglib2.0-bin bc
  # installation and package checks
  desktop-file-utils appstream dpkg-dev file
  # fuzzing (libFuzzer) and clang's sanitizer runtimes
  clang-14 libclang-rt-14-dev
  # the core built for aarch64 and run under qemu
  g++-aarch64-linux-gnu libc6-dev-arm64-cross qemu-user googletest
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
