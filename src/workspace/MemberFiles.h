#pragma once

#include <QString>

// What lies beside the six table files of an Action File besides the files
// themselves: the rollback journal "<file>-journal" of an interrupted
// in-place write, and the hidden new file of an interrupted full rewrite.

QString JournalName(const QString &tableFile);

// Settles the table file: when a journal lies beside it, SQLite rolls the
// file back to its last whole state and the journal goes, so the file alone
// is the table again and may be copied, renamed or packed. A journal whose
// file is gone is removed, so it never attaches to a file created later
// under that name. Throws AppError, naming the file and the cause, when a
// journal is left (the file cannot be read or written); the file and journal
// are then kept as they are.
void SettleTableFile(const QString &tableFile);

// Settles each of the six files of actFile; throws at the first that cannot
// be settled.
void SettleActionFile(const QString &actFile);

// Removes the journals under the six names of actFile, whatever they hold,
// and the super-journals of commits that began with one of them.
void RemoveJournals(const QString &actFile);

// Whether the folder of actFile holds a hidden file named after it, as the
// temporary files of an interrupted table write are: most often there is
// none, and nothing to look for name by name.
bool HasHiddenNamesake(const QString &actFile);

// Removes the hidden files (".<member name>.XXXXXX") that the table writer
// leaves beside the six files when it is interrupted before its rename, and
// the marker of a creation of actFile that ended once its files were in place.
void RemoveWriterLeftovers(const QString &actFile);
