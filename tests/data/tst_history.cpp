#include "AppError.h"
#include "ChangeHistory.h"
#include "TDataModuleMain.h"
#include "TTables.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QFile>
#include <QtTest>
#include <sqlite3.h>

namespace {

void AddAction(TDataModuleMain &data, int id, const QString &idAction)
{
    TTable *actions = data.cdsActions;
    actions->Append();
    actions->FieldByName(QStringLiteral("ID")).SetAsInteger(id);
    actions->FieldByName(QStringLiteral("ID_ACTION")).SetAsString(idAction);
    actions->Post();
}

void AddChild(TTable *table, int id, int action, const QString &synopsis)
{
    table->Append();
    table->FieldByName(QStringLiteral("ID")).SetAsInteger(id);
    table->FieldByName(QStringLiteral("ID_ACTION")).SetAsInteger(action);
    table
        ->FieldByName(table->TableName() == QStringLiteral("cdsLog") ? QStringLiteral("STATUS_LINE")
                                                                     : QStringLiteral("SYNOPSIS"))
        .SetAsString(synopsis);
    table->Post();
}

bool GotoId(TTable *table, int id)
{
    table->SetFiltered(false);
    for (table->First(); !table->Eof(); table->Next())
        if (table->FieldByName(QStringLiteral("ID")).AsInteger() == id)
            return true;
    return false;
}

void SetSynopsis(TDataModuleMain &data, int id, const QString &synopsis)
{
    QVERIFY(GotoId(data.cdsActions, id));
    data.cdsActions->Edit();
    data.cdsActions->FieldByName(QStringLiteral("SYNOPSIS")).SetAsString(synopsis);
    data.cdsActions->Post();
}

} // namespace

