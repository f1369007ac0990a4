#pragma once

#include "TTable.h"

#include <QString>

// Scope guards for the pairs the commands wrap around work on a table, so
// the second half runs on every exit, errors included.

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
