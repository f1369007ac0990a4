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
// once.
class TContainerWriteBack : public QObject, public TWriteGuard {
    Q_OBJECT
public:
    static constexpr int kDelayMs = 2000;

    // lock: the container's, held by the caller while the file is open.
    TContainerWriteBack(TDataModuleMain &data, TFileLock &lock, const QString &actFile,
                        const QString &container, QObject *parent = nullptr);
    ~TContainerWriteBack() override;

    // Packs the unpacked files into the container now; the marker goes once
    // the container holds them. False, with the reason in error, when it
    // could not be written (the marker then stays).
    bool WriteBack(QString *error = nullptr);
    // Whether a write-back is waiting for its time.
    bool Pending() const { return timer_.isActive(); }

    void CheckWrite() override;
    // Writes the container now; throws AppError when it cannot be.
    void Saved() override;

    // The marker of the unpacked Action File actFile.
    static QString MarkerName(const QString &actFile);

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
    bool failureShown_ = false;
};

// At start: for each Dravelin File whose changes a run that ended left
// unpacked in parent (by default the system's temporary folder), asks under
// the caption "Recover Changes" whether to write them into it. Yes packs them
// into the container (when its lock can be taken; otherwise they are offered
// again next time), No discards them. Nothing is written over a container
// without that answer.
void OfferRecovery(const QString &parent = QString());
