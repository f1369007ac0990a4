#include "TCDSParser.h"
#include "TGlobalTempFiles.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using Sizes = QList<qint64>;

namespace {
// The part of a Dravelin File whose failure run threw; none when it did not
// fail.
template <typename Run> std::optional<TContainerError::Part> FailedPart(Run run)
{
    try {
        run();
        return std::nullopt;
    } catch (const TContainerError &failure) {
        return failure.Failed();
    }
}

// Distinct, position-dependent bytes, so a member swapped, shifted or cut
// shows in a comparison.
QByteArray MemberBytes(int member, qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + member * 7 + i / 251) & 0xff);
    return bytes;
}

// The container built by hand from the documented layout.
QByteArray ContainerBytes(const Sizes &sizes)
{
    QByteArray bytes("qzvrtk5208");
    for (qint64 size : sizes)
        bytes += QByteArray::number(size).rightJustified(10, '0');
    for (int i = 0; i < sizes.size(); ++i)
        bytes += MemberBytes(i, sizes[i]);
    return bytes;
}

QString WriteActionFile(const QString &folder, const Sizes &sizes)
{
    const TACTFiles files(folder + "/Plan.act");
    for (int i = 0; i < TACTFiles::Count; ++i)
        WriteFileBytes(files.Name(i), MemberBytes(i, sizes[i]));
    return files.HeaderFileName();
}

// Accepts a fixed number of bytes, then fails every write like a full disk.
class FullDevice : public QIODevice {
public:
    explicit FullDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 len) override
    {
        if (room_ <= 0)
            return -1;
        const qint64 taken = std::min(len, room_);
        room_ -= taken;
        return taken;
    }

private:
    qint64 room_;
};

// The permission bits of path itself (a link is not followed).
unsigned Mode(const QString &path)
{
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? unsigned(info.st_mode & 07777) : 0u;
}

} // namespace

class TestParser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseTestStandardPaths(); }
    void packAndUnpackFollowTheByteLayout_data();
    void packAndUnpackFollowTheByteLayout();
    void unpackRefusesMalformedContainer_data();
    void unpackRefusesMalformedContainer();
    void unpackReportsFileFailures();
    void unpackNeverWritesThroughAPlantedLink();
    void unpackedMembersAreDeletedWithTheRegistry();
    void foldersOfEndedRunsAreRemovedAtStart();
    void failedPackLeavesOldContainerIntact_data();
    void failedPackLeavesOldContainerIntact();
    void fullDiskDuringPackIsReported_data();
    void fullDiskDuringPackIsReported();
    void fullDiskDuringUnpackIsReported();
};

void TestParser::packAndUnpackFollowTheByteLayout_data()
{
    QTest::addColumn<Sizes>("sizes");
    QTest::addColumn<QByteArray>("header");
    QTest::newRow("six members of 100 to 600 bytes") << Sizes{100, 200, 300, 400, 500, 600}
                                                     << QByteArray("qzvrtk5208"
                                                                   "0000000100"
                                                                   "0000000200"
                                                                   "0000000300"
                                                                   "0000000400"
                                                                   "0000000500"
                                                                   "0000000600");
    QTest::newRow("empty members take no bytes") << Sizes{0, 7, 0, 0, 1, 0}
                                                 << QByteArray("qzvrtk5208"
                                                               "0000000000"
                                                               "0000000007"
                                                               "0000000000"
                                                               "0000000000"
                                                               "0000000001"
                                                               "0000000000");
    QTest::newRow("member larger than 2,048,000 bytes") << Sizes{10, 3'000'000, 0, 5, 2'048'001, 1}
                                                        << QByteArray("qzvrtk5208"
                                                                      "0000000010"
                                                                      "0003000000"
                                                                      "0000000000"
                                                                      "0000000005"
                                                                      "0002048001"
                                                                      "0000000001");
}

void TestParser::packAndUnpackFollowTheByteLayout()
{
    QFETCH(Sizes, sizes);
    QFETCH(QByteArray, header);
    QTemporaryDir dir;
    const QByteArray expected = ContainerBytes(sizes);
    QCOMPARE(expected.left(TCDSParser::HeaderSize), header);

    const QString container = dir.filePath("Plan.dravelin");
    TCDSParser packer(WriteActionFile(dir.path(), sizes), container);
    QVERIFY_THROWS_NO_EXCEPTION(packer.Pack());
    const QByteArray packed = ReadFileBytes(container);
    QCOMPARE(packed.size(), expected.size());
    QVERIFY(packed == expected);

    QDir().mkpath(dir.filePath("temp"));
    TGlobalTempFiles temp(dir.filePath("temp"));
    TCDSParser unpacker(container, temp);
    QVERIFY(unpacker.Unpack());
    QVERIFY(unpacker.ActFileName().startsWith(temp.Folder() + "/dravelin$"));
    QVERIFY(unpacker.ActFileName().endsWith(".act"));
    const TACTFiles members(unpacker.ActFileName());
    for (int i = 0; i < TACTFiles::Count; ++i)
        QVERIFY2(ReadFileBytes(members.Name(i)) == MemberBytes(i, sizes[i]), qPrintable(members.Name(i)));

    const QString repacked = dir.filePath("Again.dravelin");
    QVERIFY_THROWS_NO_EXCEPTION(TCDSParser(unpacker.ActFileName(), repacked).Pack());
    QVERIFY(ReadFileBytes(repacked) == expected);
}

