#!/usr/bin/env bash
# MergeImage on thirty 2592 x 1944 captures (PDF, TIFF, vertical JPEG) beside img2pdf and tiffcp on
# the same merge files: time and peak memory.
#
#   bench/merge/run.sh BUILD_FOLDER [CAPTURES]
#
# img2pdf comes from `scripts/install-deps bench`. tiffcp (libtiff-tools) joins TIFF files, so the
# JPEGs are made single-page LZW TIFFs first (untimed, ImageMagick); its time is the joining alone.
set -euo pipefail

build=${1:?usage: run.sh BUILD_FOLDER [CAPTURES]}
captures=${2:-30}
bench="$build/bench/merge_bench"
[[ -x "$bench" ]] || { echo "run.sh: $bench is missing; build the target merge_bench first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "ours: kind, ms, peak MB above the start of MergeImage, output MB, output size ($captures captures, one decoded picture = $((2592 * 1944 * 3 / 1048576)) MB)"
"$bench" "$work" "$captures"

# ms_and_peak COMMAND...: "<ms> <peak MB>" of one run of COMMAND as its own process.
ms_and_peak() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -o "$work/time.txt" -f '%M' "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo "$(((end - start) / 1000000)) $(awk '{ printf "%.1f", $1 / 1024 }' "$work/time.txt")"
}

if command -v img2pdf >/dev/null; then
  echo "img2pdf pdf: ms, peak MB $(ms_and_peak img2pdf -o "$work/img2pdf.pdf" "$work"/pdf/*.jpg) (whole process)"
else
  echo "img2pdf: not installed (scripts/install-deps bench)"
fi

if command -v tiffcp >/dev/null && command -v convert >/dev/null; then
  mkdir -p "$work/tiffs"
  for f in "$work"/tif/*.jpg; do
    convert "$f" -compress lzw "$work/tiffs/$(basename "$f" .jpg).tif"
  done
  echo "tiffcp tif: ms, peak MB $(ms_and_peak tiffcp -c lzw "$work"/tiffs/*.tif "$work/tiffcp.tif") (whole process)"
fi
