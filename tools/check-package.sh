#!/usr/bin/env bash
# Builds the Debian package, installs it with apt as a user would, checks
# what it put where, and runs the installed pellmar through the shared
# behaviour cases on the virtual X desktop. Needs root and a build; CI runs
# it as the test 'package' (-DPELLMAR_PACKAGE_TEST=ON).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${PELLMAR_BUILD_DIR:-build}

(cd "$build" && cpack -G DEB)
deb=$(realpath "$(ls "$build"/pellmar_*.deb | head -n 1)")
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb"
trap 'DEBIAN_FRONTEND=noninteractive apt-get remove -y -q pellmar >/dev/null' EXIT

for f in /usr/bin/pellmar /usr/share/applications/com.brenvik.Pellmar.desktop \
    /usr/share/metainfo/com.brenvik.Pellmar.metainfo.xml /usr/share/icons/hicolor/48x48/apps/pellmar.png \
    /usr/share/icons/hicolor/256x256/apps/pellmar.png \
    /usr/share/gnome-shell/extensions/pellmar@brenvik.com/metadata.json \
    /usr/share/gnome-shell/extensions/pellmar@brenvik.com/extension.js \
    /usr/share/pellmar/kwin/pellmar.js /usr/share/pellmar/kwin/pellmar-readout.js; do
    test -f "$f" || { echo "check-package: $f is missing" >&2; exit 1; }
done
desktop-file-validate /usr/share/applications/com.brenvik.Pellmar.desktop
# KWin grants its fake input to the program the menu entry names, by path.
grep -qx 'Exec=/usr/bin/pellmar' /usr/share/applications/com.brenvik.Pellmar.desktop ||
    { echo "check-package: the menu entry does not name /usr/bin/pellmar" >&2; exit 1; }
appstreamcli validate --no-net /usr/share/metainfo/com.brenvik.Pellmar.metainfo.xml

cd tests/e2e
PELLMAR_BIN=/usr/bin/pellmar python3 -m unittest -v test_cases_x11
echo "check-package: $deb installs, validates and runs"
