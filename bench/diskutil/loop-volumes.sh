# Sourced by the diskutil benches: 16 ext4 loop volumes labelled
# <prefix>1..16 in a scratch folder, their devices in `devices`, all
# detached and removed again when the bench exits.
# Usage: . loop-volumes.sh <label prefix>
[ "$(id -u)" = 0 ] || { echo "run as root: loop devices are needed" >&2; exit 1; }
count=16
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
    mkfs.ext4 -q -F -L "$1$i" "$d"
done
