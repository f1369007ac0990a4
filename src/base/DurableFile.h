#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <memory>

// Replaces a file so that it holds either its old content or the whole new
// one, also across a crash or a full disk: every write is checked, the data
// is flushed and synced to the disk before the new file is renamed over the
// old one, and the folder is synced after the rename. Any failure leaves the
// old file as it was and throws AppError naming the file and the cause.
class TDurableFile {
public:
    explicit TDurableFile(const QString &fileName);
    ~TDurableFile();
    TDurableFile(const TDurableFile &) = delete;
    TDurableFile &operator=(const TDurableFile &) = delete;

    // Starts the new content. Refuses a target that exists and is not a
    // plain file or carries no write permission at all (marked read-only),
    // even for a user whom the system would let replace it, and a target
    // that is a symbolic link: nothing is written through a link.
    void Open();
    // False once a write failed; the failure is thrown by Commit, so a
    // writer may go on writing until it is done.
    bool Write(const char *data, qint64 size);
    bool Write(const QByteArray &bytes) { return Write(bytes.constData(), bytes.size()); }
    // Makes the new content the file's; throws after any failed write.
    void Commit();
    // Discards the new content; the old file stays.
    void Cancel();

    // The device the new content is written to, for writers that take a
    // QIODevice; a failed write through it is thrown by Commit.
    QIODevice &Device() { return *device_; }
    const QString &FileName() const { return fileName_; }

private:
    bool Fail(const QString &why);
    [[noreturn]] void Throw() const;

    QString fileName_;
    QSaveFile file_;
    std::unique_ptr<QIODevice> device_;
    QString error_;
    bool failed_ = false;
};

// The whole of bytes as the new content of fileName, as TDurableFile does.
void WriteFileDurably(const QString &fileName, const QByteArray &bytes);

// Copies source over target as TDurableFile does. A missing or unreadable
// source fails (the error names the source) and leaves the target untouched.
void CopyFileDurably(const QString &source, const QString &target);

// Syncs a folder's entries (a rename or removal in it) to the disk.
bool SyncFolder(const QString &folder);
