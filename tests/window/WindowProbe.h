// What the window shows, read from its widgets as a user sees them.
#pragma once

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <cmath>
#include <string>
#include <vector>

#include "dialog/ControlIds.h"
#include "window/MainDlg.h"
#include "window/RecordList.h"

namespace testutil {

inline QString StatusText(const CMainDlg& d) {
    return qobject_cast<QLabel*>(d.Control(IDC_STATUS))->text();
}

inline QListView* RecordList(const CMainDlg& d) {
    return qobject_cast<QListView*>(d.Control(IDC_RECORD_LIST));
}

inline QLineEdit* Edit(const CMainDlg& d, int id) { return qobject_cast<QLineEdit*>(d.Control(id)); }
// The text of an edit as the user reads it (UTF-8).
inline std::string TextOf(const CMainDlg& d, int id) { return Edit(d, id)->text().toStdString(); }

// The user's own selection: cleared, then the given lines picked.
inline void SelectOnly(CMainDlg& d, const std::vector<int>& records) {
    QItemSelectionModel* selection = RecordList(d)->selectionModel();
    selection->clearSelection();
    for (int r : records)
        selection->select(RecordList(d)->model()->index(r, 0), QItemSelectionModel::Select);
}

inline bool Ticked(const CMainDlg& d, int id) {
    return qobject_cast<QAbstractButton*>(d.Control(id))->isChecked();
}

// The lines the list shows selected, ascending.
inline std::vector<int> SelectedRecords(const CMainDlg& d) {
    std::vector<int> rows;
    const QListView* list = RecordList(d);
    for (int r = 0; r < list->model()->rowCount(); ++r)
        if (list->selectionModel()->isRowSelected(r)) rows.push_back(r);
    return rows;
}

// The list's lines in the table's encoding.
inline std::vector<std::string> ListLines(const CMainDlg& d) {
    const auto* model = qobject_cast<const RecordListModel*>(RecordList(d)->model());
    std::vector<std::string> lines;
    for (int r = 0; r < model->rowCount(); ++r) lines.push_back(model->Line(r));
    return lines;
}

// The list's tab stops in columns of its font.
inline std::vector<int> ListTabStops(const CMainDlg& d) {
    const QListView* list = RecordList(d);
    const auto* delegate = qobject_cast<const RecordLineDelegate*>(list->itemDelegate());
    const qreal column = QFontMetricsF(list->font()).horizontalAdvance(QLatin1Char('0'));
    std::vector<int> stops;
    for (qreal stop : delegate->TabStops()) stops.push_back(static_cast<int>(std::lround(stop / column)));
    return stops;
}

}  // namespace testutil
