#include "ActionFileCommands.h"
#include "ActionFileLock.h"
#include "ActionFileOpen.h"
#include "ContainerCommands.h"
#include "FakeUiServices.h"
#include "ScriptedActionList.h"
#include "TACTFiles.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Another program holding the lock of a file: this test binary started again
// with --hold-lock, holding the lock until its input closes.
class OtherProgram {
public:
    explicit OtherProgram(const QString &fileName)
    {
        process_.start(QCoreApplication::applicationFilePath(),
                       {QStringLiteral("--hold-lock"), TFileLock::LockFileName(fileName)});
        locked_ = process_.waitForReadyRead(30000) && process_.readLine() == "locked\n";
    }
    ~OtherProgram()
    {
        process_.closeWriteChannel();
        process_.waitForFinished();
    }
    bool Locked() const { return locked_; }
    qint64 Pid() const { return process_.processId(); }
    // Ends it the way a crash does, leaving its lock file behind.
    void Kill()
    {
        ::kill(pid_t(process_.processId()), SIGKILL);
        process_.waitForFinished();
    }

private:
    QProcess process_;
    bool locked_ = false;
};

int HoldLock(const char *lockFileName)
{
    QLockFile lock(QString::fromLocal8Bit(lockFileName));
    if (!lock.tryLock(0))
        return 2;
    std::fputs("locked\n", stdout);
    std::fflush(stdout);
    char line[16];
    while (std::fgets(line, sizeof line, stdin)) {
    }
    return 0;
}

// Every entry of a folder with its bytes and modification time.
using Snapshot = QMap<QString, QPair<QByteArray, qint64>>;
Snapshot Take(const QString &folder)
{
    Snapshot snapshot;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        struct stat status {};
        ::stat(QFile::encodeName(entry.filePath()).constData(), &status);
        const qint64 mtime = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
        snapshot.insert(entry.fileName(), {ReadFileBytes(entry.filePath()), mtime});
    }
    return snapshot;
}

QString InUsePrefix(const QString &what, const QString &fileName, qint64 pid)
{
    return QStringLiteral("The %1 \"%2\" is in use by the program \"tst_lock\" (process %3 on ")
        .arg(what, fileName, QString::number(pid));
}

// Adds an action, as a user editing the file would.
void ChangeSomething(TDataModuleMain &data)
{
    data.cdsActions->Append();
    data.cdsActions->FieldByName(QStringLiteral("ID")).SetAsInteger(data.NextId(rkAction));
    data.cdsActions->FieldByName(QStringLiteral("ID_ACTION")).SetAsString(QStringLiteral("Mine"));
    data.cdsActions->Post();
}
} // namespace

class TestLock : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();

    void secondOpenAsksAndReadOnlyWritesNothing_data();
    void secondOpenAsksAndReadOnlyWritesNothing();
    void openHoldsTheLockUntilClosed();
    void staleLockIsTakenOver();
    void fileOperationsRefuseAFileOpenElsewhere_data();
    void fileOperationsRefuseAFileOpenElsewhere();
    void folderWithoutLockOpensReadOnly();

private:
    QString CreateActionFile(const QString &name);

    std::unique_ptr<TDataModuleMain> data_;
    QTemporaryDir temp_;
    QString work_;
    QString dravelin_;
};

void TestLock::initTestCase()
{
    UseTestStandardPaths();
    QVERIFY(temp_.isValid());
    QVERIFY(QDir().mkpath(temp_.filePath("tmp")));
    qputenv("TMPDIR", temp_.filePath("tmp").toLocal8Bit());
    data_ = std::make_unique<TDataModuleMain>();
}

void TestLock::init()
{
    static int run = 0;
    const QString base = temp_.filePath(QString::number(++run));
    work_ = base + "/Work";
    dravelin_ = base + "/Dravelin";
    QVERIFY(QDir().mkpath(work_));
    QVERIFY(QDir().mkpath(dravelin_));
    Settings() = TSettings();
    Settings().Folders.Actions = work_;
    Settings().Folders.Dravelin = dravelin_;
    Settings().Folders.Auxiliary = QString();
    ScriptedList().Set({});
}

