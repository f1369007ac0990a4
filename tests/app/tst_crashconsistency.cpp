#include "AppError.h"
#include "Backup.h"
#include "FakeUiServices.h"
#include "FileCommands.h"
#include "OpenCommands.h"
#include "ScriptedActionList.h"
#include "TACTFiles.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <cstdio>
#include <sqlite3.h>

// A child process saves an Action File over and over and is killed at random
// moments, inside its commits. After every kill the six files are opened,
// backed up, renamed and have their contacts copied; every table file that
// results holds one whole state its saver wrote, never a mix, and the two
// tables each save changes together hold the same save.
namespace {
constexpr int kRecords = 20;
// Each save changes the actions and the contacts in one command: four of
// every five saves change a quarter of the records, every fifth changes them
// all.
bool FullSave(int generation)
{
    return generation % 5 == 0;
}

// What a table holds after `generation` saves: for each record the number
// of the last save that changed it.
QStringList StateAfter(int generation)
{
    QStringList values(kRecords, QStringLiteral("0"));
    for (int g = 1; g <= generation; ++g)
        for (int k = 0; k < kRecords; ++k)
            if (FullSave(g) || k % 4 == g % 4)
                values[k] = QString::number(g);
    return values;
}

struct Table {
    const char *name;
    const char *field;
    int column;
};
const Table kActions{"cdsActions", "SYNOPSIS", 8};
const Table kActor{"cdsActor", "LAST_NAME", 7};

// The values of the table's field in file order, read without changing the
// file; empty when the file cannot be read.
QStringList ReadState(const QString &fileName, const Table &table)
{
    QStringList values;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        const QByteArray sql = QStringLiteral("SELECT \"%1\" FROM \"%2\" ORDER BY rowid")
                                   .arg(QLatin1String(table.field), QLatin1String(table.name))
                                   .toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK)
            while (sqlite3_step(stmt) == SQLITE_ROW)
                values << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return values;
}

// The save a state belongs to, or -1 when it is no whole state.
int GenerationOf(const QStringList &values)
{
    int generation = 0;
    for (const QString &value : values)
        generation = std::max(generation, value.toInt());
    return values.size() == kRecords && StateAfter(generation) == values ? generation : -1;
}

void ChangeTable(TTable &table, const Table &which)
{
    table.SetFiltered(false);
    table.SetIndexName(QString());
    int generation = 0;
    for (int row = 0; row < table.RecordCount(); ++row)
        generation = std::max(generation, table.ValueAt(row, which.column).toString().toInt());
    ++generation;
    for (int k = 0; k < table.RecordCount(); ++k) {
        if (!FullSave(generation) && k % 4 != generation % 4)
            continue;
        table.SetRecNo(k);
        table.Edit();
        table.FieldByName(QLatin1String(which.field)).SetAsString(QString::number(generation));
        table.Post();
    }
}

// The child: saves the Action File until it is killed.
int RunSaver(int argc, char **argv, const QString &actFile)
{
    QCoreApplication app(argc, argv);
    FakeUiServices ui;
    TDataModuleMain data(Settings());
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (;;) {
        try {
            data.Tables.Open(actFile, false);
        } catch (const AppError &) {
            return 2;
        }
        TChangeScope save(data.Tables);
        ChangeTable(*data.cdsActions, kActions);
        ChangeTable(*data.cdsActor, kActor);
        save.Commit();
        data.Tables.Close();
        data.Tables.Reset();
    }
}

QStringList Journals(const QString &folder)
{
    QStringList found;
    QDirIterator it(folder, {QStringLiteral("*-journal")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

void CopyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QString &name : FolderEntries(from))
        if (QFileInfo(from + '/' + name).isFile())
            QFile::copy(from + '/' + name, to + '/' + name);
}
} // namespace

class TestCrashConsistency : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void killedSavesLeaveWholeStates();
};

