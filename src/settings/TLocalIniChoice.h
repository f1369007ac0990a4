#pragma once

#include <QString>

// The choice between the local INI file beside the program and the global
// one. It remembers the state found at construction (whether the ".localini"
// marker exists) and switches it by creating or deleting the marker. Settings
// in memory are not touched: the next Load or Save simply uses the newly
// chosen file.
class TLocalIniChoice {
public:
    TLocalIniChoice();

    bool LocalInUse() const { return localInUse_; }
    // The About window's caption for the state counted now:
    // "About Dravelin® Ostravine [LOCAL Ini File]" or "... [GLOBAL Ini File]".
    QString Caption() const;
    // Switches to the other INI file. Throws AppError, naming the marker,
    // when it cannot be created or deleted; the old state is kept then.
    void Switch();

private:
    bool localInUse_ = false;
};
