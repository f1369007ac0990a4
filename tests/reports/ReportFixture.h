#pragma once

#include "TDataModuleMain.h"

#include <QDate>
#include <QFile>
#include <QTest>
#include <QTime>
#include <QVariantMap>

// A small Action File for the pages, dated relative to kToday: four actions
// (due today; due yesterday and so overdue; past due but on hold in odd
// case; finished), log entries, decisions and statements, an ID_ACTION with
// "<", a severity " high", texts with CR LF and with characters beyond
// ASCII, and a blank title.
namespace report_fixture {

inline const QDate kToday(2026, 3, 15);
inline const QString kWorld = QStringLiteral(u"Müller & Söhne – 東京");

// Appends (or, for a table holding a record, edits the first) record with
// exactly these values: every other field null, so no new-record default of
// the day the test runs gets in.
inline void Put(TTable *table, const QVariantMap &values, bool editFirst = false)
{
    if (editFirst && table->RecordCount() > 0) {
        table->First();
        table->Edit();
    } else {
        table->Append();
    }
    for (int i = 0; i < table->FieldCount(); ++i) {
        const QString name = table->FieldDefs()[i].name;
        if (values.value(name).isValid())
            table->Fields(i).SetValue(values.value(name));
        else
            table->Fields(i).Clear();
    }
    table->Post();
}

inline void Fill(TDataModuleMain &data)
{
    const QDate today = kToday;
    Put(data.cdsAction,
        {{"TITLE", QStringLiteral("   ")},
         {"COMPANY", kWorld},
         {"DEPARTMENT", QStringLiteral("R&D")},
         {"PROJECT", QStringLiteral("Bridge")},
         {"HOME_ID", QStringLiteral("H1")},
         {"ACTOR_HOME", QStringLiteral("ann")},
         {"ACTOR_FOREIGN", QStringLiteral("bob")},
         {"DATE_ENTERED", QDate(2026, 1, 2)},
         {"CONTEXT", QStringLiteral("Line one\r\nLine two")},
         {"REMARKS", QStringLiteral("<i>not italic</i>")}},
        true);

    const auto action = [&](int id, const QString &idAction, const QDate &due, const QString &status,
                            const QString &severity, const QVariant &finished) {
        Put(data.cdsActions,
            {{"ID", id},
             {"ID_CHAIN", id},
             {"ATTRIBUTE", QStringLiteral("H1_%1").arg(id, 5, 10, QLatin1Char('0'))},
             {"ID_ACTION", idAction},
             {"DATE_ACTION", today.addDays(-20)},
             {"DATE_DUE", due},
             {"DATE_STATUS", today.addDays(-5)},
             {"DATE_FINISHED", finished},
             {"SYNOPSIS", QString(QStringLiteral("Synopsis of ") + idAction)},
             {"DESCRIPTION", id == 1 ? QStringLiteral("First line\r\nsecond line") : QString()},
             {"ACTOR_OWNER", QStringLiteral("ann")},
             {"ACTOR_ORGANIZOR", QStringLiteral("bob")},
             {"STATUS", status},
             {"SEVERITY", severity},
             {"FUNCTIONAL_AREA", id == 1 ? kWorld : QString()},
             {"SIGN_OFF", id == 4 ? QStringLiteral("Signed") : QString()}});
    };
    action(1, QStringLiteral("A<1"), today, QStringLiteral("Active"), QStringLiteral(" high "), QVariant());
    action(2, QStringLiteral("B-2"), today.addDays(-1), QStringLiteral("Pending"), QStringLiteral("Low"),
           QVariant());
    action(3, QStringLiteral("C 3"), today.addDays(-14), QStringLiteral("oN hOLD"),
           QStringLiteral("Red Alert"), QVariant());
    action(4, QStringLiteral("D&4"), today.addDays(-14), QStringLiteral("Resolved"), QString(),
           today.addDays(-3));

    const auto log = [&](int id, int action, const QString &line, const QString &remarks) {
        Put(data.cdsLog, {{"ID", id},
                          {"ID_ACTION", action},
                          {"DATE_LOG", today.addDays(-id)},
                          {"TIME_LOG", QTime(9, id, 30)},
                          {"STATUS_LINE", line},
                          {"STATUS", QStringLiteral("Active")},
                          {"DATE_STATUS", today.addDays(-id)},
                          {"ACTOR_STATUS", QStringLiteral("ann")},
                          {"ACTOR_TENDER", id == 1 ? QStringLiteral("bob") : QString()},
                          {"DESCRIPTION", QStringLiteral("Log text %1").arg(id)},
                          {"REMARKS", remarks}});
    };
    log(1, 1, QStringLiteral("Check <b> & go"), QString());
    log(2, 1, QStringLiteral("Second entry"), QStringLiteral("Remark"));
    log(3, 2, kWorld, QStringLiteral("first\r\nsecond"));
    log(4, 4, QStringLiteral("Done"), QString());

    const auto child = [&](TTable *table, const char *actor, int id, int action, const QString &synopsis) {
        Put(table, {{"ID", id},
                    {"ID_ACTION", action},
                    {"DATE_ENTERED", today.addDays(-id)},
                    {"SYNOPSIS", synopsis},
                    {"DESCRIPTION", QStringLiteral("Because\r\nof reasons")},
                    {QLatin1String(actor), QStringLiteral("ann")},
                    {"BACKED_BY", id == 1 ? QStringLiteral("bob & carl") : QString()}});
    };
    child(data.cdsDecision, "ACTOR_DECISION", 1, 1, QStringLiteral("Go <now>"));
    child(data.cdsDecision, "ACTOR_DECISION", 2, 3, QStringLiteral("Wait"));
    child(data.cdsStatement, "ACTOR_STATEMENT", 1, 2, kWorld);
    child(data.cdsStatement, "ACTOR_STATEMENT", 2, 4, QStringLiteral("Closed"));

    data.cdsActions->SetIndexName(QStringLiteral("ID_ASC"));
    data.cdsLog->SetIndexName(QStringLiteral("ID_ASC"));
    data.cdsDecision->SetIndexName(QStringLiteral("ID_ASC"));
    data.cdsStatement->SetIndexName(QStringLiteral("ID_ASC"));
    data.cdsActions->First();
    data.FilterLogByAction();
    data.FilterDecisionsByAction();
    data.FilterStatementsByAction();
}

// Three contacts in cdsActor, ordered by ID: addresses plain, with "&",
// none, blank, with leading blanks and with a double quote.
inline void FillContacts(TDataModuleMain &data)
{
    Put(data.cdsActor, {{"ID", QStringLiteral("ann")},
                        {"COMPANY", kWorld},
                        {"FIRST_NAME", QStringLiteral("Ann")},
                        {"INSERTION", QStringLiteral("van")},
                        {"LAST_NAME", QStringLiteral("Dyke <jr>")},
                        {"GENDER", QStringLiteral("F")},
                        {"PHONE_1", QStringLiteral("+31 10 555")},
                        {"EMAIL_1", QStringLiteral("ann@example.org")},
                        {"EMAIL_2", QStringLiteral("ann&co@example.org")}});
    Put(data.cdsActor, {{"ID", QStringLiteral("bob")},
                        {"FIRST_NAME", QStringLiteral("Bob")},
                        {"LAST_NAME", QStringLiteral("Stone")},
                        {"EMAIL_2", QStringLiteral("   ")}});
    Put(data.cdsActor, {{"ID", QStringLiteral("carl")},
                        {"TITLE", QStringLiteral("Dr.")},
                        {"LAST_NAME", QStringLiteral("Berg")},
                        {"EMAIL_1", QStringLiteral("  carl@example.org")},
                        {"EMAIL_2", QStringLiteral("x\"><b>@example.org")}});
    data.cdsActor->SetIndexName(QStringLiteral("ID_ASC"));
    data.cdsActor->First();
}

// Moves cdsActions to the action with this ID and filters its details.
inline void GoToAction(TDataModuleMain &data, int id)
{
    for (data.cdsActions->First(); !data.cdsActions->Eof(); data.cdsActions->Next())
        if (data.cdsActions->FieldByName(QStringLiteral("ID")).AsInteger() == id)
            break;
    data.FilterLogByAction();
    data.FilterDecisionsByAction();
    data.FilterStatementsByAction();
}

} // namespace report_fixture
