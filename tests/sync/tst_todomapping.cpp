#include "SampleAction.h"
#include "TodoMapping.h"

#include <QDateTime>
#include <QTest>
#include <QTimeZone>

namespace {

const QString kUid = QStringLiteral("5f1c2d9e-0b7a-4c1e-9f3a-2a6b8c0d1e2f");

void CompareFields(const TRecordValues &actual, const TRecordValues &expected)
{
    for (const QString &field : TodoActionFields()) {
        const QVariant got = actual.value(field), want = expected.value(field);
        if (!SameValue(got, want))
            QFAIL(qPrintable(QStringLiteral("%1: got %2 (%3), expected %4 (%5)")
                                 .arg(field, got.toString().left(80), QLatin1String(got.typeName()),
                                      want.toString().left(80), QLatin1String(want.typeName()))));
    }
}

QByteArray ForeignTodo(const QByteArray &properties)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Tasks//EN\r\nBEGIN:VTODO\r\n"
           "UID:other-1\r\nDTSTAMP:20260101T000000Z\r\n" +
           properties + "END:VTODO\r\nEND:VCALENDAR\r\n";
}

} // namespace

class TestTodoMapping : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTripKeepsEveryField_data();
    void roundTripKeepsEveryField();
    void standardPropertiesCarryTheAction();
    void todoMadeElsewhereGivesStandardFields_data();
    void todoMadeElsewhereGivesStandardFields();
    void changeElsewhereWinsOverTheCopy_data();
    void changeElsewhereWinsOverTheCopy();
    void updateKeepsWhatOtherProgramsWrote();
    void hostileTodosAreRefusedOrClamped_data();
    void hostileTodosAreRefusedOrClamped();
};

void TestTodoMapping::roundTripKeepsEveryField_data()
{
    QTest::addColumn<TRecordValues>("action");
    const TRecordValues full = FullAction();
    QTest::newRow("ordinary") << full;
    TRecordValues empty;
    for (const QString &field : TodoActionFields())
        empty.insert(field, QVariant());
    QTest::newRow("every field empty") << empty;
    QTest::newRow("non-ASCII") << With(
        full, {{QStringLiteral("SYNOPSIS"), QStringLiteral("Bestellen: Fender für Kai – 🚢 ÆØÅ")},
               {QStringLiteral("ACTOR_OWNER"), QStringLiteral("Ōkafor")},
               {QStringLiteral("FUNCTIONAL_AREA"), QStringLiteral("Hafen/港口")},
               {QStringLiteral("DESCRIPTION"), QStringLiteral("Ελληνικά\nрусский")}});
    QTest::newRow("texts as long as their fields") << With(
        full, {{QStringLiteral("ATTRIBUTE"), QString(32, QLatin1Char('A'))},
               {QStringLiteral("ID_ACTION"), QString(128, QLatin1Char('I'))},
               {QStringLiteral("SYNOPSIS"), QString(QString(255, QLatin1Char('s')) + QStringLiteral("é"))},
               {QStringLiteral("RELATIONS"), QString(256, QLatin1Char(','))},
               {QStringLiteral("DESCRIPTION"), QString(200000, QLatin1Char('d'))},
               {QStringLiteral("SIGN_OFF"), QStringLiteral("done ").repeated(20000)}});
    const QString special = QStringLiteral("a,b;c\\d:e\"f%41g\th\ni\r\nj\rk\x01l\x1fm\x7fn  ");
    QTest::newRow("separators, line breaks and control characters")
        << With(full, {{QStringLiteral("SYNOPSIS"), special.trimmed()},
                       {QStringLiteral("DESCRIPTION"), special},
                       {QStringLiteral("FUNCTIONAL_AREA"), QStringLiteral("A, B;C")},
                       {QStringLiteral("ACTOR_OWNER"), QStringLiteral(";,:\\")},
                       {QStringLiteral("SIGN_OFF"), QStringLiteral("\r\n\r\nend\r\n")}});
    QTest::newRow("leading blanks and blank texts")
        << With(full, {{QStringLiteral("SYNOPSIS"), QStringLiteral("  indented")},
                       {QStringLiteral("DESCRIPTION"), QStringLiteral("   ")},
                       {QStringLiteral("SIGN_OFF"), QStringLiteral("\n")}});
    QTest::newRow("dates at both ends of the range")
        << With(full, {{QStringLiteral("DATE_ACTION"), QDate(1, 1, 1)},
                       {QStringLiteral("DATE_DUE"), QDate(9999, 12, 31)},
                       {QStringLiteral("DATE_STATUS"), QDate(9999, 12, 31)},
                       {QStringLiteral("DATE_FINISHED"), QDate(1, 1, 1)}});
    QTest::newRow("due before the start") << With(full, {{QStringLiteral("DATE_ACTION"), QDate(2026, 5, 1)},
                                                         {QStringLiteral("DATE_DUE"), QDate(2026, 4, 1)}});
    QTest::newRow("resolved with another status word")
        << With(full, {{QStringLiteral("DATE_FINISHED"), QDate(2026, 4, 2)},
                       {QStringLiteral("STATUS"), QStringLiteral("Active")}});
    QTest::newRow("resolved") << With(full, {{QStringLiteral("DATE_FINISHED"), QDate(2026, 4, 2)},
                                             {QStringLiteral("STATUS"), QStringLiteral("Resolved")},
                                             {QStringLiteral("SIGN_OFF"), QStringLiteral("Fitted")}});
    QTest::newRow("no synopsis, shown by its Action ID")
        << With(full, {{QStringLiteral("SYNOPSIS"), QVariant()}});
    QTest::newRow("words the rules do not know")
        << With(full, {{QStringLiteral("STATUS"), QStringLiteral(" active")},
                       {QStringLiteral("SEVERITY"), QStringLiteral("Whenever")}});
    QTest::newRow("no status or severity")
        << With(full, {{QStringLiteral("STATUS"), QVariant()}, {QStringLiteral("SEVERITY"), QVariant()}});
    QTest::newRow("identifiers at the ends of 32 bits")
        << With(full, {{QStringLiteral("ID"), std::numeric_limits<int>::max()},
                       {QStringLiteral("ID_CHAIN"), std::numeric_limits<int>::min()}});
}