QString TestLock::CreateActionFile(const QString &name)
{
    FakeUiServices fake;
    const QString actFile = QDir(work_).filePath(name);
    if (!NewActionFile(ScriptedList(), actFile))
        return QString();
    return actFile;
}

void TestLock::secondOpenAsksAndReadOnlyWritesNothing_data()
{
    QTest::addColumn<bool>("container");
    QTest::addColumn<int>("answer");
    QTest::newRow("Action File, read-only") << false << int(IDYES);
    QTest::newRow("Action File, cancel") << false << int(IDNO);
    QTest::newRow("Dravelin File, read-only") << true << int(IDYES);
    QTest::newRow("Dravelin File, cancel") << true << int(IDNO);
}

void TestLock::secondOpenAsksAndReadOnlyWritesNothing()
{
    QFETCH(bool, container);
    QFETCH(int, answer);
    const QString actFile = CreateActionFile("Plan.act");
    QVERIFY(!actFile.isEmpty());
    const QString containerFile = QDir(dravelin_).filePath("Plan.dravelin");
    if (container) {
        QCOMPARE(TCDSParser(actFile, containerFile).Pack(), int(TCDSParser::PackOk));
        QVERIFY(QFile::remove(actFile));
    }
    const QString opened = container ? containerFile : actFile;
    const QString folder = QFileInfo(opened).path();
    // A backup would be a write too.
    Settings().General.MakeBackup = true;
    OtherProgram other(opened);
    QVERIFY(other.Locked());
    const Snapshot before = Take(folder);

    FakeUiServices fake;
    fake.answer(MbResult(answer));
    bool shown = false;
    ScriptedList().Set([&](bool) {
        shown = true;
        [&] {
            QVERIFY(ActionFileReadOnly());
            // A change made in memory all the same is refused, not saved.
            QVERIFY_THROWS_EXCEPTION(TNotSavedError, ChangeSomething(*data_));
        }();
        return CloseActionFile();
    });
    if (container)
        OpenDravelinFile(ScriptedList(), containerFile);
    else
        OpenActionFile(ScriptedList(), actFile, false);

    QCOMPARE(fake.messages().size(), 1);
    const UiCall box = fake.messages().first();
    const QString what = container ? QStringLiteral("Dravelin File") : QStringLiteral("Action File");
    QVERIFY2(box.text.startsWith(InUsePrefix(what, opened, other.Pid())), qPrintable(box.text));
    QVERIFY(box.text.endsWith("\n\nDo you want to open it read-only? Choose No to cancel."));
    QCOMPARE(box.caption, QStringLiteral("Action File in use"));
    QCOMPARE(box.flags, unsigned(MB_YESNO | MB_ICONWARNING));
    QCOMPARE(shown, answer == IDYES);
    QVERIFY(!data_->Tables.IsOpen());
    QVERIFY(!ActionFileReadOnly());
    QCOMPARE(Take(folder), before);
}

void TestLock::openHoldsTheLockUntilClosed()
{
    const QString actFile = CreateActionFile("Plan.act");
    QVERIFY(!actFile.isEmpty());
    FakeUiServices fake;
    ScriptedList().Set([&](bool) {
        [&] {
            QVERIFY(!ActionFileReadOnly());
            // A second program (here another lock object) finds it taken.
            TFileLock second(actFile);
            QCOMPARE(second.TryLock(), TFileLock::HeldElsewhere);
            QCOMPARE(second.HeldBy().pid, QCoreApplication::applicationPid());
        }();
        return CloseActionFile();
    });
    OpenActionFile(ScriptedList(), actFile, false);
    QVERIFY(fake.messages().isEmpty());
    QVERIFY(!QFileInfo::exists(TFileLock::LockFileName(actFile)));
}

