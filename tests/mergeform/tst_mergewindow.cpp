#include "ActionFileCommands.h"
#include "ActionFileNames.h"
#include "ContainerCommands.h"
#include "DravelinMerge.h"
#include "MergeBase.h"
#include "MergeDravelinFile.h"
#include "OpenCommands.h"
#include "TACTFiles.h"
#include "TCDSParser.h"
#include "TFormMerge.h"
#include "TestWorkspace.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

// The merge window over a returned Dravelin File: what it lists, what its
// choices do, and that Cancel and a refused file change nothing.

namespace {

void Set(TTable *table, int id, const char *field, const QVariant &value)
{
    table->SetFiltered(false);
    for (table->First(); !table->Eof(); table->Next())
        if (table->FieldByName(QStringLiteral("ID")).AsInteger() == id)
            break;
    table->Edit();
    table->FieldByName(QLatin1String(field)).SetValue(value);
    table->Post();
}

// The row under parent whose first column starts with text.
QTreeWidgetItem *Row(QTreeWidgetItem *parent, const QString &text)
{
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(TFormMerge::ColumnDifference).startsWith(text))
            return parent->child(i);
    return nullptr;
}

QTreeWidgetItem *Group(QTreeWidget *tree, const QString &text)
{
    return Row(tree->invisibleRootItem(), text);
}

} // namespace

class TestMergeWindow : public QObject {
    Q_OBJECT

private:
    TestWorkspace ws;
    QString mine_, returned_;

    QString Path(const QString &name) const { return ws.dir->filePath(name); }

    // mine.act saved as sent.dravelin, their copy changed and returned as
    // back/sent.dravelin, mine changed meanwhile and left open.
    void Exchange(int extraId = 0)
    {
        TDataModuleMain &data = *ws.data;
        Settings().Folders.Auxiliary = Path(QStringLiteral("Auxiliary"));
        Settings().Folders.Dravelin = ws.dir->path();
        mine_ = Path(QStringLiteral("mine.act"));
        data.Tables.Open(mine_, true);
        data.AuxiliaryFolder = AuxiliaryFolder(mine_, Settings().Folders.Auxiliary);
        for (int id = 1; id <= 2; ++id)
            AddExactRecord(data.cdsActions, {{"ID", id},
                                             {"ID_CHAIN", id},
                                             {"ATTRIBUTE", QStringLiteral("H_%1").arg(id)},
                                             {"ID_ACTION", QStringLiteral("A%1").arg(id)},
                                             {"SYNOPSIS", QStringLiteral("s%1").arg(id)}});
        if (extraId)
            AddExactRecord(data.cdsActions, {{"ID", extraId}, {"ID_CHAIN", extraId}, {"ID_ACTION", "X"}});
        ws.ui.chooseFile(Path(QStringLiteral("sent.dravelin")));
        QVERIFY(SaveAsDravelinFileCommand(data, false));
        if (extraId) {
            TTable *actions = data.cdsActions;
            Set(actions, extraId, "SYNOPSIS", QStringLiteral("deleted here"));
            actions->Delete();
        }
        const QString base = MergeBaseFileName(data.AuxiliaryFolder, Path(QStringLiteral("sent.dravelin")));
        QVERIFY(base.startsWith(Path(QStringLiteral("Auxiliary/AUXILIARY_MINE/"))));
        QVERIFY(QFileInfo::exists(base));
        data.Tables.Close();
        data.Tables.Reset();

        TCDSParser unpack(Path(QStringLiteral("sent.dravelin")), data.TempFiles);
        QVERIFY(unpack.Unpack());
        data.Tables.Open(unpack.ActFileName(), false);
        Set(data.cdsActions, 1, "SYNOPSIS", QStringLiteral("s1 there"));
        Set(data.cdsActions, 2, "DESCRIPTION", QStringLiteral("described there"));
        if (extraId)
            Set(data.cdsActions, extraId, "SYNOPSIS", QStringLiteral("changed there"));
        AddExactRecord(data.cdsActions,
                       {{"ID", 3}, {"ID_CHAIN", 3}, {"ATTRIBUTE", "T_3"}, {"ID_ACTION", "B3"}});
        data.Tables.Close();
        data.Tables.Reset();
        QVERIFY(QDir().mkpath(Path(QStringLiteral("back"))));
        returned_ = Path(QStringLiteral("back/sent.dravelin"));
        TCDSParser(unpack.ActFileName(), returned_).Pack();

        data.Tables.Open(mine_, false);
        data.AuxiliaryFolder = AuxiliaryFolder(mine_, Settings().Folders.Auxiliary);
        Set(data.cdsActions, 1, "SYNOPSIS", QStringLiteral("s1 here"));
    }

