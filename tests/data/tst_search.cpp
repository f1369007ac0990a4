#include "Formats.h"
#include "SearchActionFile.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"
#include "TextMatcher.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSignalSpy>
#include <QtTest>
#include <random>
#include <vector>

namespace {

using Values = QVariantMap;

// The rule the search must follow, as plainly as it can be said.
bool ByRule(const QString &text, const QString &search)
{
    return UpperCase(text).contains(UpperCase(search));
}

void AppendTo(TTable *table, const Values &values)
{
    table->Append();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        table->FieldByName(it.key()).SetValue(it.value());
    table->Post();
}

// One result as "kind/ID_ACTION/field number/child ID".
QStringList Results(TTable *hits)
{
    QStringList rows;
    for (int row = 0; row < hits->RecordCount(); ++row) {
        const auto value = [&](const char *field) {
            return hits->DisplayTextAt(row, hits->FieldIndex(QLatin1String(field)));
        };
        const int kind = value("FOUND_IN").toInt();
        const char *child = kind == rkLog ? "ID_LOG" : kind == rkDecision ? "ID_DECISION" : "ID_STATEMENT";
        rows << QStringLiteral("%1/%2/%3/%4")
                    .arg(value("FOUND_IN"), value("ID_ACTION"), value("IN_FIELD_NUMBER"),
                         kind == rkAction ? QString() : value(child));
    }
    return rows;
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void matcherFollowsUpperCaseRule_data();
    void matcherFollowsUpperCaseRule();
    void matcherFollowsRuleOnRandomTexts();
    void matcherFindsTextAtEveryPlace();
    void matcherFollowsTurkishLocale();
    void datesAndTimesMatchInDisplayForm_data();
    void datesAndTimesMatchInDisplayForm();
    void everyDateAndTimeMatchesAsItsDisplayText_data();
    void everyDateAndTimeMatchesAsItsDisplayText();

    void mediumFindsSeverityOfEveryListedAction();
    void resultsFollowListOrderThenLogDecisionsStatements();
    void childrenFoundWhateverTheActionIds_data();
    void childrenFoundWhateverTheActionIds();
    void resultRecordsCarryTheirRecord();
    void logMatchInStatusLineAndDescriptionGivesTwo();
    void searchKeepsListFilterCurrentAndIndex();
    void openFilterLimitsSearch();
    void trailingBlankIsPartOfText();
    void resultsGoToTemporaryFileAndClose();
    void resultsOutliveTheTablesTheyCameFrom();
    void gotoSearchActionMakesActionCurrent();
    void rowColoursByKind_data();
    void rowColoursByKind();

private:
    void CreateFile(const QList<Values> &actions, const QList<Values> &logs = {},
                    const QList<Values> &decisions = {}, const QList<Values> &statements = {});
    void StandardFile();

    TestWorkspace fixture_;
    std::unique_ptr<TDataModuleMain> &data_ = fixture_.data;
};

void TestSearch::initTestCase()
{
    UseTestStandardPaths();
}

void TestSearch::init()
{
    fixture_.Start();
}

void TestSearch::cleanup()
{
    if (data_ && data_->cdsActionsSearch->Active())
        CloseSearchResults(*data_);
    fixture_.Finish();
}

void TestSearch::CreateFile(const QList<Values> &actions, const QList<Values> &logs,
                            const QList<Values> &decisions, const QList<Values> &statements)
{
    const QString file = fixture_.dir->filePath(QStringLiteral("Work.act"));
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file, true));
    for (const Values &values : actions)
        AppendTo(data_->cdsActions, values);
    for (const Values &values : logs)
        AppendTo(data_->cdsLog, values);
    for (const Values &values : decisions)
        AppendTo(data_->cdsDecision, values);
    for (const Values &values : statements)
        AppendTo(data_->cdsStatement, values);
    data_->Tables.Close();
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file, false));
    data_->FilterLogByAction();
}

