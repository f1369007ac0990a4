#include "ActionFileNames.h"
#include "AppError.h"
#include "Backup.h"
#include "FakeUiServices.h"
#include "FileCommands.h"
#include "FullDisk.h"
#include "OpenCommands.h"
#include "ScriptedActionList.h"
#include "TACTFiles.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"
#include "TornTableFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <sqlite3.h>

namespace {
// The auxiliary folder of actFile, where its synchronisation's files lie.
QString Aux(const QString &actFile)
{
    return AuxiliaryFolder(actFile, Settings().Folders.Auxiliary);
}

// Writes the six files of an Action File, each holding its own name, so a
// test can tell which file ended up where.
void WriteActionFile(const QString &actFile, const QStringList &skip = {})
{
    const TACTFiles files(actFile);
    for (int i = 0; i < TACTFiles::Count; ++i)
        if (!skip.contains(TACTFiles::Suffixes()[size_t(i)]))
            QVERIFY(WriteFileBytes(files.Name(i), QFileInfo(files.Name(i)).fileName().toUtf8()));
}

QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The rows of a table file written by WriteTableFile, read without rolling
// anything back: "old" for the whole old state, "new" or a mix otherwise,
// empty when it cannot be read.
QString TableState(const QString &fileName)
{
    sqlite3 *db = nullptr;
    QString state;
    const QByteArray uri = "file:" + QFile::encodeName(fileName) + "?immutable=1";
    if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        const char *sql = "SELECT count(*), sum(v LIKE 'old %') FROM t";
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            const int rows = sqlite3_column_int(stmt, 0);
            const int old = sqlite3_column_int(stmt, 1);
            state = rows == 200 && old == 200 ? "old" : QString("mixed %1 of %2").arg(old).arg(rows);
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return state;
}

// Every rollback journal under folder and its subfolders.
QStringList Journals(const QString &folder)
{
    QStringList found;
    QDirIterator it(folder, {"*-journal"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

QStringList SixNames(const QString &fileName)
{
    QStringList names;
    for (const QString &suffix : TACTFiles::Suffixes())
        names << fileName + suffix;
    return names;
}
} // namespace

class TestActionFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void actExtensionReplacesTheLastExtension_data();
    void actExtensionReplacesTheLastExtension();
    void typedNamesNeverLeaveTheirFolder_data();
    void typedNamesNeverLeaveTheirFolder();
    void auxiliaryFolderUpperCasesOnlyItsOwnName_data();
    void auxiliaryFolderUpperCasesOnlyItsOwnName();

    void backupFolderIsNamedAfterTheStem_data();
    void backupFolderIsNamedAfterTheStem();
    void backupCopiesTheFilesThatExistAndMarksTheFolder_data();
    void backupCopiesTheFilesThatExistAndMarksTheFolder();
    void backupReplacesThePreviousGeneration();
    void backupThatCannotBeWrittenSaysSoAndKeepsThePrevious();
    void noBackupOfBackupCopiesOrUnpackedContainers_data();
    void noBackupOfBackupCopiesOrUnpackedContainers();

    void deleteRemovesSixFilesAndOnlyAnEmptyAuxiliaryFolder_data();
    void deleteRemovesSixFilesAndOnlyAnEmptyAuxiliaryFolder();
    void renameMovesAllSixFiles_data();
    void renameMovesAllSixFiles();
    void renameRefusesInvalidNamesAndAsksAgain_data();
    void renameRefusesInvalidNamesAndAsksAgain();
    void renameOntoAnExistingActionFileIsRefused();
    void renameFailingHalfWayKeepsTheOldName();
    void moveTakesAllSixFilesToTheChosenFolder();
    void moveToAnotherFileSystemCopiesAndDeletes();
    void moveIntoTheWorkspaceItselfDoesNothing();
    void moveOntoAnExistingActionFileIsRefused();
    void changeWorkspace_data();
    void changeWorkspace();
    void copyContacts_data();
    void copyContacts();
    void copyContactsFromTheSameFileOnlyWarns();
    void failedCopiesKeepTheOldFiles_data();
    void failedCopiesKeepTheOldFiles();

    void newCreatesTheActionFileAndItsAuxiliaryFolder_data();
    void newCreatesTheActionFileAndItsAuxiliaryFolder();
    void newRefusesDotNames();
    void refusedNewOrOpenLeavesTheTableSetAsItWas_data();
    void refusedNewOrOpenLeavesTheTableSetAsItWas();
    void openShowsTheFileAndBacksItUpWhenSet_data();
    void openShowsTheFileAndBacksItUpWhenSet();
    void openThatFailsShowsNoActionList();
    void openThatFailsKeepsTheLastBackup();
    void folderNamedLikeAnActionFileIsNotOpened();
    void openRemovesTheWritersLeftovers();
    void interruptedWritesAreUndoneBeforeFileOperations_data();
    void interruptedWritesAreUndoneBeforeFileOperations();
    void staleJournalNeverReachesANewFile();

private:
    // Creates an Action File on disk through NewActionFile.
    void CreateActionFile(const QString &actFile);

    TestWorkspace fixture_;
    std::unique_ptr<TDataModuleMain> &data_ = fixture_.data;
    QString work_;
    QString aux_;
};

void TestActionFiles::initTestCase()
{
    UseTestStandardPaths();
}

void TestActionFiles::init()
{
    fixture_.Start();
    const QString base = fixture_.dir->path();
    work_ = base + "/Work";
    aux_ = base + "/Data/Auxiliary";
    QVERIFY(QDir().mkpath(work_));
    QVERIFY(QDir().mkpath(aux_));
    Settings().Folders.Actions = work_;
    Settings().Folders.Auxiliary = aux_;
}

void TestActionFiles::cleanup()
{
    fixture_.Finish();
}

void TestActionFiles::CreateActionFile(const QString &actFile)
{
    FakeUiServices fake;
    QVERIFY(NewActionFile(*data_, ScriptedList(), actFile));
    QVERIFY(!data_->Tables.IsOpen());
}

void TestActionFiles::actExtensionReplacesTheLastExtension_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no extension") << "/w/Report"
                                  << "/w/Report.act";
    QTest::newRow("other extension") << "/w/Report.txt"
                                     << "/w/Report.act";
    QTest::newRow("only the last one") << "Plan.rev.txt"
                                       << "Plan.rev.act";
    QTest::newRow("dot in folder only") << "/w.x/Report"
                                        << "/w.x/Report.act";
    QTest::newRow("already act") << "Plan.act"
                                 << "Plan.act";
}

void TestActionFiles::actExtensionReplacesTheLastExtension()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QCOMPARE(WithActExtension(typed), expected);
}

