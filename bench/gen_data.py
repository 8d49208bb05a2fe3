#!/usr/bin/env python3
"""Deterministic input for the Quolix timings.

    gen_data.py shop DIR N [EVERY]
                                DIR/shop-N.csv, DIR/shop.html; with EVERY,
                                DIR/shop-N-changed-EVERY.csv instead
    gen_data.py book DIR N      DIR/shop-N.xlsx, DIR/shop-N.ods
    gen_data.py wide DIR N C    DIR/wide-N-C.csv, DIR/wide-C.html
    gen_data.py cfg FILE CSV HTML OUT COUNT

"shop" is a code page 932 CSV with CR LF line ends: a header and N-1 records
of 12 columns (about 330 bytes a record: N = 32000 gives a 10 MB file) and a
2 KB Shift_JIS template that uses every column, some twice. About one
description in ten is quoted and holds a comma, a CR LF line break or a
doubled quote.

With EVERY, every record whose number is a multiple of EVERY has its price
raised by 10 (EVERY = 100: one record in a hundred; EVERY = N - 1: only the
last record); all other bytes are those of shop-N.csv. These are the inputs of
the reruns.

"book" writes the table of shop-N.csv as an .xlsx and an .ods workbook of
one sheet, each cell showing the CSV's value (a line break inside a value
is a line feed): texts are shared strings in the .xlsx, and the id and the
price, plain integers, are number cells in the General format, their shown
text the CSV's. The .ods is laid out as LibreOffice saves one: a
<text:p> per line of a value, and the rest of each row and of the sheet as
repeated empty cells and rows. Zip members carry a fixed time.

"wide" is a table of C columns, a header and N-1 records of short values,
and a template holding one placeholder per column.

"cfg" writes a settings file that selects every record (SelItems:-1), names
pages by record number and writes the index and dump pages.

The same arguments always give the same bytes.
"""

import os
import random
import re
import sys
import zipfile
from xml.sax.saxutils import escape

ENC = "cp932"

SHOP_COLUMNS = ["id", "code", "name", "reading", "price", "date", "category",
                "description", "url", "email", "tags", "note"]

# Words chosen to exercise the code page: katakana with the long vowel mark
# (0x815B, trail byte '['), ソ and 表 (trail byte '\'), kanji and kana.
NAMES = ["特選緑茶", "有機ほうじ茶", "深蒸し煎茶", "抹茶ラテ", "玄米茶", "ソーダ水",
         "表参道ブレンド", "黒豆茶", "柚子ジャム", "北海道バター", "讃岐うどん", "信州そば",
         "博多明太子", "京漬物", "鹿児島黒豚", "ソース焼きそば", "十勝小豆", "瀬戸内レモン"]
READINGS = ["トクセンリョクチャ", "ユウキホウジチャ", "フカムシセンチャ", "マッチャラテ",
            "ゲンマイチャ", "ソーダスイ", "オモテサンドウブレンド", "クロマメチャ",
            "ユズジャム", "ホッカイドウバター", "サヌキウドン", "シンシュウソバ",
            "ハカタメンタイコ", "キョウツケモノ", "カゴシマクロブタ", "ソースヤキソバ",
            "トカチアズキ", "セトウチレモン"]
SIZES = ["", "（小）", "（中）", "（大）", "　徳用", "　ギフト用"]
CATEGORIES = ["食品／飲料", "食品／菓子", "食品／麺類", "食品／調味料", "生鮮／肉",
              "生鮮／魚介", "生鮮／野菜", "贈答品", "季節限定", "業務用"]
PHRASES = ["厳選した原料だけを使い、職人が一つずつ丁寧に仕上げました。",
           "香りが高く、後味はすっきりとしています。",
           "毎日の食卓にも、大切な方への贈り物にも最適です。",
           "産地直送のため、収穫から三日以内にお届けします。",
           "保存料・着色料は使用しておりません。",
           "開封後は冷蔵庫で保存し、お早めにお召し上がりください。",
           "ソースとの相性も抜群で、表面はカリッと香ばしく焼き上がります。",
           "数量限定のため、売り切れの際はご容赦ください。"]
TAGS = ["送料無料", "新商品", "人気", "限定", "国産", "有機", "ギフト", "セール", "再入荷"]
NOTES = ["", "", "在庫僅少", "予約受付中", "お一人様三点まで", "のし対応可",
         "冷凍便でお届け", "入荷待ち（約二週間）"]