// Three actions listed by ATTRIBUTE_DESC as C, B, A; the word "needle" in
// several places of each kind of record.
void TestSearch::StandardFile()
{
    CreateFile(
        {{{"ID", 1},
          {"ATTRIBUTE", "A"},
          {"ID_ACTION", "one"},
          {"SEVERITY", "Medium"},
          {"DESCRIPTION", "a needle here"}},
         {{"ID", 2},
          {"ATTRIBUTE", "C"},
          {"ID_ACTION", "two"},
          {"SEVERITY", "Medium to High"},
          {"SYNOPSIS", "Needle"},
          {"SIGN_OFF", "NEEDLE"}},
         {{"ID", 3},
          {"ATTRIBUTE", "B"},
          {"ID_ACTION", "three"},
          {"SEVERITY", "High"},
          {"RELATIONS", "premedium"}}},
        {{{"ID", 10},
          {"ID_ACTION", 2},
          {"DATE_LOG", QDate(2021, 1, 1)},
          {"TIME_LOG", QTime(9, 0)},
          {"REMARKS", "needle"}},
         {{"ID", 11},
          {"ID_ACTION", 2},
          {"DATE_LOG", QDate(2021, 1, 2)},
          {"TIME_LOG", QTime(8, 0)},
          {"STATUS_LINE", "a needle"},
          {"DESCRIPTION", "needle again"}},
         {{"ID", 12}, {"ID_ACTION", 1}, {"DATE_LOG", QDate(2021, 1, 1)}, {"STATUS_LINE", "none"}}},
        {{{"ID", 20}, {"ID_ACTION", 2}, {"DATE_ENTERED", QDate(2020, 5, 1)}, {"SYNOPSIS", "needle d"}},
         {{"ID", 21}, {"ID_ACTION", 2}, {"DATE_ENTERED", QDate(2020, 6, 1)}, {"BACKED_BY", "Needles"}}},
        {{{"ID", 30}, {"ID_ACTION", 3}, {"DATE_ENTERED", QDate(2020, 5, 1)}, {"DESCRIPTION", "the needle"}}});
}

void TestSearch::matcherFollowsUpperCaseRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("search");
    QTest::addColumn<bool>("found");
    QTest::newRow("mixed case") << "Medium to High"
                                << "mEDIUM" << true;
    QTest::newRow("inside a word") << "premedium"
                                   << "medium" << true;
    QTest::newRow("not there") << "Medium"
                               << "mediums" << false;
    QTest::newRow("trailing blank kept") << "Medium"
                                         << "medium " << false;
    QTest::newRow("trailing blank found") << "Medium to High"
                                          << "medium " << true;
    QTest::newRow("sharp s searched as SS") << "Straße"
                                            << "STRASSE" << true;
    QTest::newRow("SS searched as sharp s") << "STRASSE"
                                            << "straße" << true;
    QTest::newRow("sharp s in both") << "Grüße aus Köln"
                                     << "GRÜSSE" << true;
    QTest::newRow("sharp s alone") << "Fass"
                                   << "ß" << true;
    QTest::newRow("umlaut either case") << "Ärger im Büro"
                                        << "ärger IM bü" << true;
    QTest::newRow("umlaut differs from plain") << "Ärger"
                                               << "ARGER" << false;
    QTest::newRow("accent against ASCII text") << "cafe"
                                               << "café" << false;
    QTest::newRow("accented text") << "Crème brûlée"
                                   << "CRÈME BRÛ" << true;
    QTest::newRow("ligature to ASCII") << "ﬁle"
                                       << "FILE" << true;
    QTest::newRow("dotless i") << "ıi"
                               << "II" << true;
    QTest::newRow("punctuation exact") << "a@b"
                                       << "A`B" << false;
    QTest::newRow("digits") << "PRJ_00042"
                            << "prj_0004" << true;
    QTest::newRow("whole text") << "x"
                                << "X" << true;
}

