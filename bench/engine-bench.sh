#!/usr/bin/env bash
# Times the photo-transfer engine on the same photos against: the previous
# engine (built from PREV_COMMIT), the best case of the same work on one
# thread, libvips and ImageMagick with as many parallel jobs as the engine
# has pool threads (one per core), and a plain copy of the files. Each makes
# the same four outputs per photo ("all" upright at Q95, "1920", "190", "90"
# at Q90). The engine, the previous engine, libvips and ImageMagick run in
# turn, ROUNDS times (default 3); for each it prints the medians of wall
# time, CPU time per photo, the cores it kept busy (CPU time / wall time)
# and the peak resident memory of its largest process, and the medians of
# the rounds' paired ratios.
#
#   bench/engine-bench.sh [N] [PHOTO_DIR]
#
# Without PHOTO_DIR three sets are generated once under $WORK (default
# /tmp/vq-engine-bench): N (default 32) 24-megapixel JPEGs (6000 x 4000,
# 4:2:0, half with EXIF orientation 6) like a camera's; N finished exports
# of the same size in 4:4:4 with fine detail, half turned (6); and N/2
# odd-size ones (5999 x 3999, 4:4:4, orientations 1, 6, 8 and 3), whose
# turns cannot be lossless. SETS="photos detail odd" picks among them. With
# PHOTO_DIR only that folder is timed. PREV_COMMIT= (empty) leaves out the
# previous engine; BUILD= names the Release build folder (default
# build-bench/).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
N="${1:-32}"
ROUNDS="${ROUNDS:-3}"
WORK="${WORK:-/tmp/vq-engine-bench}"
BUILD="${BUILD:-$ROOT/build-bench}"
# The engine before photos in flight got lighter and the budget fit the machine.
PREV_COMMIT="${PREV_COMMIT-3e869ec}"
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

# The previous engine, from its own commit, built once; or PREV_BENCH, an
# engine_bench built elsewhere (a work tree before a change).
PREV="${PREV_BENCH:-}"
if [ -z "$PREV" ] && [ -n "$PREV_COMMIT" ]; then
    PREV_SRC="$WORK/prev-src-$PREV_COMMIT"
    PREV_BUILD="$WORK/prev-build-$PREV_COMMIT"
    if [ ! -x "$PREV_BUILD/bench/engine_bench" ]; then
        rm -rf "$PREV_SRC" && mkdir -p "$PREV_SRC"
        git -C "$ROOT" archive "$PREV_COMMIT" | tar -x -C "$PREV_SRC"
        configure "$PREV_SRC" "$PREV_BUILD"
    fi
    PREV="$PREV_BUILD/bench/engine_bench"
fi
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

median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Prints one pipeline's medians over the rounds: $1 name, $2 photos, then
# the names of its arrays of walls, CPU seconds and peak RSS.
report_rounds() {
    local name="$1" count="$2"
    local -n walls="$3" cpus="$4" rsss="$5"
    local cores=() i
    for i in "${!walls[@]}"; do cores+=("$(echo "${cpus[$i]} / ${walls[$i]}" | bc -l)"); done
    local w c
    w=$(median "${walls[@]}")
    c=$(median "${cpus[@]}")
    printf '%-22s %7.2f s %7.2f photos/s %7.0f ms CPU/photo %5.2f cores %6d MB   (wall %s-%s s)\n' "$name" "$w" \
        "$(echo "$count / $w" | bc -l)" "$(echo "$c * 1000 / $count" | bc -l)" "$(median "${cores[@]}")" \
        "$(median "${rsss[@]}")" "$(printf '%s\n' "${walls[@]}" | sort -g | head -1)" \
        "$(printf '%s\n' "${walls[@]}" | sort -g | tail -1)"
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

    # The engine and the others in turn, round after round: a machine
    # whose load drifts (other builds beside it) moves each round's
    # ratios less than a whole pipeline's runs one after the other.
    local ew=() ec=() er=() eown=() pw=() pc=() pr=() vw=() vc=() vr=() mw=() mc=() mr=()
    local vs_vips=() vs_magick=() vs_prev=() round
    for round in $(seq 1 "$ROUNDS"); do
        measure "$BENCH" --import "$photos" "$WORK/engine"
        ew+=("$wall") ec+=("$cpu") er+=("$rss")
        eown+=("$(sed -n 's/^engine_cores_used //p' "$WORK/last.log")")
        grep -q '^engine_failed 0$' "$WORK/last.log" || echo "engine round $round: $(grep '^failed' "$WORK/last.log" | head -3)"
        rm -rf "$WORK/engine" && sync
        if [ -n "$PREV" ]; then
            measure "$PREV" --import "$photos" "$WORK/prev"
            pw+=("$wall") pc+=("$cpu") pr+=("$rss")
            vs_prev+=("$(echo "$wall / ${ew[-1]}" | bc -l)")
            rm -rf "$WORK/prev" && sync
        fi
        parallel_tool vips_one vips "$photos"
        vw+=("$wall") vc+=("$cpu") vr+=("$rss")
        vs_vips+=("$(echo "$wall / ${ew[-1]}" | bc -l)")
        rm -rf "$WORK/vips" && sync
        parallel_tool magick_one magick "$photos"
        mw+=("$wall") mc+=("$cpu") mr+=("$rss")
        vs_magick+=("$(echo "$wall / ${ew[-1]}" | bc -l)")
        rm -rf "$WORK/magick" && sync
    done
    report_rounds "engine" "$count" ew ec er
    printf '    engine_cores_used (while it runs), median of the rounds: %s\n' "$(median "${eown[@]}")"
    [ -n "$PREV" ] && report_rounds "previous engine" "$count" pw pc pr
    report_rounds "libvips, $JOBS jobs" "$count" vw vc vr
    report_rounds "ImageMagick, $JOBS jobs" "$count" mw mc mr

    ratios() { printf '%.2fx (rounds: %s)' "$(median "$@")" "$(printf '%.2f ' "$@")"; }
    [ -n "$PREV" ] && printf 'engine against the previous engine: %s the throughput\n' "$(ratios "${vs_prev[@]}")"
    printf 'engine against libvips: %s the throughput\n' "$(ratios "${vs_vips[@]}")"
    printf 'engine against ImageMagick: %s the throughput\n' "$(ratios "${vs_magick[@]}")"
    printf 'engine CPU per photo against the best case: %.2fx\n' "$(echo "$(median "${ec[@]}") / $best_cpu" | bc -l)"
    echo "load after the set: $(cut -d' ' -f1-3 /proc/loadavg)"
}

if [ -n "${2:-}" ]; then
    run_set "$2" "your photos"
else
    "$BENCH" --generate "$N" "$WORK/photos" >/dev/null
    "$BENCH" --generate-detail "$N" "$WORK/detail" >/dev/null
    "$BENCH" --generate-odd "$((N / 2))" "$WORK/odd" >/dev/null
    for set in ${SETS:-photos detail odd}; do
        case "$set" in
        photos) run_set "$WORK/photos" "6000 x 4000, 4:2:0, camera-like" ;;
        detail) run_set "$WORK/detail" "6000 x 4000, 4:4:4, fine detail" ;;
        odd) run_set "$WORK/odd" "5999 x 3999, 4:4:4" ;;
        esac
    done
fi
