#!/usr/bin/env bash
# Runs Pellmar's set-up and every test on Debian 13 itself: in the tests'
# Debian 13 tree (the one tools/gnome-tree.sh builds for the GNOME tests),
# chrooted, `tools/setup.sh test` installs what Debian 13 lacks, builds with
# its gcc and Qt, and runs the unit, widget and end-to-end tests (X11, sway
# 1.10, labwc 0.8, KWin 6.3, GNOME Shell 48) and, with PELLMAR_PACKAGE_TEST=ON
# in PELLMAR_CMAKE_ARGS, the package check. Needs root.
#
#   tools/debian13.sh            the tree at PELLMAR_GNOME_TREE
#                                (default /var/tmp/pellmar-gnome-tree)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
tree=${PELLMAR_GNOME_TREE:-/var/tmp/pellmar-gnome-tree}
tools/gnome-tree.sh "$tree"

# This checkout as it is (committed or not), without its build folders.
work="$tree/root/pellmar"
rm -rf "$work"
mkdir -p "$work"
git ls-files -z --cached --others --exclude-standard | tar --null -T - -c | tar -x -C "$work"

mounted=()
unmount() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -R "${mounted[$i]}" 2>/dev/null || umount -l "${mounted[$i]}" || true
    done
}
trap unmount EXIT
mount_in() { # type-or-bind source target
    mkdir -p "$3"
    if [ "$1" = bind ]; then mount --rbind "$2" "$3"; else mount -t "$1" "$2" "$3"; fi
    mount --make-rslave "$3" 2>/dev/null || true
    mounted+=("$3")
}
# The tree a mount of its own, so that / in the chroot is one: the GNOME
# tests' namespaces make their mounts private from there.
mount --bind "$tree" "$tree"
mount --make-private "$tree"
mounted+=("$tree")
mount_in proc proc "$tree/proc"
mount_in sysfs sys "$tree/sys"
mount_in bind /dev "$tree/dev"
mount_in tmpfs tmpfs "$tree/tmp"
cp /etc/resolv.conf "$tree/etc/resolv.conf"

# The GNOME tests run the tree's GNOME Shell 48 as the system's own there.
chroot "$tree" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 \
    PELLMAR_CMAKE_ARGS="${PELLMAR_CMAKE_ARGS:-}" \
    bash -c 'cd /root/pellmar && tools/setup.sh test'
