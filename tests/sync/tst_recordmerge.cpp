#include "RecordMerge.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

Q_DECLARE_METATYPE(TMergeMode)

namespace {

const char *KindLetter(TMergeKind kind)
{
    static const char *letters[] = {"H", "C", "A", "L", "D", "S"};
    return letters[int(kind)];
}

// Records written as "A1 SYNOPSIS=x; L5@1 STATUS=Open; Cbob PHONE_1=12; H TITLE=t":
// a kind letter, the identifier, @ and the action for a child, then fields.
// Numbers are integers, yyyy-mm-dd dates; "-" is no record set at all.
TRecordSet Records(const QString &text)
{
    TRecordSet set;
    for (const QString &item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList words = item.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString head = words.first();
        const int kind = QStringLiteral("HCALDS").indexOf(head[0]);
        TRecordValues record;
        const QStringList idParts = head.mid(1).split(QLatin1Char('@'));
        if (kind == int(TMergeKind::Contact))
            record.insert(QStringLiteral("ID"), idParts[0]);
        else if (kind != int(TMergeKind::Header))
            record.insert(QStringLiteral("ID"), idParts[0].toInt());
        if (idParts.size() > 1)
            record.insert(QStringLiteral("ID_ACTION"), idParts[1].toInt());
        for (const QString &field : words.mid(1)) {
            const QString name = field.section(QLatin1Char('='), 0, 0);
            const QString value = field.section(QLatin1Char('='), 1);
            bool number = false;
            const int integer = value.toInt(&number);
            const QDate date = QDate::fromString(value, Qt::ISODate);
            record.insert(name, number           ? QVariant(integer)
                                : date.isValid() ? QVariant(date)
                                                 : QVariant(value));
        }
        set[TMergeKind(kind)].append(record);
    }
    return set;
}

QString ValueText(const QVariant &value)
{
    if (!value.isValid())
        return QStringLiteral("~");
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(Qt::ISODate);
    return value.toString();
}

QString Json(const TRecordValues &record)
{
    TRecordValues set = record;
    set.removeIf([](const auto &field) { return !field.value().isValid(); });
    return QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(set)).toJson(QJsonDocument::Compact));
}

QString ChoiceText(TChoice choice)
{
    return choice == TChoice::TakeTheirs ? QStringLiteral("take") : QStringLiteral("keep");
}

// One line per difference: kind and key, the change, ? for a question, !
// for a sync conflict, > and the action a child follows, the choice or the
// fields with their class and choice.
QString Describe(const TMergePlan &plan)
{
    static const char *changes[] = {"changed",     "added-theirs", "added-mine",         "added-both",
                                    "del-theirs",  "del-mine",     "del-theirs-changed", "del-mine-changed",
                                    "only-theirs", "only-mine"};
    static const char *classes[] = {"theirs", "mine", "both"};
    QStringList lines;
    for (const TRecordDiff &diff : plan.diffs) {
        QString line = QLatin1String(KindLetter(diff.kind)) +
                       QString(diff.key).replace(QChar(0x1F), QLatin1Char('#')) + QLatin1Char(' ') +
                       QLatin1String(changes[int(diff.change)]);
        if (diff.question)
            line += QStringLiteral(" ?");
        if (diff.conflict)
            line += QStringLiteral(" !");
        if (diff.follows >= 0)
            line += QStringLiteral(" >") + plan.diffs[diff.follows].key;
        if (diff.change == TRecordChange::Changed)
            for (const TFieldDiff &field : diff.fields)
                line += QLatin1Char(' ') + field.field + QLatin1Char('=') +
                        QLatin1String(classes[int(field.fieldClass)]) + QLatin1Char('/') +
                        ChoiceText(field.choice);
        else
            line += QLatin1Char(' ') + ChoiceText(diff.choice);
        lines.append(line);
    }
    return lines.join(QStringLiteral("; "));
}

QString Describe(const QList<TRecordOp> &ops)
{
    static const char *types[] = {"del", "upd", "ins"};
    QStringList lines;
    for (const TRecordOp &op : ops) {
        QString line = QLatin1String(types[op.type]) + QLatin1Char(' ') + QLatin1String(KindLetter(op.kind)) +
                       QString(op.key).replace(QChar(0x1F), QLatin1Char('#')) + QLatin1Char('@') +
                       QString::number(op.row);
        if (op.type == TRecordOp::Update)
            for (auto it = op.values.begin(); it != op.values.end(); ++it)
                line += QLatin1Char(' ') + it.key() + QLatin1Char('=') + ValueText(it.value());
        lines.append(line);
    }
    return lines.join(QStringLiteral(", "));
}

} // namespace

class TestRecordMerge : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void planClassifiesAndApplies_data();
    void planClassifiesAndApplies();
    void choicesChangeTheOperations();
    void groupsFollowActionsInNumericOrder();
    void valuesCompareByTypeAndNull_data();
    void valuesCompareByTypeAndNull();
};