void TestTodoMapping::roundTripKeepsEveryField()
{
    QFETCH(TRecordValues, action);
    const TTodoWriting written = ActionToTodo(action, kUid);
    QVERIFY2(written.ok, qPrintable(written.error));
    const TTodoReading read = TodoToAction(written.ical);
    QVERIFY2(read.ok, qPrintable(read.error));
    QCOMPARE(read.uid, kUid);
    QVERIFY(read.notes.isEmpty());
    CompareFields(read.fields, action);

    // Written again over itself, as after a change on the server.
    const TTodoWriting again = ActionToTodo(action, kUid, written.ical);
    QVERIFY(again.ok);
    CompareFields(TodoToAction(again.ical).fields, action);
    // And over a todo of other values: nothing of them stays.
    const TTodoWriting over = ActionToTodo(action, kUid, ActionToTodo(FullAction(), kUid).ical);
    CompareFields(TodoToAction(over.ical).fields, action);
}

void TestTodoMapping::standardPropertiesCarryTheAction()
{
    const TRecordValues action = With(FullAction(), {{QStringLiteral("DATE_FINISHED"), QDate(2026, 4, 2)}});
    const QByteArray ical = ActionToTodo(action, kUid).ical;
    for (const char *line :
         {"SUMMARY:Order fenders", "DTSTART;VALUE=DATE:20260301", "DUE;VALUE=DATE:20260430",
          "COMPLETED:20260402T120000Z", "STATUS:COMPLETED", "PRIORITY:3", "CATEGORIES:Harbour",
          "PERCENT-COMPLETE:100", "X-DRAVELIN-ID-ACTION:QUAY-4", "X-DRAVELIN-STATUS:Active",
          "UID:5f1c2d9e-0b7a-4c1e-9f3a-2a6b8c0d1e2f"})
        QVERIFY2(ical.contains(QByteArray(QByteArray(line) + "\r\n")), line);
    // Plain texts travel once.
    QVERIFY(!ical.contains("X-DRAVELIN-SYNOPSIS"));
    QVERIFY(!ical.contains("X-DRAVELIN-DESCRIPTION"));
    QCOMPARE(ical.count("BEGIN:VTODO"), 1);
}

