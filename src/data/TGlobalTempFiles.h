#pragma once

#include <QString>
#include <QStringList>

// Hands out names for the files the user never names (reports, sheets,
// search results, unpacked containers) in the system's temporary folder and
// deletes every registered file when it is destroyed at program end.
class TGlobalTempFiles {
public:
    // The folder defaults to the system's temporary folder.
    explicit TGlobalTempFiles(const QString &folder = QString());
    ~TGlobalTempFiles();
    TGlobalTempFiles(const TGlobalTempFiles &) = delete;
    TGlobalTempFiles &operator=(const TGlobalTempFiles &) = delete;

    // Next name "<temp folder>/dravelin$<n>.<extension>", registered for
    // deletion. The name is reserved by creating the file empty; a number
    // whose file already exists (another running copy, a crashed run) is
    // skipped, so two copies never share a file.
    QString NewFileName(const QString &extension);

    // Deletes every registered file; run at the end of the program.
    void DeleteAll() const;

    // Every registered name, in registration order; callers may append the
    // names of further files that are to be deleted at the end.
    QStringList Files;

    const QString &Folder() const { return folder_; }

private:
    QString folder_;
    int counter_ = 0;
};