void TestParser::unpackRefusesMalformedContainer_data()
{
    const QByteArray valid = ContainerBytes({100, 200, 300, 400, 500, 600});
    const auto withField = [&](int field, const QByteArray &text) {
        return QByteArray(valid).replace(10 * field, 10, text);
    };
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("magic in upper case") << withField(0, "QZVRTK5208");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("shorter than the magic") << QByteArray("qzvrtk");
    QTest::newRow("magic but header cut short") << valid.left(69);
    QTest::newRow("not a container, under 70 bytes") << QByteArray("hello world");
    QTest::newRow("space in a size") << withField(1, " 000000100");
    QTest::newRow("sign in a size") << withField(2, "+000000200");
    QTest::newRow("letter in a size") << withField(6, "00000006o0");
    // "000000010/" would read as 99 if any byte were taken for a digit.
    QTest::newRow("slash among the digits")
        << ContainerBytes({99, 200, 300, 400, 500, 600}).replace(10, 10, "000000010/");
    QTest::newRow("sizes past the end") << valid.left(valid.size() - 1);
    QTest::newRow("bytes after the last member") << valid + 'x';
    QTest::newRow("size beyond the buffer and the file") << withField(3, "9999999999");
}

void TestParser::unpackRefusesMalformedContainer()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString container = dir.filePath("Bad.dravelin");
    QVERIFY(WriteFileBytes(container, bytes));

    QDir().mkpath(dir.filePath("temp"));
    TGlobalTempFiles temp(dir.filePath("temp"));
    TCDSParser parser(container, temp);
    QVERIFY(!parser.Unpack());
    // The header is checked before anything is copied out.
    const TACTFiles members(parser.ActFileName());
    for (const QString &member : members.Names())
        QCOMPARE(QFileInfo(member).size(), 0);
    QVERIFY(ReadFileBytes(container) == bytes);
}

void TestParser::unpackReportsFileFailures()
{
    QTemporaryDir dir;
    TGlobalTempFiles temp(dir.path());
    QCOMPARE(FailedPart([&] { TCDSParser(dir.filePath("Missing.dravelin"), temp).Unpack(); }),
             TContainerError::Container);

    const QString container = dir.filePath("Plan.dravelin");
    QVERIFY(WriteFileBytes(container, ContainerBytes({1, 2, 3, 4, 5, 6})));
    TGlobalTempFiles nowhere(dir.filePath("no such folder"));
    QCOMPARE(FailedPart([&] { TCDSParser(container, nowhere).Unpack(); }), TContainerError::Member);
}

// The unpacked files live in a folder of this run that only the user may
// enter, each created new with mode 0600. A link found under a name there
// (a dangling one under the next header name, one to a victim under a
// companion's) is skipped or replaced, never followed.
void TestParser::unpackNeverWritesThroughAPlantedLink()
{
    QTemporaryDir dir;
    const QString container = dir.filePath("Plan.dravelin");
    QVERIFY(WriteFileBytes(container, ContainerBytes({1, 2, 3, 4, 5, 6})));
    const QString victim = dir.filePath("victim.txt");
    QVERIFY(WriteFileBytes(victim, "keep me"));
    const QString outside = dir.filePath("outside.act");

    TGlobalTempFiles registry(dir.path());
    const QString folder = registry.Folder();
    QCOMPARE(QFileInfo(folder).path(), dir.path());
    QVERIFY(QFileInfo(folder).fileName().startsWith(QString("dravelin-%1-").arg(getpid())));
    QCOMPARE(Mode(folder), 0700u);
    QVERIFY(QFile::link(outside, folder + "/dravelin$1.act"));
    QVERIFY(QFile::link(victim, folder + "/dravelin$2.act._log"));

    TCDSParser parser(container, registry);
    QCOMPARE(parser.ActFileName(), folder + "/dravelin$2.act");
    QVERIFY(parser.Unpack());
    QVERIFY(!QFileInfo::exists(outside));
    QCOMPARE(ReadFileBytes(victim), QByteArray("keep me"));
    const TACTFiles members(parser.ActFileName());
    for (int i = 0; i < TACTFiles::Count; ++i) {
        const QFileInfo member(members.Name(i));
        QVERIFY2(member.isFile() && !member.isSymLink(), qPrintable(member.filePath()));
        QCOMPARE(ReadFileBytes(member.filePath()), MemberBytes(i, i + 1));
        QCOMPARE(Mode(member.filePath()), 0600u);
    }
}