void TestLock::staleLockIsTakenOver()
{
    const QString actFile = CreateActionFile("Plan.act");
    QVERIFY(!actFile.isEmpty());
    {
        OtherProgram crashed(actFile);
        QVERIFY(crashed.Locked());
        crashed.Kill();
    }
    QVERIFY(QFileInfo::exists(TFileLock::LockFileName(actFile)));
    FakeUiServices fake;
    bool shown = false;
    ScriptedList().Set([&](bool) {
        shown = true;
        [&] {
            QVERIFY(!ActionFileReadOnly());
            QLockFile probe(TFileLock::LockFileName(actFile));
            qint64 pid = 0;
            QVERIFY(probe.getLockInfo(&pid, nullptr, nullptr));
            QCOMPARE(pid, QCoreApplication::applicationPid());
            ChangeSomething(*data_);
        }();
        return CloseActionFile();
    });
    OpenActionFile(ScriptedList(), actFile, false);
    QVERIFY(shown);
    QVERIFY(fake.messages().isEmpty());
    QVERIFY(!QFileInfo::exists(TFileLock::LockFileName(actFile)));
    // Not read-only: the change was written.
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(actFile, false));
    QCOMPARE(data_->cdsActions->RecordCount(), 1);
    data_->Tables.Close();
}

void TestLock::fileOperationsRefuseAFileOpenElsewhere_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("verb");
    QTest::newRow("rename") << "rename"
                            << "Rename Action File"
                            << "renamed";
    QTest::newRow("move") << "move"
                          << "Move Action File"
                          << "moved";
    QTest::newRow("delete") << "delete"
                            << "Delete Action File"
                            << "deleted";
    QTest::newRow("copy contacts") << "copy"
                                   << "Copy Contacts"
                                   << "changed";
}

void TestLock::fileOperationsRefuseAFileOpenElsewhere()
{
    QFETCH(QString, operation);
    QFETCH(QString, caption);
    QFETCH(QString, verb);
    const QString actFile = CreateActionFile("Plan.act");
    const QString source = CreateActionFile("Source.act");
    QVERIFY(!actFile.isEmpty() && !source.isEmpty());
    const QString elsewhere = QDir(work_).filePath("../Elsewhere");
    QVERIFY(QDir().mkpath(elsewhere));
    OtherProgram other(actFile);
    QVERIFY(other.Locked());
    const Snapshot before = Take(work_);

    FakeUiServices fake;
    if (operation == "rename") {
        fake.answerInput(QStringLiteral("Renamed"));
        RenameActionFile(actFile);
    } else if (operation == "move") {
        fake.chooseFolder(elsewhere);
        MoveActionFile(work_, actFile);
    } else if (operation == "delete") {
        fake.answer(IDYES);
        QVERIFY(!DeleteActionFile(actFile));
    } else {
        fake.chooseFile(source);
        fake.answer(IDYES);
        ImportActor(work_, actFile);
    }
    const UiCall *box = fake.lastMessage();
    QVERIFY(box);
    QVERIFY2(box->text.startsWith(InUsePrefix("Action File", actFile, other.Pid())), qPrintable(box->text));
    QVERIFY(box->text.endsWith(QStringLiteral(").\n\nIt cannot be %1 while it is open there.").arg(verb)));
    QCOMPARE(box->caption, caption);
    QCOMPARE(box->flags, unsigned(MB_OK | MB_ICONERROR));
    QCOMPARE(Take(work_), before);
    QVERIFY(QDir(elsewhere).isEmpty());
}

void TestLock::folderWithoutLockOpensReadOnly()
{
    if (::geteuid() == 0)
        QSKIP("the superuser writes into read-only folders");
    const QString actFile = CreateActionFile("Plan.act");
    QVERIFY(!actFile.isEmpty());
    QVERIFY(QFile::setPermissions(work_, QFile::ReadOwner | QFile::ExeOwner));
    const Snapshot before = Take(work_);
    FakeUiServices fake;
    bool readOnly = false;
    ScriptedList().Set([&](bool) {
        readOnly = ActionFileReadOnly();
        return CloseActionFile();
    });
    OpenActionFile(ScriptedList(), actFile, false);
    QVERIFY(QFile::setPermissions(work_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(readOnly);
    QVERIFY(fake.messages().isEmpty());
    QCOMPARE(Take(work_), before);
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--hold-lock") == 0) {
        QCoreApplication app(argc, argv);
        return HoldLock(argv[2]);
    }
    QCoreApplication app(argc, argv);
    TestLock test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_lock.moc"
