#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <functional>

class TDataModuleMain;
class TTable;
struct TFieldDef;

// The open Action File in the formats of other programs. Each export reads
// every record of the tables, whatever filter the action list would apply.

// One record of table as a JSON object: every field under its name, null
// when empty, numbers as numbers, dates as "yyyy-mm-dd" and times as
// "hh:mm:ss" (ISO 8601).
QJsonObject RecordToJson(TTable &table, int row);

// The whole Action File: the header, the contacts, and the actions in the
// order of their identifiers with their log entries, decisions and
// statements nested. Children whose action is missing are kept under
// "unattached", so nothing of the file is lost.
// The text is handed to write piece by piece as it is made.
void ExportJson(TDataModuleMain &data, const std::function<void(const char *, size_t)> &write);

// Fills the table set, open and newly created, from an ExportJson document.
// Every record is stored with exactly the values of the document. Throws
// AppError naming the first thing that does not fit: among others a text
// longer than its field, and a number (ID) that two actions, log entries,
// decisions or statements share.
void ImportJson(TDataModuleMain &data, const QByteArray &json);

// Throws AppError when text is longer than the String field def keeps
// (trailing spaces aside, which the field drops), naming the field, its
// size and, when given, where the text is: the field would cut it unseen.
void RefuseTooLongText(const TFieldDef &def, const QString &text, const QString &where = QString());

// The actions, one line each, in RFC 4180 form: a title line of field names,
// CRLF line ends, fields with a comma, quote or line break quoted.
QByteArray ExportCsv(TDataModuleMain &data);

// One field of a csv line (RFC 4180): quoted, its quotes doubled, when it
// holds a comma, quote or line break.
QString CsvField(const QString &text);

// One RFC 5545 VTODO per action in a VCALENDAR. Each todo's UID is the
// action's own identity (ActionUid), so a calendar knows it again after
// the file was renamed, moved, copied or packed.
QByteArray ExportIcal(TDataModuleMain &data);
