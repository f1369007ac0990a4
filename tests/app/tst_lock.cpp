#include "ActionFileLock.h"
#include "ContainerCommands.h"
#include "FakeUiServices.h"
#include "FileCommands.h"
#include "OpenCommands.h"
#include "ScriptedActionList.h"
#include "TACTFiles.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "TTableFile.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Another program holding the lock of a file: this test binary started again
// with --hold-lock, holding the lock until its input closes. With
// --hold-lock-file it holds only the lock file given, as a program that made
// it anew would.
class OtherProgram {
public:
    explicit OtherProgram(const QString &fileName, const char *mode = "--hold-lock")
    {
        process_.start(QCoreApplication::applicationFilePath(), {QLatin1String(mode), fileName});
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

void WaitForInputToClose()
{
    std::fputs("locked\n", stdout);
    std::fflush(stdout);
    char line[16];
    while (std::fgets(line, sizeof line, stdin)) {
    }
}

int HoldLock(const char *fileName)
{
    TFileLock lock(QString::fromLocal8Bit(fileName));
    if (lock.TryLock() != TFileLock::Locked)
        return 2;
    WaitForInputToClose();
    return 0;
}

int HoldLockFile(const char *lockFileName)
{
    const int fd = ::open(lockFileName, O_RDWR | O_CREAT, 0644);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return 2;
    const QByteArray text =
        QByteArray::number(QCoreApplication::applicationPid()) + "\ntst_lock\nelsewhere\n";
    if (::write(fd, text.constData(), size_t(text.size())) != text.size())
        return 2;
    WaitForInputToClose();
    return 0;
}

// Takes the lock of a file and lets it go, as a command does: run under
// strace, which kills it at one of its system calls.
int TakeLock(const char *fileName)
{
    TFileLock lock(QString::fromLocal8Bit(fileName));
    const TFileLock::Result result = lock.TryLock();
    lock.Unlock();
    return result == TFileLock::Locked ? 0 : 2;
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
    void plantedLockFilesDoNotBlock_data();
    void plantedLockFilesDoNotBlock();
    void sameFilesUnderAnotherNameShareTheLock();
    void deletedLockFileIsNoticedAtTheNextWrite();
    void killAtAnySystemCallLeavesNoLockBehind();

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
    data_ = std::make_unique<TDataModuleMain>(Settings());
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
    if (!NewActionFile(*data_, ScriptedList(), actFile))
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
        QVERIFY_THROWS_NO_EXCEPTION(TCDSParser(actFile, containerFile).Pack());
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
            QVERIFY(ScriptedList().ReadOnly());
            // A change made in memory all the same is refused, not saved.
            QVERIFY_THROWS_EXCEPTION(TNotSavedError, ChangeSomething(*data_));
        }();
        return ScriptedList().CloseFile();
    });
    if (container)
        OpenDravelinFile(*data_, ScriptedList(), containerFile);
    else
        OpenActionFile(*data_, ScriptedList(), actFile, false);

    QCOMPARE(fake.messages().size(), 1);
    const UiCall box = fake.messages().first();
    const QString what = container ? QStringLiteral("Dravelin File") : QStringLiteral("Action File");
    QVERIFY2(box.text.startsWith(InUsePrefix(what, opened, other.Pid())), qPrintable(box.text));
    QVERIFY(box.text.endsWith("\n\nDo you want to open it read-only? Choose No to cancel."));
    QCOMPARE(box.caption, QStringLiteral("Action File in use"));
    QCOMPARE(box.flags, unsigned(MB_YESNO | MB_ICONWARNING));
    QCOMPARE(shown, answer == IDYES);
    QVERIFY(!data_->Tables.IsOpen());
    QVERIFY(!ScriptedList().ReadOnly());
    QCOMPARE(Take(folder), before);
}