void TestRecordMerge::planClassifiesAndApplies_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("mine");
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<TMergeMode>("mode");
    QTest::addColumn<QString>("plan");
    QTest::addColumn<QString>("opsMine");
    QTest::addColumn<QString>("opsTheirs");
    QTest::addColumn<int>("questions");

    const auto merge = TMergeMode::Merge;
    const auto sync = TMergeMode::Sync;
    QTest::newRow("nothing changed") << "A1 SYNOPSIS=a"
                                     << "A1 SYNOPSIS=a"
                                     << "A1 SYNOPSIS=a" << merge << ""
                                     << ""
                                     << "" << 0;
    QTest::newRow("field changed only by them is taken")
        << "A1 SYNOPSIS=a STATUS=Void"
        << "A1 SYNOPSIS=a STATUS=Void"
        << "A1 SYNOPSIS=b STATUS=Void" << merge << "A1 changed SYNOPSIS=theirs/take"
        << "upd A1@0 SYNOPSIS=b"
        << "" << 0;
    QTest::newRow("field changed only by me is kept")
        << "A1 SYNOPSIS=a"
        << "A1 SYNOPSIS=m"
        << "A1 SYNOPSIS=a" << merge << "A1 changed SYNOPSIS=mine/keep"
        << ""
        << "upd A1@0 SYNOPSIS=m" << 0;
    QTest::newRow("both changed to the same value") << "A1 SYNOPSIS=a"
                                                    << "A1 SYNOPSIS=x"
                                                    << "A1 SYNOPSIS=x" << merge << ""
                                                    << ""
                                                    << "" << 0;
    QTest::newRow("both changed differently is a question")
        << "A1 SYNOPSIS=a DATE_DUE=2026-01-01"
        << "A1 SYNOPSIS=m DATE_DUE=2026-02-01"
        << "A1 SYNOPSIS=t DATE_DUE=2026-01-01" << merge
        << "A1 changed ? DATE_DUE=mine/keep SYNOPSIS=both/keep"
        << ""
        << "upd A1@0 DATE_DUE=2026-02-01 SYNOPSIS=m" << 1;
    QTest::newRow("sync keeps mine and reports theirs")
        << "A1 SYNOPSIS=a STATUS=Void"
        << "A1 SYNOPSIS=m STATUS=Void"
        << "A1 SYNOPSIS=t STATUS=Active" << sync << "A1 changed ! STATUS=theirs/take SYNOPSIS=both/keep"
        << "upd A1@0 STATUS=Active"
        << "upd A1@0 SYNOPSIS=m" << 0;
    QTest::newRow("cleared field is a change")
        << "A1 SYNOPSIS=a DATE_DUE=2026-01-01"
        << "A1 SYNOPSIS=a DATE_DUE=2026-01-01"
        << "A1 SYNOPSIS=a" << merge << "A1 changed DATE_DUE=theirs/take"
        << "upd A1@0 DATE_DUE=~"
        << "" << 0;
    QTest::newRow("added on either side") << "A1"
                                          << "A1; A2 SYNOPSIS=m; L7@1"
                                          << "A1; A3 SYNOPSIS=t; D8@1" << merge
                                          << "L7 added-mine keep; D8 added-theirs take; A2 added-mine keep; "
                                             "A3 added-theirs take"
                                          << "ins A3@1, ins D8@0"
                                          << "ins A2@1, ins L7@0" << 0;
    QTest::newRow("deleted by them, unchanged here: deleted with its children")
        << "A1; A2; L5@2; S6@2"
        << "A1; A2; L5@2; S6@2"
        << "A1" << merge << "A2 del-theirs take; L5 del-theirs >2 take; S6 del-theirs >2 take"
        << "del S6@0, del L5@0, del A2@1"
        << "" << 0;
    QTest::newRow("deleted by them, a child changed here: a question the children follow")
        << "A2; L5@2 STATUS=a; L6@2"
        << "A2; L5@2 STATUS=m; L6@2; L9@2"
        << "-none-" << merge
        << "A2 del-theirs-changed ? keep; L5 del-theirs-changed >2 keep; L6 del-theirs >2 keep; L9 "
           "added-mine >2 keep"
        << ""
        << "ins A2@0, ins L5@0, ins L6@1, ins L9@2" << 1;
    QTest::newRow("deleted here, changed by them: a question")
        << "A2 SYNOPSIS=a"
        << "-none-"
        << "A2 SYNOPSIS=t" << merge << "A2 del-mine-changed ? keep"
        << ""
        << "del A2@0" << 1;
    QTest::newRow("sync: deleted by them, changed here stays")
        << "A2 SYNOPSIS=a"
        << "A2 SYNOPSIS=m"
        << "-none-" << sync << "A2 del-theirs-changed ! keep"
        << ""
        << "ins A2@0" << 0;
    QTest::newRow("sync: deleted here, changed by them comes back")
        << "A2 SYNOPSIS=a"
        << "-none-"
        << "A2 SYNOPSIS=t" << sync << "A2 del-mine-changed ! take"
        << "ins A2@0"
        << "" << 0;
    QTest::newRow("sync: deleted here, unchanged there is deleted there")
        << "A2 SYNOPSIS=a"
        << "-none-"
        << "A2 SYNOPSIS=a" << sync << "A2 del-mine keep"
        << ""
        << "del A2@0" << 0;
    QTest::newRow("both added the same number: two actions")
        << "A1"
        << "A1; A4 SYNOPSIS=m; L9@4 STATUS=m"
        << "A1; A4 SYNOPSIS=t; L9@4 STATUS=t; L10@4" << merge
        << "A4 added-both take; L9 added-both >4 take; L10 added-theirs >4 take"
        << "ins A4@1, ins L9@0, ins L10@1"
        << "ins A4@1, ins L9@0" << 0;
    QTest::newRow("two-way: every difference is a question")
        << "-"
        << "A1 SYNOPSIS=m; A2; L5@2"
        << "A1 SYNOPSIS=t; A3" << merge
        << "A1 changed ? SYNOPSIS=both/keep; A2 only-mine ? keep; L5 only-mine >2 keep; A3 only-theirs ? keep"
        << ""
        << "del A3@1, upd A1@0 SYNOPSIS=m, ins A2@1, ins L5@0" << 3;
    QTest::newRow("two-way sync joins both sides")
        << "-"
        << "A1 SYNOPSIS=m; A2"
        << "A1 SYNOPSIS=t; A3" << sync
        << "A1 changed ! SYNOPSIS=both/keep; A2 only-mine keep; A3 only-theirs take"
        << "ins A3@1"
        << "upd A1@0 SYNOPSIS=m, ins A2@1" << 0;
    QTest::newRow("header and contacts, shared contact identifiers by their place")
        << "H TITLE=a; Cbob PHONE_1=1; Cbob PHONE_1=2"
        << "H TITLE=a; Cbob PHONE_1=1; Cbob PHONE_1=3"
        << "H TITLE=t; Cbob PHONE_1=1; Cbob PHONE_1=2; Cann" << merge
        << "H changed TITLE=theirs/take; Cann added-theirs take; Cbob#2 changed PHONE_1=mine/keep"
        << "upd H@0 TITLE=t, ins Cann@2"
        << "upd Cbob#2@1 PHONE_1=3" << 0;
    QTest::newRow("orphan children are listed under the action they name")
        << "L5@9 STATUS=a"
        << "L5@9 STATUS=a"
        << "L5@9 STATUS=t" << merge << "L5 changed STATUS=theirs/take"
        << "upd L5@0 STATUS=t"
        << "" << 0;
    QTest::newRow("a child moved to another action")
        << "A1; A2; L5@1"
        << "A1; A2; L5@1"
        << "A1; A2; L5@2" << merge << "L5 changed ID_ACTION=theirs/take"
        << "upd L5@0 ID_ACTION=2"
        << "" << 0;
}

