#pragma once

#include "AppError.h"

#include <QString>

// The auxiliary folder of the Action File actFile under auxiliaryRoot: the
// root as configured, then the upper-cased "<last component of root>_<file
// name without its last extension>". A folder of that name that already
// exists under the root, in any case, is the one returned. Empty when the
// root is empty, so no folder is ever placed at the top of the file system.
QString AuxiliaryFolder(const QString &actFile, const QString &auxiliaryRoot);

// The files of an Action File's synchronisation in its auxiliary folder
// (AuxiliaryFolder): the task list and user name it synchronises with, and
// the state of its last synchronisation. Empty when there is no auxiliary
// folder. They belong to the file: renaming it carries them, deleting it
// removes them.
QString SyncAccountFileName(const QString &auxiliaryFolder);
QString SyncStateFileName(const QString &auxiliaryFolder);

// How ReplaceExtension reads the name it is given.
struct ExtensionRules {
    // A backslash ends a folder name as a slash does.
    bool backslashSeparates = false;
    // A name already ending in the extension, in any case, is kept as it is.
    bool keepExtensionInAnyCase = false;
};

// fileName with its last extension replaced by extension (which starts with
// its dot), or extension appended when it has none. Only a dot in the file's
// own name starts an extension, not one in a folder name.
QString ReplaceExtension(const QString &fileName, QLatin1String extension, ExtensionRules rules);

// fileName with its last extension replaced by ".act", or ".act" appended
// when it has none: Report.txt and Report both give Report.act.
QString WithActExtension(const QString &fileName);

// Why name cannot be the file name of an Action File typed by the user: it
// holds a path separator or is "." or "..". Empty when the name is usable.
QString FileNameProblem(const QString &name);

// The existing entry of the folder of path whose name equals path's file
// name compared case-insensitively, as a full path; empty when none.
QString ExistingNameInAnyCase(const QString &path);

// A new file's name is taken by an existing entry (FileName(), in any case):
// "The file "<entry>" already exists".
class TNameTakenError : public AppError {
public:
    explicit TNameTakenError(const QString &existing)
        : AppError(QStringLiteral("The file \"") + existing + QStringLiteral("\" already exists"), existing)
    {
    }
};

// Whether two paths name the same file or folder, compared case-insensitively
// after removing redundant separators.
bool SamePath(const QString &a, const QString &b);
