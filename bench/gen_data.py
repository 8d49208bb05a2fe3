#!/usr/bin/env python3
"""Deterministic input for the Quolix timings.

    gen_data.py shop DIR N [EVERY]
                                DIR/shop-N.csv, DIR/shop.html; with EVERY,
                                DIR/shop-N-changed-EVERY.csv instead
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

"wide" is a table of C columns, a header and N-1 records of short values,
and a template holding one placeholder per column.

"cfg" writes a settings file that selects every record (SelItems:-1), names
pages by record number and writes the index and dump pages.

The same arguments always give the same bytes.
"""

import os
import random
import sys

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


def write_shop(folder, n, every=0):
    rnd = random.Random(20261207)
    lines = [",".join(SHOP_COLUMNS)]
    for i in range(1, n):
        record = shop_record(rnd, i)
        if every and i % every == 0:
            record[4] = str(int(record[4]) + 10)
        lines.append(",".join(record))
    name = "shop-%d-changed-%d.csv" % (n, every) if every else "shop-%d.csv" % n
    csv_path = os.path.join(folder, name)
    with open(csv_path, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode(ENC))
    html_path = os.path.join(folder, "shop.html")
    with open(html_path, "wb") as f:
        f.write(crlf(SHOP_TEMPLATE).encode(ENC))
    return csv_path, html_path


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
