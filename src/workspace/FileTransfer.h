#pragma once

#include <QString>

// Copies source over target. The new content is written beside the target
// and renamed over it only when complete, so the target holds either its old
// content or the whole new one, never a mix. A missing source fails and
// leaves the target untouched. On failure error (when given) says why.
bool CopyFileReplacing(const QString &source, const QString &target, QString *error = nullptr);

// Renames or moves a file, never replacing an existing target. Across file
// systems the file is copied and the source deleted afterwards.
bool MoveFileNoReplace(const QString &source, const QString &target, QString *error = nullptr);
