#pragma once

#include "TTable.h"

#include <QString>
#include <QVariant>

// Conversions between the values a table stores and what its users give
// and read. Stored values are null (an invalid QVariant), int, QDate, QTime
// or QString.

// The text of a stored value: dates as "dd/mm/yyyy", times as "hh:mm:ss",
// null as "".
QString FormatValue(const TFieldDef &field, const QVariant &value);

// The stored form of a value given for a field: text cut to a String field's
// size (never inside a surrogate pair) and without trailing blanks, empty
// text null, Integer, Date and Time fields parsed from text. Throws AppError
// for text that does not parse, a number beyond 32 bits and a date outside
// the years 1 to 9999.
QVariant NormalizeValue(const TFieldDef &field, const QVariant &value);

// A stored value read as another type; a text that does not parse as an
// integer throws AppError, one that is no date or time reads as null.
int ValueAsInteger(const TFieldDef &field, const QVariant &value);
QDate ValueAsDate(const TFieldDef &field, const QVariant &value);
QTime ValueAsTime(const TFieldDef &field, const QVariant &value);