def shop_record(rnd, i):
    k = rnd.randrange(len(NAMES))
    name = NAMES[k] + SIZES[rnd.randrange(len(SIZES))]
    reading = READINGS[k]
    code = "QX-%06d-%s" % (rnd.randrange(1000000), "ABCDEFGH"[rnd.randrange(8)])
    price = str(rnd.randrange(1, 999) * 100 + rnd.choice((0, 80, 90)))
    date = "20%02d/%02d/%02d" % (rnd.randrange(19, 26), rnd.randrange(1, 13), rnd.randrange(1, 29))
    category = rnd.choice(CATEGORIES)
    desc = "".join(rnd.sample(PHRASES, rnd.choice((2, 3))))
    kind = i % 10
    if kind == 3:
        desc = '"' + desc.replace("。", "。, ", 1) + '"'  # a comma inside quotes
    elif kind == 6:
        desc = '"' + desc.replace("。", "。\r\n", 1) + '"'  # a line break inside quotes
    elif kind == 9:
        desc = '"' + '""' + name + '""は' + desc + '"'  # doubled quotes
    url = "https://shop.example.jp/items/%s/detail?ref=list&amp;p=%d" % (code, i % 97)
    email = "support+c%02d@example.co.jp" % rnd.randrange(100)
    tags = ";".join(rnd.sample(TAGS, 4))
    note = rnd.choice(NOTES)
    return [str(i), code, name, reading, price, date, category, desc, url, email, tags, note]


SHOP_TEMPLATE = """<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">
<title>[name] - 商品カタログ</title>
<style type="text/css">
body { font-family: "MS PGothic", sans-serif; margin: 2em; color: #222; }
table.item { border-collapse: collapse; width: 100%; }
table.item th { background: #eef; text-align: left; width: 8em; padding: 4px; }
table.item td { border-bottom: 1px solid #ccd; padding: 4px; }
p.desc { line-height: 1.6; }
div.foot { font-size: small; color: #666; margin-top: 2em; }
</style>
</head>
<body>
<p><a href="_index.html">カタログ目次へ戻る</a> ＞ [category]</p>
<h1>[name]</h1>
<p class="reading">（[reading]）</p>
<table class="item">
<tr><th>商品番号</th><td>[id]</td></tr>
<tr><th>品番</th><td>[code]</td></tr>
<tr><th>商品名</th><td>[name]</td></tr>
<tr><th>よみがな</th><td>[reading]</td></tr>
<tr><th>価格</th><td>[price] 円（税込）</td></tr>
<tr><th>発売日</th><td>[date]</td></tr>
<tr><th>分類</th><td>[category]</td></tr>
<tr><th>タグ</th><td>[tags]</td></tr>
<tr><th>備考</th><td>[note]</td></tr>
</table>
<h2>商品説明</h2>
<p class="desc">[description]</p>
<h2>ご注文・お問い合わせ</h2>
<p>ご注文は <a href="[url]">オンラインショップの商品ページ</a> から承ります。
商品についてのお問い合わせは <a href="mailto:[email]">[email]</a> までお寄せください。
お問い合わせの際は品番 [code] をお知らせいただくと、ご案内がスムーズです。</p>
<ul>
<li>表示価格はすべて消費税込みの金額です。送料は別途申し受けます。</li>
<li>お届けまでの目安は、ご注文確定後三日から五日程度です。</li>
<li>天候や交通事情により、お届けが遅れる場合がございます。</li>
<li>商品の写真はイメージです。実際の商品とは異なる場合がございます。</li>
<li>ソフトウェアの表示の都合により、一部の文字が正しく表示されないことがあります。</li>
</ul>
<div class="foot">
<p>掲載内容は [date] 時点の情報です。価格・仕様は予告なく変更することがあります。<br>
この商品ページは商品データベースから自動生成されています。<br>
Copyright (C) Example Shop Co., Ltd. All rights reserved.</p>
</div>
</body>
</html>
"""


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def shop_records(n, every=0):
    """The header and the N-1 records of shop-N.csv, fields as in the file."""
    rnd = random.Random(20261207)
    records = [SHOP_COLUMNS]
    for i in range(1, n):
        record = shop_record(rnd, i)
        if every and i % every == 0:
            record[4] = str(int(record[4]) + 10)
        records.append(record)
    return records


