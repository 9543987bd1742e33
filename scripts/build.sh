#!/usr/bin/env bash
# Configures and builds into build/ (warnings are errors). Prints only what the compiler has to say.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSUOWUTONG_WERROR=ON >/dev/null
cmake --build build --parallel "$(nproc)" | grep -v -E '^\[[0-9]+/[0-9]+\] ' || true
test "${PIPESTATUS[0]}" -eq 0
