#!/bin/sh
# A batch run over a generated table of 32000 records (the most a CSV source
# may hold) under valgrind memcheck. Fails on any memory error and on any
# definite or indirect leak; possible and still-reachable blocks (the
# toolkit's own caches at exit) are not counted.
#
#   tests/memcheck.sh                  uses build/quolix
#   QUOLIX=path/to/quolix tests/memcheck.sh
#   RECORDS=2000 tests/memcheck.sh     a smaller table, for a quick look
#
# `make memcheck` builds the program and runs this.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
quolix=$(cd "$(dirname "${QUOLIX:-build/quolix}")" && pwd)/$(basename "${QUOLIX:-build/quolix}")
records=${RECORDS:-32000}
suppressions=$here/memcheck.supp

if ! command -v valgrind >/dev/null 2>&1; then
    echo "memcheck: valgrind is not installed (make memcheck installs it)" >&2
    exit 2
fi
if [ ! -x "$quolix" ]; then
    echo "memcheck: no program at $quolix (build it first)" >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quolix-memcheck.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/out"

# The table: a header and records-1 records, in code page 932 with CR LF.
# Values include Japanese text, quoted fields with commas, doubled quotes
# and line feeds (some of them written as backslash CR LF), empty fields.
awk -v records="$records" 'BEGIN {
    printf "id,title,author,note,shelf,price\r\n"
    for (i = 1; i < records; i++) {
        printf "%d,\226\173%d,\"Author, %d\",", i, i, i % 97
        printf "\"said \"\"hi\"\"%sline two\",", (i % 7 == 0 ? "\\\r\n" : "\n")
        printf "%s,%d\r\n", (i % 5 == 0 ? "" : "s" (i % 13)), i * 10
    }
}' >"$work/table.csv"

printf '<html>\r\n<h1>[title]</h1><p>[author]</p><p>[note]</p><p>[shelf] [price] [missing]\r\n</html>\r\n' \
    >"$work/page.html"

# Every record but the header, pages named by record number; the index
# and the dump too.
{
    printf ' FileName:site.cfg\r\n      CSV:table.csv\r\n     HTML:page.html\r\n      Out:out\r\n'
    printf '   Prefix:\r\n  ruleNum:0\r\n fieldNum:-1\r\n   extNum:0\r\n    start:1\r\n'
    printf '    digit:5\r\n   repeat:1\r\nprefixChk:0\r\n   fixChk:0\r\nrepeatChk:0\r\n'
    printf 'createChk:1\r\n  autoChk:0\r\n csvCount:%d\r\n SelItems:' "$records"
    awk -v records="$records" 'BEGIN { for (i = 1; i < records; i++) printf "%s%d", (i > 1 ? "," : ""), i }'
    printf '\r\n'
} >"$work/site.cfg"

supp_option=""
[ -f "$suppressions" ] && supp_option="--suppressions=$suppressions"

echo "memcheck: $records records, $quolix"
status=0
(
    cd "$work"
    # shellcheck disable=SC2086
    valgrind --tool=memcheck --error-exitcode=1 --leak-check=full \
        --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
        --num-callers=40 $supp_option --log-file="$work/valgrind.log" \
        "$quolix" --batch site.cfg
) 2>"$work/stderr.txt" || status=$?

pages=$(find "$work/out" -type f | wc -l)
expected=$((records - 1 + 2))
echo "memcheck: quolix said: $(tail -n 1 "$work/stderr.txt")"
echo "memcheck: $pages files written ($expected expected)"
grep -E 'ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable|suppressed:' \
    "$work/valgrind.log" | sed 's/^==[0-9]*== */memcheck: /'

failed=0
if [ "$status" -ne 0 ]; then
    echo "memcheck: exit status $status"
    failed=1
fi
if ! grep -q 'ERROR SUMMARY: 0 errors' "$work/valgrind.log"; then
    failed=1
fi
if [ "$pages" -ne "$expected" ]; then
    failed=1
fi
if [ "$failed" -ne 0 ]; then
    echo "memcheck: FAILED; the full report:"
    cat "$work/valgrind.log"
    cat "$work/stderr.txt"
    exit 1
fi
echo "memcheck: clean"
