#pragma once

#include <QString>

// The backup folder of the Action File actFile: beside it, named after the
// part of its file name before the first dot, followed by " Backup"
// (Project.act and Project.rev.act both use "Project Backup"). No trailing
// separator.
QString BackupFolder(const QString &actFile);

// Name of the marker file that makes a folder a backup folder.
inline constexpr const char *kBackupMarker = "backup.exists";

// Copies the six files of actFile into its backup folder, replacing the
// copies of the previous opening, and marks the folder. Makes no backup of a
// temporary copy unpacked from a container ("dravelin$" in its name) nor of a
// file that lies in a backup folder itself. Each member is settled first
// (an interrupted write undone). A member that is missing or cannot be
// settled is skipped and its previous copy kept. The copies replace the old
// ones together, once all are written: when one cannot be written (a full
// disk) the previous backup stays as it was and AppError is thrown, naming
// the copy and the cause.
void BackupActionFile(const QString &actFile);
