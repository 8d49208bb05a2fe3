// Every message of the product, byte for byte: the one place a text is
// pinned. The layers' tests look at codes and data.
#include "diag/Catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

namespace {

using namespace diag;

std::string Bracketed(std::string_view utf8) { return "<" + std::string(utf8) + ">"; }

TEST(Catalogue, EveryCodeHasItsText) {
    const Diagnostic notWritten{
        .code = Code::kFilesNotWritten,
        .entries = {{.text = "out/.html", .reason = NotWrittenReason::kEmptyName},
                    {.text = "out/a/b.html", .reason = NotWrittenReason::kNoFolder},
                    {.text = "out/n.html", .reason = NotWrittenReason::kNameTooLong},
                    {.text = "out/l.html", .reason = NotWrittenReason::kNotRegular},
                    {.text = "out/_db.html", .reason = NotWrittenReason::kRunFile},
                    {.text = "out/r.html", .reason = NotWrittenReason::kCannotWrite},
                    {.text = "out/CON.html", .reason = NotWrittenReason::kWindowsName}}};
    const Diagnostic overwritten{.code = Code::kPagesOverwritten,
                                 .entries = {{.text = "dup.html"}, {.text = "dup.html"}}};
    const struct {
        Diagnostic diagnostic;
        Severity severity;
        Place place;
        const char* text;
    } cases[] = {
        {{.code = Code::kNoCsvPath}, Severity::kRefusal, Place::kStatus,
         "ｿｰｽﾌｧｲﾙ(CSV) を指定してください．"},
        {{.code = Code::kCsvNotFound, .path = "a.csv"}, Severity::kRefusal, Place::kStatus,
         "ｿｰｽﾌｧｲﾙ(CSV) が見つかりません．"},
        {{.code = Code::kCsvReadError}, Severity::kWarning, Place::kWarningBox,
         "ファイルが読めません．"},
        {{.code = Code::kCsvEmpty}, Severity::kWarning, Place::kWarningBox, "ファイルが空です．"},
        {{.code = Code::kCsvQuoteError, .number = 7}, Severity::kWarning, Place::kWarningBox,
         "7 行目にダブルクォーテーション・エラーがあります．"},
        {{.code = Code::kCsvFieldTooLong, .number = 3}, Severity::kWarning, Place::kWarningBox,
         "3 行目のフィールドが長すぎるため，この行以降は読み込みませんでした．"},
        {{.code = Code::kCsvNul, .number = 1}, Severity::kWarning, Place::kWarningBox,
         "1 行目以降のデータは NUL 文字のため読み込みませんでした．"},
        {{.code = Code::kCsvTooManyRecords, .number = 32001}, Severity::kWarning,
         Place::kWarningBox, "レコード数が 32000 を超えたため，32001 行目以降は読み込みませんでした．"},
        {{.code = Code::kCsvTooManyFields, .number = 2}, Severity::kWarning, Place::kWarningBox,
         "2 行目のフィールド数が 500 を超えたため，501 番目以降のフィールドは読み込みませんでした．"},
        {{.code = Code::kNoMemory}, Severity::kWarning, Place::kWarningBox,
         "メモリが足りないため読み込めませんでした．"},
        {{.code = Code::kBookUnknownFormat, .number = 3, .name = "[DBNum1]0\x1b"}, Severity::kWarning,
         Place::kWarningBox, "3 個のセルの表示形式 ([DBNum1]0\\x1b) がわからないため，標準の形式で読みました．"},
        {{.code = Code::kBookFormulaNoValue, .number = 2}, Severity::kWarning, Place::kWarningBox,
         "2 個の数式のセルに値が保存されていないため，空にしました．"},
        {{.code = Code::kBookPassword}, Severity::kWarning, Place::kWarningBox,
         "ｿｰｽﾌｧｲﾙ(CSV) はパスワードで保護されたブックのため読み込めません．"},
        {{.code = Code::kBookXls}, Severity::kWarning, Place::kWarningBox,
         "ｿｰｽﾌｧｲﾙ(CSV) は Excel 97-2003 形式 (.xls) のため読み込めません．.xlsx か CSV で保存してください．"},
        {{.code = Code::kBookDamaged}, Severity::kWarning, Place::kWarningBox,
         "ｿｰｽﾌｧｲﾙ(CSV) はブックとして読み込めません．"},
        {{.code = Code::kNoTemplatePath}, Severity::kRefusal, Place::kStatus,
         "ﾃﾝﾌﾟﾚｰﾄ(HTML) を指定してください．"},
        {{.code = Code::kNoOutPath}, Severity::kRefusal, Place::kStatus,
         "出力先(ﾌｫﾙﾀﾞ) を指定してください．"},
        {{.code = Code::kTemplateMissing}, Severity::kRefusal, Place::kStatus,
         "ﾃﾝﾌﾟﾚｰﾄ(HTML) が見つかりません．"},
        {{.code = Code::kTemplateUtf16}, Severity::kRefusal, Place::kStatus,
         "ﾃﾝﾌﾟﾚｰﾄ(HTML) は UTF-16 のため読み込めません．UTF-8 か Shift_JIS で保存してください．"},
        {{.code = Code::kTemplateCharset, .name = "EUC-JP"}, Severity::kRefusal, Place::kStatus,
         "ﾃﾝﾌﾟﾚｰﾄ(HTML) の文字コード (EUC-JP) は読み込めません．UTF-8 か Shift_JIS で保存してください．"},
        {{.code = Code::kRunNoMemory}, Severity::kRefusal, Place::kStatus,
         "メモリが足りないため読み込めませんでした．"},
        {{.code = Code::kOutMissing}, Severity::kRefusal, Place::kStatus,
         "出力先(ﾌｫﾙﾀﾞ) が見つかりません．"},
        {{.code = Code::kNoNamingField}, Severity::kRefusal, Place::kStatus,
         "生成ファイル用のフィールド名を選択してください．"},
        {{.code = Code::kNoRecords}, Severity::kRefusal, Place::kStatus,
         "出力したいレコードを選択してください．"},
        {{.code = Code::kOutBusy}, Severity::kRefusal, Place::kStatus,
         "別の実行が出力先に書き込み中のため，終わるまで待ちます．"},
        {{.code = Code::kWaitingForOutput}, Severity::kInformation, Place::kStatus,
         "別の実行が出力先に書き込み中のため，終わるまで待ちます．"},
        {{.code = Code::kProgress, .number = 5}, Severity::kInformation, Place::kProgress,
         "  5% 完了"},
        {{.code = Code::kSelection, .number = 1969, .count = 12}, Severity::kInformation,
         Place::kStatus, "1969 件のレコードのうち 12 件を選択しています．"},
        {{.code = Code::kSelectionWithHeader, .number = 3, .count = 0}, Severity::kInformation,
         Place::kStatus, "3 件のレコードのうち 0 件を選択しています．見出し行も選択しています．"},
        {{.code = Code::kBrowserFailed, .path = "out/_index.html"}, Severity::kWarning,
         Place::kStatus,
         "<out/_index.html> をﾌﾞﾗｳｻﾞで開けませんでした．出力先(ﾌｫﾙﾀﾞ) から直接開いてください．"},
        {{.code = Code::kRunIncomplete,
          .parts = {{.code = Code::kTemplateNulLine, .number = 4},
                    {.code = Code::kTemplateEofLine, .number = 9}, overwritten}},
         Severity::kWarning, Place::kWarningBox,
         "ﾃﾝﾌﾟﾚｰﾄ(HTML) の 4 行目以降は NUL 文字のため読み込みませんでした．\n"
         "ﾃﾝﾌﾟﾚｰﾄ(HTML) の 9 行目以降は 0x1A 文字のため読み込みませんでした．\n"
         "2 個のページが同じ名前の後のページで上書きされました．\n<dup.html>\n<dup.html>"},
        {{.code = Code::kTemplateNulLine, .number = 2}, Severity::kWarning, Place::kWarningBox,
         "ﾃﾝﾌﾟﾚｰﾄ(HTML) の 2 行目以降は NUL 文字のため読み込みませんでした．"},
        {{.code = Code::kTemplateEofLine, .number = 2}, Severity::kWarning, Place::kWarningBox,
         "ﾃﾝﾌﾟﾚｰﾄ(HTML) の 2 行目以降は 0x1A 文字のため読み込みませんでした．"},
        {notWritten, Severity::kWarning, Place::kWarningBox,
         "7 個のファイルを作成または書き込みできませんでした．\n<out/.html> (名前が空です)\n"
         "<out/a/b.html> (名前の / の先のフォルダがありません)\n<out/n.html> (名前が長すぎます)\n"
         "<out/l.html> (リンクか通常のファイルでないものがあります)\n"
         "<out/_db.html> (この実行の入力か出力のファイルです)\n<out/r.html> (書き込めません)\n"
         "<out/CON.html> (Windows では使えない名前です)"},
        {overwritten, Severity::kWarning, Place::kWarningBox,
         "2 個のページが同じ名前の後のページで上書きされました．\n<dup.html>\n<dup.html>"},
        {{.code = Code::kCharacterReferences, .number = 2}, Severity::kInformation,
         Place::kAfterStatus, "2 文字をサイトの文字コードで表せないため，文字参照 (&#…;) で書きました．"},
        {{.code = Code::kReplacements, .number = 3}, Severity::kInformation, Place::kAfterStatus,
         "3 か所の不正なバイト列を U+FFFD (�) に置き換えました．"},
        {{.code = Code::kUnchangedFiles, .number = 4}, Severity::kInformation,
         Place::kConsoleOnly, "4 個のファイルは内容が変わらないため書き換えませんでした．"},
        {{.code = Code::kSettingsCannotOpen, .path = "a b.cfg"}, Severity::kRefusal,
         Place::kMessageBox, "ファイル(<a b.cfg>)が開けません．"},
        {{.code = Code::kSettingsUtf16, .path = "u.cfg"}, Severity::kRefusal, Place::kMessageBox,
         "設定ファイル(<u.cfg>)は UTF-16 のため読み込めません．UTF-8 か Shift_JIS で保存してください．"},
        {{.code = Code::kSettingsLinesUnused,
          .entries = {{.text = "csvCode:EUC", .number = 2}, {.text = "x\x1b", .number = 9}}},
         Severity::kWarning, Place::kWarningBox,
         "設定ファイルの次の行はそのままでは使えませんでした．\n2 行目: csvCode:EUC\n"
         "9 行目: x\\x1b"},
    };
    std::set<Code> seen;
    for (const auto& c : cases) {
        const Code code = c.diagnostic.code;
        SCOPED_TRACE(static_cast<int>(code));
        seen.insert(code);
        EXPECT_EQ(Text(c.diagnostic, Bracketed), c.text);
        EXPECT_EQ(SeverityOf(code), c.severity);
        EXPECT_EQ(PlaceOf(code), c.place);
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(Code::kSettingsLinesUnused) + 1);
}

// A list shows its first ten names below the count of them all; data is as
// it is unless a renderer says otherwise. The lines of a settings file: ten
// and a count of the rest, or every one.
TEST(Catalogue, ListsShowTenNames) {
    Diagnostic d{.code = Code::kPagesOverwritten};
    for (int i = 0; i < 12; ++i) d.entries.push_back({.text = "p" + std::to_string(i)});
    const std::string ten = "12 個のページが同じ名前の後のページで上書きされました．\np0\np1\np2\np3\np4"
                            "\np5\np6\np7\np8\np9";
    EXPECT_EQ(Text(d), ten + "\nほか 2 件");
    EXPECT_EQ(Text(d, nullptr, true), ten + "\np10\np11");
    Diagnostic lines{.code = Code::kSettingsLinesUnused};
    std::string first;
    for (int i = 1; i <= 12; ++i) {
        lines.entries.push_back({.text = "x", .number = i});
        if (i <= 10) first += "\n" + std::to_string(i) + " 行目: x";
    }
    const std::string head = "設定ファイルの次の行はそのままでは使えませんでした．";
    EXPECT_EQ(Text(lines), head + first + "\nほか 2 行");
    EXPECT_EQ(Text(lines, nullptr, true), head + first + "\n11 行目: x\n12 行目: x");
}

}  // namespace
