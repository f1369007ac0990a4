#pragma once

#include "EditorMode.h"

class QWidget;
struct TDecisionKind;

// Shows the action editor / log editor modally on the record the caller put
// in insert or edit state, and destroys it when it closes. A log entry that
// the editor carries over into its action reloads the Action File.
void ShowActionEditor(TEditorMode mode, QWidget *parent);
void ShowLogEditor(TEditorMode mode, QWidget *parent);
// The decision or statement editor of kind in emView, on the record the
// caller put in edit state.
void ShowDecisionViewer(const TDecisionKind &kind, QWidget *parent);

// The contacts list, in the order of Contact ID from the first contact; the
// contacts' order and cursor are set back afterwards, also after an error.
void ShowContactsList(QWidget *parent);
// The properties window on the header record, which it puts in edit state.
void ShowPropertiesEditor(QWidget *parent);