def write_shop(folder, n, every=0):
    lines = [",".join(record) for record in shop_records(n, every)]
    name = "shop-%d-changed-%d.csv" % (n, every) if every else "shop-%d.csv" % n
    csv_path = os.path.join(folder, name)
    with open(csv_path, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode(ENC))
    html_path = os.path.join(folder, "shop.html")
    with open(html_path, "wb") as f:
        f.write(crlf(SHOP_TEMPLATE).encode(ENC))
    return csv_path, html_path


def shown(field):
    """A CSV field as a spreadsheet cell shows it."""
    if field.startswith('"'):
        field = field[1:-1].replace('""', '"')
    return field.replace("\r\n", "\n")


INTEGER = re.compile(r"-?(0|[1-9][0-9]{0,14})")
COLUMN_NAMES = [chr(ord("A") + c) for c in range(len(SHOP_COLUMNS))]
XML_HEAD = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
NS_MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
NS_REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
NS_PKG = "http://schemas.openxmlformats.org/package/2006/relationships"


def write_zip(path, members, stored=()):
    """members: (name, text) in order, deflated but for the names in stored."""
    with zipfile.ZipFile(path, "w") as z:
        for name, text in members:
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_STORED if name in stored else zipfile.ZIP_DEFLATED
            z.writestr(info, text.encode("utf-8"))


def xlsx_text(value):
    # A literal "_xHHHH_" would be read as the character HHHH.
    value = re.sub(r"_(x[0-9A-Fa-f]{4}_)", r"_x005F_\1", escape(value))
    space = ' xml:space="preserve"' if value != value.strip() or "\n" in value else ""
    return "<t%s>%s</t>" % (space, value)


def write_xlsx(path, rows):
    strings = {}
    sheet = []
    for r, row in enumerate(rows, 1):
        cells = []
        for c, value in enumerate(row):
            ref = "%s%d" % (COLUMN_NAMES[c], r)
            if not value:
                continue
            if INTEGER.fullmatch(value):
                cells.append('<c r="%s"><v>%s</v></c>' % (ref, value))
            else:
                cells.append('<c r="%s" t="s"><v>%d</v></c>' % (ref, strings.setdefault(value, len(strings))))
        sheet.append('<row r="%d" spans="1:%d">%s</row>' % (r, len(SHOP_COLUMNS), "".join(cells)))
    uses = sum(1 for row in rows for v in row if v and not INTEGER.fullmatch(v))
    rel = '<Relationship Id="%s" Type="' + NS_REL + '/%s" Target="%s"/>'
    override = '<Override PartName="/xl/%s" ContentType="application/vnd.openxmlformats-officedocument.' \
               'spreadsheetml.%s+xml"/>'
    write_zip(path, [
        ("[Content_Types].xml", XML_HEAD +
         '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
         '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
         '<Default Extension="xml" ContentType="application/xml"/>' +
         override % ("workbook.xml", "sheet.main") + override % ("worksheets/sheet1.xml", "worksheet") +
         override % ("sharedStrings.xml", "sharedStrings") + override % ("styles.xml", "styles") + "</Types>"),
        ("_rels/.rels", XML_HEAD + '<Relationships xmlns="%s">' % NS_PKG +
         rel % ("rId1", "officeDocument", "xl/workbook.xml") + "</Relationships>"),
        ("xl/workbook.xml", XML_HEAD + '<workbook xmlns="%s" xmlns:r="%s">' % (NS_MAIN, NS_REL) +
         '<workbookPr defaultThemeVersion="166925"/><bookViews><workbookView xWindow="0" yWindow="0" '
         'windowWidth="28800" windowHeight="12300"/></bookViews>'
         '<sheets><sheet name="shop" sheetId="1" r:id="rId1"/></sheets><calcPr calcId="191029"/></workbook>'),
        ("xl/_rels/workbook.xml.rels", XML_HEAD + '<Relationships xmlns="%s">' % NS_PKG +
         rel % ("rId1", "worksheet", "worksheets/sheet1.xml") + rel % ("rId2", "styles", "styles.xml") +
         rel % ("rId3", "sharedStrings", "sharedStrings.xml") + "</Relationships>"),
        ("xl/worksheets/sheet1.xml", XML_HEAD + '<worksheet xmlns="%s" xmlns:r="%s">' % (NS_MAIN, NS_REL) +
         '<dimension ref="A1:%s%d"/><sheetViews><sheetView workbookViewId="0"/></sheetViews>'
         '<sheetFormatPr defaultRowHeight="18.75"/><sheetData>' % (COLUMN_NAMES[-1], len(rows)) +
         "".join(sheet) + '</sheetData><pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" '
         'header="0.3" footer="0.3"/></worksheet>'),
        ("xl/sharedStrings.xml", XML_HEAD + '<sst xmlns="%s" count="%d" uniqueCount="%d">' % (
            NS_MAIN, uses, len(strings)) + "".join("<si>%s</si>" % xlsx_text(v) for v in strings) + "</sst>"),
        ("xl/styles.xml", XML_HEAD + '<styleSheet xmlns="%s">' % NS_MAIN +
         '<fonts count="1"><font><sz val="11"/><color theme="1"/><name val="游ゴシック"/><family val="2"/>'
         '<charset val="128"/><scheme val="minor"/></font></fonts><fills count="2"><fill><patternFill '
         'patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>'
         '<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>'
         '<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>'
         '<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>'
         '<cellStyles count="1"><cellStyle name="標準" xfId="0" builtinId="0"/></cellStyles></styleSheet>'),
    ])


