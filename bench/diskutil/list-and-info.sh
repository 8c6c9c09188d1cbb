#!/usr/bin/env bash
# How long the Disk Manager's scan takes: `diskutil list -plist` plus one
# `diskutil info -plist` per volume, for 16 loop volumes, next to `lsblk -J -O`
# (every column) run as many times as diskutil is, on the same machine.
# Targets: the scan at most 2x the lsblk runs, and under 1 s (the Disk
# Manager's throttle window) even on a busy machine.
#
# Usage (as root): bench/diskutil/list-and-info.sh [path/to/diskutil] [rounds]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
tool=${1:-$top/build/stage/libexec/tarnwick-vantoly/diskutil}
rounds=${2:-7}
[ -x "$tool" ] || { echo "no diskutil at $tool: build first" >&2; exit 1; }
. "$(dirname "$0")/loop-volumes.sh" BENCH

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
range() { sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%s-%s", lo, hi }'; }
load() { uptime | sed 's/.*load average: //'; }

scan() {
    "$tool" --show-loop-as-usb list -plist >/dev/null
    for d in "${devices[@]}"; do "$tool" --show-loop-as-usb info -plist "$d" >/dev/null; done
}
info_one() { "$tool" --show-loop-as-usb info -plist "${devices[0]}" >/dev/null; }
lsblk_once() { lsblk -J -O >/dev/null; }
lsblk_same_count() { for _ in $(seq 0 $count); do lsblk -J -O >/dev/null; done; }

# Each round times the scan and then as many lsblk runs, so both meet the
# same load; the ratio is taken per round.
declare -a T_SCAN T_SAME T_INFO T_ONCE RATIO
timed() {
    local start; start=$(now_ms)
    "$@"
    echo $(( $(now_ms) - start ))
}
scan; lsblk_same_count; info_one  # warm the caches
loadBefore=$(load)
for _ in $(seq 1 "$rounds"); do
    a=$(timed scan); b=$(timed lsblk_same_count)
    T_SCAN+=("$a"); T_SAME+=("$b")
    T_INFO+=("$(timed info_one)"); T_ONCE+=("$(timed lsblk_once)")
    RATIO+=("$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }')")
done
loadAfter=$(load)
show() { local -n v=$1; printf '%s ms (%s)' "$(printf '%s\n' "${v[@]}" | median)" "$(printf '%s\n' "${v[@]}" | range)"; }
echo "volumes: $count, rounds: $rounds; medians with their range"
echo "load average (1, 5, 15 min): before ${loadBefore}; after ${loadAfter}; $(nproc) cores"
echo "diskutil list + $count x info:        $(show T_SCAN)   (target < 1000 ms)"
echo "lsblk -J -O x $((count + 1)):              $(show T_SAME)"
echo "diskutil info, one volume:          $(show T_INFO)"
echo "lsblk -J -O once:                   $(show T_ONCE)"
echo "ratio scan / lsblk, per round:      $(printf '%s\n' "${RATIO[@]}" | median) ($(printf '%s\n' "${RATIO[@]}" | range))   (target <= 2)"
