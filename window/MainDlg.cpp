// CMainDlg: construction from the dialog template, the message map, the
// model's notifications, the generate and exit commands.
#include "window/MainDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <span>

#include "window/QtPrompter.h"
#include "window/RecordList.h"
#include "window/ListFormat.h"
#include "window/UpDown.h"
#include "gen/ProgramIdentity.h"
#include "diag/Prompter.h"
#include "dialog/ControlIds.h"
#include "dialog/DialogTemplate.h"
#include "window/Icons.h"

namespace {

// The first of `faces` installed, else the last, in the dialog's size.
QFont FirstFont(std::span<const char* const> faces, QFont::StyleHint hint) {
    const QStringList installed = QFontDatabase::families();
    QString face = QString::fromUtf8(faces.back());
    for (const char* candidate : faces) {
        if (installed.contains(QString::fromUtf8(candidate))) {
            face = QString::fromUtf8(candidate);
            break;
        }
    }
    QFont font(face, res::kDialogFontPoints);
    font.setStyleHint(hint);
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

CMainDlg::CMainDlg(diag::Prompter& prompter, std::vector<std::string> arguments,
                   QWidget* parent)
    : QDialog(parent), prompter_(prompter), model_(prompter) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);
    setFont(FirstFont(res::kDialogFontFaces, QFont::SansSerif));
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

CMainDlg::~CMainDlg() {
    // The base class hides the window after the model is gone, and a combo
    // may still report its text on losing the focus: nothing may reach the
    // model from here on.
    for (QObject* child : findChildren<QObject*>()) QObject::disconnect(child, nullptr, this, nullptr);
    model_.SetListener(nullptr);
}

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
    // The encoding lists' texts come from the model (ComboChanged).
    for (int i = 0; i < EncodingItemCount(DialogCombo::CsvEncoding); ++i) csvEncoding_->addItem(QString());
    for (int i = 0; i < EncodingItemCount(DialogCombo::TemplateEncoding); ++i)
        htmlEncoding_->addItem(QString());
    const std::pair<QComboBox*, const char*> tips[] = {{csvEncoding_, res::kCsvEncodingTip},
                                                       {htmlEncoding_, res::kHtmlEncodingTip}};
    for (const auto& [combo, tip] : tips) {
        combo->setToolTip(QString::fromUtf8(tip));
        combo->setAccessibleName(QString::fromUtf8(tip));
    }
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
    QFont fixedPitch = FirstFont(res::kListFontFaces, QFont::Monospace);
    fixedPitch.setFixedPitch(true);
    view->setFont(fixedPitch);
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
    list_ = qobject_cast<QListView*>(Control(IDC_RECORD_LIST));
    status_ = qobject_cast<QLabel*>(Control(IDC_STATUS));
    rule_ = qobject_cast<QComboBox*>(Control(IDC_RULE));
    field_ = qobject_cast<QComboBox*>(Control(IDC_FIELD));
    extension_ = qobject_cast<QComboBox*>(Control(IDC_EXTENSION));
    csvEncoding_ = qobject_cast<QComboBox*>(Control(IDC_CSV_ENCODING));
    htmlEncoding_ = qobject_cast<QComboBox*>(Control(IDC_HTML_ENCODING));
}

QWidget* CMainDlg::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

namespace {

struct EditControl {
    DialogEdit edit;
    int id;
    int spin;  // its up-down, or IDC_STATIC
};
constexpr EditControl kEdits[] = {
    {DialogEdit::CSV, IDC_CSV_PATH, IDC_STATIC},  {DialogEdit::HTML, IDC_HTML_PATH, IDC_STATIC},
    {DialogEdit::Out, IDC_OUT_PATH, IDC_STATIC},  {DialogEdit::Prefix, IDC_PREFIX, IDC_STATIC},
    {DialogEdit::Start, IDC_START, IDC_START_SPIN}, {DialogEdit::Digit, IDC_DIGIT, IDC_DIGIT_SPIN},
    {DialogEdit::Repeat, IDC_REPEAT, IDC_REPEAT_SPIN},
};

struct SwitchControl {
    DialogSwitch which;
    int id;
};
constexpr SwitchControl kSwitches[] = {
    {DialogSwitch::Prefix, IDC_PREFIX_CHK}, {DialogSwitch::Fix, IDC_FIXED_WIDTH},
    {DialogSwitch::Repeat, IDC_REPEAT_CHK}, {DialogSwitch::Create, IDC_CREATE_CHK},
    {DialogSwitch::Auto, IDC_AUTO_CHK},
};

}  // namespace

