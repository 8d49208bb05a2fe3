// The record list's model and the delegate that expands tabs at the list's
// tab stops. A line is made from its record when it is painted: the list
// keeps no copy of the table.
#pragma once

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <string>
#include <vector>

class CCsvTable;

class RecordListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    // One line per record of `table`, cells from startColumn on. The table
    // must outlive the model's use of it, or be replaced by Clear first.
    void SetTable(const CCsvTable* table, int startColumn, bool fixedWidth);
    void Clear() { SetTable(nullptr, 0, false); }
    // Line `row` in the table's encoding, at most `limit` bytes of it.
    std::string Line(int row, size_t limit = std::string::npos) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    const CCsvTable* table_ = nullptr;
    int startColumn_ = 0;
    bool fixedWidth_ = false;
    int rows_ = 0;
};

class RecordLineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Tab stops in pixels from the left edge of the text.
    void SetTabStops(QList<qreal> stops) { stops_ = std::move(stops); }
    const QList<qreal>& TabStops() const { return stops_; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QList<qreal> stops_;
};
