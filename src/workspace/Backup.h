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
// file that lies in a backup folder itself. Reports nothing: a member that
// cannot be copied is skipped.
void BackupActionFile(const QString &actFile);
