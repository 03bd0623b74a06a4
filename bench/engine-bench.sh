#!/usr/bin/env bash
# Times the photo-transfer engine on the same photos, in one run, against:
# the previous engine (built from PREV_COMMIT), the best case of the same
# work on one thread, libvips and ImageMagick with as many parallel jobs as
# the engine has pool threads (one per core), and a plain copy of the files.
# Each makes the same four outputs per photo ("all" upright at Q95, "1920",
# "190", "90" at Q90). For each it prints wall time, CPU time per photo,
# the cores it kept busy (CPU time / wall time) and the peak resident memory
# of its largest process.
#
#   bench/engine-bench.sh [N] [PHOTO_DIR]
#
# Without PHOTO_DIR two sets are generated once under $WORK (default
# /tmp/vq-engine-bench):
# N (default 40) 24-megapixel JPEGs (6000 x 4000, 4:2:0, half with EXIF
# orientation 6) and N/2 odd-size ones (5999 x 3999, 4:4:4, orientations 1,
# 6, 8 and 3), whose turns cannot be lossless. With PHOTO_DIR only that
# folder is timed.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
N="${1:-40}"
WORK="${WORK:-/tmp/vq-engine-bench}"
BUILD="$ROOT/build-bench"
# The engine before photos in flight got lighter and the budget fit the machine.
PREV_COMMIT="${PREV_COMMIT:-3e869ec}"
JOBS="$(nproc)"

# The comparison tools are needed here only, never by the tests.
missing=()
for p in libvips-tools imagemagick time; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
VIPS=/usr/bin/vips
VIPSTHUMB=/usr/bin/vipsthumbnail
MAGICK=/usr/bin/convert

configure() {
    cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVQ_SANITIZE=OFF -DVQ_WERROR=OFF \
        -DVQ_SERVICE_EXTRA_CA= >/dev/null
    cmake --build "$2" -j"${BUILD_JOBS:-3}" --target engine_bench >/dev/null
}
configure "$ROOT" "$BUILD"
BENCH="$BUILD/bench/engine_bench"

# The previous engine, from its own commit, built once.
PREV_SRC="$WORK/prev-src-$PREV_COMMIT"
PREV_BUILD="$WORK/prev-build-$PREV_COMMIT"
if [ ! -x "$PREV_BUILD/bench/engine_bench" ]; then
    rm -rf "$PREV_SRC" && mkdir -p "$PREV_SRC"
    git -C "$ROOT" archive "$PREV_COMMIT" | tar -x -C "$PREV_SRC"
    configure "$PREV_SRC" "$PREV_BUILD"
fi
PREV="$PREV_BUILD/bench/engine_bench"
export QT_QPA_PLATFORM=offscreen

# Runs a command under GNU time; sets wall, cpu (user + sys) and rss (MB).
measure() {
    local stats
    stats=$(mktemp)
    /usr/bin/time -f '%e %U %S %M' -o "$stats" "$@" >"$WORK/last.log" 2>&1 || true
    # The last line: GNU time puts a line about a failed exit before it.
    read -r wall user sys rss_kb < <(tail -n 1 "$stats")
    rm -f "$stats"
    cpu=$(echo "$user + $sys" | bc -l)
    rss=$((rss_kb / 1024))
}

report() {
    local name="$1" count="$2"
    printf '%-22s %7.2f s %7.2f photos/s %7.0f ms CPU/photo %5.2f cores %6d MB\n' "$name" "$wall" \
        "$(echo "$count / $wall" | bc -l)" "$(echo "$cpu * 1000 / $count" | bc -l)" \
        "$(echo "$cpu / $wall" | bc -l)" "$rss"
}