void TestActionFiles::typedNamesNeverLeaveTheirFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "Plan.act" << true;
    QTest::newRow("blanks") << "   " << true;
    QTest::newRow("dots inside") << "a..b" << true;
    QTest::newRow("slash") << "sub/Plan" << false;
    QTest::newRow("parent") << "../Plan" << false;
    QTest::newRow("backslash") << "sub\\Plan" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot dot") << ".." << false;
}

void TestActionFiles::typedNamesNeverLeaveTheirFolder()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(FileNameProblem(name).isEmpty(), valid);
}

void TestActionFiles::auxiliaryFolderUpperCasesOnlyItsOwnName_data()
{
    QTest::addColumn<QString>("actFile");
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("expected");
    QTest::newRow("new") << "/w/Project.act"
                         << ""
                         << "AUXILIARY_PROJECT";
    QTest::newRow("only last extension") << "/w/Plan.rev.act"
                                         << ""
                                         << "AUXILIARY_PLAN.REV";
    QTest::newRow("existing in other case") << "/w/Project.act"
                                            << "Auxiliary_Project"
                                            << "Auxiliary_Project";
}

void TestActionFiles::auxiliaryFolderUpperCasesOnlyItsOwnName()
{
    QFETCH(QString, actFile);
    QFETCH(QString, existing);
    QFETCH(QString, expected);
    if (!existing.isEmpty())
        QVERIFY(QDir(aux_).mkdir(existing));
    QCOMPARE(AuxiliaryFolder(actFile, Settings().Folders.Auxiliary), aux_ + "/" + expected);
    QCOMPARE(AuxiliaryFolder(actFile, aux_ + "/"), aux_ + "/" + expected);
    QCOMPARE(AuxiliaryFolder(actFile, QString()), QString());
}

void TestActionFiles::backupFolderIsNamedAfterTheStem_data()
{
    QTest::addColumn<QString>("actFile");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "/w/Project.act"
                           << "/w/Project Backup";
    QTest::newRow("first dot") << "/w/Plan.a.act"
                               << "/w/Plan Backup";
    QTest::newRow("no dot") << "/w/Plan"
                            << "/w/ Backup";
}

void TestActionFiles::backupFolderIsNamedAfterTheStem()
{
    QFETCH(QString, actFile);
    QFETCH(QString, expected);
    QCOMPARE(BackupFolder(actFile), expected);
}

void TestActionFiles::backupCopiesTheFilesThatExistAndMarksTheFolder_data()
{
    QTest::addColumn<QStringList>("missing");
    QTest::newRow("all six") << QStringList();
    QTest::newRow("decision missing") << QStringList{"._decision"};
}

void TestActionFiles::backupCopiesTheFilesThatExistAndMarksTheFolder()
{
    QFETCH(QStringList, missing);
    WriteActionFile(work_ + "/Project.act", missing);
    FakeUiServices fake;
    BackupActionFile(work_ + "/Project.act");

    const QString folder = work_ + "/Project Backup";
    QStringList expected{"backup.exists"};
    for (const QString &name : SixNames("Project.act"))
        if (!missing.contains(name.mid(QString("Project.act").size())))
            expected << name;
    expected.sort();
    QCOMPARE(Entries(folder), expected);
    QCOMPARE(ReadFileBytes(folder + "/Project.act._log"), QByteArray("Project.act._log"));
    QCOMPARE(QFileInfo(folder + "/backup.exists").size(), 0);
    QVERIFY(fake.messages().isEmpty());
    QCOMPARE(fake.busyDepth, 0);
}

void TestActionFiles::backupReplacesThePreviousGeneration()
{
    FakeUiServices fake;
    WriteActionFile(work_ + "/Plan.a.act");
    WriteActionFile(work_ + "/Plan.b.act");
    BackupActionFile(work_ + "/Plan.a.act");
    BackupActionFile(work_ + "/Plan.b.act");

    QVERIFY(WriteFileBytes(work_ + "/Plan.a.act._log", "second"));
    QVERIFY(QFile::remove(work_ + "/Plan.a.act._decision"));
    BackupActionFile(work_ + "/Plan.a.act");

    const QString folder = work_ + "/Plan Backup";
    QCOMPARE(ReadFileBytes(folder + "/Plan.a.act._log"), QByteArray("second"));
    // A member that cannot be copied keeps its copy from the earlier
    // opening: it may be the only one left.
    QCOMPARE(ReadFileBytes(folder + "/Plan.a.act._decision"), QByteArray("Plan.a.act._decision"));
    QCOMPARE(ReadFileBytes(folder + "/Plan.b.act._decision"), QByteArray("Plan.b.act._decision"));
}

