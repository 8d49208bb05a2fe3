#!/usr/bin/env python3
"""Draws the Quolix icon: a green-ruled table sheet behind a page with a blue
header, grey text lines and a red mark.

The drawing is a list of rectangles on a 16-unit grid; each size scales the
grid and snaps every edge to whole pixels, so 16, 32, 48, 64 and 128 pixels
all come from the same picture, sharp and without blending. Outlines and
rules are one pixel thick up to 32 pixels and grow with the size above that.

    make_icons.py --png DIR     DIR/<n>x<n>/apps/quolix.png for every size
    make_icons.py --xpm DIR     DIR/icon16.xpm and DIR/icon32.xpm (the window icon)
    make_icons.py --check DIR   exit 1 unless DIR's XPM files are what --xpm writes

Only the Python standard library is used.
"""

import os
import struct
import sys
import zlib

SIZES = (16, 32, 48, 64, 128)
XPM_SIZES = (16, 32)

# Palette: key -> RGB (None is transparent). The keys are the XPM characters.
PALETTE = {
    ".": None,
    "k": (0x00, 0x00, 0x00),  # outlines
    "w": (0xFF, 0xFF, 0xFF),  # paper
    "g": (0x00, 0x80, 0x00),  # table rules
    "G": (0x00, 0xFF, 0x00),  # table header
    "b": (0x00, 0x00, 0x80),  # page header
    "d": (0x80, 0x80, 0x80),  # text lines
    "r": (0xFF, 0x00, 0x00),  # the mark
}

# Boxes: (x0, y0, x1, y1) in grid units, right and bottom edges exclusive.
SHEET = (1, 1, 10, 14)
SHEET_HEADER_END = 4  # the first rule closes the header band
SHEET_RULES_Y = (4, 7, 10)
SHEET_RULE_X = 4.5
PAGE = (6, 4, 15, 15)
PAGE_HEADER_END = 7
MARK = (7.5, 8, 9, 9)
TEXT_LINES = ((9, 8, 13.5, 9), (7.5, 10, 13.5, 11), (7.5, 12, 13.5, 13))


def render(size):
    """Returns the picture as rows of palette keys."""
    scale = size / 16
    line = max(1, round(size / 32))
    canvas = [["."] * size for _ in range(size)]

    def px(u):
        return int(u * scale)

    def fill(x0, y0, x1, y1, key):
        for y in range(max(0, y0), min(size, y1)):
            for x in range(max(0, x0), min(size, x1)):
                canvas[y][x] = key

    def box(rect, key, outline="k"):
        x0, y0, x1, y1 = (px(v) for v in rect)
        fill(x0, y0, x1, y1, outline)
        fill(x0 + line, y0 + line, x1 - line, y1 - line, key)
        return x0, y0, x1, y1

    # The table sheet: header band, then rows ruled in green.
    x0, y0, x1, y1 = box(SHEET, "w")
    fill(x0 + line, y0 + line, x1 - line, px(SHEET_HEADER_END), "G")
    for rule in SHEET_RULES_Y:
        fill(x0 + line, px(rule), x1 - line, px(rule) + line, "g")
    fill(px(SHEET_RULE_X), px(SHEET_HEADER_END), px(SHEET_RULE_X) + line, y1 - line, "g")

    # The page in front of it.
    x0, y0, x1, y1 = box(PAGE, "w")
    fill(x0 + line, y0 + line, x1 - line, px(PAGE_HEADER_END), "b")
    fill(*(px(v) for v in MARK), "r")
    for text in TEXT_LINES:
        fill(*(px(v) for v in text), "d")

    return ["".join(row) for row in canvas]


def png_bytes(rows):
    size = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)  # no filter
        for key in row:
            rgb = PALETTE[key]
            raw.extend((0, 0, 0, 0) if rgb is None else (*rgb, 0xFF))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def xpm_text(rows):
    size = len(rows)
    name = f"icon{size}_xpm"
    lines = ["/* XPM */", f"static const char* const {name}[] = {{",
             f'"{size} {size} {len(PALETTE)} 1",']
    for key, rgb in PALETTE.items():
        colour = "None" if rgb is None else "#%02X%02X%02X" % rgb
        lines.append(f'"{key} c {colour}",')
    lines += [f'"{row}",' for row in rows[:-1]]
    lines.append(f'"{rows[-1]}"}};')
    return "\n".join(lines) + "\n"


def write(path, data):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    mode = "wb" if isinstance(data, bytes) else "w"
    with open(path, mode) as f:
        f.write(data)


def main(argv):
    if len(argv) != 3 or argv[1] not in ("--png", "--xpm", "--check"):
        sys.stderr.write(__doc__)
        return 2
    mode, folder = argv[1], argv[2]
    if mode == "--png":
        for size in SIZES:
            write(os.path.join(folder, f"{size}x{size}", "apps", "quolix.png"), png_bytes(render(size)))
        return 0
    if mode == "--xpm":
        for size in XPM_SIZES:
            write(os.path.join(folder, f"icon{size}.xpm"), xpm_text(render(size)))
        return 0
    status = 0
    for size in XPM_SIZES:
        path = os.path.join(folder, f"icon{size}.xpm")
        try:
            with open(path) as f:
                current = f.read()
        except OSError as e:
            print(f"{path}: {e.strerror}", file=sys.stderr)
            status = 1
            continue
        if current != xpm_text(render(size)):
            print(f"{path} differs from the drawing; run: {argv[0]} --xpm {folder}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
