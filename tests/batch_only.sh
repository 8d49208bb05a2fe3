#!/bin/sh
# The program built without the window: without --batch it says so and ends
# with 1; with it, it writes every bundled example's pages byte for byte as
# the full build does.
#
#   tests/batch_only.sh BATCH_ONLY_QUOLIX FULL_QUOLIX
set -eu
batch_only=$(realpath "$1")
full=$(realpath "$2")
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "batch_only.sh: $*" >&2; exit 1; }

status=0
err=$("$batch_only" 2>&1 >/dev/null) || status=$?
[ "$status" = 1 ] || fail "without --batch: exit status $status, not 1"
[ "$err" = "quolix: this build has no window (to run without one: quolix --batch FILE.cfg)" ] ||
    fail "without --batch it said: $err"

for build in batch_only full; do
    mkdir -p "$work/$build"
    cp -R "$repo/examples" "$work/$build/examples"
    (
        cd "$work/$build"
        for cfg in examples/*/*.cfg; do
            out=$(sed -n 's/^ *Out:\(.*\)\r$/\1/p' "$cfg")
            mkdir -p "$out"
            eval exe=\$$build
            "$exe" --batch "$cfg" 2>/dev/null || fail "$build: quolix --batch $cfg ended with $?"
        done
    )
done
diff -r "$work/batch_only/out" "$work/full/out" >/dev/null || fail "the pages differ"
echo "batch-only build: no window said, $(find "$work/full/out" -type f | wc -l) pages the same"