void TestLock::openHoldsTheLockUntilClosed()
{
    const QString actFile = CreateActionFile("Plan.act");
    QVERIFY(!actFile.isEmpty());
    FakeUiServices fake;
    ScriptedList().Set([&](bool) {
        [&] {
            QVERIFY(!ScriptedList().ReadOnly());
            // A second program (here another lock object) finds it taken.
            TFileLock second(actFile);
            QCOMPARE(second.TryLock(), TFileLock::HeldElsewhere);
            QCOMPARE(second.HeldBy().pid, QCoreApplication::applicationPid());
        }();
        return ScriptedList().CloseFile();
    });
    OpenActionFile(*data_, ScriptedList(), actFile, false);
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
            QVERIFY(!ScriptedList().ReadOnly());
            QLockFile probe(TFileLock::LockFileName(actFile));
            qint64 pid = 0;
            QVERIFY(probe.getLockInfo(&pid, nullptr, nullptr));
            QCOMPARE(pid, QCoreApplication::applicationPid());
            ChangeSomething(*data_);
        }();
        return ScriptedList().CloseFile();
    });
    OpenActionFile(*data_, ScriptedList(), actFile, false);
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
        RenameActionFileCommand(actFile);
    } else if (operation == "move") {
        fake.chooseFolder(elsewhere);
        MoveActionFileCommand(work_, actFile);
    } else if (operation == "delete") {
        fake.answer(IDYES);
        QVERIFY(!DeleteActionFileCommand(*data_, actFile));
    } else {
        fake.chooseFile(source);
        fake.answer(IDYES);
        ImportActorCommand(work_, actFile);
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
        readOnly = ScriptedList().ReadOnly();
        return ScriptedList().CloseFile();
    });
    OpenActionFile(*data_, ScriptedList(), actFile, false);
    QVERIFY(QFile::setPermissions(work_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(readOnly);
    QVERIFY(fake.messages().isEmpty());
    QCOMPARE(Take(work_), before);
}

void TestLock::plantedLockFilesDoNotBlock_data()
{
    QTest::addColumn<QString>("planted");
    for (const char *planted : {"empty", "garbage", "link to a file", "dangling link",
                                "second name of a file", "empty folder", "another user's"})
        QTest::newRow(planted) << QString::fromLatin1(planted);
}

// Whatever lies under the lock file's name that no running program holds
// gives way: the file opens for changes, and nothing the name pointed at
// is written.
void TestLock::plantedLockFilesDoNotBlock()
{
    QFETCH(QString, planted);
    const QString actFile = CreateActionFile("Plan.act");
    QVERIFY(!actFile.isEmpty());
    const QString lockFile = TFileLock::LockFileName(actFile);
    const QString victim = QDir(work_).filePath("../victim.txt");
    QVERIFY(WriteFileBytes(victim, "precious\n"));
    if (planted == "empty")
        QVERIFY(WriteFileBytes(lockFile, QByteArray()));
    else if (planted == "garbage")
        QVERIFY(WriteFileBytes(lockFile, QByteArray("\x01\xffnot a lock\n0\n\n", 16)));
    else if (planted == "link to a file")
        QVERIFY(QFile::link(victim, lockFile));
    else if (planted == "dangling link")
        QVERIFY(QFile::link(QDir(work_).filePath("../nowhere"), lockFile));
    else if (planted == "second name of a file")
        QCOMPARE(::link(QFile::encodeName(victim).constData(), QFile::encodeName(lockFile).constData()), 0);
    else if (planted == "empty folder")
        QVERIFY(QDir().mkdir(lockFile));
    else {
        QVERIFY(WriteFileBytes(lockFile, "4242\nother\nelsewhere\n"));
        QCOMPARE(::chown(QFile::encodeName(lockFile).constData(), 65534, 65534), 0);
        QVERIFY(QFile::setPermissions(lockFile, QFile::ReadOwner | QFile::WriteOwner));
    }
    FakeUiServices fake;
    bool readOnly = true;
    ScriptedList().Set([&](bool) {
        readOnly = ScriptedList().ReadOnly();
        ChangeSomething(*data_);
        return ScriptedList().CloseFile();
    });
    OpenActionFile(*data_, ScriptedList(), actFile, false);
    QVERIFY(!readOnly);
    QVERIFY(fake.messages().isEmpty());
    QCOMPARE(ReadFileBytes(victim), QByteArray("precious\n"));
    QVERIFY(!QFileInfo::exists(lockFile) && !QFileInfo(lockFile).isSymLink());
}

// The lock is keyed on the file itself: the same six files under another
// name, through links, meet the lock of the program that has them open.
void TestLock::sameFilesUnderAnotherNameShareTheLock()
{
    const QString actFile = CreateActionFile("Plan.act");
    QVERIFY(!actFile.isEmpty());
    const QString other = QDir(work_).filePath("../Other.act");
    const TACTFiles files(actFile), links(other);
    for (int i = 0; i < TACTFiles::Count; ++i)
        QCOMPARE(::link(QFile::encodeName(files.Name(i)).constData(),
                        QFile::encodeName(links.Name(i)).constData()),
                 0);
    OtherProgram holder(actFile);
    QVERIFY(holder.Locked());
    TFileLock lock(other);
    QCOMPARE(lock.TryLock(), TFileLock::HeldElsewhere);
    QVERIFY(!QFileInfo::exists(TFileLock::LockFileName(other)));
    QCOMPARE(
        TFileLock::InUseText("Action File", other, lock.HeldBy()),
        QStringLiteral("The Action File \"%1\" is in use by another program (open there under another name).")
            .arg(other));
}

// A lock file deleted while the file is open is made again at the next
// write; when another program has made one meanwhile, the write is refused.
void TestLock::deletedLockFileIsNoticedAtTheNextWrite()
{
    const QString actFile = CreateActionFile("Plan.act");
    QVERIFY(!actFile.isEmpty());
    const QString lockFile = TFileLock::LockFileName(actFile);
    FakeUiServices fake;
    QByteArray refused;
    ScriptedList().Set([&](bool) {
        [&] {
            QVERIFY(QFile::remove(lockFile));
            ChangeSomething(*data_);
            const QByteArray mine = QByteArray::number(QCoreApplication::applicationPid()) + "\ntst_lock\n";
            QVERIFY(ReadFileBytes(lockFile).startsWith(mine));
            QVERIFY(QFile::remove(lockFile));
            OtherProgram taker(lockFile, "--hold-lock-file");
            QVERIFY(taker.Locked());
            const QByteArray before = ReadFileBytes(actFile + "._actions");
            try {
                ChangeSomething(*data_);
            } catch (const TNotSavedError &error) {
                refused = error.message().toUtf8();
            }
            QCOMPARE(ReadFileBytes(actFile + "._actions"), before);
        }();
        for (TableMember member : kTableMembers)
            data_->Tables.Table(member)->Abandon();
        return ScriptedList().CloseFile();
    });
    OpenActionFile(*data_, ScriptedList(), actFile, false);
    QVERIFY2(refused.contains("is in use by the program \"tst_lock\""), refused.constData());
    TRecordArena arena;
    const TTableFile actions(data_->cdsActions->TableName(), data_->cdsActions->FieldDefs());
    QCOMPARE(actions.Load(actFile + "._actions", arena).size(), size_t(1));
}

// A program killed at any system call of taking or letting go of the lock
// leaves nothing that blocks the next one, and never changes the file.
void TestLock::killAtAnySystemCallLeavesNoLockBehind()
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        QSKIP("strace is not installed (scripts/deps installs it)");
    const QString actFile = CreateActionFile("Plan.act");
    QVERIFY(!actFile.isEmpty());
    const QString lockFile = TFileLock::LockFileName(actFile);
    const QByteArray file = ReadFileBytes(actFile);
    // strace -P sees the calls that name the lock file or the Action File,
    // or use a descriptor of one.
    const auto run = [&](const QStringList &options) {
        QProcess taker;
        taker.start(strace,
                    QStringList{"-f", "-qq", "-P", lockFile, "-P", actFile} + options +
                        QStringList{"--", QCoreApplication::applicationFilePath(), "--take-lock", actFile});
        taker.waitForFinished(30000);
        return taker.exitCode() != 0 || taker.exitStatus() != QProcess::NormalExit;
    };
    const QString trace = QDir(work_).filePath("../lock.trace");
    QVERIFY(!run({"-o", trace}));
    const QMap<QString, int> calls = SystemCallCounts(trace);
    QVERIFY2(calls.value("flock") == 2 && calls.value("unlink") == 1,
             qPrintable(QStringList(calls.keys()).join(' ')));
    int kills = 0;
    for (auto it = calls.cbegin(); it != calls.cend(); ++it) {
        for (int k = 1; k <= it.value(); ++k) {
            const QString call = it.key();
            QVERIFY2(run({"-o", "/dev/null", "-e", "trace=" + call, "-e",
                          QStringLiteral("inject=%1:signal=KILL:when=%2").arg(call).arg(k)}),
                     qPrintable(call));
            ++kills;
            TFileLock next(actFile);
            QVERIFY2(next.TryLock() == TFileLock::Locked,
                     qPrintable(QStringLiteral("after a kill at %1 #%2").arg(call).arg(k)));
            next.Unlock();
            QVERIFY(!QFileInfo::exists(lockFile));
            QCOMPARE(ReadFileBytes(actFile), file);
        }
    }
    qInfo("%d kills", kills);
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--hold-lock") == 0) {
        QCoreApplication app(argc, argv);
        return HoldLock(argv[2]);
    }
    if (argc == 3 && qstrcmp(argv[1], "--hold-lock-file") == 0) {
        QCoreApplication app(argc, argv);
        return HoldLockFile(argv[2]);
    }
    if (argc == 3 && qstrcmp(argv[1], "--take-lock") == 0) {
        QCoreApplication app(argc, argv);
        return TakeLock(argv[2]);
    }
    QCoreApplication app(argc, argv);
    TestLock test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_lock.moc"
