// CMainDlg: the CSV load and the record list (fill, tab stops, rotation,
// inversion, selection).
#include <QComboBox>
#include <QItemSelectionModel>
#include <QListView>

#include "app/ListFormat.h"
#include "app/MainDlg.h"
#include "app/QtPrompter.h"
#include "app/RecordList.h"
#include "res/ControlIds.h"
#include "res/DialogTemplate.h"

void CMainDlg::LoadCsv() {
    EnableRunControls(false, false);
    const std::string path = Text(IDC_CSV_PATH);
    if (path.empty()) {
        SetStatus(res::kStatusNoCsvPath);
        return;
    }
    if (table_) ReleaseTable();
    table_ = std::make_unique<CCsvTable>(path);
    if (!table_->IsOpen()) {
        SetStatus(res::kStatusCsvNotFound);
        table_.reset();
        return;
    }
    if (!table_->Load(prompter_)) {  // could not be read; the box said why
        ReleaseTable();
        field_->clear();
        return;
    }
    FillRecordList(0);
    SelectAllLines();
    field_->clear();
    if (const CCsvRecord* header = table_->GetRecord(0)) {
        QStringList items;
        for (int i = 0; i < header->FieldCount(); ++i)
            items << FromCp(FormatFieldItem(i + 1, header->GetField(i)));
        field_->addItems(items);
    }
    field_->setCurrentIndex(-1);
    EnableRunControls(true, false);
    // Without a header record there are no columns to rotate.
    if (table_->RecordCount() == 0) Control(IDC_ROTATE)->setEnabled(false);
    UpdateRepeatCount();
}

void CMainDlg::FillRecordList(int startColumn) {
    if (!table_) return;
    SetListTabStops(startColumn);
    programChange_ = true;
    listModel_->SetTable(table_.get(), startColumn, fixChk_);
    programChange_ = false;
}

void CMainDlg::SetListTabStops(int startColumn) {
    if (!table_) return;
    const CCsvRecord* header = table_->GetRecord(0);
    tabStops_ = ComputeTabStops(baseUnitX_, header ? header->FieldCount() : 0, startColumn,
                                table_->ColumnWidths(), fixChk_);
    // Stops are in quarters of the average character width.
    QList<qreal> pixels;
    for (int stop : tabStops_) pixels << stop * baseUnitX_ / 4.0;
    listDelegate_->SetTabStops(pixels);
}

void CMainDlg::OnRotate() {
    if (!table_) return;
    const CCsvRecord* header = table_->GetRecord(0);
    const int columns = header ? header->FieldCount() : 0;
    if (columns <= 0) return;
    rotationOffset_ = (rotationOffset_ + 1) % columns;
    FillRecordList(rotationOffset_);
    UpdateRepeatCount();
}

void CMainDlg::OnInvertSelection() {
    const int rows = listModel_->rowCount();
    if (rows > 0) {
        list_->setUpdatesEnabled(false);
        const QModelIndex top = list_->indexAt(QPoint(0, 0));
        const QItemSelection all(listModel_->index(0), listModel_->index(rows - 1));
        programChange_ = true;
        list_->selectionModel()->select(all, QItemSelectionModel::Toggle);
        programChange_ = false;
        if (top.isValid()) list_->scrollTo(top, QAbstractItemView::PositionAtTop);
        list_->setUpdatesEnabled(true);
    }
    UpdateRepeatCount();
}

void CMainDlg::OnListSelectionChanged() {
    if (!programChange_) UpdateRepeatCount();
}

void CMainDlg::SelectAllLines() {
    const int rows = listModel_->rowCount();
    if (rows == 0) return;
    programChange_ = true;
    list_->selectionModel()->select(QItemSelection(listModel_->index(0), listModel_->index(rows - 1)),
                                    QItemSelectionModel::Select);
    programChange_ = false;
}

void CMainDlg::AddToSelection(const std::vector<int>& records) {
    const int rows = listModel_->rowCount();
    QItemSelection selection;
    // Consecutive indexes become one range: a selection of thousands of
    // records stays a handful of ranges.
    int first = -1, last = -2;
    auto flush = [&] {
        if (first >= 0) selection.select(listModel_->index(first), listModel_->index(last));
    };
    for (int r : records) {
        if (r == -1) {
            flush();
            first = -1;
            last = -2;
            if (rows > 0) selection.select(listModel_->index(0), listModel_->index(rows - 1));
            continue;
        }
        if (r < 0 || r >= rows) continue;
        if (r == last + 1) {
            last = r;
        } else {
            flush();
            first = last = r;
        }
    }
    flush();
    if (selection.isEmpty()) return;
    programChange_ = true;
    list_->selectionModel()->select(selection, QItemSelectionModel::Select);
    programChange_ = false;
}

std::vector<int> CMainDlg::SelectedRecords() const {
    const int rows = listModel_->rowCount();
    std::vector<char> marked(static_cast<size_t>(rows), 0);
    for (const QItemSelectionRange& range : list_->selectionModel()->selection())
        for (int r = std::max(range.top(), 0); r <= range.bottom() && r < rows; ++r) marked[r] = 1;
    std::vector<int> records;
    for (int r = 0; r < rows; ++r)
        if (marked[r]) records.push_back(r);
    return records;
}

int CMainDlg::SelectedCount() const { return static_cast<int>(SelectedRecords().size()); }

std::vector<std::string> CMainDlg::ListLines() const {
    std::vector<std::string> lines;
    for (int r = 0; r < listModel_->rowCount(); ++r) lines.push_back(listModel_->Line(r));
    return lines;
}

void CMainDlg::ReleaseTable() {
    // The list reads its lines from the table: empty it first.
    programChange_ = true;
    listModel_->Clear();
    programChange_ = false;
    table_.reset();
}
