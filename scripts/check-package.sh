#!/usr/bin/env bash
# Checks the packages built by scripts/package.sh on this machine, as root: installs both with apt-get,
# serves the demo data with the installed sandbox, starts the installed program under a virtual X
# server, logs in and waits for the main window, then removes both packages and checks that none of
# their files is left. Not part of CTest: it changes the system.
#
#     scripts/check-package.sh [FOLDER]     # FOLDER holds the .deb files; default build/linux-release/packages
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-build/linux-release/packages}
shopt -s nullglob
debs=("$folder"/suowutong_*_amd64.deb "$folder"/suowutong-sandbox_*_amd64.deb)
[ ${#debs[@]} -eq 2 ] || { echo "check-package: expected the two .deb files in $folder" >&2; exit 1; }
mapfile -t debs < <(realpath "${debs[@]}")

work=$(mktemp -d)
sandbox_pid=""
xvfb_pid=""
app_pid=""
installed=""
cleanup() {
    [ -z "$installed" ] || DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq suowutong suowutong-sandbox >/dev/null 2>&1
    for pid in "$app_pid" "$xvfb_pid" "$sandbox_pid"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "check-package: $1" >&2
    for f in "$work"/*.out; do [ -s "$f" ] && { echo "--- $f" >&2; cat "$f" >&2; }; done
    exit 1
}
wait_until() {  # $1 a command, $2 tenths of a second
    local tries=$2
    until eval "$1"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}
apt() {
    DEBIAN_FRONTEND=noninteractive apt-get "$@" >"$work/apt.out" 2>&1 || fail "apt-get $* failed"
}

installed=yes
apt install -y --no-install-recommends "${debs[@]}"
echo "installed: $(dpkg-query -W -f='${Package} ${Version}  ' suowutong suowutong-sandbox)"
dpkg-query -L suowutong suowutong-sandbox | grep '^/' >"$work/paths"

# The version is set once; the installed AppStream release entry must carry the package's.
version=$(dpkg-query -W -f='${Version}' suowutong)
grep -q "<release version=\"$version\"" /usr/share/metainfo/*.metainfo.xml ||
    fail "the AppStream release entry does not carry version $version"

password="Check-$RANDOM$RANDOM"
/usr/bin/suowutong-sandbox --data "$work/data" --port 0 --password "$password" --seed demo >"$work/sandbox.out" 2>&1 &
sandbox_pid=$!
wait_until "grep -q '^listening on' '$work/sandbox.out'" 150 || fail "the installed sandbox did not start"
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sandbox.out")

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.out" 2>&1 &
xvfb_pid=$!
exec 3>&-
wait_until "[ -s '$work/display' ]" 100 || fail "the virtual X server did not start"
export DISPLAY=":$(head -n1 "$work/display")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME

# From / and with a bare environment, so that nothing of the checkout is at hand.
mkdir -m 700 "$work/runtime"
(cd / && exec env -i PATH=/usr/bin:/bin DISPLAY="$DISPLAY" HOME="$work" XDG_RUNTIME_DIR="$work/runtime" LANG=C.UTF-8 \
    suowutong) >"$work/app.out" 2>&1 &
app_pid=$!
window_of_size() {  # the program's visible window of the given size
    local id
    for id in $(xdotool search --onlyvisible --class suowutong 2>/dev/null); do
        xdotool getwindowgeometry --shell "$id" 2>/dev/null | tr '\n' ' ' | grep -q "WIDTH=$1 HEIGHT=$2 " &&
            { echo "$id"; return 0; }
    done
    return 1
}
wait_until 'window_of_size 458 291 >/dev/null' 150 || fail "the login window of the installed program did not appear"
# Qt's Chinese texts ("确定", "取消") come from the system's translations, mapped into the process.
grep -q '/qtbase_zh_CN\.qm$' "/proc/$app_pid/maps" || fail "the installed program did not load qtbase_zh_CN.qm"
xdotool windowfocus --sync "$(window_of_size 458 291)"
xdotool key shift+Tab ctrl+a
xdotool type --delay 20 "127.0.0.1,$port"
xdotool key Tab
xdotool type --delay 20 "$password"
xdotool key Return
wait_until 'window_of_size 450 405 >/dev/null' 300 || fail "the installed program did not log in to the sandbox"
echo "the installed program logged in to the installed sandbox on 127.0.0.1,$port"
# "退出(&E)" of the third tab ends the program.
xdotool windowfocus --sync "$(window_of_size 450 405)" key --delay 300 ctrl+Tab ctrl+Tab alt+e
wait_until '! kill -0 "$app_pid" 2>/dev/null' 100 || fail "the installed program did not end on 退出(&E)"
app_pid=""

apt remove -y suowutong suowutong-sandbox
installed=""
for package in suowutong suowutong-sandbox; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ -z "$status" ] || [ "$status" = not-installed ] || fail "$package is still $status after apt-get remove"
done
# Whatever of theirs still exists must belong to another package (shared folders such as /usr/share/icons).
left=$(while read -r path; do
    [ -e "$path" ] && ! dpkg-query -S "$path" >/dev/null 2>&1 && echo "$path"
done <"$work/paths" || true)
[ -z "$left" ] || fail "left after apt-get remove: $left"
echo "removed: nothing of either package is left ($(wc -l <"$work/paths") paths checked)"
