#!/usr/bin/env bash
# Builds a Debian 13 tree with GNOME Shell for the GNOME end-to-end tests:
# Debian 12 ships GNOME Shell 43, which cannot load extensions written as
# ES modules (45 and later). The shell runs inside the tree, headless; Pellmar
# runs outside it and reaches the shell's session bus and Wayland socket
# through the tree's folders.
#
#   tools/gnome-tree.sh DIR         build the tree in DIR (does nothing if it
#                                   is there and complete)
#   tools/gnome-tree.sh --packages  the packages the tests' shell needs, for a
#                                   system whose own GNOME Shell they run
set -euo pipefail

# The shell with what it needs headless: a system bus (it asks for one),
# gsettings to enable extensions, dbus-run-session for its session bus,
# fonts for anything it draws, and the AppIndicator extension, GNOME's tray
# for StatusNotifierItems such as Pellmar's.
packages="gnome-shell dbus dbus-daemon dbus-user-session libglib2.0-bin fonts-dejavu-core
gnome-shell-extension-appindicator"
if [ "${1:-}" = --packages ]; then
    echo $packages
    exit 0
fi

dir=${1:?usage: gnome-tree.sh DIR | --packages}
mirror=${PELLMAR_DEBIAN_MIRROR:-http://deb.debian.org/debian}
stamp="$dir/.pellmar-tree-complete"

install() {
    chroot "$dir" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    # shellcheck disable=SC2086
    chroot "$dir" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
        --no-install-recommends $packages
    chroot "$dir" apt-get clean
    # The shell gives up looking for logind when it sees systemd's run folder.
    rm -rf "$dir/run/systemd"
    echo "$packages" >"$stamp"
}

# A complete tree with these packages: nothing to do. One made with fewer:
# the others added.
if [ -e "$stamp" ]; then
    [ "$(cat "$stamp")" = "$packages" ] || install
    exit 0
fi

# A system that is such a tree itself (tools/debian13.sh runs the tests in
# one) is never made anew.
if [ "$(cd "$dir" 2>/dev/null && pwd -P)" = / ]; then
    echo "gnome-tree: / is no tree to build; install $packages on this system instead" >&2
    exit 1
fi
if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap
fi
rm -rf "$dir"
mkdir -p "$dir"
debootstrap --variant=minbase trixie "$dir" "$mirror"
install