    QVariant Field(int id, const char *field)
    {
        const TRecordSet records = ReadActionFileRecords(*ws.data, mine_);
        for (const TRecordValues &action : records[TMergeKind::Action])
            if (action.value(QStringLiteral("ID")).toInt() == id)
                return action.value(QLatin1String(field), QStringLiteral("(null)"));
        return QStringLiteral("(none)");
    }

private Q_SLOTS:
    void init() { ws.Start(); }
    void cleanup() { ws.Finish(); }

    void windowListsEveryDifferenceAndAppliesTheChoices()
    {
        Exchange();
        ws.ui.chooseFile(returned_);
        ws.ui.onModal([](QWidget *window) {
            auto *form = qobject_cast<TFormMerge *>(window);
            QVERIFY(form);
            QCOMPARE(form->windowTitle(), QStringLiteral("Merge Dravelin File"));
            QVERIFY2(form->LabelSummary->text().startsWith(QStringLiteral("Three-way")),
                     qPrintable(form->LabelSummary->text()));
            QTreeWidget *tree = form->TreeDifferences;
            QCOMPARE(tree->topLevelItemCount(), 3);

            // Both changed the synopsis: a question, mine kept unless chosen.
            QTreeWidgetItem *synopsis =
                Row(Group(tree, QStringLiteral("Action 1 \"A1\"")), QStringLiteral("SYNOPSIS"));
            QVERIFY(synopsis);
            QCOMPARE(synopsis->text(TFormMerge::ColumnHere), QStringLiteral("s1 here"));
            QCOMPARE(synopsis->text(TFormMerge::ColumnThere), QStringLiteral("s1 there"));
            QVERIFY(synopsis->font(TFormMerge::ColumnDifference).bold());
            QCOMPARE(synopsis->checkState(TFormMerge::ColumnTakeTheirs), Qt::Unchecked);

            // Changed only there: taken by default.
            QTreeWidgetItem *description =
                Row(Group(tree, QStringLiteral("Action 2")), QStringLiteral("DESCRIPTION"));
            QVERIFY(description);
            QCOMPARE(description->text(TFormMerge::ColumnDifference),
                     QStringLiteral("DESCRIPTION (changed there)"));
            QCOMPARE(description->checkState(TFormMerge::ColumnTakeTheirs), Qt::Checked);
            QVERIFY(!description->font(TFormMerge::ColumnDifference).bold());

            QTreeWidgetItem *added = Row(Group(tree, QStringLiteral("Action 3")), QStringLiteral("Action 3"));
            QVERIFY(added);
            QCOMPARE(added->text(TFormMerge::ColumnDifference),
                     QStringLiteral("Action 3 \"B3\": Added there"));
            QCOMPARE(added->checkState(TFormMerge::ColumnTakeTheirs), Qt::Checked);

            // All mine, then Defaults brings the defaults back; then the
            // user takes their synopsis and leaves their new action out.
            form->ButtonAllMine->click();
            QCOMPARE(description->checkState(TFormMerge::ColumnTakeTheirs), Qt::Unchecked);
            form->ButtonDefaults->click();
            QCOMPARE(description->checkState(TFormMerge::ColumnTakeTheirs), Qt::Checked);
            synopsis->setCheckState(TFormMerge::ColumnTakeTheirs, Qt::Checked);
            added->setCheckState(TFormMerge::ColumnTakeTheirs, Qt::Unchecked);
            form->ButtonOK->click();
        });
        QVERIFY(MergeDravelinFileCommand(*ws.data, false));
        QCOMPARE(ws.ui.calls.last().kind, UiCall::Modal);
        // On disk at once, as one commit.
        QVERIFY(!ws.data->Tables.HasUnsavedChanges());
        QCOMPARE(Field(1, "SYNOPSIS"), QVariant(QStringLiteral("s1 there")));
        QCOMPARE(Field(2, "DESCRIPTION"), QVariant(QStringLiteral("described there")));
        QCOMPARE(Field(3, "ID_ACTION"), QVariant(QStringLiteral("(none)")));
    }

