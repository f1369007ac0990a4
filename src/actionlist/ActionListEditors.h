#pragma once

#include "EditorMode.h"

#include <functional>

class QWidget;

// Commands of the action list that show windows of other parts of the
// program. The program installs each one as that window exists; a command
// whose hook is empty stays disabled in the action list.
struct TActionListHooks {
    std::function<void(QWidget *parent)> Actors;     // contacts list
    std::function<void(QWidget *parent)> Properties; // Action File properties
    std::function<void(QWidget *parent)> Search;
    std::function<void(QWidget *parent)> PrintList; // action list report
    std::function<void(QWidget *parent)> Digest;    // digest in its list mode
    std::function<void(QWidget *parent)> SaveDravelin;
    std::function<void(QWidget *parent)> SaveAsActionFile;
    std::function<void(QWidget *parent)> About;
};
TActionListHooks &ActionListHooks();

// Shows the action editor / log editor modally on the record the caller put
// in insert or edit state, and destroys it when it closes.
void ShowActionEditor(TEditorMode mode, QWidget *parent);
void ShowLogEditor(TEditorMode mode, QWidget *parent);