void TestSearch::matcherFollowsUpperCaseRule()
{
    QFETCH(QString, text);
    QFETCH(QString, search);
    QFETCH(bool, found);
    QCOMPARE(ByRule(text, search), found);
    const TTextMatcher matcher(search);
    QCOMPARE(matcher.Matches(text), found);
    QCOMPARE(matcher.MatchesUtf8(text.toUtf8()), found);
    const TFieldDef memo{QStringLiteral("M"), ftMemo, 0};
    QCOMPARE(matcher.MatchesStored(memo, QVariant(text.toUtf8())), found);
    QCOMPARE(matcher.MatchesStored(memo, QVariant(text)), found);
    QVERIFY(!matcher.MatchesStored(memo, QVariant()));
}

void TestSearch::matcherFollowsRuleOnRandomTexts()
{
    // Mixed ASCII and non-ASCII letters whose capitals meet: ß and SS, ı
    // and I, ﬁ and FI, é and É.
    const QString alphabet = QStringLiteral("aAbBsSßfFiIıﬁéÉ -");
    std::mt19937 random(7);
    const auto pick = [&](int length) {
        QString text;
        for (int i = 0; i < length; ++i)
            text += alphabet[int(random() % unsigned(alphabet.size()))];
        return text;
    };
    for (int round = 0; round < 4000; ++round) {
        const QString search = pick(1 + int(random() % 3));
        const QString text = pick(int(random() % 40));
        const TTextMatcher matcher(search);
        const bool expected = ByRule(text, search);
        if (matcher.Matches(text) != expected || matcher.MatchesUtf8(text.toUtf8()) != expected)
            QFAIL(qPrintable(QStringLiteral("\"%1\" in \"%2\"").arg(search, text)));
    }
}

void TestSearch::matcherFindsTextAtEveryPlace()
{
    // Every offset around the blocks the comparison reads at once, and a
    // near miss at each.
    const TTextMatcher matcher(QStringLiteral("NeEdLe"));
    for (int length = 6; length <= 70; ++length) {
        for (int at = 0; at + 6 <= length; ++at) {
            QString text(length, QLatin1Char('x'));
            text.replace(at, 6, QStringLiteral("needle"));
            QString miss = text;
            miss[at + 5] = QLatin1Char('f');
            QVERIFY2(matcher.Matches(text) && matcher.MatchesUtf8(text.toUtf8()),
                     qPrintable(QStringLiteral("%1 at %2").arg(length).arg(at)));
            QVERIFY(!matcher.Matches(miss) && !matcher.MatchesUtf8(miss.toUtf8()));
        }
    }
    // A character beyond ASCII anywhere sends the text through the rule.
    QVERIFY(
        TTextMatcher(QStringLiteral("strasse")).Matches(QString(QString(40, QLatin1Char('x')) + "straße")));
    QVERIFY(TTextMatcher(QStringLiteral("x")).Matches(QStringLiteral("xé")));
    QVERIFY(TTextMatcher(QString()).Matches(QStringLiteral("any")));
}

void TestSearch::matcherFollowsTurkishLocale()
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    const QStringList texts{"istanbul", "ISTANBUL", "İstanbul", "ıi", "Diyarbakır"};
    const QStringList searches{"i", "I", "İ", "ı", "istanbul", "BAKIR"};
    for (const QString &search : searches) {
        const TTextMatcher matcher(search);
        for (const QString &text : texts) {
            QCOMPARE(matcher.Matches(text), ByRule(text, search));
            QCOMPARE(matcher.MatchesUtf8(text.toUtf8()), ByRule(text, search));
        }
    }
    QLocale::setDefault(before);
}

