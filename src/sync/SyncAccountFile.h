#pragma once

#include <QString>

// The task list an Action File synchronises with and the user name for it,
// kept per file for the next synchronisation. The password is not here: it
// is in the keyring, or given each time.
struct TSyncAccountSettings {
    QString url; // the task list
    QString user;
    // The user agreed to plain http to another machine for this list.
    bool plainHttpConfirmed = false;

    bool IsEmpty() const { return url.isEmpty(); }
};

// No file gives empty settings. A file that cannot be read or is not such
// settings throws AppError naming the file and the cause.
TSyncAccountSettings LoadSyncAccount(const QString &fileName);
// Writes the whole file or nothing; throws AppError naming it and the cause.
void SaveSyncAccount(const QString &fileName, const TSyncAccountSettings &settings);