void TestTodoMapping::todoMadeElsewhereGivesStandardFields_data()
{
    QTest::addColumn<QByteArray>("properties");
    QTest::addColumn<TRecordValues>("fields");
    const QDate today(2026, 12, 10);
    QTest::newRow("open task with everything")
        << QByteArray("SUMMARY:Paint the hull\r\nDESCRIPTION:Blue\\, two coats\\nthen dry\r\n"
                      "DTSTART;TZID=Europe/Paris:20260301T090000\r\nDUE:20260315T170000Z\r\nPRIORITY:1\r\n"
                      "CATEGORIES:Work,Boat\r\nSTATUS:IN-PROCESS\r\n")
        << TRecordValues{{QStringLiteral("SYNOPSIS"), QStringLiteral("Paint the hull")},
                         {QStringLiteral("DESCRIPTION"), QStringLiteral("Blue, two coats\nthen dry")},
                         {QStringLiteral("DATE_ACTION"), QDate(2026, 3, 1)},
                         {QStringLiteral("DATE_DUE"), QDate(2026, 3, 15)},
                         {QStringLiteral("SEVERITY"), QStringLiteral("Red Alert")},
                         {QStringLiteral("FUNCTIONAL_AREA"), QStringLiteral("Work,Boat")},
                         {QStringLiteral("STATUS"), QStringLiteral("Active")}};
    QTest::newRow("bare task") << QByteArray("SUMMARY:Call\r\n")
                               << TRecordValues{{QStringLiteral("SYNOPSIS"), QStringLiteral("Call")}};
    QTest::newRow("low priority") << QByteArray("SUMMARY:x\r\nPRIORITY:6\r\n")
                                  << TRecordValues{{QStringLiteral("SYNOPSIS"), QStringLiteral("x")},
                                                   {QStringLiteral("SEVERITY"), QStringLiteral("Low")}};
    const QDateTime completed(QDate(2026, 3, 20), QTime(23, 30), QTimeZone::utc());
    QTest::newRow("completed elsewhere")
        << QByteArray("SUMMARY:Done\r\nSTATUS:COMPLETED\r\nCOMPLETED:20260320T233000Z\r\n")
        << TRecordValues{{QStringLiteral("SYNOPSIS"), QStringLiteral("Done")},
                         {QStringLiteral("DATE_FINISHED"), completed.toLocalTime().date()},
                         {QStringLiteral("STATUS"), QStringLiteral("Resolved")}};
    QTest::newRow("completed with no moment: today")
        << QByteArray("SUMMARY:Done\r\nSTATUS:COMPLETED\r\n")
        << TRecordValues{{QStringLiteral("SYNOPSIS"), QStringLiteral("Done")},
                         {QStringLiteral("DATE_FINISHED"), today},
                         {QStringLiteral("STATUS"), QStringLiteral("Resolved")}};
    QTest::newRow("cancelled") << QByteArray("SUMMARY:Off\r\nSTATUS:CANCELLED\r\n")
                               << TRecordValues{{QStringLiteral("SYNOPSIS"), QStringLiteral("Off")},
                                                {QStringLiteral("STATUS"), QStringLiteral("Void")}};
}

void TestTodoMapping::todoMadeElsewhereGivesStandardFields()
{
    QFETCH(QByteArray, properties);
    QFETCH(TRecordValues, fields);
    const TTodoReading read = TodoToAction(ForeignTodo(properties), QDate(2026, 12, 10));
    QVERIFY2(read.ok, qPrintable(read.error));
    QVERIFY(read.foreign);
    QCOMPARE(read.uid, QStringLiteral("other-1"));
    // Only the standard fields; the caller fills the rest as for a new action.
    QCOMPARE(read.fields.contains(QStringLiteral("ID")), false);
    QCOMPARE(read.fields.contains(QStringLiteral("ACTOR_OWNER")), false);
    CompareFields(read.fields, fields);
}