// On a full disk no copy replaces its old one: the previous backup stays
// whole, and opening the file says that no backup was made.
void TestActionFiles::backupThatCannotBeWrittenSaysSoAndKeepsThePrevious()
{
    const QString actFile = work_ + "/Plan.act";
    CreateActionFile(actFile);
    Settings().General.MakeBackup = true;
    ScriptedList().Set([](bool) { return ScriptedList().CloseFile(); });
    {
        FakeUiServices fake;
        OpenActionFile(*data_, ScriptedList(), actFile, false);
        QVERIFY(fake.messages().isEmpty());
    }
    const QString folder = work_ + "/Plan Backup";
    QMap<QString, QByteArray> previous;
    for (const QString &name : Entries(folder))
        previous[name] = ReadFileBytes(folder + "/" + name);
    // The log grows past the room the disk has left.
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(actFile, false));
    data_->cdsLog->Append();
    data_->cdsLog->FieldByName("DESCRIPTION").SetAsString(QString(100000, 'x'));
    data_->cdsLog->Post();
    data_->Tables.Close();

    FakeUiServices fake;
    bool shown = false;
    ScriptedList().Set([&](bool) {
        shown = true;
        return ScriptedList().CloseFile();
    });
    {
        FullDisk full(QFileInfo(actFile + "._actions").size() + 4096);
        OpenActionFile(*data_, ScriptedList(), actFile, false);
    }
    QVERIFY(shown);
    QCOMPARE(fake.messages().size(), 1);
    const UiCall message = fake.messages()[0];
    QCOMPARE(message.caption, QString("Backup not made"));
    QCOMPARE(message.flags, unsigned(MB_OK | MB_ICONWARNING));
    QVERIFY2(
        message.text.startsWith("No backup copy of the Action File \"" + actFile + "\" could be made: ") &&
            message.text.contains(QString::fromLocal8Bit(std::strerror(EFBIG))) &&
            message.text.endsWith("The previous backup copy in \"" + folder + "\" is kept as it was."),
        qPrintable(message.text));
    QMap<QString, QByteArray> after;
    for (const QString &name : Entries(folder))
        after[name] = ReadFileBytes(folder + "/" + name);
    QCOMPARE(after, previous);
}

void TestActionFiles::noBackupOfBackupCopiesOrUnpackedContainers_data()
{
    QTest::addColumn<QString>("actFile");
    QTest::newRow("copy inside a backup folder") << "Project Backup/Project.act";
    QTest::newRow("unpacked container") << "Dravelin$3.act";
}

void TestActionFiles::noBackupOfBackupCopiesOrUnpackedContainers()
{
    QFETCH(QString, actFile);
    FakeUiServices fake;
    WriteActionFile(work_ + "/Project.act");
    BackupActionFile(work_ + "/Project.act");
    if (!QFileInfo::exists(work_ + "/" + actFile))
        WriteActionFile(work_ + "/" + actFile);
    const QStringList before = Entries(work_);
    const QStringList backupBefore = Entries(work_ + "/Project Backup");

    BackupActionFile(work_ + "/" + actFile);
    QCOMPARE(Entries(work_), before);
    QCOMPARE(Entries(work_ + "/Project Backup"), backupBefore);
}

void TestActionFiles::deleteRemovesSixFilesAndOnlyAnEmptyAuxiliaryFolder_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("document");
    QTest::addColumn<bool>("synchronised");
    QTest::newRow("empty auxiliary folder goes") << true << false << false;
    QTest::newRow("auxiliary folder with a document stays") << true << true << false;
    QTest::newRow("answer no") << false << false << true;
    // A later file of the name must not take the synchronisation for its own.
    QTest::newRow("the synchronisation goes with the file") << true << false << true;
}

void TestActionFiles::deleteRemovesSixFilesAndOnlyAnEmptyAuxiliaryFolder()
{
    QFETCH(bool, yes);
    QFETCH(bool, document);
    QFETCH(bool, synchronised);
    const QString actFile = work_ + "/Project.act";
    WriteActionFile(actFile);
    const QString auxiliary = aux_ + "/AUXILIARY_PROJECT";
    QVERIFY(QDir().mkpath(auxiliary));
    if (document)
        QVERIFY(WriteFileBytes(auxiliary + "/minutes.txt", "text"));
    if (synchronised)
        for (const QString &name : {SyncAccountFileName(Aux(actFile)), SyncStateFileName(Aux(actFile))})
            QVERIFY(WriteFileBytes(name, "{}"));
    QVERIFY(QDir().mkpath(work_ + "/Project Backup"));

    data_->AuxiliaryFolder = auxiliary;
    FakeUiServices fake;
    fake.answer(yes ? IDYES : IDNO);
    QCOMPARE(DeleteActionFileCommand(*data_, actFile), yes);
    QCOMPARE(data_->AuxiliaryFolder.isEmpty(), yes);

    const UiCall *question = fake.lastMessage();
    QVERIFY(question);
    QCOMPARE(question->text, QString("Do you really want to permanently remove the selected Action File?"));
    QCOMPARE(question->caption, QString("Delete Action File"));
    QCOMPARE(question->flags, unsigned(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
    if (yes)
        QCOMPARE(Entries(work_), QStringList{"Project Backup"});
    else
        QCOMPARE(Entries(work_).size(), 7);
    QCOMPARE(QFileInfo::exists(auxiliary), !yes || document);
    QCOMPARE(fake.busyDepth, 0);
}

void TestActionFiles::renameMovesAllSixFiles_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected"); // empty: nothing changes
    QTest::newRow("new name") << "Plan"
                              << "Plan.act";
    QTest::newRow("extension replaced") << "Plan.txt"
                                        << "Plan.act";
    QTest::newRow("same name in another case") << "project"
                                               << "";
    QTest::newRow("same name") << "Project.act"
                               << "";
}

void TestActionFiles::renameMovesAllSixFiles()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    WriteActionFile(work_ + "/Project.act");
    // The synchronisation's files follow the file; a deleted namesake's
    // state under the new name is replaced.
    for (const QString &name :
         {SyncAccountFileName(Aux(work_ + "/Project.act")), SyncStateFileName(Aux(work_ + "/Project.act"))}) {
        QVERIFY(QDir().mkpath(QFileInfo(name).path()));
        QVERIFY(WriteFileBytes(name, "Project " + QFileInfo(name).fileName().toUtf8()));
    }
    if (!expected.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(SyncStateFileName(Aux(work_ + "/" + expected))).path()));
        QVERIFY(WriteFileBytes(SyncStateFileName(Aux(work_ + "/" + expected)), "stale"));
    }
    FakeUiServices fake;
    fake.answerInput(typed);

    QCOMPARE(RenameActionFileCommand(work_ + "/Project.act"), !expected.isEmpty());
    const UiCall &query = fake.calls.first();
    QCOMPARE(query.kind, UiCall::Input);
    QCOMPARE(query.caption, QString("Rename Action File"));
    QCOMPARE(query.text, QString("New Action File Name:"));
    QCOMPARE(query.value, QString("Project.act"));
    QVERIFY(fake.messages().isEmpty());

    QStringList names = SixNames(expected.isEmpty() ? "Project.act" : expected);
    names.sort();
    QCOMPARE(Entries(work_), names);
    if (!expected.isEmpty())
        QCOMPARE(ReadFileBytes(work_ + "/" + expected + "._log"), QByteArray("Project.act._log"));
    const QString now = work_ + "/" + (expected.isEmpty() ? QString("Project.act") : expected);
    QCOMPARE(ReadFileBytes(SyncAccountFileName(Aux(now))), QByteArray("Project sync-account.json"));
    QCOMPARE(ReadFileBytes(SyncStateFileName(Aux(now))), QByteArray("Project sync-state.json"));
    if (!expected.isEmpty())
        QVERIFY(!QFileInfo::exists(SyncStateFileName(Aux(work_ + "/Project.act"))));
}

