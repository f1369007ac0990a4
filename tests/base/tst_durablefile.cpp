#include "AppError.h"
#include "DurableFile.h"
#include "FullDisk.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <optional>

class TestDurableFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writeAndCopyReplaceTheWholeFile_data();
    void writeAndCopyReplaceTheWholeFile();
    void failureKeepsTheOldFileAndNamesTheCause_data();
    void failureKeepsTheOldFileAndNamesTheCause();
    void symbolicLinkIsRefused_data();
    void symbolicLinkIsRefused();
};

namespace {
QByteArray Pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char('a' + i % 26);
    return bytes;
}

// The cause a write threw, with the file it named; no cause when it
// succeeded.
struct Outcome {
    bool written = true;
    QString error;
    QString fileName;
};
template <typename Write> Outcome Run(Write write)
{
    try {
        write();
        return {};
    } catch (const AppError &failure) {
        return {false, failure.Cause(), failure.FileName()};
    }
}
} // namespace

void TestDurableFile::writeAndCopyReplaceTheWholeFile_data()
{
    QTest::addColumn<bool>("copy");
    QTest::addColumn<bool>("existed");
    QTest::addColumn<int>("size");
    QTest::newRow("write new file") << false << false << 10;
    QTest::newRow("write over a file") << false << true << 300'000;
    QTest::newRow("write empty") << false << true << 0;
    QTest::newRow("copy over a file") << true << true << 300'000;
    QTest::newRow("copy new file") << true << false << 5;
}

void TestDurableFile::writeAndCopyReplaceTheWholeFile()
{
    QFETCH(bool, copy);
    QFETCH(bool, existed);
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString target = dir.filePath("out/target");
    QVERIFY(QDir().mkpath(dir.filePath("out")));
    if (existed)
        QVERIFY(WriteFileBytes(target, "old content"));
    const QByteArray bytes = Pattern(size);
    Outcome outcome;
    if (copy) {
        QVERIFY(WriteFileBytes(dir.filePath("source"), bytes));
        outcome = Run([&] { CopyFileDurably(dir.filePath("source"), target); });
    } else {
        outcome = Run([&] { WriteFileDurably(target, bytes); });
    }
    QVERIFY2(outcome.written, qPrintable(outcome.error));
    QVERIFY(ReadFileBytes(target) == bytes);
    QCOMPARE(FolderEntries(dir.filePath("out")), QStringList{"target"});
}

void TestDurableFile::failureKeepsTheOldFileAndNamesTheCause_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("copy");
    // The small content stays in Qt's write buffer until the commit: the
    // failure only shows when it reaches the file.
    QTest::newRow("full disk, content still buffered") << "full" << 1000 << false;
    QTest::newRow("full disk, during the writes") << "full" << 300'000 << false;
    QTest::newRow("full disk, copy") << "full" << 300'000 << true;
    QTest::newRow("read-only target") << "readonly" << 1000 << false;
    QTest::newRow("read-only target, copy") << "readonly" << 1000 << true;
    QTest::newRow("target is a folder") << "folder" << 1000 << false;
    QTest::newRow("missing source") << "nosource" << 1000 << true;
}

void TestDurableFile::failureKeepsTheOldFileAndNamesTheCause()
{
    QFETCH(QString, fault);
    QFETCH(int, size);
    QFETCH(bool, copy);
    QTemporaryDir dir;
    const QString folder = dir.filePath("out");
    const QString target = folder + "/target";
    const QByteArray old = Pattern(50);
    const QByteArray bytes = Pattern(size);
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(WriteFileBytes(dir.filePath("source"), bytes));
    if (fault == "folder")
        QVERIFY(QDir().mkpath(target));
    else
        QVERIFY(WriteFileBytes(target, old));
    if (fault == "readonly")
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QString source = dir.filePath(fault == "nosource" ? "missing" : "source");

    Outcome outcome;
    {
        std::optional<FullDisk> full;
        if (fault == "full")
            full.emplace(100);
        outcome = copy ? Run([&] { CopyFileDurably(source, target); })
                       : Run([&] { WriteFileDurably(target, bytes); });
    }
    const QString &error = outcome.error;
    QVERIFY(!outcome.written);
    QCOMPARE(outcome.fileName, fault == "nosource" ? source : target);
    QVERIFY(!error.isEmpty());
    QVERIFY2(!error.contains("Unknown error"), qPrintable(error));
    if (fault == "full")
        QVERIFY2(error.contains(QString::fromLocal8Bit(std::strerror(EFBIG))), qPrintable(error));
    if (fault == "readonly")
        QCOMPARE(error, QString("the file is read-only"));
    if (fault != "folder")
        QVERIFY(ReadFileBytes(target) == old);
    QCOMPARE(FolderEntries(folder), QStringList{"target"});
}

void TestDurableFile::symbolicLinkIsRefused_data()
{
    QTest::addColumn<bool>("dangling");
    QTest::addColumn<bool>("copy");
    QTest::newRow("link to a file") << false << false;
    QTest::newRow("link to a file, copy") << false << true;
    QTest::newRow("dangling link") << true << false;
    QTest::newRow("dangling link, copy") << true << true;
}

// A name planted as a link in a shared folder: neither the file it points to
// nor a new file where it points is written, and the link stays.
void TestDurableFile::symbolicLinkIsRefused()
{
    QFETCH(bool, dangling);
    QFETCH(bool, copy);
    QTemporaryDir dir;
    const QString victim = dir.filePath("victim");
    const QString link = dir.filePath("shared/out");
    QVERIFY(QDir().mkpath(dir.filePath("shared")));
    if (!dangling)
        QVERIFY(WriteFileBytes(victim, "precious"));
    QVERIFY(QFile::link(victim, link));
    QVERIFY(WriteFileBytes(dir.filePath("source"), "new content"));

    const Outcome outcome = copy ? Run([&] { CopyFileDurably(dir.filePath("source"), link); })
                                 : Run([&] { WriteFileDurably(link, "new content"); });
    QVERIFY(!outcome.written);
    QCOMPARE(outcome.error, QString("it is a symbolic link; name the file it points to"));
    QCOMPARE(QFileInfo(link).symLinkTarget(), victim);
    if (dangling)
        QVERIFY(!QFileInfo::exists(victim));
    else
        QVERIFY(ReadFileBytes(victim) == "precious");
    // No new content was left beside the link (a dangling link lists as a system entry).
    QCOMPARE(QDir(dir.filePath("shared"))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{"out"});
}

QTEST_GUILESS_MAIN(TestDurableFile)
#include "tst_durablefile.moc"
