#include "ActionFileLock.h"
#include "ActionUid.h"
#include "ColumnReport.h"
#include "Digest.h"
#include "HtmlPage.h"
#include "SearchActionFile.h"
#include "TACTFiles.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "TestWorkspace.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <fcntl.h>
#include <libical/ical.h>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <sqlite3.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

Q_DECLARE_METATYPE(TColumnReportOptions)

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

QByteArray ReadAll(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Every file under folder with a hash of its bytes, to show nothing changed.
QMap<QString, QByteArray> Snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = it.next();
        files.insert(name, QCryptographicHash::hash(ReadAll(name), QCryptographicHash::Sha256));
    }
    return files;
}

// One search result as a line of its fields, empty for a null value.
QString HitLine(const QStringList &values)
{
    return values.join(QLatin1Char('|'));
}

QDate Day(int year, int month, int day)
{
    return QDate(year, month, day);
}

// The columns of the first row sql gives on the table file, as text; runs
// a statement that gives none.
QStringList SqlRow(const QString &fileName, const char *sql)
{
    sqlite3 *db = nullptr;
    QStringList row;
    if (sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
            for (int column = 0; column < sqlite3_column_count(stmt); ++column)
                row.append(
                    QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column))));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return row;
}

// The UIDs of the iCalendar export of fileName, in the order written.
QStringList IcalUids(const QByteArray &calendar)
{
    QStringList uids;
    for (const QByteArray &line : calendar.split('\n'))
        if (line.startsWith("UID:"))
            uids.append(QString::fromUtf8(line.mid(4).trimmed()));
    return uids;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private:
    TestWorkspace ws;

    QString Path(const QString &name) const { return ws.dir->filePath(name); }

    QProcessEnvironment Environment(const QMap<QString, QString> &extraEnv = {}) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The settings of the run are those of this test's folder only.
        env.insert(QStringLiteral("HOME"), ws.dir->path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), Path(QStringLiteral("share")));
        env.remove(QStringLiteral("COLUMNS"));
        for (auto it = extraEnv.begin(); it != extraEnv.end(); ++it)
            env.insert(it.key(), it.value());
        return env;
    }

    Run Cli(const QStringList &arguments, const QMap<QString, QString> &extraEnv = {},
            const QString &workingDirectory = QString())
    {
        QProcess process;
        process.setProcessEnvironment(Environment(extraEnv));
        process.setWorkingDirectory(workingDirectory.isEmpty() ? ws.dir->path() : workingDirectory);
        process.start(QStringLiteral(DRAVELIN_CLI), arguments);
        Run run;
        if (!process.waitForFinished(120000))
            return run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }

    // What dravelin-cli writes to standard output when that is a terminal:
    // a pseudo terminal in raw mode, so the bytes arrive as written.
    QByteArray CliOnTerminal(const QStringList &arguments)
    {
        int master = -1, slave = -1;
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            return QByteArray("openpty failed");
        termios mode{};
        ::tcgetattr(slave, &mode);
        ::cfmakeraw(&mode);
        ::tcsetattr(slave, TCSANOW, &mode);
        ::fcntl(master, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave, F_SETFD, FD_CLOEXEC);
        QProcess process;
        process.setProcessEnvironment(Environment());
        process.setWorkingDirectory(ws.dir->path());
        process.setChildProcessModifier([slave] { ::dup2(slave, STDOUT_FILENO); });
        process.start(QStringLiteral(DRAVELIN_CLI), arguments);
        process.waitForStarted();
        ::close(slave);
        // Read until the program has ended and the terminal is closed.
        QByteArray out;
        pollfd ready{master, POLLIN, 0};
        while (::poll(&ready, 1, 60000) > 0) {
            char buffer[4096];
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got <= 0)
                break;
            out.append(buffer, got);
        }
        process.waitForFinished();
        ::close(master);
        return out;
    }

    void WriteSettings(const QByteArray &ini)
    {
        QDir().mkpath(Path(QStringLiteral("config")));
        QFile file(Path(QStringLiteral("config/dravelin.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
    }

    // The fixture: a header, two contacts, three actions (the first followed
    // up by the second, the second resolved, the third with commas, quotes,
    // line breaks and accents), their children and one log entry whose
    // action is gone.
    QString MakeFixture(const QString &name = QStringLiteral("fixture.act"))
    {
        const QString actFile = Path(name);
        TDataModuleMain &data = *ws.data;
        data.Tables.Open(actFile, true);
        TTable *header = data.cdsAction;
        header->Edit();
        for (int field = 0; field < header->FieldCount(); ++field)
            header->Fields(field).Clear();
        header->FieldByName(QStringLiteral("TITLE")).SetAsString(QStringLiteral("Harbour works"));
        header->FieldByName(QStringLiteral("COMPANY")).SetAsString(QStringLiteral("Quayside Ltd"));
        header->FieldByName(QStringLiteral("HOME_ID")).SetAsString(QStringLiteral("HW"));
        header->FieldByName(QStringLiteral("ACTOR_HOME")).SetAsString(QStringLiteral("Moreau"));
        header->FieldByName(QStringLiteral("DATE_ENTERED")).SetAsDate(Day(2026, 1, 5));
        header->FieldByName(QStringLiteral("CONTEXT")).SetAsString(QStringLiteral("Two lines\nof context"));
        header->FieldByName(QStringLiteral("REMARKS"))
            .SetAsString(QStringLiteral("Bell \x07, tab \t, slash \\ / and a ship \U0001F6A2 ahoy"));
        header->Post();

        AddExactRecord(data.cdsActor, {{"ID", "Moreau"},
                                       {"FIRST_NAME", "Anne"},
                                       {"LAST_NAME", "Moreau"},
                                       {"GENDER", "F"},
                                       {"EMAIL_1", "anne@example.org"}});
        AddExactRecord(data.cdsActor, {{"ID", "Okafor"}, {"FIRST_NAME", "Chidi"}, {"GENDER", "M"}});

        AddExactRecord(data.cdsActions, {{"ID", 1},
                                         {"ID_CHAIN", 2},
                                         {"ATTRIBUTE", "HW-00001"},
                                         {"ID_ACTION", "QUAY-1"},
                                         {"DATE_ACTION", Day(2026, 1, 10)},
                                         {"DATE_DUE", Day(2026, 2, 1)},
                                         {"DATE_STATUS", Day(2026, 1, 12)},
                                         {"SYNOPSIS", "Inspect the quay wall"},
                                         {"DESCRIPTION", "Cracks near berth 4"},
                                         {"ACTOR_OWNER", "Moreau"},
                                         {"ACTOR_ORGANIZOR", "Okafor"},
                                         {"STATUS", "Active"},
                                         {"SEVERITY", "Red Alert"},
                                         {"FUNCTIONAL_AREA", "Civil"}});
        AddExactRecord(data.cdsActions, {{"ID", 2},
                                         {"ID_CHAIN", 2},
                                         {"ATTRIBUTE", "HW-00002"},
                                         {"ID_ACTION", "QUAY-2"},
                                         {"DATE_ACTION", Day(2026, 1, 20)},
                                         {"DATE_DUE", Day(2026, 3, 1)},
                                         {"DATE_STATUS", Day(2026, 2, 2)},
                                         {"DATE_FINISHED", Day(2026, 2, 2)},
                                         {"SYNOPSIS", "Repair the quay wall"},
                                         {"ACTOR_OWNER", "Okafor"},
                                         {"STATUS", "Resolved"},
                                         {"SEVERITY", "Low"},
                                         {"RELATIONS", "QUAY-1"},
                                         {"SIGN_OFF", "Done"}});
        AddExactRecord(data.cdsActions,
                       {{"ID", 3},
                        {"ID_CHAIN", 3},
                        {"ATTRIBUTE", "HW-00003"},
                        {"ID_ACTION", "QUAY-3"},
                        {"DATE_ACTION", Day(2026, 1, 21)},
                        {"SYNOPSIS", "Buy \"fenders\", ropes"},
                        {"DESCRIPTION", "Überprüfung: first line\nsecond, \"quoted\" line\r\nthird"},
                        {"ACTOR_OWNER", "Moreau"},
                        {"STATUS", "Void"},
                        {"SEVERITY", "Medium"},
                        {"FUNCTIONAL_AREA", "Supplies"}});
        AddExactRecord(data.cdsLog, {{"ID", 1},
                                     {"ID_ACTION", 1},
                                     {"DATE_LOG", Day(2026, 1, 11)},
                                     {"TIME_LOG", QTime(9, 30, 0)},
                                     {"STATUS_LINE", "Divers booked"},
                                     {"STATUS", "Assigned"},
                                     {"ACTOR_STATUS", "Moreau"}});
        AddExactRecord(data.cdsLog, {{"ID", 2},
                                     {"ID_ACTION", 1},
                                     {"DATE_LOG", Day(2026, 1, 12)},
                                     {"TIME_LOG", QTime(14, 5, 7)},
                                     {"STATUS_LINE", "Survey started"},
                                     {"STATUS", "Active"}});
        AddExactRecord(data.cdsLog,
                       {{"ID", 3}, {"ID_ACTION", 99}, {"STATUS_LINE", "Left from a deleted action"}});
        AddExactRecord(data.cdsDecision, {{"ID", 1},
                                          {"ID_ACTION", 1},
                                          {"DATE_ENTERED", Day(2026, 1, 13)},
                                          {"SYNOPSIS", "Close berth 4"},
                                          {"ACTOR_DECISION", "Okafor"}});
        AddExactRecord(data.cdsStatement, {{"ID", 1},
                                           {"ID_ACTION", 2},
                                           {"DATE_ENTERED", Day(2026, 2, 2)},
                                           {"SYNOPSIS", "Wall holds"},
                                           {"DESCRIPTION", "Load test passed"}});
        data.Tables.Close();
        data.Tables.Reset();
        return actFile;
    }

    // Sets a field of the header of actFile as the program would.
    void SetHeaderText(const QString &actFile, const QString &field, const QString &text)
    {
        TDataModuleMain &data = *ws.data;
        data.Tables.Open(actFile, false);
        data.cdsAction->Edit();
        data.cdsAction->FieldByName(field).SetAsString(text);
        data.cdsAction->Post();
        data.Tables.Close();
        data.Tables.Reset();
    }

    QString Expected(const QString &name) const { return QStringLiteral(DRAVELIN_CLI_DATA "/") + name; }

private Q_SLOTS:
    void init() { ws.Start(); }
    void cleanup() { ws.Finish(); }

    void exportJsonMatchesExpectedFile_data()
    {
        QTest::addColumn<bool>("toFile");
        QTest::newRow("standard output") << false;
        QTest::newRow("-o file") << true;
    }
    void exportJsonMatchesExpectedFile()
    {
        QFETCH(bool, toFile);
        const QString actFile = MakeFixture();
        const QString out = Path(QStringLiteral("fixture.json"));
        const Run run = Cli(QStringList{QStringLiteral("export"), actFile, QStringLiteral("--format"),
                                        QStringLiteral("json")} +
                            (toFile ? QStringList{QStringLiteral("-o"), out} : QStringList{}));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QByteArray());
        const QByteArray json = toFile ? ReadAll(out) : run.out;
        if (toFile)
            QCOMPARE(run.out, QByteArray());
        QCOMPARE(json, ReadAll(Expected(QStringLiteral("fixture.json"))));
        // Laid out as Qt lays out the same document.
        QCOMPARE(QJsonDocument::fromJson(json).toJson(QJsonDocument::Indented), json);
    }

    void importRoundTripIsIdentical_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("copies");
        QTest::newRow("action file") << QStringLiteral("copy.act") << 0;
        QTest::newRow("dravelin file") << QStringLiteral("copy.dravelin") << 0;
        // More text than the export writes out at once.
        QTest::newRow("many actions") << QStringLiteral("copy.act") << 400;
    }
    void importRoundTripIsIdentical()
    {
        QFETCH(QString, target);
        QFETCH(int, copies);
        QString json = Expected(QStringLiteral("fixture.json"));
        if (copies > 0) {
            // The fixture's actions again under further numbers, with long
            // descriptions and without children.
            QJsonObject document = QJsonDocument::fromJson(ReadAll(json)).object();
            QJsonArray actions = document.value(QStringLiteral("actions")).toArray();
            const QJsonArray originals = actions;
            for (int copy = 1; copy <= copies; ++copy) {
                QJsonObject action = originals.at(copy % originals.size()).toObject();
                action.insert(QStringLiteral("ID"), 100 + copy);
                action.insert(QStringLiteral("DESCRIPTION"), QString(QStringLiteral("Copy %1: ").arg(copy) +
                                                                     QString(200, QLatin1Char('x'))));
                for (const char *children : {"log", "decisions", "statements"})
                    action.insert(QLatin1String(children), QJsonArray());
                actions.append(action);
            }
            document.insert(QStringLiteral("actions"), actions);
            json = Path(QStringLiteral("many.json"));
            QFile file(json);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QJsonDocument(document).toJson(QJsonDocument::Indented));
        }
        const Run import = Cli({QStringLiteral("import"), Path(target), QStringLiteral("--format"),
                                QStringLiteral("json"), json});
        QCOMPARE(import.err, QByteArray());
        QCOMPARE(import.exitCode, 0);
        const Run again =
            Cli({QStringLiteral("export"), Path(target), QStringLiteral("--format"), QStringLiteral("json")});
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(again.out, ReadAll(json));

        // FILE must not exist: a second import changes nothing.
        const auto before = Snapshot(ws.dir->path());
        const Run refused = Cli({QStringLiteral("import"), Path(target), QStringLiteral("--format"),
                                 QStringLiteral("json"), json});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY(refused.err.contains("already exists"));
        QCOMPARE(Snapshot(ws.dir->path()), before);
    }

    void icalHasOneTodoPerActionWithMappedFields()
    {
        const QString actFile = MakeFixture();
        const QString out = Path(QStringLiteral("fixture.ics"));
        const Run run = Cli({QStringLiteral("export"), actFile, QStringLiteral("--format"),
                             QStringLiteral("ical"), QStringLiteral("-o"), out});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray());
        icalcomponent *calendar = icalparser_parse_string(ReadAll(out).constData());
        QVERIFY(calendar);
        QCOMPARE(icalcomponent_count_components(calendar, ICAL_VTODO_COMPONENT), 3);

        QMap<QString, icalcomponent *> byUid;
        for (icalcomponent *todo = icalcomponent_get_first_component(calendar, ICAL_VTODO_COMPONENT); todo;
             todo = icalcomponent_get_next_component(calendar, ICAL_VTODO_COMPONENT))
            byUid.insert(QString::fromUtf8(icalcomponent_get_uid(todo)), todo);
        // Each action's own identity in this file.
        ws.data->Tables.Open(actFile, false);
        const QString key = ActionFileKey(*ws.data->cdsAction);
        ws.data->Tables.Close();
        const auto uid = [&](int id) { return ActionUid(key, id); };
        QCOMPARE(byUid.keys(), (QStringList{uid(1), uid(2), uid(3)}));

        icalcomponent *first = byUid.value(uid(1));
        QCOMPARE(QString::fromUtf8(icalcomponent_get_summary(first)),
                 QStringLiteral("Inspect the quay wall"));
        QCOMPARE(QString::fromUtf8(icalcomponent_get_description(first)),
                 QStringLiteral("Cracks near berth 4"));
        QCOMPARE(icalcomponent_get_status(first), ICAL_STATUS_INPROCESS);
        const icaltimetype start = icalcomponent_get_dtstart(first);
        QCOMPARE(QDate(start.year, start.month, start.day), Day(2026, 1, 10));
        QVERIFY(start.is_date);
        const icaltimetype due = icalcomponent_get_due(first);
        QCOMPARE(QDate(due.year, due.month, due.day), Day(2026, 2, 1));
        icalproperty *priority = icalcomponent_get_first_property(first, ICAL_PRIORITY_PROPERTY);
        QVERIFY(priority);
        QCOMPARE(icalproperty_get_priority(priority), 1);
        icalproperty *category = icalcomponent_get_first_property(first, ICAL_CATEGORIES_PROPERTY);
        QVERIFY(category);
        QCOMPARE(QString::fromUtf8(icalproperty_get_categories(category)), QStringLiteral("Civil"));
        icalproperty *related = icalcomponent_get_first_property(first, ICAL_RELATEDTO_PROPERTY);
        QVERIFY(related);
        QCOMPARE(QString::fromUtf8(icalproperty_get_relatedto(related)), uid(2));
        QCOMPARE(icalparameter_get_reltype(icalproperty_get_first_parameter(related, ICAL_RELTYPE_PARAMETER)),
                 ICAL_RELTYPE_CHILD);

        icalcomponent *second = byUid.value(uid(2));
        QCOMPARE(icalcomponent_get_status(second), ICAL_STATUS_COMPLETED);
        icalproperty *completed = icalcomponent_get_first_property(second, ICAL_COMPLETED_PROPERTY);
        QVERIFY(completed);
        const icaltimetype done = icalproperty_get_completed(completed);
        QCOMPARE(QDate(done.year, done.month, done.day), Day(2026, 2, 2));
        QCOMPARE(icalproperty_get_priority(icalcomponent_get_first_property(second, ICAL_PRIORITY_PROPERTY)),
                 7);
        related = icalcomponent_get_first_property(second, ICAL_RELATEDTO_PROPERTY);
        QVERIFY(related);
        QCOMPARE(QString::fromUtf8(icalproperty_get_relatedto(related)), uid(1));
        QCOMPARE(icalparameter_get_reltype(icalproperty_get_first_parameter(related, ICAL_RELTYPE_PARAMETER)),
                 ICAL_RELTYPE_PARENT);

        // A new action ("Void") is still to be done, not cancelled.
        icalcomponent *third = byUid.value(uid(3));
        QCOMPARE(icalcomponent_get_status(third), ICAL_STATUS_NEEDSACTION);
        QCOMPARE(QString::fromUtf8(icalcomponent_get_summary(third)),
                 QStringLiteral("Buy \"fenders\", ropes"));
        QCOMPARE(QString::fromUtf8(icalcomponent_get_description(third)),
                 QStringLiteral("Überprüfung: first line\nsecond, \"quoted\" line\nthird"));
        QVERIFY(!icalcomponent_get_first_property(third, ICAL_DUE_PROPERTY));
        icalcomponent_free(calendar);
    }

    void addSetResolveFollowTheEditorRules_data()
    {
        QTest::addColumn<bool>("transferData");
        QTest::newRow("transfer data on") << true;
        QTest::newRow("transfer data off") << false;
    }
    void addSetResolveFollowTheEditorRules()
    {
        QFETCH(bool, transferData);
        WriteSettings(QByteArray("[Actions]\nTransferData=") + (transferData ? "1" : "0") +
                      "\nAtributeSeparator=-\n");
        const QString actFile = MakeFixture();
        const QString today = QDate::currentDate().toString(Qt::ISODate);

        const Run add =
            Cli({QStringLiteral("add"), actFile, QStringLiteral("--id"), QStringLiteral("QUAY-4"),
                 QStringLiteral("--due"), QStringLiteral("2026-12-24"), QStringLiteral("RELATIONS=QUAY-3")});
        QCOMPARE(add.err, QByteArray());
        QCOMPARE(add.exitCode, 0);
        QCOMPARE(add.out, QByteArray("4\tHW-00004\n"));
        const Run set = Cli({QStringLiteral("set"), actFile, QStringLiteral("QUAY-4"),
                             QStringLiteral("STATUS=Pending"), QStringLiteral("severity=High")});
        QCOMPARE(set.err, QByteArray());
        QCOMPARE(set.exitCode, 0);
        const Run resolve = Cli({QStringLiteral("resolve"), actFile, QStringLiteral("QUAY-4"),
                                 QStringLiteral("--sign-off"), QStringLiteral("Fenders fitted")});
        QCOMPARE(resolve.err, QByteArray());
        QCOMPARE(resolve.exitCode, 0);

        TDataModuleMain &data = *ws.data;
        QVERIFY_THROWS_NO_EXCEPTION(data.Tables.Open(actFile, false));
        TTable *actions = data.cdsActions;
        actions->SetFiltered(false);
        QCOMPARE(actions->RecordCount(), 4);
        actions->SetIndexName(QStringLiteral("ID_DESC"));
        actions->First();
        const auto field = [&](TTable *table, const char *name) {
            return table->FieldByName(QLatin1String(name)).Value();
        };
        QCOMPARE(field(actions, "ID").toInt(), 4);
        QCOMPARE(field(actions, "ID_CHAIN").toInt(), 4);
        QCOMPARE(field(actions, "ATTRIBUTE").toString(), QStringLiteral("HW-00004"));
        QCOMPARE(field(actions, "SYNOPSIS").toString(), QStringLiteral("QUAY-4"));
        QCOMPARE(field(actions, "ACTOR_OWNER").toString(), QStringLiteral("Moreau"));
        QCOMPARE(field(actions, "ACTOR_ORGANIZOR").toString(), QStringLiteral("Moreau"));
        QCOMPARE(field(actions, "SEVERITY").toString(), QStringLiteral("High"));
        QCOMPARE(field(actions, "RELATIONS").toString(), QStringLiteral("QUAY-3"));
        QCOMPARE(field(actions, "DATE_DUE").toDate(), Day(2026, 12, 24));
        QCOMPARE(field(actions, "STATUS").toString(), QStringLiteral("Resolved"));
        QCOMPARE(field(actions, "DATE_STATUS").toDate().toString(Qt::ISODate), today);
        QCOMPARE(field(actions, "DATE_FINISHED").toDate().toString(Qt::ISODate), today);
        QCOMPARE(field(actions, "SIGN_OFF").toString(), QStringLiteral("Fenders fitted"));

        TTable *log = data.cdsLog;
        log->SetFiltered(false);
        log->SetIndexName(QStringLiteral("ID_DESC"));
        QCOMPARE(log->RecordCount(), transferData ? 4 : 3);
        if (transferData) {
            log->First();
            QCOMPARE(field(log, "ID").toInt(), 4);
            QCOMPARE(field(log, "ID_ACTION").toInt(), 4);
            QCOMPARE(field(log, "STATUS_LINE").toString(), QStringLiteral("Action Resolved"));
            QCOMPARE(field(log, "DESCRIPTION").toString(), QStringLiteral("Fenders fitted"));
            QCOMPARE(field(log, "STATUS").toString(), QStringLiteral("Resolved"));
            QCOMPARE(field(log, "ACTOR_STATUS").toString(), QStringLiteral("Moreau"));
            QCOMPARE(field(log, "DATE_LOG").toDate().toString(Qt::ISODate), today);
        }
        data.Tables.Close();
    }

    // A file long in use: the highest numbers are not in the last rows and
    // rows were deleted. Changing one action neither loses nor moves the
    // others, and new records take the numbers after the highest anywhere
    // and go after the last row, as when the program writes them.
    void changesFollowTheNumbersAndRowsOfAFileInUse()
    {
        WriteSettings(QByteArray("[Actions]\nTransferData=1\nAtributeSeparator=-\n"));
        const QString actFile = MakeFixture();
        TDataModuleMain &data = *ws.data;
        TTable *actions = data.cdsActions;
        TTable *log = data.cdsLog;
        const auto renumber = [](TTable *table, int from, int to) {
            table->SetFiltered(false);
            table->SetIndexName(QStringLiteral("ID_ASC"));
            QVERIFY(table->FindKey({from}));
            table->Edit();
            table->FieldByName(QStringLiteral("ID")).SetAsInteger(to);
            table->Post();
        };
        data.Tables.Open(actFile, false);
        renumber(actions, 1, 9);
        QVERIFY(actions->FindKey({2}));
        actions->Delete();
        renumber(log, 1, 7);
        data.Tables.Close();
        data.Tables.Reset();
        // Every record of the table in file order, with its values.
        const auto rows = [](TTable *table) {
            table->SetFiltered(false);
            table->SetIndexName(QString());
            QList<QVariantList> values;
            for (int row = 0; row < table->RecordCount(); ++row) {
                QVariantList record;
                for (int field = 0; field < table->FieldCount(); ++field)
                    record.append(table->ValueAt(row, field));
                values.append(record);
            }
            return values;
        };
        data.Tables.Open(actFile, false);
        const QList<QVariantList> actionsBefore = rows(actions);
        const QList<QVariantList> logBefore = rows(log);
        data.Tables.Close();
        data.Tables.Reset();

        const Run add =
            Cli({QStringLiteral("add"), actFile, QStringLiteral("--id"), QStringLiteral("QUAY-4")});
        QCOMPARE(add.err, QByteArray());
        QCOMPARE(add.out, QByteArray("10\tHW-00010\n"));
        // No action has the Action ID "9": the action numbered 9 is meant.
        const Run set =
            Cli({QStringLiteral("set"), actFile, QStringLiteral("9"), QStringLiteral("SEVERITY=Low")});
        QCOMPARE(set.err, QByteArray());
        const Run resolve = Cli({QStringLiteral("resolve"), actFile, QStringLiteral("QUAY-4")});
        QCOMPARE(resolve.err, QByteArray());

        data.Tables.Open(actFile, false);
        const QList<QVariantList> actionsAfter = rows(actions);
        const QList<QVariantList> logAfter = rows(log);
        const int severity = actions->FieldIndex(QStringLiteral("SEVERITY"));
        QCOMPARE(actionsAfter.size(), 3);
        QVariantList changed = actionsBefore[0];
        changed[severity] = QStringLiteral("Low");
        QCOMPARE(actionsAfter[0], changed);
        QCOMPARE(actionsAfter[1], actionsBefore[1]);
        const auto value = [](TTable *table, const QVariantList &record, const char *field) {
            return record.value(table->FieldIndex(QLatin1String(field)));
        };
        QCOMPARE(value(actions, actionsAfter[2], "ID").toInt(), 10);
        QCOMPARE(value(actions, actionsAfter[2], "ID_CHAIN").toInt(), 10);
        QCOMPARE(value(actions, actionsAfter[2], "ID_ACTION").toString(), QStringLiteral("QUAY-4"));
        QCOMPARE(value(actions, actionsAfter[2], "STATUS").toString(), QStringLiteral("Resolved"));
        QCOMPARE(logAfter.mid(0, logBefore.size()), logBefore);
        QCOMPARE(logAfter.size(), logBefore.size() + 1);
        QCOMPARE(value(log, logAfter.last(), "ID").toInt(), 8);
        QCOMPARE(value(log, logAfter.last(), "ID_ACTION").toInt(), 10);
        data.Tables.Close();
    }

    void setOnADravelinFilePacksItBack()
    {
        const QString actFile = MakeFixture();
        const QString container = Path(QStringLiteral("harbour.dravelin"));
        QCOMPARE(Cli({QStringLiteral("pack"), actFile, container}).exitCode, 0);
        const Run set = Cli({QStringLiteral("set"), container, QStringLiteral("QUAY-3"),
                             QStringLiteral("STATUS=Active"), QStringLiteral("DATE_STATUS=01/02/2026")});
        QCOMPARE(set.err, QByteArray());
        QCOMPARE(set.exitCode, 0);
        const QString unpacked = Path(QStringLiteral("unpacked.act"));
        QCOMPARE(Cli({QStringLiteral("unpack"), container, unpacked}).exitCode, 0);
        const Run shown = Cli({QStringLiteral("list"), unpacked, QStringLiteral("--filter"),
                               QStringLiteral("all"), QStringLiteral("--sort"), QStringLiteral("id_asc"),
                               QStringLiteral("--format"), QStringLiteral("csv")});
        QCOMPARE(shown.exitCode, 0);
        const QList<QByteArray> lines = shown.out.split('\n');
        QVERIFY2(lines.value(3).startsWith("HW-00003,2026-01-21,QUAY-3,"), lines.value(3).constData());
        QVERIFY2(lines.value(3).contains(",Moreau,,Active,Medium,2026-02-01,,"), lines.value(3).constData());
        // Unpacking over an existing Action File is refused.
        const auto before = Snapshot(ws.dir->path());
        const Run again = Cli({QStringLiteral("unpack"), container, unpacked});
        QCOMPARE(again.exitCode, 1);
        QCOMPARE(Snapshot(ws.dir->path()), before);
    }

    void listAppliesFilterActorAndIndex_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("all by attribute, descending")
            << QStringList{QStringLiteral("--filter"), QStringLiteral("all")}
            << QStringList{QStringLiteral("QUAY-3"), QStringLiteral("QUAY-2"), QStringLiteral("QUAY-1")};
        QTest::newRow("open by due date")
            << QStringList{QStringLiteral("--filter"), QStringLiteral("open"), QStringLiteral("--sort"),
                           QStringLiteral("DATE_DUE_ASC")}
            << QStringList{QStringLiteral("QUAY-3"), QStringLiteral("QUAY-1")};
        QTest::newRow("resolved") << QStringList{QStringLiteral("--filter"), QStringLiteral("resolved")}
                                  << QStringList{QStringLiteral("QUAY-2")};
        QTest::newRow("mine: the home actor's")
            << QStringList{QStringLiteral("--filter"), QStringLiteral("mine"), QStringLiteral("--sort"),
                           QStringLiteral("ID_ASC")}
            << QStringList{QStringLiteral("QUAY-1"), QStringLiteral("QUAY-3")};
        QTest::newRow("one actor, open") << QStringList{QStringLiteral("--filter"), QStringLiteral("open"),
                                                        QStringLiteral("--actor"), QStringLiteral(" okafor ")}
                                         << QStringList{};
    }
    void listAppliesFilterActorAndIndex()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, ids);
        const QString actFile = MakeFixture();
        const Run run = Cli(
            QStringList{QStringLiteral("list"), actFile, QStringLiteral("--format"), QStringLiteral("json")} +
            options);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        QStringList listed;
        for (const QJsonValue &action : QJsonDocument::fromJson(run.out).array())
            listed.append(action.toObject().value(QStringLiteral("ID_ACTION")).toString());
        QCOMPARE(listed, ids);
        const Run count = Cli(QStringList{QStringLiteral("count"), actFile} + options.mid(0, 2));
        QCOMPARE(count.exitCode, 0);
        QVERIFY(count.out.endsWith('\n'));
        if (!options.contains(QStringLiteral("--actor")))
            QCOMPARE(count.out.trimmed().toInt(), int(ids.size()));
    }

    void tableFitsTheTerminalWidth()
    {
        const QString actFile = MakeFixture();
        const Run run =
            Cli({QStringLiteral("list"), actFile}, {{QStringLiteral("COLUMNS"), QStringLiteral("60")}});
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith(QStringLiteral("Attribute")));
        for (const QString &line : lines)
            QVERIFY2(line.size() <= 60, qPrintable(line));
    }

    void failuresExitOneWithOneLineAndChangeNothing_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QString fixture = QStringLiteral("fixture.act");
        QTest::newRow("missing file")
            << QString() << QStringList{QStringLiteral("list"), QStringLiteral("absent.act")}
            << QStringLiteral("absent.act\" cannot be opened");
        QTest::newRow("missing file, add") << QString()
                                           << QStringList{QStringLiteral("add"), QStringLiteral("absent.act"),
                                                          QStringLiteral("--id"), QStringLiteral("X")}
                                           << QStringLiteral("absent.act\" cannot be opened");
        QTest::newRow("corrupt table file, list")
            << QStringLiteral("corrupt") << QStringList{QStringLiteral("list"), fixture}
            << QStringLiteral("The Actions File cannot be opened! \"%1._actions\"");
        QTest::newRow("corrupt table file, set")
            << QStringLiteral("corrupt")
            << QStringList{QStringLiteral("set"), fixture, QStringLiteral("QUAY-1"),
                           QStringLiteral("STATUS=Void")}
            << QStringLiteral("The Actions File cannot be opened! \"%1._actions\"");
        QTest::newRow("unknown action, show")
            << QString() << QStringList{QStringLiteral("show"), fixture, QStringLiteral("QUAY-9")}
            << QStringLiteral("No action has the Action ID \"QUAY-9\"");
        QTest::newRow("unknown action, resolve")
            << QString() << QStringList{QStringLiteral("resolve"), fixture, QStringLiteral("QUAY-9")}
            << QStringLiteral("No action has the Action ID \"QUAY-9\"");
        QTest::newRow("Action ID of two actions, listed as the action list orders them")
            << QStringLiteral("shared")
            << QStringList{QStringLiteral("set"), fixture, QStringLiteral("QUAY-1"),
                           QStringLiteral("STATUS=Void")}
            << QStringLiteral("2 actions have the Action ID \"QUAY-1\"; name one by its number: 3, 1");
        QTest::newRow("unknown field") << QString()
                                       << QStringList{QStringLiteral("set"), fixture,
                                                      QStringLiteral("QUAY-1"), QStringLiteral("COLOUR=red")}
                                       << QStringLiteral("Unknown field \"COLOUR\"");
        QTest::newRow("bad date") << QString()
                                  << QStringList{QStringLiteral("set"), fixture, QStringLiteral("QUAY-1"),
                                                 QStringLiteral("DATE_DUE=soon")}
                                  << QStringLiteral("\"soon\" is not a date for DATE_DUE");
        QTest::newRow("text longer than its field, set")
            << QString()
            << QStringList{QStringLiteral("set"), fixture, QStringLiteral("QUAY-1"),
                           QStringLiteral("SYNOPSIS=") + QString(5000, QLatin1Char('x'))}
            << QStringLiteral("The text of SYNOPSIS has 5000 characters; the field holds at most 256");
        QTest::newRow("Action ID longer than its field, add")
            << QString()
            << QStringList{QStringLiteral("add"), fixture, QStringLiteral("--id"),
                           QString(129, QLatin1Char('Q'))}
            << QStringLiteral("The text of ID_ACTION has 129 characters; the field holds at most 128");
        QTest::newRow("held by another program")
            << QStringLiteral("lock")
            << QStringList{QStringLiteral("resolve"), fixture, QStringLiteral("QUAY-1")}
            << QStringLiteral("is in use by the program");
        QTest::newRow("newer version, show")
            << QStringLiteral("newer")
            << QStringList{QStringLiteral("show"), fixture, QStringLiteral("QUAY-1")}
            << QStringLiteral(
                   "The Decision File cannot be opened! \"%1._decision\": it was written by a newer "
                   "version of the program");
        QTest::newRow("lock file is a folder")
            << QStringLiteral("lock folder")
            << QStringList{QStringLiteral("set"), fixture, QStringLiteral("QUAY-1"),
                           QStringLiteral("STATUS=Void")}
            << QStringLiteral("cannot be locked: \"%1.lock\" is a folder; it is not changed");
        QTest::newRow("companion of the new file")
            << QStringLiteral("stray")
            << QStringList{QStringLiteral("import"), QStringLiteral("new.act"), QStringLiteral("--format"),
                           QStringLiteral("json"), QStringLiteral(DRAVELIN_CLI_DATA "/fixture.json")}
            << QStringLiteral("new.act._log\" already exists without it");
        QTest::newRow("not a dravelin file")
            << QStringLiteral("container")
            << QStringList{QStringLiteral("list"), QStringLiteral("bad.dravelin")}
            << QStringLiteral("This is not a valid Dravelin File");
    }
    void failuresExitOneWithOneLineAndChangeNothing()
    {
        QFETCH(QString, damage);
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const QString actFile = MakeFixture();
        if (damage == QLatin1String("corrupt")) {
            QFile file(actFile + QStringLiteral("._actions"));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("this is no table file");
        }
        if (damage == QLatin1String("shared")) {
            TDataModuleMain &data = *ws.data;
            data.Tables.Open(actFile, false);
            TTable *actions = data.cdsActions;
            actions->SetIndexName(QStringLiteral("ID_ASC"));
            QVERIFY(actions->FindKey({3}));
            actions->Edit();
            actions->FieldByName(QStringLiteral("ID_ACTION")).SetAsString(QStringLiteral("QUAY-1"));
            actions->Post();
            data.Tables.Close();
            data.Tables.Reset();
        }
        if (damage == QLatin1String("container")) {
            QFile file(Path(QStringLiteral("bad.dravelin")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("qzvrtk5208 too short");
        }
        if (damage == QLatin1String("newer"))
            QVERIFY(ExecSql(actFile + QStringLiteral("._decision"), "PRAGMA user_version=2"));
        if (damage == QLatin1String("lock folder"))
            QVERIFY(QDir().mkpath(actFile + QStringLiteral(".lock/kept")));
        if (damage == QLatin1String("stray"))
            QVERIFY(QFile::copy(actFile + QStringLiteral("._log"), Path(QStringLiteral("new.act._log"))));
        std::unique_ptr<TFileLock> lock;
        if (damage == QLatin1String("lock")) {
            lock = std::make_unique<TFileLock>(actFile);
            QCOMPARE(lock->TryLock(), TFileLock::Locked);
        }
        for (QString &argument : arguments)
            if (argument.endsWith(QStringLiteral(".act")) || argument.endsWith(QStringLiteral(".dravelin")))
                argument = Path(argument);
        const auto before = Snapshot(ws.dir->path());
        const Run run = Cli(arguments);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY(run.err.endsWith('\n'));
        QVERIFY2(run.err.startsWith("dravelin-cli: "), run.err.constData());
        QVERIFY2(QString::fromUtf8(run.err).contains(
                     message.contains(QStringLiteral("%1")) ? message.arg(actFile) : message),
                 run.err.constData());
        QCOMPARE(Snapshot(ws.dir->path()), before);
    }

    // Commands that change the same file at the same time wait for each
    // other instead of failing.
    void concurrentCommandsWaitForEachOther()
    {
        const QString actFile = MakeFixture();
        constexpr int kCommands = 8;
        std::vector<std::unique_ptr<QProcess>> adds;
        for (int i = 0; i < kCommands; ++i) {
            auto process = std::make_unique<QProcess>();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("HOME"), ws.dir->path());
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("config")));
            process->setProcessEnvironment(env);
            process->start(
                QStringLiteral(DRAVELIN_CLI),
                {QStringLiteral("add"), actFile, QStringLiteral("--id"), QStringLiteral("SAME-%1").arg(i)});
            adds.push_back(std::move(process));
        }
        for (const auto &add : adds) {
            QVERIFY(add->waitForFinished(60000));
            QVERIFY2(add->exitCode() == 0, add->readAllStandardError().constData());
        }
        const Run count =
            Cli({QStringLiteral("count"), actFile, QStringLiteral("--filter"), QStringLiteral("all")});
        QCOMPARE(count.out, QByteArray::number(3 + kCommands) + '\n');
    }

    // A file whose highest row has the largest row id there is still takes
    // a new record.
    void addAfterTheLargestRowIdGoesOn()
    {
        const QString actFile = MakeFixture();
        QVERIFY(ExecSql(actFile + QStringLiteral("._actions"),
                        "UPDATE cdsActions SET rowid=9223372036854775807 WHERE ID=3"));
        const Run add = Cli({QStringLiteral("add"), actFile, QStringLiteral("--id"), QStringLiteral("LAST")});
        QVERIFY2(add.exitCode == 0, add.err.constData());
        const Run shown = Cli({QStringLiteral("show"), actFile, QStringLiteral("LAST")});
        QVERIFY2(shown.exitCode == 0 && shown.out.contains("ID_ACTION: LAST"), shown.err.constData());
    }

    // A table file with a hidden fault in its b-tree still loads, but a
    // write in place would make it unreadable: it is written whole instead,
    // the damaged file kept aside and named.
    void changeOfADamagedFileWritesItWhole()
    {
        const QString actFile = MakeFixture();
        const QString actions = actFile + QStringLiteral("._actions");
        // The free-page list claims the table's own page (the second).
        QByteArray bytes = ReadAll(actions);
        QVERIFY(bytes.size() >= 8192);
        const char freelist[8] = {0, 0, 0, 2, 0, 0, 0, 1};
        bytes.replace(32, 8, freelist, 8);
        QFile file(actions);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        QCOMPARE(
            Cli({QStringLiteral("count"), actFile, QStringLiteral("--filter"), QStringLiteral("all")}).out,
            QByteArray("3\n"));

        const Run set = Cli({QStringLiteral("set"), actFile, QStringLiteral("QUAY-1"),
                             QStringLiteral("DESCRIPTION=") + QString(6000, QLatin1Char('d'))});
        QVERIFY2(set.exitCode == 0, set.err.constData());
        const QByteArray warned = "dravelin-cli: warning: The file \"" + actions.toUtf8() + "\" was damaged";
        QVERIFY2(set.err.startsWith(warned) && set.err.contains(".damaged\""), set.err.constData());
        QCOMPARE(ReadAll(actions + QStringLiteral(".damaged")), bytes);
        const Run shown = Cli({QStringLiteral("show"), actFile, QStringLiteral("QUAY-1")});
        QVERIFY2(shown.exitCode == 0 && shown.out.contains(QByteArray(6000, 'd')), shown.err.constData());
        QCOMPARE(
            Cli({QStringLiteral("count"), actFile, QStringLiteral("--filter"), QStringLiteral("all")}).out,
            QByteArray("3\n"));
    }

    void searchGivesTheResultsOfTheTextSearch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("count");
        QTest::newRow("action and decision") << "berth"
                                             << "all" << 2;
        QTest::newRow("dates in display form") << "2026"
                                               << "all" << -1;
        QTest::newRow("accents without case") << QString::fromUtf8("\xc3\xbc"
                                                                   "BERPR\xc3\x9c"
                                                                   "F")
                                              << "all" << 1;
        QTest::newRow("open filter leaves out the resolved") << "wall"
                                                             << "open" << 1;
        QTest::newRow("every filter") << "wall"
                                      << "all" << 3;
        QTest::newRow("nothing") << "walrus"
                                 << "all" << 0;
    }
    void searchGivesTheResultsOfTheTextSearch()
    {
        QFETCH(QString, text);
        QFETCH(QString, filter);
        QFETCH(int, count);
        const QString actFile = MakeFixture();
        const Run run = Cli({QStringLiteral("search"), actFile, text, QStringLiteral("--filter"), filter,
                             QStringLiteral("--format"), QStringLiteral("json")});
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        const QStringList names{"FOUND_IN",    "ID_ACTION_ID",  "ID_LOG",
                                "ID_DECISION", "ID_STATEMENT",  "ID_ACTION",
                                "TEXT_FOUND",  "IN_FIELD_NAME", "IN_FIELD_NUMBER"};
        QStringList printed;
        for (const QJsonValue &hit : QJsonDocument::fromJson(run.out).array()) {
            QStringList values;
            for (const QString &name : names) {
                const QJsonValue value = hit.toObject().value(name);
                values.append(value.isDouble() ? QString::number(value.toInteger()) : value.toString());
            }
            printed.append(HitLine(values));
        }

        // The same search in the program's own data layer, on the list as
        // the action list shows it with that filter.
        TDataModuleMain &data = *ws.data;
        data.Tables.Open(actFile, false);
        Settings().Actions.Filter =
            int(filter == QLatin1String("open") ? TActionFilter::Open : TActionFilter::All);
        data.cdsActions->SetFiltered(true);
        data.cdsActions->RefreshFilter();
        data.cdsActions->SetIndexName(QStringLiteral("ATTRIBUTE_DESC"));
        QStringList expected;
        if (SearchActionFile(data, text)) {
            TTable &hits = *data.cdsActionsSearch;
            for (hits.First(); !hits.Eof(); hits.Next()) {
                QStringList values;
                for (const QString &name : names)
                    values.append(hits.FieldByName(name).IsNull() ? QString()
                                                                  : hits.FieldByName(name).AsString());
                expected.append(HitLine(values));
            }
        }
        CloseSearchResults(data);
        data.Tables.Close();
        QCOMPARE(printed, expected);
        if (count >= 0)
            QCOMPARE(int(printed.size()), count);
        else
            QVERIFY(printed.size() > 3);

        // The table shows a title line and one line per result.
        const Run table = Cli({QStringLiteral("search"), actFile, text, QStringLiteral("--filter"), filter});
        QCOMPARE(table.exitCode, 0);
        const QStringList lines = QString::fromUtf8(table.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), printed.size() + 1);
        QVERIFY(lines[0].startsWith(QStringLiteral("Found In")));
    }

    void reportDigestIsTheDigestWindowsPage_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("allActions");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("flags");
        enum {
            Index = 1,
            Separate = 2,
            Properties = 4,
            Headers = 8,
            NoLogs = 16,
            Limited = 32,
            Decisions = 64,
            Statements = 128,
            BlackWhite = 256
        };
        QTest::newRow("all listed, as the list opens it")
            << QStringList{} << true << QString() << int(Index | Separate);
        QTest::newRow("all, every part, black and white")
            << QStringList{"--no-index",  "--properties", "--limited-log",
                           "--decisions", "--statements", "--black-white"}
            << true << QString()
            << int(Separate | Properties | Limited | Decisions | Statements | BlackWhite);
        QTest::newRow("all, headers only, no separator")
            << QStringList{"--no-separator", "--headers", "--no-logs"} << true << QString()
            << int(Index | Headers | NoLogs);
        QTest::newRow("one action with decisions")
            << QStringList{"--action", "QUAY-1", "--decisions", "--properties"} << false << "QUAY-1"
            << int(Decisions | Properties);
        QTest::newRow("one action by number, statements")
            << QStringList{"--action", "2", "--statements", "--limited-log"} << false << "QUAY-2"
            << int(Statements | Limited);
    }
    void reportDigestIsTheDigestWindowsPage()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, allActions);
        QFETCH(QString, action);
        QFETCH(int, flags);
        const QString actFile = MakeFixture();
        const QString out = Path(QStringLiteral("digest.html"));
        const QStringList common{
            QStringLiteral("report"),    QStringLiteral("digest"), actFile,
            QStringLiteral("--filter"),  QStringLiteral("all"),    QStringLiteral("--date"),
            QStringLiteral("2026-02-15")};
        const Run toFile = Cli(common + options + QStringList{QStringLiteral("-o"), out});
        QCOMPARE(toFile.err, QByteArray());
        QCOMPARE(toFile.exitCode, 0);
        QCOMPARE(toFile.out, QByteArray());
        const Run toStdout = Cli(common + options);
        QCOMPARE(toStdout.exitCode, 0);

        // The page the digest window builds for the same options.
        TDigestOptions digest;
        digest.allActions = allActions;
        digest.index = flags & 1;
        digest.separate = flags & 2;
        digest.properties = flags & 4;
        digest.headers = flags & 8;
        digest.logs = !(flags & 16);
        digest.limitedLog = flags & 32;
        digest.decisions = flags & 64;
        digest.statements = flags & 128;
        digest.colors = !(flags & 256);
        TDataModuleMain &data = *ws.data;
        data.Tables.Open(actFile, false);
        TTable &actions = *data.cdsActions;
        Settings().Actions.Filter = int(TActionFilter::All);
        actions.SetFiltered(true);
        actions.RefreshFilter();
        actions.SetIndexName(QStringLiteral("ATTRIBUTE_DESC"));
        for (actions.First(); !action.isEmpty() && !actions.Eof(); actions.Next())
            if (actions.FieldByName(QStringLiteral("ID_ACTION")).AsString() == action)
                break;
        THtmlPage page;
        BuildDigest(data, digest, Day(2026, 2, 15), page);
        data.Tables.Close();
        QVERIFY(page.Bytes().contains("Harbour works"));
        QCOMPARE(ReadAll(out), page.Bytes());
        QCOMPARE(toStdout.out, page.Bytes());
    }

    // The report pages are those the options windows build for the same
    // options (the windows hand their options to the same builder).
    void reportPagesAreTheWindowsPages_data()
    {
        QTest::addColumn<bool>("contacts");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("index");
        QTest::addColumn<TColumnReportOptions>("expected");
        const auto checked = [](const QList<TReportColumn> &columns) {
            QList<TReportColumn> result;
            for (const TReportColumn &column : columns)
                if (column.checkedAtFirst)
                    result.append(column);
            return result;
        };
        const QString today = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
        TColumnReportOptions list;
        list.title = QStringLiteral("Action List \"Harbour works\" on ") + today;
        list.columns = checked(ActionReportColumns());
        TColumnReportOptions every = list;
        every.columns = ActionReportColumns();
        every.colors = false;
        every.align = TTitleAlign::Left;
        every.fontSize = QStringLiteral("1");
        every.width = 50;
        every.title = QStringLiteral("<b>Quay</b> & \"co\"");
        TColumnReportOptions chosen = list;
        chosen.columns = {ActionReportColumns()[11], ActionReportColumns()[5], ActionReportColumns()[1],
                          ActionReportColumns()[3]};
        chosen.align = TTitleAlign::Right;
        chosen.fontSize = QStringLiteral("+2");
        chosen.width = 2000;
        TColumnReportOptions contacts;
        contacts.title = QStringLiteral("Contacts of Action List \"Harbour works\" on ") + today;
        contacts.columns = checked(ContactReportColumns());
        TColumnReportOptions contactsAll = contacts;
        contactsAll.columns = ContactReportColumns();
        contactsAll.colors = false;
        contactsAll.title.clear();

        QTest::newRow("list, defaults")
            << false << QStringList{"--filter", "all"} << 0 << "ATTRIBUTE_DESC" << list;
        QTest::newRow("list, every column, open, by due date")
            << false
            << QStringList{"--filter", "open",        "--sort",  "date_due_asc", "--columns",
                           "all",      "--no-colors", "--align", "left",         "--font-size",
                           "1",        "--width",     "50",      "--title",      "<b>Quay</b> & \"co\""}
            << 1 << "DATE_DUE_ASC" << every;
        QTest::newRow("list, chosen columns in their order")
            << false
            << QStringList{"--filter", "all",   "--columns",   "severity, DATE_FINISHED,ID_ACTION,date_due",
                           "--align",  "right", "--font-size", "+2",
                           "--width",  "2000"}
            << 0 << "ATTRIBUTE_DESC" << chosen;
        QTest::newRow("contacts, defaults") << true << QStringList{} << 0 << "ID_ASC" << contacts;
        QTest::newRow("contacts, every column, empty title, descending")
            << true
            << QStringList{"--columns", "all", "--no-colors", "--title", "", "--sort", "LAST_NAME_DESC"} << 0
            << "LAST_NAME_DESC" << contactsAll;
    }
    void reportPagesAreTheWindowsPages()
    {
        QFETCH(bool, contacts);
        QFETCH(QStringList, options);
        QFETCH(int, filter);
        QFETCH(QString, index);
        QFETCH(TColumnReportOptions, expected);
        const QString actFile = MakeFixture();
        const QString out = Path(QStringLiteral("report.html"));
        const QString kind = contacts ? QStringLiteral("contacts") : QStringLiteral("list");
        const Run toStandardOutput = Cli(QStringList{QStringLiteral("report"), kind, actFile} + options);
        QCOMPARE(toStandardOutput.err, QByteArray());
        QCOMPARE(toStandardOutput.exitCode, 0);
        const Run toFile =
            Cli(QStringList{QStringLiteral("report"), kind, actFile, QStringLiteral("-o"), out} + options);
        QCOMPARE(toFile.exitCode, 0);
        QCOMPARE(toFile.out, QByteArray());

        TDataModuleMain &data = *ws.data;
        data.Tables.Open(actFile, false);
        TTable &table = contacts ? *data.cdsActor : *data.cdsActions;
        if (!contacts) {
            Settings().Actions.Filter = filter;
            table.SetFiltered(true);
            table.RefreshFilter();
        }
        table.SetIndexName(index);
        table.First();
        THtmlPage page;
        BuildColumnReport(table, expected, QDate::currentDate(), page);
        data.Tables.Close();
        data.Tables.Reset();
        QVERIFY(page.Bytes().startsWith("<HTML>\r\n"));
        QCOMPARE(toStandardOutput.out, page.Bytes());
        QCOMPARE(ReadAll(out), page.Bytes());
    }

    // An output that is one of the files the command reads (the Action File,
    // a table file, its lock file, the container, the file imported) is
    // refused before anything is written, whatever path names it.
    void outputOverAnInputIsRefused_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QString f = QStringLiteral("fixture.act");
        QTest::newRow("digest over the Action File") << "" << QStringList{"report", "digest", f, "-o", f}
                                                     << "it is the Action File \"fixture.act\" itself";
        QTest::newRow("json export over a table file")
            << "" << QStringList{"export", f, "--format", "json", "-o", "./" + f + "._actions"}
            << "it is the table file \"fixture.act._actions\" of the Action File \"fixture.act\"";
        QTest::newRow("list report over the lock file, not made yet")
            << "" << QStringList{"report", "list", f, "-o", f + ".lock"}
            << "it is the lock file of the Action File \"fixture.act\"";
        QTest::newRow("csv export over a hard link of a table file")
            << "hard link" << QStringList{"export", f, "--format", "csv", "-o", "contacts.csv"}
            << "it is the table file \"fixture.act._actor\"";
        QTest::newRow("export over a table file while the program holds the file")
            << "lock" << QStringList{"export", f, "--format", "ical", "-o", f + "._actor"}
            << "it is the table file \"fixture.act._actor\"";
        QTest::newRow("pack over a table file") << "" << QStringList{"pack", f, f + "._actions"}
                                                << "it is the table file \"fixture.act._actions\"";
        QTest::newRow("digest over the Dravelin File")
            << "container"
            << QStringList{"report", "digest", "fixture.dravelin", "-o", "../work/fixture.dravelin"}
            << "it is the Dravelin File \"fixture.dravelin\" itself";
        QTest::newRow("import over the file imported")
            << "leftover" << QStringList{"import", "new.act", "--format", "json", "new.act._log"}
            << "it is the file \"new.act._log\"";
    }
    void outputOverAnInputIsRefused()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const QString folder = Path(QStringLiteral("work"));
        QVERIFY(QDir().mkpath(folder));
        const QString actFile = MakeFixture(QStringLiteral("work/fixture.act"));
        std::unique_ptr<TFileLock> lock;
        if (setup == QLatin1String("hard link"))
            QCOMPARE(::link(QFile::encodeName(actFile + QStringLiteral("._actor")).constData(),
                            QFile::encodeName(folder + QStringLiteral("/contacts.csv")).constData()),
                     0);
        if (setup == QLatin1String("lock")) {
            lock = std::make_unique<TFileLock>(actFile);
            QCOMPARE(lock->TryLock(), TFileLock::Locked);
        }
        if (setup == QLatin1String("container"))
            QCOMPARE(
                Cli({QStringLiteral("pack"), actFile, folder + QStringLiteral("/fixture.dravelin")}).exitCode,
                0);
        if (setup == QLatin1String("leftover"))
            QVERIFY(QFile::copy(Expected(QStringLiteral("fixture.json")),
                                folder + QStringLiteral("/new.act._log")));
        const auto before = Snapshot(ws.dir->path());
        const Run run = Cli(arguments, {}, folder);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.contains("Cannot write"), run.err.constData());
        QVERIFY2(QString::fromUtf8(run.err).contains(message), run.err.constData());
        QCOMPARE(Snapshot(ws.dir->path()), before);
    }

    // A name planted as a symbolic link in a shared folder: the file it
    // points to is not replaced, nor is a file made where it points.
    void outputThatIsASymbolicLinkIsRefused_data()
    {
        QTest::addColumn<bool>("dangling");
        QTest::newRow("link to another's file") << false;
        QTest::newRow("dangling link") << true;
    }
    void outputThatIsASymbolicLinkIsRefused()
    {
        QFETCH(bool, dangling);
        const QString actFile = MakeFixture();
        const QString victim = Path(QStringLiteral("victim.txt"));
        const QString planted = Path(QStringLiteral("shared/digest.html"));
        QVERIFY(QDir().mkpath(Path(QStringLiteral("shared"))));
        if (!dangling) {
            QFile file(victim);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("precious");
        }
        QVERIFY(QFile::link(victim, planted));
        const Run run =
            Cli({QStringLiteral("report"), QStringLiteral("digest"), actFile, QStringLiteral("-o"), planted});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.contains("it is a symbolic link"), run.err.constData());
        QCOMPARE(QFileInfo(planted).symLinkTarget(), victim);
        if (dangling)
            QVERIFY(!QFileInfo::exists(victim));
        else
            QCOMPARE(ReadAll(victim), QByteArray("precious"));
    }

    // A report with nothing to show leaves an existing page alone.
    void emptyReportKeepsAnExistingPage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("list, a filter that matches nothing")
            << QStringList{"report", "list", "fixture.act", "--actor", "Nobody"}
            << "no listed action to report";
        QTest::newRow("list, no column")
            << QStringList{"report", "list", "fixture.act", "--columns", ","} << "no column to report";
        QTest::newRow("list of an empty file")
            << QStringList{"report", "list", "empty.act"} << "no listed action to report";
        QTest::newRow("contacts of a file without contacts")
            << QStringList{"report", "contacts", "empty.act", "--columns", "all"} << "no contact to report";
    }
    void emptyReportKeepsAnExistingPage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        MakeFixture();
        QCOMPARE(Cli({QStringLiteral("new"), QStringLiteral("empty.act")}).exitCode, 0);
        {
            QFile page(Path(QStringLiteral("page.html")));
            QVERIFY(page.open(QIODevice::WriteOnly));
            page.write("<HTML>the page of yesterday</HTML>");
        }
        const auto before = Snapshot(ws.dir->path());
        const Run run = Cli(arguments + QStringList{QStringLiteral("-o"), QStringLiteral("page.html")});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(QString::fromUtf8(run.err).contains(message), run.err.constData());
        QCOMPARE(Snapshot(ws.dir->path()), before);
    }

    // What the program cannot hold is refused whole: no file is made.
    void importRefusesWhatTheFileCannotHold_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("message");
        QTest::newRow("two actions with one number") << "action id"
                                                     << "The ID 1 of action 3 is already the ID of action 1";
        QTest::newRow("two log entries with one number")
            << "log id"
            << "The ID 2 of log entry 1 of action 2 is already the ID of log entry 2 of action 1";
        QTest::newRow("text longer than its field")
            << "long text"
            << "The text of SYNOPSIS in action 1 has 257 characters; the field holds at most 256";
        QTest::newRow("more than an export holds") << "huge"
                                                   << "is larger than 1024 MiB";
        QTest::newRow("a device without end") << "device"
                                              << "The JSON file cannot be read";
    }
    void importRefusesWhatTheFileCannotHold()
    {
        QFETCH(QString, change);
        QFETCH(QString, message);
        QJsonObject document =
            QJsonDocument::fromJson(ReadAll(Expected(QStringLiteral("fixture.json")))).object();
        QJsonArray actions = document.value(QStringLiteral("actions")).toArray();
        const auto changeAction = [&](int index, const std::function<void(QJsonObject &)> &edit) {
            QJsonObject action = actions.at(index).toObject();
            edit(action);
            actions.replace(index, action);
        };
        if (change == QLatin1String("action id"))
            changeAction(2, [](QJsonObject &action) { action.insert(QStringLiteral("ID"), 1); });
        if (change == QLatin1String("log id")) {
            const QJsonValue entry = actions.at(0).toObject().value(QStringLiteral("log")).toArray().at(1);
            changeAction(
                1, [&](QJsonObject &action) { action.insert(QStringLiteral("log"), QJsonArray{entry}); });
        }
        if (change == QLatin1String("long text"))
            changeAction(0, [](QJsonObject &action) {
                action.insert(QStringLiteral("SYNOPSIS"), QString(257, QLatin1Char('x')));
            });
        document.insert(QStringLiteral("actions"), actions);
        QString in = Path(QStringLiteral("in.json"));
        const QString out = Path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        {
            QFile file(in);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QJsonDocument(document).toJson());
            // Sparse: a gibibyte that takes no room on the disk.
            if (change == QLatin1String("huge"))
                QVERIFY(file.resize((qint64(1) << 30) + 1));
        }
        if (change == QLatin1String("device"))
            in = QStringLiteral("/dev/zero");
        const Run run = Cli({QStringLiteral("import"), out + QStringLiteral("/copy.act"),
                             QStringLiteral("--format"), QStringLiteral("json"), in});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(QString::fromUtf8(run.err).contains(message), run.err.constData());
        QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    // set changes the fields it names; every other value of the record goes
    // back as the file held it, bytes that are not UTF-8 and blobs included.
    void setWritesBackUntouchedValuesExactly()
    {
        const QString actFile = MakeFixture();
        const QString actions = actFile + QStringLiteral("._actions");
        SqlRow(actions,
               "UPDATE cdsActions SET SYNOPSIS = CAST(x'48e9ff6c6c6f' AS TEXT), DESCRIPTION = x'00ff10', "
               "RELATIONS = 'QUAY-1' WHERE ID = 3");
        const char *cells = "SELECT typeof(SYNOPSIS), hex(SYNOPSIS), typeof(DESCRIPTION), hex(DESCRIPTION), "
                            "RELATIONS, STATUS FROM cdsActions WHERE ID = 3";
        const QStringList before = SqlRow(actions, cells);
        QCOMPARE(before.mid(0, 4), (QStringList{"text", "48E9FF6C6C6F", "blob", "00FF10"}));
        const Run set = Cli({QStringLiteral("set"), actFile, QStringLiteral("QUAY-3"),
                             QStringLiteral("STATUS=Active"), QStringLiteral("RELATIONS=QUAY-2")});
        QCOMPARE(set.err, QByteArray());
        QCOMPARE(set.exitCode, 0);
        QCOMPARE(SqlRow(actions, cells), (before.mid(0, 4) + QStringList{"QUAY-2", "Active"}));
    }

    // Text of the file reaches a terminal as visible characters, never as
    // commands to it; json, csv and pipes keep its bytes.
    void terminalShowsControlCharactersOfTheFile_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("terminal");
        QTest::newRow("list on a terminal") << QStringList{"list", "fixture.act"} << true;
        QTest::newRow("show on a terminal") << QStringList{"show", "fixture.act", "QUAY-3"} << true;
        QTest::newRow("search on a terminal") << QStringList{"search", "fixture.act", "fenders"} << true;
        QTest::newRow("list as csv on a terminal")
            << QStringList{"list", "fixture.act", "--format", "csv"} << false;
        QTest::newRow("show into a pipe") << QStringList{"show", "fixture.act", "QUAY-3"} << false;
    }
    void terminalShowsControlCharactersOfTheFile()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, terminal);
        MakeFixture();
        // Sets the window title, writes the clipboard (OSC 52), clears the
        // screen and starts a C1 control sequence.
        const QString synopsis = QStringLiteral(u"Buy \x1b]0;owned\x07 \x1b]52;c;cHduZWQ=\x07"
                                                u"fenders\x1b[2J\u009b31m");
        QCOMPARE(Cli({QStringLiteral("set"), QStringLiteral("fixture.act"), QStringLiteral("QUAY-3"),
                      QStringLiteral("SYNOPSIS=") + synopsis})
                     .exitCode,
                 0);
        const bool csv = arguments.contains(QStringLiteral("csv"));
        const QByteArray out = csv || terminal ? CliOnTerminal(arguments) : Cli(arguments).out;
        QVERIFY2(out.contains("fenders"), out.constData());
        if (terminal) {
            QVERIFY2(out.contains("Buy ^[]0;owned^G ^[]52;c;cHduZWQ=^Gfenders^[[2J\\x9b31m"),
                     out.constData());
            for (const char *control : {"\x1b", "\x07", "\xc2\x9b"})
                QVERIFY2(!out.contains(control), out.constData());
        } else {
            QVERIFY2(out.contains(synopsis.toUtf8()), out.constData());
        }
    }

    void newMakesAnEmptyActionFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("Action File") << "harbour.act";
        QTest::newRow("Dravelin File") << "harbour.dravelin";
    }
    void newMakesAnEmptyActionFile()
    {
        QFETCH(QString, name);
        WriteSettings("[Company]\nName=Quayside Ltd\nDepartment=Works\n");
        const Run made = Cli({QStringLiteral("new"), name});
        QCOMPARE(made.err, QByteArray());
        QCOMPARE(made.exitCode, 0);
        QCOMPARE(made.out, QByteArray());
        if (name.endsWith(QStringLiteral(".act")))
            for (const QString &member : TACTFiles(Path(name)).Names())
                QVERIFY2(QFileInfo(member).isFile(), qPrintable(member));
        // The header of the program's New; no records.
        const Run exported =
            Cli({QStringLiteral("export"), name, QStringLiteral("--format"), QStringLiteral("json")});
        QCOMPARE(exported.exitCode, 0);
        const QJsonObject document = QJsonDocument::fromJson(exported.out).object();
        const QJsonObject header = document.value(QStringLiteral("header")).toObject();
        QCOMPARE(header.value(QStringLiteral("COMPANY")).toString(), QStringLiteral("Quayside Ltd"));
        QCOMPARE(header.value(QStringLiteral("DEPARTMENT")).toString(), QStringLiteral("Works"));
        QCOMPARE(header.value(QStringLiteral("ACTOR_HOME")).toString(), TDataModuleMain::LoginName());
        QCOMPARE(header.value(QStringLiteral("DATE_ENTERED")).toString(),
                 QDate::currentDate().toString(Qt::ISODate));
        QVERIFY(document.value(QStringLiteral("actions")).toArray().isEmpty());
        QVERIFY(document.value(QStringLiteral("contacts")).toArray().isEmpty());
        // An action can be added at once.
        QCOMPARE(Cli({QStringLiteral("add"), name, QStringLiteral("--id"), QStringLiteral("QUAY-1")}).out,
                 QByteArray("1\t_00001\n"));

        const auto before = Snapshot(ws.dir->path());
        const Run again = Cli({QStringLiteral("new"), name});
        QCOMPARE(again.exitCode, 1);
        QVERIFY2(again.err.contains("already exists"), again.err.constData());
        QCOMPARE(Snapshot(ws.dir->path()), before);
    }

    // A calendar knows an action again after its file was renamed, moved,
    // packed and unpacked; another file's actions are others.
    void icalUidsFollowTheActionNotTheFileName()
    {
        const QString actFile = MakeFixture();
        const auto uids = [&](const QString &fileName) {
            const Run run =
                Cli({QStringLiteral("export"), fileName, QStringLiteral("--format"), QStringLiteral("ical")});
            return run.exitCode == 0 ? IcalUids(run.out) : QStringList{QString::fromUtf8(run.err)};
        };
        const QStringList original = uids(actFile);
        QCOMPARE(original.size(), 3);
        QCOMPARE(QSet<QString>(original.begin(), original.end()).size(), 3);

        QVERIFY(QDir().mkpath(Path(QStringLiteral("moved"))));
        const QString moved = Path(QStringLiteral("moved/Renamed.act"));
        for (const QString &suffix : TACTFiles::Suffixes())
            QVERIFY(QFile::rename(actFile + suffix, moved + suffix));
        QCOMPARE(uids(moved), original);
        const QString container = Path(QStringLiteral("sent.dravelin"));
        QCOMPARE(Cli({QStringLiteral("pack"), moved, container}).exitCode, 0);
        QCOMPARE(uids(container), original);
        const QString received = Path(QStringLiteral("received.act"));
        QCOMPARE(Cli({QStringLiteral("unpack"), container, received}).exitCode, 0);
        QCOMPARE(uids(received), original);

        // Another Action File: another Home ID.
        const QString other = MakeFixture(QStringLiteral("other.act"));
        SetHeaderText(other, QStringLiteral("HOME_ID"), QStringLiteral("XY"));
        const QStringList others = uids(other);
        QCOMPARE(others.size(), 3);
        for (const QString &uid : others)
            QVERIFY2(!original.contains(uid), qPrintable(uid));
    }

    // A blank title gives way to the full path of the file named, however it
    // was typed; for a Dravelin File the container's, not its unpacked copy's.
    void blankTitleNamesTheFullPathOfTheFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("Action File") << "fixture.act";
        QTest::newRow("Dravelin File") << "fixture.dravelin";
    }
    void blankTitleNamesTheFullPathOfTheFile()
    {
        QFETCH(QString, name);
        const QString actFile = MakeFixture();
        SetHeaderText(actFile, QStringLiteral("TITLE"), QStringLiteral(" "));
        if (name.endsWith(QStringLiteral(".dravelin")))
            QCOMPARE(Cli({QStringLiteral("pack"), actFile, Path(name)}).exitCode, 0);
        const Run run = Cli({QStringLiteral("report"), QStringLiteral("digest"), name});
        QCOMPARE(run.exitCode, 0);
        const QByteArray title = "<TITLE>Action Digest of Action List \"" + Path(name).toUtf8() + "\" on ";
        QVERIFY2(run.out.contains(title), run.out.left(300).constData());
    }

    void usageErrorsExitTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")};
        QTest::newRow("missing file") << QStringList{QStringLiteral("list")};
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("list"), QStringLiteral("a.act"), QStringLiteral("--colour")};
        QTest::newRow("bad format") << QStringList{QStringLiteral("export"), QStringLiteral("a.act"),
                                                   QStringLiteral("--format"), QStringLiteral("xml")};
        QTest::newRow("bad filter") << QStringList{QStringLiteral("list"), QStringLiteral("a.act"),
                                                   QStringLiteral("--filter"), QStringLiteral("some")};
        QTest::newRow("unknown index") << QStringList{QStringLiteral("list"), QStringLiteral("a.act"),
                                                      QStringLiteral("--sort"), QStringLiteral("COLOUR_ASC")};
        QTest::newRow("set without FIELD=VALUE") << QStringList{
            QStringLiteral("set"), QStringLiteral("a.act"), QStringLiteral("A"), QStringLiteral("STATUS")};
        QTest::newRow("blank search text")
            << QStringList{QStringLiteral("search"), QStringLiteral("a.act"), QStringLiteral("  ")};
        QTest::newRow("unknown report")
            << QStringList{QStringLiteral("report"), QStringLiteral("agenda"), QStringLiteral("a.act")};
        QTest::newRow("limited log without logs")
            << QStringList{QStringLiteral("report"), QStringLiteral("digest"), QStringLiteral("a.act"),
                           QStringLiteral("--no-logs"), QStringLiteral("--limited-log")};
        QTest::newRow("one action has no index") << QStringList{
            QStringLiteral("report"),   QStringLiteral("digest"), QStringLiteral("a.act"),
            QStringLiteral("--action"), QStringLiteral("A"),      QStringLiteral("--no-index")};
        QTest::newRow("digest date") << QStringList{QStringLiteral("report"), QStringLiteral("digest"),
                                                    QStringLiteral("a.act"), QStringLiteral("--date"),
                                                    QStringLiteral("15/02/2026")};
        QTest::newRow("report without its kind")
            << QStringList{QStringLiteral("report"), QStringLiteral("a.act")};
        QTest::newRow("report, unknown column")
            << QStringList{"report", "list", "a.act", "--columns", "COLOUR"};
        QTest::newRow("report, width out of range")
            << QStringList{"report", "list", "a.act", "--width", "40"};
        QTest::newRow("report, unknown font size")
            << QStringList{"report", "contacts", "a.act", "--font-size", "3"};
        QTest::newRow("report, bad alignment") << QStringList{"report", "list", "a.act", "--align", "middle"};
        QTest::newRow("new, neither .act nor .dravelin") << QStringList{"new", "harbour.txt"};
    }
    void usageErrorsExitTwo()
    {
        QFETCH(QStringList, arguments);
        const Run run = Cli(arguments);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.startsWith("dravelin-cli: "), run.err.constData());
    }

    void helpOfEachCommandExitsZero()
    {
        for (const char *command : {"new", "list", "count", "show", "export", "import", "add", "set",
                                    "resolve", "pack", "unpack", "search"}) {
            const Run run = Cli({QLatin1String(command), QStringLiteral("--help")});
            QCOMPARE(run.exitCode, 0);
            QVERIFY2(run.out.startsWith("Usage: dravelin-cli "), run.out.constData());
            QVERIFY2(run.out.contains(QByteArray(" " + QByteArray(command) + " ")), command);
        }
        const Run digest =
            Cli({QStringLiteral("report"), QStringLiteral("digest"), QStringLiteral("--help")});
        QCOMPARE(digest.exitCode, 0);
        QVERIFY2(digest.out.startsWith("Usage: dravelin-cli "), digest.out.constData());
        QVERIFY2(digest.out.contains(" report digest "), digest.out.constData());
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