// The record of changes below the windows: what a step holds, that undo and
// redo put exactly that back through the files, and where it must refuse.
class TestHistory : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { UseTestStandardPaths(); }
    void init()
    {
        fixture_.Start();
        file_ = fixture_.dir->filePath(QStringLiteral("Work.act"));
        TTables &tables = fixture_.data->Tables;
        tables.Open(file_, true);
        tables.Close();
        tables.Open(file_, false);
        QVERIFY(!tables.History().CanUndo());
    }
    void cleanup()
    {
        fixture_.data->Tables.Close();
        fixture_.data->Tables.Reset();
        fixture_.Finish();
    }

    // Undoing a new action does not give its number back: the next new
    // action takes the following one, and redo brings the same ID back.
    void identifiersAreNeverGivenTwice()
    {
        TDataModuleMain &data = *fixture_.data;
        AddAction(data, data.NextId(rkAction), QStringLiteral("QUAY-1"));
        QCOMPARE(data.Tables.History().UndoCaption(), QStringLiteral("Undo New Action \"QUAY-1\""));
        data.Tables.Undo();
        QCOMPARE(data.cdsActions->RecordCount(), 0);
        QCOMPARE(data.LastActionId(), 1);
        data.Tables.Redo();
        QVERIFY(GotoId(data.cdsActions, 1));
        QCOMPARE(data.cdsActions->FieldByName(QStringLiteral("ID_ACTION")).AsString(),
                 QStringLiteral("QUAY-1"));
        data.Tables.Undo();
        QCOMPARE(data.NextId(rkAction), 2);
        // A new step drops what was undone.
        AddAction(data, 2, QStringLiteral("QUAY-2"));
        QVERIFY(!data.Tables.History().CanRedo());
    }

    // A command's changes across tables are one step; undo and redo act on
    // all of them and write them into the files.
    void stepCoversEveryTableOfItsCommand()
    {
        TDataModuleMain &data = *fixture_.data;
        AddAction(data, 1, QStringLiteral("QUAY-4"));
        AddChild(data.cdsLog, 1, 1, QStringLiteral("called"));
        AddChild(data.cdsDecision, 1, 1, QStringLiteral("agreed"));
        const auto before = ActionFileRows(file_);
        {
            TChangeScope change(data.Tables);
            QVERIFY(GotoId(data.cdsLog, 1));
            data.cdsLog->Delete();
            QVERIFY(GotoId(data.cdsDecision, 1));
            data.cdsDecision->Delete();
            QVERIFY(GotoId(data.cdsActions, 1));
            data.cdsActions->Delete();
            change.Commit();
        }
        const auto after = ActionFileRows(file_);
        QCOMPARE(data.Tables.History().NextUndo().caption, QStringLiteral("Delete Action \"QUAY-4\""));
        QCOMPARE(data.Tables.History().NextUndo().rows.size(), size_t(3));
        const TChangeStep undone = data.Tables.Undo();
        QCOMPARE(TouchedActionId(data.Tables, undone, true), 1);
        QCOMPARE(ActionFileRows(file_), before);
        // Read back from the files, the step still applies.
        data.Tables.Close();
        data.Tables.Open(file_, false);
        data.Tables.Redo();
        QCOMPARE(ActionFileRows(file_), after);
    }

    // Steps follow each other on the same record: each undo takes back its
    // own step's change, whatever later steps did to the record.
    void laterStepsOnTheSameRecordUndoInOrder()
    {
        TDataModuleMain &data = *fixture_.data;
        AddAction(data, 1, QStringLiteral("QUAY-1"));
        const auto created = ActionFileRows(file_);
        SetSynopsis(data, 1, QStringLiteral("first"));
        const auto first = ActionFileRows(file_);
        SetSynopsis(data, 1, QStringLiteral("second"));
        const auto second = ActionFileRows(file_);
        data.Tables.Undo();
        QCOMPARE(ActionFileRows(file_), first);
        data.Tables.Undo();
        QCOMPARE(ActionFileRows(file_), created);
        data.Tables.Redo();
        data.Tables.Redo();
        QCOMPARE(ActionFileRows(file_), second);
    }

    // A record that is no longer as the step left it (the file was changed
    // behind the history's back) makes undo refuse and change nothing.
    void stepThatNoLongerFitsChangesNothing()
    {
        TDataModuleMain &data = *fixture_.data;
        AddAction(data, 1, QStringLiteral("QUAY-1"));
        AddAction(data, 2, QStringLiteral("QUAY-2"));
        SetSynopsis(data, 1, QStringLiteral("mine"));
        data.Tables.Close();
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(file_ + "._actions").constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "UPDATE cdsActions SET SYNOPSIS = 'theirs' WHERE ID = 1", nullptr, nullptr,
                              nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        data.Tables.Open(file_, false);
        const auto files = ActionFileRows(file_);
        const size_t steps = data.Tables.History().UndoCount();
        QVERIFY_THROWS_EXCEPTION(AppError, data.Tables.Undo());
        QCOMPARE(ActionFileRows(file_), files);
        QCOMPARE(data.Tables.History().UndoCount(), steps);
        QVERIFY(!data.Tables.History().CanRedo());
    }

    // Changes read from the files are no step, and another file or Reset
    // starts an empty history; a reload of the same file keeps it.
    void historyBelongsToTheOpenFile()
    {
        TDataModuleMain &data = *fixture_.data;
        AddAction(data, 1, QStringLiteral("QUAY-1"));
        data.Tables.Close();
        data.Tables.Open(file_, false);
        QCOMPARE(data.Tables.History().UndoCount(), size_t(1));
        const QString other = fixture_.dir->filePath(QStringLiteral("Other.act"));
        data.Tables.Open(other, true);
        QVERIFY(!data.Tables.History().CanUndo());
        AddAction(data, 1, QStringLiteral("OTHER-1"));
        data.Tables.Close();
        data.Tables.Reset();
        QVERIFY(!data.Tables.History().CanUndo());
        data.Tables.Open(file_, false);
    }

    // An undo whose write failed is written with the next command, which
    // becomes a step of its own: undoing it takes back that command only.
    void undoWrittenLateIsNotPartOfTheNextStep()
    {
        TDataModuleMain &data = *fixture_.data;
        AddAction(data, 1, QStringLiteral("QUAY-1"));
        SetSynopsis(data, 1, QStringLiteral("first"));
        const QString actions = file_ + "._actions";
        const auto permissions = QFile::permissions(actions);
        QVERIFY(QFile::setPermissions(actions, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY_THROWS_EXCEPTION(TNotSavedError, data.Tables.Undo());
        QVERIFY(QFile::setPermissions(actions, permissions));
        AddAction(data, 2, QStringLiteral("QUAY-2"));
        const TChangeStep &added = data.Tables.History().NextUndo();
        QCOMPARE(added.caption, QStringLiteral("New Action \"QUAY-2\""));
        QCOMPARE(added.rows.size(), size_t(1));
        data.Tables.Undo();
        const QStringList rows = ActionFileRows(file_).value(QStringLiteral("._actions"));
        QCOMPARE(rows.size(), 1);
        QVERIFY(rows.first().contains(QStringLiteral("QUAY-1")));
        QVERIFY(!rows.first().contains(QStringLiteral("first")));
    }

    // At least 500 steps are kept; past the limit the oldest go first.
    void oldestStepsGoPastTheLimit()
    {
        TChangeHistory history;
        QVERIFY(history.Limit() >= 500);
        history.SetLimit(3);
        for (int i = 1; i <= 5; ++i)
            history.Record({QString::number(i), {{TableMember::Actions, std::nullopt, TRowImage{i}}}});
        QCOMPARE(history.UndoCount(), size_t(3));
        QCOMPARE(history.NextUndo().caption, QStringLiteral("5"));
        for (int i = 0; i < 3; ++i)
            history.Undone();
        QCOMPARE(history.NextRedo().caption, QStringLiteral("3"));
        QCOMPARE(history.UndoCaption(), QStringLiteral("Undo"));
        QCOMPARE(history.RedoCaption(), QStringLiteral("Redo 3"));
    }

    // Steps recorded in a group are one under its caption; a row changed in
    // one and changed back in another drops out, and a group that changed
    // nothing in the end leaves no step.
    void groupJoinsItsSteps()
    {
        TChangeHistory history;
        const TRowImage a{1, QStringLiteral("a")}, b{1, QStringLiteral("b")}, n{2, QStringLiteral("n")};
        {
            THistoryGroup group(history, QStringLiteral("Follow Up Action \"QUAY-2\""));
            history.Record({QStringLiteral("Edit"), {{TableMember::Actions, a, b}}});
            history.Record({QStringLiteral("New"), {{TableMember::Actions, std::nullopt, n}}});
        }
        QCOMPARE(history.UndoCount(), size_t(1));
        QCOMPARE(history.NextUndo().caption, QStringLiteral("Follow Up Action \"QUAY-2\""));
        QCOMPARE(history.NextUndo().rows.size(), size_t(2));
        {
            THistoryGroup group(history, QStringLiteral("Follow Up Action \"QUAY-2\""));
            history.Record({QStringLiteral("Edit"), {{TableMember::Actions, a, b}}});
            history.Record({QStringLiteral("Edit"), {{TableMember::Actions, b, a}}});
        }
        QCOMPARE(history.UndoCount(), size_t(1));
    }

private:
    TestWorkspace fixture_;
    QString file_;
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
