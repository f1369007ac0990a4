#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class TTable;

// How the listing commands print records of a table: as a table fitted to
// the terminal, as csv or as json; show prints one record field by field.

// The columns fields of every record of actions under titles, each column
// as wide as its widest text, the whole fitted to the terminal's width.
void PrintTable(TTable &actions, const QList<int> &fields, const QStringList &titles);
// The field names, then one line per record; dates as yyyy-mm-dd.
void PrintCsv(TTable &actions, const QList<int> &fields);
// An array of one object per record with the fields' names and values.
void PrintJson(TTable &actions, const QList<int> &fields);
// Appends to out the fields of record row that are not empty, as
// "NAME: text" lines starting with indent.
void PrintRecord(TTable &table, int row, const QString &indent, QString &out);
