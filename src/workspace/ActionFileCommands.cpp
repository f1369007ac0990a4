#include "ActionFileCommands.h"

#include "ActionFileLock.h"
#include "ActionFileNames.h"
#include "AppError.h"
#include "DurableFile.h"
#include "FileTransfer.h"
#include "MemberFiles.h"
#include "MergeBase.h"
#include "NewFileSet.h"
#include "TACTFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
// The first of the target's six names that already exists, in any case.
QString FirstExistingTarget(const TACTFiles &target)
{
    for (const QString &name : target.Names()) {
        const QString existing = ExistingNameInAnyCase(name);
        if (!existing.isEmpty())
            return existing;
    }
    return QString();
}
} // namespace

void LockForFileOperation(TFileLock &lock, const QString &actFile)
{
    try {
        if (lock.TryLock() == TFileLock::HeldElsewhere)
            throw TFileInUseError(QStringLiteral("Action File"), actFile, lock.HeldBy());
    } catch (const TFileInUseError &) {
        throw;
    } catch (const AppError &) {
        // No lock can be made there; the operation fails there itself if it must.
    }
}

namespace {

// Gives the synchronisation's files of an Action File to its new auxiliary
// folder, so its next synchronisation goes on where the last one ended
// rather than taking every action and todo for new. A file of a deleted
// namesake there is replaced. Throws AppError when one cannot be moved.
void CarrySyncFiles(const QString &fromFolder, const QString &toFolder)
{
    const QStringList olds{SyncAccountFileName(fromFolder), SyncStateFileName(fromFolder)};
    const QStringList news{SyncAccountFileName(toFolder), SyncStateFileName(toFolder)};
    for (qsizetype i = 0; i < olds.size(); ++i) {
        if (olds[i].isEmpty() || news[i].isEmpty() || olds[i] == news[i] || !QFileInfo::exists(olds[i]))
            continue;
        QDir().mkpath(QFileInfo(news[i]).path());
        QFile::remove(news[i]);
        MoveFileNoReplace(olds[i], news[i]);
    }
}

} // namespace

void DeleteActionFile(const QString &actFile, const QString &auxiliaryRoot)
{
    for (const QString &name : TACTFiles(actFile).Names())
        QFile::remove(name);
    RemoveJournals(actFile);
    RemoveWriterLeftovers(actFile);
    QFile::remove(TNewFileSet::MarkerName(actFile));
    const QString auxiliary = AuxiliaryFolder(actFile, auxiliaryRoot);
    RemoveMergeBases(auxiliary);
    // A later file of this name must not take this one's synchronisation
    // for its own: the todos of actions it lacks would be deleted.
    QFile::remove(SyncAccountFileName(auxiliary));
    QFile::remove(SyncStateFileName(auxiliary));
    if (!auxiliary.isEmpty())
        QDir().rmdir(auxiliary); // removes only an empty folder
}

QString RelocateActionFile(const QString &fromFile, const QString &toFile, const QString &auxiliaryRoot)
{
    const TACTFiles from(fromFile), to(toFile);
    const QString taken = FirstExistingTarget(to);
    if (!taken.isEmpty())
        throw TNameTakenError(taken);
    // A journal does not travel with its file: each file is made whole on
    // its own first, and journals under the new names (whose files are
    // gone) never reach the files moved there.
    try {
        SettleActionFile(fromFile);
    } catch (const AppError &failure) {
        throw AppError(failure.message() + QStringLiteral("\n\nThe Action File was left as it was."),
                       failure.FileName(), failure.Cause());
    }
    RemoveJournals(toFile);
    for (int i = 0; i < TACTFiles::Count; ++i) {
        if (i > 0 && !QFileInfo::exists(from.Name(i)))
            continue;
        try {
            MoveFileNoReplace(from.Name(i), to.Name(i));
        } catch (const AppError &failure) {
            bool undone = true;
            for (int j = i - 1; j >= 0; --j) {
                try {
                    if (QFileInfo::exists(to.Name(j)))
                        MoveFileNoReplace(to.Name(j), from.Name(j));
                } catch (const AppError &) {
                    undone = false;
                }
            }
            throw AppError(failure.message() +
                               (undone ? QStringLiteral("\n\nThe Action File was left as it was.")
                                       : QStringLiteral("\n\nSome files could not be given back their old "
                                                        "names; please check the folders \"%1\" and \"%2\".")
                                             .arg(QFileInfo(fromFile).path(), QFileInfo(toFile).path())),
                           failure.FileName(), failure.Cause());
        }
    }
    try {
        CarrySyncFiles(AuxiliaryFolder(fromFile, auxiliaryRoot), AuxiliaryFolder(toFile, auxiliaryRoot));
    } catch (const AppError &failure) {
        return failure.message();
    }
    return QString();
}

void CopyContacts(const QString &source, const QString &target)
{
    const QString from = TACTFiles(source).Name(TableMember::Actor);
    if (!QFileInfo::exists(from))
        return;
    const QString to = TACTFiles(target).Name(TableMember::Actor);
    const auto cannotCopy = [&](const QString &why, const QString &cause) {
        return AppError(QStringLiteral("The Contacts cannot be copied to \"%1\": %2").arg(to, why), to,
                        cause);
    };
    try {
        // Both files are made whole first: the copy must not take a torn
        // file, nor the target's journal roll back into the new copy.
        SettleTableFile(from);
        SettleTableFile(to);
    } catch (const AppError &failure) {
        throw cannotCopy(failure.message(), failure.Cause());
    }
    try {
        CopyFileDurably(from, to);
    } catch (const AppError &failure) {
        throw cannotCopy(failure.Cause(), failure.Cause());
    }
}