void TestTodoMapping::changeElsewhereWinsOverTheCopy_data()
{
    QTest::addColumn<TRecordValues>("action");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<TRecordValues>("changes");
    const TRecordValues full = FullAction();
    QTest::newRow("summary of a synopsis with a control character")
        << With(full, {{QStringLiteral("SYNOPSIS"), QStringLiteral("Order\x01 fenders")}})
        << QByteArray("SUMMARY:Order fenders") << QByteArray("SUMMARY:Order buoys")
        << TRecordValues{{QStringLiteral("SYNOPSIS"), QStringLiteral("Order buoys")}};
    QTest::newRow("start moved before the due date")
        << With(full, {{QStringLiteral("DATE_ACTION"), QDate(2026, 5, 1)}})
        << QByteArray("DUE;VALUE=DATE:20260430")
        << QByteArray("DUE;VALUE=DATE:20260430\r\nDTSTART;VALUE=DATE:20260420")
        << TRecordValues{{QStringLiteral("DATE_ACTION"), QDate(2026, 4, 20)}};
    QTest::newRow("priority") << full << QByteArray("PRIORITY:3") << QByteArray("PRIORITY:9")
                              << TRecordValues{{QStringLiteral("SEVERITY"), QStringLiteral("Cosmetic")}};
    QTest::newRow("priority removed") << full << QByteArray("PRIORITY:3\r\n") << QByteArray()
                                      << TRecordValues{{QStringLiteral("SEVERITY"), QVariant()}};
    QTest::newRow("completed") << full << QByteArray("STATUS:IN-PROCESS")
                               << QByteArray("STATUS:COMPLETED\r\nCOMPLETED:20260402T120000Z")
                               << TRecordValues{{QStringLiteral("DATE_FINISHED"), QDate(2026, 4, 2)},
                                                {QStringLiteral("STATUS"), QStringLiteral("Resolved")}};
    QTest::newRow("opened again") << With(full, {{QStringLiteral("DATE_FINISHED"), QDate(2026, 4, 2)},
                                                 {QStringLiteral("STATUS"), QStringLiteral("Resolved")}})
                                  << QByteArray("STATUS:COMPLETED") << QByteArray("STATUS:NEEDS-ACTION")
                                  << TRecordValues{
                                         {QStringLiteral("DATE_FINISHED"), QVariant()},
                                         {QStringLiteral("STATUS"), QStringLiteral("Reintroduced")}};
    QTest::newRow("categories") << full << QByteArray("CATEGORIES:Harbour")
                                << QByteArray("CATEGORIES:Quay,Dock")
                                << TRecordValues{
                                       {QStringLiteral("FUNCTIONAL_AREA"), QStringLiteral("Quay,Dock")}};
}

void TestTodoMapping::changeElsewhereWinsOverTheCopy()
{
    QFETCH(TRecordValues, action);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(TRecordValues, changes);
    QByteArray ical = ActionToTodo(action, kUid).ical;
    QVERIFY2(ical.contains(from), ical.constData());
    ical.replace(from, to);
    if (from.contains("COMPLETED"))
        ical.replace("COMPLETED:20260402T120000Z\r\n", "");
    const TTodoReading read = TodoToAction(ical);
    QVERIFY2(read.ok, qPrintable(read.error));
    CompareFields(read.fields, With(action, changes));
}

void TestTodoMapping::updateKeepsWhatOtherProgramsWrote()
{
    const QByteArray foreign =
        ForeignTodo("SUMMARY:Paint\r\nDTSTART;TZID=Europe/Paris:20260301T090000\r\nCATEGORIES:Work,Boat\r\n"
                    "X-MOZ-GENERATION:3\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Paint\r\n"
                    "TRIGGER:-PT15M\r\nEND:VALARM\r\n");
    TTodoReading read = TodoToAction(foreign);
    QVERIFY(read.ok);
    TRecordValues action = read.fields;
    action.insert(QStringLiteral("ID"), 7);
    action.insert(QStringLiteral("SYNOPSIS"), QStringLiteral("Paint the hull"));
    const TTodoWriting written = ActionToTodo(action, read.uid, foreign);
    QVERIFY(written.ok);
    for (const char *kept :
         {"X-MOZ-GENERATION:3", "BEGIN:VALARM", "TRIGGER:-PT15M", "DTSTART;TZID=Europe/Paris:20260301T090000",
          "CATEGORIES:Work", "CATEGORIES:Boat", "UID:other-1", "SUMMARY:Paint the hull", "X-DRAVELIN-ID:7"})
        QVERIFY2(written.ical.contains(kept), kept);
    QCOMPARE(written.ical.count("SUMMARY:"), 1);
    // What libical could not read is not written back as its error notes.
    QVERIFY(!ActionToTodo(action, read.uid, ForeignTodo("TR\x19IGGER:x\r\n")).ical.contains("X-LIC-ERROR"));
    read = TodoToAction(written.ical);
    QVERIFY(!read.foreign);
    CompareFields(read.fields, action);
}