void TestCrashConsistency::killedSavesLeaveWholeStates()
{
    UseTestStandardPaths();
    QTemporaryDir temp;
    const QString work = temp.filePath("Work");
    QVERIFY(QDir().mkpath(work));
    const QString actFile = work + "/Plan.act";
    TDataModuleMain data(Settings());
    Settings() = TSettings();
    Settings().General.MakeBackup = false;
    Settings().Folders.Actions = work;
    {
        FakeUiServices ui;
        QVERIFY_THROWS_NO_EXCEPTION(data.Tables.Open(actFile, true));
        for (int k = 0; k < kRecords; ++k) {
            QVariantList action(data.cdsActions->FieldCount());
            action[0] = k + 1;
            action[kActions.column] = QStringLiteral("0");
            data.cdsActions->AppendRecord(action);
            QVariantList actor(data.cdsActor->FieldCount());
            actor[0] = QString::number(k + 1);
            actor[kActor.column] = QStringLiteral("0");
            data.cdsActor->AppendRecord(actor);
        }
        data.Tables.Close();
        data.Tables.Reset();
    }
    const QString templateFolder = temp.filePath("Template");
    CopyFolder(work, templateFolder);

    int kills = 0;
    int inPlace = 0;
    int lastActions = 0;
    int lastContacts = 0;
    QElapsedTimer clock;
    clock.start();
    while (kills < 60 && clock.elapsed() < 45'000) {
        QProcess saver;
        saver.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--saver"), actFile});
        QVERIFY(saver.waitForReadyRead(10'000));
        QThread::usleep(QRandomGenerator::global()->bounded(2'000, 40'000));
        saver.kill();
        QVERIFY(saver.waitForFinished(10'000));
        QCOMPARE(saver.exitStatus(), QProcess::CrashExit);
        ++kills;
        if (!Journals(work).isEmpty())
            ++inPlace;

        // The files as the kill left them, journals and leftovers included.
        const QString run = temp.filePath(QStringLiteral("Run%1").arg(kills));
        CopyFolder(work, run);
        CopyFolder(templateFolder + QStringLiteral("/"), run + QStringLiteral("/t"));
        const TACTFiles target(run + QStringLiteral("/Target.act"));
        const TACTFiles templ(run + QStringLiteral("/t/Plan.act"));
        for (int i = 0; i < TACTFiles::Count; ++i)
            QVERIFY(QFile::rename(templ.Name(i), target.Name(i)));

        FakeUiServices ui;
        BackupActionFile(run + QStringLiteral("/Plan.act"));
        ui.answerInput(QStringLiteral("Renamed"));
        QVERIFY(RenameActionFileCommand(run + QStringLiteral("/Plan.act")));
        ui.chooseFile(run + QStringLiteral("/Renamed.act"));
        ui.answer(IDYES);
        ImportActorCommand(run, target.HeaderFileName());
        QCOMPARE(ui.messages().size(), 1); // the question only
        QCOMPARE(Journals(run), QStringList());

        const QString renamed = run + QStringLiteral("/Renamed.act");
        const QString backup = run + QStringLiteral("/Plan Backup/Plan.act");
        for (const QString &file : {renamed, backup, target.HeaderFileName()}) {
            bool shown = false;
            ScriptedList().Set([&](bool) {
                shown = true;
                return ScriptedList().CloseFile();
            });
            OpenActionFile(data, ScriptedList(), file, false);
            ScriptedList().Set({});
            QVERIFY2(shown, qPrintable(file));
        }
        QCOMPARE(ui.messages().size(), 1);
        const int actions = GenerationOf(ReadState(renamed + "._actions", kActions));
        const int contacts = GenerationOf(ReadState(renamed + "._actor", kActor));
        QVERIFY2(actions >= 0, qPrintable(ReadState(renamed + "._actions", kActions).join(' ')));
        QVERIFY2(contacts >= 0, qPrintable(ReadState(renamed + "._actor", kActor).join(' ')));
        QCOMPARE(contacts, actions);
        QCOMPARE(ReadState(backup + "._actions", kActions), StateAfter(actions));
        QCOMPARE(ReadState(backup + "._actor", kActor), StateAfter(contacts));
        QCOMPARE(ReadState(target.Name(TableMember::Actor), kActor), StateAfter(contacts));
        // A save once done is never undone by a later kill.
        QVERIFY(actions >= lastActions && contacts >= lastContacts);
        lastActions = actions;
        lastContacts = contacts;
        QVERIFY(QDir(run).removeRecursively());
    }
    qInfo("%d kills, %d inside writes, %d saves reached", kills, inPlace, lastActions);
    QVERIFY(kills >= 50);
    QVERIFY(inPlace > 0);
    QVERIFY(lastActions > 0);
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--saver") == 0)
        return RunSaver(argc, argv, QString::fromLocal8Bit(argv[2]));
    QApplication app(argc, argv);
    TestCrashConsistency test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashconsistency.moc"
