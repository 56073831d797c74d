#!/usr/bin/env bash
# The Debian packages as a counter gets them: built once per run, their file lists, lintian, the
# programs run from an unpacked copy, the udev rules on fake devices, the menu and AppStream files.
#   package_test.sh build|contents|lintian|run|udev|desktop BUILD_DIR SOURCE_DIR
# Exit status 77 (skipped) only when a tool the step needs is not installed.
set -euo pipefail
step="$1"
build="$(cd "$2" && pwd)"
source_dir="$(cd "$3" && pwd)"
packages="$build/package"
skip=77

need() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" > /dev/null; then
            echo "SKIP: $tool is not installed (scripts/install-deps installs it)"
            exit "$skip"
        fi
    done
}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

deb_of() {
    local found=("$packages/$1"_*.deb)
    [[ -f "${found[0]}" ]] || fail "no $1 package in $packages (the package build failed)"
    echo "${found[0]}"
}

multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH 2> /dev/null || echo x86_64-linux-gnu)"
private="usr/lib/$multiarch/qxcamera"

# Unpacks both packages into a fresh root; the caller removes it.
unpack() {
    local root="$1"
    dpkg -x "$(deb_of qxcamera)" "$root"
    dpkg -x "$(deb_of libqmrapi-dev)" "$root"
}

# The files (not folders) of a package, as "./path" lines.
files_of() {
    dpkg-deb -c "$1" | awk '$1 !~ /^d/ { sub(/ -> .*/, ""); print $6 }' | sort
}

case "$step" in
build)
    need dpkg-buildpackage dh dpkg-deb
    start=$(date +%s)
    "$source_dir/scripts/make-deb" "$packages"
    echo "package build took $(($(date +%s) - start)) s"
    ;;

contents)
    need dpkg-deb
    deb="$(deb_of qxcamera)"
    expected=(
        ./usr/bin/QX_Camera ./usr/bin/qmrread ./usr/bin/qxbridge ./usr/bin/qxscript
        ./usr/lib/systemd/user/qxbridge.service ./usr/share/qxcamera/autostart/qxbridge.desktop
        ./usr/lib/udev/rules.d/70-qmrapi-reader.rules ./usr/lib/udev/rules.d/70-qxcamera-cameras.rules
        ./usr/share/applications/org.example.qxcamera.desktop
        ./usr/share/doc/qxcamera/changelog.gz ./usr/share/doc/qxcamera/copyright
        ./usr/share/man/man1/QX_Camera.1.gz ./usr/share/man/man1/qmrread.1.gz ./usr/share/man/man1/qxbridge.1.gz
        ./usr/share/man/man1/qxscript.1.gz
        ./usr/share/metainfo/org.example.qxcamera.metainfo.xml
    )
    for lib in libQXCameraCtrl.so libqx_media.so libqmrapi.so libKelpoCameraLibrary.so \
        libKelpoFilterImageResize.so libQX_IDCardRead.so libTiffConvert.so libTiffMakerDLL.so; do
        expected+=("./$private/$lib")
    done
    for size in 16 24 32 48 64 128 256; do
        expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/org.example.qxcamera.png")
    done
    actual="$(files_of "$deb")"
    if ! diff -u <(printf '%s\n' "${expected[@]}" | sort) <(echo "$actual"); then
        fail "qxcamera holds other files than expected (- expected, + packaged)"
    fi
    if files_of "$deb" | grep -E -i 'test|fault|fuzz|bench|fake|gallery|obj-|build'; then
        fail "qxcamera holds test, benchmark or build files (above)"
    fi
    dev_expected="./usr/include/qmrapi.h
