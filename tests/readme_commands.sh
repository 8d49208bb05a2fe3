#!/usr/bin/env bash
# Every command in the README's shell blocks works.
#
#   tests/readme_commands.sh [BUILD]        BUILD defaults to build
#
# The ```sh blocks, and the command part of the ```crontab blocks, are read
# line by line and each command is run, in README order, in a sandbox: HOME
# is a temporary folder, `quolix` and its manual page come from a copy
# installed there, /usr/share/doc/quolix means that copy's, and each block
# starts in a folder of its own holding data-utf8.csv and data-eucjp.csv.
# Commands that would change this machine are run in a form that does not:
#
#   make check                   dry run (this is part of it)
#   make install                 with DESTDIR under the sandbox
#   make screenshots             with SHOT_DIR under the sandbox
#   make windows-zip             as it is; the zip must hold quolix.exe and its README
#   apt-get install ./PACKAGE    apt-get --simulate
#   apt-get remove quolix        apt-get --simulate, or the .deb's name checked
#   quolix  /  quolix FILE.cfg   the window: run by tests/x11_smoke.sh (make smoke-x11)
#
# `make demo` runs as it is; then both examples' index pages must declare
# their encodings (Shift_JIS, UTF-8) and a page of the UTF-8 one hold its name.
#
# A command this script does not know fails the check: add it here together
# with the way it is verified.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build=${1:-build}
readme=README.md

fail() {
    echo "readme commands: FAIL: $*" >&2
    exit 1
}

[ -x "$build/quolix" ] || fail "$build/quolix is not built"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The sandbox.
mkdir -p "$work/home" "$work/blocks"
cmake --install "$build" --prefix "$work/usr" >/dev/null || fail "cmake --install into the sandbox failed"
iconv -f CP932 -t UTF-8 examples/books/books.csv >"$work/data-utf8.csv"
iconv -f CP932 -t EUC-JP examples/books/books.csv >"$work/data-eucjp.csv"

# Blocks: one file each, numbered in README order, named after the fence's
# language; a fence may be indented (a block inside a list item).
awk -v dir="$work/blocks" '
    !inside && match($0, /^ *```/) {
        inside = 1; indent = RLENGTH - 3; lang = substr($0, RLENGTH + 1)
        file = sprintf("%s/%02d.%s", dir, ++n, lang == "" ? "none" : lang)
        printf "" > file
        next
    }
    inside && $0 ~ /^ *```$/ { inside = 0; close(file); next }
    inside { print substr($0, indent + 1) > file }
' "$readme"

commands=0
covered=0
runnable='^(quolix|cp|cd|sed|mkdir|iconv|man)( |$)'

# Prints the command to run for one README command, or fails.
translate() {
    local line=${1#sudo }
    line=${line//\/usr\/share\/doc\/quolix/$work/usr/share/doc/quolix}
    case "$line" in
        "make check")
            echo "(cd '$repo' && make -n check >/dev/null)" ;;
        "make demo")
            # Both examples, each in its encoding.
            echo "(cd '$repo' && $line >'$work/make.log' 2>&1 || { cat '$work/make.log'; exit 1; })" \
                 "&& grep -qF 'charset=Shift_JIS' '$repo/out/books/_index.html'" \
                 "&& grep -qF 'charset=UTF-8' '$repo/out/shop-utf8/_index.html'" \
                 "&& grep -qF '<h1>Café モカ</h1>' '$repo/out/shop-utf8/Café モカ.html'" \
                 "&& cmp -s '$repo/out/shop-utf8/Café モカ.html' '$repo/out/shop-unicode/Café モカ.html'" ;;
        "make deb" | "make build" | "make deps")
            echo "(cd '$repo' && $line >'$work/make.log' 2>&1 || { cat '$work/make.log'; exit 1; })" ;;
        "make windows-zip")
            # The zip holds the program and its README.
            echo "(cd '$repo' && $line >'$work/make.log' 2>&1 || { cat '$work/make.log'; exit 1; })" \
                 "&& python3 -m zipfile -l '$repo'/build-windows/quolix-*-windows-x64.zip | grep -q 'windows-x64/quolix.exe'" \
                 "&& python3 -m zipfile -l '$repo'/build-windows/quolix-*-windows-x64.zip | grep -q 'windows-x64/README.txt'" ;;
        "make install")
            echo "(cd '$repo' && make install DESTDIR='$work/destdir' >/dev/null) && test -x '$work/destdir/usr/local/bin/quolix'" ;;
        "make install PREFIX="*)
            echo "(cd '$repo' && $line >/dev/null) && test -x ${line#*PREFIX=}/bin/quolix" ;;
        "make screenshots")
            echo "(cd '$repo' && make screenshots SHOT_DIR='$work/shots' >'$work/make.log' 2>&1 || { cat '$work/make.log'; exit 1; })" ;;
        "apt-get install ./"*)
            echo "(cd '$repo' && set -- ${line#apt-get install } && [ \$# = 1 ] && [ -f \"\$1\" ] && apt-get install --simulate \"\$1\" >/dev/null)" ;;
        "apt-get remove quolix")
            # Simulated when installed; otherwise the name must be the package's.
            echo "if dpkg-query -W quolix >/dev/null 2>&1; then apt-get remove --simulate quolix >/dev/null; else (cd '$repo' && [ \"\$(dpkg-deb -f ./build/quolix_*.deb Package)\" = quolix ]); fi" ;;
        "man "*)
            echo "$line >/dev/null" ;;
        make\ * | apt-get\ *)
            return 1 ;;
        *)
            [[ $line =~ $runnable ]] || return 1
            echo "$line" ;;
    esac
}

