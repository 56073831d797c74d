#!/usr/bin/env bash
# The searchable PDF against Tesseract's own command and ocrmypdf, on pages this script renders:
# Chinese and English text of known content, photographed by the virtual camera at 2592 x 1944.
#
#   bench/searchable_pdf/run.sh BUILD_FOLDER [PAGES]
#
# For each page: the control's Morvel("pdf") without and with the text layer (qxscript; the difference
# is what recognition costs), the character error rate of pdftotext of our PDF against the known text,
# the same for `tesseract JPEG - -l chi_sim+eng` on the JPEG our PDF holds, and `ocrmypdf -l
# chi_sim+eng --output-type pdf` on our plain PDF (the same JPEG wrapped in a PDF): its time, its CER,
# its bytes and whether its page still holds our JPEG byte for byte. PAGES (default 3) takes the first
# pages of pages.txt only; KEEP=1 keeps the work folder. Needs `scripts/install-deps bench`.
set -euo pipefail

build=${1:?usage: run.sh BUILD_FOLDER [PAGES]}
pages=${2:-3}
here=$(cd "$(dirname "$0")" && pwd)
qxscript="$build/bin/qxscript"
[[ -x "$qxscript" ]] || { echo "run.sh: $qxscript is missing; build first" >&2; exit 1; }
for tool in tesseract ocrmypdf pdftotext pdfimages convert; do
  command -v "$tool" > /dev/null || { echo "run.sh: $tool is missing (scripts/install-deps bench)" >&2; exit 1; }
done
font=/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc
langs=chi_sim+eng

work=$(mktemp -d)
[[ -n "${KEEP:-}" ]] && echo "work folder: $work" >&2 || trap 'rm -rf "$work"' EXIT
export Temp="$work/temp/" QT_QPA_PLATFORM=offscreen
mkdir -p "$Temp"

ms() { echo $(( ($2 - $1) / 1000000 )); }
cer() { /usr/bin/python3 "$here/cer.py" "$1" "$2"; }

# One page's text per block of pages.txt ("---" between pages).
awk -v dir="$work" 'BEGIN { n = 1 } /^---$/ { n++; next } { print > (dir "/page" n ".txt") }' "$here/pages.txt"

printf '%-5s | %8s %8s %8s | %8s %8s %8s | %8s %8s | %10s %10s %10s  %s\n' page "plain ms" "ours ms" "ocr ms" \
  "CER ours" "CER cli" "CER omp" "cli ms" "omp ms" "plain B" "ours B" "omp B" "omp's image"
for text in $(ls "$work"/page*.txt | head -n "$pages"); do
  page=$(basename "$text" .txt)
  # A white sheet filling most of a darker desk, the text in lines as a letter sets them.
  args=()
  y=260
  while IFS= read -r line; do
    args+=(-annotate "+260+$y" "$line")
    y=$((y + 130))
  done < "$text"
  convert -size 2592x1944 xc:'#5a5048' -fill white -draw 'rectangle 180,120 2412,1824' \
    -font "$font" -pointsize 72 -fill '#202020' "${args[@]}" -attenuate 0.3 +noise Gaussian "$work/$page.png"

  out="$work/$page"
  mkdir -p "$out"
  QX_VIRTUAL_CAMERAS=7e41:2592x1944 QX_VIRTUAL_SCENE="$work/$page.png" \
    "$qxscript" "$here/capture.js" "$out/" > "$out/capture.txt"
  plainMs=$(awk '$1 == "plain" { print $2 }' "$out/capture.txt")
  oursMs=$(awk '$1 == "searchable" { print $2 }' "$out/capture.txt")
  plainPdf=$(awk '$1 == "plain" { print $3 }' "$out/capture.txt")
  oursPdf=$(awk '$1 == "searchable" { print $3 }' "$out/capture.txt")

  pdftotext "$oursPdf" "$out/ours.txt"
  pdfimages -j "$plainPdf" "$out/img"
  jpeg="$out/img-000.jpg"

  start=$(date +%s%N)
  tesseract "$jpeg" "$out/cli" -l "$langs" > /dev/null 2>&1
  end=$(date +%s%N)
  cliMs=$(ms "$start" "$end")

  start=$(date +%s%N)
  ocrmypdf -q -l "$langs" --output-type pdf "$plainPdf" "$out/omp.pdf" > /dev/null 2>&1
  end=$(date +%s%N)
  ompMs=$(ms "$start" "$end")
  pdftotext "$out/omp.pdf" "$out/omp.txt"
  pdfimages -j "$out/omp.pdf" "$out/omp-img"
  # Our JPEG as it was, our JPEG inside a further filter (pdfimages -j undoes it), or another picture.
  kept="not our JPEG"
  if [[ -f "$out/omp-img-000.jpg" ]] && cmp -s "$jpeg" "$out/omp-img-000.jpg"; then
    filter=$(qpdf --json --json-key=qpdf "$out/omp.pdf" | /usr/bin/python3 -c '
import json, sys
objects = json.load(sys.stdin)["qpdf"][1]
for value in objects.values():
    d = value.get("stream", {}).get("dict", {}) if isinstance(value, dict) else {}
    if d.get("/Subtype") == "/Image":
        f = d.get("/Filter")
        print(" ".join(f) if isinstance(f, list) else f)
        break')
    case "$filter" in
      /DCTDecode) kept="our JPEG as is" ;;
      *) kept="our JPEG in $filter" ;;
    esac
  fi

  printf '%-5s | %8s %8s %8s | %8s %8s %8s | %8s %8s | %10s %10s %10s  %s\n' "$page" "$plainMs" "$oursMs" \
    "$((oursMs - plainMs))" "$(cer "$text" "$out/ours.txt")" "$(cer "$text" "$out/cli.txt")" \
    "$(cer "$text" "$out/omp.txt")" "$cliMs" "$ompMs" "$(stat -c %s "$plainPdf")" "$(stat -c %s "$oursPdf")" \
    "$(stat -c %s "$out/omp.pdf")" "$kept"
done
echo "plain/ours: Morvel(\"pdf\") without and with the text layer; ocr: the difference; cli: tesseract on the"
echo "JPEG; omp: ocrmypdf on the plain PDF; B: the files' bytes; omp's image: what ocrmypdf's page holds."
echo "Measured on $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), $(nproc) cores."
