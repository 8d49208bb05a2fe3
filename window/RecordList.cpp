#include "window/RecordList.h"

#include <QApplication>
#include <QPainter>
#include <QTextOption>

#include "window/ListFormat.h"
#include "window/QtPrompter.h"
#include "data/CsvTable.h"
#include "platform/TextEncoding.h"

void RecordListModel::SetTable(const CCsvTable* table, int startColumn, bool fixedWidth) {
    beginResetModel();
    table_ = table;
    startColumn_ = startColumn;
    fixedWidth_ = fixedWidth;
    rows_ = table ? table->RecordCount() : 0;
    endResetModel();
}

std::string RecordListModel::Line(int row, size_t limit) const {
    if (!table_ || row < 0 || row >= rows_) return {};
    return FormatRecordLine(*table_->GetRecord(row), row, startColumn_, table_->ColumnWidths(),
                            fixedWidth_, limit, table_->Encoding());
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
    // Line breaks inside values would draw a second line into the row.
    // No screen shows more of a line than this; a column of megabytes would
    // otherwise be formatted and measured on every paint.
    constexpr size_t kShownBytes = 4096;
    QString text = QString::fromStdString(
        platform::ToUtf8(Line(index.row(), kShownBytes), table_->Encoding()));
    for (QChar& c : text)
        if (c.unicode() < 0x20 && c != QLatin1Char('\t')) c = QLatin1Char(' ');
    return text;
}

void RecordLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    QTextOption textOption(Qt::AlignLeft | Qt::AlignVCenter);
    textOption.setWrapMode(QTextOption::NoWrap);
    textOption.setTabArray(stops_);
    const QRect rect = opt.rect.adjusted(2, 0, 0, 0);
    painter->save();
    painter->setClipRect(opt.rect);
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(opt.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                          : QPalette::Text));
    painter->drawText(rect, text, textOption);
    painter->restore();
}

QSize RecordLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(100, option.fontMetrics.height() + 1);
}
