#include "AppError.h"
#include "PasswordStore.h"

#include <QDirIterator>
#include <QFile>
#include <QTest>
#include <functional>

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
    StorePassword(kServer, QStringLiteral("alice"), kPassword);
    QCOMPARE(ReadPassword(kServer, QStringLiteral("alice")), std::optional<QString>(kPassword));
    // The same address typed another way.
    QCOMPARE(
        ReadPassword(QStringLiteral(" https://DAV.example.org/remote.php/dav "), QStringLiteral("alice")),
        std::optional<QString>(kPassword));
    // Another user, another server: nothing, and no error.
    QCOMPARE(ReadPassword(kServer, QStringLiteral("bob")), std::nullopt);
    QCOMPARE(ReadPassword(QStringLiteral("https://other.example.org/"), QStringLiteral("alice")),
             std::nullopt);

    StorePassword(kServer, QStringLiteral("alice"), QStringLiteral("new"));
    QCOMPARE(ReadPassword(kServer, QStringLiteral("alice")), std::optional<QString>(QStringLiteral("new")));
    RemovePassword(kServer, QStringLiteral("alice"));
    QCOMPARE(ReadPassword(kServer, QStringLiteral("alice")), std::nullopt);
    RemovePassword(kServer, QStringLiteral("alice"));
}

void TestPasswordStore::passwordIsInNoPlainFile()
{
    StorePassword(kServer, QStringLiteral("carol"), kPassword);
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
    const auto reason = [](const std::function<void()> &call) {
        try {
            call();
        } catch (const AppError &failure) {
            return failure.message();
        }
        return QString();
    };
    const QString stored = reason([] { StorePassword(kServer, QStringLiteral("dave"), kPassword); });
    QVERIFY2(stored.startsWith(QStringLiteral("The password cannot be kept in the keyring: ")),
             qPrintable(stored));
    const QString read = reason([] { ReadPassword(kServer, QStringLiteral("dave")); });
    QVERIFY2(read.startsWith(QStringLiteral("The password cannot be read from the keyring: ")),
             qPrintable(read));
}

QTEST_GUILESS_MAIN(TestPasswordStore)
#include "tst_passwordstore.moc"
