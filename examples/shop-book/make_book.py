#!/usr/bin/env python3
"""Make shop.xlsx, shop.ods and shop.csv from ../shop-utf8/shop.csv: the shop list with
furigana, formatted numbers, dates and times, a formula, rich text, a line break, a merged
cell and empty formatted cells, and as CSV the text the workbook shows.  Same bytes on rerun.
"""
import csv
import datetime
import os
import re
import zipfile
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, '..', 'shop-utf8', 'shop.csv')
SHEETS = ('お品書き', 'メモ')
MEMO = ('価格はすべて税込です。', '季節の品はなくなり次第終わります。')
D = datetime.date
# id: arrived, on sale since (shown in the Japanese era), served from
DATES = {'1': (D(2024, 4, 1), D(2019, 4, 30), 0.375),
         '2': (D(2024, 4, 15), D(2019, 5, 1), 0.4375),
         '3': (D(2024, 5, 2), D(2024, 4, 1), 0.5),
         '4': (D(2024, 3, 20), D(2018, 12, 25), 0.59375),
         '5': (D(2024, 4, 8), D(2020, 7, 7), 8.75 / 24),
         '6': (D(2024, 4, 10), D(2023, 11, 3), 17 / 24)}
PRICE = {'4': 560 * 2, '6': 300 * 5}             # whole tart, box of five
FORMULA = {'2': 30}                              # 30 yen less than the row above
NOTE = {'1': '石臼挽きの抹茶を\n牛乳でのばしました。',
        '6': '🍪 5 枚入り。  贈り物にもどうぞ。'}
RICH = {'3': (('チョコレートと', False), ('エスプレッソ', True),  # inline, one run bold
              ('の一杯。', False))}
MERGED = '4'                                     # origin spans the note cell
RUBY = {'抹茶ラテ': ((0, 2, 'マッチャ'),), 'ほうじ茶ラテ': ((3, 4, 'チャ'),),
        '黒糖わらび餅': ((0, 2, 'コクトウ'), (5, 6, 'モチ')),
        '塩キャラメルクッキー': ((0, 1, 'シオ'),)}
HEADER = ('id', 'name', 'price', 'origin', 'note', 'arrived', 'wareki', 'time')
ERAS = ((D(2019, 5, 1), '令和'), (D(1989, 1, 8), '平成'), (D(1926, 12, 25), '昭和'))
XML = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
MAIN = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
PKG = 'http://schemas.openxmlformats.org/package/2006/relationships'
CT = 'application/vnd.openxmlformats-officedocument.spreadsheetml.'


def era(d):                      # [$-411]ggge"年"m"月"d"日": the first year shows as 1
    start, name = next(e for e in ERAS if d >= e[0])
    return f'{name}{d.year - start.year + 1}年{d.month}月{d.day}日'


def records():
    with open(SOURCE, encoding='utf-8-sig', newline='') as f:
        rows = list(csv.DictReader(f))
    out = []
    for r in rows:
        i, price, note = r['id'], PRICE.get(r['id'], int(r['price'])), NOTE.get(r['id'], r['note'])
        assert i not in FORMULA or price == out[-1]['price'] - FORMULA[i]
        assert i not in RICH or ''.join(t for t, _ in RICH[i]) == note
        out.append(dict(zip(('arrived', 'wareki', 'time'), DATES[i]), id=int(i), name=r['name'],
                        price=price, origin=r['origin'], note='' if i == MERGED else note))
    return out


def shown(r):                    # General, #,##0"円", yyyy/m/d (format 14), era, h:mm
    a, s = r['arrived'], round(r['time'] * 86400)
    return [str(r['id']), r['name'], f"{r['price']:,}円", r['origin'], r['note'],
            f'{a.year}/{a.month}/{a.day}', era(r['wareki']), f'{s // 3600}:{s % 3600 // 60:02d}']


