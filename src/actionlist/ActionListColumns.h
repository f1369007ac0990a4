#pragma once

#include "TTableModel.h"

#include <QList>

// The columns of the actions grid; a column's position in this list is its
// identity for sorting, wherever the user drags it.
const QList<TColumn> &ActionGridColumns();
// The columns of the log grid.
const QList<TColumn> &LogGridColumns();
