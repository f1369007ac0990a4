#pragma once

#include "TTable.h"

#include <QString>

// The guards that make a second step run on every exit, errors included.
// Steps that cannot fail are destructor guards; a step that can fail (a
// write, a reload, a close) runs through TryFinally, so its own error still
// reaches the caller.

// Runs body, then always, also when body throws; the error goes on.
template <typename Body, typename Always> void TryFinally(Body &&body, Always &&always)
{
    try {
        body();
    } catch (...) {
        always();
        throw;
    }
    always();
}

// Runs body; when it throws, runs undo and the error goes on.
template <typename Body, typename Undo> void UndoOnError(Body &&body, Undo &&undo)
{
    try {
        body();
    } catch (...) {
        undo();
        throw;
    }
}

// Keeps a table's grids from repainting until the guard ends
// (DisableControls nests).
class TControlsDisabled {
public:
    explicit TControlsDisabled(TTable *table) : table_(table) { table_->DisableControls(); }
    ~TControlsDisabled() { table_->EnableControls(); }
    TControlsDisabled(const TControlsDisabled &) = delete;
    TControlsDisabled &operator=(const TControlsDisabled &) = delete;

private:
    TTable *table_;
};

// Restores a table's filter text and switch when the guard ends.
class TFilterKept {
public:
    explicit TFilterKept(TTable *table) : table_(table), text_(table->Filter()), on_(table->Filtered()) {}
    ~TFilterKept()
    {
        try {
            table_->SetFiltered(false);
            table_->SetFilter(text_);
            table_->SetFiltered(on_);
        } catch (const std::exception &) {
            // The text was valid when it was taken; nothing better to do here.
        }
    }
    TFilterKept(const TFilterKept &) = delete;
    TFilterKept &operator=(const TFilterKept &) = delete;

private:
    TTable *table_;
    QString text_;
    bool on_;
};
