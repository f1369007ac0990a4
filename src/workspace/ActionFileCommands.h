#pragma once

#include <QString>

class TFileLock;

// Operations on the files of an Action File that is not open here, for the
// main window's file commands. They ask nothing and tell nothing: a refusal
// or failure is thrown as AppError.

// Takes the lock of actFile for an operation on its files; throws
// TFileInUseError when another program has it open. A folder that takes no
// lock is left to the operation itself to fail in.
void LockForFileOperation(TFileLock &lock, const QString &actFile);

// Deletes the six files with their journals and the table writer's hidden
// leftovers, then the auxiliary folder under auxiliaryRoot if it is empty.
// The backup folder stays.
void DeleteActionFile(const QString &actFile, const QString &auxiliaryRoot);

// Moves (or renames) the six files of from to the names of to. Throws
// TNameTakenError when any of the six new names exists in any case, before
// anything moves. A journal is rolled back into its file first. A member
// that does not exist is skipped, but the header file must move. A failure
// half-way moves the files moved so far back, so the Action File never ends
// up under two names; the AppError thrown then says what failed and whether
// the files are back. The synchronisation's files in the auxiliary folder
// under auxiliaryRoot follow the new name; the reason they could not is
// returned (the Action File is then relocated all the same), else nothing.
QString RelocateActionFile(const QString &from, const QString &to, const QString &auxiliaryRoot);

// Replaces the contacts file of target by a copy of the contacts file of
// source; nothing when source has none. Both are made whole first, so the
// copy takes no torn file and no journal rolls back into it. Throws AppError
// naming the contacts file of target and the cause.
void CopyContacts(const QString &source, const QString &target);
