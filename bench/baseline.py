#!/usr/bin/env python3
"""The comparison program of the timings: the job Quolix does, written by hand
the way a user would do it with the standard library (csv module and
str.replace).

    baseline.py DATA.csv TEMPLATE.html OUTDIR

Every row, the header included, becomes OUTDIR/NNNNN.html: the template with
each [column] replaced by the row's value (line feeds as <br>). Then an index
page and a dump of the table, as Quolix writes them when every record is
selected, pages are named by record number and the index is asked for.
"""

import csv
import os
import sys


def main(csv_path, template_path, out):
    with open(csv_path, encoding="cp932", newline="") as f:
        rows = list(csv.reader(f))
    with open(template_path, encoding="cp932") as f:
        template = f.read()
    header = rows[0]

    with open(os.path.join(out, "_db.html"), "w", encoding="cp932") as db:
        db.write("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                 "charset=Shift_JIS\"></head><body><table border>\n")
        for i, row in enumerate(rows):
            cells = "".join("<td>%s</td>" % v for v in row)
            db.write("<tr><td>%03d</td>%s</tr>\n" % (i, cells))
        db.write("</table></body></html>\n")

    index = ["<html>\n<head><title>Database Index</title></head>\n"
             "<body><center><font size=6>Database Index</font></center>\n<hr>\n"]
    for i, row in enumerate(rows):
        page = template
        for name, value in zip(header, row):
            page = page.replace("[" + name + "]", value.replace("\n", "<br>"))
        name = "%05d.html" % i
        with open(os.path.join(out, name), "w", encoding="cp932") as f:
            f.write(page)
        index.append('%s[<a href="%s">%03d</a>] &nbsp; &nbsp;\n'
                     % ("<br>" if i % 10 == 0 else "", name, i))
    index.append("</body></html>")
    with open(os.path.join(out, "_index.html"), "w", encoding="cp932") as f:
        f.write("".join(index))


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
