#!/usr/bin/env bash
# Starts a small window manager (openbox, from Debian) on an X display, waits
# until it manages the display and prints its process id; stop it with
# kill <pid>. It maximises the windows that ask for it (every tool window
# does) and leaves the login card, the chooser and the boxes at their own
# size, with a frame around the boxes, as Windows does. Window managers that
# maximise every window (matchbox) fight a Qt modal box for the focus and
# keep the program busy for ever.
#
#   scripts/start-wm.sh :86
set -euo pipefail

display="${1:-${DISPLAY:-}}"
if [ -z "$display" ]; then
    echo "用法: scripts/start-wm.sh :显示编号" >&2
    exit 2
fi
if ! command -v openbox >/dev/null; then
    echo "缺少 openbox（scripts/install-deps.sh 会安装）" >&2
    exit 1
fi

DISPLAY="$display" openbox >/dev/null 2>&1 &
pid=$!
for _ in $(seq 100); do
    if DISPLAY="$display" xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
        echo "$pid"
        exit 0
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
kill "$pid" 2>/dev/null || true
echo "窗口管理器没有在 $display 上启动" >&2
exit 1
