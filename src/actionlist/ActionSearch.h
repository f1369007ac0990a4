#pragma once

#include "ActionListEditors.h"
#include "TDataModuleMain.h"

class QWidget;

// The action list's "Search" command: asks for a text until one that is not
// blank is given, searches the listed actions and their log entries,
// decisions and statements for it, and shows the results modally over
// parent, or says that nothing was found. The results are closed in every
// case. searchText is proposed (selected, so typing replaces it) and keeps
// the text last searched for; the result window's "Search Again" asks anew.
void ActionSearch(const TActionListFile &file, QWidget *parent, QString &searchText);
void ActionSearch(const TActionListFile &file, QWidget *parent);

// Opens the record of the current search result read-only in its editor,
// over parent, with the focus on the field where the text was found; says
// so when the record is gone. The list's order, current action and log are
// as before afterwards.
void OpenSearchResult(const TActionListFile &file, QWidget *parent);

// Where a decision or statement result opens its editor read-only, on the
// current record of cdsDecision (kind rkDecision) or cdsStatement
// (rkStatement), with the focus on the field of the current search result.
void ShowDecisionStatementEditor(const TActionListFile &file, TRecordKind kind, QWidget *parent);