def write_zip(path, members):       # fixed order and time; mimetype first and stored
    with zipfile.ZipFile(path, 'w') as z:
        for name, text in members:
            info = zipfile.ZipInfo(name, (2026, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_STORED if name == 'mimetype' else zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            z.writestr(info, text.encode('utf-8'))


# Office Open XML
def xlsx(recs, path):
    sst = []

    def s(text, ruby=None):      # shared string; names carry furigana and phoneticPr
        body = f'<t>{escape(text)}</t>'.replace('\n', '&#10;')
        if ruby is not None:
            body += ''.join(f'<rPh sb="{a}" eb="{b}"><t>{k}</t></rPh>' for a, b, k in ruby)
            body += '<phoneticPr fontId="1"/>'
        sst.extend([] if body in sst else [body])
        return str(sst.index(body))

    def c(ref, v, style=0, t=None, f=None):
        a = (f' t="{t}"' if t else '') + (f' s="{style}"' if style else '')
        return f'<c r="{ref}"{a}>' + (f'<f>{f}</f>' if f else '') + f'<v>{v}</v></c>'

    rows = ['<row r="1">' + ''.join(c(f'{chr(65 + k)}1', s(h), t='s')
                                    for k, h in enumerate(HEADER)) + '</row>']
    for n, r in enumerate(recs, 2):
        i = str(r['id'])
        cells = [c(f'A{n}', r['id']), c(f'B{n}', s(r['name'], RUBY.get(r['name'], ())), t='s'),
                 c(f'C{n}', r['price'], 1, f=f'C{n - 1}-{FORMULA[i]}' if i in FORMULA else None),
                 c(f'D{n}', s(r['origin']), t='s')]
        if i == MERGED:
            cells.append(f'<c r="E{n}" s="0"/>')
            merged = f'D{n}:E{n}'
        elif i in RICH:
            runs = ''.join(('<r><rPr><b/></rPr>' if bold else '<r>') + f'<t>{escape(t)}</t></r>'
                           for t, bold in RICH[i])
            cells.append(f'<c r="E{n}" t="inlineStr"><is>{runs}</is></c>')
        else:
            cells.append(c(f'E{n}', s(r['note']), t='s'))
        day = [(r[k] - D(1899, 12, 30)).days for k in ('arrived', 'wareki')]  # 1900 system
        cells += [c(f'F{n}', day[0], 2), c(f'G{n}', day[1], 3), c(f'H{n}', repr(r['time']), 4)]
        if n == 3:
            cells.append(f'<c r="J{n}" s="1"/>')          # formatted, no value
        rows.append(f'<row r="{n}">' + ''.join(cells) + '</row>')
    last = len(recs) + 2                                  # formatted, empty row
    rows.append(f'<row r="{last}"><c r="A{last}" s="1"/><c r="B{last}" s="1"/></row>')
    sheet1 = (XML + f'<worksheet xmlns="{MAIN}" xmlns:r="{REL}"><dimension ref="A1:J{last}"/>'
              '<sheetData>' + ''.join(rows) + '</sheetData>'
              f'<mergeCells count="1"><mergeCell ref="{merged}"/></mergeCells>'
              '<phoneticPr fontId="1"/></worksheet>')
    memo = ''.join(f'<row r="{n}">' + c(f'A{n}', s(t), t='s') + '</row>'
                   for n, t in enumerate(MEMO, 1))
    sheet2 = (XML + f'<worksheet xmlns="{MAIN}" xmlns:r="{REL}"><dimension ref="A1:A2"/>'
              f'<sheetData>{memo}</sheetData></worksheet>')
    strings = (XML + f'<sst xmlns="{MAIN}" count="{len(sst)}" uniqueCount="{len(sst)}">'
               + ''.join(f'<si>{b}</si>' for b in sst) + '</sst>')
    font = '<font><sz val="{}"/><name val="游ゴシック"/><charset val="128"/></font>'
    xfs = ''.join(f'<xf numFmtId="{k}" fontId="0" fillId="0" borderId="0" xfId="0"'
                  + (' applyNumberFormat="1"/>' if k else '/>') for k in (0, 176, 14, 177, 20))
    styles = (XML + f'<styleSheet xmlns="{MAIN}"><numFmts count="2">'
              '<numFmt numFmtId="176" formatCode="#,##0&quot;円&quot;"/>'
              '<numFmt numFmtId="177" formatCode="[$-411]ggge&quot;年&quot;m&quot;月&quot;'
              'd&quot;日&quot;"/></numFmts>'
              f'<fonts count="2">{font.format(11)}{font.format(6)}</fonts>'
              '<fills count="2"><fill><patternFill patternType="none"/></fill>'
              '<fill><patternFill patternType="gray125"/></fill></fills>'
              '<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border>'
              '</borders><cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" '
              f'borderId="0"/></cellStyleXfs><cellXfs count="5">{xfs}</cellXfs>'
              '<cellStyles count="1"><cellStyle name="標準" xfId="0" builtinId="0"/>'
              '</cellStyles></styleSheet>')
    sheets = ''.join(f'<sheet name="{n}" sheetId="{k}" r:id="rId{k}"/>'
                     for k, n in enumerate(SHEETS, 1))
    book = XML + f'<workbook xmlns="{MAIN}" xmlns:r="{REL}"><sheets>{sheets}</sheets></workbook>'
    targets = [('worksheet', 'worksheets/sheet1.xml'), ('worksheet', 'worksheets/sheet2.xml'),
               ('sharedStrings', 'sharedStrings.xml'), ('styles', 'styles.xml')]
    wrels = (XML + f'<Relationships xmlns="{PKG}">' + ''.join(
        f'<Relationship Id="rId{k}" Type="{REL}/{t}" Target="{p}"/>'
        for k, (t, p) in enumerate(targets, 1)) + '</Relationships>')
    rels = (XML + f'<Relationships xmlns="{PKG}"><Relationship Id="rId1" '
            f'Type="{REL}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
    members = [('workbook.xml', 'sheet.main', book), ('_rels/workbook.xml.rels', '', wrels)]
    members += [(p, t, x) for (t, p), x in zip(targets, (sheet1, sheet2, strings, styles))]
    types = (XML + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
             '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.'
             'relationships+xml"/><Default Extension="xml" ContentType="application/xml"/>'
             + ''.join(f'<Override PartName="/xl/{p}" ContentType="{CT}{t}+xml"/>'
                       for p, t, _ in members if t) + '</Types>')
    write_zip(path, [('[Content_Types].xml', types), ('_rels/.rels', rels)]
              + [('xl/' + p, x) for p, _, x in members])


# OpenDocument
def para(text):                  # spaces after the first of a run as LibreOffice keeps them
    return re.sub('  +', lambda m: ' <text:s/>' if len(m[0]) == 2
                  else f' <text:s text:c="{len(m[0]) - 1}"/>', escape(text))


def cell(text, vtype='string', value=None, style=None, extra=''):
    a = f' table:style-name="{style}"' if style else ''
    a += f' office:value-type="{vtype}"' + (f' {value}' if value else '') + extra
    body = ''.join(f'<text:p>{p}</text:p>' for p in text.split('\n'))
    return f'<table:table-cell{a}>{body}</table:table-cell>'


def ods(recs, path):
    ns = {'office': 'office:1.0', 'style': 'style:1.0', 'text': 'text:1.0', 'table': 'table:1.0',
          'fo': 'xsl-fo-compatible:1.0', 'number': 'datastyle:1.0', 'of': 'of:1.2'}
    xmlns = ''.join(f' xmlns:{k}="urn:oasis:names:tc:opendocument:xmlns:{v}"'
                    for k, v in ns.items())
    y, m, d = ('<number:year number:style="long"/>', '<number:month/>', '<number:day/>')
    t = '<number:text>{}</number:text>'.format
    gengou = ('<number:era number:style="long" number:calendar="gengou"/>'
              '<number:year number:calendar="gengou"/>')
    numbers = [('number', 'N1', '<number:number number:decimal-places="0" '
                'number:min-integer-digits="1" number:grouping="true"/>' + t('円')),
               ('date', 'N2', y + t('/') + m + t('/') + d),
               ('date', 'N3', gengou + t('年') + m + t('月') + d + t('日')),
               ('time', 'N4', '<number:hours/>' + t(':') + '<number:minutes number:style="long"/>')]
    autos = ''.join(f'<number:{k}-style style:name="{n}" number:language="ja" '
                    f'number:country="JP">{b}</number:{k}-style>' for k, n, b in numbers)
    autos += ''.join(f'<style:style style:name="ce{k}" style:family="table-cell" '
                     f'style:data-style-name="N{k}"/>' for k in range(1, 5))
    autos += ('<style:style style:name="T1" style:family="text">'
              '<style:text-properties fo:font-weight="bold"/></style:style>')
    row = '<table:table-row{}>{}</table:table-row>'.format
    rep = '<table:table-cell{} table:number-columns-repeated="{}"/>'.format
    rest = rep('', 1000)                                 # empty cells, as LibreOffice writes them
    rows = [row('', ''.join(cell(h) for h in HEADER) + rest)]
    for n, r in enumerate(recs, 2):
        i, show = str(r['id']), shown(r)
        price = f' table:formula="of:=[.C{n - 1}]-{FORMULA[i]}"' if i in FORMULA else ''
        cells = [cell(show[0], 'float', f'office:value="{r["id"]}"'), cell(para(show[1])),
                 cell(show[2], 'float', f'office:value="{r["price"]}"', 'ce1', price)]
        if i == MERGED:
            cells.append(cell(para(show[3]), extra=' table:number-columns-spanned="2" '
                              'table:number-rows-spanned="1"') + '<table:covered-table-cell/>')
        elif i in RICH:
            cells += [cell(show[3]), cell(''.join(
                f'<text:span text:style-name="T1">{escape(p)}</text:span>' if b else escape(p)
                for p, b in RICH[i]))]
        else:
            cells += [cell(show[3]), cell('\n'.join(para(p) for p in show[4].split('\n')))]
        s = round(r['time'] * 86400)
        cells += [cell(show[5], 'date', f'office:date-value="{r["arrived"]}"', 'ce2'),
                  cell(show[6], 'date', f'office:date-value="{r["wareki"]}"', 'ce3'),
                  cell(show[7], 'time', f'office:time-value="PT{s // 3600:02d}H'
                       f'{s % 3600 // 60:02d}M{s % 60:02d}S"', 'ce4')]
        if n == 3:                                       # formatted, no value
            cells.append('<table:table-cell/><table:table-cell table:style-name="ce1"/>')
        rows.append(row('', ''.join(cells) + (rep('', 998) if n == 3 else rest)))
    rows += [row('', rep(' table:style-name="ce1"', 2) + rep('', 1022)),   # formatted, empty
             row(' table:number-rows-repeated="1048000"', rep('', 1024))]
    memo = ''.join(row('', cell(para(x))) for x in MEMO)
    columns = ('<table:table-column table:number-columns-repeated="8"/>'
               '<table:table-column table:number-columns-repeated="1016"/>')
    content = (XML.replace(' standalone="yes"', '') + f'<office:document-content{xmlns} '
               f'office:version="1.2"><office:automatic-styles>{autos}</office:automatic-styles>'
               f'<office:body><office:spreadsheet><table:table table:name="{SHEETS[0]}">'
               + columns + ''.join(rows) + f'</table:table><table:table table:name="{SHEETS[1]}">'
               f'<table:table-column/>{memo}</table:table>'
               '</office:spreadsheet></office:body></office:document-content>')
    mime = 'application/vnd.oasis.opendocument.spreadsheet'
    manifest = (XML.replace(' standalone="yes"', '') + '<manifest:manifest xmlns:manifest='
                '"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">'
                f'<manifest:file-entry manifest:full-path="/" manifest:version="1.2" '
                f'manifest:media-type="{mime}"/><manifest:file-entry manifest:full-path='
                '"content.xml" manifest:media-type="text/xml"/></manifest:manifest>')
    write_zip(path, [('mimetype', mime), ('META-INF/manifest.xml', manifest),
                     ('content.xml', content)])


def shown_csv(recs, path):
    def q(v):
        return '"' + v.replace('"', '""') + '"' if any(x in v for x in ',"\r\n') else v
    lines = [','.join(HEADER)] + [','.join(q(v) for v in shown(r)) for r in recs]
    with open(path, 'w', encoding='utf-8-sig', newline='') as f:
        f.write('\r\n'.join(lines) + '\r\n')


if __name__ == '__main__':
    recs = records()
    xlsx(recs, os.path.join(HERE, 'shop.xlsx'))
    ods(recs, os.path.join(HERE, 'shop.ods'))
    shown_csv(recs, os.path.join(HERE, 'shop.csv'))
