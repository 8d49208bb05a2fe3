#include "diag/Catalogue.h"

#include "platform/StrFormat.h"
#include "platform/TextEncoding.h"

namespace diag {
namespace {

using platform::StrFormat;

struct Message {
    Severity severity;
    Place place;
    const char* format;  // %d: the number; %s: the data, as the code says
};

// In the order of Code.
constexpr Message kMessages[] = {
    {Severity::kRefusal, Place::kStatus, "ｿｰｽﾌｧｲﾙ(CSV) を指定してください．"},
    {Severity::kRefusal, Place::kStatus, "ｿｰｽﾌｧｲﾙ(CSV) が見つかりません．"},
    {Severity::kWarning, Place::kWarningBox, "ファイルが読めません．"},
    {Severity::kWarning, Place::kWarningBox, "ファイルが空です．"},
    {Severity::kWarning, Place::kWarningBox, "%d 行目にダブルクォーテーション・エラーがあります．"},
    {Severity::kWarning, Place::kWarningBox,
     "%d 行目のフィールドが長すぎるため，この行以降は読み込みませんでした．"},
    {Severity::kWarning, Place::kWarningBox,
     "%d 行目以降のデータは NUL 文字のため読み込みませんでした．"},
    {Severity::kWarning, Place::kWarningBox,
     "レコード数が 32000 を超えたため，%d 行目以降は読み込みませんでした．"},
    {Severity::kWarning, Place::kWarningBox,
     "%d 行目のフィールド数が 500 を超えたため，501 番目以降のフィールドは読み込みませんでした．"},
    {Severity::kWarning, Place::kWarningBox, "メモリが足りないため読み込めませんでした．"},
    {Severity::kWarning, Place::kWarningBox,
     "%d 個のセルの表示形式 (%s) がわからないため，標準の形式で読みました．"},
    {Severity::kWarning, Place::kWarningBox,
     "%d 個の数式のセルに値が保存されていないため，空にしました．"},
    {Severity::kWarning, Place::kWarningBox,
     "ｿｰｽﾌｧｲﾙ(CSV) はパスワードで保護されたブックのため読み込めません．"},
    {Severity::kWarning, Place::kWarningBox,
     "ｿｰｽﾌｧｲﾙ(CSV) は Excel 97-2003 形式 (.xls) のため読み込めません．.xlsx か CSV で保存してください．"},
    {Severity::kWarning, Place::kWarningBox, "ｿｰｽﾌｧｲﾙ(CSV) はブックとして読み込めません．"},
    {Severity::kRefusal, Place::kStatus, "ﾃﾝﾌﾟﾚｰﾄ(HTML) を指定してください．"},
    {Severity::kRefusal, Place::kStatus, "出力先(ﾌｫﾙﾀﾞ) を指定してください．"},
    {Severity::kRefusal, Place::kStatus, "ﾃﾝﾌﾟﾚｰﾄ(HTML) が見つかりません．"},
    {Severity::kRefusal, Place::kStatus,
     "ﾃﾝﾌﾟﾚｰﾄ(HTML) は UTF-16 のため読み込めません．UTF-8 か Shift_JIS で保存してください．"},
    {Severity::kRefusal, Place::kStatus,
     "ﾃﾝﾌﾟﾚｰﾄ(HTML) の文字コード (%s) は読み込めません．UTF-8 か Shift_JIS で保存してください．"},
    {Severity::kRefusal, Place::kStatus, "メモリが足りないため読み込めませんでした．"},
    {Severity::kRefusal, Place::kStatus, "出力先(ﾌｫﾙﾀﾞ) が見つかりません．"},
    {Severity::kRefusal, Place::kStatus, "生成ファイル用のフィールド名を選択してください．"},
    {Severity::kRefusal, Place::kStatus, "出力したいレコードを選択してください．"},
    {Severity::kRefusal, Place::kStatus, "別の実行が出力先に書き込み中のため，終わるまで待ちます．"},
    {Severity::kInformation, Place::kStatus,
     "別の実行が出力先に書き込み中のため，終わるまで待ちます．"},
    {Severity::kInformation, Place::kProgress, "%3d%% 完了"},
    {Severity::kInformation, Place::kStatus, "%d 件のレコードのうち %d 件を選択しています．"},
    {Severity::kInformation, Place::kStatus,
     "%d 件のレコードのうち %d 件を選択しています．見出し行も選択しています．"},
    {Severity::kWarning, Place::kStatus,
     "%s をﾌﾞﾗｳｻﾞで開けませんでした．出力先(ﾌｫﾙﾀﾞ) から直接開いてください．"},
    {Severity::kWarning, Place::kWarningBox, ""},
    {Severity::kWarning, Place::kWarningBox,
     "ﾃﾝﾌﾟﾚｰﾄ(HTML) の %d 行目以降は NUL 文字のため読み込みませんでした．"},
    {Severity::kWarning, Place::kWarningBox,
     "ﾃﾝﾌﾟﾚｰﾄ(HTML) の %d 行目以降は 0x1A 文字のため読み込みませんでした．"},
    {Severity::kWarning, Place::kWarningBox, "%d 個のファイルを作成または書き込みできませんでした．"},
    {Severity::kWarning, Place::kWarningBox, "%d 個のページが同じ名前の後のページで上書きされました．"},
    {Severity::kInformation, Place::kAfterStatus,
     "%d 文字をサイトの文字コードで表せないため，文字参照 (&#…;) で書きました．"},
    {Severity::kInformation, Place::kAfterStatus,
     "%d か所の不正なバイト列を U+FFFD (�) に置き換えました．"},
    {Severity::kInformation, Place::kConsoleOnly,
     "%d 個のファイルは内容が変わらないため書き換えませんでした．"},
    {Severity::kRefusal, Place::kMessageBox, "ファイル(%s)が開けません．"},
    {Severity::kRefusal, Place::kMessageBox,
     "設定ファイル(%s)は UTF-16 のため読み込めません．UTF-8 か Shift_JIS で保存してください．"},
    {Severity::kWarning, Place::kWarningBox, "設定ファイルの次の行はそのままでは使えませんでした．"},
};
static_assert(std::size(kMessages) == static_cast<size_t>(Code::kSettingsLinesUnused) + 1,
              "a message for every code");

const Message& MessageOf(Code code) { return kMessages[static_cast<size_t>(code)]; }

}  // namespace

const char* ReasonText(NotWrittenReason reason) {
    switch (reason) {
        case NotWrittenReason::kEmptyName:
            return "(名前が空です)";
        case NotWrittenReason::kNoFolder:
            return "(名前の / の先のフォルダがありません)";
        case NotWrittenReason::kNameTooLong:
            return "(名前が長すぎます)";
        case NotWrittenReason::kNotRegular:
            return "(リンクか通常のファイルでないものがあります)";
        case NotWrittenReason::kRunFile:
            return "(この実行の入力か出力のファイルです)";
        case NotWrittenReason::kWindowsName:
            return "(Windows では使えない名前です)";
        case NotWrittenReason::kCannotWrite:
            break;
    }
    return "(書き込めません)";
}

Severity SeverityOf(Code code) { return MessageOf(code).severity; }
Place PlaceOf(Code code) { return MessageOf(code).place; }

std::string Text(const Diagnostic& d, const DataShown& shown, bool whole) {
    auto data = [&shown](const std::string& utf8) { return shown ? shown(utf8) : utf8; };
    const char* format = MessageOf(d.code).format;
    std::string text;
    switch (d.code) {
        case Code::kRunIncomplete:
            for (const Diagnostic& part : d.parts) {
                if (!text.empty()) text += '\n';
                text += Text(part, shown, whole);
            }
            return text;
        case Code::kFilesNotWritten:
        case Code::kPagesOverwritten:
            text = StrFormat(format, static_cast<int>(d.entries.size()));
            for (size_t i = 0; i < d.entries.size(); ++i) {
                if (!whole && i == kNamesShown) {
                    text += StrFormat("\nほか %d 件", static_cast<int>(d.entries.size() - i));
                    break;
                }
                text += '\n' + data(d.entries[i].text);
                if (d.code == Code::kFilesNotWritten)
                    text += std::string(" ") + ReasonText(d.entries[i].reason);
            }
            return text;
        case Code::kSettingsLinesUnused:
            // A line of the file may hold anything: shown harmless everywhere.
            text = format;
            for (size_t i = 0; i < d.entries.size(); ++i) {
                if (!whole && i == kNamesShown) {
                    text += StrFormat("\nほか %d 行", static_cast<int>(d.entries.size() - i));
                    break;
                }
                text += StrFormat("\n%d 行目: %s", d.entries[i].number,
                                  platform::EscapeForTerminal(d.entries[i].text).c_str());
            }
            return text;
        case Code::kTemplateCharset:
            return StrFormat(format, d.name.c_str());
        case Code::kBookUnknownFormat:
            // A workbook's format code may hold anything: shown harmless.
            return StrFormat(format, d.number, platform::EscapeForTerminal(d.name).c_str());
        case Code::kSelection:
        case Code::kSelectionWithHeader:
            return StrFormat(format, d.number, d.count);
        case Code::kBrowserFailed:
        case Code::kSettingsCannotOpen:
        case Code::kSettingsUtf16:
            return StrFormat(format, data(d.path).c_str());
        default:
            return StrFormat(format, d.number);
    }
}

}  // namespace diag
