#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

class TTable;

// The one-page sheets of a single record: a table of label and value cells.
// Each builder reads the current record of the table it is given (the edit
// buffer while the record is being edited, so unsaved changes are printed)
// and returns the page's lines; field values are written as cell text, and
// the page title and headings are encoded as well, so markup in a value
// never becomes part of the page.

// Log entry sheet of the current record of a cdsLog-like table, under the
// heading of the action whose ID_ACTION is idAction.
QStringList LogSheetLines(TTable &log, const QString &idAction);
// Decision and statement sheets of the current record of cdsDecision or
// cdsStatement, under the heading of the action idAction.
QStringList DecisionSheetLines(TTable &decision, const QString &idAction);
QStringList StatementSheetLines(TTable &statement, const QString &idAction);
// Properties sheet of the header record of a cdsAction-like table; fileName
// (the open Action File's path) stands in for a blank title, today is the
// date of printing.
QStringList PropertiesSheetLines(TTable &header, const QString &fileName, const QDate &today);
