#!/usr/bin/env bash
# Times the photo-transfer engine against libvips and ImageMagick making the
# same four outputs per photo ("all" upright at Q95, "1920", "190", "90" at
# Q90), each with two parallel jobs, and prints the ratios.
#
#   bench/engine-bench.sh [N] [PHOTO_DIR]
#
# Without PHOTO_DIR, N (default 40) 24-megapixel JPEGs are generated once into
# /tmp/vq-engine-bench/photos (half with EXIF orientation 6) and reused.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
N="${1:-40}"
WORK=/tmp/vq-engine-bench
PHOTOS="${2:-$WORK/photos}"
BUILD="$ROOT/build-bench"

# The comparison tools are needed here only, never by the tests.
missing=()
for p in libvips-tools imagemagick; do
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

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVQ_SANITIZE=OFF -DVQ_WERROR=OFF \
    -DVQ_SERVICE_EXTRA_CA= >/dev/null
cmake --build "$BUILD" --target engine_bench >/dev/null
BENCH="$BUILD/bench/engine_bench"
export QT_QPA_PLATFORM=offscreen

if [ -z "${2:-}" ]; then
    "$BENCH" --generate "$N" "$PHOTOS"
fi
count=$(find "$PHOTOS" -maxdepth 1 -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) | wc -l)
echo "photos: $count in $PHOTOS ($(du -sh "$PHOTOS" | cut -f1))"

now() { date +%s.%N; }

# Engine: one order through the import manager with two workers.
engine_out=$("$BENCH" --import "$PHOTOS" "$WORK/engine" 2>/dev/null)
echo "$engine_out"
engine_s=$(echo "$engine_out" | awk '/^engine_seconds/ {print $2}')

# libvips: vips autorot for "all", vipsthumbnail for the three sizes.
vips_one() {
    local src="$1" out="$2" name
    name=$(basename "$src")
    "$VIPS" autorot "$src" "$out/all/$name[Q=95]"
    for s in 1920 190 90; do
        "$VIPSTHUMB" "$src" --size "$s" -o "$out/$s/%s.jpg[Q=90]"
    done
}
export -f vips_one
export VIPS VIPSTHUMB
rm -rf "$WORK/vips" && mkdir -p "$WORK/vips"/{all,1920,190,90}
t0=$(now)
find "$PHOTOS" -maxdepth 1 -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) -print0 |
    xargs -0 -P 2 -I{} bash -c 'vips_one "$1" "$2"' _ {} "$WORK/vips"
vips_s=$(echo "$(now) - $t0" | bc -l)

# ImageMagick: one convert per photo, decoded once, four writes.
magick_one() {
    local src="$1" out="$2" name
    name=$(basename "$src")
    "$MAGICK" "$src" -auto-orient -quality 95 -write "$out/all/$name" -quality 90 \
        \( +clone -resize 1920x1920 -write "$out/1920/$name" +delete \) \
        \( +clone -resize 190x190 -write "$out/190/$name" +delete \) \
        -resize 90x90 "$out/90/$name"
}
export -f magick_one
export MAGICK
rm -rf "$WORK/magick" && mkdir -p "$WORK/magick"/{all,1920,190,90}
t0=$(now)
find "$PHOTOS" -maxdepth 1 -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) -print0 |
    xargs -0 -P 2 -I{} bash -c 'magick_one "$1" "$2"' _ {} "$WORK/magick"
magick_s=$(echo "$(now) - $t0" | bc -l)

printf 'engine      %8.2f s  %6.2f photos/s\n' "$engine_s" "$(echo "$count / $engine_s" | bc -l)"
printf 'libvips     %8.2f s  %6.2f photos/s  engine is %.2fx faster\n' "$vips_s" \
    "$(echo "$count / $vips_s" | bc -l)" "$(echo "$vips_s / $engine_s" | bc -l)"
printf 'imagemagick %8.2f s  %6.2f photos/s  engine is %.2fx faster\n' "$magick_s" \
    "$(echo "$count / $magick_s" | bc -l)" "$(echo "$magick_s / $engine_s" | bc -l)"
