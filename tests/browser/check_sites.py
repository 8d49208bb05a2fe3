#!/usr/bin/python3
"""The generated sites as a browser sees them.

    tests/browser/check_sites.py --quolix build/quolix [--keep]

Writes several sites with the real program (`quolix --batch`) into a
temporary folder, then opens each site's _index.html and _db.html in
headless Chromium through harness.html and checks what the browser itself
decoded and resolved:

  - both pages are read as Shift_JIS (document.characterSet);
  - each link's text is the record's value as code page 932 gives it, the
    index holding the value as HTML (so "a&lt;b" reads "a<b");
  - each link resolves, by the browser's own URL parsing, to a URL with no
    query and no fragment, the browser loads that file, and it is the page of
    the link's record (its <h1>); every page written is reached by exactly one
    link;
  - the table dump shows each record's value in its column.

A page that declares no charset takes the harness's UTF-8 in its iframe,
so it is never taken for Shift_JIS by chance. Only what Chromium returns is
looked at, never what it prints on stderr.
"""

import argparse
import collections
import csv
import html
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
CHARSET = "Shift_JIS"

# The page template of the sites made here: the value as heading, so that a
# link can be matched with the page it reaches.
TEMPLATE = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">'
            "</head><body><h1>[title]</h1></body></html>")

# Sites named after the title column (rule 2, column 1): the values of its
# records, in order. "books" is the bundled example as it ships.
SITES = [
    ("names with URL and HTML characters", [
        "#1 人気せんべい",
        "Q&A? ブック",
        "100% 綿タオル",
        'x"y',
        "a&lt;b",
        "京都緑茶14",
        "お茶 セット",
        "表",  # second byte 0x5C
    ]),
    ("half-width katakana", ["ｼｮｳﾋﾝ1", "ｼｮｳﾋﾝ2"]),
    ("one record", ["京都緑茶14"]),
    ("NEC and IBM characters", ["①㈱髙"]),
    ("full-width tilde", ["～波～"]),
    ("books", None),
]


def crlf(text):
    return text.replace("\n", "\r\n")


def csv_field(value):
    if any(c in value for c in ',"\r\n'):
        return '"' + value.replace('"', '""') + '"'
    return value


def read_csv(path):
    """The records of a code page 932 CSV file, header first, as Python's
    cp932 codec decodes it."""
    with open(path, "rb") as f:
        text = f.read().decode("cp932")
    return list(csv.reader(io.StringIO(text, newline="")))


class Site:
    """One site: its folder, the settings file to run, and what the browser
    should find in it."""

    def __init__(self, folder, label, values):
        self.label = label
        self.folder = folder
        os.makedirs(self.folder)
        if values is None:
            self._books()
        else:
            self._by_value(values)
        records = read_csv(self.csv)
        column = records[0].index("title")
        self.column = column
        self.titles = [r[column] for r in records[1:]]
        # The index holds the value as HTML; by number it shows the record
        # number in three digits.
        if self.by_value:
            self.link_texts = [html.unescape(t) for t in self.titles]
        else:
            self.link_texts = ["%03d" % (i + 1) for i in range(len(self.titles))]
        self.headings = [html.unescape(t) for t in self.titles]

    def _by_value(self, values):
        self.by_value = True
        self.csv = os.path.join(self.folder, "names.csv")
        rows = ["id,title"] + ["%d,%s" % (i + 1, csv_field(v)) for i, v in enumerate(values)]
        with open(self.csv, "wb") as f:
            f.write(("\r\n".join(rows) + "\r\n").encode("cp932"))
        with open(os.path.join(self.folder, "page.html"), "wb") as f:
            f.write(TEMPLATE.encode("cp932"))
        sel = ",".join(str(i + 1) for i in range(len(values)))
        settings = crlf("      CSV:names.csv\n     HTML:page.html\n      Out:out\n"
                        "  ruleNum:2\n fieldNum:1\n   fixChk:0\ncreateChk:1\n"
                        " SelItems:%s\n" % sel)
        self.settings = "site.cfg"
        with open(os.path.join(self.folder, self.settings), "wb") as f:
            f.write(settings.encode("ascii"))
        self.out = os.path.join(self.folder, "out")
        os.makedirs(self.out)

    def _books(self):
        # The example as it ships, run from a folder laid out like the
        # repository, so that its relative paths hold.
        self.by_value = False
        example = os.path.join(self.folder, "examples", "books")
        shutil.copytree(os.path.join(REPO, "examples", "books"), example)
        self.csv = os.path.join(example, "books.csv")
        self.settings = os.path.join("examples", "books", "books.cfg")
        self.out = os.path.join(self.folder, "out", "books")
        os.makedirs(self.out)

    def generate(self, quolix):
        run = subprocess.run([quolix, "--batch", self.settings], cwd=self.folder,
                             capture_output=True, timeout=60)
        if run.returncode != 0:
            return ["quolix --batch %s ended with %d: %s" % (
                self.settings, run.returncode, run.stderr.decode("utf-8", "replace").strip())]
        return []

    def pages_written(self):
        pages = []
        for folder, _, files in os.walk(self.out):
            for name in files:
                path = os.path.join(folder, name)
                if path not in (self.index, self.dump):
                    pages.append(path)
        return sorted(pages)

    @property
    def index(self):
        return os.path.join(self.out, "_index.html")

    @property
    def dump(self):
        return os.path.join(self.out, "_db.html")


def show(value):
    return json.dumps(value, ensure_ascii=False)


