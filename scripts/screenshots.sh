#!/usr/bin/env bash
# Takes a screenshot of every window of the program in each state that
# matters, on a real X server (Xvfb), at the screen sizes studios use, with
# and without a window manager that maximises. The windows are put in their
# states by tests/screenshots (vq_screenshots), logged in to the demo order
# service like a user; the screenshots are taken here with ImageMagick's import.
#
#   scripts/screenshots.sh [--build DIR] [--display N] [--sizes "1366x768 1600x900 1920x1080"]
#                          [--wm both|yes|no] [--only REGEX] [--no-build] [--jobs N]
#
# The PNGs go to DIR/screenshots/<size>-<wm|nowm>/NN-scene-state.png (DIR is
# the build folder, "build" by default); each run replaces the folders it
# writes. Exits non-zero when a state could not be reached.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=build
display=95
sizes="1366x768 1600x900 1920x1080"
wm=both
only=""
do_build=1
jobs=$(nproc)
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --display) display=${2#:}; shift 2 ;;
        --sizes) sizes=$2; shift 2 ;;
        --wm) wm=$2; shift 2 ;;
        --only) only=$2; shift 2 ;;
        --no-build) do_build=0; shift ;;
        --jobs) jobs=$2; shift 2 ;;
        *) sed -n '2,13p' "$0" >&2; exit 2 ;;
    esac
done
case "$wm" in
    both) wm_modes="nowm wm" ;;
    yes) wm_modes="wm" ;;
    no) wm_modes="nowm" ;;
    *) echo "--wm 只接受 both、yes 或 no" >&2; exit 2 ;;
esac

./scripts/install-deps.sh
if [ "$do_build" = 1 ]; then
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    cmake --build "$build" -j "$jobs" --target vq_screenshots velquora_demo_service
fi
driver="$root/$build/tests/screenshots/vq_screenshots"
demo="$root/$build/tests/fakeservice/velquora_demo_service"
ca="$root/tests/fakeservice/certs/demo-ca.pem"
for program in "$driver" "$demo"; do
    [ -x "$program" ] || { echo "找不到 $program（先构建，或去掉 --no-build）" >&2; exit 1; }
done

started=()
scratch=""
stop_started() {
    for pid in "${started[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${started[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    started=()
}
cleanup() {
    stop_started
    if [ -n "$scratch" ]; then rm -rf "$scratch"; fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

total_shots=0
total_misses=0
for size in $sizes; do
    for mode in $wm_modes; do
        out="$root/$build/screenshots/$size-$mode"
        rm -rf "$out"
        mkdir -p "$out"
        log="$out/run.log"
        echo "== $size $mode -> $out"

        # Everything the program and the demo service write goes to a home
        # of this run: the remembered login, the login data, the import
        # folders and the demo's sample files.
        scratch=$(mktemp -d)
        export HOME="$scratch/home"
        mkdir -p "$HOME"

        # A desktop monitor at Windows' 100 %: fonts at 96 dpi, and a
        # physical density below that, so the program's display scale is
        # its base factor (sizes times 1.2), as on most studio PCs.
        Xvfb ":$display" -screen 0 "${size}x24" -dpi 90 -nolisten tcp >"$out/xvfb.log" 2>&1 &
        started+=("$!")
        for _ in $(seq 100); do
            [ -S "/tmp/.X11-unix/X$display" ] && break
            sleep 0.1
        done
        DISPLAY=":$display" xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	96
"
        if [ "$mode" = wm ]; then
            started+=("$(./scripts/start-wm.sh ":$display")")
        fi

        # The demo service on a free port of its own, so that runs on other
        # displays and run.sh's service do not meet.
        port=""
        for candidate in $(seq $((20000 + display * 10)) $((20009 + display * 10))); do
            "$demo" --port "$candidate" >"$out/demo-service.log" 2>&1 &
            pid=$!
            for _ in $(seq 100); do
                if grep -q '批量删除的演示目录' "$out/demo-service.log" 2>/dev/null; then
                    port=$candidate
                    break
                fi
                kill -0 "$pid" 2>/dev/null || break
                sleep 0.1
            done
            if [ -n "$port" ]; then
                started+=("$pid")
                break
            fi
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        done
        if [ -z "$port" ]; then
            echo "演示服务无法启动，见 $out/demo-service.log" >&2
            exit 1
        fi

        args=(--service "https://127.0.0.1:$port" --ca "$ca")
        [ -n "$only" ] && args+=(--only "$only")
        shots=0
        misses=0
        # Leaks of the X and font libraries are not this run's business.
        coproc DRIVER { DISPLAY=":$display" ASAN_OPTIONS=detect_leaks=0 exec "$driver" "${args[@]}" 2>"$log"; }
        driver_pid=$DRIVER_PID
        # The coprocess's descriptors go when it ends: keep copies.
        exec {from_driver}<&"${DRIVER[0]}" {to_driver}>&"${DRIVER[1]}"
        while IFS= read -r line <&"$from_driver"; do
            case "$line" in
                "SHOT "*)
                    name=${line#SHOT }
                    # ImageMagick's import: xwd -root read some message boxes as
                    # black areas on Xvfb; import reads them as they are
                    # shown.
                    DISPLAY=":$display" import -silent -window root "$out/$name.png"
                    echo next >&"$to_driver"
                    shots=$((shots + 1))
                    ;;
                "MISS "*)
                    echo "   没有到达: ${line#MISS }" | tee -a "$out/misses.txt" >&2
                    misses=$((misses + 1))
                    ;;
                "END "*) ;;
            esac
        done
        exec {to_driver}>&- {from_driver}<&-
        status=0
        wait "$driver_pid" || status=$?
        if [ "$status" -ne 0 ] && [ "$misses" -eq 0 ]; then
            echo "   截图程序异常退出 ($status)，见 $log" | tee -a "$out/misses.txt" >&2
            misses=$((misses + 1))
        fi
        echo "   $shots 张截图，$misses 个状态没有到达"
        total_shots=$((total_shots + shots))
        total_misses=$((total_misses + misses))

        stop_started
        rm -rf "$scratch"
        scratch=""
    done
done

echo "共 $total_shots 张截图，$total_misses 个状态没有到达；截图在 $build/screenshots/"
[ "$total_misses" -eq 0 ]