void TestActionFiles::renameRefusesInvalidNamesAndAsksAgain_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << ""
                           << "Please supply a valid File Name for the new Action File";
    QTest::newRow("into another folder") << "../Plan"
                                         << "";
    QTest::newRow("dot dot") << ".."
                             << "";
}

void TestActionFiles::renameRefusesInvalidNamesAndAsksAgain()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    WriteActionFile(work_ + "/Project.act");
    FakeUiServices fake;
    fake.answerInput(typed);
    fake.answerInput(std::nullopt);

    QVERIFY(!RenameActionFileCommand(work_ + "/Project.act"));
    QCOMPARE(fake.calls.size(), 3);
    const UiCall &refusal = fake.calls[1];
    QCOMPARE(refusal.kind, UiCall::Message);
    QCOMPARE(refusal.caption, QString("Invalid File Name"));
    QCOMPARE(refusal.flags, unsigned(MB_OK | MB_ICONERROR));
    if (!message.isEmpty())
        QCOMPARE(refusal.text, message);
    QCOMPARE(fake.calls[2].kind, UiCall::Input);
    QCOMPARE(fake.calls[2].value, typed);
    QCOMPARE(Entries(work_).size(), 6);
    QCOMPARE(Entries(work_ + "/.."), (QStringList{"Data", "Work"}));
}

void TestActionFiles::renameOntoAnExistingActionFileIsRefused()
{
    WriteActionFile(work_ + "/Project.act");
    // Only one member of the other Action File is there, in another case.
    QVERIFY(WriteFileBytes(work_ + "/PLAN.ACT._LOG", "other"));
    const QStringList before = Entries(work_);
    FakeUiServices fake;
    fake.answerInput("Plan");

    RenameActionFileCommand(work_ + "/Project.act");
    QCOMPARE(Entries(work_), before);
    QCOMPARE(ReadFileBytes(work_ + "/PLAN.ACT._LOG"), QByteArray("other"));
    QVERIFY(fake.lastMessage());
    QCOMPARE(fake.lastMessage()->caption, QString("Rename Action File"));
    QCOMPARE(fake.lastMessage()->text,
             QString("The Action File cannot be renamed, because \"%1\" already exists")
                 .arg(work_ + "/PLAN.ACT._LOG"));
}

void TestActionFiles::renameFailingHalfWayKeepsTheOldName()
{
    // The header's new name fits the file system's limit of 255 bytes, the
    // name with "._actions" appended does not: the second rename fails.
    WriteActionFile(work_ + "/Project.act");
    const QStringList before = Entries(work_);
    FakeUiServices fake;
    fake.answerInput(QString(250, QLatin1Char('p')));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("File name too long"));

    QVERIFY(RenameActionFileCommand(work_ + "/Project.act"));
    QCOMPARE(Entries(work_), before);
    QVERIFY(fake.lastMessage());
    QVERIFY(fake.lastMessage()->text.startsWith("The Action File cannot be renamed."));
    QVERIFY(fake.lastMessage()->text.endsWith("The Action File was left as it was."));
    QCOMPARE(fake.busyDepth, 0);
}

void TestActionFiles::moveTakesAllSixFilesToTheChosenFolder()
{
    WriteActionFile(work_ + "/Project.act", {"._statement"});
    WriteActionFile(work_ + "/Other.act");
    const QString target = work_ + "/../Elsewhere";
    QVERIFY(QDir().mkpath(target));
    FakeUiServices fake;
    fake.chooseFolder(target);

    QVERIFY(MoveActionFileCommand(work_, work_ + "/Project.act"));
    QCOMPARE(fake.calls.first().kind, UiCall::Folder);
    QCOMPARE(fake.calls.first().value, work_);
    QStringList moved = SixNames("Project.act");
    moved.removeLast();
    moved.sort();
    QCOMPARE(Entries(target), moved);
    QCOMPARE(Entries(work_).size(), 6);
    QVERIFY(fake.messages().isEmpty());
}

