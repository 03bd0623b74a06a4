#!/usr/bin/env bash
# Installs what is missing, builds the program, starts the demo order service
# on loopback in the background and opens the program's login window. Runs
# until the program closes; then stops the demo service and the Xvfb that it
# started itself, and nothing else.
#
#   ./run.sh [--port N] [--display :N]   the demo's port (default 18443, or
#                                        the next free one), the Xvfb display
#                                        used when there is no display
#                                        (default :99, or the next free one)
#   ./run.sh --stop                      ends what an earlier run.sh started
#                                        and left behind (it was killed)
set -euo pipefail
cd "$(dirname "$0")"

# What this script started, one "pid name" per line, so that a later
# --stop ends those processes and never another user's.
pidfile=build/run.pids

# Ends the processes listed in the pid file that are still the ones it
# names (a pid may have been reused since).
stop_listed() {
    [ -f "$pidfile" ] || return 0
    while read -r pid name; do
        [ -n "$pid" ] || continue
        if [ -r "/proc/$pid/cmdline" ] && tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q -- "$name"; then
            kill "$pid" 2>/dev/null || true
        fi
    done <"$pidfile"
    rm -f "$pidfile"
}

port=""
display=""
while [ $# -gt 0 ]; do
    case "$1" in
    --port) port="${2:?--port 需要端口号}"; shift 2 ;;
    --display) display="${2:?--display 需要显示编号，如 :99}"; shift 2 ;;
    --stop) stop_listed; echo "已结束 run.sh 启动的演示服务和 Xvfb"; exit 0 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "未知参数: $1（--port N, --display :N, --stop）" >&2; exit 2 ;;
    esac
done

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
display_in_use() {
    local n="${1#:}"
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]
}

# A port given by the user must be free: another demo there would be used
# with its own data, unseen.
if [ -n "$port" ]; then
    if port_in_use "$port"; then
        echo "端口 $port 已被占用，请换一个（--port N）" >&2
        exit 1
    fi
else
    port=18443
    while port_in_use "$port"; do
        port=$((port + 1))
    done
fi

./scripts/install-deps.sh

mkdir -p build
# A run killed earlier may have left its service and display behind.
stop_listed

# The service address is a build setting: the program is built for the port
# the demo starts on (only the files that read it are rebuilt on a change).
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVQ_SERVICE_URL="https://127.0.0.1:$port" >/dev/null
cmake --build build -j "$(nproc)" --target velquora_tools velquora_demo_service

started=()
stop_started() {
    for pid in "${started[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${started[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    rm -f "$pidfile"
}
trap stop_started EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

demo=build/tests/fakeservice/velquora_demo_service
"$demo" --port "$port" >build/demo-service.log 2>&1 &
started+=("$!")
echo "$! velquora_demo_service" >>"$pidfile"
for _ in $(seq 100); do
    grep -q '样片' build/demo-service.log 2>/dev/null && break
    if ! kill -0 "${started[0]}" 2>/dev/null; then
        cat build/demo-service.log >&2
        exit 1
    fi
    sleep 0.1
done
echo "演示服务: https://127.0.0.1:$port"
grep -E '账号|密码|样片' build/demo-service.log 2>/dev/null || echo "演示账号: demo  演示密码: demo123"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    if [ -n "$display" ]; then
        if display_in_use "$display"; then
            echo "显示 $display 已被占用，请换一个（--display :N）" >&2
            exit 1
        fi
    else
        n=99
        while display_in_use ":$n"; do
            n=$((n + 1))
        done
        display=":$n"
    fi
    echo "没有图形显示，在 Xvfb $display 上启动（截图: xwd -root -display $display）"
    Xvfb "$display" -screen 0 1600x1000x24 >/dev/null 2>&1 &
    started+=("$!")
    echo "$! Xvfb $display" >>"$pidfile"
    export DISPLAY="$display"
    for _ in $(seq 50); do
        [ -S "/tmp/.X11-unix/X${display#:}" ] && break
        sleep 0.1
    done
fi

build/app/velquora_tools
