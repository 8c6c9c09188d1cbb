#!/bin/bash
# Free-space fill against dd writing zeros to a file on the same volume until
# it is full (4 MiB direct writes, then one flush), in pairs on a fresh loop
# volume per file system; the median of the per-pair time ratios and its range.
# Run as root:
#   bench/wipe-fill/run.sh [-o other-fill-bench] [-p pairs] [-m MiB] [-f "ext4 exfat"] [build dir]
# -o runs a second tv_fill_bench (one built from an older commit) in every pair too.
set -u
pairs=7
mib=1024
other=
systems="ext4 exfat"
while getopts "o:p:m:f:" opt; do
    case $opt in
    o) other=$OPTARG ;;
    p) pairs=$OPTARG ;;
    m) mib=$OPTARG ;;
    f) systems=$OPTARG ;;
    *) exit 64 ;;
    esac
done
shift $((OPTIND - 1))
build=${1:-build}
fill="$build/bench/wipe-fill/tv_fill_bench"
[ "$(id -u)" = 0 ] || { echo "run as root" >&2; exit 1; }
[ -x "$fill" ] || { echo "build tv_fill_bench first ($fill)" >&2; exit 1; }
[ -z "$other" ] || [ -x "$other" ] || { echo "no fill bench at $other" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/var/tmp}/tv-fill-bench-XXXXXX")
avail=$(df -k --output=avail "$work" | tail -1)
((avail > (mib + 1024) * 1024)) || { echo "not enough room in $work for a $mib MiB image" >&2; rm -rf "$work"; exit 1; }
dev=""
mnt="$work/mnt"
mkdir -p "$mnt"
cleanup() {
    mountpoint -q "$mnt" && umount "$mnt"
    # Only the device this script attached.
    [ -n "$dev" ] && losetup -d "$dev"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
range() { sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.2f-%.2f", lo, hi }'; }

mount_fs() {  # type
    case $1 in
        ext4) mount "$dev" "$mnt" ;;
        exfat) mount -t exfat "$dev" "$mnt" 2>/dev/null || mount.exfat-fuse "$dev" "$mnt" ;;
    esac
}

# dd to full, then one flush: the fill ends with its data on the device
# (fdatasync, syncfs), so dd's time includes putting its data there too. The
# flush is an fdatasync of dd's file: a FUSE driver may take a syncfs of the
# volume as a no-op, and then dd's data would still be in its caches.
dd_full() {
    local start end
    start=$(date +%s.%N)
    # dd ends with "No space left on device": that is the point.
    if dd if=/dev/zero of="$mnt/dd.fill" bs=4M oflag=direct status=none 2>"$work/dd.err" ||
       grep -q "No space" "$work/dd.err"; then
        sync -d "$mnt/dd.fill"
        sync -f "$mnt"
    else
        # A driver without direct I/O: the same, buffered, synced at the end.
        rm -f "$mnt/dd.fill"
        start=$(date +%s.%N)
        dd if=/dev/zero of="$mnt/dd.fill" bs=4M conv=fdatasync status=none 2>/dev/null
        sync -f "$mnt"
    fi
    end=$(date +%s.%N)
    rm -f "$mnt/dd.fill"; sync -f "$mnt"
    awk -v a="$start" -v b="$end" 'BEGIN {print b - a}'
}

run_fill() {  # binary
    local out
    out=$("$1" "$dev" "$mnt") || { echo "$fs: fill failed" >&2; exit 1; }
    echo "${out%% *}"
}

for fs in $systems; do
    truncate -s "${mib}M" "$work/image"
    dev=$(losetup -f --show "$work/image")
    case $fs in
        # No background zeroing of inode tables during the timed runs.
        ext4) mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$dev" ;;
        exfat) mkfs.exfat "$dev" >/dev/null ;;
    esac
    mount_fs "$fs" || { echo "$fs: cannot mount" >&2; exit 1; }
    driver=$(awk -v m="$mnt" '$5 == m {for (i = 7; $i != "-"; i++); print $(i+1)}' /proc/self/mountinfo)
    # Once untimed, so the sparse image is allocated before either side is timed.
    dd_full >/dev/null
    fills=(); dds=(); others=(); ratios=(); otherRatios=()
    for ((r = 0; r < pairs; r++)); do
        f=$(run_fill "$fill")
        d=$(dd_full)
        fills+=("$f"); dds+=("$d")
        ratios+=("$(awk -v a="$f" -v b="$d" 'BEGIN {print a / b}')")
        if [ -n "$other" ]; then
            o=$(run_fill "$other")
            others+=("$o")
            otherRatios+=("$(awk -v a="$o" -v b="$d" 'BEGIN {print a / b}')")
        fi
        echo "  $fs pair $((r + 1)): fill $f s, dd $d s${other:+, other fill $o s}" >&2
    done
    printf '%-6s %-10s fill %6.2f s   dd %6.2f s   fill/dd %.2f (%s)\n' "$fs" "$driver" \
        "$(printf '%s\n' "${fills[@]}" | median)" "$(printf '%s\n' "${dds[@]}" | median)" \
        "$(printf '%s\n' "${ratios[@]}" | median)" "$(printf '%s\n' "${ratios[@]}" | range)"
    if [ -n "$other" ]; then
        printf '%-6s %-10s other fill %6.2f s   other/dd %.2f (%s)\n' "$fs" "$driver" \
            "$(printf '%s\n' "${others[@]}" | median)" "$(printf '%s\n' "${otherRatios[@]}" | median)" \
            "$(printf '%s\n' "${otherRatios[@]}" | range)"
    fi
    umount "$mnt"; losetup -d "$dev"; dev=""; rm -f "$work/image"
done
echo "target: fill/dd <= 1.10 on ext4 and ExFAT"
