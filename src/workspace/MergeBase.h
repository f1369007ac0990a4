#pragma once

#include <QString>

// The state an Action File was in when it was packed into a Dravelin File,
// kept so that the file, once it comes back, can be merged against what both
// sides started from. A copy of each container written from the Action File
// lies in its auxiliary folder, under "Merge Bases", named as the container.

// Where the copy of the container `container` packed from actFile is kept;
// empty when actFile has no auxiliary folder (no Auxiliary root is set).
QString MergeBaseFileName(const QString &actFile, const QString &container);

// Copies the container just packed from actFile into its place, whole or not
// at all. False, with the reason in error, when it could not be kept: the
// container itself is fine, a later merge is then two-way.
bool KeepMergeBase(const QString &actFile, const QString &container, QString *error = nullptr);

// Removes the copies kept for actFile (it is being deleted), so that its
// auxiliary folder can go when nothing else is in it.
void RemoveMergeBases(const QString &actFile);
