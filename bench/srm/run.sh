#!/usr/bin/env bash
# Overwrite throughput of srm against its peers, side by side on one file system.
#
#   bench/srm/run.sh [-o other-srm] [build dir] [rounds] [MiB]
#
# srm -fsvrz and shred -n1 -z -u both write the file twice (random, then zeros) with
# a sync after each pass; dd conv=fdatasync writes zeros once and shows what the
# device can take. Plain dd truncates first and writes into newly allocated blocks;
# dd conv=notrunc overwrites in place, the same work as a shredder does. The file lives in the build folder, on the work tree's disk, never
# on tmpfs, where there would be no device to measure.
#
# One pass against the device's limit: srm -fs (one random pass, synced, then
# the removal) beside dd bs=4M oflag=direct conv=notrunc,fdatasync of zeros
# over the same file, which keeps the device busy without the page cache.
# -o times a second srm (one built from an older commit) the same way.
set -euo pipefail

other=
while getopts "o:" opt; do
    case $opt in
    o) other=$OPTARG ;;
    *) exit 64 ;;
    esac
done
shift $((OPTIND - 1))
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
declare -a S H D N P Q O
for ((i = 0; i < rounds; i++)); do
    prepare; S+=("$(run $((2 * bytes)) "$srm" -fsvrz "$file")")
    prepare; H+=("$(run $((2 * bytes)) shred -n1 -z -u "$file")")
    prepare; D+=("$(run "$bytes" dd if=/dev/zero of="$file" bs=1M count="$mib" conv=fdatasync status=none)")
    prepare; N+=("$(run "$bytes" dd if=/dev/zero of="$file" bs=1M count="$mib" conv=notrunc,fdatasync status=none)")
    prepare; P+=("$(run "$bytes" "$srm" -fs "$file")")
    prepare; Q+=("$(run "$bytes" dd if=/dev/zero of="$file" bs=4M count=$((mib / 4)) oflag=direct conv=notrunc,fdatasync status=none)")
    if [ -n "$other" ]; then prepare; O+=("$(run "$bytes" "$other" -fs "$file")"); fi
    echo "round $((i + 1)): srm ${S[i]}, shred ${H[i]}, dd ${D[i]}, dd notrunc ${N[i]}," \
        "one pass: srm ${P[i]}, dd direct ${Q[i]}${other:+, other srm ${O[i]}} MB/s"
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
s=$(median "${S[@]}"); h=$(median "${H[@]}"); d=$(median "${D[@]}"); n=$(median "${N[@]}")
p=$(median "${P[@]}"); q=$(median "${Q[@]}")
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
echo "one pass (MB/s):"
echo "  srm -fs                          $p"
echo "  dd bs=4M oflag=direct notrunc    $q"
awk -v p="$p" -v q="$q" 'BEGIN { printf "  srm time / dd direct time = %.2f (target <= 1.10)\n", q / p }'
if [ -n "$other" ]; then
    o=$(median "${O[@]}")
    echo "  other srm -fs                    $o"
    awk -v p="$p" -v o="$o" -v q="$q" 'BEGIN { printf "  other srm time / dd direct time = %.2f\n", q / o }'
fi
