#include "RadicaleServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

bool WriteText(const QString &fileName, const QByteArray &text)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

int FreePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

} // namespace

RadicaleServer::RadicaleServer() = default;

RadicaleServer::~RadicaleServer()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
}

bool RadicaleServer::Start(const QString &user, const QString &password)
{
    user_ = user;
    password_ = password;
    const QString users = dir_.filePath(QStringLiteral("users"));
    const QString config = dir_.filePath(QStringLiteral("config"));
    // A port another program takes between the probe and the start makes
    // the server fail; a few tries get past it.
    for (int attempt = 0; attempt < 5; ++attempt) {
        port_ = FreePort();
        const QByteArray text = "[server]\nhosts = 127.0.0.1:" + QByteArray::number(port_) +
                                "\n[auth]\ntype = htpasswd\nhtpasswd_filename = " + users.toUtf8() +
                                "\nhtpasswd_encryption = plain\ndelay = 0\n[rights]\ntype = owner_only\n"
                                "[storage]\nfilesystem_folder = " +
                                dir_.filePath(QStringLiteral("collections")).toUtf8() +
                                "\n[web]\ntype = none\n[logging]\nlevel = warning\n";
        if (!WriteText(users, (user + QLatin1Char(':') + password + QLatin1Char('\n')).toUtf8()) ||
            !WriteText(config, text)) {
            error_ = QStringLiteral("cannot write the server's configuration");
            return false;
        }
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral(RADICALE), {QStringLiteral("--config"), config});
        if (!process_.waitForStarted(10000)) {
            error_ = QStringLiteral("radicale does not start: ") + process_.errorString();
            return false;
        }
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, quint16(port_));
            if (probe.waitForConnected(200))
                return true;
            QThread::msleep(100);
        }
        error_ = QStringLiteral("radicale did not listen: ") + QString::fromUtf8(process_.readAll());
        process_.kill();
        process_.waitForFinished(5000);
    }
    return false;
}

QUrl RadicaleServer::Url() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port_));
}

QString RadicaleServer::CollectionFolder(const QString &user, const QString &collection) const
{
    return dir_.filePath(QStringLiteral("collections/collection-root/%1/%2").arg(user, collection));
}

bool RadicaleServer::Peer(const QStringList &arguments, QByteArray *output, const QByteArray &input)
{
    QProcess peer;
    peer.setProcessChannelMode(QProcess::MergedChannels);
    peer.start(QStringLiteral(DEBIAN_PYTHON), QStringList{QStringLiteral(SYNC_TEST_DIR "/caldav_peer.py"),
                                                          Url().toString(), user_, password_} +
                                                  arguments);
    peer.write(input);
    peer.closeWriteChannel();
    const bool done = peer.waitForFinished(60000);
    const QByteArray printed = peer.readAll();
    if (output)
        *output = printed;
    if (!done || peer.exitStatus() != QProcess::NormalExit || peer.exitCode() != 0) {
        qWarning("caldav_peer %s: %s", qPrintable(arguments.join(QLatin1Char(' '))), printed.constData());
        return false;
    }
    return true;
}
