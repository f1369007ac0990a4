#pragma once

#include <QColor>
#include <QString>

// Which grid column orders the action list and in which direction, and the
// title colours that show it: the sorted column's title is red when
// descending and black when ascending, every other title blue.
class TActionSort {
public:
    // A fresh window: the Attribute column, descending, as the table set
    // leaves the actions after opening.
    TActionSort() = default;

    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return sortAscending_; }

    // The user clicked the title of column (position in ActionGridColumns()):
    // the same column flips its direction, another column sorts ascending.
    // Returns the index name to set on the actions table.
    QString TitleClick(int column);

    QColor TitleColor(int column) const;

private:
    int sortColumn_ = 0;
    bool sortAscending_ = false;
};