QComboBox* CMainDlg::EncodingList(DialogCombo combo) const {
    return combo == DialogCombo::CsvEncoding ? csvEncoding_ : htmlEncoding_;
}

QLineEdit* CMainDlg::EditWidget(DialogEdit edit) const {
    for (const EditControl& e : kEdits)
        if (e.edit == edit) return qobject_cast<QLineEdit*>(Control(e.id));
    return nullptr;
}

// The message map: only user-driven signals, so that changes the program
// makes run no handler.
void CMainDlg::ConnectHandlers() {
    auto onClick = [this](int id, auto handler) {
        connect(qobject_cast<QAbstractButton*>(Control(id)), &QAbstractButton::clicked, this,
                handler);
    };
    onClick(IDC_LOAD, [this] { model_.LoadCsv(); });
    onClick(IDC_INVERT, [this] { model_.OnInvertSelection(); });
    onClick(IDC_ROTATE, [this] { model_.OnRotate(); });
    onClick(IDC_GENERATE, [this] { OnGenerate(); });
    onClick(IDC_BROWSE_CSV, [this] { OnBrowseCsv(); });
    onClick(IDC_BROWSE_HTML, [this] { OnBrowseTemplate(); });
    onClick(IDC_BROWSE_OUT, [this] { OnBrowseOut(); });
    onClick(IDC_EXIT, [this] { OnExit(); });
    onClick(IDC_BROWSE_RESULT, [this] { OnOpenResult(); });
    onClick(IDC_OPEN_SETTINGS, [this] { OnOpenSettings(); });
    onClick(IDC_SAVE_SETTINGS, [this] { OnSaveSettings(); });
    onClick(IDC_COMPACT, [this] { OnCompact(); });
    for (const SwitchControl& s : kSwitches)
        connect(qobject_cast<QAbstractButton*>(Control(s.id)), &QAbstractButton::clicked, this,
                [this, which = s.which](bool on) { model_.SetSwitch(which, on); });
    const std::pair<QComboBox*, DialogCombo> combos[] = {
        {rule_, DialogCombo::Rule}, {field_, DialogCombo::Field},
        {extension_, DialogCombo::Extension}, {csvEncoding_, DialogCombo::CsvEncoding},
        {htmlEncoding_, DialogCombo::TemplateEncoding}};
    for (const auto& [combo, which] : combos)
        connect(combo, &QComboBox::activated, this,
                [this, which = which](int index) { model_.Choose(which, index); });
    connect(extension_->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.TypeExtension(text.toStdString()); });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { OnListSelectionChanged(); });
    ConnectEdits();
}

void CMainDlg::ConnectEdits() {
    for (const EditControl& e : kEdits) {
        connect(EditWidget(e.edit), &QLineEdit::textEdited, this,
                [this, edit = e.edit](const QString& text) {
                    model_.TypeText(edit, text.toStdString());
                });
        if (auto* spin = qobject_cast<CUpDown*>(Control(e.spin)))
            connect(spin, &CUpDown::Stepped, this,
                    [this, edit = e.edit](int direction) { model_.StepUpDown(edit, direction); });
    }
}

void CMainDlg::OnInitDialog(const std::vector<std::string>& arguments) {
    QIcon icon;
    icon.addPixmap(QPixmap(res::MainIcon32()));
    icon.addPixmap(QPixmap(res::MainIcon16()));
    setWindowIcon(icon);
    setWindowTitle(QStringLiteral("%1 %2   %3")
                       .arg(QString::fromUtf8(kProgramName), QString::fromUtf8(kProgramVersion),
                            QString::fromUtf8(kCopyright)));
    // The widgets show the model's state at start.
    for (const EditControl& e : kEdits) TextChanged(e.edit);
    for (const SwitchControl& s : kSwitches) SwitchChanged(s.which);
    for (DialogCombo c : {DialogCombo::Rule, DialogCombo::Field, DialogCombo::Extension,
                          DialogCombo::CsvEncoding, DialogCombo::TemplateEncoding})
        ComboChanged(c);
    ControlsEnabled();
    model_.SetListener(this);
    Control(IDC_REPEAT_CHK)->setFocus();

    if (!arguments.empty()) {
        show();
        for (const std::string& arg : arguments) OpenDroppedFile(arg.c_str());
    }
}

