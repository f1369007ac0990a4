#include "ContainerCommands.h"
#include "FakeUiServices.h"
#include "FullDisk.h"
#include "HeaderRecord.h"
#include "OpenCommands.h"
#include "SaveAsActionFile.h"
#include "ScriptedActionList.h"
#include "TACTFiles.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TFormActions.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"
#include "TornTableFile.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <unistd.h>

class TestSaveAsActionFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void copiesTheUnpackedFileIntoTheWorkspace();
    void namesAreCheckedAndAskedAgain_data();
    void namesAreCheckedAndAskedAgain();
    void journalLeftUnderTheNewNameNeverReachesTheCopy();
    void failedCopyLeavesNothingBehind_data();
    void failedCopyLeavesNothingBehind();
    void offeredOnlyForFilesFromAContainer_data();
    void offeredOnlyForFilesFromAContainer();

private:
    // Runs the command inside an opened Action File "<elsewhere>/Unpacked.act"
    // and returns what it returned; refresh gets RefreshListOnClose as the
    // command left it.
    bool RunCommand(bool *refresh = nullptr) { return RunCommandIn(work_, refresh); }
    bool RunCommandIn(const QString &workspace, bool *refresh);

    TestWorkspace fixture_;
    std::unique_ptr<TDataModuleMain> &data_ = fixture_.data;
    QTemporaryDir temp_;
    QString work_;
    QString unpacked_;
};

void TestSaveAsActionFile::initTestCase()
{
    UseTestStandardPaths();
    QVERIFY(temp_.isValid());
    QVERIFY(QDir().mkpath(temp_.filePath("tmp")));
    qputenv("TMPDIR", temp_.filePath("tmp").toLocal8Bit());
}

void TestSaveAsActionFile::init()
{
    fixture_.Start();
    const QString base = fixture_.dir->path();
    work_ = base + "/Work";
    QVERIFY(QDir().mkpath(work_));
    QVERIFY(QDir().mkpath(base + "/Elsewhere"));
    unpacked_ = base + "/Elsewhere/Unpacked.act";
    Settings().Folders.Actions = work_;
    FakeUiServices fake;
    QVERIFY(NewActionFile(*data_, ScriptedList(), unpacked_));
}

void TestSaveAsActionFile::cleanup()
{
    fixture_.Finish();
}

bool TestSaveAsActionFile::RunCommandIn(const QString &workspace, bool *refresh)
{
    bool result = false;
    ScriptedList().Set([&](bool) {
        result = SaveAsActionFileCommand(*data_, workspace);
        if (refresh)
            *refresh = data_->Tables.RefreshListOnClose();
        return ScriptedList().CloseFile();
    });
    OpenActionFile(*data_, ScriptedList(), unpacked_, true);
    ScriptedList().Set({});
    return result;
}

void TestSaveAsActionFile::copiesTheUnpackedFileIntoTheWorkspace()
{
    QVERIFY_THROWS_NO_EXCEPTION(TCDSParser(unpacked_, temp_.filePath("Plan.dravelin")).Pack());
    FakeUiServices fake;
    fake.answerInput(QString("Plan"));
    QString during;
    ScriptedList().Set([&](bool fromContainer) {
        [&] {
            QVERIFY(fromContainer);
            const QString before = data_->Tables.FileName();
            SetHeaderTitle(*data_, "Not yet saved");
            QVERIFY(SaveAsActionFileCommand(*data_, work_));
            QCOMPARE(data_->Tables.FileName(), before);
            // Later edits go to the unpacked files, not into the copy.
            SetHeaderTitle(*data_, "After the copy");
            during = before;
        }();
        return ScriptedList().CloseFile();
    });
    QVERIFY(OpenDravelinFile(*data_, ScriptedList(), temp_.filePath("Plan.dravelin")));

    const UiCall query = fake.calls[0];
    QCOMPARE(query.kind, UiCall::Input);
    QCOMPARE(query.caption, QString("Save as Action File"));
    QCOMPARE(query.text, QString("Action File Name:"));
    QCOMPARE(query.value, QString());
    QCOMPARE(fake.messages().size(), 1);
    QCOMPARE(fake.messages()[0].text,
             QString("The Action File \"Plan\" has been successfully saved into the current Workspace"));
    QCOMPARE(fake.messages()[0].caption, QString("Action File saved"));
    QCOMPARE(fake.messages()[0].flags, unsigned(MB_OK | MB_ICONINFORMATION));
    QCOMPARE(fake.busyDepth, 0);
    QVERIFY(!during.isEmpty() && !during.startsWith(work_));

    const QString copy = QDir(work_).filePath("Plan.act");
    const auto six = TACTFiles("Plan.act").Names();
    QStringList expected(six.begin(), six.end());
    expected.sort();
    QCOMPARE(FolderEntries(work_), expected);
    QString seen;
    ScriptedList().Set([&](bool) {
        seen = HeaderTitle(*data_);
        return ScriptedList().CloseFile();
    });
    OpenActionFile(*data_, ScriptedList(), copy, false);
    QCOMPARE(seen, QString("Not yet saved"));
}