    // An action deleted here and changed there comes back under its number;
    // the counter passes it, so the next new action gets a free number.
    void actionBroughtBackKeepsItsNumber()
    {
        Exchange(2000000000);
        ws.ui.chooseFile(returned_);
        ws.ui.onModal([](QWidget *window) {
            auto *form = qobject_cast<TFormMerge *>(window);
            QTreeWidgetItem *back = Row(Group(form->TreeDifferences, QStringLiteral("Action 2000000000")),
                                        QStringLiteral("Action 2000000000"));
            QVERIFY(back);
            QCOMPARE(back->text(TFormMerge::ColumnDifference),
                     QStringLiteral("Action 2000000000 \"X\": Deleted here, changed there"));
            form->ButtonAllTheirs->click();
            form->ButtonOK->click();
        });
        const QMap<QString, QStringList> before = ActionFileRows(mine_);
        QVERIFY(MergeDravelinFileCommand(*ws.data, false));
        QCOMPARE(Field(2000000000, "SYNOPSIS"), QVariant(QStringLiteral("changed there")));
        QCOMPARE(Field(3, "ID_ACTION"), QVariant(QStringLiteral("B3")));
        QCOMPARE(ws.data->Tables.LastActionId(), 2000000000);
        const QMap<QString, QStringList> merged = ActionFileRows(mine_);

        // The merge is one step: undo puts back every row it changed, redo
        // brings the merge back whole.
        QCOMPARE(ws.data->Tables.History().UndoCaption(),
                 QStringLiteral("Undo Merge Dravelin File \"sent.dravelin\""));
        ws.data->Tables.Undo();
        QCOMPARE(ActionFileRows(mine_), before);
        ws.data->Tables.Redo();
        QCOMPARE(ActionFileRows(mine_), merged);
    }

    // The state kept for a merge belongs to the Action File: it goes with
    // it, and the auxiliary folder with it when nothing else is there.
    void deletingTheActionFileRemovesItsKeptStates()
    {
        Exchange();
        ws.data->Tables.Close();
        ws.data->Tables.Reset();
        const QString auxiliary = Path(QStringLiteral("Auxiliary/AUXILIARY_MINE"));
        QVERIFY(QFileInfo::exists(auxiliary + QStringLiteral("/Merge Bases/sent.dravelin")));
        DeleteActionFile(mine_, Settings().Folders.Auxiliary);
        QVERIFY(!QFileInfo::exists(mine_));
        QVERIFY(!QFileInfo::exists(auxiliary));
    }

    void cancelOrRefusedFileChangesNothing_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("Cancel") << false;
        QTest::newRow("not a Dravelin File") << true;
    }

    void cancelOrRefusedFileChangesNothing()
    {
        QFETCH(bool, damaged);
        Exchange();
        const auto before = ActionFileSnapshot(mine_);
        if (damaged) {
            QFile file(returned_);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.write("0123456789");
        } else {
            ws.ui.onModal([](QWidget *window) { qobject_cast<TFormMerge *>(window)->ButtonCancel->click(); });
        }
        ws.ui.chooseFile(returned_);
        QVERIFY(!MergeDravelinFileCommand(*ws.data, false));
        if (damaged) {
            const UiCall *message = ws.ui.lastMessage();
            QVERIFY(message);
            QCOMPARE(message->caption, QStringLiteral("File Error"));
            QVERIFY2(message->text.startsWith(QStringLiteral("This is not a valid Dravelin File")),
                     qPrintable(message->text));
            QCOMPARE(message->flags, unsigned(MB_OK | MB_ICONERROR));
        }
        QCOMPARE(ActionFileSnapshot(mine_), before);
        QCOMPARE(ws.data->cdsActions->RecordCount(), 2);
        QCOMPARE(Field(1, "SYNOPSIS"), QVariant(QStringLiteral("s1 here")));
    }
};

QTEST_MAIN(TestMergeWindow)
#include "tst_mergewindow.moc"
