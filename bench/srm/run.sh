#!/usr/bin/env bash
# One overwrite pass of a large file: srm against the device's limit, in pairs.
#
#   bench/srm/run.sh [options] [build dir]        # as root for the loop cases
#     -o SRM    a second srm (one built from an older commit) in every round too
#     -p N      pairs (rounds), default 7
#     -c LIST   cases, default "loop dio disk":
#                 loop  a fresh ext4 loop volume, the loop device as made by default
#                       (its writes land in the image's page cache first)
#                 dio   the same with losetup --direct-io=on
#                 disk  the build folder's own file system
#     -s LIST   file sizes in GiB, default "1 4"
#     -S        also two synced passes (random, zeros): srm -fsz beside shred -n1 -z -u
#
# Peer: dd if=/dev/zero bs=4M oflag=direct conv=notrunc,fdatasync over the same
# file: it writes in place, as a shredder does, keeps the device busy without
# the page cache and ends with the data on the device. srm -fs does that and
# then removes the file (truncate, rename, unlink, folder syncs).
#
# srm's time includes the removal, whose freeing of the file's blocks can cost
# as much as a flush (ext4 mounted with discard); so dd's file is also removed
# after its timed run (rm, sync -f), timed apart, and srm is set beside the sum.
#
# Each round runs srm, dd (and the -o srm) one after the other, on a file
# freshly written out before each run, so both meet the same machine load;
# the per-round time ratio srm/dd is reported as a median with its range.
# CPU seconds (user + system) per GiB and pass are srm's own, all threads.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
other=
pairs=7
cases="loop dio disk"
sizes="1 4"
shredToo=0
while getopts "o:p:c:s:S" opt; do
    case $opt in
    o) other=$OPTARG ;;
    p) pairs=$OPTARG ;;
    c) cases=$OPTARG ;;
    s) sizes=$OPTARG ;;
    S) shredToo=1 ;;
    *) exit 64 ;;
    esac
done
shift $((OPTIND - 1))
build=$(cd "${1:-$here/../../build}" && pwd)
srm=$build/stage/libexec/tarnwick-vantoly/srm
[ -x "$srm" ] || { echo "no staged srm at $srm (build first)" >&2; exit 1; }
[ -z "$other" ] || [ -x "$other" ] || { echo "no srm at $other" >&2; exit 1; }

