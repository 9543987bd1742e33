#!/usr/bin/env bash
# The benchmark command: installs what is needed, builds the benchmarks and runs each one,
# printing its figures. Names pick some of them (sandbox startup tasklist lockscan); the
# default is all, the sandbox first since its figure says how to read the others.
#
#     scripts/run-benchmarks.sh                   # all
#     scripts/run-benchmarks.sh tasklist lockscan
set -euo pipefail
cd "$(dirname "$0")/.."

benches=("$@")
[ ${#benches[@]} -gt 0 ] || benches=(sandbox startup tasklist lockscan)

scripts/setup-debian.sh
targets=()
for name in "${benches[@]}"; do
    [ -f "bench/bench_$name.cpp" ] || { echo "run-benchmarks.sh: no benchmark '$name'" >&2; exit 2; }
    targets+=(--target "bench_$name")
done
scripts/build.sh "${targets[@]}"

# Offscreen windows; Qt wants a private runtime folder and warns on every window otherwise.
export QT_QPA_PLATFORM=offscreen
unset QT_QPA_PLATFORMTHEME
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime"

echo "benchmarks on $(uname -srm), $(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC')"
for name in "${benches[@]}"; do
    # The offscreen platform's note about window size hints says nothing about the figures.
    "build/bench/bench_$name" 2> >(grep -v 'does not support propagateSizeHints' >&2)
done
