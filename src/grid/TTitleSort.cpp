#include "TTitleSort.h"

#include "ScopeGuards.h"
#include "UiServices.h"

#include <QHeaderView>
#include <QTableView>

TTitleSort::TTitleSort(QStringList fields, bool ascending, QObject *parent)
    : QObject(parent), fields_(std::move(fields)), sortAscending_(ascending)
{
}

QStringList TTitleSort::FieldsOf(const QList<TColumn> &columns)
{
    QStringList fields;
    for (const TColumn &column : columns)
        fields.append(column.field);
    return fields;
}

QColor TTitleSort::TitleColor(int column) const
{
    if (column != sortColumn_)
        return QColor(0, 0, 255);
    return sortAscending_ ? QColor(0, 0, 0) : QColor(255, 0, 0);
}

QString TTitleSort::TitleClick(int column)
{
    if (column < 0 || column >= fields_.size())
        return QString();
    if (column == sortColumn_)
        sortAscending_ = !sortAscending_;
    else {
        sortColumn_ = column;
        sortAscending_ = true;
    }
    return fields_[column] + (sortAscending_ ? QStringLiteral("_ASC") : QStringLiteral("_DESC"));
}

void TTitleSort::Attach(QTableView *grid, TTableModel *model)
{
    model->SetTitleSort(this);
    grid->horizontalHeader()->setSectionsClickable(true);
    connect(grid->horizontalHeader(), &QHeaderView::sectionClicked, model,
            [this, model](int column) { SortByTitle(model, column); });
}

void TTitleSort::SortByTitle(TTableModel *model, int column)
{
    BusyCursor busy;
    const QString indexName = TitleClick(column);
    // Also for a column outside the list: the header moved its sort arrow on
    // the click, and the titles put it back where the sort is.
    model->TitlesChanged();
    if (indexName.isEmpty())
        return;
    TTable *table = model->Table();
    if (!table->Active())
        return;
    const TControlsDisabled disabled(table);
    table->SetIndexName(indexName);
}
