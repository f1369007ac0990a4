#pragma once

#include "RecordMerge.h"

#include <QString>
#include <QVariant>

// How the differences of a merge are named to the user, the same in the
// merge window and on the command line.

// "Header", "Contact "<ID>"", "Action <ID> "<Action ID>"", "Log entry <ID>",
// "Decision <ID>", "Statement <ID>".
QString RecordTitle(const TRecordDiff &diff);
// What happened to the record: "Added there", "Deleted here, changed there"...
// Empty for a record changed field by field.
QString ChangeText(TRecordChange change);
// A stored value on one line: dates "dd/mm/yyyy", times "hh:mm:ss", line
// breaks and other control characters as blanks, cut to maxLength
// characters with "…" (0: whole); "(empty)" for null.
QString ValueText(const QVariant &value, int maxLength = 0);
