#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

// A real CalDAV server for a test: Radicale on 127.0.0.1 at a free port,
// with its own storage folder and password file, stopped when the object
// goes. Radicale reads passwords with htpasswd_encryption "md5" unless told
// otherwise; the file here holds them plain and says so.
class RadicaleServer {
public:
    RadicaleServer();
    ~RadicaleServer();
    RadicaleServer(const RadicaleServer &) = delete;
    RadicaleServer &operator=(const RadicaleServer &) = delete;

    // Starts the server with one user; false with the reason in Error().
    bool Start(const QString &user, const QString &password);
    QUrl Url() const;
    qint64 ProcessId() const { return process_.processId(); }
    const QString &Error() const { return error_; }
    // Where the server keeps the items of a user's collection, one file
    // each: a benchmark fills a large list there instead of uploading it.
    QString CollectionFolder(const QString &user, const QString &collection) const;

    // Runs the other device (python3-caldav) against the server as user:
    // true when it succeeded; its output in output. input goes to its
    // standard input.
    bool Peer(const QStringList &arguments, QByteArray *output = nullptr, const QByteArray &input = {});

private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
    QString user_, password_, error_;
};
