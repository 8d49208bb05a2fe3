#!/usr/bin/env python3
"""Refuses an include that runs up a layer.

    check_layers.py SOURCE_DIR

Each folder of the product may include its own files and those of the
folders below it, as LAYERS lists them; an include of any other file of the
tree (a folder above, a test's header) is an error, printed with its file
and line. Exit 0 when every include runs down.
"""
import pathlib
import re
import sys

# A folder and the folders it may include, lowest first.
LAYERS = {
    "platform": [],
    "diag": ["platform"],
    "data": ["diag", "platform"],
    "job": ["platform"],
    "gen": ["data", "job", "diag", "platform"],
    "settings": ["job", "diag", "platform"],
    "dialog": ["settings", "gen", "data", "job", "diag", "platform"],
    "cli": ["settings", "gen", "data", "job", "diag", "platform"],
    "window": ["dialog", "settings", "gen", "data", "job", "diag", "platform"],
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
TOOLKIT = re.compile(r'^\s*#\s*include\s+<(Q[A-Za-z]*|Qt[A-Za-z]*/[^>]*)>')
# Only the window sees the toolkit.
TOOLKIT_FOLDERS = {"window"}


def below(folder, seen=()):
    """Every folder `folder` reaches; a cycle in LAYERS is an error."""
    if folder in seen:
        sys.exit("check_layers.py: the layers include each other: " + " -> ".join(seen + (folder,)))
    reached = set()
    for lower in LAYERS[folder]:
        reached |= {lower} | below(lower, seen + (folder,))
    return reached


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    root = pathlib.Path(argv[1])
    errors = []
    for folder, allowed in LAYERS.items():
        below(folder)
        for path in sorted((root / folder).glob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                if folder not in TOOLKIT_FOLDERS and TOOLKIT.match(line):
                    errors.append(f"{path.relative_to(root)}:{number}: {folder}/ may not use the toolkit")
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = match.group(1).split("/")[0] if "/" in match.group(1) else None
                if target == folder or target in allowed:
                    continue
                errors.append(f"{path.relative_to(root)}:{number}: {folder}/ may not include "
                              f"\"{match.group(1)}\" (it may include {', '.join([folder] + allowed)})")
    for error in errors:
        print(error, file=sys.stderr)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
