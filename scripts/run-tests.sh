#!/usr/bin/env bash
# The test command: installs what is needed, builds, and runs every test with CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh
cd build
ctest --output-on-failure --timeout 900 "$@"
