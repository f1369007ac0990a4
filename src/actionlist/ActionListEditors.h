#pragma once

#include "EditorMode.h"

class QWidget;
class TDataModuleMain;
struct TDecisionKind;

// The Action File the action list shows, as its editors and its search work
// on it: the data module, and whether the file was opened read-only (its
// editors then offer no contact editor, where a new contact could not be
// saved).
struct TActionListFile {
    TDataModuleMain &data;
    bool readOnly = false;
};

// Shows the action editor / log editor modally on the record the caller put
// in insert or edit state, and destroys it when it closes. A log entry that
// the editor carries over into its action reloads the Action File.
void ShowActionEditor(const TActionListFile &file, TEditorMode mode, QWidget *parent);
void ShowLogEditor(const TActionListFile &file, TEditorMode mode, QWidget *parent);
// The decision or statement editor of kind in emView, on the record the
// caller put in edit state.
void ShowDecisionViewer(const TActionListFile &file, const TDecisionKind &kind, QWidget *parent);

// The contacts list, in the order of Contact ID from the first contact; the
// contacts' order and cursor are set back afterwards, also after an error.
void ShowContactsList(const TActionListFile &file, QWidget *parent);
// The properties window on the header record, which it puts in edit state.
void ShowPropertiesEditor(const TActionListFile &file, QWidget *parent);
