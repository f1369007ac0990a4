#include "AppError.h"
#include "FullDisk.h"
#include "SyncState.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>

namespace {

TSyncState SampleState(int actions)
{
    TSyncState state;
    state.collectionUrl = QStringLiteral("https://dav.example/alice/tasks/");
    state.user = QStringLiteral("alice");
    state.syncToken = QStringLiteral("http://radicale.org/ns/sync/abc");
    state.ctag = QStringLiteral("\"c1\"");
    for (int i = 0; i < actions; ++i)
        state.actions.append(
            {NewTodoUid(),
             QStringLiteral("/alice/tasks/%1.ics").arg(i),
             QStringLiteral("\"e%1\"").arg(i),
             {{QStringLiteral("ID"), i},
              {QStringLiteral("SYNOPSIS"), QStringLiteral("Fender für Kai %1 🚢").arg(i)},
              {QStringLiteral("DATE_DUE"), QDate(1, 1, 1).addDays(i)},
              {QStringLiteral("DATE_FINISHED"), QVariant()},
              {QStringLiteral("TIME_LOG"), QTime(23, 59, 59)},
              {QStringLiteral("DESCRIPTION"), QStringLiteral("{\"date\":\"2026-01-01\"}\r\n")}},
             {}});
    // A write whose answer never came.
    if (actions > 1)
        state.actions[1].sent = {{QStringLiteral("SYNOPSIS"), QStringLiteral("sent ✓")},
                                 {QStringLiteral("DATE_DUE"), QDate(9999, 12, 31)},
                                 {QStringLiteral("DESCRIPTION"), QVariant()}};
    return state;
}

void CompareFields(const TRecordValues &actual, const TRecordValues &expected)
{
    QCOMPARE(actual.keys(), expected.keys());
    for (const QString &field : expected.keys()) {
        const QVariant got = actual.value(field), want = expected.value(field);
        QCOMPARE(got.typeId(), want.typeId());
        QVERIFY2(SameValue(got, want), qPrintable(field));
    }
}

void CompareStates(const TSyncState &actual, const TSyncState &expected)
{
    QCOMPARE(actual.collectionUrl, expected.collectionUrl);
    QCOMPARE(actual.user, expected.user);
    QCOMPARE(actual.syncToken, expected.syncToken);
    QCOMPARE(actual.ctag, expected.ctag);
    QCOMPARE(actual.actions.size(), expected.actions.size());
    for (qsizetype i = 0; i < actual.actions.size(); ++i) {
        QCOMPARE(actual.actions[i].uid, expected.actions[i].uid);
        QCOMPARE(actual.actions[i].href, expected.actions[i].href);
        QCOMPARE(actual.actions[i].etag, expected.actions[i].etag);
        CompareFields(actual.actions[i].base, expected.actions[i].base);
        CompareFields(actual.actions[i].sent, expected.actions[i].sent);
    }
}

QString LoadError(const QString &fileName)
{
    try {
        LoadSyncState(fileName);
    } catch (const AppError &error) {
        return error.message();
    }
    return QString();
}

} // namespace

class TestSyncState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stateReadsBackAsWritten();
    void noFileIsNothingSynchronised();
    void damagedStateIsRefused_data();
    void damagedStateIsRefused();
    void failedWriteKeepsTheOldState();
    void newUidsAreRandom();

private:
    QTemporaryDir dir_;
};

void TestSyncState::stateReadsBackAsWritten()
{
    const QString fileName = dir_.filePath(QStringLiteral("state.json"));
    const TSyncState state = SampleState(3);
    SaveSyncState(fileName, state);
    CompareStates(LoadSyncState(fileName), state);

    // Written again over the old one.
    TSyncState changed = SampleState(1);
    changed.syncToken.clear();
    SaveSyncState(fileName, changed);
    CompareStates(LoadSyncState(fileName), changed);
}

void TestSyncState::noFileIsNothingSynchronised()
{
    const TSyncState state = LoadSyncState(dir_.filePath(QStringLiteral("none.json")));
    QVERIFY(state.collectionUrl.isEmpty());
    QVERIFY(state.actions.isEmpty());
}