void TestRecordMerge::planClassifiesAndApplies()
{
    QFETCH(QString, base);
    QFETCH(QString, mine);
    QFETCH(QString, theirs);
    QFETCH(TMergeMode, mode);
    const auto side = [](const QString &text) {
        return text.startsWith(QLatin1Char('-')) ? TRecordSet() : Records(text);
    };
    const TRecordSet baseSet = side(base);
    TMergeOptions options;
    options.mode = mode;
    const TRecordSet mineSet = side(mine), theirsSet = side(theirs);
    const TMergePlan plan =
        PlanMerge(base == QLatin1String("-") ? nullptr : &baseSet, mineSet, theirsSet, options);
    QTEST(Describe(plan), "plan");
    QTEST(Describe(plan.OpsForMine()), "opsMine");
    QTEST(Describe(plan.OpsForTheirs()), "opsTheirs");
    QTEST(plan.QuestionCount(), "questions");

    // Applying the operations to each side makes both the merged result.
    const auto apply = [](TRecordSet set, const QList<TRecordOp> &ops, const TRecordSet &other) {
        std::array<QList<bool>, kMergeKindCount> gone;
        for (int k = 0; k < kMergeKindCount; ++k)
            gone[size_t(k)].fill(false, set.records[size_t(k)].size());
        for (const TRecordOp &op : ops) {
            QList<TRecordValues> &records = set[op.kind];
            if (op.type == TRecordOp::Delete)
                gone[size_t(op.kind)][op.row] = true;
            else if (op.type == TRecordOp::Update)
                records[op.row].insert(op.values);
            else if (op.values != other[op.kind][op.row])
                return QStringList{QStringLiteral("insert of a wrong row")};
        }
        QStringList result;
        for (int k = 0; k < kMergeKindCount; ++k) {
            for (int row = 0; row < set.records[size_t(k)].size(); ++row)
                if (!gone[size_t(k)][row])
                    result.append(Json(set.records[size_t(k)][row]));
            for (const TRecordOp &op : ops)
                if (op.type == TRecordOp::Insert && int(op.kind) == k)
                    result.append(Json(op.values));
        }
        result.sort();
        return result;
    };
    if (plan.QuestionCount() == 0 && !Describe(plan).contains(QLatin1String("added-both")))
        QCOMPARE(apply(mineSet, plan.OpsForMine(), theirsSet),
                 apply(theirsSet, plan.OpsForTheirs(), mineSet));
}

