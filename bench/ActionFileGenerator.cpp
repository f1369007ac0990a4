#include "ActionFileGenerator.h"

#include "TDataModuleMain.h"

#include <QDate>
#include <QStringList>
#include <random>

namespace {

class TextMaker {
public:
    explicit TextMaker(unsigned seed) : random_(seed) {}

    QString Text(int length)
    {
        static const QStringList words{"review",  "supplier", "contract", "update",   "meeting", "budget",
                                       "design",  "approval", "deadline", "customer", "report",  "install",
                                       "testing", "the",      "of",       "and",      "for",     "with",
                                       "pending", "quality",  "network"};
        QString text;
        while (text.size() < length)
            text += words[int(random_() % unsigned(words.size()))] + QLatin1Char(' ');
        return text.left(length).trimmed();
    }
    int Number(int below) { return int(random_() % unsigned(below)); }

private:
    std::mt19937 random_;
};

} // namespace

void GenerateActionFile(TDataModuleMain &data, const QString &fileName, int actions)
{
    TextMaker maker(42);
    const QDate base(2020, 1, 1);
    const QStringList statuses{"Void",    "Assigned", "Transmitted",  "Active",
                               "Pending", "On Hold",  "Reintroduced", "Resolved"};
    const QStringList severities{"Cosmetic", "Low",      "Medium",   "Medium to High",
                                 "High",     "Blocking", "Red Alert"};
    // Written once, whole, when everything is in.
    TChangeScope generate(data.Tables);
    data.Tables.Open(fileName, true);
    // Plain order of insertion makes each append cheap.
    for (TTable *table : {data.cdsActions, data.cdsLog, data.cdsDecision, data.cdsStatement, data.cdsActor}) {
        table->DisableControls();
        table->SetFiltered(false);
        table->SetIndexName(QString());
    }
    for (int i = 0; i < 200; ++i)
        data.cdsActor->AppendRecord({QStringLiteral("ACTOR%1").arg(i), maker.Text(30), maker.Text(20), "Mr",
                                     QVariant(), maker.Text(10), QVariant(), maker.Text(14), QVariant(), "M",
                                     "+31 20 555 0101", QVariant(), "+31 6 5550 1234",
                                     "someone@example.org"});
    int logId = 0;
    for (int id = 1; id <= actions; ++id) {
        const bool resolved = maker.Number(3) == 0;
        const QDate action = base.addDays(maker.Number(2000));
        data.cdsActions->AppendRecord({id, id, QStringLiteral("PRJ_%1").arg(id, 5, 10, QLatin1Char('0')),
                                       QStringLiteral("A-%1").arg(id), action,
                                       action.addDays(maker.Number(90)), action,
                                       resolved ? QVariant(action.addDays(30)) : QVariant(), maker.Text(80),
                                       maker.Text(400), QStringLiteral("ACTOR%1").arg(maker.Number(200)),
                                       QStringLiteral("ACTOR%1").arg(maker.Number(200)),
                                       statuses[maker.Number(8)], severities[maker.Number(7)], maker.Text(20),
                                       maker.Text(24), resolved ? QVariant(maker.Text(60)) : QVariant()});
        for (int k = 0; k < 3; ++k)
            data.cdsLog->AppendRecord({++logId, id, action.addDays(k), QTime(9 + k, maker.Number(60), 0),
                                       maker.Text(60), statuses[maker.Number(8)], action.addDays(k), "ACTOR1",
                                       "ACTOR2", maker.Text(200), QVariant()});
        if (id % 2 == 0) {
            data.cdsDecision->AppendRecord(
                {id / 2, id, action, maker.Text(80), maker.Text(300), "ACTOR3", maker.Text(40)});
            data.cdsStatement->AppendRecord(
                {id / 2, id, action, maker.Text(80), maker.Text(300), "ACTOR4", maker.Text(40)});
        }
    }
    for (TTable *table : {data.cdsActions, data.cdsLog, data.cdsDecision, data.cdsStatement, data.cdsActor})
        table->EnableControls();
    generate.Commit();
    data.Tables.Close();
}