void TestSyncState::damagedStateIsRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");

    const auto state = [](const QByteArray &actions, const QByteArray &version = "1") -> QByteArray {
        return R"({"format":"dravelin-sync-state","version":)" + version +
               R"(,"collection":"https://x/","user":"u","syncToken":"","ctag":"","actions":[)" + actions +
               "]}";
    };
    const auto action = [&](const QByteArray &base) -> QByteArray {
        return state(R"({"uid":"a","href":"/a.ics","etag":"e","base":)" + base + "}");
    };
    QTest::newRow("not JSON") << QByteArray("garbage") << QStringLiteral("illegal value at offset 1");
    QTest::newRow("cut short") << state("{}").left(60) << QStringLiteral("at offset");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("at offset 0");
    QTest::newRow("a list") << QByteArray("[]") << QStringLiteral("it is no synchronisation state");
    QTest::newRow("other format") << QByteArray(R"({"format":"dravelin-action-file","version":1})")
                                  << QStringLiteral("it is no synchronisation state");
    QTest::newRow("newer version") << state("", "2") << QStringLiteral("it was written by a newer version");
    QTest::newRow("version as text") << state("", "\"1\"") << QStringLiteral("its version is not known");
    QTest::newRow("unknown entry") << state("").replace("\"user\"", "\"password\"")
                                   << QStringLiteral("the file has the unknown entry \"password\"");
    QTest::newRow("no collection") << state("").replace("https://x/", "")
                                   << QStringLiteral("the file has no collection");
    QTest::newRow("actions not a list")
        << state("").replace("[]", "{}") << QStringLiteral("the file has no list of actions");
    QTest::newRow("action without UID")
        << state(R"({"href":"/a.ics","etag":"","base":{}})") << QStringLiteral("action 1 has no uid");
    QTest::newRow("UID twice")
        << state(R"({"uid":"a","href":"/a","etag":"","base":{}},{"uid":"a","href":"/b","etag":"","base":{}})")
        << QStringLiteral("action 2 repeats the UID a");
    QTest::newRow("address twice")
        << state(R"({"uid":"a","href":"/a","etag":"","base":{}},{"uid":"b","href":"/a","etag":"","base":{}})")
        << QStringLiteral("action 2 repeats the address /a");
    QTest::newRow("base not an object") << action("[]") << QStringLiteral("action 1 base is not an object");
    QTest::newRow("sent not an object")
        << action(R"({},"sent":"x")") << QStringLiteral("action 1 sent is not an object");
    QTest::newRow("number beyond 32 bits")
        << action(R"({"ID":4294967296})") << QStringLiteral("action 1 ID is no whole number of 32 bits");
    QTest::newRow("fraction") << action(R"({"ID":1.5})")
                              << QStringLiteral("action 1 ID is no whole number of 32 bits");
    QTest::newRow("impossible date") << action(R"({"DATE_DUE":{"date":"2026-02-30"}})")
                                     << QStringLiteral("action 1 DATE_DUE is not a valid date");
    QTest::newRow("year 0") << action(R"({"DATE_DUE":{"date":"0000-01-01"}})")
                            << QStringLiteral("action 1 DATE_DUE is not a valid date");
    QTest::newRow("bad time") << action(R"({"TIME_LOG":{"time":"25:00:00"}})")
                              << QStringLiteral("action 1 TIME_LOG is not a valid time");
    QTest::newRow("value of no kind")
        << action(R"({"ID":[1]})") << QStringLiteral("action 1 ID is no value of a field");
    QTest::newRow("boolean") << action(R"({"ID":true})")
                             << QStringLiteral("action 1 ID is no value of a field");
}

void TestSyncState::damagedStateIsRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString fileName = dir_.filePath(QStringLiteral("damaged.json"));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    const QString error = LoadError(fileName);
    QVERIFY2(
        error.startsWith(QStringLiteral("The synchronisation state \"%1\" cannot be read: ").arg(fileName)),
        qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    // The damaged file is left as it was.
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
}

void TestSyncState::failedWriteKeepsTheOldState()
{
    const QString fileName = dir_.filePath(QStringLiteral("full.json"));
    const TSyncState old = SampleState(2);
    SaveSyncState(fileName, old);
    QString error;
    {
        FullDisk full(QFile(fileName).size() + 100);
        try {
            SaveSyncState(fileName, SampleState(200));
        } catch (const AppError &e) {
            error = e.message();
        }
    }
    QVERIFY2(error.startsWith(
                 QStringLiteral("The synchronisation state \"%1\" cannot be written: ").arg(fileName)),
             qPrintable(error));
    CompareStates(LoadSyncState(fileName), old);

    const QString folder = dir_.filePath(QStringLiteral("folder.json"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(LoadError(folder).endsWith(QStringLiteral("it is not a file")));
}

void TestSyncState::newUidsAreRandom()
{
    const QString first = NewTodoUid(), second = NewTodoUid();
    QCOMPARE(first.size(), 36);
    QVERIFY(first != second);
}

QTEST_GUILESS_MAIN(TestSyncState)
#include "tst_syncstate.moc"
