#include "ActionFileList.h"
#include "FakeUiServices.h"
#include "KeyLockState.h"
#include "MainWidgets.h"
#include "OpenCommands.h"
#include "ScriptedActionList.h"
#include "Startup.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TFormMain.h"
#include "TFormSplash.h"
#include "TSettings.h"
#include "TerminationSignals.h"
#include "TestSupport.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <csignal>
#include <functional>
#include <memory>

class TestMainWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<TDataModuleMain> data_;
    // A data module for a window of the test, made when first asked for.
    TDataModuleMain &Data()
    {
        if (!data_)
            data_ = std::make_unique<TDataModuleMain>(Settings());
        return *data_;
    }

    std::unique_ptr<QTemporaryDir> dir_;

    QString Path(const QString &relative) const { return dir_->filePath(relative); }

    // Writes the settings the next window loads when it is shown.
    void PrepareSettings(const std::function<void(TSettings &)> &change)
    {
        TSettings &settings = Settings();
        settings.Load();
        settings.General.ConfirmOnExit = false;
        change(settings);
        settings.Save();
    }

    void MakeFiles(const QString &folder, const QStringList &names)
    {
        for (const QString &name : names)
            QVERIFY(WriteFileBytes(folder + QLatin1Char('/') + name, "x"));
    }

    static QListWidget *FileList(TFormMain &window)
    {
        return window.findChild<QListWidget *>(QStringLiteral("RzListBoxFileList"));
    }

    static QStringList Entries(TFormMain &window)
    {
        QStringList result;
        QListWidget *list = FileList(window);
        for (int row = 0; row < list->count(); ++row)
            result << list->item(row)->text();
        return result;
    }

    // With DRAVELIN_SHOTS=<folder> set, keeps a picture of the window there.
    static void SaveShot(QWidget *window, const QString &name)
    {
        const QString folder = qEnvironmentVariable("DRAVELIN_SHOTS");
        if (!folder.isEmpty())
            window->grab().save(folder + QLatin1Char('/') + name);
    }

