#pragma once

#include <QString>
#include <QStringList>

class QFile;

// Hands out names for the files the user never names (reports, sheets,
// search results, unpacked containers) and deletes every registered file
// when it is destroyed at program end. The files live in a folder of this
// run only, "dravelin-<process id>-XXXXXX" inside the system's temporary
// folder, readable by the user alone (0700); each file is created new and
// exclusively with mode 0600, never through a link.
class TGlobalTempFiles {
public:
    // The private folder is made inside parent, by default the system's
    // temporary folder. When it cannot be made, every name handed out fails
    // when it is written.
    explicit TGlobalTempFiles(const QString &parent = QString());
    ~TGlobalTempFiles();
    TGlobalTempFiles(const TGlobalTempFiles &) = delete;
    TGlobalTempFiles &operator=(const TGlobalTempFiles &) = delete;

    // Next name "<folder>/dravelin$<n>.<extension>", counting from 1, and
    // registered for deletion. The name is reserved by creating the file
    // empty; a number whose name is taken (by anything, a link included) is
    // skipped.
    QString NewFileName(const QString &extension);

    // Opens name for writing as a new file of this run: whatever lies under
    // the name (a link is removed, never followed) gives way to a new empty
    // file created exclusively with mode 0600.
    static bool CreateNewFile(QFile &file, const QString &name);

    // Deletes every registered file, and the folder once it is empty; run
    // at the end of the program.
    void DeleteAll() const;

    // Takes files off the registry: they outlive the program, and their
    // folder is kept (also by the clean-up of later runs).
    void Keep(const QStringList &names);

    // Removes the folders left in parent (by default the system's temporary
    // folder) by runs whose process has gone; run once at start. A folder
    // with changes to recover is left for RecoverableFolders.
    static void RemoveFoldersOfEndedRuns(const QString &parent = QString());
    // The folders of ended runs in parent that hold changes to recover: a
    // file whose name ends in RecoveryExtension() (see TContainerWriteBack).
    static QStringList RecoverableFolders(const QString &parent = QString());
    static QLatin1String RecoveryExtension() { return QLatin1String(".recover"); }

    // Every registered name, in registration order; callers may append the
    // names of further files that are to be deleted at the end.
    QStringList Files;

    // The private folder of this run.
    const QString &Folder() const { return folder_; }

private:
    QString folder_;
    bool made_ = false;
    int counter_ = 0;
};
