#!/usr/bin/env bash
# A searchable merged PDF of few and of many pages: the merge's time per page and the peak memory of
# the whole process (qxscript with the control, its 2592 x 1944 preview and the engine), which must
# not grow with the pages (one decoded page at a time).
#
#   bench/searchable_pdf/merge.sh BUILD_FOLDER [FEW] [MANY]      (defaults 3 and 30)
set -euo pipefail

build=${1:?usage: merge.sh BUILD_FOLDER [FEW] [MANY]}
here=$(cd "$(dirname "$0")" && pwd)
qxscript="$build/bin/qxscript"
[[ -x "$qxscript" ]] || { echo "merge.sh: $qxscript is missing; build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
awk '/^---$/ { exit } { print }' "$here/pages.txt" > "$work/page.txt"
args=()
y=260
while IFS= read -r line; do
  args+=(-annotate "+260+$y" "$line")
  y=$((y + 130))
done < "$work/page.txt"
convert -size 2592x1944 xc:'#5a5048' -fill white -draw 'rectangle 180,120 2412,1824' \
  -font /usr/share/fonts/truetype/wqy/wqy-zenhei.ttc -pointsize 72 -fill '#202020' "${args[@]}" "$work/page.png"

printf '%6s %12s %12s %14s %8s\n' pages "merge ms" "ms a page" "peak memory KB" "pages with text"
for pages in "${2:-3}" "${3:-30}"; do
  out="$work/$pages"
  mkdir -p "$out/temp"
  Temp="$out/temp/" QX_VIRTUAL_CAMERAS=7e41:2592x1944 QX_VIRTUAL_SCENE="$work/page.png" \
    /usr/bin/time -f "%M" -o "$out/rss" "$qxscript" "$here/merge.js" "$out/" "$pages" > "$out/merge.txt" 2> /dev/null
  ms=$(awk '{ print $3 }' "$out/merge.txt")
  pdf=$(awk '{ print $4 }' "$out/merge.txt")
  withText=$(pdftotext "$pdf" - | grep -c "Contract of Service" || true)
  printf '%6s %12s %12s %14s %8s\n' "$pages" "$ms" "$((ms / pages))" "$(cat "$out/rss")" "$withText"
done