void TestActionFiles::moveToAnotherFileSystemCopiesAndDeletes()
{
    QTemporaryDir other(QStringLiteral("/dev/shm/dravelin-test-XXXXXX"));
    if (!other.isValid() || QStorageInfo(other.path()).device() == QStorageInfo(work_).device())
        QSKIP("no second file system at hand");
    WriteActionFile(work_ + "/Project.act");
    FakeUiServices fake;
    fake.chooseFolder(other.path());

    QVERIFY(MoveActionFileCommand(work_, work_ + "/Project.act"));
    QVERIFY(Entries(work_).isEmpty());
    QStringList moved = SixNames("Project.act");
    moved.sort();
    QCOMPARE(Entries(other.path()), moved);
    QCOMPARE(ReadFileBytes(other.filePath("Project.act._actor")), QByteArray("Project.act._actor"));
}

void TestActionFiles::moveIntoTheWorkspaceItselfDoesNothing()
{
    WriteActionFile(work_ + "/Project.act");
    FakeUiServices fake;
    fake.chooseFolder(work_.left(work_.size() - 4) + "WORK/");

    QVERIFY(!MoveActionFileCommand(work_, work_ + "/Project.act"));
    QCOMPARE(Entries(work_).size(), 6);
    QVERIFY(fake.messages().isEmpty());
}

void TestActionFiles::moveOntoAnExistingActionFileIsRefused()
{
    WriteActionFile(work_ + "/Project.act");
    const QString target = work_ + "/../Elsewhere";
    QVERIFY(WriteFileBytes(target + "/project.act", "other"));
    FakeUiServices fake;
    fake.chooseFolder(target);

    MoveActionFileCommand(work_, work_ + "/Project.act");
    QCOMPARE(Entries(work_).size(), 6);
    QCOMPARE(Entries(target), QStringList{"project.act"});
    QVERIFY(fake.lastMessage());
    QCOMPARE(fake.lastMessage()->caption, QString("Move Action File"));
    QCOMPARE(fake.lastMessage()->flags, unsigned(MB_OK | MB_ICONERROR));
}

void TestActionFiles::changeWorkspace_data()
{
    QTest::addColumn<bool>("workspaceExists");
    QTest::addColumn<QString>("chosen"); // relative to the test's base folder
    QTest::addColumn<bool>("changed");
    QTest::newRow("other folder") << true << "Other" << true;
    QTest::newRow("same folder in another case") << true << "WORK" << false;
    QTest::newRow("missing workspace starts at the program folder") << false << "Other" << true;
}

void TestActionFiles::changeWorkspace()
{
    QFETCH(bool, workspaceExists);
    QFETCH(QString, chosen);
    QFETCH(bool, changed);
    const QString base = QFileInfo(work_).path();
    TProgramLocation location;
    location.folder = base + "/Program";
    SetProgramLocation(location);
    if (!workspaceExists)
        QVERIFY(QDir(work_).removeRecursively());
    FakeUiServices fake;
    fake.chooseFolder(base + "/" + chosen);

    QCOMPARE(ChangeWorkspaceCommand(work_), changed);
    QCOMPARE(fake.calls.first().value, workspaceExists ? work_ : location.folder);
    QCOMPARE(Settings().Folders.Actions, changed ? base + "/" + chosen : work_);
}

void TestActionFiles::copyContacts_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("sourceHasContacts");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("yes") << true << true << QByteArray("Source.act._actor");
    QTest::newRow("no") << false << true << QByteArray("Target.act._actor");
    QTest::newRow("source without contacts") << true << false << QByteArray("Target.act._actor");
}

