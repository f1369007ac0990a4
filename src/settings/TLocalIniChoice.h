#pragma once

#include <QString>

// The About window's choice between the local INI file beside the program and
// the global one. It remembers the state found at construction (whether the
// ".localini" marker exists) and switches it by creating or deleting the
// marker after asking the user. Settings in memory are not touched: the next
// Load or Save simply uses the newly chosen file.
class TLocalIniChoice {
public:
    TLocalIniChoice();

    bool LocalInUse() const { return localInUse_; }
    // The About window's caption for the state counted now:
    // "About Dravelin® Ostravine [LOCAL Ini File]" or "... [GLOBAL Ini File]".
    QString Caption() const;
    // The "Local &INI" button: asks, and on Yes switches and confirms. A marker
    // that cannot be created or deleted is reported and the old state kept.
    void Toggle();

private:
    void UseGlobal();
    void UseLocal();

    bool localInUse_ = false;
};
