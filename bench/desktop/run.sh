#!/usr/bin/env bash
# Times the desktop program: start to live picture, and a click on 拍照 until its item is listed and its thumbnail shown.
# usage: bench/desktop/run.sh [BUILD] [CAPTURES] [PAUSE_MS]  (PAUSE_MS 0: captures back to back)
set -euo pipefail
build="${1:-build}"
captures="${2:-10}"
pause="${3:-300}" # ms between captures
bin="$build/bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export Temp="$work" QX_CAMERA_CONFIG_DIR="$work"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

for size in 2592x1944 1280x960; do
    export QX_VIRTUAL_CAMERAS="7e41:$size"
    rm -f "$work/QX_CamConfig.ini"
    printf '[CamConfig]\r\nSave-Path=%s/pics/\r\n' "$work" > "$work/QX_CamConfig.ini"
    mkdir -p "$work/pics"
    start=$(date +%s%N)
    "$bin/QX_Camera" --screenshot "$work/shot.png" 2>/dev/null
    end=$(date +%s%N)
    echo "$size start to live picture (incl. the 1000 ms splash pause): $(( (end - start) / 1000000 )) ms"

    cat > "$work/bench.js" <<JS
var n = $captures, listed = [], shown = [];
// A program whose list decodes thumbnails aside tells when they are shown; one that draws them in the
// click has shown it once the item is listed.
var waits = typeof app.thumbnailsReady === "function";
host.wait(500);
for (var i = 0; i < n; ++i) {
    // At a clerk's pace, not back to back: a frame goes to one capture only, so a capture that
    // follows the last one within a frame interval waits for the next frame (up to 66 ms at 15
    // frames per second), which no click at the counter does.
    host.wait($pause);
    var t = Date.now();
    if (!app.click(1005)) throw new Error("capture refused");
    listed.push(Date.now() - t);
    if (waits && !app.thumbnailsReady(10000)) throw new Error("no thumbnail");
    shown.push(Date.now() - t);
}
function line(what, times) {
    times.sort(function (a, b) { return a - b; });
    var sum = times.reduce(function (a, b) { return a + b; }, 0);
    print("$size click to " + what + ": mean " + (sum / n).toFixed(1) + " ms, median " + times[Math.floor(n / 2)] +
          " ms, min " + times[0] + " ms, max " + times[n - 1] + " ms over " + n + " captures (" + app.items().length + " listed)");
}
line("item listed", listed);
line("thumbnail", shown);
JS
    "$bin/QX_Camera" --script "$work/bench.js" 2>/dev/null
    rm -rf "$work/pics"
done
