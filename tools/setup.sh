#!/usr/bin/env bash
# Sets Pellmar up on Debian 12 or 13 and runs it or its tests.
#
#   tools/setup.sh run      install what is missing, build, start Pellmar
#   tools/setup.sh test     install what is missing, build, run every test
#   tools/setup.sh fuzz     install what is missing, build the fuzz targets
#                           with Clang (in build-fuzz) and run each for a while
#   tools/setup.sh install  install what is missing, and nothing more
#
# Extra CMake arguments can be passed in PELLMAR_CMAKE_ARGS; the build goes
# to PELLMAR_BUILD_DIR (default: build). The tests' Debian 13 tree with
# GNOME Shell goes to PELLMAR_GNOME_TREE (default: /var/tmp/pellmar-gnome-tree).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
mode=${1:-run}
build=${PELLMAR_BUILD_DIR:-build}

# The Clang that the release's own clang package points to (clang-14 on
# Debian 12, clang-19 on 13): its version, or nothing where the release (or
# the package lists read so far) has no clang.
default_clang_version() {
    apt-cache show --no-all-versions clang 2>/dev/null |
        sed -n 's/^Depends:.*\bclang-\([0-9][0-9]*\)\b.*/\1/p' | head -n 1
}

# A package's major version in the release's package lists (KWin: 5 on
# Debian 12, 6 on 13; GNOME Shell: 43, 48), or nothing where the lists
# (read so far) have no such package.
release_major() {
    apt-cache show --no-all-versions "$1" 2>/dev/null |
        sed -n 's/^Version: \([0-9]*:\)\{0,1\}\([0-9][0-9]*\)\..*/\2/p' | head -n 1
}

# Whether the GNOME tests run this system's own GNOME Shell: where the
# release's is 45 or later (Debian 13; the first that loads extensions
# written as modules) and PELLMAR_GNOME_TREE names no tree of their own.
gnome_own_shell() {
    [ "${PELLMAR_GNOME_TREE:-/}" = / ] && [ "$(release_major gnome-shell)" -ge 45 ] 2>/dev/null
}