void TestSaveAsActionFile::namesAreCheckedAndAskedAgain_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QStringList>("answers");  // Cancel follows the last one
    QTest::addColumn<QStringList>("refusals"); // captions of the messages before the outcome
    QTest::addColumn<QString>("copy");         // header file made, empty for none

    const QString exists = "Action File already exists";
    const QString invalid = "Invalid File Name";
    QTest::newRow("plain name") << QStringList() << QStringList{"Plan"} << QStringList() << "Plan.act";
    QTest::newRow("name taken") << QStringList{"Plan.act"} << QStringList{"Plan"} << QStringList{exists}
                                << QString();
    QTest::newRow("name taken in another case")
        << QStringList{"Plan.act"} << QStringList{"PLAN"} << QStringList{exists} << QString();
    QTest::newRow("full name taken") << QStringList{"Plan.act"} << QStringList{"Plan.act"}
                                     << QStringList{exists} << QString();
    QTest::newRow("full name free") << QStringList() << QStringList{"Plan.act"} << QStringList()
                                    << "Plan.act.act";
    QTest::newRow("bare file of that name")
        << QStringList{"Plan"} << QStringList{"Plan"} << QStringList{exists} << QString();
    QTest::newRow("taken, then another")
        << QStringList{"Plan.act"} << QStringList{"Plan", "Plan 2"} << QStringList{exists} << "Plan 2.act";
    QTest::newRow("empty, then a name")
        << QStringList() << QStringList{"", "Plan"} << QStringList{"No Input"} << "Plan.act";
    QTest::newRow("blanks only") << QStringList() << QStringList{"  "} << QStringList() << "  .act";
    QTest::newRow("stray member left alone")
        << QStringList{"Plan.act._log"} << QStringList{"Plan"} << QStringList{"File Error"} << QString();
    QTest::newRow("folder in the name")
        << QStringList() << QStringList{"../Plan", "sub/Plan"} << QStringList{invalid, invalid} << QString();
    QTest::newRow("dot names") << QStringList() << QStringList{".", ".."} << QStringList{invalid, invalid}
                               << QString();
}

void TestSaveAsActionFile::namesAreCheckedAndAskedAgain()
{
    QFETCH(QStringList, existing);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, refusals);
    QFETCH(QString, copy);
    for (const QString &name : existing)
        QVERIFY(WriteFileBytes(QDir(work_).filePath(name), "was here"));

    FakeUiServices fake;
    for (const QString &answer : answers)
        fake.answerInput(answer);
    fake.answerInput(std::nullopt);
    bool refresh = false;
    QCOMPARE(RunCommand(&refresh), !copy.isEmpty());
    QCOMPARE(refresh, !copy.isEmpty());

    QStringList captions;
    for (const UiCall &message : fake.messages())
        captions << message.caption;
    if (!copy.isEmpty())
        QCOMPARE(captions.takeLast(), QString("Action File saved"));
    QCOMPARE(captions, refusals);
    const QList<UiCall> messages = fake.messages();
    for (const UiCall &message : messages) {
        if (message.caption == "Action File already exists")
            QVERIFY(message.text.startsWith("The Action File \"") &&
                    message.text.endsWith("\" already exists in the current Workspace"));
        if (message.caption == "No Input")
            QCOMPARE(message.text, QString("Please enter a Value for Action File"));
        if (message.caption != "Action File saved")
            QCOMPARE(message.flags, unsigned(MB_OK | MB_ICONERROR));
    }
    // Every question after a refusal shows the previous answer again.
    QStringList shown;
    for (const UiCall &call : fake.calls)
        if (call.kind == UiCall::Input)
            shown << call.value;
    QCOMPARE(shown.first(), QString());
    for (int i = 1; i < shown.size(); ++i)
        QCOMPARE(shown[i], answers[i - 1]);

    QStringList expected = existing;
    const TACTFiles made(copy);
    if (!copy.isEmpty())
        for (const QString &name : made.Names())
            expected << name;
    expected.removeDuplicates();
    expected.sort();
    QCOMPARE(FolderEntries(work_), expected);
    // What was there and is no part of the copy is left alone.
    for (const QString &name : existing)
        if (copy.isEmpty() || std::find(made.Names().begin(), made.Names().end(), name) == made.Names().end())
            QCOMPARE(ReadFileBytes(QDir(work_).filePath(name)), QByteArray("was here"));
    if (!copy.isEmpty())
        for (const QString &name : made.Names())
            QVERIFY2(ReadFileBytes(QDir(work_).filePath(name)) != "was here", qPrintable(name));
    QCOMPARE(FolderEntries(QFileInfo(work_).absolutePath()), (QStringList{"Elsewhere", "Work"}));
}

