#pragma once

#include "LocalActions.h"

#include <QList>
#include <QMap>
#include <QStringList>
#include <functional>

// The file's side of a synchronisation for the tests: the actions in
// memory, made and resolved with the program's rules (the number from a
// counter, the defaults of a new action, the "Action Resolved" log entry).
// With a file name it reads the actions from that file and writes each
// batch to it durably, all of it or nothing, as the Action File does.
class MemoryActions : public TLocalActions {
public:
    struct LogEntry {
        int action = 0;
        QString statusLine, description;
    };

    explicit MemoryActions(const QString &fileName = {});

    QMap<int, TRecordValues> actions;
    QList<LogEntry> log;
    int lastId = 0;
    // Runs before a batch is applied: a test changes the server meanwhile,
    // or throws AppError as a full disk would.
    std::function<void()> beforeApply;

    // A new action as the user makes it; its ID.
    int Add(const TRecordValues &fields);
    // The status lines of an action's log entries.
    QStringList LogOf(int id) const;
    // Writes the actions to the file; false when it cannot.
    bool Save(QString *error = nullptr) const;

    QList<TRecordValues> ReadActions() override;
    QList<int> ApplyChanges(const QList<TActionChange> &changes) override;

private:
    QString fileName_;
};
