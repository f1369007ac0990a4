#include "AppError.h"
#include "FakeUiServices.h"
#include "OpenCommands.h"
#include "ScriptedActionList.h"
#include "TApplication.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TFormMain.h"
#include "TSettings.h"
#include "TTables.h"
#include "TestSupport.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <stdexcept>
#include <sys/stat.h>

namespace {
// A receiver whose handler fails the way a command's handler may.
class TFailingReceiver : public QObject {
public:
    QString message;
    bool appError = true;
    bool notSaved = false;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        if (notSaved)
            throw TNotSavedError(message);
        if (appError)
            throw AppError(message);
        throw std::runtime_error(message.toStdString());
    }
};
// Files below folder whose names match pattern.
QStringList FilesBelow(const QString &folder, const QString &pattern)
{
    QStringList found;
    QDirIterator it(folder, {pattern}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

qint64 ModifiedNs(const QString &fileName)
{
    struct stat status {};
    ::stat(QFile::encodeName(fileName).constData(), &status);
    return qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
}
} // namespace

class TestApplication : public QObject {
    Q_OBJECT
    std::unique_ptr<TDataModuleMain> data_;
    // A data module for a window of the test, made when first asked for.
    TDataModuleMain &Data()
    {
        if (!data_)
            data_ = std::make_unique<TDataModuleMain>(Settings());
        return *data_;
    }
private Q_SLOTS:
    void initTestCase() { UseTestStandardPaths(); }

    // A display name of its own would be appended by the desktop to every
    // window title, so the main window would read "Dravelin® Ostravine —
    // Dravelin"; without one (it is then the application name) the titles
    // stay as the windows give them.
    void windowTitlesAreNotSuffixed()
    {
        QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
        QVERIFY(!QGuiApplication::applicationDisplayName().contains(QStringLiteral("Dravelin")));
    }

    void errorTextHasFourParts()
    {
        QCOMPARE(
            TApplication::ApplicationErrorText(QStringLiteral("Disk full")),
            QStringLiteral("An application error has occured, yielding the message mentioned hereunder. The "
                           "best thing to do is close the application, startup again, and confront the "
                           "Brenmoor R&D Team with this.\r\n\r\nShould you nonetheless recognize this "
                           "message, and know for a fact that nothing is wrong, then please continue "
                           "working.\r\n\r\nDo you want to shut down the application?\r\n\r\nThe error "
                           "message is: \"Disk full\""));
    }

    void escapedErrorIsReported_data()
    {
        QTest::addColumn<bool>("appError");
        QTest::addColumn<QString>("message");
        QTest::newRow("program error") << true << QStringLiteral("Unable to write to /x/dravelin.ini");
        QTest::newRow("library error") << false << QStringLiteral("bad_alloc");
    }

    void escapedErrorIsReported()
    {
        QFETCH(bool, appError);
        QFETCH(QString, message);
        FakeUiServices ui;
        ui.answer(IDNO);
        TFailingReceiver receiver;
        receiver.appError = appError;
        receiver.message = message;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&receiver, &event);
        QCOMPARE(ui.messages().size(), 1);
        const UiCall box = ui.messages().first();
        QCOMPARE(box.text, TApplication::ApplicationErrorText(message));
        QCOMPARE(box.caption, QStringLiteral("Application Error"));
        QCOMPARE(box.flags, unsigned(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
    }

    // A change that could not be written is told as such, not as an error
    // of the program, and the program goes on without asking.
    void changesNotSavedAreToldAsSuch()
    {
        FakeUiServices ui;
        TFailingReceiver receiver;
        receiver.notSaved = true;
        receiver.message = QStringLiteral("Cannot write \"/x/Plan.act._log\": database or disk is full");
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&receiver, &event);
        QCOMPARE(ui.messages().size(), 1);
        const UiCall box = ui.messages().first();
        QCOMPARE(box.text, TApplication::NotSavedText(receiver.message));
        QVERIFY(
            box.text.startsWith(QStringLiteral("Your changes could not be saved.\n\n") + receiver.message));
        QCOMPARE(box.caption, QStringLiteral("Changes Not Saved"));
        QCOMPARE(box.flags, unsigned(MB_OK | MB_ICONERROR));
    }

    void answerDecidesWhetherProgramEnds_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("Yes shuts down") << int(IDYES) << 1;
        QTest::newRow("No carries on") << int(IDNO) << 0;
    }

    void answerDecidesWhetherProgramEnds()
    {
        QFETCH(int, answer);
        QFETCH(int, exitCode);
        FakeUiServices ui;
        ui.answer(MbResult(answer));
        TFailingReceiver receiver;
        receiver.message = QStringLiteral("boom");
        QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
        // Reached only when the loop survived the error.
        QTimer carryOn;
        carryOn.setSingleShot(true);
        connect(&carryOn, &QTimer::timeout, [] { QCoreApplication::exit(0); });
        carryOn.start(100);
        QCOMPARE(QCoreApplication::exec(), exitCode);
        QCOMPARE(ui.messages().size(), 1);
    }

    void failedSettingsSaveKeepsWindowOpen()
    {
        QTemporaryDir dir;
        TProgramLocation where;
        where.folder = dir.filePath(QStringLiteral("program"));
        where.baseName = QStringLiteral("dravelin");
        where.globalIniFolder = dir.filePath(QStringLiteral("config"));
        SetProgramLocation(where);
        // A folder where the INI file belongs cannot be replaced by a file.
        QVERIFY(QDir().mkpath(where.GlobalIniFile()));
        FakeUiServices ui;
        ui.answer(IDNO);
        TFormMain window(Data(), {QStringLiteral("dravelin")});
        window.show();
        Settings().General.ConfirmOnExit = false;
        Settings().General.SaveSettings = true;

        window.findChild<QAction *>(QStringLiteral("ActionExit"))->trigger();

        QVERIFY(window.isVisible());
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.messages().first().caption, QStringLiteral("Application Error"));
        QVERIFY(ui.messages().first().text.contains(where.GlobalIniFile()));
        QCOMPARE(ui.busyDepth, 0);
    }

    void terminationSignalEndsTheRunningProgram()
    {
        // The program, started on a Dravelin File as from a file manager,
        // gets SIGTERM while its action list is open.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString program = dir.filePath(QStringLiteral("program"));
        const QString work = dir.filePath(QStringLiteral("work"));
        const QString config = dir.filePath(QStringLiteral("config"));
        const QString temp = dir.filePath(QStringLiteral("tmp"));
        for (const QString &folder : {program, work, config, temp, dir.filePath(QStringLiteral("run"))})
            QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("run")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        // A copy of the program keeps its folder (and what it writes there) here.
        QVERIFY(QFile::copy(QStringLiteral(DRAVELIN_EXE), program + QStringLiteral("/dravelin")));
        const QString container = work + QStringLiteral("/Plan.dravelin");
        {
            FakeUiServices ui;
            TDataModuleMain data(Settings());
            ScriptedList().Set({});
            const QString actFile = work + QStringLiteral("/Plan.act");
            QVERIFY(NewActionFile(data, ScriptedList(), actFile));
            QVERIFY_THROWS_NO_EXCEPTION(TCDSParser(actFile, container).Pack());
        }
        const QByteArray ini =
            "[General]\nSaveSettings=1\nConfirmOnExit=1\nMakeBackup=0\n[Folders]\nActions=" + work.toUtf8() +
            "\nDravelin=" + work.toUtf8() + "\nAuxiliary=" + work.toUtf8() + "\n[Actions]\nConfirmOnExit=1\n";
        QVERIFY(WriteFileBytes(config + QStringLiteral("/dravelin.ini"), ini));
        const qint64 packed = ModifiedNs(container);

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("HOME"), dir.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("run")));
        environment.insert(QStringLiteral("TMPDIR"), temp);
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(program + QStringLiteral("/dravelin"), {container});
        QVERIFY(child.waitForStarted());
        // The unpacked Action File's lock appears just before the list opens.
        QTRY_VERIFY_WITH_TIMEOUT(!FilesBelow(temp, QStringLiteral("*.act.lock")).isEmpty() ||
                                     child.state() == QProcess::NotRunning,
                                 60000);
        QCOMPARE(child.state(), QProcess::Running);
        QVERIFY(QFileInfo::exists(container + QStringLiteral(".lock")));

        ::kill(pid_t(child.processId()), SIGTERM);
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        // Written back, unlocked, temporary files gone, settings saved.
        QVERIFY(ModifiedNs(container) != packed);
        QVERIFY(!QFileInfo::exists(container + QStringLiteral(".lock")));
        QCOMPARE(FilesBelow(temp, QStringLiteral("dravelin*")), QStringList());
        QVERIFY(ReadFileBytes(config + QStringLiteral("/dravelin.ini")).contains("\n[LastWindow]\n"));
    }
};

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