// ------------------------------------------------------------ the model shown

void CMainDlg::StatusChanged(const std::string& utf8) {
    status_->setText(QString::fromStdString(utf8));
    // A text longer than the line shows whole under the pointer.
    status_->setToolTip(status_->text());
    // The run holds the event loop; show each text now.
    if (status_->isVisible()) status_->repaint();
    if (statusObserver_) statusObserver_(utf8);
}


void CMainDlg::TextChanged(DialogEdit edit) {
    ProgramChange change(*this);
    EditWidget(edit)->setText(QString::fromStdString(model_.Text(edit)));
}

void CMainDlg::SwitchChanged(DialogSwitch which) {
    ProgramChange change(*this);
    for (const SwitchControl& s : kSwitches)
        if (s.which == which)
            qobject_cast<QAbstractButton*>(Control(s.id))->setChecked(model_.Switch(which));
}

void CMainDlg::ComboChanged(DialogCombo combo) {
    ProgramChange change(*this);
    if (combo == DialogCombo::Rule) {
        rule_->setCurrentIndex(model_.Choice(combo));
    } else if (combo == DialogCombo::Field) {
        const std::vector<std::string>& names = model_.FieldItems();
        QStringList items;
        for (size_t i = 0; i < names.size(); ++i)
            items << QString::fromStdString(FormatFieldItem(static_cast<int>(i) + 1, names[i].c_str()));
        QStringList shown;
        for (int i = 0; i < field_->count(); ++i) shown << field_->itemText(i);
        if (items != shown) {
            field_->clear();
            field_->addItems(items);
        }
        field_->setCurrentIndex(model_.Choice(combo));
    } else if (combo == DialogCombo::Extension) {
        extension_->setCurrentIndex(model_.Choice(combo));
        extension_->setEditText(QString::fromStdString(model_.ExtensionText()));
    } else if (combo == DialogCombo::CsvEncoding || combo == DialogCombo::TemplateEncoding) {
        // The automatic entry names what detection found: texts change,
        // entries stay; while the source is a workbook the CSV's list holds
        // its sheets.
        QComboBox* list = EncodingList(combo);
        const std::vector<std::string> items = model_.EncodingItems(combo);
        while (list->count() > static_cast<int>(items.size())) list->removeItem(list->count() - 1);
        while (list->count() < static_cast<int>(items.size())) list->addItem(QString());
        for (int i = 0; i < list->count(); ++i)
            list->setItemText(i, QString::fromStdString(items[static_cast<size_t>(i)]));
        list->setCurrentIndex(model_.Choice(combo));
        if (combo == DialogCombo::CsvEncoding) {
            const QString tip = QString::fromUtf8(model_.CsvListTip());
            if (auto* label = qobject_cast<QLabel*>(Control(IDC_CSV_ENCODING_LABEL)))
                label->setText(QString::fromUtf8(model_.CsvListLabel()));
            list->setToolTip(tip);
            list->setAccessibleName(tip);
        }
    }
}

void CMainDlg::ControlsEnabled() {
    for (const auto& [id, widget] : controls_)
        if (model_.Enabled(id) != widget->isEnabled()) widget->setEnabled(model_.Enabled(id));
}

void CMainDlg::LoadStarting() { repaint(); }

// ------------------------------------------------------------ generate

void CMainDlg::OnGenerate() { model_.OnGenerate(); }

// The desktop's browser shows what the last run wrote.
void CMainDlg::OnOpenResult() {
    const std::string page = model_.ShownPage();
    if (page.empty()) return;
    const QUrl url =
        QUrl::fromLocalFile(QFileInfo(QString::fromStdString(page)).absoluteFilePath());
    if (!QDesktopServices::openUrl(url))
        model_.Report({.code = diag::Code::kBrowserFailed, .path = page});
}

// ------------------------------------------------------------ ending

void CMainDlg::OnExit() {
    if (focusWidget() != Control(IDC_EXIT)) return;
    model_.Close();
    accept();
}

void CMainDlg::OnClose() { model_.Close(); }

void CMainDlg::reject() {
    OnClose();
    QDialog::reject();
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
    // Escape would end the window at once, and with it what was typed and
    // selected: only 終了, the close box and Alt+F4 end it.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    OnClose();
    QDialog::closeEvent(event);
}
