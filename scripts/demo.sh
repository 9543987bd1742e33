#!/usr/bin/env bash
# The demo: installs what is needed, builds the program and the sandbox (nothing else), serves the demo
# databases on 127.0.0.1:1433 (user sa, a fresh password printed below) and starts the program, whose
# default server "(local)" reaches them. When port 1433 is taken the sandbox takes a free port and the
# script prints what to type in the server box ("127.0.0.1,PORT").
# Without a display the program runs under a virtual X server instead: the script logs in, saves
# screenshots of the login window and of each tab, and prints the folder that holds them.
# The sandbox is stopped when the program ends. BUILD_DIR chooses another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dir=${BUILD_DIR:-build}

scripts/setup-debian.sh
BUILD_DIR=$dir scripts/build.sh --target suowutong --target suowutong-sandbox

password="Demo-$(od -An -N4 -tx1 /dev/urandom | tr -d ' \n')"
work=$(mktemp -d "${TMPDIR:-/tmp}/suowutong-demo.XXXXXX")
sandbox_pid=""
xvfb_pid=""
app_pid=""

cleanup() {
    for pid in "$app_pid" "$xvfb_pid" "$sandbox_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Waits up to $2 tenths of a second for the command $1 to succeed.
wait_until() {
    local tries=$2
    until eval "$1"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# Starts the sandbox on port $1 and waits until it listens; fails at once if it ends instead.
start_sandbox() {
    "$dir/sandbox/suowutong-sandbox" --data "$work/data" --port "$1" --password "$password" --seed demo \
        --log "$work/statements.log" >"$work/sandbox.out" 2>&1 &
    sandbox_pid=$!
    local listening="grep -q 'listening on 127.0.0.1:' '$work/sandbox.out'"
    wait_until "$listening || ! kill -0 $sandbox_pid 2>/dev/null" 150 && eval "$listening" && return 0
    kill "$sandbox_pid" 2>/dev/null || true
    wait "$sandbox_pid" 2>/dev/null || true
    sandbox_pid=""
    return 1
}
# Port 1433 is what "(local)" reaches; when something else holds it, any free port will do.
if ! start_sandbox 1433 && ! start_sandbox 0; then
    echo "demo: the sandbox did not start:" >&2
    cat "$work/sandbox.out" >&2
    exit 1
fi
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sandbox.out")
server="(local)"
[ "$port" = 1433 ] || server="127.0.0.1,$port"
echo "SQL Server sandbox: 127.0.0.1:$port  user: sa  password: $password"
# Which server generation it plays and how the login is encrypted ("profile 2019, TLS 1.0-1.2, encryption: login").
sed -n '2s/^/  /p' "$work/sandbox.out"
[ "$port" = 1433 ] || echo "Port 1433 is taken: type $server in the server box."

has_display() {
    [ -n "${WAYLAND_DISPLAY:-}" ] && return 0
    [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1
}

if has_display; then
    echo "Starting suowutong; log in with server $server and the password above."
    "$dir/suowutong" &
    app_pid=$!
    wait "$app_pid" || true
    app_pid=""
    echo "suowutong ended; sandbox stopped."
    exit 0
fi

# No display: a virtual X server, a scripted login and screenshots.
shots="$root/demo-$(date +%Y%m%d-%H%M%S)"
mkdir -p "$shots"
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.out" 2>&1 &
xvfb_pid=$!
exec 3>&-
if ! wait_until "[ -s '$work/display' ]" 100; then
    echo "demo: the virtual X server did not start:" >&2
    cat "$work/xvfb.out" >&2
    exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

"$dir/suowutong" >"$work/app.out" 2>&1 &
app_pid=$!

# The program's visible window of the given size (the login window is 458x291, the main window
# 450x405), once it is there.
window_of_size() {
    local id
    for id in $(xdotool search --onlyvisible --class suowutong 2>/dev/null); do
        if xdotool getwindowgeometry --shell "$id" 2>/dev/null | tr '\n' ' ' | grep -q "WIDTH=$1 HEIGHT=$2 "; then
            echo "$id"
            return 0
        fi
    done
    return 1
}
shot() {
    sleep 0.5
    import -window "$1" "$shots/$2"
}
fail() {
    echo "demo: $1" >&2
    import -window root "$shots/failure.png" 2>/dev/null && echo "demo: the screen is in $shots/failure.png" >&2
    [ -s "$work/app.out" ] && cat "$work/app.out" >&2
    exit 1
}

wait_until 'window_of_size 458 291 >/dev/null' 150 || fail "the login window did not appear."
login=$(window_of_size 458 291)
xdotool windowfocus --sync "$login"
# The focus is in the password box; the server box before it holds "(local)".
if [ "$server" != "(local)" ]; then
    xdotool key shift+Tab ctrl+a
    xdotool type --delay 20 "$server"
    xdotool key Tab
fi
shot "$login" 1-login.png

xdotool type --delay 20 "$password"
xdotool key Return
# A window that is neither the login window nor the main window: the login failure's message box.
other_window() {
    local id
    for id in $(xdotool search --onlyvisible --class suowutong 2>/dev/null); do
        [ "$id" = "$login" ] && continue
        xdotool getwindowgeometry --shell "$id" 2>/dev/null | tr '\n' ' ' | grep -q 'WIDTH=450 HEIGHT=405 ' && continue
        return 0
    done
    return 1
}
wait_until 'window_of_size 450 405 >/dev/null || other_window' 300
window_of_size 450 405 >/dev/null || fail "the login did not succeed."
main=$(window_of_size 450 405)
xdotool windowfocus --sync "$main"
shot "$main" 2-tab-tasks.png
xdotool key ctrl+Tab
shot "$main" 3-tab-locks.png
xdotool key ctrl+Tab
shot "$main" 4-tab-exports.png
# Alt+E presses the tab's "退出(&E)", which ends the program.
xdotool key alt+e
if wait_until '! kill -0 "$app_pid" 2>/dev/null' 100; then
    app_pid=""
else
    echo "demo: the program did not end on 退出(&E); stopping it." >&2
fi
echo "Screenshots of the login window and the three tabs: $shots"