// A journal left in the Workspace by another file that had the chosen name
// would be rolled back into the copy when it is opened.
void TestSaveAsActionFile::journalLeftUnderTheNewNameNeverReachesTheCopy()
{
    const QString stale = work_ + "/Plan.act._actor";
    WriteTableFile(stale, true);
    QVERIFY(QFile::remove(stale));
    QVERIFY(QFileInfo::exists(stale + "-journal"));
    FakeUiServices fake;
    fake.answerInput(QString("Plan"));
    QVERIFY(RunCommand());
    QVERIFY(!QFileInfo::exists(stale + "-journal"));

    bool shown = false;
    ScriptedList().Set([&](bool) {
        shown = true;
        return ScriptedList().CloseFile();
    });
    OpenActionFile(*data_, ScriptedList(), work_ + "/Plan.act", false);
    QVERIFY(shown);
    QCOMPARE(fake.messages().size(), 1); // the success message only
}

void TestSaveAsActionFile::failedCopyLeavesNothingBehind_data()
{
    // A folder in the way of a copy, or what is wrong with the Workspace.
    QTest::addColumn<QString>("blocker");
    QTest::newRow("second member") << "Plan.act._actions";
    QTest::newRow("fourth member") << "Plan.act._log";
    QTest::newRow("last member") << "Plan.act._statement";
    QTest::newRow("missing workspace") << "<missing>";
    QTest::newRow("unset workspace") << "<unset>";
    QTest::newRow("full disk") << "<full>";
    QTest::newRow("read-only workspace") << "<readonly>";
}

void TestSaveAsActionFile::failedCopyLeavesNothingBehind()
{
    QFETCH(QString, blocker);
    if (blocker == "<missing>")
        QVERIFY(QDir(work_).removeRecursively());
    else if (blocker == "<unset>")
        QVERIFY(QDir::setCurrent(work_)); // where copies would land by mistake
    else if (blocker == "<readonly>" && geteuid() == 0)
        QSKIP("root writes into read-only folders");
    else if (blocker == "<readonly>")
        QVERIFY(QFile::setPermissions(work_, QFile::ReadOwner | QFile::ExeOwner));
    else if (blocker != "<full>")
        QVERIFY(QDir(work_).mkdir(blocker));
    const QStringList before = FolderEntries(work_);

    FakeUiServices fake;
    fake.answerInput(QString("Plan"));
    bool refresh = true;
    {
        // Room for what the list writes, not for the copies.
        std::optional<FullDisk> full;
        if (blocker == "<full>")
            full.emplace(100);
        QVERIFY(!RunCommandIn(blocker == "<unset>" ? QString() : work_, &refresh));
    }
    QFile::setPermissions(work_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QVERIFY(!refresh);
    QCOMPARE(FolderEntries(work_), before);
    QCOMPARE(fake.messages().size(), 1);
    const UiCall message = fake.messages()[0];
    QVERIFY2(message.text.startsWith(
                 "The Action File \"Plan\" could not be saved into the current Workspace.\n\n"),
             qPrintable(message.text));
    QCOMPARE(message.caption, QString("File Error"));
    QCOMPARE(message.flags, unsigned(MB_OK | MB_ICONERROR));
    if (blocker == "<full>")
        QVERIFY2(message.text.endsWith(QString::fromLocal8Bit(std::strerror(EFBIG))),
                 qPrintable(message.text));
    QCOMPARE(fake.busyDepth, 0);
}

void TestSaveAsActionFile::offeredOnlyForFilesFromAContainer_data()
{
    QTest::addColumn<bool>("fromContainer");
    QTest::newRow("from a container") << true;
    QTest::newRow("from the Workspace") << false;
}

void TestSaveAsActionFile::offeredOnlyForFilesFromAContainer()
{
    QFETCH(bool, fromContainer);
    const QString container = temp_.filePath("Window.dravelin");
    QVERIFY_THROWS_NO_EXCEPTION(TCDSParser(unpacked_, container).Pack());
    TActionListWindow window(nullptr);

    FakeUiServices fake;
    fake.answerInput(QString("Plan"));
    bool enabled = false;
    fake.onModal([&](QWidget *window) {
        auto *command = window->findChild<QAction *>("MenuItemSaveasActionFile");
        enabled = command && command->isEnabled();
        if (enabled)
            command->trigger();
    });
    const bool listChanged = fromContainer ? OpenDravelinFile(*data_, window, container)
                                           : OpenActionFile(*data_, window, unpacked_, false);

    QCOMPARE(enabled, fromContainer);
    QCOMPARE(listChanged, fromContainer);
    QCOMPARE(QFileInfo::exists(QDir(work_).filePath("Plan.act")), fromContainer);
    QVERIFY(!data_->Tables.IsOpen());
}

QTEST_MAIN(TestSaveAsActionFile)
#include "tst_saveasactionfile.moc"
