#!/bin/bash
# Free-space fill against dd writing zeros to a file on the same volume until
# it is full (4 MiB direct writes, then a flush), side by side on a fresh
# 1 GiB loop volume per file system; medians of the rounds and their ratio.
# Run as root:  bench/wipe-fill/run.sh [build dir] [rounds]
set -u
build=${1:-build}
rounds=${2:-3}
fill="$build/bench/wipe-fill/tv_fill_bench"
[ "$(id -u)" = 0 ] || { echo "run as root" >&2; exit 1; }
[ -x "$fill" ] || { echo "build tv_fill_bench first ($fill)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/var/tmp}/tv-fill-bench-XXXXXX")
dev=""
mnt="$work/mnt"
mkdir -p "$mnt"
cleanup() {
    mountpoint -q "$mnt" && umount "$mnt"
    [ -n "$dev" ] && losetup -d "$dev"
    rm -rf "$work"
}
trap cleanup EXIT

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

mount_fs() {  # type
    case $1 in
        ext4) mount "$dev" "$mnt" ;;
        exfat) mount -t exfat "$dev" "$mnt" 2>/dev/null || mount.exfat-fuse "$dev" "$mnt" ;;
    esac
}

for fs in ext4 exfat; do
    truncate -s 1G "$work/image"
    dev=$(losetup -f --show "$work/image")
    case $fs in
        # No background zeroing of inode tables during the timed runs.
        ext4) mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$dev" ;;
        exfat) mkfs.exfat "$dev" >/dev/null ;;
    esac
    mount_fs $fs || { echo "$fs: cannot mount" >&2; exit 1; }
    driver=$(awk -v m="$mnt" '$5 == m {for (i = 7; $i != "-"; i++); print $(i+1)}' /proc/self/mountinfo)
    fills=(); dds=()
    for ((r = 0; r < rounds; r++)); do
        out=$("$fill" "$dev" "$mnt") || { echo "$fs: fill failed" >&2; exit 1; }
        fills+=("${out%% *}")
        start=$(date +%s.%N)
        # dd ends with "No space left on device": that is the point.
        # The fill ends with its data on the device (fdatasync, syncfs), so
        # dd's time includes the flush that puts its data there too.
        if dd if=/dev/zero of="$mnt/dd.fill" bs=4M oflag=direct status=none 2>"$work/dd.err" ||
           grep -q "No space" "$work/dd.err"; then
            sync -f "$mnt"
        else
            # A driver without direct I/O: the same, synced at the end.
            rm -f "$mnt/dd.fill"
            start=$(date +%s.%N)
            dd if=/dev/zero of="$mnt/dd.fill" bs=4M conv=fdatasync status=none 2>/dev/null
            sync -f "$mnt"
        fi
        end=$(date +%s.%N)
        dds+=("$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')")
        rm -f "$mnt/dd.fill"; sync -f "$mnt"
    done
    f=$(printf '%s\n' "${fills[@]}" | median)
    d=$(printf '%s\n' "${dds[@]}" | median)
    printf '%-6s %-10s fill %6.2f s   dd %6.2f s   ratio %.2f\n' "$fs" "$driver" "$f" "$d" "$(awk -v a="$f" -v b="$d" 'BEGIN {print a / b}')"
    umount "$mnt"; losetup -d "$dev"; dev=""; rm -f "$work/image"
done
