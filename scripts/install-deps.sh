#!/usr/bin/env bash
# Installs every system package the build, the tests and the benchmarks need (Debian 12).
# Used by both README commands and by CI; safe to run again.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    juce-modules-source juce-tools
    libasound2-dev libfreetype-dev libfontconfig1-dev libx11-dev libxext-dev libxinerama-dev
    libxrandr-dev libxcursor-dev libxcomposite-dev libgl-dev libgtk-3-dev libcurl4-gnutls-dev
    fonts-dejavu-core
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
