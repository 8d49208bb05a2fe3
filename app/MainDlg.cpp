// CMainDlg: construction from the dialog template, the switches and their
// handlers, enabling rules, the generate and exit commands.
#include "app/MainDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPushButton>

#include "app/QtPrompter.h"
#include "app/RecordList.h"
#include "app/UpDown.h"
#include "gen/ProgramIdentity.h"
#include "platform/Prompter.h"
#include "res/ControlIds.h"
#include "res/DialogTemplate.h"
#include "res/Icons.h"

namespace {

QFont DialogFont() {
    const QStringList installed = QFontDatabase::families();
    QString face = QString::fromUtf8(res::kDialogFontFaces[std::size(res::kDialogFontFaces) - 1]);
    for (const char* candidate : res::kDialogFontFaces) {
        if (installed.contains(QString::fromUtf8(candidate))) {
            face = QString::fromUtf8(candidate);
            break;
        }
    }
    QFont font(face, res::kDialogFontPoints);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// The controls of the template that need more than a caption, as it
// describes them.
QCheckBox* NewCheckBox(const res::DialogItem& item, const QString& caption, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setChecked(item.flags & res::kChecked);
    if (item.flags & res::kTextRight) box->setLayoutDirection(Qt::RightToLeft);
    return box;
}

QLabel* NewLabel(const res::DialogItem& item, const QString& caption, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setAlignment((item.flags & res::kTextRight ? Qt::AlignRight : Qt::AlignLeft) |
                        Qt::AlignVCenter);
    return label;
}

QPushButton* NewButton(const res::DialogItem& item, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    if (item.kind == res::Kind::DefaultButton) button->setDefault(true);
    return button;
}

QComboBox* NewCombo(const res::DialogItem& item, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(item.kind == res::Kind::DropCombo);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // The text typed is the text used: no completion from the items.
    if (combo->isEditable()) combo->setCompleter(nullptr);
    return combo;
}

QLabel* NewStatusText(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

}  // namespace

CMainDlg::CMainDlg(platform::Prompter& prompter, std::vector<std::string> arguments,
                   QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);
    setFont(DialogFont());
    // Dialog base units of the font: average character width, character height.
    const QFontMetrics fm(font());
    baseUnitX_ = (fm.horizontalAdvance(
                      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                      26 +
                  1) /
                 2;
    baseUnitY_ = fm.height();
    CreateControls();
    ConnectHandlers();
    resize(DuToPixels(0, 0, res::kDialogWidthDu, res::kDialogHeightDu).size());
    ApplyMinimumSize();
    OnInitDialog(arguments);
}

CMainDlg::~CMainDlg() = default;

QRect CMainDlg::DuToPixels(int x, int y, int w, int h) const {
    auto mx = [this](int v) { return (v * baseUnitX_ + 2) / 4; };
    auto my = [this](int v) { return (v * baseUnitY_ + 4) / 8; };
    return QRect(mx(x), my(y), mx(w), my(h));
}

void CMainDlg::CreateControls() {
    QWidget* previousFocusable = nullptr;
    QWidget* groupBox = nullptr;
    for (const res::DialogItem& item : res::MainDialogItems()) {
        QWidget* w = CreateControl(item);
        if (item.kind == res::Kind::GroupBox) groupBox = w;
        if (item.flags & res::kDisabled) w->setEnabled(false);
        if (item.flags & res::kHidden) w->setVisible(false);
        if (item.id != IDC_STATIC) controls_[item.id] = w;
        // Template order is tab order.
        if (w->focusPolicy() & Qt::TabFocus) {
            if (previousFocusable) QWidget::setTabOrder(previousFocusable, w);
            previousFocusable = w;
        }
    }
    // The group box frames controls created before it: keep it underneath.
    if (groupBox) groupBox->lower();

    BindControls();
    for (const char* item : res::RuleItems()) rule_->addItem(QString::fromUtf8(item));
    for (const char* item : res::ExtensionItems()) extension_->addItem(QString::fromUtf8(item));
}

QWidget* CMainDlg::CreateControl(const res::DialogItem& item) {
    using res::Kind;
    const QString caption = QString::fromUtf8(item.caption);
    QRect rect = DuToPixels(item.x, item.y, item.w, item.h);
    QWidget* w = nullptr;
    switch (item.kind) {
        case Kind::CheckBox:
            w = NewCheckBox(item, caption, this);
            break;
        case Kind::Edit:
            w = new QLineEdit(caption, this);
            break;
        case Kind::UpDown:
            w = new CUpDown(qobject_cast<QLineEdit*>(controls_.at(item.buddy)), this);
            break;
        case Kind::Label:
            w = NewLabel(item, caption, this);
            break;
        case Kind::Button:
        case Kind::DefaultButton:
            w = NewButton(item, caption, this);
            break;
        case Kind::DropList:
        case Kind::DropCombo:
            w = NewCombo(item, this);
            // The template's height includes the drop-down part.
            rect.setHeight(DuToPixels(0, 0, 0, 14).height());
            break;
        case Kind::ListBox:
            w = CreateRecordList();
            break;
        case Kind::StatusText:
            w = NewStatusText(this);
            break;
        case Kind::GroupBox:
            w = new QGroupBox(caption, this);
            break;
    }
    w->setGeometry(rect);
    return w;
}

QListView* CMainDlg::CreateRecordList() {
    auto* view = new QListView(this);
    listModel_ = new RecordListModel(view);
    listDelegate_ = new RecordLineDelegate(view);
    view->setModel(listModel_);
    view->setItemDelegate(listDelegate_);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setUniformItemSizes(true);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return view;
}

void CMainDlg::BindControls() {
    csvPath_ = qobject_cast<QLineEdit*>(Control(IDC_CSV_PATH));
    htmlPath_ = qobject_cast<QLineEdit*>(Control(IDC_HTML_PATH));
    outPath_ = qobject_cast<QLineEdit*>(Control(IDC_OUT_PATH));
    list_ = qobject_cast<QListView*>(Control(IDC_RECORD_LIST));
    status_ = qobject_cast<QLabel*>(Control(IDC_STATUS));
    fixedWidthBox_ = qobject_cast<QCheckBox*>(Control(IDC_FIXED_WIDTH));
    rule_ = qobject_cast<QComboBox*>(Control(IDC_RULE));
    field_ = qobject_cast<QComboBox*>(Control(IDC_FIELD));
    extension_ = qobject_cast<QComboBox*>(Control(IDC_EXTENSION));
    prefix_ = qobject_cast<QLineEdit*>(Control(IDC_PREFIX));
    prefixBox_ = qobject_cast<QCheckBox*>(Control(IDC_PREFIX_CHK));
    repeatBox_ = qobject_cast<QCheckBox*>(Control(IDC_REPEAT_CHK));
    start_ = qobject_cast<QLineEdit*>(Control(IDC_START));
    startSpin_ = qobject_cast<CUpDown*>(Control(IDC_START_SPIN));
    digit_ = qobject_cast<QLineEdit*>(Control(IDC_DIGIT));
    digitSpin_ = qobject_cast<CUpDown*>(Control(IDC_DIGIT_SPIN));
    repeat_ = qobject_cast<QLineEdit*>(Control(IDC_REPEAT));
    repeatSpin_ = qobject_cast<CUpDown*>(Control(IDC_REPEAT_SPIN));
    compactBox_ = qobject_cast<QCheckBox*>(Control(IDC_COMPACT));
    createBox_ = qobject_cast<QCheckBox*>(Control(IDC_CREATE_CHK));
    autoBox_ = qobject_cast<QCheckBox*>(Control(IDC_AUTO_CHK));
}

QWidget* CMainDlg::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

// The message map: only user-driven signals, so that changes the program
// makes run no handler.
void CMainDlg::ConnectHandlers() {
    auto onClick = [this](int id, void (CMainDlg::*handler)()) {
        connect(qobject_cast<QAbstractButton*>(Control(id)), &QAbstractButton::clicked, this,
                [this, handler] { (this->*handler)(); });
    };
    onClick(IDC_LOAD, &CMainDlg::LoadCsv);
    onClick(IDC_INVERT, &CMainDlg::OnInvertSelection);
    onClick(IDC_ROTATE, &CMainDlg::OnRotate);
    onClick(IDC_FIXED_WIDTH, &CMainDlg::OnFixChk);
    onClick(IDC_BROWSE_CSV, &CMainDlg::OnBrowseCsv);
    onClick(IDC_BROWSE_HTML, &CMainDlg::OnBrowseTemplate);
    onClick(IDC_EXIT, &CMainDlg::OnExit);
    onClick(IDC_PREFIX_CHK, &CMainDlg::OnPrefixChk);
    onClick(IDC_OPEN_SETTINGS, &CMainDlg::OnOpenSettings);
    onClick(IDC_SAVE_SETTINGS, &CMainDlg::OnSaveSettings);
    onClick(IDC_COMPACT, &CMainDlg::OnCompact);
    onClick(IDC_GENERATE, &CMainDlg::OnGenerate);
    onClick(IDC_REPEAT_CHK, &CMainDlg::OnRepeatChk);
    onClick(IDC_CREATE_CHK, &CMainDlg::OnCreateChk);
    onClick(IDC_AUTO_CHK, &CMainDlg::OnAutoChk);
    connect(rule_, &QComboBox::activated, this, [this] { OnRuleChange(); });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { OnListSelectionChanged(); });
}

void CMainDlg::OnInitDialog(const std::vector<std::string>& arguments) {
    QIcon icon;
    icon.addPixmap(QPixmap(res::MainIcon32()));
    icon.addPixmap(QPixmap(res::MainIcon16()));
    setWindowIcon(icon);
    setWindowTitle(QStringLiteral("%1 %2   %3")
                       .arg(QString::fromUtf8(kProgramName), QString::fromUtf8(kProgramVersion),
                            QString::fromUtf8(kCopyright)));
    fixedWidthBox_->setChecked(fixChk_);
    prefixBox_->setChecked(prefixChk_);
    rule_->setCurrentIndex(0);
    extension_->setCurrentIndex(0);
    createBox_->setChecked(createChk_);
    start_->setText(QStringLiteral("1"));
    digit_->setText(QStringLiteral("5"));
    repeat_->setText(QStringLiteral("1"));
    startSpin_->SetRange(9999, 1);
    digitSpin_->SetRange(5, 1);
    repeatSpin_->SetRange(9999, 0);
    repeatBox_->setFocus();

    if (!arguments.empty()) {
        show();
        for (const std::string& arg : arguments) OpenDroppedFile(arg.c_str());
    }
}

// ------------------------------------------------------------ switches

void CMainDlg::OnFixChk() {
    fixChk_ = fixedWidthBox_->isChecked();
    FillRecordList(0);
}

void CMainDlg::OnPrefixChk() {
    prefixChk_ = prefixBox_->isChecked();
    prefix_->setEnabled(prefixChk_);
}

void CMainDlg::OnRepeatChk() {
    repeatChk_ = repeatBox_->isChecked();
    repeat_->setEnabled(repeatChk_);
    repeatSpin_->setEnabled(repeatChk_);
    UpdateRepeatCount();
}

void CMainDlg::OnCreateChk() { createChk_ = createBox_->isChecked(); }

void CMainDlg::OnAutoChk() { autoChk_ = autoBox_->isChecked(); }

void CMainDlg::OnRuleChange() {
    const int s = rule_->currentIndex();
    field_->setEnabled(s == kRuleFieldValue);
    EnableNumberControls(s == kRuleSequenceNumber);
}

void CMainDlg::EnableNumberControls(bool on) {
    for (int id : {IDC_START, IDC_DIGIT, IDC_START_LABEL, IDC_DIGIT_LABEL, IDC_START_SPIN,
                   IDC_DIGIT_SPIN})
        Control(id)->setEnabled(on);
}

void CMainDlg::UpdateRepeatCount() {
    if (repeatChk_) repeat_->setText(QString::number(SelectedCount()));
}

void CMainDlg::EnableRunControls(bool enable, bool alsoLoadAndExit) {
    Control(IDC_GENERATE)->setEnabled(enable);
    Control(IDC_INVERT)->setEnabled(enable);
    if (alsoLoadAndExit) {
        Control(IDC_LOAD)->setEnabled(enable);
        Control(IDC_EXIT)->setEnabled(enable);
    }
    Control(IDC_ROTATE)->setEnabled(enable);
    Control(IDC_FIXED_WIDTH)->setEnabled(enable);
}

// ------------------------------------------------------------ generate

std::string CMainDlg::Text(int id) const {
    const QWidget* w = Control(id);
    if (auto* edit = qobject_cast<const QLineEdit*>(w)) return ToCp(edit->text());
    if (auto* combo = qobject_cast<const QComboBox*>(w)) return ToCp(combo->currentText());
    return {};
}

void CMainDlg::SetText(int id, std::string_view cp932) {
    if (auto* edit = qobject_cast<QLineEdit*>(Control(id))) edit->setText(FromCp(cp932));
}

RunSettings CMainDlg::ReadRunSettings() const {
    RunSettings s;
    s.CSV = Text(IDC_CSV_PATH);
    s.HTML = Text(IDC_HTML_PATH);
    s.Out = Text(IDC_OUT_PATH);
    s.ruleNum = rule_->currentIndex();
    s.fieldNum = field_->currentIndex();
    s.extension = ToCp(extension_->currentText());
    s.start = startSpin_->Pos();
    s.digit = digitSpin_->Pos();
    s.repeat = repeatSpin_->Pos();
    s.prefixChk = prefixBox_->isChecked();
    if (s.prefixChk) s.Prefix = Text(IDC_PREFIX);
    s.fixChk = fixChk_;
    s.repeatChk = repeatChk_;
    s.createChk = createChk_;
    s.autoChk = autoChk_;
    return s;
}

void CMainDlg::SetStatus(const std::string& utf8) {
    status_->setText(QString::fromStdString(utf8));
    // The run holds the event loop; show each text now.
    if (status_->isVisible()) status_->repaint();
    if (statusObserver_) statusObserver_(utf8);
}

QString CMainDlg::StatusText() const { return status_->text(); }

void CMainDlg::OnGenerate() {
    RunCallbacks callbacks;
    callbacks.status = [this](const std::string& text) { SetStatus(text); };
    callbacks.enableRunControls = [this](bool enable, bool also) { EnableRunControls(enable, also); };
    lastRun_ = RunGeneration(ReadRunSettings(), SelectedRecords(), table_.get(), callbacks, prompter_);
}

// ------------------------------------------------------------ ending

void CMainDlg::OnExit() {
    if (focusWidget() != Control(IDC_EXIT)) return;
    ReleaseTable();
    accept();
}

void CMainDlg::OnClose() { ReleaseTable(); }

void CMainDlg::reject() {
    // Escape ends the dialog like the close box.
    OnClose();
    QDialog::reject();
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    OnClose();
    QDialog::closeEvent(event);
}
