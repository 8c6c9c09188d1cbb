#!/usr/bin/env bash
# Trees of small files: srm against its peers, side by side on one file system.
#
#   bench/srm/tree.sh [options] [files...]        # files: tree sizes, default 2000 10000;
#                                                 # "mixed" for the mixed tree below
#     -b DIR     build folder (default: build); its staged srm is measured
#     -p N       files to a folder (default 500)
#     -o SRM     a second srm to measure beside it (e.g. one built from an older commit)
#     -d DIR     the folder to work in (default: DIR/bench-srm-tree in the build folder)
#     -l         as root: work on a fresh loop ext4 volume (4 GiB, sparse), made and removed here
#     -r N       rounds (default 7); medians and the range of the per-round ratios are reported
#     -x CMD     an extra peer, run as: CMD tree-folder (e.g. "srm -rs" from elsewhere)
#     -n         leave the shredder out (it syncs every file: minutes on a loop volume)
#
# Every run gets the same fresh tree: 4 KiB files of old data, N to a folder,
# written out before the clock starts. The mixed tree: 5,000 files of 1 KiB to
# 200 KiB in folders of 1 to 300 files, two levels deep, and two large files
# (16 and 64 MiB). Each round runs every tool once, one after the other, so all
# meet the same machine load. Peers:
#   srm -rs                  the staged srm: one pass, the folder's files in batches
#   srm -rs (other)          the -o binary, for a before/after table
#   shred -n1 -u             through find -exec ... {} +: as many files to a
#                            process as fit, its fastest form over a tree
#   rm -rf; sync -f          no overwriting at all: the floor
# Reported: files per second and the ratios the targets are set on.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$here/../../build
other=
work=
loop=0
rounds=7
extra=
shredToo=1
perFolder=500
while getopts "b:o:d:lr:x:np:" opt; do
    case $opt in
    b) build=$OPTARG ;;
    o) other=$OPTARG ;;
    d) work=$OPTARG ;;
    l) loop=1 ;;
    r) rounds=$OPTARG ;;
    x) extra=$OPTARG ;;
    n) shredToo=0 ;;
    p) perFolder=$OPTARG ;;
    *) exit 64 ;;
    esac
done
shift $((OPTIND - 1))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(2000 10000)
srm=$build/stage/libexec/tarnwick-vantoly/srm
[ -x "$srm" ] || { echo "no staged srm at $srm (build first)" >&2; exit 1; }
[ -z "$other" ] || [ -x "$other" ] || { echo "no srm at $other" >&2; exit 1; }
work=${work:-$build/bench-srm-tree}
mkdir -p "$work"

