#include "ContainerWriteBack.h"

#include "ActionFileLock.h"
#include "AppError.h"
#include "DurableFile.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TGlobalTempFiles.h"
#include "UiServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QString Native(const QString &fileName)
{
    return QDir::toNativeSeparators(fileName);
}

// Packs actFile into container while this program holds the container's
// lock; false with the reason in error.
bool Pack(TFileLock &lock, const QString &actFile, const QString &container, QString *error)
{
    try {
        lock.Verify();
    } catch (const AppError &failure) {
        if (error)
            *error = failure.message();
        return false;
    }
    const TCDSParser::PackResult result = TCDSParser(actFile, container).Pack();
    if (result != TCDSParser::PackOk) {
        if (error)
            *error = result == TCDSParser::PackCannotOpenMember
                         ? QStringLiteral("the unpacked files cannot be read")
                         : QStringLiteral("\"%1\" cannot be written").arg(Native(container));
        return false;
    }
    // The container was replaced by a new file, which the lock now keys.
    try {
        lock.Verify();
    } catch (const AppError &) {
        // Written all the same; the next write-back tells.
    }
    return true;
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
    QString error;
    if (!WriteBack(&error))
        throw AppError(
            QStringLiteral("The Dravelin File \"%1\" cannot be written: %2").arg(Native(container_), error));
}

QString TContainerWriteBack::MarkerName(const QString &actFile)
{
    return actFile + TGlobalTempFiles::RecoveryExtension();
}

void TContainerWriteBack::Changed()
{
    // The marker is on disk before the changes can be lost with the run.
    if (!marked_)
        marked_ = WriteFileDurably(MarkerName(actFile_), QFileInfo(container_).absoluteFilePath().toUtf8());
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
    QString error;
    {
        BusyCursor busy;
        if (WriteBack(&error))
            return;
    }
    // Told once until a write-back succeeds again, not at every change.
    if (failureShown_)
        return;
    failureShown_ = true;
    Ui().MessageBox(
        QStringLiteral("The Action File could not be saved as a Dravelin File\n\n"
                       "The Dravelin File \"%1\" keeps its previous content: %2.\n\nYour changes are "
                       "kept in the unpacked files and written into it again with your next change "
                       "and when you close it.")
            .arg(Native(container_), error),
        QStringLiteral("File Error"), MB_OK | MB_ICONERROR);
}

bool TContainerWriteBack::WriteBack(QString *error)
{
    timer_.stop();
    if (!Pack(lock_, actFile_, container_, error))
        return false;
    QFile::remove(MarkerName(actFile_));
    marked_ = false;
    failureShown_ = false;
    return true;
}

void OfferRecovery(const QString &parent)
{
    for (const QString &folder : TGlobalTempFiles::RecoverableFolders(parent)) {
        const QDir dir(folder);
        bool left = false;
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
            const QString question =
                QStringLiteral("The program ended before it wrote your changes back into the Dravelin File "
                               "\"%1\".\n\nDo you want to write them into it now? Choose No to discard them.")
                    .arg(Native(container));
            if (Ui().MessageBox(question, QStringLiteral("Recover Changes"), MB_YESNO | MB_ICONQUESTION) !=
                IDYES) {
                QFile::remove(marker);
                continue;
            }
            TFileLock lock(container);
            QString error;
            bool recovered = false;
            switch (lock.TryLock()) {
            case TFileLock::Locked: {
                BusyCursor busy;
                recovered = Pack(lock, actFile, container, &error);
                break;
            }
            case TFileLock::HeldElsewhere:
                error = TFileLock::InUseText(QStringLiteral("Dravelin File"), container, lock.HeldBy());
                break;
            case TFileLock::CannotLock:
                error = lock.Error();
                break;
            }
            if (recovered) {
                QFile::remove(marker);
                continue;
            }
            left = true;
            Ui().MessageBox(QStringLiteral("The changes cannot be written into the Dravelin File \"%1\" now: "
                                           "%2\n\nThey are offered again at the next start.")
                                .arg(Native(container), error),
                            QStringLiteral("Recover Changes"), MB_OK | MB_ICONWARNING);
        }
        if (!left)
            QDir(folder).removeRecursively();
    }
}
