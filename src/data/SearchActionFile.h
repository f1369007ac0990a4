#pragma once

#include "ActionRules.h"
#include "TDataModuleMain.h"

#include <QList>
#include <QString>
#include <optional>

// A searched field of a record kind: its field name and the name a result
// shows for it. A field's place in its kind's list is its IN_FIELD_NUMBER.
struct TSearchField {
    const char *field;
    const char *caption;
};
const QList<TSearchField> &SearchFields(TRecordKind kind);

// Told now and then while a search walks the records, so a window can show
// that it is busy and keep itself painted.
class TSearchProgress {
public:
    virtual ~TSearchProgress() = default;
    virtual void Step() = 0;
};

// Searches the listed actions (the visible records of cdsActions, in their
// order) and their log entries (in LOG_DATE_TIME order), decisions and
// statements (each in DATE_ENTERED_DESC order) for text, compared
// upper-cased and with dates and times in their display form. Fills
// cdsActionsSearch, made anew under a new temporary file name, with one
// result per matching field, and leaves it active on its first result.
// Returns whether anything was found. The walk reads the records without
// moving any cursor, so the list, its filter, order and current action, the
// log and the indicators stay as they are.
bool SearchActionFile(TDataModuleMain &data, const QString &text, TSearchProgress *progress = nullptr);

// Closes cdsActionsSearch (writing it to its temporary file) and clears its
// file name, also when the write fails.
void CloseSearchResults(TDataModuleMain &data);

// Makes the listed action whose ID is actionId the current action, else the
// first listed one, and restricts the log to it.
void GotoSearchAction(TDataModuleMain &data, int actionId);

// Colours of a result row by its FOUND_IN while colour coding is on: black
// text on white, light yellow, misty rose or light blue for an action, log
// entry, decision or statement, and black on sky blue when selected; none
// (the grid's own) for any other kind.
std::optional<TRowColors> SearchRowColors(int foundIn, bool selected);