void TestTodoMapping::hostileTodosAreRefusedOrClamped_data()
{
    QTest::addColumn<QByteArray>("ical");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("notes");
    QTest::addColumn<TRecordValues>("fields");

    QTest::newRow("too large") << ForeignTodo("DESCRIPTION:" + QByteArray(17 << 20, 'x') + "\r\n")
                               << QStringLiteral("The task is larger than 16 MB") << QStringList()
                               << TRecordValues();
    QTest::newRow("no calendar text")
        << QByteArray("hello") << QStringLiteral("The task is no iCalendar text") << QStringList()
        << TRecordValues();
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe BEGIN:VTODO", 14)
                            << QStringLiteral("The task is no iCalendar text") << QStringList()
                            << TRecordValues();
    QTest::newRow("an event")
        << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:e\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
        << QStringLiteral("The calendar object holds no task") << QStringList() << TRecordValues();
    QTest::newRow("two tasks")
        << QByteArray(
               "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:a\r\nEND:VTODO\r\nBEGIN:VTODO\r\nUID:b\r\nEND:VTODO\r\n"
               "END:VCALENDAR\r\n")
        << QStringLiteral("The calendar object holds more than one task") << QStringList() << TRecordValues();
    QTest::newRow("no UID")
        << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nSUMMARY:x\r\nEND:VTODO\r\nEND:VCALENDAR\r\n")
        << QStringLiteral("The task has no UID") << QStringList() << TRecordValues();
    QTest::newRow("UID too long") << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:" +
                                                QByteArray(2000, 'u') + "\r\nEND:VTODO\r\nEND:VCALENDAR\r\n")
                                  << QStringLiteral("The task's UID is longer than 1024 characters")
                                  << QStringList() << TRecordValues();
    QTest::newRow("UID with a line break")
        << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:a\rb\r\nEND:VTODO\r\nEND:VCALENDAR\r\n")
        << QStringLiteral("The task's UID holds control characters or blanks at its ends") << QStringList()
        << TRecordValues();
    // libical reads the unknown escape \o as a blank.
    QTest::newRow("UID with a blank at its start")
        << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:\\one\r\nEND:VTODO\r\nEND:VCALENDAR\r\n")
        << QStringLiteral("The task's UID holds control characters or blanks at its ends") << QStringList()
        << TRecordValues();
    QTest::newRow("deeply nested") << ForeignTodo(QByteArray("BEGIN:VALARM\r\n").repeated(300) +
                                                  QByteArray("END:VALARM\r\n").repeated(300))
                                   << QStringLiteral("The task has more than 200 parts") << QStringList()
                                   << TRecordValues();
    QTest::newRow("texts longer than their fields")
        << ForeignTodo("SUMMARY:" + QByteArray(300, 's') + "\r\nCATEGORIES:" + QByteArray(300, 'c') + "\r\n")
        << QString()
        << QStringList{QStringLiteral("SYNOPSIS was longer than 256 characters and was cut"),
                       QStringLiteral("FUNCTIONAL_AREA was longer than 256 characters and was cut")}
        << TRecordValues{{QStringLiteral("SYNOPSIS"), QString(256, QLatin1Char('s'))},
                         {QStringLiteral("FUNCTIONAL_AREA"), QString(256, QLatin1Char('c'))}};
    QTest::newRow("dates out of range or invalid")
        << ForeignTodo("SUMMARY:d\r\nDTSTART;VALUE=DATE:00000101\r\nDUE;VALUE=DATE:20261340\r\n") << QString()
        << QStringList{QStringLiteral("DATE_DUE is no date from 0001-01-01 to 9999-12-31 and was left empty"),
                       QStringLiteral(
                           "DATE_ACTION is no date from 0001-01-01 to 9999-12-31 and was left empty")}
        << TRecordValues{{QStringLiteral("SYNOPSIS"), QStringLiteral("d")}};
    QTest::newRow("values of the wrong type")
        << ForeignTodo("SUMMARY:w\r\nPRIORITY:urgent\r\nDUE:tomorrow\r\nX-DRAVELIN-ID:99999999999\r\n"
                       "X-DRAVELIN-DATE-STATUS:yesterday\r\nX-DRAVELIN-STATUS:Void\r\n")
        << QString()
        << QStringList{QStringLiteral("ID is no whole number of 32 bits and was left empty"),
                       QStringLiteral("DATE_STATUS is no date and was left empty")}
        << TRecordValues{{QStringLiteral("SYNOPSIS"), QStringLiteral("w")},
                         {QStringLiteral("STATUS"), QStringLiteral("Void")}};
}

void TestTodoMapping::hostileTodosAreRefusedOrClamped()
{
    QFETCH(QByteArray, ical);
    QFETCH(QString, error);
    QFETCH(QStringList, notes);
    QFETCH(TRecordValues, fields);
    const TTodoReading read = TodoToAction(ical);
    QCOMPARE(read.error, error);
    QCOMPARE(read.ok, error.isEmpty());
    QCOMPARE(read.notes, notes);
    if (read.ok)
        CompareFields(read.fields, fields);
}

QTEST_GUILESS_MAIN(TestTodoMapping)
#include "tst_todomapping.moc"
