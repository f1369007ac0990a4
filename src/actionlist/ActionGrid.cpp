#include "ActionGrid.h"

#include "ActionListColumns.h"
#include "TActionSort.h"

#include <QBrush>

TActionsGridModel::TActionsGridModel(TTable *table, const TActionSort &sort, QObject *parent)
    : TTableModel(table, ActionGridColumns(), parent), sort_(sort)
{
}

void TActionsGridModel::TitlesChanged()
{
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

QVariant TActionsGridModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::ToolTipRole)
        return hint_.isEmpty() ? QVariant() : QVariant(hint_);
    return TTableModel::data(index, role);
}

QVariant TActionsGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::ForegroundRole)
        return QBrush(sort_.TitleColor(section));
    return TTableModel::headerData(section, orientation, role);
}

QVariant TPlainHintModel::data(const QModelIndex &index, int role) const
{
    return role == Qt::ToolTipRole ? QVariant() : TTableModel::data(index, role);
}

void TRowColorDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    QStyleOptionViewItem colored(option);
    if (index.data(Qt::BackgroundRole).isValid())
        colored.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    QStyledItemDelegate::paint(painter, colored, index);
}
