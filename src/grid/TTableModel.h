#pragma once

#include "ActionRules.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QSet>
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
// other, and the view behaves as every grid of the program does: Tab and
// Shift+Tab leave it (arrow keys move within it), its columns fit their
// titles and rows when it binds and again when an empty grid gets rows (but a
// column the user sized keeps its width), its sorted column shows a sort
// arrow, and a reload of the rows (sort, filter, refresh) keeps its
// horizontal scroll position and current column.
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
    // Keeps view's current row and the table's cursor in step and gives the
    // view the grid behaviour described above.
    void BindView(QAbstractItemView *view);
    // The titles take the colours of sort (see TTitleSort::Attach).
    void SetTitleSort(const TTitleSort *sort);
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
    // Sizes each column to its title and the shown rows (long texts up to a
    // maximum), but for the columns the user sized.
    void FitColumns();
    void ShowSortIndicator();

    TTable *table_;
    QList<TColumn> columns_;
    QList<int> fieldIndexes_;
    RowColorRule rowColors_;
    const TTitleSort *titleSort_ = nullptr;
    bool boldTitles_ = false;
    QPointer<QAbstractItemView> view_;
    int shownRows_ = 0;
    int lastCurrent_ = -1;
    // The view's current column, kept while a reset leaves it no current cell.
    int currentColumn_ = 0;
    QSet<int> userSized_;
    bool fitting_ = false;
    bool syncing_ = false;
};
