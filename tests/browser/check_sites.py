#!/usr/bin/python3
"""The generated sites as a browser sees them.

    tests/browser/check_sites.py --quolix build/quolix [--keep]

Writes several sites with the real program (`quolix --batch`) into a
temporary folder, then opens each site's _index.html and _db.html in
headless Chromium through harness.html and checks what the browser itself
decoded and resolved:

  - both pages, and every page a link reaches, are read in the site's
    encoding (document.characterSet): Shift_JIS for a code page 932
    template, UTF-8 for a UTF-8 one, whatever the CSV file's encoding;
  - each link's text is the record's value as the CSV file's encoding gives
    it, the index holding the value as HTML (so "a&lt;b" reads "a<b"), and a
    character that Shift_JIS cannot hold, written as a character reference,
    reads as that character;
  - each link resolves, by the browser's own URL parsing, to a URL with no
    query and no fragment, the browser loads that file, and it is the page of
    the link's record (its <h1>); every page written is reached by exactly one
    link, and a page the run could not write (named by nothing, or into a
    folder that is not there) by none;
  - the table dump shows each record's value in its column.

Of a UTF-8 CSV file going into a Shift_JIS site it also checks the files
themselves: a character that code page 932 cannot hold is a decimal
character reference in the page and %XX of its UTF-8 bytes in the link, and
the run counts the references in its message before the final status line
(a site that needs none prints no such line).

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

# The line a run prints before its final status when it wrote character
# references.
REFERENCES_TEXT = "%d 文字をサイトの文字コードで表せないため，文字参照 (&#…;) で書きました．"

# How a site is made: the Python codecs its CSV file, template and settings
# file are written in ("utf-8-sig" writes the byte order mark), the
# encoding the browser should read the site in, and the names of the CSV
# file and the template, which the settings file gives: beyond code page
# 932 in a UTF-8 settings file, kanji in a code page 932 one.
Kind = collections.namedtuple("Kind", "csv template settings charset csv_name template_name")
SHIFT_JIS = Kind("cp932", "cp932", "ascii", "Shift_JIS", "names.csv", "page.html")
UTF8 = Kind("utf-8-sig", "utf-8", "utf-8-sig", "UTF-8", "商品 café 😀.csv", "ページ.html")
UTF8_INTO_SHIFT_JIS = Kind("utf-8-sig", "cp932", "cp932", "Shift_JIS", "商品.csv", "page.html")

# The page template of the sites made here, by its encoding: the value as
# heading, so that a link can be matched with the page it reaches.
TEMPLATES = {
    "cp932": ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">'
              "</head><body><h1>[title]</h1></body></html>"),
    "utf-8": ('<html><head><meta charset="utf-8">'
              "</head><body><h1>[title]</h1></body></html>"),
}

# Values beyond code page 932 and Japanese ones, for the UTF-8 CSV files:
# "〜" (U+301C) is no character of code page 932, whose 0x8160 is "～"
# (U+FF5E).
UTF8_VALUES = [
    "café",
    "𠮷野家",
    "😀",
    "抹茶ラテ",
    "Q&A? ブック",
    "ｶﾌｪ",
    "①㈱",
    "〜波〜",
]

# Sites named after the title column (rule 2, column 1): how each is made
# and the values of its records, in order. A name instead of values is a
# bundled example as it ships, from examples/.
SITES = [
    ("names with URL and HTML characters", SHIFT_JIS, [
        "#1 人気せんべい",
        "Q&A? ブック",
        "100% 綿タオル",
        'x"y',
        "a&lt;b",
        "京都緑茶14",
        "お茶 セット",
        "表",  # second byte 0x5C
    ]),
    ("half-width katakana", SHIFT_JIS, ["ｼｮｳﾋﾝ1", "ｼｮｳﾋﾝ2"]),
    ("one record", SHIFT_JIS, ["京都緑茶14"]),
    # Names by nothing and names into a folder that is not there: the run
    # writes the others, and the index links only those.
    ("names not written", SHIFT_JIS, ["一", "", "nodir/二", ".", "三", "..", "四"]),
    ("NEC and IBM characters", SHIFT_JIS, ["①㈱髙"]),
    ("full-width tilde", SHIFT_JIS, ["～波～"]),
    ("books", SHIFT_JIS, "books"),
    ("UTF-8 CSV and template", UTF8, UTF8_VALUES),
    ("UTF-8 CSV into a Shift_JIS template", UTF8_INTO_SHIFT_JIS, UTF8_VALUES),
    ("shop-utf8", UTF8, "shop-utf8"),
]

# The bundled examples: the column each page is headed by, and whether the
# index links the pages by that value (otherwise by record number).
EXAMPLES = {
    "books": ("title", False),
    "shop-utf8": ("name", True),
}


def written(value):
    """Whether the run writes the page of a value into a site made here: one
    named by nothing is not, nor one in a folder (none is made)."""
    return value not in ("", ".", "..") and "/" not in value


def crlf(text):
    return text.replace("\n", "\r\n")


def csv_field(value):
    if any(c in value for c in ',"\r\n'):
        return '"' + value.replace('"', '""') + '"'
    return value


def read_csv(path, codec):
    """The records of a CSV file, header first, as Python's codec decodes
    it ("utf-8-sig" drops a byte order mark)."""
    with open(path, "rb") as f:
        text = f.read().decode(codec)
    return list(csv.reader(io.StringIO(text, newline="")))


def held_by_cp932(c):
    """Whether code page 932 holds the character: Python's cp932 codec
    writes a few characters it has no code for as a look-alike's (U+301C as
    0x8160, which is U+FF5E), so only a round trip tells."""
    try:
        return c.encode("cp932").decode("cp932") == c
    except UnicodeEncodeError:
        return False


def references(value):
    """The characters of a value that a Shift_JIS site writes as character
    references."""
    return [c for c in value if not held_by_cp932(c)]


def settings_values(path):
    """The key:value lines of a settings file."""
    with open(path, "rb") as f:
        text = f.read().decode("ascii")
    lines = (line.split(":", 1) for line in text.splitlines() if ":" in line)
    return {key.strip(): value for key, value in lines}


class Site:
    """One site: its folder, the settings file to run, and what the browser
    should find in it."""

    def __init__(self, folder, label, kind, values):
        self.label = label
        self.kind = kind
        self.folder = folder
        self.stderr = ""
        os.makedirs(self.folder)
        if isinstance(values, str):
            self._example(values)
        else:
            self._by_value(values)
        records = read_csv(self.csv, kind.csv)
        column = records[0].index(self.heading_column)
        self.column = column
        self.titles = [r[column] for r in records[1:]]
        # The index links the pages written, holding the value as HTML; by
        # number it shows the record number in three digits.
        numbered = [(i + 1, t) for i, t in enumerate(self.titles) if self.writes(t)]
        if self.by_value:
            self.link_texts = [html.unescape(t) for _, t in numbered]
        else:
            self.link_texts = ["%03d" % n for n, _ in numbered]
        self.headings = [html.unescape(t) for _, t in numbered]

    def writes(self, title):
        return written(title) if self.made_here else True

    def _by_value(self, values):
        self.made_here = True
        self.by_value = True
        self.heading_column = "title"
        kind = self.kind
        self.csv = os.path.join(self.folder, kind.csv_name)
        rows = ["id,title"] + ["%d,%s" % (i + 1, csv_field(v)) for i, v in enumerate(values)]
        with open(self.csv, "wb") as f:
            f.write(("\r\n".join(rows) + "\r\n").encode(kind.csv))
        with open(os.path.join(self.folder, kind.template_name), "wb") as f:
            f.write(TEMPLATES[kind.template].encode(kind.template))
        sel = ",".join(str(i + 1) for i in range(len(values)))
        settings = crlf("      CSV:%s\n     HTML:%s\n      Out:out\n"
                        "  ruleNum:2\n fieldNum:1\n   fixChk:0\ncreateChk:1\n"
                        " SelItems:%s\n" % (kind.csv_name, kind.template_name, sel))
        self.settings = "site.cfg"
        with open(os.path.join(self.folder, self.settings), "wb") as f:
            f.write(settings.encode(kind.settings))
        self.out = os.path.join(self.folder, "out")
        os.makedirs(self.out)

    def _example(self, name):
        # The example as it ships, run from a folder laid out like the
        # repository, so that its relative paths hold.
        self.made_here = False
        self.heading_column, self.by_value = EXAMPLES[name]
        example = os.path.join(self.folder, "examples", name)
        shutil.copytree(os.path.join(REPO, "examples", name), example)
        cfgs = [f for f in os.listdir(example) if f.endswith(".cfg")]
        assert len(cfgs) == 1, "examples/%s holds %d settings files" % (name, len(cfgs))
        self.settings = os.path.join("examples", name, cfgs[0])
        lines = settings_values(os.path.join(self.folder, self.settings))
        self.csv = os.path.join(self.folder, lines["CSV"])
        self.out = os.path.join(self.folder, lines["Out"])
        os.makedirs(self.out)

    def generate(self, quolix):
        run = subprocess.run([quolix, "--batch", self.settings], cwd=self.folder,
                             capture_output=True, timeout=60)
        self.stderr = run.stderr.decode("utf-8", "replace")
        # A run that leaves a page out says so and ends with 1.
        if run.returncode != (0 if len(self.headings) == len(self.titles) else 1):
            return ["quolix --batch %s ended with %d: %s" % (
                self.settings, run.returncode, self.stderr.strip())]
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

    @property
    def converted(self):
        """Whether the values are written into a Shift_JIS site from a
        UTF-8 CSV file, and so may need character references."""
        return self.kind.charset == "Shift_JIS" and self.kind.csv != "cp932"


def show(value):
    return json.dumps(value, ensure_ascii=False)


def check_index(site, fact):
    problems = []
    if fact.get("error"):
        return ["_index.html: " + fact["error"]]
    charset = site.kind.charset
    if fact["characterSet"] != charset:
        problems.append("_index.html is read as %s, not %s" % (fact["characterSet"], charset))
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
            else:
                if target["h1"] != heading:
                    wrong.append("reaches a page headed %s, expected %s" % (
                        show(target["h1"]), show(heading)))
                if target["characterSet"] != charset:
                    wrong.append("reaches a page read as %s, not %s" % (target["characterSet"], charset))
        # In a Shift_JIS site a character that Shift_JIS cannot hold is
        # %XX of its UTF-8 bytes in the link, as the file's name on disk is.
        if site.converted and link["rawHref"] is not None:
            for c in references(text):
                escaped = "".join("%%%02X" % b for b in c.encode("utf-8"))
                if escaped not in link["rawHref"]:
                    wrong.append("%s is not written as %s" % (show(c), escaped))
        if wrong:
            problems.append("link %d, href=%s -> %s: %s" % (
                n, show(link["rawHref"]), link["href"], "; ".join(wrong)))
    written = site.pages_written()
    if len(written) != len(site.headings):
        problems.append("%d pages written for %d records: %s" % (
            len(written), len(site.headings), show([os.path.relpath(p, site.out) for p in written])))
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
    charset = site.kind.charset
    if fact["characterSet"] != charset:
        problems.append("_db.html is read as %s, not %s" % (fact["characterSet"], charset))
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


def check_files(site):
    """What the run printed about character references, and, for values
    going into a Shift_JIS site from a UTF-8 file, the references in each
    page as written."""
    problems = []
    # Each value is written three times: in its page, in _index.html and in
    # _db.html.
    expected = 3 * sum(len(references(t)) for t in site.titles) if site.converted else 0
    lines = site.stderr.splitlines()
    said = [line for line in lines if "文字参照" in line]
    if expected:
        wanted = REFERENCES_TEXT % expected
        if lines[-2:-1] != [wanted]:
            problems.append("the run printed %s, expected %s before the final status line" % (
                show(lines), show(wanted)))
    elif said:
        problems.append("the run printed %s, though no value needs a reference" % show(said))
    if site.converted:
        for title in site.titles:
            needed = references(title)
            if not needed:
                continue
            page = os.path.join(site.out, title + ".html")
            written = "".join("&#%d;" % ord(c) if c in needed else c for c in title)
            try:
                with open(page, "rb") as f:
                    body = f.read()
            except OSError as e:
                problems.append("%s: %s" % (show(os.path.relpath(page, site.out)), e))
                continue
            if written.encode("cp932") not in body:
                problems.append("%s does not hold %s" % (
                    show(os.path.relpath(page, site.out)), show(written)))
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
        for n, (label, kind, values) in enumerate(SITES, 1):
            site = Site(os.path.join(root, "site%d" % n), label, kind, values)
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
            problems = (check_index(site, next(pages)) + check_dump(site, next(pages)) +
                        check_files(site))
            if problems:
                failed = True
                print("browser check: FAIL %s (%s):" % (site.label, os.path.relpath(site.out, root)))
                for p in problems:
                    print("    " + p)
            else:
                refs = ""
                if site.converted:
                    refs = "; %d character references" % (
                        3 * sum(len(references(t)) for t in site.titles))
                print("browser check: ok   %s: all pages %s; %d of %d links reach their pages; "
                      "_db.html shows the values%s" % (site.label, site.kind.charset,
                                                       len(site.headings), len(site.headings), refs))
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