largest=0
for s in $sizes; do ((s > largest)) && largest=$s; done
work=$build/bench-srm
mkdir -p "$work"
device= image= mnt=
detach() {
    if [ -n "$mnt" ]; then umount "$mnt" 2>/dev/null || true; rmdir "$mnt" 2>/dev/null || true; mnt=; fi
    # Only the device this script attached.
    if [ -n "$device" ]; then losetup -d "$device" 2>/dev/null || true; device=; fi
    if [ -n "$image" ]; then rm -f "$image"; image=; fi
}
cleanup() { detach; rm -f "$work/victim"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

# The largest file plus room for the file system's own blocks, sparse: only
# what is written takes space. Refused when the disk cannot hold it.
attach() {
    local dio=$1 need=$(((largest + 1) * 1024 * 1024))
    local avail
    avail=$(df -k --output=avail "$work" | tail -1)
    ((avail > need + 2 * 1024 * 1024)) || { echo "not enough room in $work for a $((largest + 1)) GiB image" >&2; exit 1; }
    image=$(mktemp "$work/volume-XXXXXX.img")
    truncate -s $((largest + 1))G "$image"
    device=$(losetup --find --show --direct-io="$dio" "$image")
    mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$device"
    mnt=$(mktemp -d /tmp/tv-bench-srm-XXXXXX)
    mount "$device" "$mnt"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
range() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.2f-%.2f", lo, hi }'; }

# A fresh file of old data, written out and dropped from the cache, before every run.
prepare() {
    local file=$1 gib=$2
    rm -f "$file"
    dd if=/dev/zero of="$file" bs=4M count=$((gib * 256)) oflag=direct conv=fdatasync status=none
    sync -f "$(dirname "$file")"
}

# timed <command...>: prints "wall user+system" in seconds.
timed() {
    local t
    t=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1 ) || true
    awk '{ printf "%.3f %.3f", $1, $2 + $3 }' <<<"$t"
}

report() {  # label gib wall-array-name peer-wall-array-name cpu-array-name
    local label=$1 gib=$2
    local -n w=$3 p=$4 c=$5
    local ratios=() i
    for i in "${!w[@]}"; do ratios+=("$(awk -v a="${w[i]}" -v b="${p[i]}" 'BEGIN { printf "%.3f", a / b }')"); done
    awk -v l="$label" -v t="$(median "${w[@]}")" -v r="$(median "${ratios[@]}")" -v g="$(range "${ratios[@]}")" \
        -v c="$(median "${c[@]}")" -v gib="$gib" \
        'BEGIN { printf "  %-22s %7.2f s %6.0f MB/s  time/peer %.2f (%s)  cpu %.3f s/GiB\n", l, t, gib * 1073.741824 / t, r, g, c / gib }'
}

for place in $cases; do
    case $place in
    loop) attach off; dir=$mnt ;;
    dio) attach on; dir=$mnt ;;
    disk) dir=$work ;;
    *) echo "unknown case $place" >&2; exit 64 ;;
    esac
    fs=$(df -T "$dir" | awk 'NR==2 {print $2}')
    [ "$fs" != tmpfs ] || { echo "$dir is on tmpfs; run from a disk" >&2; exit 1; }
    file=$dir/victim
    for gib in $sizes; do
        S=() SC=() D=() DC=() O=() OC=() H=() HC=() Z=() ZC=() R=() RC=()
        for ((i = 0; i < pairs; i++)); do
            prepare "$file" "$gib"; read -r w c <<<"$(timed "$srm" -fs "$file")"; S+=("$w"); SC+=("$c")
            [ ! -e "$file" ] || { echo "srm left $file" >&2; exit 1; }
            prepare "$file" "$gib"
            read -r w c <<<"$(timed dd if=/dev/zero of="$file" bs=4M count=$((gib * 256)) oflag=direct conv=notrunc,fdatasync status=none)"
            D+=("$w"); DC+=("$c")
            read -r w c <<<"$(timed bash -c 'rm -f "$1" && sync -f "$2"' - "$file" "$dir")"
            R+=("$(awk -v a="${D[i]}" -v b="$w" 'BEGIN { printf "%.3f", a + b }')"); RC+=("$c")
            if [ -n "$other" ]; then
                prepare "$file" "$gib"; read -r w c <<<"$(timed "$other" -fs "$file")"; O+=("$w"); OC+=("$c")
            fi
            if [ "$shredToo" = 1 ]; then
                prepare "$file" "$gib"; read -r w c <<<"$(timed "$srm" -fsz "$file")"; Z+=("$w"); ZC+=("$c")
                prepare "$file" "$gib"; read -r w c <<<"$(timed shred -n1 -z -u "$file")"; H+=("$w"); HC+=("$c")
            fi
            echo "  $place $gib GiB round $((i + 1)): srm ${S[i]} s, dd ${D[i]} s${other:+, other ${O[i]} s}" >&2
        done
        rm -f "$file"
        echo "$place ($fs), $gib GiB, one pass, $pairs pairs (medians; ratio range over the pairs):"
        report "srm -fs" "$gib" S D SC
        report "dd oflag=direct" "$gib" D D DC
        echo "  beside dd, then rm and sync -f (the removal timed apart, added):"
        report "srm -fs" "$gib" S R SC
        [ -z "$other" ] || report "other srm -fs" "$gib" O D OC
        if [ "$shredToo" = 1 ]; then
            echo "  two passes (random, zeros):"
            report "srm -fsz" "$((2 * gib))" Z H ZC
            report "shred -n1 -z -u" "$((2 * gib))" H H HC
        fi
    done
    detach
done
echo "targets: srm time/peer <= 1.00 for one pass; cpu <= 0.25 s per GiB and pass; srm -fsz time/shred <= 1.00"
