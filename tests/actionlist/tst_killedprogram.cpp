#include "ActionFileLock.h"
#include "ContainerCommands.h"
#include "ContainerWriteBack.h"
#include "FakeUiServices.h"
#include "OpenCommands.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TFormActions.h"
#include "TSettings.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <cstdio>

// The program is ended by SIGKILL right after the user saved a new action
// with OK in the action editor: the action is in the Action File when it is
// opened again, and for a Dravelin File the next start offers the change for
// recovery and writes it into the container when the user agrees.
namespace {

const QString kSurvivor = QStringLiteral("Survivor");

// The child: opens file in the real action list, enters a new action with
// the editor's OK, says so and waits to be killed.
int RunEditor(int argc, char **argv, const QString &file)
{
    QApplication app(argc, argv);
    FakeUiServices ui;
    TDataModuleMain data(Settings());
    Settings() = TSettings();
    Settings().General.MakeBackup = false;
    TActionListWindow window(nullptr);
    ui.onModal([&](QWidget *list) {
        ui.onModal([](QWidget *editor) {
            auto *id = Child<QLineEdit>(editor, QStringLiteral("EditID_ACTION"));
            QTest::keyClicks(id, kSurvivor);
            QTest::mouseClick(Child<QPushButton>(editor, QStringLiteral("ButtonOK")), Qt::LeftButton);
        });
        qobject_cast<TFormActions *>(list)->ActionNew->trigger();
        std::fputs("posted\n", stdout);
        std::fflush(stdout);
        for (;;)
            QThread::sleep(1);
    });
    if (file.endsWith(QStringLiteral(".dravelin")))
        OpenDravelinFile(data, window, file);
    else
        OpenActionFile(data, window, file, false);
    return 1;
}

QStringList ActionIds(const QString &actFile)
{
    TDataModuleMain data(Settings());
    data.Tables.Open(actFile, false);
    data.cdsActions->SetFiltered(false);
    QStringList ids;
    for (data.cdsActions->First(); !data.cdsActions->Eof(); data.cdsActions->Next())
        ids << data.cdsActions->FieldByName(QStringLiteral("ID_ACTION")).AsString();
    data.Tables.Close();
    return ids;
}

// The actions of a container, read from a copy unpacked for the purpose.
QStringList ContainerActionIds(const QString &container, TGlobalTempFiles &temp)
{
    TCDSParser parser(container, temp);
    if (!parser.Unpack())
        return {QStringLiteral("<not unpacked>")};
    return ActionIds(parser.ActFileName());
}

} // namespace

class TestKilledProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void postedActionSurvivesAKill_data();
    void postedActionSurvivesAKill();

private:
    QTemporaryDir temp_;
};

void TestKilledProgram::initTestCase()
{
    UseTestStandardPaths();
    QVERIFY(temp_.isValid());
}

void TestKilledProgram::postedActionSurvivesAKill_data()
{
    QTest::addColumn<bool>("container");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("inUse");
    QTest::newRow("Action File") << false << 0 << false;
    QTest::newRow("Dravelin File, recovered") << true << int(IDYES) << false;
    QTest::newRow("Dravelin File, recovery declined") << true << int(IDNO) << false;
    QTest::newRow("Dravelin File in use, recovered later") << true << int(IDYES) << true;
}

void TestKilledProgram::postedActionSurvivesAKill()
{
    QFETCH(bool, container);
    QFETCH(int, answer);
    QFETCH(bool, inUse);
    static int run = 0;
    const QString base = temp_.filePath(QString::number(++run));
    const QString tmp = base + "/tmp";
    QVERIFY(QDir().mkpath(tmp));
    const QString actFile = base + "/Plan.act";
    const QString containerFile = base + "/Plan.dravelin";
    {
        TDataModuleMain data(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(data.Tables.Open(actFile, true));
        data.Tables.Close();
    }
    if (container) {
        QVERIFY_THROWS_NO_EXCEPTION(TCDSParser(actFile, containerFile).Pack());
        QVERIFY(QFile::remove(actFile));
    }
    const QString opened = container ? containerFile : actFile;
    const QByteArray before = ReadFileBytes(opened);

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", tmp);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--edit"), opened});
    QVERIFY(program.waitForReadyRead(30'000));
    QCOMPARE(program.readLine(), QByteArray("posted\n"));
    program.kill();
    QVERIFY(program.waitForFinished(10'000));
    QCOMPARE(program.exitStatus(), QProcess::CrashExit);

    // The lock died with its holder.
    TFileLock lock(opened);
    QCOMPARE(lock.TryLock(), TFileLock::Locked);
    lock.Unlock();
    if (!container) {
        QCOMPARE(ActionIds(actFile), QStringList{kSurvivor});
        return;
    }
    // Killed before the write-back was due: the container is as it was
    // until the user answers.
    QCOMPARE(ReadFileBytes(containerFile), before);
    TGlobalTempFiles::RemoveFoldersOfEndedRuns(tmp);
    QCOMPARE(TGlobalTempFiles::RecoverableFolders(tmp).size(), 1);
    if (inUse) {
        // Another program has the container open: nothing is written, and
        // the changes are offered again.
        FakeUiServices ui;
        ui.answer(IDYES);
        TFileLock other(containerFile);
        QCOMPARE(other.TryLock(), TFileLock::Locked);
        OfferRecovery(tmp);
        QCOMPARE(ui.messages().size(), 2);
        QVERIFY(ui.messages()[1].text.endsWith(QStringLiteral("They are offered again at the next start.")));
        QCOMPARE(ui.messages()[1].flags, unsigned(MB_OK | MB_ICONWARNING));
        QCOMPARE(ReadFileBytes(containerFile), before);
        QCOMPARE(TGlobalTempFiles::RecoverableFolders(tmp).size(), 1);
    }
    FakeUiServices ui;
    ui.answer(MbResult(answer));
    OfferRecovery(tmp);
    QCOMPARE(ui.messages().size(), 1);
    QCOMPARE(ui.messages()[0].caption, QStringLiteral("Recover Changes"));
    QVERIFY2(ui.messages()[0].text.contains(QLatin1Char('"') + containerFile + QLatin1Char('"')),
             qPrintable(ui.messages()[0].text));
    QCOMPARE(ui.messages()[0].flags, unsigned(MB_YESNO | MB_ICONQUESTION));
    QVERIFY(TGlobalTempFiles::RecoverableFolders(tmp).isEmpty());
    QCOMPARE(QDir(tmp).entryList({QStringLiteral("dravelin-*")}, QDir::Dirs), QStringList());
    if (answer == IDNO) {
        QCOMPARE(ReadFileBytes(containerFile), before);
        return;
    }
    TGlobalTempFiles unpacked(tmp);
    QCOMPARE(ContainerActionIds(containerFile, unpacked), QStringList{kSurvivor});
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--edit") == 0)
        return RunEditor(argc, argv, QString::fromLocal8Bit(argv[2]));
    QApplication app(argc, argv);
    TestKilledProgram test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_killedprogram.moc"
