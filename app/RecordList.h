// The record list's model (lines kept as code page 932 bytes, converted only
// for the lines on screen) and the delegate that expands tabs at the list's
// tab stops.
#pragma once

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <string>
#include <vector>

class RecordListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    void SetLines(std::vector<std::string> lines);
    void Clear() { SetLines({}); }
    const std::vector<std::string>& Lines() const { return lines_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<std::string> lines_;
};

class RecordLineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Tab stops in pixels from the left edge of the text.
    void SetTabStops(QList<qreal> stops) { stops_ = std::move(stops); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QList<qreal> stops_;
};
