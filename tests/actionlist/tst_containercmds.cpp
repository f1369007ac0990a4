#include "AppError.h"
#include "ContainerCommands.h"
#include "ContainerWriteBack.h"
#include "FakeUiServices.h"
#include "FullDisk.h"
#include "HeaderRecord.h"
#include "OpenCommands.h"
#include "ScriptedActionList.h"
#include "TACTFiles.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <optional>

class TestContainerCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();

    void dravelinExtensionReplacesTheLastExtension_data();
    void dravelinExtensionReplacesTheLastExtension();

    void openingUnchangedRewritesTheContainerByteForByte();
    void editsMadeInTheListAreWrittenBack();
    void undoneChangeIsWrittenBackAndHistoryEndsWithTheFile();
    void changesReachTheContainerWithinSeconds();
    void saveWritesTheContainerAtOnce();
    void unusableContainersAreRefused_data();
    void unusableContainersAreRefused();
    void failedWriteBackKeepsTheUnpackedFiles();
    void writeBackThatCannotBeWrittenKeepsTheContainer_data();
    void writeBackThatCannotBeWrittenKeepsTheContainer();
    void listEndingByAnErrorIsStillWrittenBack();
    void openCommandReplacesTheExtension();

    void saveWritesTheCurrentTablesIntoTheContainer();
    void extensionAddedAfterTheDialogNeverReplacesSilently_data();
    void extensionAddedAfterTheDialogNeverReplacesSilently();
    void failedSaveLeavesTheOldContainer();

private:
    // A new Action File "<work>/Plan.act" titled `title`, packed into
    // "<dravelin>/<name>"; returns the container's path.
    QString MakeContainer(const QString &title, const QString &name = QStringLiteral("Plan.dravelin"));
    // The header title of the Action File in container, as opened from it.
    QString TitleIn(const QString &container);

    std::unique_ptr<TDataModuleMain> data_;
    QTemporaryDir temp_;
    QString work_;
    QString dravelin_;
};

void TestContainerCommands::initTestCase()
{
    UseTestStandardPaths();
    QVERIFY(temp_.isValid());
    // Unpacked members go to the system's temporary folder; keep them here.
    QVERIFY(QDir().mkpath(temp_.filePath("tmp")));
    qputenv("TMPDIR", temp_.filePath("tmp").toLocal8Bit());
    data_ = std::make_unique<TDataModuleMain>(Settings());
    QCOMPARE(QFileInfo(data_->TempFiles.Folder()).path(), temp_.filePath("tmp"));
}

void TestContainerCommands::init()
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
    ScriptedList().Set({});
}

QString TestContainerCommands::MakeContainer(const QString &title, const QString &name)
{
    FakeUiServices fake;
    const QString actFile = QDir(work_).filePath("Plan.act");
    if (!QFileInfo::exists(actFile)) {
        ScriptedList().Set([this, title](bool) {
            SetHeaderTitle(*data_, title);
            return ScriptedList().CloseFile();
        });
        NewActionFile(*data_, ScriptedList(), actFile);
        ScriptedList().Set({});
    }
    const QString container = QDir(dravelin_).filePath(name);
    try {
        TCDSParser(actFile, container).Pack();
    } catch (const AppError &) {
        return QString();
    }
    return container;
}

QString TestContainerCommands::TitleIn(const QString &container)
{
    QString seen;
    ScriptedList().Set([&](bool) {
        seen = HeaderTitle(*data_);
        return ScriptedList().CloseFile();
    });
    OpenDravelinFile(*data_, ScriptedList(), container);
    ScriptedList().Set({});
    return seen;
}

void TestContainerCommands::dravelinExtensionReplacesTheLastExtension_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << "/d/Project"
                          << "/d/Project.dravelin";
    QTest::newRow("another") << "/d/Project.txt"
                             << "/d/Project.dravelin";
    QTest::newRow("only the last") << "/d/Plan.rev.txt"
                                   << "/d/Plan.rev.dravelin";
    QTest::newRow("dot in a folder") << "/d.x/Project"
                                     << "/d.x/Project.dravelin";
    QTest::newRow("own extension") << "/d/Project.dravelin"
                                   << "/d/Project.dravelin";
    // Another case names another file here; the chosen one is kept.
    QTest::newRow("own extension in capitals") << "/d/Project.DRAVELIN"
                                               << "/d/Project.DRAVELIN";
}

void TestContainerCommands::dravelinExtensionReplacesTheLastExtension()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QCOMPARE(WithDravelinExtension(typed), expected);
}

