#!/usr/bin/env bash
# `diskutil list -plist` alone, for 16 loop volumes (every block device of the
# machine is listed: 16 more than it had), next to a previous build of
# diskutil, in alternating pairs so both meet the same load.
#
# Usage (as root): bench/diskutil/list.sh <previous diskutil> [diskutil] [pairs]
# A previous build: git worktree add /tmp/prev <commit> && cmake -S /tmp/prev
# -B /tmp/prev/build -G Ninja && cmake --build /tmp/prev/build --target diskutil
# (the tool is then /tmp/prev/build/stage/libexec/tarnwick-vantoly/diskutil).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
previous=${1:?usage: list.sh <previous diskutil> [diskutil] [pairs]}
tool=${2:-$top/build/stage/libexec/tarnwick-vantoly/diskutil}
pairs=${3:-21}
for t in "$tool" "$previous"; do [ -x "$t" ] || { echo "no diskutil at $t" >&2; exit 1; }; done
. "$(dirname "$0")/loop-volumes.sh" LIST

now_us() { echo $(( $(date +%s%N) / 1000 )); }
timed() { local s; s=$(now_us); "$@" >/dev/null; echo $(( $(now_us) - s )); }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
range() { sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%s-%s", lo, hi }'; }
ms() { awk '{ printf "%.1f\n", $1 / 1000 }'; }
load() { uptime | sed 's/.*load average: //'; }

# Same output, or the comparison means nothing.
cmp -s <("$tool" list -plist) <("$previous" list -plist) || echo "note: the two builds list differently" >&2
"$tool" list -plist >/dev/null; "$previous" list -plist >/dev/null  # warm the caches
declare -a NEW OLD RATIO
loadBefore=$(load)
for p in $(seq 1 "$pairs"); do
    # The order alternates from pair to pair.
    if (( p % 2 )); then a=$(timed "$tool" list -plist); b=$(timed "$previous" list -plist)
    else b=$(timed "$previous" list -plist); a=$(timed "$tool" list -plist); fi
    NEW+=("$a"); OLD+=("$b")
    RATIO+=("$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", a / b }')")
done
loadAfter=$(load)
show() { local -n v=$1; printf '%s ms (%s)' "$(printf '%s\n' "${v[@]}" | median | ms)" "$(printf '%s\n' "${v[@]}" | ms | range)"; }
echo "block devices listed: $(lsblk -d -n | wc -l); pairs: $pairs; medians with their range"
echo "load average (1, 5, 15 min): before ${loadBefore}; after ${loadAfter}; $(nproc) cores"
echo "diskutil list -plist, this build:     $(show NEW)"
echo "diskutil list -plist, previous build: $(show OLD)"
echo "this / previous, per pair:            $(printf '%s\n' "${RATIO[@]}" | median) ($(printf '%s\n' "${RATIO[@]}" | range))"