vips_one() {
    local src="$1" out="$2" name
    name=$(basename "$src")
    "$VIPS" autorot "$src" "$out/all/$name[Q=95]"
    for s in 1920 190 90; do
        "$VIPSTHUMB" "$src" --size "$s" -o "$out/$s/%s.jpg[Q=90]"
    done
}
magick_one() {
    local src="$1" out="$2" name
    name=$(basename "$src")
    "$MAGICK" "$src" -auto-orient -quality 95 -write "$out/all/$name" -quality 90 \
        \( +clone -resize 1920x1920 -write "$out/1920/$name" +delete \) \
        \( +clone -resize 190x190 -write "$out/190/$name" +delete \) \
        -resize 90x90 "$out/90/$name"
}
export -f vips_one magick_one
export VIPS VIPSTHUMB MAGICK
# One thread per job: the parallelism is xargs', as wide as the engine's pool.
export VIPS_CONCURRENCY=1 MAGICK_THREAD_LIMIT=1

# Runs the shell function $1 on every photo of $3, $JOBS at a time, into
# $WORK/$2.
parallel_tool() {
    local fn="$1" out="$WORK/$2" photos="$3"
    rm -rf "$out" && mkdir -p "$out"/{all,1920,190,90}
    measure bash -c "find \"$photos\" -maxdepth 1 -type f \\( -iname '*.jpg' -o -iname '*.jpeg' \\) -print0 |
        xargs -0 -P $JOBS -I{} bash -c '$fn \"\$1\" \"\$2\"' _ {} \"$out\""
}

run_set() {
    local photos="$1" label="$2" count
    count=$(find "$photos" -maxdepth 1 -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) | wc -l)
    echo
    echo "== $label: $count photos in $photos ($(du -sh "$photos" | cut -f1)), $JOBS cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
    printf '%-22s %9s %16s %20s %11s %9s\n' pipeline wall throughput "CPU per photo" cores "peak RSS"

    rm -rf "$WORK/copy" && mkdir -p "$WORK/copy"
    measure sh -c "cp \"$photos\"/*.[jJ][pP]*[gG] \"$WORK/copy/\" && sync"
    report "plain copy + sync" "$count"
    # Outputs go as soon as they are timed: a set is half a gigabyte. The
    # disk settles before the next step is timed: the deletion of half a
    # gigabyte of files is still at work on it for a while.
    rm -rf "$WORK/copy" && sync

    measure "$BENCH" --bestcase "$photos" "$WORK/best"
    local best_cpu="$cpu"
    report "best case, 1 thread" "$count"
    rm -rf "$WORK/best" && sync

    measure "$BENCH" --import "$photos" "$WORK/engine"
    local engine_wall="$wall" engine_cpu="$cpu"
    report "engine" "$count"
    grep -E '^engine_(cpu_ms_per_photo|cores_used|failed)' "$WORK/last.log" | sed 's/^/    /'
    rm -rf "$WORK/engine" && sync

    measure "$PREV" --import "$photos" "$WORK/prev"
    local prev_wall="$wall"
    report "previous engine" "$count"
    rm -rf "$WORK/prev" && sync

    parallel_tool vips_one vips "$photos"
    local vips_wall="$wall"
    report "libvips, $JOBS jobs" "$count"
    rm -rf "$WORK/vips" && sync

    parallel_tool magick_one magick "$photos"
    local magick_wall="$wall"
    report "ImageMagick, $JOBS jobs" "$count"
    rm -rf "$WORK/magick" && sync

    printf 'engine against the previous engine: %.2fx the throughput\n' "$(echo "$prev_wall / $engine_wall" | bc -l)"
    printf 'engine against libvips / ImageMagick: %.2fx / %.2fx the throughput\n' \
        "$(echo "$vips_wall / $engine_wall" | bc -l)" "$(echo "$magick_wall / $engine_wall" | bc -l)"
    printf 'engine CPU per photo against the best case: %.2fx\n' "$(echo "$engine_cpu / $best_cpu" | bc -l)"
}

if [ -n "${2:-}" ]; then
    run_set "$2" "your photos"
else
    "$BENCH" --generate "$N" "$WORK/photos" >/dev/null
    "$BENCH" --generate-odd "$((N / 2))" "$WORK/odd" >/dev/null
    run_set "$WORK/photos" "6000 x 4000, 4:2:0"
    run_set "$WORK/odd" "5999 x 3999, 4:4:4"
fi
