#pragma once

#include <QString>
#include <optional>

// The passwords of CalDAV accounts in the desktop's keyring (the Secret
// Service), by server address and user name. A password is never written
// to a file of the program or to a log; where no keyring answers, the
// functions fail with the reason instead of falling back to a file.
// Each call waits for the keyring in a local event loop.

// Keeps password for user on the server; false with the reason in error.
bool StorePassword(const QString &serverUrl, const QString &user, const QString &password, QString *error);

// The password kept for user on the server; no value with an empty error
// when none is kept, no value with the reason when the keyring failed.
std::optional<QString> ReadPassword(const QString &serverUrl, const QString &user, QString *error);

// Forgets the password; forgetting one that is not kept succeeds.
bool RemovePassword(const QString &serverUrl, const QString &user, QString *error);