void TestSearch::datesAndTimesMatchInDisplayForm_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("search");
    QTest::newRow("year") << QVariant(QDate(2021, 3, 4)) << "2021";
    QTest::newRow("day and month") << QVariant(QDate(2021, 3, 4)) << "04/03";
    QTest::newRow("short form") << QVariant(QDate(2021, 3, 4)) << "4/3/2021";
    QTest::newRow("early year") << QVariant(QDate(5, 12, 31)) << "31/12/0005";
    QTest::newRow("three-digit year") << QVariant(QDate(999, 1, 1)) << "0999";
    QTest::newRow("last year") << QVariant(QDate(9999, 12, 31)) << "31/12/9999";
    QTest::newRow("leap day") << QVariant(QDate(2024, 2, 29)) << "29/02/2024";
    QTest::newRow("new year") << QVariant(QDate(2000, 1, 1)) << "01/01/2000";
    QTest::newRow("year's end") << QVariant(QDate(1999, 12, 31)) << "31/12/1999";
    QTest::newRow("first of March") << QVariant(QDate(1900, 3, 1)) << "01/03/1900";
    QTest::newRow("time") << QVariant(QTime(9, 5, 7)) << "09:05:07";
    QTest::newRow("time part") << QVariant(QTime(23, 59, 0)) << "9:00";
    QTest::newRow("time short") << QVariant(QTime(9, 5, 7)) << "9:5";
}

void TestSearch::datesAndTimesMatchInDisplayForm()
{
    QFETCH(QVariant, value);
    QFETCH(QString, search);
    const bool isDate = value.typeId() == QMetaType::QDate;
    const TFieldDef field{QStringLiteral("F"), isDate ? ftDate : ftTime, 0};
    const QString shown = isDate ? FormatDate(value.toDate()) : FormatTime(value.toTime());
    QCOMPARE(DisplayText(field, value), shown);
    if (isDate) {
        // Every day of some years, around the leap rules.
        for (int year : {1000, 1600, 1900, 2000, 2023, 2024, 9999})
            for (QDate day(year, 1, 1); day.year() == year; day = day.addDays(1))
                if (DisplayText(field, day) != FormatDate(day))
                    QFAIL(qPrintable(FormatDate(day)));
    }
    QCOMPARE(TTextMatcher(search).MatchesStored(field, value), ByRule(shown, search));
    QVERIFY(TTextMatcher(shown).MatchesStored(field, value));
}

void TestSearch::everyDateAndTimeMatchesAsItsDisplayText_data()
{
    // Texts that stand in one part, across the separators, over a part's
    // ends, in more than one place, or nowhere.
    QTest::addColumn<QString>("search");
    for (const char *search : {"2021",  "1/20",     "/2021", "12/2",       "31/1",       "9/19", "0/0",
                               "1/1/2", "29/02",    "02/20", "01/01/2000", "31/12/9999", "/",    "1",
                               "00",    "0",        "//",    "2021 ",      "x",          "9:",   ":5",
                               "3:0",   "23:59:59", "00:00", "0:00:0",     ":",          "59",   ""})
        QTest::newRow(search) << QString::fromLatin1(search);
}

void TestSearch::everyDateAndTimeMatchesAsItsDisplayText()
{
    QFETCH(QString, search);
    const TTextMatcher matcher(search);
    const TFieldDef date{QStringLiteral("D"), ftDate, 0};
    // Every day around the ends of months, years, centuries and the years
    // of four digits.
    const QList<QPair<QDate, QDate>> spans{{QDate(999, 12, 20), QDate(1000, 2, 5)},
                                           {QDate(1899, 12, 20), QDate(1900, 3, 5)},
                                           {QDate(1999, 12, 20), QDate(2000, 3, 5)},
                                           {QDate(2019, 12, 1), QDate(2022, 1, 31)},
                                           {QDate(9999, 11, 25), QDate(9999, 12, 31)}};
    for (const auto &[from, to] : spans)
        for (QDate day = from; day <= to; day = day.addDays(1))
            if (matcher.MatchesStored(date, day) != ByRule(FormatDate(day), search))
                QFAIL(qPrintable(FormatDate(day)));
    const TFieldDef time{QStringLiteral("T"), ftTime, 0};
    for (int hour = 0; hour < 24; ++hour)
        for (int minute = 0; minute < 60; ++minute)
            for (int second : {0, 1, 9, 10, 30, 59}) {
                const QTime moment(hour, minute, second, 999);
                if (matcher.MatchesStored(time, moment) != ByRule(FormatTime(moment), search))
                    QFAIL(qPrintable(FormatTime(moment)));
            }
    QVERIFY(!matcher.MatchesStored(date, QVariant()));
    QVERIFY(!matcher.MatchesStored(time, QVariant()));
}

