#include "dialog/DialogTemplate.h"

#include "job/Job.h"
#include "dialog/ControlIds.h"

namespace res {
namespace {

constexpr DialogItem kItems[] = {
    {IDC_REPEAT_CHK, Kind::CheckBox, "ﾘﾋﾟｰﾄ：", 212, 17, 31, 10, kTextRight, 0},
    {IDC_REPEAT, Kind::Edit, "1", 245, 15, 40, 14, kDisabled, 0},
    {IDC_REPEAT_SPIN, Kind::UpDown, "", 286, 15, 10, 14, kDisabled, IDC_REPEAT},
    {IDC_STATIC, Kind::Label, "ｿｰｽﾌｧｲﾙ(CSV)：", 11, 36, 54, 8, kTextRight, 0},
    {IDC_CSV_PATH, Kind::Edit, "", 67, 34, 218, 14, 0, 0},
    {IDC_BROWSE_CSV, Kind::Button, "参照...", 289, 34, 27, 14, 0, 0},
    {IDC_STATIC, Kind::Label, "ﾃﾝﾌﾟﾚｰﾄ（HTML）：", 11, 54, 54, 8, kTextRight, 0},
    {IDC_HTML_PATH, Kind::Edit, "", 67, 52, 218, 14, 0, 0},
    {IDC_BROWSE_HTML, Kind::Button, "参照...", 289, 53, 27, 14, 0, 0},
    {IDC_STATIC, Kind::Label, "出力先（ﾌｫﾙﾀﾞ）：", 11, 73, 54, 8, kTextRight, 0},
    {IDC_OUT_PATH, Kind::Edit, "", 67, 70, 218, 14, 0, 0},
    {IDC_BROWSE_OUT, Kind::Button, "参照...", 289, 70, 27, 14, 0, 0},
    {IDC_STATIC, Kind::Label, "生成ﾌｧｲﾙ名：", 11, 90, 54, 8, kTextRight, 0},
    {IDC_RULE, Kind::DropList, "", 67, 88, 91, 49, 0, 0},
    {IDC_START_LABEL, Kind::Label, "開始番号：", 84, 106, 32, 8, kTextRight | kDisabled, 0},
    {IDC_START, Kind::Edit, "1", 117, 104, 40, 14, kDisabled, 0},
    {IDC_START_SPIN, Kind::UpDown, "", 157, 104, 10, 14, kDisabled, IDC_START},
    {IDC_DIGIT_LABEL, Kind::Label, "桁数：", 87, 122, 29, 8, kTextRight | kDisabled, 0},
    {IDC_DIGIT, Kind::Edit, "5", 117, 120, 40, 14, kDisabled, 0},
    {IDC_DIGIT_SPIN, Kind::UpDown, "", 157, 120, 10, 14, kDisabled, IDC_DIGIT},
    {IDC_PREFIX_CHK, Kind::CheckBox, "ﾌﾟﾚﾌｨｯｸｽ：", 164, 90, 44, 10, kTextRight, 0},
    {IDC_PREFIX, Kind::Edit, "", 210, 88, 75, 14, kDisabled, 0},
    {IDC_STATIC, Kind::Label, "ﾌｨｰﾙﾄﾞ名：", 172, 106, 35, 8, kTextRight, 0},
    {IDC_FIELD, Kind::DropList, "", 210, 104, 75, 51, kDisabled, 0},
    {IDC_STATIC, Kind::Label, "拡張子：", 172, 120, 35, 8, kTextRight, 0},
    {IDC_EXTENSION, Kind::DropCombo, "", 210, 118, 75, 75, 0, 0},
    {IDC_LOAD, Kind::Button, "CSV ﾛｰﾄﾞ(&L)", 7, 144, 56, 14, 0, 0},
    {IDC_INVERT, Kind::Button, "選択反転(&I)", 65, 144, 56, 14, kDisabled, 0},
    {IDC_ROTATE, Kind::Button, "ﾛｰﾃｰｼｮﾝ(&R)", 123, 144, 56, 14, kDisabled, 0},
    {IDC_FIXED_WIDTH, Kind::CheckBox, "固定長表示(&F)", 194, 146, 60, 10, kDisabled, 0},
    {IDC_RECORD_LIST, Kind::ListBox, "", 7, 161, 315, 72, 0, 0},
    {IDC_GENERATE, Kind::Button, "HTMLを生成(&C)", 7, 237, 56, 14, kDisabled, 0},
    // The encodings of the CSV and of the template, between Generate and Exit.
    {IDC_CSV_ENCODING_LABEL, Kind::Label, "CSV：", 66, 240, 18, 8, kTextRight, 0},
    {IDC_CSV_ENCODING, Kind::DropList, "", 86, 237, 66, 48, 0, 0},
    {IDC_HTML_ENCODING_LABEL, Kind::Label, "HTML：", 160, 240, 24, 8, kTextRight, 0},
    {IDC_HTML_ENCODING, Kind::DropList, "", 186, 237, 66, 48, 0, 0},
    {IDC_EXIT, Kind::DefaultButton, "終了", 263, 237, 59, 14, 0, 0},
    {IDC_STATUS, Kind::StatusText, "", 7, 255, 253, 13, 0, 0},
    {IDC_BROWSE_RESULT, Kind::Button, "ﾌﾞﾗｳｻﾞで開く(&B)", 263, 254, 59, 14, kDisabled, 0},
    {IDC_STATIC, Kind::GroupBox, "設定", 7, 4, 315, 136, 0, 0},
    {IDC_OPEN_SETTINGS, Kind::Button, "開く(&O)...", 67, 14, 41, 14, 0, 0},
    {IDC_SAVE_SETTINGS, Kind::Button, "保存(&S)...", 111, 14, 41, 14, 0, 0},
    {IDC_COMPACT, Kind::CheckBox, "ｺﾝﾊﾟｸﾄ(&P)", 255, 146, 42, 10, 0, 0},
    {IDC_CREATE_CHK, Kind::CheckBox, "ﾁｪｯｸﾌｧｲﾙ生成", 12, 121, 56, 13, kChecked, 0},
    {IDC_AUTO_CHK, Kind::CheckBox, "自動実行", 154, 15, 40, 13, 0, 0},
};

constexpr const char* kRuleItems[] = {"レコード番号（自動）", "連番（自動）", "フィールド名を指定する"};

}  // namespace

std::span<const DialogItem> MainDialogItems() { return kItems; }
std::span<const char* const> RuleItems() { return kRuleItems; }
std::span<const char* const> ExtensionItems() { return kExtensions; }

}  // namespace res
