#include "CommandInputs.h"

#include "ActionFileLock.h"
#include "ActionFileSession.h"
#include "AppError.h"
#include "TACTFiles.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace {

QString Quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

TCommandInputs::TFileId TCommandInputs::IdOf(const QString &fileName)
{
    TFileId id;
    struct stat info {};
    // The file a link names is the file read or written through it.
    if (::stat(QFile::encodeName(fileName).constData(), &info) == 0) {
        id.valid = true;
    } else {
        const QFileInfo file(fileName);
        id.name = file.fileName();
        id.valid = ::stat(QFile::encodeName(file.absolutePath()).constData(), &info) == 0;
    }
    id.device = quint64(info.st_dev);
    id.inode = quint64(info.st_ino);
    return id;
}

QStringList TCommandInputs::FilesOf(const QString &fileName, bool container)
{
    QStringList files;
    if (!container)
        for (const QString &member : TACTFiles(fileName).Names())
            files.append(member);
    else
        files.append(fileName);
    files.append(TFileLock::LockFileName(fileName));
    return files;
}

void TCommandInputs::AddActionFile(const QString &fileName)
{
    const bool container = TActionFileSession::IsDravelinFile(fileName);
    const QString kind = container ? QStringLiteral("Dravelin File") : QStringLiteral("Action File");
    const QStringList files = FilesOf(fileName, container);
    for (const QString &file : files) {
        QString what;
        if (file == fileName)
            what = QStringLiteral("the %1 %2 itself").arg(kind, Quoted(fileName));
        else if (file == files.last())
            what = QStringLiteral("the lock file of the %1 %2").arg(kind, Quoted(fileName));
        else
            what =
                QStringLiteral("the table file %1 of the Action File %2").arg(Quoted(file), Quoted(fileName));
        Add(file, what);
    }
}

void TCommandInputs::Add(const QString &fileName, const QString &what)
{
    inputs_.push_back({IdOf(fileName), what});
}

void TCommandInputs::RefuseOutputs(const QStringList &outputs) const
{
    for (const QString &output : outputs) {
        const TFileId id = IdOf(output);
        if (!id.valid)
            continue;
        for (const TInput &input : inputs_)
            if (input.id == id)
                throw AppError(QStringLiteral("Cannot write %1: it is %2, which the command reads")
                                   .arg(Quoted(output), input.what));
    }
}