void TestSearch::mediumFindsSeverityOfEveryListedAction()
{
    StandardFile();
    QVERIFY(SearchActionFile(*data_, QStringLiteral("medium")));
    TTable *hits = data_->cdsActionsSearch;
    QStringList severities;
    for (int row = 0; row < hits->RecordCount(); ++row)
        if (hits->DisplayTextAt(row, hits->FieldIndex("IN_FIELD_NAME")) ==
            QStringLiteral("Action Severity")) {
            QCOMPARE(hits->ValueAt(row, hits->FieldIndex("IN_FIELD_NUMBER")).toInt(), 10);
            severities << hits->DisplayTextAt(row, hits->FieldIndex("TEXT_FOUND"));
        }
    // Listed by ATTRIBUTE_DESC: two (C) before one (A).
    QCOMPARE(severities, QStringList({"Medium to High", "Medium"}));
    QCOMPARE(Results(hits), QStringList({"0/two/10/", "0/three/11/", "0/one/10/"}));
}

void TestSearch::resultsFollowListOrderThenLogDecisionsStatements()
{
    StandardFile();
    QVERIFY(SearchActionFile(*data_, QStringLiteral("needle")));
    // Per listed action: its fields in table order, then its log entries
    // newest first, its decisions and its statements by date, newest first.
    QCOMPARE(Results(data_->cdsActionsSearch),
             QStringList({"0/two/2/", "0/two/14/", "1/two/2/11", "1/two/7/11", "1/two/8/10", "2/two/3/21",
                          "2/two/1/20", "3/three/4/30", "0/one/13/"}));

    // Another order of the list gives another order of the results.
    data_->cdsActions->SetIndexName(QStringLiteral("ID_ASC"));
    CloseSearchResults(*data_);
    QVERIFY(SearchActionFile(*data_, QStringLiteral("needle")));
    QCOMPARE(Results(data_->cdsActionsSearch).first(), QStringLiteral("0/one/13/"));
}

void TestSearch::childrenFoundWhateverTheActionIds_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::newRow("close together") << 1 << 3;
    QTest::newRow("far apart") << 3 << 2000000000;
    QTest::newRow("below zero") << -7 << 0;
    QTest::newRow("listed in reverse") << 50 << 9;
}

void TestSearch::childrenFoundWhateverTheActionIds()
{
    // Each action's log entries, newest first, then its decision; a log
    // entry of an action that is not listed, between the two IDs, is not
    // found.
    QFETCH(int, first);
    QFETCH(int, second);
    const int between = first + (second - first) / 2;
    const auto log = [](int id, int action, int day) {
        return Values{
            {"ID", id}, {"ID_ACTION", action}, {"DATE_LOG", QDate(2021, 1, day)}, {"REMARKS", "needle"}};
    };
    CreateFile(
        {{{"ID", first}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "first"}},
         {{"ID", second}, {"ATTRIBUTE", "B"}, {"ID_ACTION", "second"}}},
        {log(10, first, 1), log(11, first, 2), log(20, second, 2), log(21, second, 1), log(30, between, 1)},
        {{{"ID", 40}, {"ID_ACTION", first}, {"DESCRIPTION", "needle"}},
         {{"ID", 41}, {"ID_ACTION", second}, {"DESCRIPTION", "needle"}}});
    QVERIFY(SearchActionFile(*data_, QStringLiteral("needle")));
    QCOMPARE(Results(data_->cdsActionsSearch), QStringList({"1/second/8/20", "1/second/8/21", "2/second/4/41",
                                                            "1/first/8/11", "1/first/8/10", "2/first/4/40"}));
}