void TestContainerCommands::openingUnchangedRewritesTheContainerByteForByte()
{
    const QString container = MakeContainer("Budget 2027");
    QVERIFY(!container.isEmpty());
    const QByteArray before = ReadFileBytes(container);
    const QStringList workspace = FolderEntries(work_);

    FakeUiServices fake;
    bool shown = false;
    ScriptedList().Set([&](bool fromContainer) {
        shown = true;
        [&] {
            QVERIFY(fromContainer);
            QVERIFY(data_->Tables.IsOpen());
            QCOMPARE(QFileInfo(data_->Tables.FileName()).absolutePath(), data_->TempFiles.Folder());
            QCOMPARE(HeaderTitle(*data_), QString("Budget 2027"));
            // Pages name the container, not the unpacked copy.
            QCOMPARE(data_->ShownFileName(), container);
        }();
        return ScriptedList().CloseFile();
    });
    QVERIFY(!OpenDravelinFile(*data_, ScriptedList(), container));

    QVERIFY(shown);
    QVERIFY(data_->ContainerFileName.isEmpty());
    QVERIFY(fake.messages().isEmpty());
    QCOMPARE(ReadFileBytes(container), before);
    QCOMPARE(FolderEntries(work_), workspace);
    QVERIFY(!data_->Tables.IsOpen());
    QCOMPARE(fake.busyDepth, 0);
}

void TestContainerCommands::editsMadeInTheListAreWrittenBack()
{
    const QString container = MakeContainer("Old title");
    FakeUiServices fake;
    QString unpacked;
    ScriptedList().Set([&](bool) {
        unpacked = data_->Tables.FileName();
        SetHeaderTitle(*data_, "New title");
        return ScriptedList().CloseFile();
    });
    QVERIFY(!OpenDravelinFile(*data_, ScriptedList(), container));

    QCOMPARE(TitleIn(container), QString("New title"));
    QVERIFY(fake.messages().isEmpty());
    // The unpacked files are left to the registry, which deletes them at the end.
    const TACTFiles members(unpacked);
    for (const QString &name : members.Names())
        QVERIFY2(data_->TempFiles.Files.contains(name), qPrintable(name));
}

// An undo is written back into the container like any change: closed and
// opened again, the container holds the state the undo left, and the
// history of the closed file is gone.
void TestContainerCommands::undoneChangeIsWrittenBackAndHistoryEndsWithTheFile()
{
    const QString container = MakeContainer("Old title");
    FakeUiServices fake;
    ScriptedList().Set([&](bool) {
        SetHeaderTitle(*data_, "Newer title");
        SetHeaderTitle(*data_, "Newest title");
        data_->Tables.Undo();
        return ScriptedList().CloseFile();
    });
    QVERIFY(!OpenDravelinFile(*data_, ScriptedList(), container));
    QCOMPARE(TitleIn(container), QString("Newer title"));

    bool undoable = true;
    ScriptedList().Set([&](bool) {
        undoable = data_->Tables.History().CanUndo();
        return ScriptedList().CloseFile();
    });
    OpenDravelinFile(*data_, ScriptedList(), container);
    QVERIFY(!undoable);
    QVERIFY(fake.messages().isEmpty());
}

// While the list is open, each change reaches the unpacked files at once and
// the container a few seconds later; until then a marker names the container
// for recovery.
void TestContainerCommands::changesReachTheContainerWithinSeconds()
{
    const QString container = MakeContainer("Old title");
    const QByteArray before = ReadFileBytes(container);
    FakeUiServices fake;
    ScriptedList().Set([&](bool) {
        const QString unpacked = data_->Tables.FileName();
        const QString marker = TContainerWriteBack::MarkerName(unpacked);
        [&] {
            SetHeaderTitle(*data_, "New title");
            QVERIFY(QFileInfo::exists(marker));
            QCOMPARE(ReadFileBytes(container), before);
            QTRY_VERIFY_WITH_TIMEOUT(ReadFileBytes(container) != before,
                                     TContainerWriteBack::kDelayMs + 3000);
            QVERIFY(!QFileInfo::exists(marker));
            const QString packed = temp_.filePath("now.dravelin");
            QVERIFY_THROWS_NO_EXCEPTION(TCDSParser(unpacked, packed).Pack());
            QCOMPARE(ReadFileBytes(container), ReadFileBytes(packed));
        }();
        return ScriptedList().CloseFile();
    });
    OpenDravelinFile(*data_, ScriptedList(), container);
    QCOMPARE(TitleIn(container), QString("New title"));
    QVERIFY(fake.messages().isEmpty());
}

