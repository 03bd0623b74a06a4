#!/usr/bin/env bash
# Installs what is missing, builds the program, starts the demo order service
# on loopback in the background and opens the program's login window. Runs
# until the program closes; then stops the demo service and the Xvfb that it
# started itself (a service or display that was already running stays).
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target velquora_tools velquora_demo_service

started=()
stop_started() {
    for pid in "${started[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${started[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
}
trap stop_started EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

demo=build/tests/fakeservice/velquora_demo_service
if ! (exec 3<>/dev/tcp/127.0.0.1/18443) 2>/dev/null; then
    "$demo" >build/demo-service.log 2>&1 &
    started+=("$!")
    for _ in $(seq 100); do
        grep -q '样片' build/demo-service.log 2>/dev/null && break
        sleep 0.1
    done
fi
grep -E '账号|密码|样片' build/demo-service.log 2>/dev/null || echo "演示账号: demo  演示密码: demo123"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "没有图形显示，在 Xvfb :99 上启动（截图: xwd -root -display :99）"
    Xvfb :99 -screen 0 1600x1000x24 >/dev/null 2>&1 &
    started+=("$!")
    export DISPLAY=:99
    for _ in $(seq 50); do
        [ -S /tmp/.X11-unix/X99 ] && break
        sleep 0.1
    done
fi

build/app/velquora_tools
