#include "TTableModel.h"

#include "QtColors.h"
#include "ReadableColors.h"
#include "TTable.h"
#include "TTitleSort.h"

#include <QAbstractItemView>
#include <QBrush>
#include <QFont>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>

namespace {

// A column sized to its content grows no wider than this, so one long text
// does not push the other columns out of sight.
constexpr int kMaxContentWidth = 320;

} // namespace

TTableModel::TTableModel(TTable *table, QList<TColumn> columns, QObject *parent)
    : QAbstractTableModel(parent), table_(table), columns_(std::move(columns))
{
    for (const TColumn &column : columns_)
        fieldIndexes_.append(table_->FieldIndex(column.field));
    shownRows_ = table_->RecordCount();
    connect(table_, &TTable::LayoutChange, this, &TTableModel::TableLayoutChanged);
    connect(table_, &TTable::DataChange, this, &TTableModel::TableDataChanged);
}

void TTableModel::SetRowColorRule(RowColorRule rule)
{
    rowColors_ = std::move(rule);
    if (shownRows_ > 0)
        Q_EMIT dataChanged(index(0, 0), index(shownRows_ - 1, columnCount() - 1));
}

int TTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shownRows_;
}

int TTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant TTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= shownRows_)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return table_->DisplayTextAt(index.row(), fieldIndexes_[index.column()]);
    case Qt::ForegroundRole:
    case Qt::BackgroundRole: {
        if (!rowColors_)
            return QVariant();
        const std::optional<TRowColors> colors =
            rowColors_(*table_, index.row(), index.row() == table_->RecNo());
        if (!colors)
            return QVariant();
        // The colours follow the palette the grid is drawn with.
        const QPalette palette = view_ ? view_->palette() : QGuiApplication::palette();
        const QColor background = RowBackgroundColor(ToQColor(colors->background), palette);
        if (role == Qt::BackgroundRole)
            return QBrush(background);
        return QBrush(RowTextColor(ToQColor(colors->text), background, palette));
    }
    default:
        return QVariant();
    }
}

QVariant TTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return columns_[section].title;
    case Qt::ForegroundRole:
        return titleSort_ ? QVariant(QBrush(titleSort_->TitleColor(section))) : QVariant();
    case Qt::FontRole:
        if (boldTitles_) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return QVariant();
    default:
        return QAbstractTableModel::headerData(section, orientation, role);
    }
}

void TTableModel::SetTitleSort(const TTitleSort *sort)
{
    titleSort_ = sort;
    ShowSortIndicator();
    // The titles now leave room for the sort arrow.
    FitColumns();
}

void TTableModel::TitlesChanged()
{
    if (!columns_.isEmpty())
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, int(columns_.size()) - 1);
    ShowSortIndicator();
}

void TTableModel::ShowSortIndicator()
{
    auto *grid = qobject_cast<QTableView *>(view_.data());
    if (!grid || !titleSort_)
        return;
    // The arrow only shows the order; the table sorts itself, never the view.
    QHeaderView *header = grid->horizontalHeader();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(titleSort_->SortColumn(),
                             titleSort_->SortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TTableModel::FitColumns()
{
    auto *grid = qobject_cast<QTableView *>(view_.data());
    if (!grid)
        return;
    QHeaderView *header = grid->horizontalHeader();
    fitting_ = true;
    for (int column = 0; column < columns_.size(); ++column) {
        if (userSized_.contains(column))
            continue;
        grid->resizeColumnToContents(column);
        // Long texts are cut, their title never.
        const int width =
            std::max(std::min(grid->columnWidth(column), kMaxContentWidth), header->sectionSizeHint(column));
        grid->setColumnWidth(column, width);
    }
    fitting_ = false;
}

void TTableModel::TableLayoutChanged()
{
    // A reset leaves the view without a current cell and may scroll it; the
    // user keeps the columns in view and the current column.
    const int scrollX = view_ ? view_->horizontalScrollBar()->value() : 0;
    const bool wasEmpty = shownRows_ == 0;
    beginResetModel();
    shownRows_ = table_->RecordCount();
    lastCurrent_ = -1;
    endResetModel();
    // The first rows of an empty grid (a new file, its first actions) fit
    // the columns again.
    if (wasEmpty && shownRows_ > 0)
        FitColumns();
    SyncViewToTable();
    if (view_)
        view_->horizontalScrollBar()->setValue(scrollX);
}

void TTableModel::TableDataChanged()
{
    // A record that was posted or moved changes the layout first; here only
    // the current row's values or the cursor changed.
    const int rows = table_->RecordCount();
    if (rows != shownRows_) {
        TableLayoutChanged();
        return;
    }
    const int current = table_->RecNo();
    if (lastCurrent_ >= 0 && lastCurrent_ < rows && lastCurrent_ != current)
        Q_EMIT dataChanged(index(lastCurrent_, 0), index(lastCurrent_, columnCount() - 1));
    if (current >= 0)
        Q_EMIT dataChanged(index(current, 0), index(current, columnCount() - 1));
    lastCurrent_ = current;
    SyncViewToTable();
}

void TTableModel::BindView(QAbstractItemView *view)
{
    view_ = view;
    view->setModel(this);
    // Tab moves the focus to the next control instead of walking the cells
    // (which would change the current record unasked).
    view->setTabKeyNavigation(false);
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    currentColumn_ = current.column();
            });
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (syncing_ || !current.isValid() || !table_->Active() || current.row() == table_->RecNo())
                    return;
                syncing_ = true;
                try {
                    table_->SetRecNo(current.row());
                } catch (...) {
                    syncing_ = false;
                    throw;
                }
                syncing_ = false;
            });
    ShowSortIndicator();
    if (auto *grid = qobject_cast<QTableView *>(view)) {
        // A column the user sized keeps its width from then on.
        connect(grid->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column) {
            if (!fitting_)
                userSized_.insert(column);
        });
    }
    FitColumns();
    SyncViewToTable();
}

void TTableModel::SyncViewToTable()
{
    if (!view_ || syncing_ || !view_->selectionModel())
        return;
    const int row = table_->RecNo();
    const QModelIndex current = view_->selectionModel()->currentIndex();
    if (row < 0 || (current.isValid() && current.row() == row))
        return;
    syncing_ = true;
    const int column = current.isValid() ? current.column() : qBound(0, currentColumn_, columnCount() - 1);
    const QModelIndex target = index(row, column);
    view_->selectionModel()->setCurrentIndex(target,
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // Only the rows scroll to show the current record; the columns stay where
    // the user scrolled them.
    const int scrollX = view_->horizontalScrollBar()->value();
    view_->scrollTo(target);
    view_->horizontalScrollBar()->setValue(scrollX);
    syncing_ = false;
}
