#!/usr/bin/env bash
# Configures and builds into build/ (warnings are errors). Prints only what the compiler has to say.
# BUILD_DIR chooses another build folder; runs on one folder are serialised. Arguments go to
# cmake --build, e.g. --target suowutong to build one target.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
mkdir -p "$dir"
exec 9>"$dir/.build.lock"
flock 9
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSUOWUTONG_WERROR=ON >/dev/null
# grep finding nothing to print is success; a failed build fails the pipeline (pipefail).
cmake --build "$dir" --parallel "$(nproc)" "$@" | { grep -v -E '^\[[0-9]+/[0-9]+\] |^ninja: no work to do\.$' || true; }