// "Save Actions Table" writes the container too, without waiting.
void TestContainerCommands::saveWritesTheContainerAtOnce()
{
    const QString container = MakeContainer("Old title");
    const QByteArray before = ReadFileBytes(container);
    FakeUiServices fake;
    ScriptedList().Set([&](bool) {
        const QString unpacked = data_->Tables.FileName();
        [&] {
            SetHeaderTitle(*data_, "New title");
            data_->Tables.SaveToFiles();
            QVERIFY(ReadFileBytes(container) != before);
            QVERIFY(!QFileInfo::exists(TContainerWriteBack::MarkerName(unpacked)));
        }();
        return ScriptedList().CloseFile();
    });
    OpenDravelinFile(*data_, ScriptedList(), container);
    QCOMPARE(TitleIn(container), QString("New title"));
}

void TestContainerCommands::unusableContainersAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("caption");
    const QString notValid = "This is not a valid Dravelin File";
    const QString fileError = "File Error";
    const QByteArray sizes = QByteArray("0000000004").repeated(TACTFiles::Count);
    const QByteArray members = QByteArray("junk").repeated(TACTFiles::Count);
    QTest::newRow("magic in another case")
        << ("QZVRTK5208" + sizes + members) << true << notValid << fileError;
    QTest::newRow("shorter than the header") << QByteArray("qzvrtk5208000") << true << notValid << fileError;
    QTest::newRow("not a number") << ("qzvrtk5208" + sizes.left(50) + "00000x0004" + members) << true
                                  << notValid << fileError;
    QTest::newRow("sizes past the end") << ("qzvrtk5208" + sizes + "junk") << true << notValid << fileError;
    QTest::newRow("empty file") << QByteArray() << true << notValid << fileError;
    QTest::newRow("missing file") << QByteArray() << false << "Cannot open Files" << fileError;
    // Well formed, but the members are no tables: the tables refuse them
    // and the write-back puts the same bytes back.
    QTest::newRow("members are no tables")
        << ("qzvrtk5208" + sizes + members) << true << TTables::OpenErrorMessage(TableMember::Header)
        << "File open Error";
}

void TestContainerCommands::unusableContainersAreRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, exists);
    QFETCH(QString, message);
    QFETCH(QString, caption);
    const QString container = QDir(dravelin_).filePath("Bad.dravelin");
    if (exists)
        QVERIFY(WriteFileBytes(container, bytes));

    FakeUiServices fake;
    bool shown = false;
    ScriptedList().Set([&](bool) {
        shown = true;
        return ScriptedList().CloseFile();
    });
    QVERIFY(!OpenDravelinFile(*data_, ScriptedList(), container));

    QVERIFY(!shown);
    QVERIFY(!data_->Tables.IsOpen());
    QCOMPARE(fake.messages().size(), 1);
    // A table that does not open names its file and why after its message.
    QCOMPARE(fake.messages()[0].text.section(QStringLiteral("\n\n"), 0, 0), message);
    QCOMPARE(fake.messages()[0].caption, caption);
    QCOMPARE(fake.messages()[0].flags, unsigned(MB_OK | MB_ICONERROR));
    QVERIFY(FolderEntries(work_).isEmpty());
    QCOMPARE(QFileInfo::exists(container), exists);
    if (exists)
        QCOMPARE(ReadFileBytes(container), bytes);
    QCOMPARE(fake.busyDepth, 0);
}

void TestContainerCommands::failedWriteBackKeepsTheUnpackedFiles()
{
    const QString container = MakeContainer("Before");
    const QByteArray before = ReadFileBytes(container);
    const QString aside = temp_.filePath("statement.aside");
    FakeUiServices fake;
    QString actFile;
    ScriptedList().Set([&](bool) {
        actFile = data_->Tables.FileName();
        SetHeaderTitle(*data_, "Edited while away");
        const bool changed = ScriptedList().CloseFile();
        // A member vanishing behind the program's back makes packing fail.
        QFile::rename(actFile + "._statement", aside);
        return changed;
    });
    OpenDravelinFile(*data_, ScriptedList(), container);

    QCOMPARE(ReadFileBytes(container), before);
    QCOMPARE(fake.messages().size(), 1);
    const UiCall message = fake.messages()[0];
    QVERIFY(message.text.startsWith("The Action File could not be saved as a Dravelin File\n\n"));
    QVERIFY2(message.text.contains(container), qPrintable(message.text));
    QVERIFY2(message.text.contains(actFile), qPrintable(message.text));
    QCOMPARE(message.caption, QString("File Error"));
    QCOMPARE(message.flags, unsigned(MB_OK | MB_ICONERROR));
    // The edited files stay on disk and are no longer deleted at the end.
    const TACTFiles members(actFile);
    for (const QString &name : members.Names())
        QVERIFY2(!data_->TempFiles.Files.contains(name), qPrintable(name));
    QVERIFY(QFile::rename(aside, actFile + "._statement"));
    QString kept;
    ScriptedList().Set([&](bool) {
        kept = HeaderTitle(*data_);
        return ScriptedList().CloseFile();
    });
    OpenActionFile(*data_, ScriptedList(), actFile, true);
    QCOMPARE(kept, QString("Edited while away"));
}