def check_index(site, fact):
    problems = []
    if fact.get("error"):
        return ["_index.html: " + fact["error"]]
    if fact["characterSet"] != CHARSET:
        problems.append("_index.html is read as %s, not %s" % (fact["characterSet"], CHARSET))
    links = fact["links"]
    if len(links) != len(site.link_texts):
        problems.append("_index.html has %d links for %d records" % (len(links), len(site.link_texts)))
    reached = collections.Counter()
    for n, (link, text, heading) in enumerate(zip(links, site.link_texts, site.headings), 1):
        wrong = []
        if link["text"] != text:
            wrong.append("text %s, expected %s" % (show(link["text"]), show(text)))
        if "urlError" in link:
            wrong.append("the browser cannot parse it: " + link["urlError"])
        else:
            if link["search"]:
                wrong.append("has the query " + show(link["search"]))
            if link["hash"]:
                wrong.append("has the fragment " + show(link["hash"]))
            if link["path"] is None:
                wrong.append("its path cannot be decoded (%s)" % link["pathError"])
            else:
                reached[link["path"]] += 1
            target = link["target"]
            if not target["ok"]:
                wrong.append("does not load: " + target["error"])
            elif target["h1"] != heading:
                wrong.append("reaches a page headed %s, expected %s" % (show(target["h1"]), show(heading)))
        if wrong:
            problems.append("link %d, href=%s -> %s: %s" % (
                n, show(link["rawHref"]), link["href"], "; ".join(wrong)))
    written = site.pages_written()
    if len(written) != len(site.titles):
        problems.append("%d pages written for %d records: %s" % (
            len(written), len(site.titles), show([os.path.relpath(p, site.out) for p in written])))
    for path in written:
        if reached[path] != 1:
            problems.append("%s is reached by %d links" % (
                show(os.path.relpath(path, site.out)), reached[path]))
    for path in reached:
        if path not in written:
            problems.append("a link leads to %s, which is not a page written" % show(path))
    return problems


def check_dump(site, fact):
    if fact.get("error"):
        return ["_db.html: " + fact["error"]]
    problems = []
    if fact["characterSet"] != CHARSET:
        problems.append("_db.html is read as %s, not %s" % (fact["characterSet"], CHARSET))
    rows = fact["rows"][1:]  # the header line is the first row
    cell = site.column + 1  # after the record number
    if len(rows) != len(site.titles):
        problems.append("_db.html has %d record rows for %d records" % (len(rows), len(site.titles)))
    for n, (row, title) in enumerate(zip(rows, site.titles), 1):
        expected = html.unescape(title)
        shown = row[cell] if cell < len(row) else None
        if shown != expected:
            problems.append("_db.html record %d: %s, expected %s" % (n, show(shown), show(expected)))
    return problems


def run_browser(chromium, root, jobs):
    shutil.copy(os.path.join(HERE, "harness.html"), root)
    with open(os.path.join(root, "jobs.js"), "w", encoding="utf-8") as f:
        f.write("window.jobs = %s;\n" % json.dumps(jobs))
    profile = tempfile.mkdtemp(prefix="chromium-", dir=root)
    command = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
               "--no-first-run", "--disable-background-networking", "--disable-component-update",
               "--disable-sync", "--user-data-dir=" + profile, "--allow-file-access-from-files",
               "--virtual-time-budget=10000", "--dump-dom",
               "file://" + os.path.join(root, "harness.html")]
    run = subprocess.run(command, capture_output=True, timeout=120)
    dom = run.stdout.decode("utf-8", "replace")
    found = re.search(r'<pre id="result">(.*?)</pre>', dom, re.S)
    if run.returncode != 0 or not found or not found.group(1):
        sys.exit("browser check: chromium (exit %d) returned no result:\n%s" % (run.returncode, dom))
    result = json.loads(html.unescape(found.group(1)))
    if not result.get("finished"):
        sys.exit("browser check: the harness did not finish: %s" % result.get("error"))
    return result["pages"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quolix", required=True, help="the program to generate the sites with")
    parser.add_argument("--chromium", default="/usr/bin/chromium")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    args = parser.parse_args()
    quolix = os.path.abspath(args.quolix)
    for program in (quolix, args.chromium):
        if not os.access(program, os.X_OK):
            sys.exit("browser check: %s is missing (make deps, make build)" % program)

    root = tempfile.mkdtemp(prefix="quolix-browser-")
    try:
        sites = []
        failed = False
        for n, (label, values) in enumerate(SITES, 1):
            site = Site(os.path.join(root, "site%d" % n), label, values)
            problems = site.generate(quolix)
            if problems:
                print("browser check: FAIL %s: %s" % (label, problems[0]))
                failed = True
            sites.append(site)
        jobs = []
        for site in sites:
            for kind, path in (("index", site.index), ("dump", site.dump)):
                jobs.append({"kind": kind, "url": os.path.relpath(path, root)})
        pages = iter(run_browser(args.chromium, root, jobs))
        for site in sites:
            problems = check_index(site, next(pages)) + check_dump(site, next(pages))
            if problems:
                failed = True
                print("browser check: FAIL %s (%s):" % (site.label, os.path.relpath(site.out, root)))
                for p in problems:
                    print("    " + p)
            else:
                print("browser check: ok   %s: both pages %s; %d of %d links reach their pages; "
                      "_db.html shows the values" % (site.label, CHARSET, len(site.titles),
                                                     len(site.titles)))
    finally:
        if args.keep:
            print("browser check: sites kept in " + root)
        else:
            shutil.rmtree(root, ignore_errors=True)
    if failed:
        sys.exit("browser check: failed")
    print("browser check: passed")


if __name__ == "__main__":
    main()