./usr/lib/$multiarch/pkgconfig/qmrapi.pc
./usr/share/doc/libqmrapi-dev/changelog.gz
./usr/share/doc/libqmrapi-dev/copyright"
    diff -u <(echo "$dev_expected") <(files_of "$(deb_of libqmrapi-dev)") || fail "libqmrapi-dev holds other files than expected"

    # Programs find the private folder through their RUNPATH, modules their neighbours through $ORIGIN;
    # nothing may point into the build.
    root="$(mktemp -d)"
    trap 'rm -rf "$root"' EXIT
    unpack "$root"
    for program in QX_Camera qxscript qmrread qxbridge; do
        runpath="$(readelf -d "$root/usr/bin/$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')"
        [[ "$runpath" == "\$ORIGIN/../lib/$multiarch/qxcamera" ]] || fail "$program has RUNPATH '$runpath'"
    done
    for lib in "$root/$private"/*.so; do
        runpath="$(readelf -d "$lib" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')"
        [[ "$runpath" == '$ORIGIN' ]] || fail "$(basename "$lib") has RUNPATH '$runpath'"
    done
    if grep -r -l -a -F -e "$source_dir" -e "$packages" "$root"; then
        fail "files of the package (above) name the source or build folders"
    fi
    # `apt remove` leaves nothing behind: no conffiles, no postrm, and nothing enabled for every user.
    dpkg-deb -e "$deb" "$root/DEBIAN"
    [[ ! -e "$root/DEBIAN/conffiles" ]] || fail "qxcamera has conffiles: $(cat "$root/DEBIAN/conffiles")"
    [[ ! -e "$root/DEBIAN/postrm" ]] || fail "qxcamera has a postrm, so apt remove would leave it in dpkg's database"
    if grep -l -E 'deb-systemd-helper|systemctl' "$root"/DEBIAN/*; then
        fail "the maintainer scripts (above) enable or start units"
    fi
    # The version of the package is the one every installed file states.
    version="$(dpkg-deb -f "$deb" Version)"
    grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/org.example.qxcamera.metainfo.xml" ||
        fail "the AppStream release is not the package version $version"
    grep -q "^Version: $version\$" "$root/usr/lib/$multiarch/pkgconfig/qmrapi.pc" || fail "qmrapi.pc is not version $version"
    echo "contents as expected ($(files_of "$deb" | wc -l) files, version $version)"
    ;;

lintian)
    need lintian
    # Every warning either is mended or carries an override that says why (debian/*.lintian-overrides).
    lintian --fail-on error,warning --display-info --show-overrides "$(deb_of qxcamera)" "$(deb_of libqmrapi-dev)"
    echo "lintian: no errors, no warnings"
    ;;

run)
    need dpkg identify
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    root="$work/root"
    unpack "$root"
    # Root may write anywhere and the unpacked tree belongs to the test's user: nothing protects it but
    # the rule that an installed layout is never written into.
    before="$(cd "$root" && find . -printf '%p %s %T@ %m\n' | sort)"

    export HOME="$work/home" Temp="$work/temp" QT_QPA_PLATFORM=offscreen
    mkdir -p "$HOME" "$Temp" "$work/pictures"
    unset XDG_DATA_HOME LD_LIBRARY_PATH QX_CAMERA_CONFIG_DIR QX_VIRTUAL_READER
    export QX_VIRTUAL_CAMERAS="7e41:1600x1200;640x480,7e43:640x480"
    data="$HOME/.local/share/qxcamera"

    echo "== qxscript demo"
    "$root/usr/bin/qxscript" "$source_dir/tools/qxscript/demo.js" "$work/pictures/" | tee "$work/demo.txt"
    grep -q "control file: $root/$private/libQXCameraCtrl.so" "$work/demo.txt" || fail "the demo's control is not the unpacked one"
    for format in bmp jpg tif gif pdf; do
        n=$(find "$work/pictures" -name "*.$format" | wc -l)
        ((n >= 2)) || fail "the demo wrote $n $format pictures, not one per preview"
    done
    grep -q "Current Load Path:Success,$root/$private/" "$Temp/QXCameraCtrlLog.txt" || fail "the control did not load from $private"
    [[ -f "$data/OCXConfig.ini" ]] || fail "OCXConfig.ini is not in $data"

    echo "== a recording without a folder"
    cat > "$work/record.js" << 'JS'
var result = control.VideoRecord("");
var w = host.window("video");
if (result !== 0 || w === null) throw new Error("VideoRecord gave " + result + " and no window");
w.click(218);
host.wait(1500);
w.click(219);
w.close();
host.wait(700);
print("recorded");
JS
    "$root/usr/bin/qxscript" "$work/record.js"
    ls "$data"/*.avi > /dev/null 2>&1 || fail "the recording is not in $data"

    echo "== QX_Camera --screenshot"
    [[ "$("$root/usr/bin/QX_Camera" --config-path)" == "$data/QX_CamConfig.ini" ]] || fail "QX_Camera --config-path is not in $data"
    "$root/usr/bin/QX_Camera" --screenshot "$work/shot.png"
    [[ "$(identify -format '%wx%h' "$work/shot.png")" == 917x668 ]] || fail "the screenshot is not the 917 x 668 window"
    [[ -f "$data/QX_CamConfig.ini" ]] || fail "QX_CamConfig.ini is not in $data"

    echo "== qmrread on the virtual reader"
    QX_VIRTUAL_READER="$source_dir/tests/data/cards/card1.json" "$root/usr/bin/qmrread" --image "$work/pictures/" | tee "$work/card.txt"
    grep -q "110101199003070011" "$work/card.txt" || fail "qmrread printed no card number"
    [[ -f "$data/ImgTemp.bmp" ]] || fail "ImgTemp.bmp is not in $data"

    echo "== qxbridge"
    port="$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
    "$root/usr/bin/qxbridge" --port "$port" 2> "$work/bridge.log" &
    bridge=$!
    for _ in $(seq 100); do grep -q " ready: " "$work/bridge.log" && break; sleep 0.2; done
    page="$(curl -s --noproxy '*' "http://127.0.0.1:$port/" || true)"
    script="$(curl -s --noproxy '*' "http://127.0.0.1:$port/qxcamera.js" || true)"
    kill -TERM "$bridge"
    wait "$bridge" || fail "qxbridge ended with status $?: $(cat "$work/bridge.log")"
    grep -q "拍摄仪网页演示" <<< "$page" || fail "qxbridge served no demo page: $(cat "$work/bridge.log")"
    grep -q "export function connect" <<< "$script" || fail "qxbridge served no client module"
    [[ -f "$data/qxbridge.ini" ]] || fail "qxbridge.ini is not in $data"
    [[ -d "$HOME/Pictures/QXCamera" ]] || fail "the bridge's capture folder is not in the user's pictures"

    echo "== a program of others built with pkg-config qmrapi"
    if command -v cc > /dev/null && command -v pkg-config > /dev/null; then
        cat > "$work/find.c" << 'C'
#include <qmrapi.h>
#include <stdio.h>
int main(void) {
    uint8_t data[QMR_FIND_DATA_SIZE];
    int32_t r = QMR_StartFindIDCard(1001, data, 1);
    printf("find: 0x%x\n", (unsigned)r);
    return r == QMR_CARD_FOUND ? 0 : 1;
}
C
        # shellcheck disable=SC2046
        cc -o "$work/find" "$work/find.c" $(PKG_CONFIG_PATH="$root/usr/lib/$multiarch/pkgconfig" \
            pkg-config --define-variable=prefix="$root/usr" --cflags --libs qmrapi)
        QX_VIRTUAL_READER="$source_dir/tests/data/cards/card1.json" "$work/find" || fail "QMR_StartFindIDCard found no card"
    fi

    after="$(cd "$root" && find . -printf '%p %s %T@ %m\n' | sort)"
    diff -u <(echo "$before") <(echo "$after") || fail "the programs wrote into the unpacked tree"
    echo "settings and data in $data: $(ls "$data" | tr '\n' ' ')"
    ;;

udev)
    need udevadm umockdev-run unshare dpkg
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    unpack "$work/root"
    # Only the package's rules, on fake devices (umockdev) in a mount namespace of their own, so the
    # machine's rules, devices and /run stay as they are.
    cat > "$work/in-namespace.sh" << 'NS'
set -euo pipefail
rules="$1"; devices="$2"
mount -t tmpfs qx-run /run
mkdir -p /run/udev
mount -t tmpfs qx-etc-rules /etc/udev/rules.d
mount --bind "$rules" /usr/lib/udev/rules.d
status=0
check() {
    local file="$1" syspath="$2" want="$3" out tagged=no
    # udev keeps a device's tags in its database by device number, and the fake devices share theirs.
    rm -rf /run/udev
    mkdir -p /run/udev
    out="$(umockdev-run -d "$devices/$file" -- udevadm test --action=add "$syspath" 2>&1)" || {
        echo "$out"; echo "FAIL: udevadm test $file"; status=1; return; }
    grep -q "^Reading rules file: /usr/lib/udev/rules.d/70-qxcamera-cameras.rules" <<< "$out" || {
        echo "$out"; echo "FAIL: the camera rules were not read"; status=1; }
    grep -q "^Reading rules file: /usr/lib/udev/rules.d/70-qmrapi-reader.rules" <<< "$out" || {
        echo "$out"; echo "FAIL: the reader rules were not read"; status=1; }
    # udev names a rule it cannot use by file and line ("…/70-x.rules:3 Invalid key/value pair, ignoring").
    if grep -E 'rules\.d/70-[^ ]*\.rules:[0-9]+' <<< "$out"; then
        echo "$out"; echo "FAIL: udev complains about the rules"; status=1
    fi
    grep -q '^TAGS=.*:uaccess:' <<< "$out" && tagged=yes
    echo "$file: uaccess $tagged (expected $want)"
    [[ "$tagged" == "$want" ]] || { echo "$out"; status=1; }
}
v4l=/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/video4linux/video0
hid=/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:1A7E:%s.0001/hidraw/hidraw0
check camera-2e7a.umockdev "$v4l" yes
check camera-046d.umockdev "$v4l" no
# shellcheck disable=SC2059
check reader-1a7e-5c39.umockdev "$(printf "$hid" 5C39)" yes
# shellcheck disable=SC2059
check reader-1a7e-other.umockdev "$(printf "$hid" 5C40)" no
exit $status
NS
    namespace=(unshare -m --propagation private)
    [[ $(id -u) -eq 0 ]] || namespace=(unshare -r -m --propagation private)
    if ! "${namespace[@]}" true 2> /dev/null; then
        echo "SKIP: no mount namespace can be made here (needs root or user namespaces)"
        exit "$skip"
    fi
    "${namespace[@]}" bash "$work/in-namespace.sh" "$work/root/usr/lib/udev/rules.d" "$source_dir/tests/package/devices"
    ;;

desktop)
    need desktop-file-validate appstreamcli man identify
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    unpack "$work/root"
    share="$work/root/usr/share"
    desktop-file-validate "$share/applications/org.example.qxcamera.desktop"
    grep -q '^Name\[zh_CN\]=' "$share/applications/org.example.qxcamera.desktop" || fail "the menu entry has no Chinese name"
    grep -q '^Comment\[zh_CN\]=' "$share/applications/org.example.qxcamera.desktop" || fail "the menu entry has no Chinese comment"
    # The menu's command is a program of the package.
    exec_line="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$share/applications/org.example.qxcamera.desktop")"
    [[ -x "$work/root/usr/bin/$exec_line" ]] || fail "the menu entry starts '$exec_line', which the package does not hold"
    appstreamcli validate --no-net --explain "$share/metainfo/org.example.qxcamera.metainfo.xml"
    for size in 16 24 32 48 64 128 256; do
        icon="$share/icons/hicolor/${size}x${size}/apps/org.example.qxcamera.png"
        [[ "$(identify -format '%m %wx%h' "$icon")" == "PNG ${size}x${size}" ]] || fail "$icon is not a ${size}x${size} PNG"
    done
    for page in QX_Camera qxscript qmrread qxbridge; do
        warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$share/man/man1/$page.1.gz" 2>&1 > "$work/$page.txt")"
        [[ -z "$warnings" ]] || fail "man $page: $warnings"
        grep -q "^NAME" "$work/$page.txt" || fail "man $page has no NAME section"
    done
    # The bridge's autostart entry and user unit.
    autostart="$share/qxcamera/autostart/qxbridge.desktop"
    desktop-file-validate "$autostart"
    [[ -x "$work/root/usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$autostart")" ]] ||
        fail "the autostart entry starts a program the package does not hold"
    unit="$work/root/usr/lib/systemd/user/qxbridge.service"
    if command -v systemd-analyze > /dev/null; then
        # Its ExecStart names the installed /usr/bin/qxbridge, which the unpacked tree holds elsewhere.
        sed "s|^ExecStart=/usr/bin/|ExecStart=$work/root/usr/bin/|" "$unit" > "$work/qxbridge.service"
        mkdir -m 700 "$work/run"
        XDG_RUNTIME_DIR="$work/run" systemd-analyze verify --user --man=no "$work/qxbridge.service" 2>&1 | tee "$work/verify.txt"
        [[ ! -s "$work/verify.txt" ]] || fail "systemd-analyze finds fault with the user unit"
    fi
    echo "menu entry, AppStream entry, icons, manual pages, the autostart entry and the user unit are valid"
    ;;

*)
    fail "unknown step $step"
    ;;
esac
