#!/usr/bin/env bash
# The window on a real X server: Xvfb, Qt's xcb platform.
#
#   tests/x11_smoke.sh [BUILD]        BUILD defaults to build
#
# Opens BUILD/quolix with a settings file on its command line (the books
# example with its automatic run ticked), then checks from outside the
# program that the window is on the screen with its title, that the CSV file
# was loaded and the pages written, takes a screenshot of the X screen into
# BUILD/x11-smoke.png, checks that Escape leaves the window open, and closes
# it with its 終了 button.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
exe=$build/quolix
shot=$build/x11-smoke.png

fail() {
    echo "x11 smoke: FAIL: $*" >&2
    exit 1
}

for tool in xvfb-run Xvfb xauth xwininfo xdotool import identify iconv; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (make deps installs it)"
done
[ -x "$exe" ] || fail "$exe is not built (make build)"

# Start over inside a fresh X server of our own.
if [ -z "${QUOLIX_SMOKE_DISPLAY_READY:-}" ]; then
    export QUOLIX_SMOKE_DISPLAY_READY=1
    exec xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi
[ -n "${DISPLAY:-}" ] || fail "xvfb-run gave no DISPLAY"

work=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

show_log() {
    echo "--- quolix standard error:" >&2
    cat "$work/stderr" >&2 || true
}

# The example, with absolute paths and the automatic run ticked: opening the
# file loads the CSV and writes the pages.
cp examples/books/books.csv examples/books/book.html "$work/"
mkdir "$work/out"
sed -e "s|examples/books/|$work/|g" -e "s|out/books|$work/out|" -e "s|autoChk:0|autoChk:1|" \
    examples/books/books.cfg >"$work/smoke.cfg"
grep -q "autoChk:1" "$work/smoke.cfg" || fail "could not tick autoChk in the settings file"

title=$("$exe" --version | head -n 1)
[ -n "$title" ] || fail "$exe --version printed nothing"

QT_QPA_PLATFORM=xcb "$exe" "$work/smoke.cfg" >"$work/stdout" 2>"$work/stderr" &
pid=$!

# 1. The window is on the X server with its title.
window=
for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || { show_log; fail "quolix ended before its window appeared"; }
    if xwininfo -root -tree | grep -F "\"$title" >"$work/tree"; then
        window=$(awk '{ print $1; exit }' "$work/tree")
        break
    fi
    sleep 0.2
done
[ -n "$window" ] || { show_log; fail "no window titled \"$title...\" in xwininfo -root -tree"; }
echo "x11 smoke: window $window: $(cut -c1-200 "$work/tree" | head -n 1 | sed 's/^ *//')"

# 2. The CSV file was loaded through the settings file: twenty pages, the
#    index and the table dump, the first page holding the first book.
expected=22
for _ in $(seq 1 100); do
    [ "$(find "$work/out" -type f | wc -l)" -ge "$expected" ] && break
    sleep 0.2
done
count=$(find "$work/out" -type f | wc -l)
[ "$count" -eq "$expected" ] || { show_log; fail "$count files in the output folder, expected $expected"; }
first=$(iconv -f CP932 -t UTF-8 "$work/out/00001.html" | grep -o "<h1>[^<]*</h1>" || true)
[ "$first" = "<h1>吾輩は猫である</h1>" ] || fail "00001.html has \"$first\", expected the first book"
echo "x11 smoke: settings file on the command line loaded the CSV; $count files written"

# 3. A screenshot of the X screen, taken by the X server.
sleep 0.5
rm -f "$shot"
import -window root "$shot" || fail "import -window root failed"
size=$(identify -format "%wx%h" "$shot")
colours=$(identify -format "%k" "$shot")
[ "$size" = "1024x768" ] || fail "screenshot is $size, expected 1024x768"
[ "$colours" -gt 16 ] || fail "screenshot has $colours colours: the window was not drawn"
echo "x11 smoke: screenshot $shot ($size, $colours colours)"

# 4. Escape leaves the window open: a stray key never loses what was typed.
xdotool windowfocus --sync "$window" key --clearmodifiers Escape ||
    fail "xdotool could not send Escape to window $window"
sleep 1
kill -0 "$pid" 2>/dev/null || { show_log; fail "the window closed on Escape"; }
echo "x11 smoke: Escape left the window open"

# 5. A click on 終了 closes it; the program ends with 0. The button's centre
#    from the dialog's layout: 終了 at 263,237, 59x14 of 329x273 dialog units.
read -r width height < <(xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
xdotool mousemove --window "$window" $((width * 2925 / 3290)) $((height * 244 / 273)) click 1 ||
    fail "xdotool could not click 終了"
for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
if kill -0 "$pid" 2>/dev/null; then
    show_log
    fail "the window did not close on 終了"
fi
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || { show_log; fail "quolix exited with $status"; }
echo "x11 smoke: window closed, exit status 0"
echo "x11 smoke: passed"
