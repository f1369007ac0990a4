#pragma once

#include "ActionRules.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <functional>
#include <optional>

class QAbstractItemView;
class TTable;
class TTitleSort;

struct TColumn {
    QString field;
    QString title;
};

// Item model over a table's visible records in their current order. Rows are
// read on demand from the table, so it scales to any number of records. With
// a bound view, the table's cursor and the view's current row follow each
// other.
class TTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Colours of a row, or nothing for the view's own; `selected` is true for
    // the row of the table's current record.
    using RowColorRule = std::function<std::optional<TRowColors>(TTable &, int row, bool selected)>;

    TTableModel(TTable *table, QList<TColumn> columns, QObject *parent = nullptr);

    TTable *Table() const { return table_; }
    const QList<TColumn> &Columns() const { return columns_; }
    void SetRowColorRule(RowColorRule rule);
    // Keeps view's current row and the table's cursor in step.
    void BindView(QAbstractItemView *view);
    // The titles take the colours of sort (see TTitleSort::Attach).
    void SetTitleSort(const TTitleSort *sort) { titleSort_ = sort; }
    void SetBoldTitles(bool bold) { boldTitles_ = bold; }
    // The sort state changed: repaint the titles.
    void TitlesChanged();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void TableLayoutChanged();
    void TableDataChanged();
    void SyncViewToTable();

    TTable *table_;
    QList<TColumn> columns_;
    QList<int> fieldIndexes_;
    RowColorRule rowColors_;
    const TTitleSort *titleSort_ = nullptr;
    bool boldTitles_ = false;
    QPointer<QAbstractItemView> view_;
    int shownRows_ = 0;
    int lastCurrent_ = -1;
    bool syncing_ = false;
};
