#!/usr/bin/env bash
# Times one card-panel tick on the virtual reader: read (IDCardRead with the card picture), record
# parse, photo, row; printed beside the reader's fixed pauses (100 + 100 + 1500 ms per read).
# usage: bench/desktop/card_panel.sh [BUILD] [READS]
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
reads="${2:-8}"
here="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The program and its modules in one folder, as installed: the holder's photo lies beside them.
mkdir -p "$work/install" "$work/cards"
for f in QX_Camera libQXCameraCtrl.so libqx_media.so libKelpoCameraLibrary.so libKelpoFilterImageResize.so \
         libQX_IDCardRead.so libqmrapi.so; do
    cp "$build/bin/$f" "$work/install/"
done
export Temp="$work" QX_CAMERA_CONFIG_DIR="$work" QX_VIRTUAL_CAMERAS="7e41:1280x960"
export QX_VIRTUAL_READER="$here/tests/data/cards/card1.json"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
# An interval of 0 runs the timer at its 100 ms minimum: each cycle is 100 ms plus one tick.
printf '[CamConfig]\r\nIDCTimeCount=0\r\nIDCSavePath=%s/cards/\r\n' "$work" > "$work/QX_CamConfig.ini"
cat > "$work/bench.js" <<JS
var n = $reads;
app.click(1024); host.wait(500);
var p = app.panel;
p.click(1016);
var start = Date.now();
while (p.rows().length < n + 1 && Date.now() - start < 120000) host.wait(5);
var total = Date.now() - start;
p.click(1016);
if (p.rows().length < n + 1) throw new Error("only " + p.rows().length + " reads");
print(JSON.stringify({reads: n + 1, totalMs: total, photo: p.photo(), skipped: p.state().skipped}));
JS
"$work/install/QX_Camera" --script "$work/bench.js" 2>/dev/null | /usr/bin/python3 -c '
import json, sys
r = json.loads(sys.stdin.read())
tick = (r["totalMs"] - 100 * r["reads"]) / r["reads"]
print("card-panel tick: %.0f ms per read (%d reads), of which the reader'"'"'s pauses are 1700 ms: %.0f ms beyond them; photo shown: %s"
      % (tick, r["reads"], tick - 1700, r["photo"]))
'
