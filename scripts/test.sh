#!/usr/bin/env bash
# Installs the system packages, then builds and runs the whole test suite: once with
# assertions, once under AddressSanitizer and UndefinedBehaviorSanitizer, and once under
# ThreadSanitizer. Editor tests need a display, so everything runs under a virtual one.
# Pass preset names (test, asan, tsan, or asan-clang for the AddressSanitizer suite built with
# Clang) to run only those.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

presets=("$@")
if [ "${#presets[@]}" -eq 0 ]; then presets=(test asan tsan); fi

for preset in "${presets[@]}"; do
    echo "=== $preset ==="
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    xvfb-run -a ctest --preset "$preset" --parallel "$(nproc)"
done