void TestActionFiles::copyContacts()
{
    QFETCH(bool, yes);
    QFETCH(bool, sourceHasContacts);
    QFETCH(QByteArray, expected);
    const QString target = work_ + "/Target.act";
    const QString source = work_ + "/../Source.act";
    WriteActionFile(target);
    WriteActionFile(source, sourceHasContacts ? QStringList() : QStringList{"._actor"});
    FakeUiServices fake;
    fake.chooseFile(source);
    fake.answer(yes ? IDYES : IDNO);

    ImportActorCommand(work_, target);
    const UiCall &dialog = fake.calls.first();
    QCOMPARE(dialog.caption, QString("Copy Contacts from another Action File"));
    QCOMPARE(dialog.dialog.filter, QString("Action Files|*.act"));
    QCOMPARE(dialog.dialog.initialDir, work_);
    QCOMPARE(fake.messages().size(), 1);
    const UiCall &question = fake.messages().first();
    QCOMPARE(question.caption, QString("Copy Contacts"));
    QCOMPARE(question.flags, unsigned(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
    QCOMPARE(question.text,
             QString("Would you like to replace the Contacts in\n\"%1\"\nwith those in\n\"%2\"?\n\n"
                     "Remember, the Contacts of\n\"%1\"\nwill be overwritten!")
                 .arg(target, source));

    QCOMPARE(ReadFileBytes(target + "._actor"), expected);
    QCOMPARE(ReadFileBytes(target + "._actions"), QByteArray("Target.act._actions"));
    QCOMPARE(Entries(work_).size(), 6);
}

void TestActionFiles::copyContactsFromTheSameFileOnlyWarns()
{
    WriteActionFile(work_ + "/Target.act");
    FakeUiServices fake;
    fake.chooseFile(work_ + "/TARGET.ACT");

    ImportActorCommand(work_, work_ + "/Target.act");
    QCOMPARE(fake.messages().size(), 1);
    QCOMPARE(fake.lastMessage()->text,
             QString("Both Action Files are the same, so nothing needs to be copied"));
    QCOMPARE(fake.lastMessage()->caption, QString("Copy Contacts"));
    QCOMPARE(fake.lastMessage()->flags, unsigned(MB_OK | MB_ICONWARNING));
    QCOMPARE(ReadFileBytes(work_ + "/Target.act._actor"), QByteArray("Target.act._actor"));
}

void TestActionFiles::failedCopiesKeepTheOldFiles_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("fault");
    QTest::newRow("copy contacts, full disk") << "contacts"
                                              << "full";
    QTest::newRow("copy contacts, read-only target") << "contacts"
                                                     << "readonly";
    QTest::newRow("backup, full disk") << "backup"
                                       << "full";
    QTest::newRow("backup, read-only copy") << "backup"
                                            << "readonly";
}

// A copy that cannot be written whole leaves the old file byte for byte and
// is never taken for done: Copy Contacts names the cause, a backup keeps its
// last good copy.
void TestActionFiles::failedCopiesKeepTheOldFiles()
{
    QFETCH(QString, operation);
    QFETCH(QString, fault);
    const QString target = work_ + "/Target.act";
    const QString source = work_ + "/../Source.act";
    WriteActionFile(target);
    WriteActionFile(source);
    FakeUiServices fake;
    BackupActionFile(target);
    const QByteArray big(5000, 'c');
    QVERIFY(WriteFileBytes(source + "._actor", big));
    QVERIFY(WriteFileBytes(target + "._log", big));
    const QString kept = operation == "contacts" ? QString(target + "._actor")
                                                 : QString(work_ + "/Target Backup/Target.act._log");
    const QByteArray old = ReadFileBytes(kept);
    if (fault == "readonly")
        QVERIFY(QFile::setPermissions(kept, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QStringList before = Entries(QFileInfo(kept).path());

    if (operation == "contacts") {
        fake.chooseFile(source);
        fake.answer(IDYES);
    }
    {
        std::optional<FullDisk> full;
        if (fault == "full")
            full.emplace(1000);
        if (operation == "contacts")
            ImportActorCommand(work_, target);
        else
            QVERIFY_THROWS_EXCEPTION(AppError, BackupActionFile(target));
    }
    QCOMPARE(ReadFileBytes(kept), old);
    QCOMPARE(Entries(QFileInfo(kept).path()), before);
    if (operation == "contacts") {
        QCOMPARE(fake.messages().size(), 2);
        const QString cause =
            fault == "full" ? QString::fromLocal8Bit(std::strerror(EFBIG)) : QString("the file is read-only");
        QCOMPARE(fake.lastMessage()->text, "The Contacts cannot be copied to \"" + kept + "\": " + cause);
        QCOMPARE(fake.lastMessage()->caption, QString("Copy Contacts"));
        QCOMPARE(fake.lastMessage()->flags, unsigned(MB_OK | MB_ICONERROR));
    } else {
        QVERIFY(fake.messages().isEmpty());
    }
}

void TestActionFiles::newCreatesTheActionFileAndItsAuxiliaryFolder_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("no extension") << "Report";
    QTest::newRow("other extension") << "Report.txt";
}

void TestActionFiles::newCreatesTheActionFileAndItsAuxiliaryFolder()
{
    QFETCH(QString, typed);
    FakeUiServices fake;
    fake.chooseFile(work_ + "/" + typed);
    bool shown = false;
    ScriptedList().Set([&](bool fromContainer) {
        shown = true;
        [&] {
            QVERIFY(!fromContainer);
            QVERIFY(data_->Tables.IsOpen());
            QCOMPARE(data_->Tables.FileName(), work_ + "/Report.act");
            QVERIFY(data_->Tables.RefreshListOnClose());
            QCOMPARE(data_->AuxiliaryFolder, aux_ + "/AUXILIARY_REPORT");
        }();
        return ScriptedList().CloseFile();
    });

    QVERIFY(NewActionFileCommand(*data_, ScriptedList(), work_));
    QVERIFY(shown);
    const UiCall &dialog = fake.calls.first();
    // A save dialog: its accept button reads "Save", not "Open".
    QCOMPARE(dialog.kind, UiCall::SaveFile);
    QVERIFY(!dialog.dialog.overwritePrompt);
    QCOMPARE(dialog.caption, QString("Create a new Action File"));
    QCOMPARE(dialog.dialog.filter, QString("Action Files|*.act"));
    QCOMPARE(dialog.dialog.initialDir, work_);
    QVERIFY(!dialog.dialog.mustExist);
    QVERIFY(fake.messages().isEmpty());

    QStringList expected = SixNames("Report.act");
    expected.sort();
    QCOMPARE(Entries(work_), expected);
    QVERIFY(QFileInfo(aux_ + "/AUXILIARY_REPORT").isDir());
    QVERIFY(!data_->Tables.IsOpen());
    QVERIFY(!data_->Tables.RefreshListOnClose());
}

void TestActionFiles::newRefusesDotNames()
{
    FakeUiServices fake;
    fake.chooseFile(work_ + "/..");
    QVERIFY(!NewActionFileCommand(*data_, ScriptedList(), work_));
    QVERIFY(fake.lastMessage());
    QCOMPARE(fake.lastMessage()->caption, QString("Invalid File Name"));
    QVERIFY(Entries(work_).isEmpty());
    QCOMPARE(Entries(work_ + "/.."), (QStringList{"Data", "Work"}));
}

void TestActionFiles::refusedNewOrOpenLeavesTheTableSetAsItWas_data()
{
    QTest::addColumn<bool>("create");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");
    QTest::newRow("new on an existing name") << true << "Existing.act"
                                             << "The file \"%1\" already exists"
                                             << "File already exists";
    QTest::newRow("new on an existing name in another case") << true << "EXISTING.act"
                                                             << "The file \"%2\" already exists"
                                                             << "File already exists";
    QTest::newRow("open on a missing name") << false << "Missing.act"
                                            << "The file \"%1\" cannot be opened"
                                            << "File cannot be opened";
    // A companion file without its header may be anyone's: never written over.
    QTest::newRow("new beside a stray companion") << true << "Stray.act"
                                                  << "The Action File \"%1\" cannot be made: \"%1._log\" "
                                                     "already exists without it. They are left as they "
                                                     "are; remove or rename them first."
                                                  << "File already exists";
}

void TestActionFiles::refusedNewOrOpenLeavesTheTableSetAsItWas()
{
    QFETCH(bool, create);
    QFETCH(QString, file);
    QFETCH(QString, text);
    QFETCH(QString, caption);
    CreateActionFile(work_ + "/Open.act");
    CreateActionFile(work_ + "/Existing.act");
    QVERIFY(WriteFileBytes(work_ + "/Stray.act._log", "someone's"));
    Settings().General.MakeBackup = true;
    const QStringList before = Entries(work_);
    FakeUiServices fake;
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(work_ + "/Open.act", false));
    ScriptedList().Set([](bool) {
        QTest::qFail("the action list must not be shown", __FILE__, __LINE__);
        return false;
    });

    const QString path = work_ + "/" + file;
    QVERIFY(!(create ? NewActionFile(*data_, ScriptedList(), path)
                     : OpenActionFile(*data_, ScriptedList(), path, false)));
    QCOMPARE(fake.messages().size(), 1);
    QCOMPARE(fake.lastMessage()->text,
             QString(text).replace("%1", path).replace("%2", work_ + "/Existing.act"));
    QCOMPARE(fake.lastMessage()->caption, caption);
    QCOMPARE(fake.lastMessage()->flags, unsigned(MB_OK | MB_ICONERROR));
    QVERIFY(data_->Tables.IsOpen());
    QCOMPARE(data_->Tables.FileName(), work_ + "/Open.act");
    data_->Tables.Close();
    QCOMPARE(Entries(work_), before);
    QCOMPARE(ReadFileBytes(work_ + "/Stray.act._log"), QByteArray("someone's"));
}

void TestActionFiles::openShowsTheFileAndBacksItUpWhenSet_data()
{
    QTest::addColumn<bool>("makeBackup");
    QTest::addColumn<bool>("fromContainer");
    QTest::newRow("backup on") << true << false;
    QTest::newRow("backup off") << false << false;
    QTest::newRow("container flag passed on") << false << true;
}

void TestActionFiles::openShowsTheFileAndBacksItUpWhenSet()
{
    QFETCH(bool, makeBackup);
    QFETCH(bool, fromContainer);
    const QString actFile = work_ + "/Project.act";
    CreateActionFile(actFile);
    QVERIFY(QDir(aux_ + "/AUXILIARY_PROJECT").removeRecursively());
    Settings().General.MakeBackup = makeBackup;
    FakeUiServices fake;
    fake.chooseFile(actFile);
    bool shown = false;
    ScriptedList().Set([&](bool container) {
        shown = true;
        [&] {
            QCOMPARE(container, fromContainer);
            QVERIFY(data_->Tables.IsOpen());
            QCOMPARE(data_->Tables.FileName(), actFile);
            QCOMPARE(data_->AuxiliaryFolder, aux_ + "/AUXILIARY_PROJECT");
            // Opening names the auxiliary folder but does not create it.
            QVERIFY(!QFileInfo::exists(data_->AuxiliaryFolder));
        }();
        return ScriptedList().CloseFile();
    });

    const bool listChanged = fromContainer ? OpenActionFile(*data_, ScriptedList(), actFile, true)
                                           : OpenActionFileCommand(*data_, ScriptedList(), work_);
    QVERIFY(!listChanged);
    QVERIFY(shown);
    QVERIFY(fake.messages().isEmpty());
    QVERIFY(!data_->Tables.IsOpen());
    QCOMPARE(QFileInfo(work_ + "/Project Backup").isDir(), makeBackup);
    if (makeBackup)
        QCOMPARE(Entries(work_ + "/Project Backup").size(), 7);
}

void TestActionFiles::openThatFailsShowsNoActionList()
{
    const QString actFile = work_ + "/Plan.act";
    CreateActionFile(actFile);
    QVERIFY(QFile::remove(actFile + "._log"));
    FakeUiServices fake;
    bool shown = false;
    ScriptedList().Set([&](bool) { return shown = true; });

    QVERIFY(!OpenActionFile(*data_, ScriptedList(), actFile, false));
    QVERIFY(!shown);
    QVERIFY(!data_->Tables.IsOpen());
    QCOMPARE(fake.messages().size(), 1);
    QCOMPARE(fake.lastMessage()->text.section("\n\n", 0, 0), QString("The Log File cannot be opened!"));
}

// Opening backs up only files that loaded: a damaged member keeps the last
// good copy.
void TestActionFiles::openThatFailsKeepsTheLastBackup()
{
    const QString actFile = work_ + "/Plan.act";
    CreateActionFile(actFile);
    Settings().General.MakeBackup = true;
    FakeUiServices fake;
    ScriptedList().Set([](bool) { return ScriptedList().CloseFile(); });
    OpenActionFile(*data_, ScriptedList(), actFile, false);
    const QString copy = work_ + "/Plan Backup/Plan.act._log";
    const QByteArray good = ReadFileBytes(copy);
    QVERIFY(!good.isEmpty());
    QCOMPARE(good, ReadFileBytes(actFile + "._log"));

    QVERIFY(WriteFileBytes(actFile + "._log", "damaged"));
    QVERIFY(!OpenActionFile(*data_, ScriptedList(), actFile, false));
    QCOMPARE(fake.lastMessage()->text.section("\n\n", 0, 0), QString("The Log File cannot be opened!"));
    QCOMPARE(ReadFileBytes(copy), good);
}

void TestActionFiles::folderNamedLikeAnActionFileIsNotOpened()
{
    const QString folder = work_ + "/Folder.act";
    QVERIFY(QDir().mkpath(folder));
    Settings().General.MakeBackup = true;
    FakeUiServices fake;
    bool shown = false;
    ScriptedList().Set([&](bool) { return shown = true; });

    QVERIFY(!OpenActionFile(*data_, ScriptedList(), folder, false));
    QVERIFY(!shown);
    QCOMPARE(fake.messages().size(), 1);
    QCOMPARE(fake.lastMessage()->text, "The file \"" + folder + "\" cannot be opened");
    QCOMPARE(fake.lastMessage()->caption, QString("File cannot be opened"));
    QCOMPARE(fake.lastMessage()->flags, unsigned(MB_OK | MB_ICONERROR));
    QCOMPARE(Entries(work_), QStringList{"Folder.act"});
}

// A full rewrite interrupted before its rename leaves a hidden new file
// beside the table file; the next opening removes it, and nothing else.
void TestActionFiles::openRemovesTheWritersLeftovers()
{
    const QString actFile = work_ + "/Plan.act";
    CreateActionFile(actFile);
    const QStringList before = Entries(work_);
    const QStringList leftovers{".Plan.act.a1B2c3", ".Plan.act._actions.XyZ123",
                                ".Plan.act._statement.000000"};
    const QStringList others{".Plan.act._actions.toolong1", ".Other.act._log.abcdef", "Plan.act.abcdef"};
    for (const QString &name : leftovers + others)
        QVERIFY(WriteFileBytes(work_ + "/" + name, "partial"));
    FakeUiServices fake;
    ScriptedList().Set([](bool) { return ScriptedList().CloseFile(); });
    OpenActionFile(*data_, ScriptedList(), actFile, false);
    QVERIFY(fake.messages().isEmpty());
    QStringList expected = before + others;
    expected.sort();
    QCOMPARE(Entries(work_), expected);
}

void TestActionFiles::interruptedWritesAreUndoneBeforeFileOperations_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("result"); // the file holding the contacts afterwards
    QTest::newRow("backup") << "backup"
                            << "Project Backup/Project.act._actor";
    QTest::newRow("rename") << "rename"
                            << "Plan.act._actor";
    QTest::newRow("move") << "move"
                          << "../Elsewhere/Project.act._actor";
    QTest::newRow("copy contacts from it") << "copyfrom"
                                           << "../Target.act._actor";
    QTest::newRow("copy contacts into it") << "copyinto"
                                           << "Project.act._actor";
    QTest::newRow("delete") << "delete"
                            << "";
}

