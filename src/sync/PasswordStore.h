#pragma once

#include <QString>
#include <optional>

// The passwords of CalDAV accounts in the desktop's keyring (the Secret
// Service), by server address and user name. A password is never written
// to a file of the program or to a log; where no keyring answers, the
// functions fail with the reason instead of falling back to a file.
// Each call waits for the keyring in a local event loop.

// Each throws AppError when the keyring fails: the message says what could
// not be done and why, the cause is the keyring's own reason.

// Keeps password for user on the server.
void StorePassword(const QString &serverUrl, const QString &user, const QString &password);

// The password kept for user on the server; nothing when none is kept.
std::optional<QString> ReadPassword(const QString &serverUrl, const QString &user);

// Forgets the password; forgetting one that is not kept succeeds.
void RemovePassword(const QString &serverUrl, const QString &user);