# What the packages are for, one group a line: what will not build or run
# without them, then the packages. "a|b" takes the first of those the
# release offers, for names that differ between releases; no package names
# a version only one release has. The wlroots protocol files come only with
# the Rust bindings' sources, in a package of their own since Debian 13.
package_groups() {
    local clang kwin= gnome="the GNOME end-to-end tests (GNOME Shell 48 in a Debian 13 tree of their own, in namespaces of their own)|debootstrap util-linux"
    clang=$(default_clang_version)
    if gnome_own_shell; then
        gnome="the GNOME end-to-end tests (this release's GNOME Shell, headless, in namespaces of their own)|$(tools/gnome-tree.sh --packages) util-linux"
    fi
    # KWin itself only where it is KWin 6: Plasma 5 (Debian 12) has no EIS
    # interface for the tests to drive it by. The group's other names are
    # Debian 13's alone, so a release without them reports them and goes on.
    [ "$(release_major kwin-wayland)" -ge 6 ] 2>/dev/null && kwin="kwin-wayland kwin-common "
    cat <<GROUPS
the build (Qt 6)|g++ make cmake pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
X11 push through, lock to a monitor, exact screens under Qt's fractional scaling|libxcb-xinput-dev libxcb-xfixes0-dev libxcb-randr0-dev
the Qt 5 build (-DPELLMAR_QT5=ON, which CI builds and tests), with its curtains kept out of task lists on X11|qtbase5-dev qtbase5-dev-tools libqt5x11extras5-dev
the format check (ctest -L style)|clang-format
the virtual desktop and the X11 end-to-end tests|xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils x11-utils xdotool trayer imagemagick python3 fonts-dejavu-core xcompmgr openbox tint2 picom
the wlroots backend (sway and other wlroots compositors)|libwayland-dev libwayland-bin wayland-protocols librust-wayland-protocols-wlr-dev|librust-wayland-protocols-dev
Pellmar as a native Wayland client (Qt's Wayland platform plugins)|qtwayland5 qt6-wayland
the KDE Plasma backend (KWin's fake input protocol)|plasma-wayland-protocols
the sway end-to-end tests (a headless sway, a screenshot tool)|sway grim
the labwc and Wayfire end-to-end tests|labwc wayfire wlr-randr
the test on a Wayland desktop without the wlroots protocols|weston
the tray tests on Wayland (a session bus of their own, waybar's tray, busctl)|dbus-daemon waybar systemd
the KDE end-to-end tests (KWin 6 headless with its EIS and scripting plugins, kscreen-doctor, KDE's service cache, libei for the probe)|${kwin}libkscreen-bin libkf6service-bin libei-dev
${gnome}
the GNOME Shell extension's own tests (under plain gjs)|gjs
the packaging checks|dpkg-dev file desktop-file-utils appstream
tools/setup.sh fuzz (the release's default Clang and its libFuzzer)|${clang:+clang clang-$clang libclang-rt-$clang-dev}
GROUPS
    # No clang in the release: the group above names none, said here.
    [ -n "$clang" ] || echo "tools/setup.sh fuzz (the release's default Clang and its libFuzzer)|clang"
}

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

# The packages among the arguments that the package lists offer (that have
# a candidate to install), one a line.
offered() {
    apt-cache policy "$@" 2>/dev/null |
        awk '/^[^ ].*:$/ { name = substr($0, 1, length($0) - 1) }
             /^  Candidate:/ && $2 != "(none)" { print name }'
}

# Reads package_groups() against the package lists: fills want (the
# packages to have), missing (those of them not installed), lacking
# ("package: what needs it", for what the release does not offer) and
# purpose (what each wanted package is for).
want=() missing=() lacking=()
declare -A purpose=()
resolve() {
    local groups line what names name choice alternative all
    local -A offer=() have=()
    groups=$(package_groups)
    all=$(cut -d'|' -f2- <<<"$groups" | tr '|' ' ')
    # One apt-cache and one dpkg-query call for them all.
    # shellcheck disable=SC2086
    while IFS= read -r name; do offer[$name]=1; done < <(offered $all)
    # shellcheck disable=SC2086
    while read -r name; do have[$name]=1; done < <(
        dpkg-query -W -f='${Package} ${Status}\n' $all 2>/dev/null |
            awk '$2 == "install" && $3 == "ok" && $4 == "installed" { print $1 }')
    want=() missing=() lacking=() purpose=()
    while IFS= read -r line; do
        what=${line%%|*}
        names=${line#*|}
        for name in $names; do
            choice=
            for alternative in ${name//|/ }; do
                if [ -n "${offer[$alternative]:-}${have[$alternative]:-}" ]; then
                    choice=$alternative
                    break
                fi
            done
            if [ -z "$choice" ]; then
                lacking+=("${name//|/ or }: $what")
            else
                want+=("$choice")
                purpose[$choice]=$what
                [ -n "${have[$choice]:-}" ] || missing+=("$choice")
            fi
        done
    done <<<"$groups"
}

apt_install() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
}

install_missing() {
    local p
    resolve
    # Package lists read only when something is missing or unknown: stale
    # or absent ones (a fresh system) are the usual reason. Without the
    # network, the lists at hand still serve.
    if [ ${#missing[@]} -gt 0 ] || [ ${#lacking[@]} -gt 0 ]; then
        as_root apt-get update -q || echo "setup: apt-get update failed; the package lists at hand are used" >&2
        resolve
    fi
    if [ ${#missing[@]} -gt 0 ]; then
        echo "setup: installing ${missing[*]}"
        # One package that cannot be installed (its dependencies broken in
        # this release) must not keep the others out: then one at a time.
        if ! apt_install "${missing[@]}"; then
            echo "setup: installing them together failed; now one at a time" >&2
            for p in "${missing[@]}"; do
                apt_install "$p" || lacking+=("$p: ${purpose[$p]}")
            done
        fi
    fi
    if [ ${#lacking[@]} -gt 0 ]; then
        echo "setup: these packages could not be had (not offered by this system's package lists, or not installable); without them:" >&2
        printf '         %s\n' "${lacking[@]}" >&2
        echo "       The rest is installed; the build and the tests leave out or skip what needs them." >&2
    else
        echo "setup: all ${#want[@]} packages are installed"
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
    if gnome_own_shell; then
        echo "setup: the GNOME tests run this system's own GNOME Shell"
    elif [ "$tree" = none ]; then
        echo "setup: PELLMAR_GNOME_TREE=none: the GNOME tests will skip"
    elif [ "$(id -u)" -eq 0 ]; then
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
    # The Clang is the one the release's clang package points to, whose
    # libFuzzer (libclang-rt-N-dev) the install brought.
    fuzz_build=${PELLMAR_FUZZ_BUILD_DIR:-build-fuzz}
    clang_version=$(default_clang_version)
    if [ -z "$clang_version" ] || ! command -v "clang++-$clang_version" >/dev/null; then
        echo "setup: no Clang from the release's clang package, so no fuzz targets" >&2
        exit 1
    fi
    cmake -S . -B "$fuzz_build" -DPELLMAR_FUZZ=ON -DCMAKE_CXX_COMPILER="clang++-$clang_version" \
        ${PELLMAR_FUZZ_SECONDS:+-DPELLMAR_FUZZ_SECONDS=$PELLMAR_FUZZ_SECONDS}
    cmake --build "$fuzz_build" -j "$(nproc)" --target fuzzers
    ctest --test-dir "$fuzz_build" --output-on-failure -L fuzz
    ;;
install)
    install_missing
    ;;
*)
    echo "usage: tools/setup.sh run|test|fuzz|install" >&2
    exit 2
    ;;
esac
