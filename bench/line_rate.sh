#!/usr/bin/env bash
# The meter's full line rate through a real pseudo-terminal into the window:
# every frame must be decoded, and the program's CPU is printed.
# Usage: bench/line_rate.sh [--stream counting|wander|changing] [--x11] [--no-journal]
#                           [SECONDS] [BUILD_DIR]     (defaults: counting, 60, build/default)
#   counting  DC volts counting -4000..3999 one by one (frames lost are counted)
#   wander    DC volts on auto range wandering, stepping range now and then
#   changing  counting, with another function and range every frame
#   --x11     a real X server: a private Xvfb (else the offscreen platform)
#   --no-journal  the window without its journal (the program always keeps one)
set -euo pipefail
cd "$(dirname "$0")/.."
stream=counting
x11=false
journal=journal
while [[ $# -gt 0 && $1 == --* ]]; do
    case $1 in
    --stream) stream=$2; shift 2 ;;
    --x11) x11=true; shift ;;
    --no-journal) journal=no-journal; shift ;;
    *) echo "line_rate.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
seconds=${1:-60}
build=${2:-build/default}
case $stream in
counting) scenario=line-rate numbering=numbered ;;
wander) scenario=line-rate-wander numbering=unnumbered ;;
changing) scenario=line-rate-changing numbering=numbered ;;
*) echo "line_rate.sh: unknown stream $stream" >&2; exit 2 ;;
esac

pids=()
fifo=$(mktemp -u)
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -f "$fifo"' EXIT
if $x11; then
    command -v Xvfb >/dev/null || { echo "line_rate.sh: --x11 needs Xvfb (apt-get install xvfb)" >&2; exit 2; }
    # -displayfd picks a free display number and reports it when the server is up.
    displayfd=$(mktemp -u)
    mkfifo "$displayfd"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfd" 2>/tmp/line_rate_xvfb.txt &
    pids+=($!)
    read -r display <"$displayfd"
    rm -f "$displayfd"
    export DISPLAY=:$display QT_QPA_PLATFORM=xcb
    echo "Xvfb on $DISPLAY"
else
    export QT_QPA_PLATFORM=offscreen
fi

mkfifo "$fifo"
"$build/sim/meterdesk-sim" --scenario "$scenario" --duration $((seconds + 5)) >"$fifo" 2>/tmp/line_rate_sim.txt &
pids+=($!)
read -r device <"$fifo"
echo "virtual meter ($scenario) at 19200 baud on $device"
"$build/bench/line_rate_bench" "$device" "$seconds" "$numbering" "$journal"
