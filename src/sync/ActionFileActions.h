#pragma once

#include "LocalActions.h"

class TDataModuleMain;

// The actions of the Action File open in the data module's table set, as
// the synchroniser sees them. Changes are made with the program's rules: a
// new action gets the defaults and the number a new action gets, a resolved
// one is resolved as the action editor resolves it, a deleted one goes with
// its log entries, decisions and statements. One batch is written in one
// commit of the table set. Whoever opened the set holds its lock.
//
// A batch that fails leaves the files as they were, but the tables in
// memory may hold part of it: the caller closes them without writing (the
// command line) or opens the file again.
class TActionFileActions : public TLocalActions {
public:
    explicit TActionFileActions(TDataModuleMain &data) : data_(data) {}

    QList<TRecordValues> ReadActions() override;
    QList<int> ApplyChanges(const QList<TActionChange> &changes) override;

private:
    void Apply(const TActionChange &change, QList<int> &ids);
    void AddLogEntry(int id, const TSyncLogEntry &entry);

    TDataModuleMain &data_;
};
