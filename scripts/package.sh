#!/usr/bin/env bash
# Builds the Debian packages of the program and of the sandbox in a release build folder of their own
# (the CMake preset linux-release: no tests, no benchmarks), checks the desktop entry and the AppStream
# metadata with their validators, and prints the paths of the two .deb files:
#
#     build/linux-release/packages/suowutong_<version>_amd64.deb
#     build/linux-release/packages/suowutong-sandbox_<version>_amd64.deb
#
# BUILD_DIR chooses another build folder. Quiet unless something fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh
for tool in desktop-file-validate:desktop-file-utils appstreamcli:appstream dpkg-shlibdeps:dpkg-dev; do
    command -v "${tool%%:*}" >/dev/null || { echo "package.sh: ${tool%%:*} is missing (package ${tool#*:})" >&2; exit 1; }
done

dir=${BUILD_DIR:-build/linux-release}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
run() {
    "$@" >"$log" 2>&1 || { cat "$log" >&2; echo "package.sh: failed: $*" >&2; exit 1; }
}

run cmake --preset linux-release -B "$dir"
run cmake --build "$dir" --parallel "$(nproc)"
rm -rf "$dir/packages"
run cpack --config "$dir/CPackConfig.cmake" -B "$dir/packages"

# The validators judge the files as they are installed: the program's package's staged tree.
staged=$(find "$dir/packages/_CPack_Packages" -mindepth 4 -maxdepth 4 -type d -path '*/DEB/*/app' | head -n1)
[ -n "$staged" ] || { echo "package.sh: cannot find the staged files of the program's package" >&2; exit 1; }
run desktop-file-validate "$staged/usr/share/applications/suowutong.desktop"
run appstreamcli validate-tree --no-net "$staged"

ls "$dir"/packages/*.deb
