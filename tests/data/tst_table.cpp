#include "AppError.h"
#include "TTable.h"
#include "TTableModel.h"
#include "TestSupport.h"

#include <QSignalSpy>
#include <QTableView>
#include <QtTest>
#include <random>

namespace {

std::unique_ptr<TTable> MakeTable()
{
    return std::make_unique<TTable>(
        QStringLiteral("people"),
        QList<TFieldDef>{{QStringLiteral("ID"), ftInteger, 0},
                         {QStringLiteral("NAME"), ftString, 8},
                         {QStringLiteral("BORN"), ftDate, 0},
                         {QStringLiteral("AT"), ftTime, 0},
                         {QStringLiteral("NOTE"), ftMemo, 0}},
        QList<TIndexDef>{
            {QStringLiteral("ID_ASC"), {QStringLiteral("ID")}, false, false},
            {QStringLiteral("ID_DESC"), {QStringLiteral("ID")}, true, false},
            {QStringLiteral("NAME_ASC"), {QStringLiteral("NAME")}, false, true},
            {QStringLiteral("NAME_DESC"), {QStringLiteral("NAME")}, true, true},
            {QStringLiteral("BORN_AT"), {QStringLiteral("BORN"), QStringLiteral("AT")}, true, false}});
}

QStringList Column(TTable &table, const QString &field)
{
    QStringList values;
    for (table.First(); !table.Eof(); table.Next())
        values << table.FieldByName(field).AsString();
    return values;
}

void AddPeople(TTable &table, const QStringList &names)
{
    int id = table.RecordCount();
    for (const QString &name : names)
        table.AppendRecord({++id, name});
}

// Rows with long shared text prefixes, case and non-ASCII variants, embedded
// NUL, nulls and many ties, for checking sorted orders against a reference.
std::unique_ptr<TTable> MakeSortTable()
{
    const auto index = [](const char *name, QStringList fields, bool descending, bool caseInsensitive) {
        return TIndexDef{QLatin1String(name), fields, descending, caseInsensitive};
    };
    return std::make_unique<TTable>(
        QStringLiteral("sorted"),
        QList<TFieldDef>{{QStringLiteral("ROW"), ftInteger, 0},
                         {QStringLiteral("N"), ftInteger, 0},
                         {QStringLiteral("TEXT"), ftString, 60},
                         {QStringLiteral("DAY"), ftDate, 0},
                         {QStringLiteral("AT"), ftTime, 0}},
        QList<TIndexDef>{index("TEXT_CI", {"TEXT"}, false, true), index("TEXT_CI_DESC", {"TEXT"}, true, true),
                         index("TEXT_CS", {"TEXT"}, false, false), index("N_DESC", {"N"}, true, false),
                         index("N_TEXT", {"N", "TEXT"}, false, true),
                         index("TEXT_N_DESC", {"TEXT", "N"}, true, false),
                         index("DAY_AT_DESC", {"DAY", "AT"}, true, false)});
}

void AddSortRows(TTable &table, int count)
{
    std::mt19937 random(11);
    const QStringList pieces{"Straße",
                             "STRASSE",
                             "strasse",
                             "abcdefghijklmnopq",
                             "ABCDEFGHIJKLMNOPQ",
                             "abcdefghijklmnopr",
                             "abcdef",
                             "a",
                             QString(u'\0') + "b",
                             QStringLiteral("\xFF21\xFF22"),
                             QStringLiteral("\xFF41\xFF42"),
                             QStringLiteral("\xD835\xDC9C"),
                             "\u00E9t\u00E9",
                             "\u00C9T\u00C9",
                             "z"};
    for (int row = 0; row < count; ++row) {
        QString text;
        for (unsigned parts = random() % 4; parts > 0; --parts)
            text += pieces[int(random() % unsigned(pieces.size()))];
        const auto maybe = [&](QVariant value) { return random() % 6 == 0 ? QVariant() : value; };
        table.AppendRecord({row, maybe(int(random() % 7) - 3), text,
                            maybe(QDate(2024, 1, 1).addDays(int(random() % 4))),
                            maybe(QTime(int(random() % 3), 0))});
    }
}

// The order of insertion sorted by a plain comparison of the values: nulls
// first, text by QString::compare (case-folded when case-insensitive),
// descending reversing the values only.
QStringList ReferenceRows(TTable &table, const TIndexDef &index)
{
    table.SetIndexName(QString());
    std::vector<QVariantList> rows;
    for (table.First(); !table.Eof(); table.Next()) {
        QVariantList row{table.FieldByName("ROW").Value()};
        for (const QString &field : index.fields)
            row << table.FieldByName(field).Value();
        rows.push_back(row);
    }
    const auto compare = [&](const QVariant &a, const QVariant &b) {
        if (!a.isValid() || !b.isValid())
            return int(a.isValid()) - int(b.isValid());
        if (a.typeId() == QMetaType::QString) {
            const QString x = index.caseInsensitive ? a.toString().toCaseFolded() : a.toString();
            const QString y = index.caseInsensitive ? b.toString().toCaseFolded() : b.toString();
            return QString::compare(x, y);
        }
        const QPartialOrdering c = QVariant::compare(a, b);
        return c == QPartialOrdering::Less ? -1 : (c == QPartialOrdering::Greater ? 1 : 0);
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const QVariantList &a, const QVariantList &b) {
        for (int i = 1; i < a.size(); ++i)
            if (const int c = compare(a[i], b[i]); c != 0)
                return index.descending ? c > 0 : c < 0;
        return false;
    });
    QStringList ids;
    for (const QVariantList &row : rows)
        ids << row.first().toString();
    return ids;
}
} // namespace