void TestRecordMerge::choicesChangeTheOperations()
{
    const TRecordSet base = Records(QStringLiteral("A1 SYNOPSIS=a STATUS=s; A2; L5@2"));
    const TRecordSet mine = Records(QStringLiteral("A1 SYNOPSIS=m STATUS=s; A2; L5@2; L6@2"));
    const TRecordSet theirs = Records(QStringLiteral("A1 SYNOPSIS=t STATUS=u"));
    TMergePlan plan = PlanMerge(&base, mine, theirs);
    QCOMPARE(plan.QuestionCount(), 2);

    // Taking theirs for the deleted action takes its children with it.
    plan.DecideQuestions(TChoice::TakeTheirs);
    QCOMPARE(Describe(plan.OpsForMine()),
             QStringLiteral("del L5@0, del L6@1, del A2@1, upd A1@0 STATUS=u SYNOPSIS=t"));
    QCOMPARE(plan.Merged(0).value(QStringLiteral("SYNOPSIS")), QVariant(QStringLiteral("t")));
    QVERIFY(!plan.Kept(1));

    // A single field back to mine.
    plan.SetFieldChoice(0, 1, TChoice::KeepMine);
    plan.SetChoice(1, TChoice::KeepMine);
    QCOMPARE(Describe(plan.OpsForMine()), QStringLiteral("upd A1@0 STATUS=u"));
    QCOMPARE(plan.Merged(0).value(QStringLiteral("SYNOPSIS")), QVariant(QStringLiteral("m")));
    QVERIFY(plan.Kept(1));
    QVERIFY(plan.Kept(2));
}

void TestRecordMerge::groupsFollowActionsInNumericOrder()
{
    const TRecordSet base = Records(QStringLiteral("H TITLE=a"));
    const TRecordSet mine = Records(QStringLiteral("H TITLE=m; A10; A2; L3@10; D4@2; Cz; Ca"));
    const TMergePlan plan = PlanMerge(&base, mine, base);
    QStringList groups;
    for (const TMergeGroup &group : plan.Groups()) {
        QStringList keys;
        for (int diff : group.diffs)
            keys.append(QLatin1String(KindLetter(plan.diffs[diff].kind)) + plan.diffs[diff].key);
        groups.append(QLatin1String(KindLetter(group.kind)) + group.actionKey + QLatin1Char(':') +
                      keys.join(QLatin1Char(',')));
    }
    QCOMPARE(groups.join(QLatin1Char(' ')), QStringLiteral("H:H C:Ca,Cz A2:A2,D4 A10:A10,L3"));
}

void TestRecordMerge::valuesCompareByTypeAndNull_data()
{
    QTest::addColumn<QVariant>("a");
    QTest::addColumn<QVariant>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("null and null") << QVariant() << QVariant() << true;
    QTest::newRow("null and empty text") << QVariant() << QVariant(QString()) << true;
    QTest::newRow("null and zero") << QVariant() << QVariant(0) << false;
    QTest::newRow("number and its text") << QVariant(5) << QVariant(QStringLiteral("5")) << false;
    QTest::newRow("texts differing in case")
        << QVariant(QStringLiteral("a")) << QVariant(QStringLiteral("A")) << false;
    QTest::newRow("same date") << QVariant(QDate(1, 1, 1)) << QVariant(QDate(1, 1, 1)) << true;
    QTest::newRow("times a second apart") << QVariant(QTime(1, 2, 3)) << QVariant(QTime(1, 2, 4)) << false;
}

void TestRecordMerge::valuesCompareByTypeAndNull()
{
    QFETCH(QVariant, a);
    QFETCH(QVariant, b);
    QFETCH(bool, same);
    QCOMPARE(SameValue(a, b), same);
    QCOMPARE(SameValue(b, a), same);
}

QTEST_GUILESS_MAIN(TestRecordMerge)
#include "tst_recordmerge.moc"
