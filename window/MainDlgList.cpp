// CMainDlg: the record list as the model has it: its lines, tab stops and
// selection.
#include <QFontMetricsF>
#include <QItemSelectionModel>
#include <QListView>

#include "window/ListFormat.h"
#include "window/MainDlg.h"
#include "window/QtPrompter.h"
#include "window/RecordList.h"
#include "dialog/ControlIds.h"

void CMainDlg::ListRebuilt() {
    const CCsvTable* table = model_.ListTable();
    if (table) SetListTabStops(model_.ListStartColumn());
    ProgramChange change(*this);
    listModel_->SetTable(table, model_.ListStartColumn(), model_.Switch(DialogSwitch::Fix));
}

void CMainDlg::SetListTabStops(int startColumn) {
    const CCsvTable* table = model_.Table();
    const CCsvRecord* header = table->GetRecord(0);
    const std::vector<int> stops = ComputeTabStops(table->RecordCount(), header ? header->FieldCount() : 0,
                                startColumn, table->ColumnWidths(), model_.Switch(DialogSwitch::Fix));
    // A column of the list's font: the advance of a half-width character.
    const qreal column = QFontMetricsF(list_->font()).horizontalAdvance(QLatin1Char('0'));
    QList<qreal> pixels;
    for (int stop : stops) pixels << stop * column;
    listDelegate_->SetTabStops(pixels);
}

void CMainDlg::SelectionChanged(SelectionChange how) {
    const int rows = listModel_->rowCount();
    ProgramChange change(*this);
    switch (how) {
        case SelectionChange::User:
            break;  // the list shows it already
        case SelectionChange::Inverted: {
            list_->setUpdatesEnabled(false);
            const QModelIndex top = list_->indexAt(QPoint(0, 0));
            const QItemSelection all(listModel_->index(0), listModel_->index(rows - 1));
            list_->selectionModel()->select(all, QItemSelectionModel::Toggle);
            if (top.isValid()) list_->scrollTo(top, QAbstractItemView::PositionAtTop);
            list_->setUpdatesEnabled(true);
            break;
        }
        case SelectionChange::Shown:
            // The model's selection as it is now: the list hidden meanwhile.
            list_->setVisible(false);
            list_->selectionModel()->clearSelection();
            SelectRows(model_.SelectedRecords());
            list_->setVisible(true);
            break;
    }
}

void CMainDlg::SelectRows(const std::vector<int>& records) {
    QItemSelection selection;
    // Consecutive indexes become one range: a selection of thousands of
    // records stays a handful of ranges.
    int first = -1, last = -2;
    auto flush = [&] {
        if (first >= 0) selection.select(listModel_->index(first), listModel_->index(last));
    };
    for (int r : records) {
        if (r == last + 1) {
            last = r;
        } else {
            flush();
            first = last = r;
        }
    }
    flush();
    if (!selection.isEmpty()) list_->selectionModel()->select(selection, QItemSelectionModel::Select);
}

// The user changed the selection: the model takes it as the list shows it.
void CMainDlg::OnListSelectionChanged() {
    if (!ProgramChanging()) model_.SetSelection(SelectedRows());
}

std::vector<char> CMainDlg::SelectedRows() const {
    const int rows = listModel_->rowCount();
    std::vector<char> marked(static_cast<size_t>(rows), 0);
    for (const QItemSelectionRange& range : list_->selectionModel()->selection())
        for (int r = std::max(range.top(), 0); r <= range.bottom() && r < rows; ++r) marked[r] = 1;
    return marked;
}
