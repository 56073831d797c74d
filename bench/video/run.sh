#!/usr/bin/env bash
# CPU per second of the recording window on the virtual cameras at 640 x 480: its live picture alone,
# recording AVI (the camera's Motion JPEG passed through) and recording ASF (WMV1 and WMA v2 encoded).
# The virtual camera's own JPEG compression (a real camera does it in its chip) is measured apart, so
# that it can be taken off the AVI and live figures.
# usage: bench/video/run.sh [BUILD] [SECONDS]
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
seconds="${2:-10}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export Temp="$work" QX_VIRTUAL_AUDIO=1
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
ticks=$(getconf CLK_TCK)

# One phase per run: qxscript prints "go" when the phase starts and "done" when it ends; the process's
# CPU time is read from /proc at both lines.
phase() { # name cameras format(-1: live only)
    cat > "$work/phase.js" <<JS
control.VideoRecord(host.args[0]);
var w = host.window("video");
if (w === null) throw new Error("no recording window");
host.wait(1500);
if ($3 >= 0) { w.select(227, $3); w.click(218); host.wait(500); }
print("go");
host.wait($seconds * 1000);
print("done");
if ($3 >= 0) w.click(219);
JS
    local start=0 end=0 t0=0 t1=0
    exec 3< <(QX_VIRTUAL_CAMERAS="$2" "$build/bin/qxscript" "$work/phase.js" "$work/" 2>/dev/null & echo "pid $!"; wait)
    read -r _ pid <&3
    while read -r line <&3; do
        local stat
        stat=($(cut -d')' -f2 "/proc/$pid/stat"))
        if [[ "$line" == go ]]; then start=$((stat[11] + stat[12])); t0=$(date +%s.%N); fi
        if [[ "$line" == done ]]; then end=$((stat[11] + stat[12])); t1=$(date +%s.%N); fi
    done
    exec 3<&-
    python3 -c "print('%-46s %5.1f %% of one core' % ('$1:', 100.0 * ($end - $start) / $ticks / ($t1 - $t0)))"
}

mjpg="7e41:640x480,7e43:640x480;640x480/mjpg"
yuy2="7e41:640x480,7e43:640x480"
phase "live picture (YUY2 camera)" "$yuy2" -1
phase "live picture (Motion JPEG camera)" "$mjpg" -1
phase "recording AVI, Motion JPEG passed through" "$mjpg" 0
phase "recording AVI, YUY2 encoded to JPEG" "$yuy2" 0
phase "recording ASF, WMV1 + WMA v2" "$mjpg" 1
ls -l "$work"/*.avi "$work"/*.asf 2>/dev/null | awk '{print "  " $5 " bytes  " $9 " " $10}'
