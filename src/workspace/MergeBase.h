#pragma once

#include <QString>

// The state an Action File was in when it was packed into a Dravelin File,
// kept so that the file, once it comes back, can be merged against what both
// sides started from. A copy of each container written from the Action File
// lies in its auxiliary folder, under "Merge Bases", named as the container.
// auxiliaryFolder is the Action File's own auxiliary folder (AuxiliaryFolder);
// without one no copy is kept and a later merge is two-way.

// Where the copy of the container `container` is kept; empty when there is
// no auxiliary folder.
QString MergeBaseFileName(const QString &auxiliaryFolder, const QString &container);

// Copies the container just packed into its place, whole or not at all.
// Throws AppError when it cannot be kept: the container itself is fine, a
// later merge is then two-way.
void KeepMergeBase(const QString &auxiliaryFolder, const QString &container);

// Removes the copies kept in an Action File's auxiliary folder (the file is
// being deleted), so that the folder can go when nothing else is in it.
void RemoveMergeBases(const QString &auxiliaryFolder);
