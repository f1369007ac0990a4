#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// The files a command reads, so that none of its outputs is one of them: a
// page or export written over the Action File it reads would destroy it.
// Files are compared as files (device and inode), whatever paths name them,
// so a hard link or another spelling of the path is caught too. A name that
// does not exist yet is compared by its folder and name, which covers the
// lock file that appears beside an Action File while it is open.
class TCommandInputs {
public:
    // An Action File (".act": the header file, its five table files and its
    // lock file) or a Dravelin File (the container and its lock file).
    void AddActionFile(const QString &fileName);
    // One file; `what` names it in a refusal, e.g. `the file "in.json"`.
    void Add(const QString &fileName, const QString &what);

    // Throws AppError, before anything is written, when one of outputs is
    // one of the inputs.
    void RefuseOutputs(const QStringList &outputs) const;

    // The files of the Action File or (container) Dravelin File fileName,
    // those AddActionFile adds: what a command writes that makes one.
    static QStringList FilesOf(const QString &fileName, bool container);

private:
    struct TFileId {
        quint64 device = 0, inode = 0;
        QString name; // set when the file does not exist: the id is its folder's
        bool valid = false;
        bool operator==(const TFileId &) const = default;
    };
    static TFileId IdOf(const QString &fileName);

    struct TInput {
        TFileId id;
        QString what;
    };
    std::vector<TInput> inputs_;
};
