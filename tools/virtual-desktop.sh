#!/usr/bin/env bash
# Starts an X server with the dummy video driver: a desktop of real RandR
# monitors without a display or GPU, for tests, pictures and machines with
# no screen of their own.
#
#   tools/virtual-desktop.sh start DIR [LAYOUT]   prints the display (":N") and
#                                                 leaves the server's pid in DIR/xorg.pid
#   tools/virtual-desktop.sh stop DIR
#
# LAYOUT is a list of WxH+X+Y monitors, for example "1920x1080+0+0 1280x1024+1920+0"
# (the default). Needs root, as Xorg with the dummy driver does.
set -euo pipefail

cmd=${1:?usage: virtual-desktop.sh start|stop DIR [LAYOUT]}
dir=${2:?usage: virtual-desktop.sh start|stop DIR [LAYOUT]}
layout=${3:-"1920x1080+0+0 1280x1024+1920+0"}

stop() {
    if [ -f "$dir/xorg.pid" ]; then
        pid=$(cat "$dir/xorg.pid")
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
        rm -f "$dir/xorg.pid"
    fi
}

free_display() {
    local n
    for n in $(seq 40 99); do
        # The abstract socket shows a server of another mount namespace too.
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ] &&
            ! grep -q "@/tmp/.X11-unix/X$n\b" /proc/net/unix 2>/dev/null; then
            echo "$n"
            return 0
        fi
    done
    return 1
}

start() {
    mkdir -p "$dir"
    cat >"$dir/xorg.conf" <<CONF
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoAddGPU" "false"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 512000
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 8192 4096
    EndSubSection
EndSection
CONF
    local n tries
    for tries in 1 2 3; do
        n=$(free_display)
        # A session of its own: a Ctrl-C meant for the programs on this
        # desktop must not take the desktop away from under them.
        setsid Xorg ":$n" -config "$dir/xorg.conf" -logfile "$dir/xorg.log" -noreset -nolisten tcp \
            -novtswitch -sharevts >"$dir/xorg.out" 2>&1 &
        echo $! >"$dir/xorg.pid"
        for _ in $(seq 100); do
            if xrandr -display ":$n" >/dev/null 2>&1; then
                layout_screens ":$n"
                echo ":$n"
                return 0
            fi
            kill -0 "$(cat "$dir/xorg.pid")" 2>/dev/null || break
            sleep 0.1
        done
        stop
    done
    echo "virtual-desktop: Xorg did not start; see $dir/xorg.log" >&2
    return 1
}

# Turns on one dummy output per monitor of the layout and switches off the
# rest, in one request, so that no step in between has to make sense.
layout_screens() {
    local d=$1 i=0 m size pos args=()
    for m in $layout; do
        size=${m%%+*}
        pos=${m#*+}
        xrandr -display "$d" --newmode "pm$size" $(mode_line "$size") 2>/dev/null || true
        xrandr -display "$d" --addmode "DUMMY$i" "pm$size" 2>/dev/null || true
        args+=(--output "DUMMY$i" --mode "pm$size" --pos "${pos/+/x}")
        i=$((i + 1))
    done
    while [ $i -lt 16 ]; do
        args+=(--output "DUMMY$i" --off)
        i=$((i + 1))
    done
    xrandr -display "$d" "${args[@]}"
    # A full query makes the server poll its outputs again; until then
    # programs that ask for the current resources (Qt does) see only the
    # first monitor.
    xrandr -display "$d" --query >/dev/null
}

# A 60 Hz mode line for WxH (timings need only be plausible for the dummy driver).
mode_line() {
    local w=${1%x*} h=${1#*x}
    echo "$(( (w + 160) * (h + 30) * 60 / 1000000 )) $w $((w + 48)) $((w + 80)) $((w + 160)) $h $((h + 3)) $((h + 10)) $((h + 30)) +hsync -vsync"
}

case "$cmd" in
start) start ;;
stop) stop ;;
*) echo "usage: virtual-desktop.sh start|stop DIR [LAYOUT]" >&2; exit 2 ;;
esac