// A crash during an in-place write leaves the file torn and its journal
// beside it. Every operation on the six files first lets SQLite roll the
// file back, so what it copies, renames or keeps is the whole old state and
// no journal is left anywhere.
void TestActionFiles::interruptedWritesAreUndoneBeforeFileOperations()
{
    QFETCH(QString, operation);
    QFETCH(QString, result);
    const QString actFile = work_ + "/Project.act";
    WriteActionFile(actFile);
    const QString other = work_ + "/../Target.act";
    WriteActionFile(other);
    WriteTableFile(operation == "copyinto" ? other + "._actor" : actFile + "._actor", true);
    if (operation == "copyinto")
        WriteTableFile(actFile + "._actor", true);
    // Without its journal the file is torn: that is what used to be copied.
    QVERIFY(TableState(actFile + "._actor").startsWith("mixed"));

    FakeUiServices fake;
    if (operation == "backup") {
        BackupActionFile(actFile);
    } else if (operation == "rename") {
        fake.answerInput("Plan");
        QVERIFY(RenameActionFileCommand(actFile));
    } else if (operation == "move") {
        QVERIFY(QDir().mkpath(work_ + "/../Elsewhere"));
        fake.chooseFolder(work_ + "/../Elsewhere");
        QVERIFY(MoveActionFileCommand(work_, actFile));
    } else if (operation == "copyfrom" || operation == "copyinto") {
        const bool from = operation == "copyfrom";
        fake.chooseFile(from ? actFile : other);
        fake.answer(IDYES);
        ImportActorCommand(work_, from ? other : actFile);
    } else {
        fake.answer(IDYES);
        QVERIFY(DeleteActionFileCommand(*data_, actFile));
        QCOMPARE(Entries(work_), QStringList());
    }
    QCOMPARE(fake.unscripted, 0);
    QCOMPARE(fake.messages().size(), operation.startsWith("copy") || operation == "delete" ? 1 : 0);
    if (!result.isEmpty())
        QCOMPARE(TableState(work_ + "/" + result), QString("old"));
    QCOMPARE(Journals(work_ + "/.."), QStringList());
}

