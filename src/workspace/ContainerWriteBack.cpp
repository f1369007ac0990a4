#include "ContainerWriteBack.h"

#include "ActionFileLock.h"
#include "AppError.h"
#include "DurableFile.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TGlobalTempFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QString Native(const QString &fileName)
{
    return QDir::toNativeSeparators(fileName);
}

// Packs actFile into container while this program holds the container's
// lock; throws AppError with the reason.
void Pack(TFileLock &lock, const QString &actFile, const QString &container)
{
    lock.Verify();
    try {
        TCDSParser(actFile, container).Pack();
    } catch (const TContainerError &failure) {
        throw AppError(failure.Failed() == TContainerError::Member
                           ? QStringLiteral("the unpacked files cannot be read")
                           : QStringLiteral("\"%1\" cannot be written").arg(Native(container)),
                       failure.FileName(), failure.Cause());
    }
    // The container was replaced by a new file, which the lock now keys.
    try {
        lock.Verify();
    } catch (const AppError &) {
        // Written all the same; the next write-back tells.
    }
}
} // namespace

TContainerWriteBack::TContainerWriteBack(TDataModuleMain &data, TFileLock &lock, const QString &actFile,
                                         const QString &container, QObject *parent)
    : QObject(parent), data_(data), outer_(data.Tables.WriteGuard()), lock_(lock), actFile_(actFile),
      container_(container)
{
    timer_.setSingleShot(true);
    timer_.setInterval(kDelayMs);
    connect(&timer_, &QTimer::timeout, this, &TContainerWriteBack::Due);
    connect(&data_, &TDataModuleMain::ChangesCommitted, this, &TContainerWriteBack::Changed);
    data_.Tables.SetWriteGuard(this);
}

TContainerWriteBack::~TContainerWriteBack()
{
    data_.Tables.SetWriteGuard(outer_);
}

void TContainerWriteBack::CheckWrite()
{
    if (outer_)
        outer_->CheckWrite();
    lock_.Verify();
}

void TContainerWriteBack::Saved()
{
    try {
        WriteBack();
    } catch (const AppError &failure) {
        throw AppError(QStringLiteral("The Dravelin File \"%1\" cannot be written: %2")
                           .arg(Native(container_), failure.message()),
                       container_, failure.Cause());
    }
}

QString TContainerWriteBack::MarkerName(const QString &actFile)
{
    return actFile + TGlobalTempFiles::RecoveryExtension();
}

void TContainerWriteBack::Changed()
{
    // The marker is on disk before the changes can be lost with the run.
    if (!marked_) {
        try {
            WriteFileDurably(MarkerName(actFile_), QFileInfo(container_).absoluteFilePath().toUtf8());
            marked_ = true;
        } catch (const AppError &) {
            // Tried again with the next change.
        }
    }
    timer_.start();
}

void TContainerWriteBack::Due()
{
    // In the middle of a command (a question it asks) the files are not
    // whole yet: later.
    if (data_.Tables.ChangeOpen()) {
        timer_.start();
        return;
    }
    try {
        WriteBack();
    } catch (const AppError &failure) {
        // Told once until a write-back succeeds again, not at every change.
        if (failureTold_)
            return;
        failureTold_ = true;
        Q_EMIT WriteBackFailed(failure.message());
    }
}

void TContainerWriteBack::WriteBack()
{
    timer_.stop();
    Pack(lock_, actFile_, container_);
    QFile::remove(MarkerName(actFile_));
    marked_ = false;
    failureTold_ = false;
}

QList<TEndedRun> FindUnsavedChanges(const QString &parent)
{
    QList<TEndedRun> runs;
    for (const QString &folder : TGlobalTempFiles::RecoverableFolders(parent)) {
        TEndedRun run{folder, {}};
        const QDir dir(folder);
        const QStringList markers = dir.entryList({QLatin1Char('*') + TGlobalTempFiles::RecoveryExtension()},
                                                  QDir::Files | QDir::Hidden);
        for (const QString &name : markers) {
            const QString marker = dir.filePath(name);
            const QString actFile = marker.chopped(TGlobalTempFiles::RecoveryExtension().size());
            QFile file(marker);
            const QString container =
                file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
            if (container.isEmpty() || !QFileInfo(actFile).isFile()) {
                QFile::remove(marker);
                continue;
            }
            run.changes.append({marker, actFile, container});
        }
        runs.append(run);
    }
    return runs;
}

void RecoverChanges(const TUnsavedChanges &changes)
{
    TFileLock lock(changes.container);
    if (lock.TryLock() == TFileLock::HeldElsewhere)
        throw TFileInUseError(QStringLiteral("Dravelin File"), changes.container, lock.HeldBy());
    Pack(lock, changes.actFile, changes.container);
    QFile::remove(changes.marker);
}

void DiscardChanges(const TUnsavedChanges &changes)
{
    QFile::remove(changes.marker);
}

void RemoveEndedRun(const TEndedRun &run)
{
    QDir(run.folder).removeRecursively();
}
