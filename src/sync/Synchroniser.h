#pragma once

#include "CalDavClient.h"
#include "LocalActions.h"
#include "SyncSummary.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>

// One synchronisation of the actions of an Action File with one CalDAV task
// list: what changed on the server since the last synchronisation is merged
// field by field with what changed here, the file's side gets its changes in
// one batch, and the server gets the rest, each todo written only over the
// version that was merged.
//
// It can be stopped at any point, by an error, a full disk or a kill, and
// the next synchronisation completes it: the state file says what was
// merged, and a write whose answer never came is recognised on the server
// by what it sent. Nothing is lost on either side and nothing is made
// twice.

enum class TSyncStep {
    Reading,  // the server's changes: bytes received of the answer, and its size if known
    Applying, // the changes here: how many
    Sending,  // the todos written and deleted so far, of how many
};

struct TSyncResult {
    bool ok = true;
    // What stopped it: the server's answer, or Ok where the cause was here
    // (the Action File, the state file).
    TDavOutcome outcome = TDavOutcome::Ok;
    QString error; // for the user, naming the cause
    TSyncSummary summary;
    int requests = 0; // sent to the server
};

class TSynchroniser {
public:
    // account.url is the task list. The state of the last synchronisation
    // is read from and written to stateFile. Make and run it in one thread;
    // Cancel may be called from any.
    TSynchroniser(TDavAccount account, QString stateFile, TLocalActions &local, TDavOptions options = {});
    ~TSynchroniser();
    TSynchroniser(const TSynchroniser &) = delete;
    TSynchroniser &operator=(const TSynchroniser &) = delete;

    void SetProgress(std::function<void(TSyncStep step, qint64 done, qint64 total)> progress);
    // Stops at the next request; what was done is kept.
    void Cancel();

    TSyncResult Run();

private:
    class TRun;

    QUrl list_;
    QString user_;
    QString stateFile_;
    TLocalActions &local_;
    std::unique_ptr<TCalDavClient> client_;
    std::function<void(TSyncStep, qint64, qint64)> progress_;
    std::atomic<bool> cancelled_ = false;
};
