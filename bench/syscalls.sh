#!/usr/bin/env bash
# The system calls of a rerun over a site that already holds its bytes: each
# unchanged page may cost at most four (open beneath the folder, fstat, one
# read, close). Counted with strace as the difference between two reruns of
# N and 2N pages, so that what every run does once (start, the template)
# drops out; what grows with the data besides the pages (reading the CSV
# file, comparing _db.html, memory) adds a few hundredths, so a page costs
# the whole number nearest to the quotient.
#
#   bench/syscalls.sh BUILD [N]     exit 1 when a page costs more than four
set -euo pipefail
build=${1:?build folder}
n=${2:-1000}
quolix=$build/quolix
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

calls() {  # pages -> system calls of the rerun
    local count=$1 dir=$work/$1
    mkdir -p "$dir/out"
    python3 "$here/gen_data.py" shop "$dir" "$count" >/dev/null
    python3 "$here/gen_data.py" cfg "$dir/site.cfg" "$dir/shop-$count.csv" "$dir/shop.html" \
        "$dir/out" "$count" >/dev/null
    "$quolix" --batch "$dir/site.cfg" 2>/dev/null
    strace -f -c -o "$dir/strace" "$quolix" --batch "$dir/site.cfg" 2>/dev/null
    awk '$NF == "total" { print $4 }' "$dir/strace"  # % time, seconds, usecs/call, calls
}

a=$(calls "$n")
b=$(calls $((2 * n)))
per=$(awk -v a="$a" -v b="$b" -v n="$n" 'BEGIN { printf "%.2f", (b - a) / n }')
echo "rerun, nothing changed: $a system calls for $n pages, $b for $((2 * n)): $per per page"
awk -v p="$per" 'BEGIN { exit !(p < 4.5) }' || { echo "more than 4 system calls per unchanged page"; exit 1; }