is_window() {
    [[ $1 =~ ^quolix(\ [^-][^ ]*\.cfg)?$ ]]
}

for block in "$work"/blocks/*; do
    lang=${block##*.}
    [ "$lang" = sh ] || [ "$lang" = crontab ] || continue
    name=$(basename "$block")
    dir="$work/run-${name%%.*}"
    mkdir -p "$dir"
    cp "$work/data-utf8.csv" "$work/data-eucjp.csv" "$dir/"
    script="$dir.script"
    {
        echo "set -e"
        echo "export HOME='$work/home' PATH='$work/usr/bin:$PATH' MANPATH='$work/usr/share/man' MANPAGER=cat PAGER=cat"
        echo "cd '$dir'"
    } >"$script"
    while IFS= read -r line || [ -n "$line" ]; do
        line=$(sed -e 's/[[:space:]]*$//' <<<"$line")
        [ -z "$line" ] && continue
        [[ $line == \#* ]] && continue
        if [ "$lang" = crontab ]; then
            # minute hour day month weekday command
            line=$(awk '{ for (i = 6; i <= NF; i++) printf "%s%s", $i, (i < NF ? " " : "") }' <<<"$line")
        fi
        commands=$((commands + 1))
        quoted=\'${line//\'/\'\\\'\'}\'
        if is_window "$line"; then
            [ -x tests/x11_smoke.sh ] || fail "'$line' opens the window, and tests/x11_smoke.sh is missing"
            printf "printf '  window: %%s  (tests/x11_smoke.sh)\\\\n' %s\n" "$quoted" >>"$script"
            covered=$((covered + 1))
            continue
        fi
        run=$(translate "$line") || fail "README command not known to this check: $line"
        printf "printf '  ran:    %%s\\\\n' %s\n" "$quoted" >>"$script"
        printf '%s\n' "$run" >>"$script"
    done <"$block"
    echo "block $name:"
    bash "$script" || fail "a command of block $name failed (see above)"
done

[ "$commands" -gt 0 ] || fail "no commands found in $readme"

# Pictures and documents the README links to.
missing_docs=
for target in $(grep -o '](docs/[^)]*)' "$readme" | sed 's/^](//; s/)$//' | sort -u); do
    if [ ! -f "$target" ]; then
        case "$target" in
            *.png) fail "$readme shows $target, which does not exist" ;;
            *) missing_docs="$missing_docs $target" ;;
        esac
    fi
done
[ -z "$missing_docs" ] || echo "readme commands: note: linked but not written yet:$missing_docs"

echo "readme commands: $commands commands, $((commands - covered)) run here, $covered by the X11 smoke test: passed"
