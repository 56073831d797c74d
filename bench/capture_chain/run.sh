#!/usr/bin/env bash
# Times each picture step of the capture chain on one 2592 x 1944 24-bit BMP with our code and with
# ImageMagick, vips and cjpeg doing the same work, and prints one table of medians.
#
#   bench/capture_chain/run.sh BUILD_FOLDER [RUNS]
#
# Every tool, ours included, is timed the same way: a whole process per run, from the same files,
# median of RUNS (default 7). The last column is our step timed inside one process (no start-up).
set -euo pipefail

build=${1:?usage: run.sh BUILD_FOLDER [RUNS]}
runs=${2:-7}
bench="$build/bench/capture_chain_bench"
[[ -x "$bench" ]] || { echo "run.sh: $bench is missing; build the target capture_chain_bench first" >&2; exit 1; }

# The Debian binary itself, not a wrapper that may stand in front of it on PATH.
im=$(command -v convert-im6.q16 || command -v convert || true)
vips=$(command -v vips || true)
cjpeg=$(command -v cjpeg || true)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/ours" "$work/once" "$work/other"
in="$work/in.bmp"
"$bench" --make "$in"

# median_ms PREPARE COMMAND...: runs PREPARE (untimed, may be ':') then COMMAND, $runs times; prints
# the median in milliseconds, or "fail" when the command fails.
median_ms() {
  local prepare=$1
  shift
  local times=() i start end
  for ((i = 0; i < runs; i++)); do
    eval "$prepare"
    start=$(date +%s%N)
    if ! "$@" >/dev/null 2>&1; then
      echo fail
      return
    fi
    end=$(date +%s%N)
    times+=($(((end - start) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { printf "%.0f", t[int((NR + 1) / 2)] / 1000 }'
}

# Both-step tools are timed as one shell command.
vips_bw() { "$vips" colourspace "$in" "$work/other/t.v" b-w && "$vips" relational_const "$work/other/t.v" "$work/other/bw.bmp" more 100; }

declare -A inproc=()
while IFS=$'\t' read -r step ms; do
  inproc[$step]=$ms
done < <("$bench" "$in" "$work/ours" "$runs")

o="$work/other"
steps=(jpeg tiff gif pdf rotate90 grey blackwhite enhance)
declare -A label=(
  [jpeg]="BMP -> JPEG q75" [tiff]="BMP -> TIFF LZW" [gif]="BMP -> GIF" [pdf]="BMP -> JPEG -> PDF"
  [rotate90]="rotate 90 (BMP in, BMP out)" [grey]="grey" [blackwhite]="black and white" [enhance]="enhance colour"
)
declare -A imcmd=(
  [jpeg]="$in -quality 75 $o/im.jpg"
  [tiff]="$in -compress LZW $o/im.tif"
  [gif]="$in $o/im.gif"
  [pdf]="$in -compress jpeg -quality 75 $o/im.pdf"
  [rotate90]="$in -rotate 90 $o/imrot.bmp"
  [grey]="$in -colorspace Gray -type Grayscale $o/imgrey.bmp"
  [blackwhite]="$in -threshold 39% -type Bilevel $o/imbw.bmp"
  [enhance]="$in -level 0%,60% $o/imenh.bmp"
)
declare -A vipscmd=(
  [jpeg]="jpegsave $in $o/v.jpg --Q 75"
  [tiff]="tiffsave $in $o/v.tif --compression lzw"
  [gif]="gifsave $in $o/v.gif"
  [rotate90]="rot $in $o/vrot.bmp d90"
  [grey]="colourspace $in $o/vgrey.bmp b-w"
  [enhance]="linear $in $o/venh.bmp 1.6 0 --uchar"
)
# The colour modes change their file in place: each run gets a fresh copy, flushed before the clock
# starts so that the step pays only for its own writes.
declare -A prepare=(
  [grey]="cp '$in' '$work/once/grey.bmp' && sync '$work/once/grey.bmp'"
  [blackwhite]="cp '$in' '$work/once/bw.bmp' && sync '$work/once/bw.bmp'"
  [enhance]="cp '$in' '$work/once/enh.bmp' && sync '$work/once/enh.bmp'"
)

printf '| %-28s | %8s | %15s | %8s | %8s | %15s |\n' "step" "ours ms" "ImageMagick ms" "vips ms" "cjpeg ms" "ours in-process"
printf '|%s|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..30})" "----------" "-----------------" "----------" "----------" "-----------------"
for step in "${steps[@]}"; do
  ours=$(median_ms "${prepare[$step]:-:}" "$bench" --step "$step" "$in" "$work/once")
  imt="-"
  if [[ -n "$im" ]]; then
    # shellcheck disable=SC2086
    imt=$(median_ms : "$im" ${imcmd[$step]})
  fi
  vt="-"
  if [[ -n "$vips" ]]; then
    if [[ $step == blackwhite ]]; then
      vt=$(median_ms : vips_bw)
    elif [[ -n "${vipscmd[$step]:-}" ]]; then
      # shellcheck disable=SC2086
      vt=$(median_ms : "$vips" ${vipscmd[$step]})
    fi
  fi
  ct="-"
  if [[ $step == jpeg && -n "$cjpeg" ]]; then
    ct=$(median_ms : "$cjpeg" -quality 75 -outfile "$o/c.jpg" "$in")
  fi
  printf '| %-28s | %8s | %15s | %8s | %8s | %15s |\n' "${label[$step]}" "$ours" "$imt" "$vt" "$ct" "${inproc[$step]:--}"
done
echo
echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores; runs: $runs; '-': no such step; 'fail': the tool refused (ImageMagick's policy forbids PDF)."
