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
rounds=${2:-5}
count=16
[ "$(id -u)" = 0 ] || { echo "run as root: loop devices are needed" >&2; exit 1; }
[ -x "$tool" ] || { echo "no diskutil at $tool: build first" >&2; exit 1; }

work=$(mktemp -d /tmp/tv-bench-diskutil-XXXXXX)
devices=()
cleanup() {
    for d in "${devices[@]}"; do losetup -d "$d" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

for i in $(seq 1 $count); do
    truncate -s 32M "$work/$i.img"
    d=$(losetup --find --show "$work/$i.img")
    devices+=("$d")
    mkfs.ext4 -q -F -L "BENCH$i" "$d"
done

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

scan() {
    "$tool" --show-loop-as-usb list -plist >/dev/null
    for d in "${devices[@]}"; do "$tool" --show-loop-as-usb info -plist "$d" >/dev/null; done
}
info_one() { "$tool" --show-loop-as-usb info -plist "${devices[0]}" >/dev/null; }
lsblk_once() { lsblk -J -O >/dev/null; }
lsblk_same_count() { for _ in $(seq 0 $count); do lsblk -J -O >/dev/null; done; }

measure() {
    local fn=$1
    "$fn"  # warm the caches
    for _ in $(seq 1 "$rounds"); do
        local start; start=$(now_ms)
        "$fn"
        echo $(( $(now_ms) - start ))
    done | median
}

t_scan=$(measure scan)
t_info=$(measure info_one)
t_once=$(measure lsblk_once)
t_same=$(measure lsblk_same_count)
echo "volumes:                                   $count"
echo "diskutil list + $count x info (median):      ${t_scan} ms   (target < 1000 ms)"
echo "diskutil info, one volume (median):        ${t_info} ms"
echo "lsblk -J -O once (median):                 ${t_once} ms"
echo "lsblk -J -O x $((count + 1)) (median):               ${t_same} ms"
awk -v a="$t_scan" -v b="$t_same" 'BEGIN { if (b > 0) printf "ratio diskutil scan / lsblk same count:    %.2f   (target <= 2)\n", a / b }'
