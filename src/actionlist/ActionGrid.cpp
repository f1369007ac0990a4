#include "ActionGrid.h"

#include "ActionListColumns.h"

TActionsGridModel::TActionsGridModel(TTable *table, QObject *parent)
    : TTableModel(table, ActionGridColumns(), parent)
{
}

QVariant TActionsGridModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::ToolTipRole)
        return hint_.isEmpty() ? QVariant() : QVariant(hint_);
    return TTableModel::data(index, role);
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
