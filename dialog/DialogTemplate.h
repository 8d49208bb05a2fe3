// Dialog 102 as data: every control with its id, kind, caption, position in
// dialog units and state at start, in tab order. The window is built from it.
#pragma once

#include <span>

namespace res {

enum class Kind {
    CheckBox,
    Edit,
    UpDown,
    Label,
    Button,
    DefaultButton,
    DropList,   // drop-down list, no edit field
    DropCombo,  // drop-down combo with an edit field
    ListBox,
    StatusText,
    GroupBox,
};

enum Flags : unsigned {
    kDisabled = 1u << 0,
    kHidden = 1u << 1,
    kChecked = 1u << 2,
    kTextRight = 1u << 3,  // label text right-aligned; checkbox text left of its box
};

struct DialogItem {
    int id;              // -1 for labels and the group box
    Kind kind;
    const char* caption;  // UTF-8; "" for none
    int x, y, w, h;       // dialog units
    unsigned flags;
    int buddy;  // up-down controls: the edit they step; otherwise 0
};

// Client area of the dialog in dialog units.
inline constexpr int kDialogWidthDu = 329;
inline constexpr int kDialogHeightDu = 273;
// Dialog font: the first face installed wins.
inline constexpr const char* kDialogFontFaces[] = {"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic"};
inline constexpr int kDialogFontPoints = 9;
// The record list's font, of fixed pitch so that its columns line up (a
// full-width character is two columns): the first face installed wins.
inline constexpr const char* kListFontFaces[] = {"ＭＳ ゴシック", "MS Gothic", "IPAGothic"};

// The first entry of an encoding list: what detection found (%s: its name).
inline constexpr char kAutoEncodingItemFormat[] = "自動 (%s)";
// The question before the settings are saved: its title, and what comes
// before the lines to be saved.
inline constexpr char kSaveSettingsTitle[] = "設定ファイルの保存";
inline constexpr char kSaveSettingsQuestion[] = "この内容で保存しますか？\n\n";

// Tooltips of the encoding lists (1045, 1047).
inline constexpr char kCsvEncodingTip[] = "CSVファイルの文字コード";
// The same list while the source is a workbook: its label and tooltip.
inline constexpr char kCsvEncodingLabel[] = "CSV：";
inline constexpr char kSheetLabel[] = "ｼｰﾄ：";
inline constexpr char kSheetTip[] = "読み込むシート";
inline constexpr char kHtmlEncodingTip[] = "テンプレートと生成するHTMLの文字コード";

std::span<const DialogItem> MainDialogItems();
std::span<const char* const> RuleItems();       // combo 1023
std::span<const char* const> ExtensionItems();  // combo 1025

}  // namespace res