device= image= mnt=
cleanup() {
    if [ -n "$mnt" ]; then umount "$mnt" 2>/dev/null || true; rmdir "$mnt" 2>/dev/null || true; fi
    # Only the device this script attached.
    if [ -n "$device" ]; then losetup -d "$device" 2>/dev/null || true; fi
    if [ -n "$image" ]; then rm -f "$image"; fi
    rm -rf "${work:?}/tree" "${work:?}/model"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
if [ "$loop" = 1 ]; then
    [ "$(id -u)" = 0 ] || { echo "-l needs root" >&2; exit 1; }
    image=$(mktemp "$work/volume-XXXXXX.img")
    # Room for two trees of 40,000 files (the model and its copy), inodes included.
    truncate -s 4G "$image"
    device=$(losetup --find --show "$image")
    mkfs.ext4 -q -E lazy_itable_init=0,lazy_journal_init=0 "$device"
    mnt=$(mktemp -d /tmp/tv-bench-srm-XXXXXX)
    mount "$device" "$mnt"
    place=$mnt
else
    place=$work
fi
fs=$(df -T "$place" | awk 'NR==2 {print $2}')
[ "$fs" != tmpfs ] || { echo "$place is on tmpfs; run from a disk" >&2; exit 1; }

now() { date +%s.%N; }

# The model tree is made once per size; each run gets a copy, on the disk.
model() {
    local n=$1 content
    rm -rf "$place/model"
    mkdir -p "$place/model"
    content=$(head -c 3072 /dev/urandom | base64 -w0 | head -c 4096)
    if [ "$n" = mixed ]; then
        mixed "$content"
        return
    fi
    for ((i = 0; i < n; i++)); do
        ((i % perFolder == 0)) && mkdir -p "$place/model/d$((i / perFolder))"
        printf '%s' "$content" >"$place/model/d$((i / perFolder))/f$i"
    done
}
mixedFiles=5002
mixed() {
    local content=$1 sizes=(1024 4096 4096 32768 204800) counts=(1 7 40 300 12 90) i=0 folder=0 k dir
    head -c $((1 << 20)) /dev/urandom >"$place/model.chunk"
    while ((i < mixedFiles - 2)); do
        k=${counts[folder % ${#counts[@]}]}
        dir=$place/model/g$((folder / 10))/d$folder
        mkdir -p "$dir"
        for ((j = 0; j < k && i < mixedFiles - 2; j++, i++)); do
            head -c "${sizes[i % ${#sizes[@]}]}" "$place/model.chunk" >"$dir/f$i"
        done
        folder=$((folder + 1))
    done
    for mib in 16 64; do
        for ((j = 0; j < mib; j++)); do cat "$place/model.chunk"; done >"$place/model/large$mib"
    done
    rm -f "$place/model.chunk"
}
fresh() {
    rm -rf "$place/tree"
    cp -a "$place/model" "$place/tree"
    sync -f "$place"
}

# time_of <command...>: seconds taken, the tree must be gone afterwards.
time_of() {
    local t0 t1
    t0=$(now)
    "$@" >/dev/null 2>&1 || true
    t1=$(now)
    [ ! -e "$place/tree" ] || { echo "tree left behind by: $*" >&2; exit 1; }
    awk -v a="$t0" -v z="$t1" 'BEGIN { printf "%.3f", z - a }'
}
rm_sync() { rm -rf "$1" && sync -f "$place"; }
shred_all() { find "$1" -type f -exec shred -n1 -u {} + && rm -rf "$1"; }

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
range() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.2f-%.2f", lo, hi }'; }
range3() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.3f-%.3f", lo, hi }'; }
load() { uptime | sed 's/.*load average: //'; }
# ratios <numerator array> <denominator array>: the per-round quotients.
ratios() {
    local -n a=$1 b=$2
    local i
    for i in "${!a[@]}"; do awk -v x="${a[i]}" -v y="${b[i]}" 'BEGIN { printf "%.4f\n", x / y }'; done
}

echo "file system: $fs ($place), rounds: $rounds, files of 4 KiB, $perFolder to a folder"
echo "load average (1, 5, 15 min) at the start: $(load); $(nproc) cores"
for shape in "${sizes[@]}"; do
    model "$shape"
    n=$shape
    [ "$shape" != mixed ] || n=$mixedFiles
    declare -a S=() O=() H=() R=() X=()
    for ((i = 0; i < rounds; i++)); do
        fresh; S+=("$(time_of "$srm" -rs "$place/tree")")
        if [ -n "$other" ]; then fresh; O+=("$(time_of "$other" -rs "$place/tree")"); fi
        if [ "$shredToo" = 1 ]; then fresh; H+=("$(time_of shred_all "$place/tree")"); else H+=(0); fi
        fresh; R+=("$(time_of rm_sync "$place/tree")")
        # shellcheck disable=SC2086
        if [ -n "$extra" ]; then fresh; X+=("$(time_of $extra "$place/tree")"); fi
        echo "  $n files, round $((i + 1)): srm ${S[i]} s${other:+, other ${O[i]} s}, shred ${H[i]} s, rm+sync ${R[i]} s${extra:+, extra ${X[i]} s}"
    done
    s=$(median "${S[@]}"); h=$(median "${H[@]}"); r=$(median "${R[@]}")
    label="$n files, $perFolder to a folder"
    [ "$shape" != mixed ] || label="the mixed tree ($n files)"
    echo "$label (median seconds, files/s, range of the seconds), load now $(load):"
    awk -v n="$n" -v t="$s" -v g="$(range3 "${S[@]}")" 'BEGIN { printf "  srm -rs                   %8.3f  %8.0f  (%s)\n", t, n / t, g }'
    if [ -n "$other" ]; then
        o=$(median "${O[@]}")
        awk -v n="$n" -v t="$o" 'BEGIN { printf "  srm -rs (other)           %8.3f  %8.0f\n", t, n / t }'
    fi
    [ "$shredToo" = 0 ] || awk -v n="$n" -v t="$h" 'BEGIN { printf "  shred -n1 -u (-exec +)    %8.3f  %8.0f\n", t, n / t }'
    awk -v n="$n" -v t="$r" -v g="$(range3 "${R[@]}")" 'BEGIN { printf "  rm -rf; sync -f           %8.3f  %8.0f  (%s)\n", t, n / t, g }'
    if [ -n "$extra" ]; then
        x=$(median "${X[@]}")
        awk -v n="$n" -v t="$x" 'BEGIN { printf "  extra peer                %8.3f  %8.0f\n", t, n / t }'
    fi
    mapfile -t hs < <(ratios H S); mapfile -t rs < <(ratios R S); mapfile -t sr < <(ratios S R)
    [ "$shredToo" = 0 ] || echo "  srm speed / shred           = $(median "${hs[@]}") ($(range "${hs[@]}")) (target >= 5)"
    echo "  srm speed / rm -rf + sync   = $(median "${rs[@]}") ($(range "${rs[@]}")) (target >= 0.10)"
    echo "  srm time / rm -rf + sync    = $(median "${sr[@]}") ($(range "${sr[@]}")) (goal <= 3.0 at 100 to a folder)"
    if [ -n "$other" ]; then
        mapfile -t os < <(ratios O S)
        echo "  srm speed / other srm       = $(median "${os[@]}") ($(range "${os[@]}"))"
    fi
done