void TestSearch::resultRecordsCarryTheirRecord()
{
    StandardFile();
    QVERIFY(SearchActionFile(*data_, QStringLiteral("02/01/2021")));
    TTable *hits = data_->cdsActionsSearch;
    QCOMPARE(hits->RecordCount(), 1);
    QCOMPARE(hits->RecNo(), 0);
    const auto field = [&](const char *name) { return hits->FieldByName(QLatin1String(name)); };
    QCOMPARE(field("FOUND_IN").AsInteger(), int(rkLog));
    QCOMPARE(field("ID_ACTION_ID").AsInteger(), 2);
    QCOMPARE(field("ID_ACTION").AsString(), QStringLiteral("two"));
    QCOMPARE(field("ID_LOG").AsInteger(), 11);
    QCOMPARE(field("ID_DECISION").AsInteger(), -1);
    QCOMPARE(field("ID_STATEMENT").AsInteger(), -1);
    QCOMPARE(field("LOG_STATUS_LINE").AsString(), QStringLiteral("a needle"));
    QVERIFY(field("DECISION_SYNOPSIS").IsNull());
    QVERIFY(field("STATEMENT_SYNOPSIS").IsNull());
    QCOMPARE(field("TEXT_FOUND").AsString(), QStringLiteral("02/01/2021"));
    QCOMPARE(field("IN_FIELD_NAME").AsString(), QStringLiteral("Log Date"));
    QCOMPARE(field("IN_FIELD_NUMBER").AsInteger(), 0);

    CloseSearchResults(*data_);
    QVERIFY(SearchActionFile(*data_, QStringLiteral("needle d")));
    QCOMPARE(field("FOUND_IN").AsInteger(), int(rkDecision));
    QCOMPARE(field("ID_DECISION").AsInteger(), 20);
    QCOMPARE(field("ID_LOG").AsInteger(), -1);
    QCOMPARE(field("DECISION_SYNOPSIS").AsString(), QStringLiteral("needle d"));
    QVERIFY(field("LOG_STATUS_LINE").IsNull());
    QCOMPARE(field("IN_FIELD_NAME").AsString(), QStringLiteral("Decision Synopsis"));

    CloseSearchResults(*data_);
    QVERIFY(SearchActionFile(*data_, QStringLiteral("THE NEEDLE")));
    QCOMPARE(field("FOUND_IN").AsInteger(), int(rkStatement));
    QCOMPARE(field("ID_STATEMENT").AsInteger(), 30);
    QCOMPARE(field("ID_ACTION").AsString(), QStringLiteral("three"));
    QCOMPARE(field("IN_FIELD_NAME").AsString(), QStringLiteral("Statement Description"));
    QCOMPARE(field("TEXT_FOUND").AsString(), QStringLiteral("the needle"));
}

void TestSearch::logMatchInStatusLineAndDescriptionGivesTwo()
{
    StandardFile();
    QVERIFY(SearchActionFile(*data_, QStringLiteral("needle")));
    TTable *hits = data_->cdsActionsSearch;
    QStringList names;
    for (int row = 0; row < hits->RecordCount(); ++row)
        if (hits->ValueAt(row, hits->FieldIndex("ID_LOG")).toInt() == 11) {
            QCOMPARE(hits->ValueAt(row, hits->FieldIndex("FOUND_IN")).toInt(), int(rkLog));
            names << hits->DisplayTextAt(row, hits->FieldIndex("IN_FIELD_NAME"));
        }
    QCOMPARE(names, QStringList({"Log Status Line", "Log Description"}));
}

