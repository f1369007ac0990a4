#pragma once

#include "TTables.h"

#include <QObject>
#include <QString>
#include <QTimer>

class TDataModuleMain;
class TFileLock;

// Keeps a Dravelin File in step with the Action File unpacked from it while
// the program has it open. Every change is written into the unpacked files at
// once; a few seconds after the last one the files are packed back into the
// container. Until then a marker beside the unpacked files names the
// container, so that when the run ends without packing them (a crash, a kill)
// the next start offers the changes for recovery (OfferRecovery) instead of
// removing them with the run's other temporary files.
//
// While it exists it is the table set's write guard: the container's lock is
// verified before every write, and a save command writes the container at
// once. A write-back due by the clock that fails is told by WriteBackFailed.
class TContainerWriteBack : public QObject, public TWriteGuard {
    Q_OBJECT
public:
    static constexpr int kDelayMs = 2000;

    // lock: the container's, held by the caller while the file is open.
    TContainerWriteBack(TDataModuleMain &data, TFileLock &lock, const QString &actFile,
                        const QString &container, QObject *parent = nullptr);
    ~TContainerWriteBack() override;

    // Packs the unpacked files into the container now; the marker goes once
    // the container holds them. Throws AppError, message() the reason, when
    // it could not be written (the marker then stays).
    void WriteBack();
    // Whether a write-back is waiting for its time.
    bool Pending() const { return timer_.isActive(); }

    void CheckWrite() override;
    // Writes the container now; throws AppError when it cannot be.
    void Saved() override;

    // The marker of the unpacked Action File actFile.
    static QString MarkerName(const QString &actFile);

Q_SIGNALS:
    // A write-back due by the clock failed; told once until one succeeds
    // again. reason: why, as WriteBack throws it.
    void WriteBackFailed(const QString &reason);

private:
    void Changed();
    void Due();

    TDataModuleMain &data_;
    TWriteGuard *outer_;
    TFileLock &lock_;
    QString actFile_;
    QString container_;
    QTimer timer_;
    bool marked_ = false;
    bool failureTold_ = false;
};

// Changes to a Dravelin File that a run which ended left unpacked: the
// marker beside the unpacked Action File names the container.
struct TUnsavedChanges {
    QString marker;
    QString actFile;
    QString container;
};

// The temporary folder of a run that ended, with the changes it left.
struct TEndedRun {
    QString folder;
    QList<TUnsavedChanges> changes;
};

// The folders of ended runs in parent (by default the system's temporary
// folder) that hold unsaved changes to Dravelin Files. A marker that names
// no container, or whose Action File is gone, is removed on the way.
QList<TEndedRun> FindUnsavedChanges(const QString &parent = QString());
// Packs the changes into their container while this program holds its lock,
// and removes the marker. Throws AppError (TFileInUseError when another
// program has the container open), message() the reason; the changes are
// then kept for another try.
void RecoverChanges(const TUnsavedChanges &changes);
// Drops the changes: their marker goes, so the run's folder may go too.
void DiscardChanges(const TUnsavedChanges &changes);
// Removes the folder of an ended run once nothing in it waits any longer.
void RemoveEndedRun(const TEndedRun &run);
