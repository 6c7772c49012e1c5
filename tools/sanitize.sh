#!/usr/bin/env bash
# Builds Pellmar with a sanitizer and runs the unit and widget tests and the
# shared behaviour cases on X11, sway and GNOME and the Wayland session tests
# under it, and with AddressSanitizer also the control, hot-plug, Wayland
# focus and GNOME end-to-end tests.
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
# Under ThreadSanitizer, whose runs are the slowest, the shared cases on each
# desktop and the Wayland session's comings and goings: what exercises the
# engine thread against each backend.
if [ "$kind" = thread ]; then
    suites='cases_x11|cases_sway|cases_gnome|wayland_session'
else
    suites='cases_x11|cases_sway|cases_gnome|controls|hotplug|wayland_focus|wayland_session|gnome'
fi
ctest --test-dir "$build" --output-on-failure -R "e2e_test_($suites)\$"
