#!/usr/bin/env bash
# Installs the system packages, builds every plug-in format in release mode, installs the
# plug-in where hosts look for it, and starts the Standalone application when a display is there.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

cmake --preset release
cmake --build --preset release

artefacts=build/release/TarvolenEQ_artefacts/Release

mkdir -p "$HOME/.vst3" "$HOME/.lv2"
rm -rf "$HOME/.vst3/TarvolenEQ.vst3" "$HOME/.lv2/TarvolenEQ.lv2"
cp -R "$artefacts/VST3/TarvolenEQ.vst3" "$HOME/.vst3/"
cp -R "$artefacts/LV2/TarvolenEQ.lv2" "$HOME/.lv2/"
echo "Installed TarvolenEQ.vst3 in $HOME/.vst3 and TarvolenEQ.lv2 in $HOME/.lv2"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$artefacts/Standalone/TarvolenEQ"
else
    echo "No display: not starting the Standalone application ($artefacts/Standalone/TarvolenEQ)."
fi
