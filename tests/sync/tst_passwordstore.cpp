#include "PasswordStore.h"

#include <QDirIterator>
#include <QFile>
#include <QTest>

namespace {

const QString kServer = QStringLiteral("https://dav.example.org/remote.php/dav/");
const QString kPassword = QStringLiteral("pässwörd;with \"quotes\" and 🔑 %s");

} // namespace

class TestPasswordStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void passwordIsKeptPerServerAndUser();
    void passwordIsInNoPlainFile();
    void noKeyringGivesTheReason();
};

void TestPasswordStore::passwordIsKeptPerServerAndUser()
{
    QString error;
    QVERIFY2(StorePassword(kServer, QStringLiteral("alice"), kPassword, &error), qPrintable(error));
    QCOMPARE(ReadPassword(kServer, QStringLiteral("alice"), &error), std::optional<QString>(kPassword));
    // The same address typed another way.
    QCOMPARE(ReadPassword(QStringLiteral(" https://DAV.example.org/remote.php/dav "), QStringLiteral("alice"),
                          &error),
             std::optional<QString>(kPassword));
    // Another user, another server: nothing, and no error.
    QCOMPARE(ReadPassword(kServer, QStringLiteral("bob"), &error), std::nullopt);
    QVERIFY(error.isEmpty());
    QCOMPARE(ReadPassword(QStringLiteral("https://other.example.org/"), QStringLiteral("alice"), &error),
             std::nullopt);

    QVERIFY(StorePassword(kServer, QStringLiteral("alice"), QStringLiteral("new"), &error));
    QCOMPARE(ReadPassword(kServer, QStringLiteral("alice"), &error),
             std::optional<QString>(QStringLiteral("new")));
    QVERIFY2(RemovePassword(kServer, QStringLiteral("alice"), &error), qPrintable(error));
    QCOMPARE(ReadPassword(kServer, QStringLiteral("alice"), &error), std::nullopt);
    QVERIFY(error.isEmpty());
    QVERIFY(RemovePassword(kServer, QStringLiteral("alice"), &error));
}

void TestPasswordStore::passwordIsInNoPlainFile()
{
    QString error;
    QVERIFY2(StorePassword(kServer, QStringLiteral("carol"), kPassword, &error), qPrintable(error));
    // The keyring's files live in the private home of this run.
    const QByteArray utf16(reinterpret_cast<const char *>(kPassword.utf16()), kPassword.size() * 2);
    for (const QByteArray &secret : {kPassword.toUtf8(), utf16}) {
        QDirIterator files(QDir::homePath(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        int checked = 0;
        while (files.hasNext()) {
            QFile file(files.next());
            if (file.open(QIODevice::ReadOnly)) {
                ++checked;
                QVERIFY2(!file.readAll().contains(secret), qPrintable(file.fileName()));
            }
        }
        QVERIFY(checked > 0);
    }
}

void TestPasswordStore::noKeyringGivesTheReason()
{
    QString error;
    QVERIFY(!StorePassword(kServer, QStringLiteral("dave"), kPassword, &error));
    QVERIFY2(error.startsWith(QStringLiteral("The password cannot be kept in the keyring: ")),
             qPrintable(error));
    QCOMPARE(ReadPassword(kServer, QStringLiteral("dave"), &error), std::nullopt);
    QVERIFY2(error.startsWith(QStringLiteral("The password cannot be read from the keyring: ")),
             qPrintable(error));
}

QTEST_GUILESS_MAIN(TestPasswordStore)
#include "tst_passwordstore.moc"