void TestContainerCommands::writeBackThatCannotBeWrittenKeepsTheContainer_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("full disk") << "full";
    // Only the last bytes, still in a write buffer, find no room.
    QTest::newRow("full disk at the last byte") << "last";
    QTest::newRow("read-only container") << "readonly";
}

// The old container stays byte for byte and the edits stay in the unpacked
// files, which the message names; nothing is taken for written.
void TestContainerCommands::writeBackThatCannotBeWrittenKeepsTheContainer()
{
    QFETCH(QString, fault);
    const QString container = MakeContainer("Before");
    const QByteArray before = ReadFileBytes(container);
    if (fault == "readonly")
        QVERIFY(QFile::setPermissions(container, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    FakeUiServices fake;
    QString actFile;
    std::optional<FullDisk> full;
    ScriptedList().Set([&](bool) {
        actFile = data_->Tables.FileName();
        SetHeaderTitle(*data_, "Edited");
        const bool changed = ScriptedList().CloseFile();
        if (fault == "full")
            full.emplace(1000);
        else if (fault == "last")
            full.emplace(before.size() - 1);
        return changed;
    });
    OpenDravelinFile(*data_, ScriptedList(), container);
    full.reset();

    QCOMPARE(ReadFileBytes(container), before);
    QCOMPARE(FolderEntries(dravelin_), QStringList{"Plan.dravelin"});
    QCOMPARE(fake.messages().size(), 1);
    QVERIFY(fake.messages()[0].text.startsWith("The Action File could not be saved as a Dravelin File\n\n"));
    QVERIFY(fake.messages()[0].text.contains(actFile));
    QCOMPARE(fake.messages()[0].caption, QString("File Error"));
    QString kept;
    ScriptedList().Set([&](bool) {
        kept = HeaderTitle(*data_);
        return ScriptedList().CloseFile();
    });
    OpenActionFile(*data_, ScriptedList(), actFile, true);
    QCOMPARE(kept, QString("Edited"));
}

void TestContainerCommands::listEndingByAnErrorIsStillWrittenBack()
{
    const QString container = MakeContainer("Before the error");
    FakeUiServices fake;
    ScriptedList().Set([&](bool) -> bool {
        SetHeaderTitle(*data_, "Saved before the error");
        ScriptedList().CloseFile();
        throw AppError("Something went wrong");
    });
    QVERIFY_THROWS_EXCEPTION(AppError, OpenDravelinFile(*data_, ScriptedList(), container));

    QCOMPARE(TitleIn(container), QString("Saved before the error"));
    QVERIFY(fake.messages().isEmpty());
}

void TestContainerCommands::openCommandReplacesTheExtension()
{
    const QString container = MakeContainer("Typed name");
    FakeUiServices fake;
    fake.chooseFile(QDir(dravelin_).filePath("Plan.txt"));
    fake.chooseFile(std::nullopt);
    QString seen;
    ScriptedList().Set([&](bool) {
        seen = HeaderTitle(*data_);
        return ScriptedList().CloseFile();
    });
    OpenDravelinFileCommand(*data_, ScriptedList());
    QCOMPARE(seen, QString("Typed name"));
    const UiCall dialog = fake.calls[0];
    QCOMPARE(dialog.kind, UiCall::OpenFile);
    QCOMPARE(dialog.caption, QString("Open an existing Dravelin File"));
    QCOMPARE(dialog.dialog.filter, QString("Dravelin Files|*.dravelin"));
    QCOMPARE(dialog.dialog.initialDir, dravelin_);

    seen.clear();
    QVERIFY(!OpenDravelinFileCommand(*data_, ScriptedList()));
    QVERIFY(seen.isEmpty());
    QCOMPARE(fake.unscripted, 0);
    QVERIFY(fake.messages().isEmpty());
}

void TestContainerCommands::saveWritesTheCurrentTablesIntoTheContainer()
{
    MakeContainer("Unused");
    const QString actFile = QDir(work_).filePath("Plan.act");
    FakeUiServices fake;
    const QString target = QDir(dravelin_).filePath("Project.dravelin");
    fake.chooseFile(QDir(dravelin_).filePath("Project"));
    bool saved = false;
    ScriptedList().Set([&](bool) {
        SetHeaderTitle(*data_, "Saved from the list");
        saved = SaveAsDravelinFileCommand(*data_, ScriptedList().ReadOnly());
        return ScriptedList().CloseFile();
    });
    OpenActionFile(*data_, ScriptedList(), actFile, false);
    QVERIFY(saved);

    const UiCall dialog = fake.calls[0];
    QCOMPARE(dialog.kind, UiCall::SaveFile);
    QCOMPARE(dialog.caption, QString("Save the current Action File as a Dravelin File"));
    QCOMPARE(dialog.dialog.filter, QString("Dravelin Files|*.dravelin"));
    QCOMPARE(dialog.dialog.initialDir, dravelin_);
    QVERIFY(dialog.dialog.overwritePrompt);
    QCOMPARE(fake.messages().size(), 1);
    QCOMPARE(fake.messages()[0].text, "Action File successfully saved as \"" + target + "\"");
    QCOMPARE(fake.messages()[0].caption, QString("Action File Saved"));
    QCOMPARE(fake.messages()[0].flags, unsigned(MB_OK | MB_ICONINFORMATION));
    QCOMPARE(fake.busyDepth, 0);

    QCOMPARE(TitleIn(target), QString("Saved from the list"));
}

void TestContainerCommands::extensionAddedAfterTheDialogNeverReplacesSilently_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("existed");
    QTest::addColumn<int>("answer"); // to the question, 0 when none is expected
    QTest::addColumn<bool>("written");
    QTest::newRow("new name") << "Project" << false << 0 << true;
    QTest::newRow("typed with extension") << "Project.dravelin" << true << 0 << true;
    QTest::newRow("extension added, kept") << "Project" << true << int(IDNO) << false;
    QTest::newRow("extension replaced, kept") << "Project.txt" << true << int(IDNO) << false;
    QTest::newRow("extension added, replaced") << "Project" << true << int(IDYES) << true;
}

void TestContainerCommands::extensionAddedAfterTheDialogNeverReplacesSilently()
{
    QFETCH(QString, typed);
    QFETCH(bool, existed);
    QFETCH(int, answer);
    QFETCH(bool, written);
    MakeContainer("Current");
    const QString target = QDir(dravelin_).filePath("Project.dravelin");
    const QByteArray old("an older container");
    if (existed)
        QVERIFY(WriteFileBytes(target, old));

    FakeUiServices fake;
    fake.chooseFile(QDir(dravelin_).filePath(typed));
    if (answer)
        fake.answer(MbResult(answer));
    bool saved = false;
    ScriptedList().Set([&](bool) {
        saved = SaveAsDravelinFileCommand(*data_, ScriptedList().ReadOnly());
        return ScriptedList().CloseFile();
    });
    OpenActionFile(*data_, ScriptedList(), QDir(work_).filePath("Plan.act"), false);

    QCOMPARE(saved, written);
    QCOMPARE(fake.unscripted, 0);
    if (answer) {
        const UiCall question = fake.messages()[0];
        QCOMPARE(question.text, "The file \"" + target + "\" already exists.\n\nDo you want to replace it?");
        QCOMPARE(question.flags, unsigned(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
    } else {
        QCOMPARE(fake.messages().size(), 1);
    }
    if (written)
        QVERIFY(ReadFileBytes(target).startsWith("qzvrtk5208"));
    else
        QCOMPARE(ReadFileBytes(target), old);
}

void TestContainerCommands::failedSaveLeavesTheOldContainer()
{
    const QString target = QDir(dravelin_).filePath("Project.dravelin");
    const QByteArray old("an older container");
    QVERIFY(WriteFileBytes(target, old));
    FakeUiServices fake;
    fake.chooseFile(target);
    // Nothing is open, so no member can be read.
    QVERIFY(!data_->Tables.IsOpen());
    QVERIFY(!SaveAsDravelinFileCommand(*data_, false));

    QCOMPARE(ReadFileBytes(target), old);
    QCOMPARE(FolderEntries(dravelin_), QStringList{"Project.dravelin"});
    QCOMPARE(fake.messages().size(), 1);
    QCOMPARE(fake.messages()[0].text, QString("The Action File could not be saved as a Dravelin File"));
    QCOMPARE(fake.messages()[0].caption, QString("File Error"));
    QCOMPARE(fake.messages()[0].flags, unsigned(MB_OK | MB_ICONERROR));
    QCOMPARE(fake.busyDepth, 0);
}

QTEST_MAIN(TestContainerCommands)
#include "tst_containercmds.moc"