void TestSearch::searchKeepsListFilterCurrentAndIndex()
{
    StandardFile();
    TTable *actions = data_->cdsActions;
    actions->SetRecNo(1);
    const TBookmark current = actions->GetBookmark();
    const QString index = actions->IndexName();
    const QString logFilter = data_->cdsLog->Filter();
    const int logRow = data_->cdsLog->RecNo();
    QSignalSpy actionChanges(actions, &TTable::DataChange);
    QSignalSpy actionLayouts(actions, &TTable::LayoutChange);
    QSignalSpy logChanges(data_->cdsLog, &TTable::DataChange);
    QSignalSpy indicators(data_.get(), &TDataModuleMain::CurrentActionChanged);

    QVERIFY(SearchActionFile(*data_, QStringLiteral("needle")));
    CloseSearchResults(*data_);
    QVERIFY(!SearchActionFile(*data_, QStringLiteral("nowhere")));

    QCOMPARE(actions->GetBookmark(), current);
    QCOMPARE(actions->IndexName(), index);
    QVERIFY(actions->Filtered());
    QCOMPARE(actions->RecordCount(), 3);
    QCOMPARE(data_->cdsLog->Filter(), logFilter);
    QVERIFY(data_->cdsLog->Filtered());
    QCOMPARE(data_->cdsLog->RecNo(), logRow);
    QVERIFY(!data_->cdsDecision->Filtered());
    QVERIFY(!data_->cdsStatement->Filtered());
    // Nothing the list, the log or the indicators show was told of a change.
    QCOMPARE(actionChanges.count(), 0);
    QCOMPARE(actionLayouts.count(), 0);
    QCOMPARE(logChanges.count(), 0);
    QCOMPARE(indicators.count(), 0);
}

void TestSearch::openFilterLimitsSearch()
{
    CreateFile({{{"ID", 1}, {"ID_ACTION", "open"}, {"SYNOPSIS", "common"}},
                {{"ID", 2},
                 {"ID_ACTION", "done"},
                 {"SYNOPSIS", "common rare"},
                 {"DATE_FINISHED", QDate(2021, 1, 1)}}},
               {{{"ID", 5}, {"ID_ACTION", 2}, {"DESCRIPTION", "rarer"}}});
    Settings().Actions.Filter = int(TActionFilter::Open);
    data_->cdsActions->RefreshFilter();
    QCOMPARE(data_->cdsActions->RecordCount(), 1);
    QVERIFY(!SearchActionFile(*data_, QStringLiteral("rare")));
    QVERIFY(data_->cdsActionsSearch->Active());
    QVERIFY(data_->cdsActionsSearch->IsEmpty());
    CloseSearchResults(*data_);
    QVERIFY(SearchActionFile(*data_, QStringLiteral("common")));
    QCOMPARE(Results(data_->cdsActionsSearch), QStringList({"0/open/2/"}));
}

void TestSearch::trailingBlankIsPartOfText()
{
    StandardFile();
    QVERIFY(SearchActionFile(*data_, QStringLiteral("needle ")));
    // Only where a blank follows: "needle again", "needle d", "a needle here".
    QCOMPARE(Results(data_->cdsActionsSearch), QStringList({"1/two/7/11", "2/two/1/20", "0/one/13/"}));
}

// The results keep their texts when the tables they were found in are read
// anew from another file while the results live.
void TestSearch::resultsOutliveTheTablesTheyCameFrom()
{
    StandardFile();
    const QString work = data_->Tables.FileName();
    const auto readFromDisk = [&](const QString &actFile) {
        data_->Tables.Close();
        // A file changed since it was read is read again, not taken from memory.
        for (const char *suffix : {"", "._actions", "._actor", "._log", "._decision", "._statement"}) {
            QFile member(actFile + QLatin1String(suffix));
            QVERIFY(member.open(QIODevice::ReadWrite));
            QVERIFY(member.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                       QFileDevice::FileModificationTime));
        }
        QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(actFile, false));
    };
    readFromDisk(work);
    QVERIFY(SearchActionFile(*data_, QStringLiteral("needle")));
    QStringList expected;
    TTable *hits = data_->cdsActionsSearch;
    const auto texts = [&] {
        QStringList rows;
        for (int row = 0; row < hits->RecordCount(); ++row)
            for (int field = 0; field < hits->FieldCount(); ++field)
                rows << hits->DisplayTextAt(row, field);
        return rows;
    };
    expected = texts();
    CloseSearchResults(*data_);

    // Another file of the same shape, every letter of its texts another.
    const QString other = fixture_.dir->filePath(QStringLiteral("Other.act"));
    data_->Tables.Close();
    for (const char *suffix : {"", "._actions", "._actor", "._log", "._decision", "._statement"}) {
        QByteArray bytes = ReadFileBytes(work + QLatin1String(suffix));
        bytes.replace("needle", "XXXXXX").replace("NEEDLE", "YYYYYY").replace("Needle", "ZZZZZZ");
        QVERIFY(WriteFileBytes(other + QLatin1String(suffix), bytes));
    }
    readFromDisk(work);
    QVERIFY(SearchActionFile(*data_, QStringLiteral("needle")));
    readFromDisk(other);
    // The memory the first file's records had is given out again, with
    // other bytes in it.
    std::vector<QByteArray> reused;
    for (int block = 0; block < 256; ++block)
        reused.emplace_back(64 << 10, 'Q');
    QCOMPARE(texts(), expected);
}

