#pragma once

#include <QString>

// Renames or moves a file, never replacing an existing target. Across file
// systems the file is copied and the source deleted afterwards. Throws
// AppError naming both files and the cause when it cannot be done.
void MoveFileNoReplace(const QString &source, const QString &target);