def ods_line(line):
    """One line of a value inside <text:p>: a space that XML would fold away
    is a <text:s/>, a tab a <text:tab/>."""
    out = []
    for piece in re.split(r"( {2,}|^ |\t)", line):
        if piece == "\t":
            out.append("<text:tab/>")
        elif piece.startswith(" ") and piece.strip() == "" and (len(piece) > 1 or not out):
            lead = " " if out and len(piece) > 1 else ""
            rest = len(piece) - len(lead)
            out.append(lead + ("<text:s/>" if rest == 1 else '<text:s text:c="%d"/>' % rest))
        elif piece:
            out.append(escape(piece))
    return "".join(out)


ODS_MAX_COLUMNS = 1024
ODS_MAX_ROWS = 1048576
NS_ODS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
          'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
          'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
          'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
          'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
          'xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0" '
          'office:version="1.3"')


def write_ods(path, rows):
    body = []
    for row in rows:
        cells = []
        empty = 0  # empty cells not yet written
        for value in row:
            if not value:
                empty += 1
                continue
            if empty:
                cells.append('<table:table-cell table:number-columns-repeated="%d"/>' % empty
                             if empty > 1 else "<table:table-cell/>")
                empty = 0
            text = "".join("<text:p>%s</text:p>" % ods_line(line) for line in value.split("\n"))
            if INTEGER.fullmatch(value):
                cells.append('<table:table-cell office:value-type="float" office:value="%s" '
                             'calcext:value-type="float">%s</table:table-cell>' % (value, text))
            else:
                cells.append('<table:table-cell office:value-type="string" calcext:value-type="string">'
                             "%s</table:table-cell>" % text)
        cells.append('<table:table-cell table:number-columns-repeated="%d"/>' % (
            ODS_MAX_COLUMNS - len(row) + empty))
        body.append('<table:table-row table:style-name="ro1">%s</table:table-row>' % "".join(cells))
    columns = len(SHOP_COLUMNS)
    content = (
        XML_HEAD.replace(' standalone="yes"', "") + "<office:document-content %s>" % NS_ODS +
        '<office:automatic-styles><style:style style:name="co1" style:family="table-column">'
        '<style:table-column-properties fo:break-before="auto" style:column-width="2.258cm"/></style:style>'
        '<style:style style:name="ro1" style:family="table-row"><style:table-row-properties '
        'style:row-height="0.452cm" fo:break-before="auto" style:use-optimal-row-height="true"/>'
        '</style:style><style:style style:name="ta1" style:family="table" style:master-page-name="Default">'
        '<style:table-properties table:display="true" style:writing-mode="lr-tb"/></style:style>'
        "</office:automatic-styles><office:body><office:spreadsheet>"
        '<table:calculation-settings table:automatic-find-labels="false"/>'
        '<table:table table:name="shop" table:style-name="ta1">'
        '<table:table-column table:style-name="co1" table:number-columns-repeated="%d" '
        'table:default-cell-style-name="Default"/>'
        '<table:table-column table:style-name="co1" table:number-columns-repeated="%d" '
        'table:default-cell-style-name="Default"/>' % (columns, ODS_MAX_COLUMNS - columns) +
        "".join(body) +
        '<table:table-row table:style-name="ro1" table:number-rows-repeated="%d">'
        '<table:table-cell table:number-columns-repeated="%d"/></table:table-row>' % (
            ODS_MAX_ROWS - len(rows), ODS_MAX_COLUMNS) +
        "</table:table><table:named-expressions/></office:spreadsheet></office:body>"
        "</office:document-content>")
    mime = "application/vnd.oasis.opendocument.spreadsheet"
    write_zip(path, [
        ("mimetype", mime),
        ("content.xml", content),
        ("styles.xml", XML_HEAD.replace(' standalone="yes"', "") +
         "<office:document-styles %s><office:styles>" % NS_ODS +
         '<style:style style:name="Default" style:family="table-cell"/></office:styles>'
         '<office:master-styles><style:master-page style:name="Default"/></office:master-styles>'
         "</office:document-styles>"),
        ("META-INF/manifest.xml", XML_HEAD.replace(' standalone="yes"', "") +
         '<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" '
         'manifest:version="1.3"><manifest:file-entry manifest:full-path="/" manifest:version="1.3" '
         'manifest:media-type="%s"/>' % mime +
         '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
         '<manifest:file-entry manifest:full-path="styles.xml" manifest:media-type="text/xml"/>'
         "</manifest:manifest>"),
    ], stored=("mimetype",))


