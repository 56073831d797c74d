#!/usr/bin/env bash
# A 20 MB SendSeal beside `curl -F` to the same loopback receiver, and GetBase64String of 10 MB
# beside `base64 -w0`: the median of RUNS runs of each.
#
#   bench/upload/run.sh BUILD_FOLDER [RUNS]
#
# curl's figure is its own transfer time (-w %{time_total}), without its process start; ours is the
# whole SendSeal call (file read, worker thread, log lines). base64's figure is its whole process.
set -euo pipefail

build=${1:?usage: run.sh BUILD_FOLDER [RUNS]}
runs=${2:-7}
bench="$build/bench/upload_bench"
[[ -x "$bench" ]] || { echo "run.sh: $bench is missing; build the target upload_bench first" >&2; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d)
receiver_pid=
cleanup() {
  [[ -n "$receiver_pid" ]] && kill "$receiver_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY

head -c $((20 * 1024 * 1024)) /dev/urandom >"$work/picture.jpg"
head -c $((10 * 1024 * 1024)) /dev/urandom >"$work/base64.bin"

mkdir "$work/record"
coproc RECEIVER { exec /usr/bin/python3 "$here/../../tests/net/servers/http_receiver.py" --mode 200 --discard --record "$work/record"; }
receiver_pid=$RECEIVER_PID
read -r port <&"${RECEIVER[0]}"
url="http://127.0.0.1:$port/upload"

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# Ours and curl's runs alternate, so both see the same state of the machine.
: >"$work/ours.txt"
: >"$work/curl.txt"
for _ in $(seq "$runs"); do
  "$bench" "$url" "$work/picture.jpg" "$work/base64.bin" 1 2>/dev/null >>"$work/ours.txt"
  curl -s -o /dev/null -w '%{time_total}\n' -H 'Expect:' -F "QX_Image=@$work/picture.jpg;type=image/pjpeg" \
    -F submit=submit "$url" | awk '{ print $1 * 1000 }' >>"$work/curl.txt"
done
if grep -q FAILED "$work/ours.txt"; then
  cat "$work/ours.txt" >&2
  exit 1
fi
echo "SendSeal 20 MB: $(grep '^sendseal' "$work/ours.txt" | awk '{ print $2 }' | median) ms (median of $runs)"
echo "curl -F 20 MB: $(median <"$work/curl.txt") ms (median of $runs)"

# The first call of a process pays the page faults of its 27 MB result (13.3 M characters of UTF-16),
# which base64 -w0, writing to /dev/null in small blocks, never has; later calls reuse freed memory.
"$bench" "$url" "$work/picture.jpg" "$work/base64.bin" "$runs" 2>/dev/null | grep '^base64' | awk '{ print $2 }' >"$work/b64.txt"
echo "GetBase64String 10 MB: first call of each process $(grep '^base64' "$work/ours.txt" | awk '{ print $2 }' | median) ms, later calls $(tail -n +2 "$work/b64.txt" | median) ms (medians of $runs)"
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  base64 -w0 "$work/base64.bin" >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
done | median | sed "s/^/base64 -w0 10 MB: /; s/$/ ms (median of $runs, whole process)/"