void TestParser::unpackedMembersAreDeletedWithTheRegistry()
{
    QTemporaryDir dir;
    const QString container = dir.filePath("Plan.dravelin");
    QVERIFY(WriteFileBytes(container, ContainerBytes({1, 2, 3, 4, 5, 6})));
    QStringList members;
    {
        TGlobalTempFiles temp(dir.path());
        TCDSParser parser(container, temp);
        QVERIFY(parser.Unpack());
        const TACTFiles files(parser.ActFileName());
        members = QStringList(files.Names().begin(), files.Names().end());
        for (const QString &member : members)
            QVERIFY2(temp.Files.contains(member), qPrintable(member));
    }
    for (const QString &member : members)
        QVERIFY2(!QFile::exists(member), qPrintable(member));
    QCOMPARE(FolderEntries(dir.path()), QStringList{"Plan.dravelin"});

    // Files kept past the end (a failed write-back) keep their folder.
    QString kept;
    {
        TGlobalTempFiles temp(dir.path());
        kept = temp.NewFileName("act");
        temp.Keep({kept});
    }
    QVERIFY(QFileInfo::exists(kept));
    TGlobalTempFiles::RemoveFoldersOfEndedRuns(dir.path());
    QVERIFY(QFileInfo::exists(kept));
}

// A run that ended without deleting its files (a crash) leaves its folder;
// the next start removes it, but never the folder of a run still going.
void TestParser::foldersOfEndedRunsAreRemovedAtStart()
{
    QTemporaryDir dir;
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    QVERIFY(child > 0);
    QCOMPARE(waitpid(child, nullptr, 0), child);
    const QString ended = QString("dravelin-%1-Ab12Cd").arg(child);
    const QString running = QString("dravelin-%1-Ef34Gh").arg(getppid());
    const QStringList others{QString("dravelin-%1-short").arg(child), "unrelated"};
    for (const QString &folder : QStringList{ended, running} + others)
        QVERIFY(WriteFileBytes(dir.filePath(folder + "/dravelin$1.act"), "x"));

    TGlobalTempFiles::RemoveFoldersOfEndedRuns(dir.path());
    QStringList expected = QStringList{running} + others;
    expected.sort();
    QCOMPARE(FolderEntries(dir.path()), expected);
}

void TestParser::failedPackLeavesOldContainerIntact_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("result");
    QTest::newRow("member file missing") << "missing" << int(TContainerError::Member);
    QTest::newRow("member is a folder") << "folder" << int(TContainerError::Member);
    QTest::newRow("no header file name") << "unnamed" << int(TContainerError::Member);
    QTest::newRow("target folder read-only") << "readonly" << int(TContainerError::Container);
}

void TestParser::failedPackLeavesOldContainerIntact()
{
    QFETCH(QString, fault);
    QFETCH(int, result);
    QTemporaryDir dir;
    QString act = WriteActionFile(dir.path(), {10, 20, 30, 40, 50, 60});
    const QString folder = dir.filePath("out");
    const QString container = folder + "/Plan.dravelin";
    const QByteArray old = ContainerBytes({1, 2, 3, 4, 5, 6});
    QVERIFY(WriteFileBytes(container, old));

    if (fault == "missing") {
        QVERIFY(QFile::remove(act + "._log"));
    } else if (fault == "folder") {
        QVERIFY(QFile::remove(act + "._statement"));
        QVERIFY(QDir().mkdir(act + "._statement"));
    } else if (fault == "unnamed") {
        act.clear();
    } else if (fault == "readonly") {
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    }

    QCOMPARE(FailedPart([&] { TCDSParser(act, container).Pack(); }), TContainerError::Part(result));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(ReadFileBytes(container) == old);
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"Plan.dravelin"});
}

void TestParser::fullDiskDuringPackIsReported_data()
{
    QTest::addColumn<qint64>("room");
    QTest::newRow("full within the header") << qint64(5);
    QTest::newRow("full within a member") << qint64(TCDSParser::HeaderSize + 150);
    QTest::newRow("full before the last byte") << qint64(TCDSParser::HeaderSize + 2100 - 1);
}

void TestParser::fullDiskDuringPackIsReported()
{
    QFETCH(qint64, room);
    const Sizes sizes{100, 200, 300, 400, 500, 600};
    std::array<QBuffer, TACTFiles::Count> sources;
    TCDSParser::Devices members{};
    for (size_t i = 0; i < sources.size(); ++i) {
        sources[i].setData(MemberBytes(int(i), sizes[int(i)]));
        sources[i].open(QIODevice::ReadOnly);
        members[i] = &sources[i];
    }
    FullDevice full(room);
    QCOMPARE(FailedPart([&] { TCDSParser::PackDevices(members, full); }), TContainerError::Container);
}

void TestParser::fullDiskDuringUnpackIsReported()
{
    QBuffer container;
    container.setData(ContainerBytes({100, 200, 300, 400, 500, 600}));
    container.open(QIODevice::ReadOnly);
    std::array<QBuffer, TACTFiles::Count - 1> written;
    TCDSParser::Devices members{};
    for (size_t i = 0; i < written.size(); ++i) {
        written[i].open(QIODevice::WriteOnly);
        members[i] = &written[i];
    }
    FullDevice last(599);
    members.back() = &last;
    QCOMPARE(FailedPart([&] { TCDSParser::UnpackDevices(container, members); }), TContainerError::Member);
}

QTEST_GUILESS_MAIN(TestParser)
#include "tst_parser.moc"
