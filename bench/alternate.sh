#!/usr/bin/env bash
# Quolix and the floor alternated directly on an empty memory file system:
# the fair figure for the wide table, whose floor slows down once the file
# system holds earlier runs' output (docs/performance.md).
#
#   bench/alternate.sh [--rerun] CSV TEMPLATE RECORDS RUNS [BUILD]
#
#   bench/alternate.sh build-bench/bench-data/wide-2000-500.csv \
#       build-bench/bench-data/wide-500.html 2000 10
#
# Each run writes into fresh folders under /dev/shm (nothing is deleted
# between runs); the floor copies the first quolix run's output. With
# --rerun, quolix runs every time after the first into that first folder,
# which holds its output already, so that it writes nothing (the first pair
# is not counted). Prints each pair and the median ratio; removes everything
# at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
rerun=0
if [ "${1:-}" = --rerun ]; then
    rerun=1
    shift
fi
csv=$(realpath "$1") html=$(realpath "$2") records=$3 runs=$4 build=${5:-build-bench}
root=$(mktemp -d /dev/shm/quolix-alternate.XXXXXX)
trap 'rm -rf "$root"' EXIT
ratios=()
for i in $(seq 1 $((runs + rerun))); do
    q=$i
    [ "$rerun" = 1 ] && q=1
    mkdir -p "$root/q$q" "$root/f$i"
    python3 -c "import sys; sys.path.insert(0, 'bench'); import gen_data; \
gen_data.write_settings('$root/q$q.cfg', '$csv', '$html', '$root/q$q', $records)"
    start=$(date +%s%N)
    "$build/quolix" --batch "$root/q$q.cfg" 2>/dev/null
    end=$(date +%s%N)
    quolix=$(echo "scale=6; ($end - $start) / 1000000000" | bc)
    floor=$("$build/bench/quolix_floor" "$root/q1" "$root/f$i" | sed 's/.*write_seconds=//')
    ratio=$(echo "scale=2; $quolix / $floor" | bc)
    if [ "$rerun" = 1 ] && [ "$i" = 1 ]; then
        echo "quolix $quolix s  floor $floor s  (the site the reruns find; not counted)"
        continue
    fi
    ratios+=("$ratio")
    echo "quolix $quolix s  floor $floor s  ratio $ratio"
done
printf '%s\n' "${ratios[@]}" | sort -n | awk '{a[NR]=$1} END {
    m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2
    printf "median ratio %.2f (%s to %s)\n", m, a[1], a[NR] }'
