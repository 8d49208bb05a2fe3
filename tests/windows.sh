#!/bin/sh
# The Windows build under wine (WINEPREFIX and the like set by the caller):
# without --batch it says it has no window and ends with 1; it converts code
# page 932 as the Linux build does, unit for unit and character for
# character; it writes every bundled example's pages, workbooks' too, byte
# for byte as the Linux build does, and a rerun leaves every page alone.
#
#   tests/windows.sh WINDOWS_BUILD LINUX_BUILD
set -eu
windows=$(realpath "$1")
linux=$(realpath "$2")
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "windows.sh: $*" >&2; exit 1; }
exe="$windows/quolix.exe"

status=0
err=$(wine "$exe" 2>&1 >/dev/null) || status=$?
[ "$status" = 1 ] || fail "without --batch: exit status $status, not 1"
[ "$err" = "quolix: this build has no window (to run without one: quolix --batch FILE.cfg)" ] ||
    fail "without --batch it said: $err"

wine "$windows/quolix_cp932_table.exe" | tr -d '\r' > "$work/cp932.windows"
"$linux/quolix_cp932_table" > "$work/cp932.linux"
cmp -s "$work/cp932.windows" "$work/cp932.linux" ||
    fail "code page 932 converts otherwise: $(diff "$work/cp932.linux" "$work/cp932.windows" | head -5)"

for build in windows linux; do
    mkdir -p "$work/$build"
    cp -R "$repo/examples" "$work/$build/examples"
    (
        cd "$work/$build"
        for cfg in examples/*/*.cfg; do
            out=$(sed -n 's/^ *Out:\(.*\)\r$/\1/p' "$cfg")
            mkdir -p "$out"
            case "$build:$cfg" in
                linux:*) "$linux/quolix" --batch "$cfg" 2>/dev/null || fail "linux: quolix --batch $cfg ended with $?" ;;
                *) wine "$exe" --batch "$cfg" 2>/dev/null || fail "windows: quolix --batch $cfg ended with $?" ;;
            esac
        done
    )
done
diff -r "$work/windows/out" "$work/linux/out" >/dev/null ||
    fail "the pages differ: $(diff -rq "$work/windows/out" "$work/linux/out" | head -5)"

# A rerun finds every page holding its bytes and leaves it alone.
find "$work/windows/out" -type f -exec touch -d '2001-01-01' {} +
(
    cd "$work/windows"
    for cfg in examples/*/*.cfg; do
        wine "$exe" --batch "$cfg" 2>/dev/null || fail "windows rerun: quolix --batch $cfg ended with $?"
    done
)
touched=$(find "$work/windows/out" -type f -newermt '2001-01-02' | wc -l)
[ "$touched" = 0 ] || fail "a rerun wrote $touched pages again"
# A page whose name runs through a link to a folder (wine shows a POSIX
# link as a reparse point) is refused; nothing lands behind the link.
mkdir -p "$work/link/out" "$work/link/elsewhere"
ln -s ../elsewhere "$work/link/out/sub"
printf 'name\r\nsub/x\r\nok\r\n' > "$work/link/names.csv"
printf '[name]' > "$work/link/t.html"
printf ' FileName:site.cfg\r\n      CSV:names.csv\r\n     HTML:t.html\r\n      Out:out\r\n  ruleNum:2\r\n fieldNum:0\r\ncreateChk:0\r\n SelItems:1,2\r\n' \
    > "$work/link/site.cfg"
status=0
said=$(cd "$work/link" && wine "$exe" --batch site.cfg 2>&1 >/dev/null) || status=$?
[ "$status" = 1 ] || fail "a page through a folder link: exit status $status, not 1 ($said)"
[ -z "$(ls -A "$work/link/elsewhere")" ] || fail "a page was written through a folder link"
[ "$(cat "$work/link/out/ok.html")" = ok ] || fail "the page beside the link was not written"

# The zip, unpacked: its examples run from its folder, named with "\",
# give the pages above, and its README opens right in Notepad.
zip=$(ls "$windows"/quolix-*-windows-x64.zip)
python3 -m zipfile -e "$zip" "$work/zip"
(
    cd "$work/zip"/quolix-*-windows-x64
    for cfg in 'examples\books\books.cfg' 'examples\shop-utf8\shop.cfg' 'examples\shop-unicode\shop.cfg' \
               'examples\shop-book\shop-csv.cfg' 'examples\shop-book\shop.cfg' 'examples\shop-book\shop-ods.cfg'; do
        wine quolix.exe --batch "$cfg" 2>/dev/null || fail "zip: quolix --batch $cfg ended with $?"
    done
    diff -r out "$work/linux/out" >/dev/null || fail "the zip's examples give other pages"
    head -c 3 README.txt | od -An -tx1 | grep -q 'ef bb bf' || fail "README.txt has no byte order mark"
    [ "$(grep -c "$(printf '\r')\$" README.txt)" = "$(wc -l < README.txt)" ] || fail "README.txt is not CRLF"
)

echo "Windows build: no window said, code page 932 as on Linux," \
     "$(find "$work/linux/out" -type f | wc -l) pages the same, a rerun wrote none, the zip works"
