#!/usr/bin/env bash
# Builds Pellmar with a sanitizer and runs the unit and widget tests and the
# shared behaviour cases on X11, sway and GNOME, and the control, hot-plug,
# Wayland focus and session and GNOME end-to-end tests under it.
# Any report fails the run.
#
#   tools/sanitize.sh address    address and undefined behaviour
#   tools/sanitize.sh thread     data races (the threads share only the
#                                engine's inbox)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
kind=${1:?usage: tools/sanitize.sh address|thread}
build=build-$kind

cmake -S . -B "$build" -DPELLMAR_SANITIZE="$kind" -DPELLMAR_WERROR=ON
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -L unit
ctest --test-dir "$build" --output-on-failure -R 'e2e_test_(cases_x11|cases_sway|cases_gnome|controls|hotplug|wayland_focus|wayland_session|gnome)$'
