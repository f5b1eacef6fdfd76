#!/usr/bin/env bash
# meterdesk-log convert of 1,000,000 rows (varied times and values), text to
# XML and back, each timed against cat reading both files (warm cache, to
# /dev/null). Goal: each direction within 4x of cat. A convert saves safely,
# flushing its file to the disk, which cat does not: its processor time
# (user + system) is printed beside the wall time, and FOLDER on a tmpfs
# (/dev/shm) leaves the disk out.
# Usage: bench/convert_ratio.sh [RUNS] [BUILD_DIR] [FOLDER]
#        (defaults: 5, build/default, a new folder under $TMPDIR or /tmp)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${2:-build/default}
logger="$build/app/meterdesk-log"
dir=$(mktemp -d "${3:-${TMPDIR:-/tmp}}/md_convert.XXXXXX")
trap 'rm -rf "$dir"' EXIT

# A day's log: a reading every half second, values wandering over four
# digits with the range and unit stepping now and then.
awk 'BEGIN {
    printf "No.\tTime\tDC/AC\tValue\tUnit\tAuto\r\n";
    split("V mV k* M* nF", units, " ");
    for (i = 1; i <= 1000000; i++) {
        s = (28800 + int(i / 2)) % 86400;
        v = 3.3 * sin(i / 5000.0) + (i % 37) / 1000.0;
        printf "%d\t%02d:%02d:%02d\t%s\t%.4f\t%s\t%s\r\n", i, s / 3600, s / 60 % 60, s % 60,
               (int(i / 70000) % 3 == 2) ? "AC" : "DC", v, units[int(i / 50000) % 5 + 1],
               (int(i / 30000) % 4 == 3) ? "MANU" : "AUTO";
    }
}' >"$dir/log.txt"
"$logger" convert "$dir/log.txt" "$dir/log.xml"

# Wall, user and system seconds of one command.
timed() {
    local TIMEFORMAT="%R %U %S"
    { time "$@" >/dev/null; } 2>&1
}

results=()
for ((run = 1; run <= runs; run++)); do
    read -r cat _ _ <<<"$(timed cat "$dir/log.txt" "$dir/log.xml")"
    # Each convert writes a new file: replacing the last run's output would
    # add the release of its pages (5 ms for 106 MB on a tmpfs), which
    # neither the convert nor cat is about.
    rm -f "$dir/out.xml" "$dir/out.txt"
    read -r toXml xu xs <<<"$(timed "$logger" convert "$dir/log.txt" "$dir/out.xml")"
    read -r toText tu ts <<<"$(timed "$logger" convert "$dir/log.xml" "$dir/out.txt")"
    cmp -s "$dir/out.xml" "$dir/log.xml" && cmp -s "$dir/out.txt" "$dir/log.txt" ||
        { echo "convert changed the bytes" >&2; exit 1; }
    line=$(awk -v c="$cat" -v x="$toXml" -v t="$toText" -v xc="$xu+$xs" -v tc="$tu+$ts" \
        'BEGIN { split(xc, a, "+"); split(tc, b, "+"); xcpu = a[1] + a[2]; tcpu = b[1] + b[2];
                 printf "%.3f %.3f %.3f %.2f %.2f %.3f %.3f", c, x, t, x / c, t / c, xcpu, tcpu }')
    results+=("$line")
    read -r c x t rx rt xcpu tcpu <<<"$line"
    echo "run $run: cat $c s; text->xml $x s (${rx}x, cpu $xcpu s); xml->text $t s (${rt}x, cpu $tcpu s)"
done
printf '%s\n' "${results[@]}" | awk -v text="$(stat -c %s "$dir/log.txt")" \
    -v xml="$(stat -c %s "$dir/log.xml")" '
    { for (k = 1; k <= 7; k++) { v[k, NR] = $k } }
    END {
        split("cat text->xml xml->text ratio-to-xml ratio-to-text cpu-to-xml cpu-to-text", name, " ");
        printf "files: text %.1f MB, xml %.1f MB\n", text / 1e6, xml / 1e6;
        for (k = 1; k <= 7; k++) {
            lo = hi = sum = v[k, 1];
            for (r = 2; r <= NR; r++) { x = v[k, r]; sum += x; if (x < lo) lo = x; if (x > hi) hi = x }
            printf "%-14s mean %.3f, min %.3f, max %.3f\n", name[k], sum / NR, lo, hi;
        }
        print "goal: each ratio (wall time against cat) <= 4";
    }'
