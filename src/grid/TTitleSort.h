#pragma once

#include "TTableModel.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QHeaderView;
class QTableView;

// Column-title sorting, shared by every grid that sorts its table by a click
// on a column title (the action list, the decisions and statements of the
// action editor, the contacts list).
//
// A grid names the field of each defined column, in column order; a column's
// identity is its position in that list, so moved sections keep theirs. The
// state is the sorted column and its direction. A click on the sorted column
// flips the direction, a click on another column sorts it ascending. The
// table's index becomes the field name with "_ASC" or "_DESC", which the
// table must define for every listed field.
//
// The titles show the state: the sorted column's title is red when
// descending and black when ascending, every other title blue; on a dark
// palette black is the header's text colour and red and blue lighter shades.
//
// Use:
//     sort_ = new TTitleSort(TTitleSort::FieldsOf(columns), false, this);
//     sort_->Attach(grid, model); // titles coloured; a click sorts
//     model->SetBoldTitles(true);  // where the titles are bold
class TTitleSort : public QObject {
    Q_OBJECT
public:
    // fields: the field of each defined column. A fresh state has column 0
    // sorted in the given direction, which should match the index the table
    // has when the grid is first shown.
    TTitleSort(QStringList fields, bool ascending, QObject *parent = nullptr);

    // The field of each column, in order.
    static QStringList FieldsOf(const QList<TColumn> &columns);

    const QStringList &Fields() const { return fields_; }
    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return sortAscending_; }
    // The title colour of column on the header of the attached grid (the
    // application's palette before Attach).
    QColor TitleColor(int column) const;

    // The state change of a click on the title of column; returns the index
    // name to set, or an empty string for a column outside the list.
    QString TitleClick(int column);

    // Lets model colour the titles from this state and makes a click on a
    // title of grid sort model's table, with the wait cursor.
    void Attach(QTableView *grid, TTableModel *model);
    // What a click on the title of column does: changes the state, repaints
    // the titles and sets the index on the table, repainting it once.
    void SortByTitle(TTableModel *model, int column);

private:
    QStringList fields_;
    int sortColumn_ = 0;
    bool sortAscending_;
    QPointer<QHeaderView> header_;
};
