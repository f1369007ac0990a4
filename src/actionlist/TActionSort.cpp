#include "TActionSort.h"

#include "ActionListColumns.h"

QString TActionSort::TitleClick(int column)
{
    const QString field = ActionGridColumns().at(column).field;
    if (column == sortColumn_)
        sortAscending_ = !sortAscending_;
    else {
        sortColumn_ = column;
        sortAscending_ = true;
    }
    return field + (sortAscending_ ? QStringLiteral("_ASC") : QStringLiteral("_DESC"));
}

QColor TActionSort::TitleColor(int column) const
{
    if (column != sortColumn_)
        return Qt::blue;
    return sortAscending_ ? Qt::black : Qt::red;
}
