#!/usr/bin/env bash
# Overwrite throughput of srm against its peers, side by side on one file system.
#
#   bench/srm/run.sh [build dir] [rounds] [MiB]
#
# srm -fsvrz and shred -n1 -z -u both write the file twice (random, then zeros) with
# a sync after each pass; dd conv=fdatasync writes zeros once and shows what the
# device can take. Plain dd truncates first and writes into newly allocated blocks;
# dd conv=notrunc overwrites in place, the same work as a shredder does. The file lives in the build folder, on the work tree's disk, never
# on tmpfs, where there would be no device to measure.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
rounds=${2:-3}
mib=${3:-1024}
srm=$build/stage/libexec/tarnwick-vantoly/srm
[ -x "$srm" ] || { echo "no staged srm at $srm (build first)" >&2; exit 1; }

work=$build/bench-srm
mkdir -p "$work"
file=$work/victim
trap 'rm -f "$file"' EXIT
fs=$(df -T "$work" | awk 'NR==2 {print $2}')
[ "$fs" != tmpfs ] || { echo "$work is on tmpfs; run from a disk" >&2; exit 1; }

now() { date +%s.%N; }

# A fresh file of old data, on the disk, before every timed run.
prepare() {
    rm -f "$file"
    dd if=/dev/urandom of="$file" bs=1M count="$mib" conv=fdatasync status=none
}

# run <label> <bytes written> <command...>: prints MB/s (10^6 bytes per second).
run() {
    local bytes=$1; shift
    local t0 t1
    t0=$(now)
    "$@" >/dev/null
    t1=$(now)
    awk -v b="$bytes" -v a="$t0" -v z="$t1" 'BEGIN { printf "%.1f", b / (z - a) / 1e6 }'
}

bytes=$((mib * 1024 * 1024))
declare -a S H D N
for ((i = 0; i < rounds; i++)); do
    prepare; S+=("$(run $((2 * bytes)) "$srm" -fsvrz "$file")")
    prepare; H+=("$(run $((2 * bytes)) shred -n1 -z -u "$file")")
    prepare; D+=("$(run "$bytes" dd if=/dev/zero of="$file" bs=1M count="$mib" conv=fdatasync status=none)")
    prepare; N+=("$(run "$bytes" dd if=/dev/zero of="$file" bs=1M count="$mib" conv=notrunc,fdatasync status=none)")
    echo "round $((i + 1)): srm ${S[i]}, shred ${H[i]}, dd ${D[i]}, dd notrunc ${N[i]} MB/s"
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
s=$(median "${S[@]}"); h=$(median "${H[@]}"); d=$(median "${D[@]}"); n=$(median "${N[@]}")
echo
echo "file system: $fs, file: $mib MiB, rounds: $rounds (medians, MB/s of bytes written)"
echo "  srm -fsvrz          $s"
echo "  shred -n1 -z -u     $h"
echo "  dd conv=fdatasync   $d"
echo "  dd conv=notrunc,fdatasync $n"
awk -v s="$s" -v h="$h" -v d="$d" -v n="$n" 'BEGIN {
    printf "  srm / shred      = %.2f (target >= 1.00)\n", s / h
    printf "  dd / srm         = %.2f (target <= 2.00)\n", d / s
    printf "  dd notrunc / srm = %.2f (target <= 2.00)\n", n / s
}'
