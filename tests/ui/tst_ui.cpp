#include "Formats.h"

#include <QtTest>

class TestUi : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void datesRoundTripAsDayMonthYear_data();
    void datesRoundTripAsDayMonthYear();
    void invalidDatesAndTimesParseAsNull();
    void datesOutsideFourDigitYearsParseAsNull_data();
    void datesOutsideFourDigitYearsParseAsNull();
};

void TestUi::datesRoundTripAsDayMonthYear_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("text");
    QTest::newRow("single digits padded") << QDate(2026, 3, 7) << "07/03/2026";
    QTest::newRow("end of year") << QDate(1999, 12, 31) << "31/12/1999";
    QTest::newRow("null date is empty") << QDate() << "";
    QTest::newRow("first year") << QDate(1, 1, 1) << "01/01/0001";
    QTest::newRow("last year") << QDate(9999, 12, 31) << "31/12/9999";
}

void TestUi::datesRoundTripAsDayMonthYear()
{
    QFETCH(QDate, date);
    QFETCH(QString, text);
    QCOMPARE(FormatDate(date), text);
    QCOMPARE(ParseDate(text), date);
}

void TestUi::invalidDatesAndTimesParseAsNull()
{
    QVERIFY(ParseDate("31/02/2026").isNull());
    QVERIFY(ParseDate("2026-02-01").isNull());
    QVERIFY(ParseTime("25:00:00").isNull());
    QCOMPARE(ParseTime("7:05:09"), QTime(7, 5, 9));
    QCOMPARE(FormatDateTime(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))), QString("02/01/2026 03:04:05"));
}

void TestUi::datesOutsideFourDigitYearsParseAsNull_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("negative year") << "01/01/-2024";
    QTest::newRow("negative short year") << "1/1/-200";
    QTest::newRow("five-digit year") << "01/01/10000";
    QTest::newRow("year zero") << "01/01/0000";
    QTest::newRow("plus sign") << "01/01/+2024";
}

void TestUi::datesOutsideFourDigitYearsParseAsNull()
{
    QFETCH(QString, text);
    QVERIFY(ParseDate(text).isNull());
    QVERIFY(!IsStorableDate(QDate(-1, 1, 1)));
    QVERIFY(!IsStorableDate(QDate(10000, 1, 1)));
}

QTEST_GUILESS_MAIN(TestUi)
#include "tst_ui.moc"