// A journal left under a name whose file is gone must not be rolled back
// into the next file that gets that name.
void TestActionFiles::staleJournalNeverReachesANewFile()
{
    const QString actFile = work_ + "/Project.act";
    WriteActionFile(actFile);
    WriteTableFile(actFile + "._actor", false);
    const QByteArray contacts = ReadFileBytes(actFile + "._actor");
    WriteTableFile(work_ + "/Gone.act._actor", true);
    QVERIFY(QFile::remove(work_ + "/Gone.act._actor"));
    QVERIFY(QFile::copy(work_ + "/Gone.act._actor-journal", work_ + "/Fresh.act._actor-journal"));

    FakeUiServices fake;
    fake.answerInput("Gone");
    QVERIFY(RenameActionFileCommand(actFile));
    QVERIFY(fake.messages().isEmpty());
    QCOMPARE(ReadFileBytes(work_ + "/Gone.act._actor"), contacts);
    QCOMPARE(TableState(work_ + "/Gone.act._actor"), QString("old"));
    QVERIFY(!QFileInfo::exists(work_ + "/Gone.act._actor-journal"));

    ScriptedList().Set([](bool) { return ScriptedList().CloseFile(); });
    QVERIFY(NewActionFile(*data_, ScriptedList(), work_ + "/Fresh.act"));
    QVERIFY(fake.messages().isEmpty());
    QCOMPARE(Journals(work_), QStringList());
    ScriptedList().Set([&](bool) {
        [&] { QCOMPARE(data_->cdsActor->RecordCount(), 0); }();
        return ScriptedList().CloseFile();
    });
    QVERIFY(!OpenActionFile(*data_, ScriptedList(), work_ + "/Fresh.act", false));
    QVERIFY(fake.messages().isEmpty());
}

QTEST_MAIN(TestActionFiles)
#include "tst_actionfiles.moc"
