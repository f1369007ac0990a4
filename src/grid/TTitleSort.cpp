#include "TTitleSort.h"

#include "ReadableColors.h"
#include "ScopeGuards.h"
#include "UiServices.h"

#include <QGuiApplication>
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
    QColor colour(0, 0, 255);
    if (column == sortColumn_)
        colour = sortAscending_ ? QColor(0, 0, 0) : QColor(255, 0, 0);
    return ReadableTextColor(colour, header_ ? header_->palette() : QGuiApplication::palette(),
                             QPalette::ButtonText);
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
    header_ = grid->horizontalHeader();
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
