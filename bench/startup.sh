#!/usr/bin/env bash
# Process start to window shown, several starts in a row, under a real X
# server (a private Xvfb) unless --offscreen is given.
# Usage: bench/startup.sh [--offscreen] [RUNS] [BUILD_DIR]   (defaults: 10, build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
offscreen=false
if [[ ${1:-} == --offscreen ]]; then
    offscreen=true
    shift
fi
runs=${1:-10}
build=${2:-build/default}
xvfb=
trap '[[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null || true' EXIT
if $offscreen; then
    export QT_QPA_PLATFORM=offscreen
else
    command -v Xvfb >/dev/null || { echo "startup.sh needs Xvfb (apt-get install xvfb)" >&2; exit 2; }
    # -displayfd picks a free display number and reports it when the server is up.
    displayfd=$(mktemp -u)
    mkfifo "$displayfd"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfd" 2>/tmp/startup_xvfb.txt &
    xvfb=$!
    read -r display <"$displayfd"
    rm -f "$displayfd"
    export DISPLAY=:$display QT_QPA_PLATFORM=xcb
fi
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
# Sorted figures, then min, median and max.
summary() {
    local sorted
    sorted=$(printf '%s\n' "$@" | sort -n)
    echo "$(echo $sorted) -> min $(echo "$sorted" | head -1), median $(echo "$sorted" | sed -n "$((($# + 1) / 2))p"), max $(echo "$sorted" | tail -1)"
}
shown=() painted=() cpu=()
for ((i = 0; i < runs; ++i)); do
    out=$("$build/bench/startup_bench" 2>/dev/null)
    shown+=("$(sed -n 's/^start to window shown: \([0-9]*\) ms.*/\1/p' <<<"$out")")
    painted+=("$(sed -n 's/^start to first paint: \([0-9]*\) ms.*/\1/p' <<<"$out")")
    cpu+=("$(sed -n 's/^start to first paint: .*(cpu \([0-9]*\) ms)/\1/p' <<<"$out")")
done
echo "platform: $QT_QPA_PLATFORM, $runs starts (ms); goal: shown < 250"
echo "start to window shown: $(summary "${shown[@]}")"
echo "start to first paint:  $(summary "${painted[@]}")"
echo "cpu by first paint:    $(summary "${cpu[@]}")"
