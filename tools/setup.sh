#!/usr/bin/env bash
# Sets Pellmar up on Debian 12 and runs it or its tests.
#
#   tools/setup.sh run    install what is missing, build, start Pellmar
#   tools/setup.sh test   install what is missing, build, run every test
#   tools/setup.sh fuzz   install what is missing, build the fuzz targets with
#                         Clang (in build-fuzz) and run each for a while
#
# Extra CMake arguments can be passed in PELLMAR_CMAKE_ARGS; the build goes
# to PELLMAR_BUILD_DIR (default: build). The tests' Debian 13 tree with
# GNOME Shell goes to PELLMAR_GNOME_TREE (default: /var/tmp/pellmar-gnome-tree).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
mode=${1:-run}
build=${PELLMAR_BUILD_DIR:-build}

packages=(
    # build
    g++ make cmake pkg-config qtbase5-dev qtbase5-dev-tools libqt5x11extras5-dev libxcb-xinput-dev
    libxcb-xfixes0-dev libxcb-randr0-dev
    clang-format
    # the Qt 6 build (CI builds and tests it too)
    qt6-base-dev qt6-base-dev-tools libgl-dev
    # the virtual desktop and the end-to-end tests
    xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils x11-utils xdotool trayer
    imagemagick python3 fonts-dejavu-core xcompmgr openbox tint2 picom
    # Wayland: the client library, its code generator and protocol files
    # (the wlroots ones come only with the Rust bindings' sources), Qt's
    # Wayland platform plugins, and a headless sway with a screenshot tool
    # for the end-to-end tests
    libwayland-dev libwayland-bin wayland-protocols librust-wayland-protocols-dev
    qtwayland5 qt6-wayland sway grim
    # a Wayland desktop without the wlroots protocols, as GNOME and KDE are
    # to Pellmar
    weston
    # the tray on Wayland: a session bus of the tests' own (dbus-daemon), a
    # StatusNotifier host (waybar's tray) and busctl (in systemd) to read
    # and click Pellmar's item over D-Bus
    dbus-daemon waybar systemd
    # GNOME Shell 48 for the end-to-end tests, in a Debian 13 tree of its
    # own (tools/gnome-tree.sh), run in namespaces of its own (util-linux)
    debootstrap util-linux
    # the GNOME Shell extension's own tests, under plain gjs
    gjs
    # packaging checks
    dpkg-dev file desktop-file-utils appstream
    # the fuzz targets: Clang and its libFuzzer
    clang-14 libclang-rt-14-dev
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        echo "setup: '$*' needs root, and sudo is not installed" >&2
        exit 1
    fi
}

install_missing() {
    local missing=() p
    for p in "${packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
            missing+=("$p")
        fi
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "setup: installing ${missing[*]}"
        as_root apt-get update -q
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}

build() {
    # shellcheck disable=SC2086
    cmake -S . -B "$build" ${PELLMAR_CMAKE_ARGS:-}
    cmake --build "$build" -j "$(nproc)"
}

# The GNOME tests run GNOME Shell from a tree that only root can build and
# use (debootstrap, chroot, mounts); they skip without it.
gnome_tree() {
    local tree=${PELLMAR_GNOME_TREE:-/var/tmp/pellmar-gnome-tree}
    if [ "$(id -u)" -eq 0 ]; then
        tools/gnome-tree.sh "$tree"
    else
        echo "setup: not root, so the GNOME tests will skip (they, and building their tree at $tree, need root)"
    fi
}

display_works() {
    [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1
}

run_on_virtual_desktop() {
    local dir="$here/.virtual-desktop" display pid
    echo
    echo "setup: there is no X display to show Pellmar on (DISPLAY is '${DISPLAY:-}')."
    echo "setup: starting a virtual desktop instead: two monitors side by side,"
    echo "       1920x1080 on the left and 1280x1024 on the right (Xorg's dummy driver)."
    display=$(tools/virtual-desktop.sh start "$dir")
    trap 'kill -TERM $pid 2>/dev/null; wait $pid 2>/dev/null; tools/virtual-desktop.sh stop "$dir"' EXIT
    DISPLAY=$display "$build/pellmar" &
    pid=$!
    sleep 2
    DISPLAY=$display import -window root "$dir/screenshot.png" 2>/dev/null || true
    cat <<TXT
setup: Pellmar runs on display $display (pid $pid).
       A picture of that desktop:   $dir/screenshot.png
       Move its pointer:            DISPLAY=$display xdotool mousemove 3199 500
       Where the pointer is:        DISPLAY=$display xdotool getmouselocation
       Press Ctrl-C here to end Pellmar and the virtual desktop.
TXT
    wait $pid || true
}

case "$mode" in
run)
    install_missing
    build
    if display_works; then
        exec "$build/pellmar"
    fi
    run_on_virtual_desktop
    ;;
test)
    install_missing
    build
    gnome_tree
    ctest --test-dir "$build" --output-on-failure
    ;;
fuzz)
    install_missing
    # A build folder of its own (PELLMAR_FUZZ_BUILD_DIR, default build-fuzz):
    # the fuzz targets need Clang, the usual build stays as it is.
    # PELLMAR_FUZZ_SECONDS sets how long each target runs.
    fuzz_build=${PELLMAR_FUZZ_BUILD_DIR:-build-fuzz}
    cmake -S . -B "$fuzz_build" -DPELLMAR_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 \
        ${PELLMAR_FUZZ_SECONDS:+-DPELLMAR_FUZZ_SECONDS=$PELLMAR_FUZZ_SECONDS}
    cmake --build "$fuzz_build" -j "$(nproc)" --target fuzzers
    ctest --test-dir "$fuzz_build" --output-on-failure -L fuzz
    ;;
*)
    echo "usage: tools/setup.sh run|test|fuzz" >&2
    exit 2
    ;;
esac