class TestTable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseTestStandardPaths(); }

    void stringFieldsAreCutAndLoseTrailingBlanks_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("isNull");
        QTest::newRow("fits") << "Ann"
                              << "Ann" << false;
        QTest::newRow("cut to size") << "Bartholomew"
                                     << "Bartholo" << false;
        QTest::newRow("trailing blanks dropped") << "Ann   "
                                                 << "Ann" << false;
        QTest::newRow("leading blanks kept") << "  Ann"
                                             << "  Ann" << false;
        QTest::newRow("blanks after cut dropped") << "Ann Bo   X"
                                                  << "Ann Bo" << false;
        QTest::newRow("only blanks is null") << "   "
                                             << "" << true;
        QTest::newRow("empty is null") << ""
                                       << "" << true;
        // NAME holds 8 UTF-16 units; U+1F600 takes two.
        const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("pair at the end kept") << "abcdef" + smile + "x"
                                              << "abcdef" + smile << false;
        QTest::newRow("pair across the cut dropped") << "abcdefg" + smile << "abcdefg" << false;
        QTest::newRow("only pairs") << smile.repeated(5) << smile.repeated(4) << false;
    }
    void stringFieldsAreCutAndLoseTrailingBlanks()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(bool, isNull);
        auto table = MakeTable();
        table->CreateDataSet();
        table->Append();
        table->FieldByName(QStringLiteral("NAME")).SetAsString(typed);
        table->Post();
        QCOMPARE(table->FieldByName(QStringLiteral("NAME")).AsString(), stored);
        QCOMPARE(table->FieldByName(QStringLiteral("NAME")).IsNull(), isNull);
    }

    void fieldsConvertToAndFromText()
    {
        auto table = MakeTable();
        table->CreateDataSet();
        table->Append();
        table->FieldByName(QStringLiteral("ID")).SetAsString(QStringLiteral(" 42 "));
        table->FieldByName(QStringLiteral("BORN")).SetAsString(QStringLiteral("03/11/2024"));
        table->FieldByName(QStringLiteral("AT")).SetAsTime(QTime(9, 5, 7, 450));
        QVERIFY_THROWS_EXCEPTION(AppError, table->FieldByName(QStringLiteral("ID")).SetAsString("4x"));
        QVERIFY_THROWS_EXCEPTION(AppError,
                                 table->FieldByName(QStringLiteral("BORN")).SetAsString("31/02/2024"));
        table->Post();
        QCOMPARE(table->FieldByName(QStringLiteral("ID")).AsInteger(), 42);
        QCOMPARE(table->FieldByName(QStringLiteral("BORN")).AsDate(), QDate(2024, 11, 3));
        QCOMPARE(table->FieldByName(QStringLiteral("BORN")).AsString(), QStringLiteral("03/11/2024"));
        QCOMPARE(table->FieldByName(QStringLiteral("AT")).AsString(), QStringLiteral("09:05:07"));
        QVERIFY(table->FieldByName(QStringLiteral("NOTE")).IsNull());
        QCOMPARE(table->FieldByName(QStringLiteral("NOTE")).AsInteger(), 0);
        QVERIFY_THROWS_EXCEPTION(AppError, table->FieldByName(QStringLiteral("NOPE")));
        // Writing outside edit or insert state is refused, not silently lost.
        QVERIFY_THROWS_EXCEPTION(AppError, table->FieldByName(QStringLiteral("NAME")).SetAsString("x"));
    }

    void cursorWalksVisibleRecords()
    {
        auto table = MakeTable();
        table->CreateDataSet();
        QVERIFY(table->Eof() && table->Bof());
        AddPeople(*table, {"a", "b", "c"});
        QCOMPARE(Column(*table, "NAME"), QStringList({"a", "b", "c"}));
        table->Last();
        QVERIFY(table->Eof());
        QCOMPARE(table->FieldByName("NAME").AsString(), QStringLiteral("c"));
        table->Prior();
        QCOMPARE(table->FieldByName("NAME").AsString(), QStringLiteral("b"));
        QVERIFY(!table->Bof());
        table->Prior();
        table->Prior();
        QVERIFY(table->Bof());
        QCOMPARE(table->FieldByName("NAME").AsString(), QStringLiteral("a"));
    }

    void indexOrdersAndKeepsCurrentRecord()
    {
        auto table = MakeTable();
        table->CreateDataSet();
        AddPeople(*table, {"bob", "Alice", "carl", "alice"});
        table->SetRecNo(2);
        table->SetIndexName("NAME_ASC");
        QCOMPARE(table->FieldByName("NAME").AsString(), QStringLiteral("carl"));
        // Case-insensitive, equal keys in order of insertion.
        QCOMPARE(Column(*table, "NAME"), QStringList({"Alice", "alice", "bob", "carl"}));
        table->SetIndexName("NAME_DESC");
        QCOMPARE(Column(*table, "NAME"), QStringList({"carl", "bob", "Alice", "alice"}));
        table->SetIndexName(QString());
        QCOMPARE(Column(*table, "NAME"), QStringList({"bob", "Alice", "carl", "alice"}));
        QVERIFY_THROWS_EXCEPTION(AppError, table->SetIndexName("NOPE"));
    }

    void twoFieldIndexSortsNewestFirst()
    {
        auto table = MakeTable();
        table->CreateDataSet();
        table->AppendRecord({1, "x", QDate(2024, 1, 2), QTime(8, 0)});
        table->AppendRecord({2, "x", QDate(2024, 1, 3), QTime(7, 0)});
        table->AppendRecord({3, "x", QDate(2024, 1, 2), QTime(9, 0)});
        table->AppendRecord({4, "x"});
        table->SetIndexName("BORN_AT");
        QCOMPARE(Column(*table, "ID"), QStringList({"2", "3", "1", "4"}));
    }

    // Indexes are kept up to date record by record; after any mix of edits
    // they must give the same order as one sorted from scratch.
    void editedIndexMatchesFreshSort()
    {
        auto table = MakeTable();
        table->CreateDataSet();
        table->SetIndexName("NAME_ASC");
        std::mt19937 random(7);
        auto name = [&]() -> QString {
            return QString(QChar(u'a' + int(random() % 5))) + QChar(u'A' + int(random() % 3));
        };
        for (int i = 0; i < 200; ++i)
            table->AppendRecord({i, name()});
        table->SetIndexName("ID_DESC");
        for (int i = 0; i < 300; ++i) {
            table->SetRecNo(int(random() % unsigned(table->RecordCount())));
            switch (random() % 3) {
            case 0:
                table->Edit();
                table->FieldByName("NAME").SetAsString(name());
                table->FieldByName("ID").SetAsInteger(int(random() % 1000));
                table->Post();
                break;
            case 1:
                table->Delete();
                break;
            default:
                table->AppendRecord({int(random() % 1000), name()});
            }
            table->SetIndexName(i % 2 ? "NAME_ASC" : "ID_DESC");
        }
        for (const QString &index : {QStringLiteral("NAME_ASC"), QStringLiteral("ID_DESC")}) {
            table->SetIndexName(index);
            const QStringList kept = Column(*table, "ID") + Column(*table, "NAME");
            auto fresh = MakeTable();
            fresh->CreateDataSet();
            table->SetIndexName(QString());
            for (table->First(); !table->Eof(); table->Next())
                fresh->AppendRecord({table->FieldByName("ID").Value(), table->FieldByName("NAME").Value()});
            fresh->SetIndexName(index);
            QCOMPARE(kept, Column(*fresh, "ID") + Column(*fresh, "NAME"));
        }
    }

    // Orders sorted in one go and orders kept record by record both match a
    // plain comparison of the values, also where texts share long starts.
    void indexOrderMatchesPlainComparison_data()
    {
        QTest::addColumn<QString>("index");
        const auto table = MakeSortTable();
        for (const TIndexDef &def : table->IndexDefs())
            QTest::newRow(qPrintable(def.name)) << def.name;
    }
    void indexOrderMatchesPlainComparison()
    {
        QFETCH(QString, index);
        auto table = MakeSortTable();
        const TIndexDef def = *std::find_if(table->IndexDefs().begin(), table->IndexDefs().end(),
                                            [&](const TIndexDef &d) { return d.name == index; });
        table->CreateDataSet();
        AddSortRows(*table, 400);
        const QStringList expected = ReferenceRows(*table, def);
        table->SetIndexName(index);
        QCOMPARE(Column(*table, "ROW"), expected);

        auto kept = MakeSortTable();
        kept->CreateDataSet();
        kept->SetIndexName(index);
        AddSortRows(*kept, 400);
        QCOMPARE(Column(*kept, "ROW"), expected);
    }

    // Orders sorted over records read from a file, whose texts are still
    // their stored bytes, match the plain comparison too: with the file in
    // random order, already in the index's order and in its reverse.
    void loadedIndexOrderMatchesPlainComparison_data()
    {
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("fileOrder");
        const auto table = MakeSortTable();
        for (const TIndexDef &def : table->IndexDefs())
            for (const char *order : {"random", "sorted", "reversed"})
                QTest::newRow(qPrintable(def.name + QLatin1Char(' ') + QLatin1String(order)))
                    << def.name << QString::fromLatin1(order);
    }
    void loadedIndexOrderMatchesPlainComparison()
    {
        QFETCH(QString, index);
        QFETCH(QString, fileOrder);
        QTemporaryDir dir;
        const QString fileName = dir.filePath(QStringLiteral("sort.db"));
        auto made = MakeSortTable();
        made->CreateDataSet();
        AddSortRows(*made, 400);
        if (fileOrder != QLatin1String("random")) {
            // The rows again, added in the index's order or its reverse.
            made->SetIndexName(index);
            auto ordered = MakeSortTable();
            ordered->CreateDataSet();
            const bool reversed = fileOrder == QLatin1String("reversed");
            for (reversed ? made->Last() : made->First(); reversed ? !made->Bof() : !made->Eof();
                 reversed ? made->Prior() : made->Next()) {
                QVariantList row;
                for (int field = 0; field < made->FieldCount(); ++field)
                    row << made->Fields(field).Value();
                ordered->AppendRecord(row);
            }
            made = std::move(ordered);
        }
        made->SaveToFile(fileName);
        const auto open = [&] {
            auto table = MakeSortTable();
            table->SetFileName(fileName);
            table->Open();
            return table;
        };
        const auto loaded = open();
        loaded->SetIndexName(index);
        const auto reference = open();
        const TIndexDef def = *std::find_if(reference->IndexDefs().begin(), reference->IndexDefs().end(),
                                            [&](const TIndexDef &d) { return d.name == index; });
        QCOMPARE(Column(*loaded, "ROW"), ReferenceRows(*reference, def));
    }

    void filterByTextAndHandler()
    {
        auto table = MakeTable();
        table->CreateDataSet();
        table->AppendRecord({1, "a"});
        table->AppendRecord({2, "b"});
        table->AppendRecord({2, "c"});
        table->AppendRecord({QVariant(), "d"});
        table->SetFilter("ID = 2");
        QCOMPARE(table->RecordCount(), 4); // not applied until Filtered
        table->SetFiltered(true);
        QCOMPARE(Column(*table, "NAME"), QStringList({"b", "c"}));
        table->OnFilterRecord = [](TTable &t) { return t.FieldByName("NAME").AsString() != "b"; };
        table->RefreshFilter();
        QCOMPARE(Column(*table, "NAME"), QStringList({"c"}));
        table->SetFilter(QString());
        QCOMPARE(Column(*table, "NAME"), QStringList({"a", "c", "d"}));
        // A posted record that no longer passes leaves the visible set.
        table->First();
        table->Edit();
        table->FieldByName("NAME").SetAsString("b");
        table->Post();
        QCOMPARE(Column(*table, "NAME"), QStringList({"c", "d"}));
        QVERIFY_THROWS_EXCEPTION(AppError, table->SetFilter("ID > 2"));
    }

    // The filter sees values edited since it was last applied.
    void filterFollowsEditedValues()
    {
        auto table = MakeTable();
        table->CreateDataSet();
        table->AppendRecord({1, "a"});
        table->AppendRecord({2, "b"});
        table->AppendRecord({2, "c"});
        table->SetIndexName("NAME_DESC");
        table->SetFilter("ID = 2");
        table->SetFiltered(true);
        QCOMPARE(Column(*table, "NAME"), QStringList({"c", "b"}));
        table->SetFiltered(false);
        table->Last();
        table->Edit();
        table->FieldByName("ID").SetAsInteger(2);
        table->Post();
        table->SetFiltered(true);
        QCOMPARE(Column(*table, "NAME"), QStringList({"c", "b", "a"}));
        table->First();
        table->Edit();
        table->FieldByName("ID").Clear();
        table->Post();
        table->RefreshFilter();
        QCOMPARE(Column(*table, "NAME"), QStringList({"b", "a"}));
    }

    void editingCancelDeleteAndNewRecordHandler()
    {
        auto table = MakeTable();
        table->OnNewRecord = [](TTable &t) { t.FieldByName("NOTE").SetAsString("new"); };
        table->CreateDataSet();
        AddPeople(*table, {"a", "b", "c"});
        QCOMPARE(table->FieldByName("NOTE").AsString(), QStringLiteral("new"));
        table->First();
        table->Edit();
        QCOMPARE(table->State(), dsEdit);
        table->FieldByName("NAME").SetAsString("zz");
        table->Cancel();
        QCOMPARE(table->State(), dsBrowse);
        QCOMPARE(table->FieldByName("NAME").AsString(), QStringLiteral("a"));
        table->Insert();
        QCOMPARE(table->State(), dsInsert);
        QCOMPARE(table->RecordCount(), 3);
        table->Cancel();
        QCOMPARE(table->RecordCount(), 3);
        table->SetRecNo(1);
        table->Delete();
        QCOMPARE(table->FieldByName("NAME").AsString(), QStringLiteral("c"));
        table->Delete();
        QCOMPARE(table->FieldByName("NAME").AsString(), QStringLiteral("a"));
        table->Delete();
        QVERIFY(table->IsEmpty());
        QVERIFY_THROWS_EXCEPTION(AppError, table->Delete());
    }

    void bookmarkFailsOnGoneRecordAndFindKeyUsesIndex()
    {
        auto table = MakeTable();
        table->CreateDataSet();
        AddPeople(*table, {"a", "B", "c"});
        table->SetRecNo(1);
        const TBookmark mark = table->GetBookmark();
        table->First();
        table->GotoBookmark(mark);
        QCOMPARE(table->FieldByName("NAME").AsString(), QStringLiteral("B"));
        table->Delete();
        QVERIFY(!table->BookmarkValid(mark));
        QVERIFY_THROWS_EXCEPTION(AppError, table->GotoBookmark(mark));

        QVERIFY(!table->FindKey({"c"})); // no index
        table->SetIndexName("NAME_ASC");
        QVERIFY(table->FindKey({"C"}));
        QCOMPARE(table->FieldByName("ID").AsInteger(), 3);
        QVERIFY(!table->FindKey({"b"}));
        QCOMPARE(table->FieldByName("ID").AsInteger(), 3);
        table->SetIndexName("ID_ASC");
        QVERIFY(table->FindKey({1}));
        QCOMPARE(table->FieldByName("NAME").AsString(), QStringLiteral("a"));
        table->SetFilter("ID = 3");
        table->SetFiltered(true);
        QVERIFY(!table->FindKey({1}));
    }

    void disableControlsNestsAndReportsOnce()
    {
        auto table = MakeTable();
        table->CreateDataSet();
        QSignalSpy data(table.get(), &TTable::DataChange);
        QSignalSpy layout(table.get(), &TTable::LayoutChange);
        table->DisableControls();
        table->DisableControls();
        AddPeople(*table, {"a", "b"});
        table->EnableControls();
        QVERIFY(table->ControlsDisabled());
        QCOMPARE(data.count() + layout.count(), 0);
        table->EnableControls();
        QVERIFY(!table->ControlsDisabled());
        QCOMPARE(data.count(), 1);
        QCOMPARE(layout.count(), 1);
        table->First();
        QCOMPARE(data.count(), 2);
    }

    void modelFollowsTableAndView()
    {
        auto table = MakeTable();
        table->CreateDataSet();
        AddPeople(*table, {"a", "b", "c"});
        TTableModel model(table.get(), {{"NAME", "Name"}, {"ID", "No"}});
        model.SetRowColorRule([](TTable &, int row, bool selected) -> std::optional<TRowColors> {
            if (row == 0 && !selected)
                return std::nullopt;
            return TRowColors{TRgb(255, 255, 255), selected ? TRgb(0, 0, 255) : TRgb(255, 0, 0)};
        });
        QTableView view;
        model.BindView(&view);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("No"));
        QCOMPARE(model.data(model.index(2, 0)).toString(), QStringLiteral("c"));

        view.setCurrentIndex(model.index(1, 0));
        QCOMPARE(table->FieldByName("NAME").AsString(), QStringLiteral("b"));
        QCOMPARE(model.data(model.index(1, 0), Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::blue));
        QCOMPARE(model.data(model.index(2, 0), Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::red));
        QVERIFY(!model.data(model.index(0, 0), Qt::BackgroundRole).isValid());

        table->Last();
        QCOMPARE(view.currentIndex().row(), 2);
        table->SetIndexName("NAME_DESC");
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("c"));
        QCOMPARE(view.currentIndex().row(), 0);
        table->SetFilter("ID = 2");
        table->SetFiltered(true);
        QCOMPARE(model.rowCount(), 1);
        table->Close();
        QCOMPARE(model.rowCount(), 0);
    }
};

QTEST_MAIN(TestTable)
#include "tst_table.moc"
