#!/usr/bin/env bash
# The meter's full line rate through a real pseudo-terminal into the window
# (offscreen): every frame must be decoded, and the program's CPU is printed.
# Usage: bench/line_rate.sh [SECONDS] [BUILD_DIR]   (defaults: 60, build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${2:-build/default}
export QT_QPA_PLATFORM=offscreen

fifo=$(mktemp -u)
mkfifo "$fifo"
"$build/sim/meterdesk-sim" --scenario line-rate --duration $((seconds + 5)) >"$fifo" 2>/tmp/line_rate_sim.txt &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r device <"$fifo"
echo "virtual meter at 19200 baud on $device"
"$build/bench/line_rate_bench" "$device" "$seconds"