def write_book(folder, n):
    rows = [[shown(field) for field in record] for record in shop_records(n)]
    xlsx = os.path.join(folder, "shop-%d.xlsx" % n)
    ods = os.path.join(folder, "shop-%d.ods" % n)
    write_xlsx(xlsx, rows)
    write_ods(ods, rows)
    return xlsx, ods


def write_wide(folder, n, columns):
    rnd = random.Random(500)
    header = ["f%03d" % c for c in range(columns)]
    lines = [",".join(header)]
    for i in range(1, n):
        row = []
        for c in range(columns):
            r = rnd.randrange(20)
            if r == 0:
                row.append("")
            elif r < 4:
                row.append("値%d" % rnd.randrange(1000))
            else:
                row.append(str(rnd.randrange(100000)))
        row[0] = str(i)
        lines.append(",".join(row))
    csv_path = os.path.join(folder, "wide-%d-%d.csv" % (n, columns))
    with open(csv_path, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode(ENC))
    body = ["<html>", "<head><title>[f000]</title></head>", "<body>", "<table border>"]
    for c in range(1, columns):
        body.append("<tr><th>項目%d</th><td>[%s]</td></tr>" % (c, header[c]))
    body += ["</table>", "</body>", "</html>", ""]
    html_path = os.path.join(folder, "wide-%d.html" % columns)
    with open(html_path, "wb") as f:
        f.write(crlf("\n".join(body)).encode(ENC))
    return csv_path, html_path


def settings_text(cfg, csv, html, out, count):
    lines = [("FileName", cfg), ("CSV", csv), ("HTML", html), ("Out", out), ("Prefix", ""),
             ("ruleNum", "0"), ("fieldNum", "-1"), ("extNum", "0"), ("start", "1"),
             ("digit", "5"), ("repeat", "1"), ("prefixChk", "0"), ("fixChk", "0"),
             ("repeatChk", "0"), ("createChk", "1"), ("autoChk", "0"),
             ("csvCount", str(count)), ("SelItems", "-1")]
    return "".join("%9s:%s\r\n" % kv for kv in lines)


def write_settings(cfg, csv, html, out, count):
    with open(cfg, "wb") as f:
        f.write(settings_text(cfg, csv, html, out, count).encode(ENC))


def main(argv):
    if len(argv) >= 4 and argv[1] == "shop":
        os.makedirs(argv[2], exist_ok=True)
        print(*write_shop(argv[2], int(argv[3]), int(argv[4]) if len(argv) >= 5 else 0))
    elif len(argv) >= 4 and argv[1] == "book":
        os.makedirs(argv[2], exist_ok=True)
        print(*write_book(argv[2], int(argv[3])))
    elif len(argv) >= 5 and argv[1] == "wide":
        os.makedirs(argv[2], exist_ok=True)
        print(*write_wide(argv[2], int(argv[3]), int(argv[4])))
    elif len(argv) >= 7 and argv[1] == "cfg":
        write_settings(argv[2], argv[3], argv[4], argv[5], int(argv[6]))
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
