#!/usr/bin/env bash
# Installs every Debian 12 package that building, running, the demo and the tests need.
# Idempotent and quiet: prints nothing unless something fails. Run as root or through sudo.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
    unixodbc unixodbc-dev tdsodbc freetds-bin
    libsqlite3-dev sqlite3 libgnutls28-dev
    python3 python3-tds python3-pkg-resources python3-openssl python3-pil
    fonts-wqy-microhei fonts-dejavu-core fontconfig
    xvfb xdotool x11-utils imagemagick
    desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
       "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "setup-debian.sh: installing ${missing[*]} failed" >&2
    exit 1
fi