private Q_SLOTS:
    void initTestCase() { UseTestStandardPaths(); }

    void init()
    {
        data_.reset();
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        TProgramLocation where;
        where.folder = Path(QStringLiteral("program"));
        where.baseName = QStringLiteral("dravelin");
        where.globalIniFolder = Path(QStringLiteral("config"));
        where.dataFolder = Path(QStringLiteral("data"));
        where.documentsFolder = Path(QStringLiteral("Documents"));
        QDir().mkpath(where.folder);
        QDir().mkpath(where.globalIniFolder);
        SetProgramLocation(where);
    }

    void commandsHaveCaptionHintAndShortcut_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("shortcut");
        const auto row = [](const char *action, const char *caption, const char *hint, const char *shortcut) {
            QTest::newRow(action) << QString::fromLatin1(action) << QString::fromUtf8(caption)
                                  << QString::fromUtf8(hint) << QString::fromLatin1(shortcut);
        };
        row("ActionNewAction", "New", "Create a new Action File and open it", "Ctrl+N");
        row("ActionOpenAction", "Open", "Open an existing Action File", "Ctrl+O");
        // Its toolbar button says "Open"; the menu entry carries the whole caption.
        row("ActionOpenDravelin", "Open", "Open an existing Dravelin File", "Alt+O");
        row("ActionDeleteAction", "Delete", "Remove the currently selected Action File", "");
        row("ActionExit", "Exit", "Exit Dravelin® Ostravine", "Alt+X");
        row("ActionSettings", "Settings", "Manage the global Settings of Dravelin® Ostravine", "");
        row("ActionAuxiliary", "Auxiliary", "Open the Folder for Auxiliary Files", "");
        row("ActionAbout", "About", "About Dravelin® Ostravine", "F1");
        row("ActionImportActor", "Copy Contacts from another Action File",
            "Copy Contacts from another Action File into the currently selected Action File", "");
        row("ActionRename", "Rename the selected Action File", "Rename the selected Action File", "F2");
        row("ActionMove", "Move the selected Action File", "Move the selected Action File", "");
        row("ActionChangeWorkSpace", "Change the current Workspace", "Change the current Workspace", "");
        row("ActionSaveDravelin", "Save as Dravelin File", "Save the current Action File as a Dravelin File",
            "Alt+S");
    }

    // Every command works now: none is left disabled, and each carries the
    // caption, hint and shortcut the user sees.
    void commandsHaveCaptionHintAndShortcut()
    {
        QFETCH(QString, action);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QFETCH(QString, shortcut);
        FakeUiServices ui;
        TFormMain window(Data(), {QStringLiteral("dravelin")});
        QCOMPARE(window.windowTitle(), QStringLiteral("Dravelin® Ostravine"));
        auto *command = window.findChild<QAction *>(action);
        QVERIFY(command);
        QVERIFY(command->isEnabled());
        QCOMPARE(command->iconText().remove(QLatin1Char('&')), caption);
        QCOMPARE(command->statusTip(), hint);
        QCOMPARE(command->shortcut().toString(), shortcut);
    }

    // The file list's context menu holds nothing the menu bar lacks, and F2
    // on the list renames, as in a file manager.
    void contextMenuCommandsAreInTheMenuBar()
    {
        FakeUiServices ui;
        PrepareSettings([](TSettings &) {});
        TFormMain window(Data(), {QStringLiteral("dravelin")});
        QList<QAction *> inMenus;
        for (QAction *menu : window.menuBar()->actions()) {
            QVERIFY(menu->menu());
            inMenus += menu->menu()->actions();
        }
        const auto *popup = window.findChild<QMenu *>(QStringLiteral("PopupMenuFileList"));
        QVERIFY(popup);
        for (QAction *command : popup->actions()) {
            if (!command->isSeparator())
                QVERIFY2(inMenus.contains(command), qPrintable(command->text()));
        }

        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QSignalSpy renamed(window.findChild<QAction *>(QStringLiteral("ActionRename")), &QAction::triggered);
        QTest::keyClick(FileList(window), Qt::Key_F2);
        QCOMPARE(renamed.count(), 1);
    }

    // New and a click on the new entry, as a user does them: the file is
    // created, its action list is shown, and the list names it afterwards.
    void newAndOpenFromTheWindow()
    {
        FakeUiServices ui;
        TDataModuleMain data(Settings());
        const QString workspace = Path(QStringLiteral("work"));
        QDir().mkpath(workspace);
        PrepareSettings([&](TSettings &settings) {
            settings.Folders.Actions = workspace;
            settings.Folders.Auxiliary = Path(QStringLiteral("Auxiliary"));
            settings.General.MakeBackup = false;
            settings.Actions.ConfirmOnExit = false;
        });
        TFormMain window(data, {QStringLiteral("dravelin")});
        window.show();
        QStringList shown;
        const auto recordShown = [&](QWidget *form) { shown << form->objectName(); };

        ui.chooseFile(workspace + QStringLiteral("/Report"));
        ui.onModal(recordShown);
        window.findChild<QAction *>(QStringLiteral("ActionNewAction"))->trigger();
        const QString created = workspace + QStringLiteral("/Report.act");
        QCOMPARE(shown, QStringList{QStringLiteral("FormActions")});
        QVERIFY(QFileInfo::exists(created));
        QVERIFY(QFileInfo(Path(QStringLiteral("Auxiliary/AUXILIARY_REPORT"))).isDir());
        QCOMPARE(Entries(window), QStringList{created});
        QVERIFY(!data.Tables.IsOpen());

        ui.onModal(recordShown);
        QListWidget *list = FileList(window);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QCOMPARE(shown.size(), 2);
        QVERIFY(!data.Tables.IsOpen());
        QVERIFY(ui.messages().isEmpty());
    }

    void listsActionFilesSortedWithoutCase()
    {
        const QString workspace = Path(QStringLiteral("work"));
        MakeFiles(workspace, {QStringLiteral("b.act"), QStringLiteral("A.act"), QStringLiteral("C.ACT"),
                              QStringLiteral("notes.txt"), QStringLiteral("b.act._actions"),
                              QStringLiteral("old.act.bak")});
        QVERIFY(QDir().mkpath(workspace + QStringLiteral("/folder.act")));
        QCOMPARE(
            ListActionFiles(workspace),
            QStringList({workspace + QStringLiteral("/A.act"), workspace + QStringLiteral("/b.act"),
                         workspace + QStringLiteral("/C.ACT"), workspace + QStringLiteral("/folder.act")}));
        QCOMPARE(ListActionFiles(workspace + QStringLiteral("/missing")), QStringList());
        QCOMPARE(ListActionFiles(QString()), QStringList());
    }

    void refreshShowsWorkspaceWithHeading_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("exists");
        QTest::newRow("two files") << QStringList{QStringLiteral("z.act"), QStringLiteral("m.act")} << true;
        QTest::newRow("empty folder") << QStringList() << true;
        QTest::newRow("missing folder") << QStringList() << false;
    }

    void refreshShowsWorkspaceWithHeading()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, exists);
        FakeUiServices ui;
        const QString workspace = Path(QStringLiteral("work space"));
        if (exists)
            QDir().mkpath(workspace);
        MakeFiles(workspace, files);
        PrepareSettings([&](TSettings &settings) { settings.Folders.Actions = workspace; });
        // The first-run step would create the missing Workspace.
        QVERIFY(WriteFileBytes(ProgramLocation().OnboardMarker(), {}));

        TFormMain window(Data(), {QStringLiteral("dravelin")});
        window.show();
        QCOMPARE(Entries(window).size(), files.size());
        if (!files.isEmpty())
            QCOMPARE(Entries(window).first(), workspace + QStringLiteral("/m.act"));
        QCOMPARE(FileList(window)->currentRow(), files.isEmpty() ? -1 : 0);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("RzPanelFileInfo"))->text(),
                 QStringLiteral("Available Action Files from \"") + workspace + QLatin1Char('"'));
    }

    // An empty Workspace shows in the list's own area how to begin and where
    // the Workspace is; the first file replaces the hint.
    void emptyWorkspaceShowsHowToBegin()
    {
        FakeUiServices ui;
        const QString workspace = Path(QStringLiteral("work"));
        QDir().mkpath(workspace);
        PrepareSettings([&](TSettings &settings) { settings.Folders.Actions = workspace; });
        QVERIFY(WriteFileBytes(ProgramLocation().OnboardMarker(), {}));
        TFormMain window(Data(), {QStringLiteral("dravelin")});
        window.show();
        auto *list = qobject_cast<TFileListBox *>(FileList(window));
        QVERIFY(list->HintShown());
        for (const QString &part : {QStringLiteral("New (Ctrl+N)"), QStringLiteral("Open (Ctrl+O)"),
                                    QStringLiteral("Open Dravelin File (Alt+O)"), workspace})
            QVERIFY2(list->EmptyHint().contains(part), qPrintable(part));
        // The hint is drawn where the entries would be.
        const QImage empty = list->viewport()->grab().toImage();
        MakeFiles(workspace, {QStringLiteral("a.act")});
        window.RefreshFileList();
        QVERIFY(!list->HintShown());
        QVERIFY(list->viewport()->grab().toImage() != empty);
    }

    void deleteAnsweredNoKeepsListAndSelection()
    {
        FakeUiServices ui;
        const QString workspace = Path(QStringLiteral("work"));
        QDir().mkpath(workspace);
        MakeFiles(workspace, {QStringLiteral("a.act"), QStringLiteral("b.act"), QStringLiteral("c.act")});
        PrepareSettings([&](TSettings &settings) { settings.Folders.Actions = workspace; });
        QVERIFY(WriteFileBytes(ProgramLocation().OnboardMarker(), {}));
        TFormMain window(Data(), {QStringLiteral("dravelin")});
        window.show();
        FileList(window)->setCurrentRow(2);
        // A file that appears meanwhile shows only when the list is refreshed.
        MakeFiles(workspace, {QStringLiteral("0.act")});
        ui.clear();
        ui.answer(IDNO);

        window.findChild<QAction *>(QStringLiteral("ActionDeleteAction"))->trigger();
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.messages()[0].caption, QStringLiteral("Delete Action File"));
        QCOMPARE(Entries(window).size(), 3);
        QCOMPARE(FileList(window)->currentRow(), 2);
        QCOMPARE(FolderEntries(workspace).size(), 4);
    }

    void openingFollowsSelectToggle_data()
    {
        QTest::addColumn<bool>("selectDown");
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QStringList>("opened");
        const QString first = QStringLiteral("a.act");
        const QString second = QStringLiteral("b.act");
        QTest::newRow("down, click") << true << QStringLiteral("click") << QStringList{second};
        QTest::newRow("down, arrow key") << true << QStringLiteral("key") << QStringList{second};
        QTest::newRow("up, click") << false << QStringLiteral("click") << QStringList();
        QTest::newRow("up, arrow key") << false << QStringLiteral("key") << QStringList();
        QTest::newRow("up, double click") << false << QStringLiteral("double") << QStringList{second};
        QTest::newRow("up, Return") << false << QStringLiteral("return") << QStringList{first};
    }

    void openingFollowsSelectToggle()
    {
        QFETCH(bool, selectDown);
        QFETCH(QString, gesture);
        QFETCH(QStringList, opened);
        FakeUiServices ui;
        // Choosing an entry opens it; these entries are folders, so opening
        // one ends with a message that names it.
        TDataModuleMain data(Settings());
        const QString workspace = Path(QStringLiteral("work"));
        QVERIFY(QDir().mkpath(workspace + QStringLiteral("/a.act")));
        QVERIFY(QDir().mkpath(workspace + QStringLiteral("/b.act")));
        PrepareSettings([&](TSettings &settings) { settings.Folders.Actions = workspace; });
        TFormMain window(data, {QStringLiteral("dravelin")});
        window.show();
        auto *select = window.findChild<QToolButton *>(QStringLiteral("RzToolButtonSelect"));
        QVERIFY(select->isChecked());
        if (!selectDown)
            select->click();
        QListWidget *list = FileList(window);
        const QPoint secondEntry = list->visualItemRect(list->item(1)).center();
        if (gesture == QLatin1String("click"))
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, secondEntry);
        else if (gesture == QLatin1String("double")) {
            // What a mouse sends: press, release, double click, release.
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, secondEntry);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, secondEntry);
            QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, secondEntry);
        } else if (gesture == QLatin1String("key"))
            QTest::keyClick(list, Qt::Key_Down);
        else
            QTest::keyClick(list, Qt::Key_Return);

        QStringList paths;
        for (const UiCall &message : ui.messages())
            if (message.caption == QLatin1String("File cannot be opened"))
                paths << message.text;
        for (QString &name : opened)
            name = QStringLiteral("The file \"") + workspace + QLatin1Char('/') + name +
                   QStringLiteral("\" cannot be opened");
        QCOMPARE(paths, opened);
    }

    void closeQuery_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("saveSettings");
        QTest::addColumn<bool>("closes");
        QTest::newRow("no question") << false << 0 << true << true;
        QTest::newRow("answered Yes") << true << int(IDYES) << true << true;
        QTest::newRow("answered No") << true << int(IDNO) << true << false;
        QTest::newRow("saving off") << false << 0 << false << true;
    }

    void closeQuery()
    {
        QFETCH(bool, confirm);
        QFETCH(int, answer);
        QFETCH(bool, saveSettings);
        QFETCH(bool, closes);
        FakeUiServices ui;
        if (confirm)
            ui.answer(MbResult(answer));
        PrepareSettings([&](TSettings &settings) {
            settings.General.ConfirmOnExit = confirm;
            settings.General.SaveSettings = saveSettings;
        });
        TFormMain window(Data(), {QStringLiteral("dravelin")});
        window.show();
        window.resize(700, 450);
        // Whatever the close writes shows up from here on.
        QVERIFY(QFile::remove(TSettings::IniFileName()));
        Settings().LastWindow.Width = -1;

        window.findChild<QAction *>(QStringLiteral("ActionExit"))->trigger();

        QCOMPARE(window.isVisible(), !closes);
        QCOMPARE(QFileInfo::exists(TSettings::IniFileName()), closes && saveSettings);
        QCOMPARE(Settings().LastWindow.Width, closes ? 700 : -1);
        QCOMPARE(ui.messages().size(), confirm ? 1 : 0);
        if (confirm) {
            QCOMPARE(ui.messages().first().text,
                     QStringLiteral("Would you really like to shut down Dravelin® Ostravine?"));
            QCOMPARE(ui.messages().first().caption, QStringLiteral("Close Dravelin® Ostravine"));
            QCOMPARE(ui.messages().first().flags, unsigned(MB_YESNO | MB_ICONQUESTION));
        }
        QCOMPARE(ui.busyDepth, 0);
    }

    void geometryOfLastRunIsRestored_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::newRow("restore on") << true;
        QTest::newRow("restore off") << false;
    }

    void geometryOfLastRunIsRestored()
    {
        QFETCH(bool, restore);
        FakeUiServices ui;
        PrepareSettings([&](TSettings &settings) { settings.General.SaveLastWindowSettings = restore; });
        {
            TFormMain window(Data(), {QStringLiteral("dravelin")});
            window.show();
            window.resize(640, 420);
            QVERIFY(window.close());
        }
        TFormMain next(Data(), {QStringLiteral("dravelin")});
        next.show();
        QCOMPARE(next.size(), restore ? QSize(640, 420) : QSize(840, 600));
    }

    // The first start creates the default folders and the first-run marker:
    // for an installed program in the user's documents and data folders,
    // never beside the program; for a portable copy beside it.
    void firstStartCreatesUserFilesOutsideTheProgramFolder_data()
    {
        QTest::addColumn<bool>("portable");
        QTest::addColumn<QStringList>("programFolder");
        QTest::addColumn<QString>("userFiles");
        QTest::addColumn<QString>("marker");
        QTest::newRow("installed") << false << QStringList() << QStringLiteral("Documents/Dravelin")
                                   << QStringLiteral("data/dravelin.onboard");
        QTest::newRow("portable") << true
                                  << QStringList{QStringLiteral("Actions"), QStringLiteral("Auxiliary"),
                                                 QStringLiteral("dravelin.ini"),
                                                 QStringLiteral("dravelin.localini"),
                                                 QStringLiteral("dravelin.onboard")}
                                  << QStringLiteral("program") << QStringLiteral("program/dravelin.onboard");
    }

    void firstStartCreatesUserFilesOutsideTheProgramFolder()
    {
        QFETCH(bool, portable);
        QFETCH(QStringList, programFolder);
        QFETCH(QString, userFiles);
        QFETCH(QString, marker);
        if (portable)
            QVERIFY(WriteFileBytes(ProgramLocation().LocalIniMarker(), {}));
        FakeUiServices ui;
        {
            TFormMain window(Data(), {QStringLiteral("dravelin")});
            window.show();
            QVERIFY(QFileInfo::exists(Path(marker)));
            for (const char *folder : {"/Actions", "/Auxiliary"})
                QVERIFY(QFileInfo(Path(userFiles) + QLatin1String(folder)).isDir());
            QCOMPARE(Settings().Folders.Actions, Path(userFiles) + QStringLiteral("/Actions"));
            Settings().General.ConfirmOnExit = false;
            QVERIFY(window.close());
        }
        QCOMPARE(FolderEntries(Path(QStringLiteral("program"))), programFolder);
    }

    void firstRunStepRunsOnlyWithoutMarker()
    {
        const QString marker = Path(QStringLiteral("program/dravelin.onboard"));
        const QStringList folders{Path(QStringLiteral("deep/actions")), QStringLiteral("  "),
                                  Path(QStringLiteral("aux"))};
        QVERIFY(RunFirstRunStep(marker, folders));
        QVERIFY(QFileInfo::exists(marker));
        QVERIFY(QFileInfo(folders.at(0)).isDir());
        QVERIFY(QFileInfo(folders.at(2)).isDir());

        QVERIFY(QDir(folders.at(0)).removeRecursively());
        QVERIFY(!RunFirstRunStep(marker, folders));
        QVERIFY(!QFileInfo::exists(folders.at(0)));

        QVERIFY(QFile::remove(marker));
        QVERIFY(RunFirstRunStep(marker, folders));
        QVERIFY(QFileInfo(folders.at(0)).isDir());
    }

    void commandLineContainer_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("taken");
        QTest::newRow("existing file") << QStringList{QStringLiteral("file.dravelin")} << true;
        QTest::newRow("missing file") << QStringList{QStringLiteral("gone.dravelin")} << false;
        QTest::newRow("two arguments")
            << QStringList{QStringLiteral("file.dravelin"), QStringLiteral("file.dravelin")} << false;
        QTest::newRow("none") << QStringList() << false;
        QTest::newRow("a folder") << QStringList{QStringLiteral("program")} << false;
    }

    void commandLineContainer()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, taken);
        QVERIFY(WriteFileBytes(Path(QStringLiteral("file.dravelin")), "x"));
        QStringList commandLine{QStringLiteral("dravelin")};
        for (const QString &argument : arguments)
            commandLine << Path(argument);
        QCOMPARE(CommandLineContainer(commandLine), taken ? commandLine.at(1) : QString());
    }

    void tempFilesDeletedWithDataModule()
    {
        const QByteArray oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", Path(QStringLiteral("tmp")).toLocal8Bit());
        QDir().mkpath(Path(QStringLiteral("tmp")));
        auto module = std::make_unique<TDataModuleMain>(Settings());
        const QString report = module->TempFiles.NewFileName(QStringLiteral("html"));
        const QString unpacked = module->TempFiles.NewFileName(QStringLiteral("act"));
        const QString member = unpacked + QStringLiteral("._log");
        module->TempFiles.Files << member;
        for (const QString &name : {report, unpacked, member})
            QVERIFY(WriteFileBytes(name, "data"));
        const QString kept = Path(QStringLiteral("tmp/other.html"));
        QVERIFY(WriteFileBytes(kept, "mine"));
        module.reset();
        qputenv("TMPDIR", oldTemp);

        // Inside the run's own folder in the temporary folder, which goes too.
        const QString folder = QFileInfo(report).path();
        QCOMPARE(QFileInfo(folder).path(), Path(QStringLiteral("tmp")));
        QVERIFY(QFileInfo(report).fileName().startsWith(QStringLiteral("dravelin$")));
        QVERIFY(!QFileInfo::exists(folder));
        for (const QString &name : {report, unpacked, member})
            QVERIFY2(!QFileInfo::exists(name), qPrintable(name));
        QVERIFY(QFileInfo::exists(kept));
    }

    // Changes to a Dravelin File that a run ended before writing back are
    // offered when the main window is first shown, and go into the Dravelin
    // File on Yes.
    void firstShowOffersChangesToRecover()
    {
        FakeUiServices ui;
        const QString tmp = Path(QStringLiteral("tmp"));
        const QByteArray oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp.toLocal8Bit());
        // A process that has ended, and its folder.
        QProcess ended;
        ended.start(QStringLiteral("sleep"), {QStringLiteral("0")});
        QVERIFY(ended.waitForStarted());
        const qint64 pid = ended.processId();
        QVERIFY(ended.waitForFinished());
        const QString run = tmp + QStringLiteral("/dravelin-%1-AbCdEf").arg(pid);
        QVERIFY(QDir().mkpath(run));
        const QString unpacked = run + QStringLiteral("/dravelin$1.act");
        const QString container = Path(QStringLiteral("Plan.dravelin"));
        {
            TDataModuleMain data(Settings());
            QVERIFY_THROWS_NO_EXCEPTION(data.Tables.Open(unpacked, true));
            data.Tables.Close();
            QVERIFY_THROWS_NO_EXCEPTION(TCDSParser(unpacked, container).Pack());
            QVERIFY_THROWS_NO_EXCEPTION(data.Tables.Open(unpacked, false));
            data.cdsAction->Edit();
            data.cdsAction->FieldByName(QStringLiteral("TITLE")).SetAsString(QStringLiteral("Recovered"));
            data.cdsAction->Post();
            data.Tables.Close();
        }
        QVERIFY(WriteFileBytes(unpacked + QStringLiteral(".recover"), container.toUtf8()));
        const QByteArray before = ReadFileBytes(container);
        ui.answer(IDYES);
        {
            TDataModuleMain data(Settings());
            TFormMain window(data, {QStringLiteral("dravelin")});
            window.show();
        }
        qputenv("TMPDIR", oldTemp);
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.messages().first().caption, QStringLiteral("Recover Changes"));
        QVERIFY(ReadFileBytes(container) != before);
        QVERIFY(!QFileInfo::exists(run));
    }

    void bottomPictureOpensAddress_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("address") << QStringLiteral("https://example.org/dravelin");
        QTest::newRow("empty") << QString();
    }

    void bottomPictureOpensAddress()
    {
        QFETCH(QString, url);
        FakeUiServices ui;
        PrepareSettings([&](TSettings &settings) {
            settings.General.ShowBottomPanel = true;
            settings.General.DravelinURL = url;
            settings.General.DravelinHint = QStringLiteral("Visit us");
        });
        TFormMain window(Data(), {QStringLiteral("dravelin")});
        window.show();
        auto *picture = window.findChild<TClickableImage *>(QStringLiteral("ImageDravelin"));
        QVERIFY(picture->isVisible());
        QCOMPARE(picture->toolTip(), QStringLiteral("Visit us"));
        QTest::mouseClick(picture, Qt::LeftButton);
        QList<UiCall> opened;
        for (const UiCall &call : std::as_const(ui.calls))
            if (call.kind == UiCall::Shell)
                opened << call;
        QCOMPARE(opened.size(), url.isEmpty() ? 0 : 1);
        if (!url.isEmpty())
            QCOMPARE(opened.first().text, url);
    }

    void bottomStripFollowsPanelSetting()
    {
        FakeUiServices ui;
        PrepareSettings([&](TSettings &settings) { settings.General.ShowBottomPanel = false; });
        TFormMain window(Data(), {QStringLiteral("dravelin")});
        window.show();
        auto *strip = window.findChild<QWidget *>(QStringLiteral("RzPanelInfo"));
        QVERIFY(!strip->isVisible());
        window.findChild<QToolButton *>(QStringLiteral("RzToolButtonShowBottomPanel"))->click();
        QVERIFY(strip->isVisible());
        QVERIFY(window.findChild<QWidget *>(QStringLiteral("RzPanelFileBufferBottom"))->isVisible());
        QCOMPARE(Settings().General.ShowBottomPanel, false);
    }

    void lockKeyIndicator_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("caps lit on one keyboard") << int(LockKey::Caps) << QStringLiteral("CAPS");
        QTest::newRow("num dark") << int(LockKey::Num) << QString();
    }

    void lockKeyIndicator()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        const QString leds = Path(QStringLiteral("leds"));
        QVERIFY(WriteFileBytes(leds + QStringLiteral("/input3::capslock/brightness"), "0\n"));
        QVERIFY(WriteFileBytes(leds + QStringLiteral("/input7::capslock/brightness"), "1\n"));
        QVERIFY(WriteFileBytes(leds + QStringLiteral("/input3::numlock/brightness"), "0\n"));
        QVERIFY(WriteFileBytes(leds + QStringLiteral("/input3::scrolllock/brightness"), "1\n"));
        QCOMPARE(LockKeyIndicator(LockKey(key), leds), text);
        QCOMPARE(LockKeyIndicator(LockKey(key), Path(QStringLiteral("no-leds"))), QString());
    }

    void settingsCommandRefreshesChangedWorkspace_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("entries");
        QTest::newRow("other folder") << QStringLiteral("second") << 1;
        QTest::newRow("same folder") << QStringLiteral("first") << 2;
    }

    void settingsCommandRefreshesChangedWorkspace()
    {
        QFETCH(QString, typed);
        QFETCH(int, entries);
        FakeUiServices ui;
        MakeFiles(Path(QStringLiteral("first")), {QStringLiteral("a.act"), QStringLiteral("b.act")});
        MakeFiles(Path(QStringLiteral("second")), {QStringLiteral("c.act")});
        PrepareSettings([&](TSettings &settings) {
            settings.Folders.Actions = Path(QStringLiteral("first"));
            settings.Folders.Dravelin = Path(QStringLiteral("first"));
            settings.Folders.Auxiliary = Path(QStringLiteral("first"));
        });
        TFormMain window(Data(), {QStringLiteral("dravelin")});
        window.show();
        // The user's own files added since the last refresh show only when
        // the list is refreshed.
        MakeFiles(Path(QStringLiteral("first")), {QStringLiteral("new.act")});
        ui.onModal([&](QWidget *form) {
            form->findChild<QLineEdit *>(QStringLiteral("EditFolderActions"))->setText(Path(typed));
            form->findChild<QLineEdit *>(QStringLiteral("EditDravelinHint"))
                ->setText(QStringLiteral("New hint"));
            form->findChild<QPushButton *>(QStringLiteral("RzBitBtnOK"))->click();
        });
        window.findChild<QAction *>(QStringLiteral("ActionSettings"))->trigger();
        QCOMPARE(Entries(window).size(), entries);
        QCOMPARE(window.findChild<QWidget *>(QStringLiteral("ImageDravelin"))->toolTip(),
                 QStringLiteral("New hint"));
    }

    void splashNamesProduct()
    {
        TFormSplash splash;
        splash.show();
        QCOMPARE(splash.findChild<QLabel *>(QStringLiteral("LabelProduct"))->text(),
                 QStringLiteral("Dravelin® Ostravine"));
        SaveShot(&splash, QStringLiteral("splash.png"));
    }

    void aboutCaptionNamesIniFile_data()
    {
        QTest::addColumn<bool>("local");
        QTest::addColumn<QString>("caption");
        QTest::newRow("global") << false << QStringLiteral("About Dravelin® Ostravine [GLOBAL Ini File]");
        QTest::newRow("local") << true << QStringLiteral("About Dravelin® Ostravine [LOCAL Ini File]");
    }

    void aboutCaptionNamesIniFile()
    {
        QFETCH(bool, local);
        QFETCH(QString, caption);
        FakeUiServices ui;
        if (local)
            QVERIFY(WriteFileBytes(ProgramLocation().LocalIniMarker(), {}));
        TFormMain window(Data(), {QStringLiteral("dravelin")});
        QString shown;
        ui.onModal([&](QWidget *form) {
            shown = form->windowTitle();
            SaveShot(form, QStringLiteral("about.png"));
        });
        window.findChild<QAction *>(QStringLiteral("ActionAbout"))->trigger();
        QCOMPARE(shown, caption);
    }

    void aboutLocalIniButtonRewritesCaption()
    {
        FakeUiServices ui;
        ui.answer(IDYES);
        TFormMain window(Data(), {QStringLiteral("dravelin")});
        QString shown;
        ui.onModal([&](QWidget *form) {
            form->findChild<QPushButton *>(QStringLiteral("ButtonLocalIni"))->click();
            shown = form->windowTitle();
        });
        window.findChild<QAction *>(QStringLiteral("ActionAbout"))->trigger();
        QVERIFY(QFileInfo::exists(ProgramLocation().LocalIniMarker()));
        QCOMPARE(shown, QStringLiteral("About Dravelin® Ostravine [LOCAL Ini File]"));
    }

    void terminationSignalEndsLikeExitWithoutQuestions_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("container");
        QTest::newRow("SIGTERM, Action File") << int(SIGTERM) << false;
        QTest::newRow("SIGHUP, Dravelin File") << int(SIGHUP) << true;
    }

    void terminationSignalEndsLikeExitWithoutQuestions()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, container);
        TDataModuleMain data(Settings());
        const QString work = Path(QStringLiteral("work"));
        QVERIFY(QDir().mkpath(work));
        const QString actFile = work + QStringLiteral("/Plan.act");
        const QString containerFile = work + QStringLiteral("/Plan.dravelin");
        {
            FakeUiServices setup;
            ScriptedList().Set({});
            QVERIFY(NewActionFile(data, ScriptedList(), actFile));
            if (container) {
                QVERIFY_THROWS_NO_EXCEPTION(TCDSParser(actFile, containerFile).Pack());
                QVERIFY(QFile::remove(actFile));
            }
        }
        // Every question that Exit and closing the list could ask is on.
        PrepareSettings([&](TSettings &settings) {
            settings.Folders.Actions = work;
            settings.Folders.Dravelin = work;
            settings.General.ConfirmOnExit = true;
            settings.General.SaveSettings = true;
            settings.General.MakeBackup = false;
            settings.Actions.ConfirmOnExit = true;
        });
        FakeUiServices ui;
        TFormMain window(data, {QStringLiteral("dravelin")});
        window.show();
        Settings().Company.Name = QStringLiteral("Changed while running");
        TTerminationSignals terminationSignals;
        connect(&terminationSignals, &TTerminationSignals::Received, &window,
                &TFormMain::EndWithoutQuestions);
        QSignalSpy received(&terminationSignals, &TTerminationSignals::Received);
        bool closedBySignal = false;
        ui.onModal([&](QWidget *form) {
            // Modal as in the running program, with an action not yet written.
            form->hide();
            form->setWindowModality(Qt::ApplicationModal);
            form->show();
            data.cdsActions->Append();
            data.cdsActions->FieldByName(QStringLiteral("ID")).SetAsInteger(data.NextId(rkAction));
            data.cdsActions->FieldByName(QStringLiteral("ID_ACTION")).SetAsString(QStringLiteral("Unsaved"));
            data.cdsActions->Post();
            // The handler only wakes the event loop; the work happens there.
            ::raise(signalNumber);
            QVERIFY(received.wait(30000));
            closedBySignal = !form->isVisible();
        });
        ui.chooseFile(container ? containerFile : actFile);
        window
            .findChild<QAction *>(container ? QStringLiteral("ActionOpenDravelin")
                                            : QStringLiteral("ActionOpenAction"))
            ->trigger();

        QVERIFY(closedBySignal);
        QCOMPARE(received.first().first().toInt(), signalNumber);
        QVERIFY(ui.messages().isEmpty());
        QVERIFY(!window.isVisible());
        QVERIFY(ReadFileBytes(ProgramLocation().GlobalIniFile()).contains("\nName=Changed while running\n"));
        QVERIFY(!data.Tables.IsOpen());
        // The action reached the file, or the Dravelin File through its write-back.
        QString written = actFile;
        if (container) {
            TCDSParser parser(containerFile, data.TempFiles);
            written = parser.ActFileName();
            QVERIFY(parser.Unpack());
        }
        QVERIFY_THROWS_NO_EXCEPTION(data.Tables.Open(written, false));
        QCOMPARE(data.cdsActions->RecordCount(), 1);
        data.Tables.Close();
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