void TestSearch::resultsGoToTemporaryFileAndClose()
{
    StandardFile();
    QVERIFY(SearchActionFile(*data_, QStringLiteral("needle")));
    TTable *hits = data_->cdsActionsSearch;
    const QString file = hits->FileName();
    QCOMPARE(QFileInfo(file).suffix(), QStringLiteral("cds"));
    QCOMPARE(QFileInfo(file).absolutePath(), QFileInfo(data_->TempFiles.Folder()).absoluteFilePath());
    QVERIFY(data_->TempFiles.Files.contains(file));
    QVERIFY(!hits->LogChanges());
    CloseSearchResults(*data_);
    QVERIFY(!hits->Active());
    QVERIFY(hits->FileName().isEmpty());
    QVERIFY(QFileInfo(file).size() > 0);
    // Each search has a file of its own.
    QVERIFY(SearchActionFile(*data_, QStringLiteral("needle")));
    QVERIFY(hits->FileName() != file);
}

void TestSearch::gotoSearchActionMakesActionCurrent()
{
    StandardFile();
    TTable *actions = data_->cdsActions;
    QSignalSpy indicators(data_.get(), &TDataModuleMain::CurrentActionChanged);
    GotoSearchAction(*data_, 2);
    QCOMPARE(actions->FieldByName("ID_ACTION").AsString(), QStringLiteral("two"));
    QCOMPARE(data_->cdsLog->RecordCount(), 2);
    QCOMPARE(data_->cdsLog->FieldByName("ID_ACTION").AsInteger(), 2);
    QCOMPARE(indicators.count(), 1);

    actions->Last();
    GotoSearchAction(*data_, 99);
    QCOMPARE(actions->RecNo(), 0);
    QCOMPARE(data_->cdsLog->RecordCount(), 2);
}

void TestSearch::rowColoursByKind_data()
{
    QTest::addColumn<int>("foundIn");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("coloured");
    QTest::addColumn<QString>("background");
    QTest::newRow("action") << 0 << false << true << "255,255,255";
    QTest::newRow("log") << 1 << false << true << "255,255,153";
    QTest::newRow("decision") << 2 << false << true << "250,230,230";
    QTest::newRow("statement") << 3 << false << true << "196,243,255";
    QTest::newRow("other kind") << 4 << false << false << "";
    QTest::newRow("selected") << 1 << true << true << "166,202,240";
}

void TestSearch::rowColoursByKind()
{
    QFETCH(int, foundIn);
    QFETCH(bool, selected);
    QFETCH(bool, coloured);
    QFETCH(QString, background);
    const std::optional<TRowColors> colours = SearchRowColors(foundIn, selected);
    QCOMPARE(colours.has_value(), coloured);
    if (!colours)
        return;
    QCOMPARE(colours->text, TRgb(0, 0, 0));
    const TRgb &b = colours->background;
    QCOMPARE(QStringLiteral("%1,%2,%3").arg(b.red).arg(b.green).arg(b.blue), background);
}

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
