#include "FakeUiServices.h"
#include "TDataModuleMain.h"
#include "TFormActions.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <memory>

namespace {

using Values = QVariantMap;
using Files = QMap<QString, QStringList>;

void AppendTo(TTable *table, const Values &values)
{
    table->Append();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        table->FieldByName(it.key()).SetValue(it.value());
    table->Post();
}

bool GotoIdAction(TTable *actions, const QString &idAction)
{
    const int column = actions->FieldIndex(QStringLiteral("ID_ACTION"));
    for (int row = 0; row < actions->RecordCount(); ++row) {
        if (actions->ValueAt(row, column).toString() == idAction) {
            actions->SetRecNo(row);
            return true;
        }
    }
    return false;
}

void SetText(QWidget *window, const QString &name, const QString &text)
{
    Child<QLineEdit>(window, name)->setText(text);
}

void Click(QWidget *window, const QString &button)
{
    Child<QPushButton>(window, button)->click();
}

// Whether every message shown was a question the script answered.
bool NoErrorShown(const FakeUiServices &ui)
{
    const QList<UiCall> messages = ui.messages();
    return std::all_of(messages.begin(), messages.end(),
                       [](const UiCall &call) { return (call.flags & MB_ICONQUESTION) != 0; });
}

} // namespace

// Undo and redo in the action list: every command the user can give is one
// step, taken back and done again exactly as the files held it, with the
// record it touched shown in the list.
class TestUndo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { UseTestStandardPaths(); }
    void init();
    void cleanup();

    void everyCommandUndoesAndRedoesExactly_data();
    void everyCommandUndoesAndRedoesExactly();
    void twentyMixedStepsUndoneAndRedoneInFull();
    void undoAfterSaveAndAcrossFilterReload();
    void cancelledFollowUpLeavesNothingToUndo();
    void editMenuNamesTheStepAndFollowsTheHistory();

private:
    std::unique_ptr<TFormActions> ShowForm();
    // The current action's ID_ACTION, checked to be the list's current row.
    QString Shown(TFormActions &form);
    // Runs the list's command named `command` as the user would.
    void Run(TFormActions &form, const QString &command);

    TestWorkspace fixture_;
    QString file_;
};

void TestUndo::init()
{
    fixture_.Start();
    Settings().Actions.TransferData = true;
    file_ = fixture_.dir->filePath(QStringLiteral("Work.act"));
    TDataModuleMain &data = *fixture_.data;
    data.Tables.Open(file_, true);
    for (int id = 1; id <= 4; ++id)
        AppendTo(data.cdsActions, {{"ID", id},
                                   {"ID_CHAIN", id},
                                   {"ATTRIBUTE", QString(QChar('A' + id - 1))},
                                   {"ID_ACTION", QStringLiteral("QUAY-%1").arg(id)},
                                   {"SYNOPSIS", QStringLiteral("Quay %1").arg(id)},
                                   {"STATUS", "Active"}});
    AppendTo(data.cdsLog, {{"ID", 1},
                           {"ID_ACTION", 2},
                           {"DATE_LOG", QDate(2026, 1, 2)},
                           {"TIME_LOG", QTime(9, 0)},
                           {"STATUS_LINE", "Waiting"}});
    for (int id = 2; id <= 3; ++id)
        AppendTo(data.cdsLog,
                 {{"ID", id}, {"ID_ACTION", 4}, {"DATE_LOG", QDate(2026, 1, id)}, {"STATUS_LINE", "Log"}});
    AppendTo(data.cdsDecision, {{"ID", 1}, {"ID_ACTION", 4}, {"SYNOPSIS", "Agreed"}});
    AppendTo(data.cdsStatement, {{"ID", 1}, {"ID_ACTION", 4}, {"SYNOPSIS", "Said"}});
    AppendTo(data.cdsActor, {{"ID", "smith"}, {"LAST_NAME", "Smith"}});
    data.Tables.Close();
    data.Tables.Reset();
    data.Tables.Open(file_, false);
    data.FilterLogByAction();
}

void TestUndo::cleanup()
{
    fixture_.data->Tables.Close();
    fixture_.data->Tables.Reset();
    fixture_.Finish();
}

std::unique_ptr<TFormActions> TestUndo::ShowForm()
{
    auto form = std::make_unique<TFormActions>(*fixture_.data, false, false);
    form->show();
    return form;
}

QString TestUndo::Shown(TFormActions &form)
{
    TTable *actions = fixture_.data->cdsActions;
    if (form.RzDBGridActions->currentIndex().row() != actions->RecNo())
        return QStringLiteral("grid at row %1, table at %2")
            .arg(form.RzDBGridActions->currentIndex().row())
            .arg(actions->RecNo());
    return actions->FieldByName(QStringLiteral("ID_ACTION")).AsString();
}

void TestUndo::Run(TFormActions &form, const QString &command)
{
    FakeUiServices &ui = fixture_.ui;
    TTable *actions = fixture_.data->cdsActions;
    const QString target =
        command.contains(QStringLiteral("delete action")) || command.contains(QStringLiteral("decision"))
            ? QStringLiteral("QUAY-4")
            : QStringLiteral("QUAY-2");
    QVERIFY(GotoIdAction(actions, target));
    fixture_.data->FilterLogByAction();
    // The action editor, for the commands given there.
    const auto inActionEditor = [&](std::function<void(QWidget *)> edit) {
        ui.onModal(std::move(edit));
        form.ActionEdit->trigger();
    };
    if (command == QStringLiteral("new action")) {
        ui.onModal([](QWidget *editor) {
            SetText(editor, QStringLiteral("EditID_ACTION"), QStringLiteral("NEW-5"));
            Click(editor, QStringLiteral("ButtonOK"));
        });
        form.ActionNew->trigger();
    } else if (command == QStringLiteral("edit action, OK")) {
        inActionEditor([](QWidget *editor) {
            SetText(editor, QStringLiteral("EditSYNOPSIS"), QStringLiteral("Changed"));
            Click(editor, QStringLiteral("ButtonOK"));
        });
    } else if (command == QStringLiteral("edit action, memo zoom and Apply")) {
        inActionEditor([&ui](QWidget *editor) {
            ui.onModal([](QWidget *zoom) {
                Child<QPlainTextEdit>(zoom, QStringLiteral("MemoZoom"))
                    ->setPlainText(QStringLiteral("Zoomed"));
                Click(zoom, QStringLiteral("ButtonClose"));
            });
            Child<QAction>(editor, QStringLiteral("ActionZoomDESCRIPTION"))->trigger();
            Click(editor, QStringLiteral("ButtonApply"));
            Click(editor, QStringLiteral("ButtonCancel"));
        });
    } else if (command == QStringLiteral("follow up")) {
        ui.answer(IDYES);
        inActionEditor([](QWidget *editor) {
            Child<QAction>(editor, QStringLiteral("ActionFollowUp"))->trigger();
            SetText(editor, QStringLiteral("EditID_ACTION"), QStringLiteral("QUAY-5"));
            Click(editor, QStringLiteral("ButtonOK"));
        });
    } else if (command == QStringLiteral("new decision")) {
        inActionEditor([&ui](QWidget *editor) {
            ui.onModal([](QWidget *decision) {
                SetText(decision, QStringLiteral("EditSYNOPSIS"), QStringLiteral("Decided"));
                Click(decision, QStringLiteral("ButtonOK"));
            });
            Child<QTabWidget>(editor, QStringLiteral("PageControl"))->setCurrentIndex(1);
            Child<QAction>(editor, QStringLiteral("ActionNewDecision"))->trigger();
            Click(editor, QStringLiteral("ButtonCancel"));
        });
    } else if (command == QStringLiteral("delete action with children")) {
        ui.answer(IDYES);
        form.ActionDelete->trigger();
    } else if (command == QStringLiteral("resolve")) {
        ui.answer(IDYES);
        form.ActionResolveCurrent->trigger();
    } else if (command == QStringLiteral("new log entry")) {
        ui.onModal([](QWidget *editor) {
            SetText(editor, QStringLiteral("EditSTATUS_LINE"), QStringLiteral("Called back"));
            Click(editor, QStringLiteral("ButtonOK"));
        });
        form.ActionNewLog->trigger();
    } else if (command == QStringLiteral("edit log entry")) {
        ui.onModal([](QWidget *editor) {
            SetText(editor, QStringLiteral("EditSTATUS_LINE"), QStringLiteral("Still waiting"));
            Click(editor, QStringLiteral("ButtonOK"));
        });
        form.ActionEditLog->trigger();
    } else if (command == QStringLiteral("delete log entry")) {
        ui.answer(IDYES);
        form.ActionDeleteLog->trigger();
    } else if (command == QStringLiteral("edit contact")) {
        ui.onModal([&ui](QWidget *list) {
            ui.onModal([](QWidget *editor) {
                SetText(editor, QStringLiteral("EditLAST_NAME"), QStringLiteral("Smyth"));
                Click(editor, QStringLiteral("ButtonOK"));
            });
            Child<QAction>(list, QStringLiteral("ActionEdit"))->trigger();
        });
        form.ActionActors->trigger();
    } else if (command == QStringLiteral("properties")) {
        ui.onModal([](QWidget *editor) {
            SetText(editor, QStringLiteral("EditTITLE"), QStringLiteral("New title"));
            Click(editor, QStringLiteral("ButtonOK"));
        });
        form.ActionProperties->trigger();
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown command ") + command));
    }
}

void TestUndo::everyCommandUndoesAndRedoesExactly_data()
{
    QTest::addColumn<QString>("caption");
    // The action the list shows after the undo and after the redo; empty
    // where the step leaves no such action to show.
    QTest::addColumn<QString>("shownUndone");
    QTest::addColumn<QString>("shownRedone");
    QTest::newRow("new action") << "New Action \"NEW-5\""
                                << ""
                                << "NEW-5";
    QTest::newRow("edit action, OK") << "Edit Action \"QUAY-2\""
                                     << "QUAY-2"
                                     << "QUAY-2";
    QTest::newRow("edit action, memo zoom and Apply") << "Edit Action \"QUAY-2\""
                                                      << "QUAY-2"
                                                      << "QUAY-2";
    QTest::newRow("follow up") << "Follow Up Action \"QUAY-2\""
                               << "QUAY-2"
                               << "QUAY-5";
    QTest::newRow("new decision") << "New Decision \"Decided\""
                                  << "QUAY-4"
                                  << "QUAY-4";
    QTest::newRow("delete action with children") << "Delete Action \"QUAY-4\""
                                                 << "QUAY-4"
                                                 << "";
    QTest::newRow("resolve") << "Resolve Action \"QUAY-2\""
                             << "QUAY-2"
                             << "QUAY-2";
    QTest::newRow("new log entry") << "New Log Entry \"Called back\""
                                   << "QUAY-2"
                                   << "QUAY-2";
    QTest::newRow("edit log entry") << "Edit Log Entry \"Still waiting\""
                                    << "QUAY-2"
                                    << "QUAY-2";
    QTest::newRow("delete log entry") << "Delete Log Entry \"Waiting\""
                                      << "QUAY-2"
                                      << "QUAY-2";
    QTest::newRow("edit contact") << "Edit Contact \"Smyth\""
                                  << ""
                                  << "";
    QTest::newRow("properties") << "Edit Properties"
                                << ""
                                << "";
}

void TestUndo::everyCommandUndoesAndRedoesExactly()
{
    QFETCH(QString, caption);
    QFETCH(QString, shownUndone);
    QFETCH(QString, shownRedone);
    auto form = ShowForm();
    const Files before = ActionFileRows(file_);
    Run(*form, QString::fromLatin1(QTest::currentDataTag()));
    const Files after = ActionFileRows(file_);
    QVERIFY(after != before);
    QCOMPARE(fixture_.data->Tables.History().UndoCount(), size_t(1));
    QCOMPARE(form->ActionUndo->text(), QStringLiteral("Undo ") + caption);
    QVERIFY(!form->ActionRedo->isEnabled());

    // Elsewhere in the list, so the step has to bring its record back.
    QVERIFY(GotoIdAction(fixture_.data->cdsActions, QStringLiteral("QUAY-3")));
    form->ActionUndo->trigger();
    QCOMPARE(ActionFileRows(file_), before);
    if (!shownUndone.isEmpty())
        QCOMPARE(Shown(*form), shownUndone);
    QCOMPARE(form->ActionRedo->text(), QStringLiteral("Redo ") + caption);
    QVERIFY(!form->ActionUndo->isEnabled());
    QCOMPARE(form->ActionUndo->text(), QStringLiteral("Undo"));

    QVERIFY(GotoIdAction(fixture_.data->cdsActions, QStringLiteral("QUAY-3")));
    form->ActionRedo->trigger();
    QCOMPARE(ActionFileRows(file_), after);
    if (!shownRedone.isEmpty())
        QCOMPARE(Shown(*form), shownRedone);
    QCOMPARE(form->ActionUndo->text(), QStringLiteral("Undo ") + caption);
    QVERIFY(NoErrorShown(fixture_.ui));
}

// Twenty steps of several kinds, undone to the start and redone to the end:
// after each the files hold exactly what they held at that point.
void TestUndo::twentyMixedStepsUndoneAndRedoneInFull()
{
    auto form = ShowForm();
    TDataModuleMain &data = *fixture_.data;
    QList<Files> states{ActionFileRows(file_)};
    for (int i = 0; i < 20; ++i) {
        switch (i % 5) {
        case 0:
            AppendTo(data.cdsActions,
                     {{"ID", data.NextId(rkAction)}, {"ID_ACTION", QStringLiteral("STEP-%1").arg(i)}});
            break;
        case 1:
            QVERIFY(GotoIdAction(data.cdsActions, QStringLiteral("STEP-%1").arg(i - 1)));
            fixture_.ui.answer(IDYES);
            form->ActionResolveCurrent->trigger();
            break;
        case 2:
            QVERIFY(GotoIdAction(data.cdsActions, QStringLiteral("QUAY-2")));
            data.cdsActions->Edit();
            data.cdsActions->FieldByName(QStringLiteral("SYNOPSIS"))
                .SetAsString(QStringLiteral("Step %1").arg(i));
            data.cdsActions->Post();
            break;
        case 3:
            AppendTo(data.cdsActor, {{"ID", QStringLiteral("c%1").arg(i)}, {"LAST_NAME", "Jones"}});
            break;
        case 4:
            QVERIFY(GotoIdAction(data.cdsActions, QStringLiteral("STEP-%1").arg(i - 4)));
            fixture_.ui.answer(IDYES);
            form->ActionDelete->trigger();
            break;
        }
        states << ActionFileRows(file_);
    }
    QCOMPARE(data.Tables.History().UndoCount(), size_t(20));
    for (int i = 19; i >= 0; --i) {
        form->ActionUndo->trigger();
        QVERIFY2(ActionFileRows(file_) == states[i], qPrintable(QStringLiteral("undo to %1").arg(i)));
    }
    QVERIFY(!form->ActionUndo->isEnabled());
    for (int i = 1; i <= 20; ++i) {
        form->ActionRedo->trigger();
        QVERIFY2(ActionFileRows(file_) == states[i], qPrintable(QStringLiteral("redo to %1").arg(i)));
    }
    QVERIFY(!form->ActionRedo->isEnabled());
    QVERIFY(NoErrorShown(fixture_.ui));
}

// Saving (Ctrl+S) and a reload for another filter keep the history: the
// step is undone after both, and the list keeps its filter.
void TestUndo::undoAfterSaveAndAcrossFilterReload()
{
    auto form = ShowForm();
    const Files before = ActionFileRows(file_);
    QVERIFY(GotoIdAction(fixture_.data->cdsActions, QStringLiteral("QUAY-2")));
    fixture_.ui.answer(IDYES);
    form->ActionResolveCurrent->trigger();
    const Files resolved = ActionFileRows(file_);
    QApplication::setActiveWindow(form.get());
    QTest::keyClick(form->RzDBGridActions, Qt::Key_S, Qt::ControlModifier);
    form->MenuItemShowOpen->trigger();
    QVERIFY(!GotoIdAction(fixture_.data->cdsActions, QStringLiteral("QUAY-2")));

    QTest::keyClick(form->RzDBGridActions, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(ActionFileRows(file_), before);
    // Open again, the action is back in the list of open actions and shown.
    QCOMPARE(Shown(*form), QStringLiteral("QUAY-2"));
    QVERIFY(form->MenuItemShowOpen->isChecked());
    QCOMPARE(Settings().Actions.Filter, int(TActionFilter::Open));

    QTest::keyClick(form->RzDBGridActions, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(ActionFileRows(file_), resolved);
    QVERIFY(!GotoIdAction(fixture_.data->cdsActions, QStringLiteral("QUAY-2")));
    QTest::keyClick(form->RzDBGridActions, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(ActionFileRows(file_), resolved);
    QVERIFY(NoErrorShown(fixture_.ui));
}

// A follow-up dropped in the editor puts the link back: together with the
// link it made, nothing is left to undo.
void TestUndo::cancelledFollowUpLeavesNothingToUndo()
{
    auto form = ShowForm();
    const Files before = ActionFileRows(file_);
    QVERIFY(GotoIdAction(fixture_.data->cdsActions, QStringLiteral("QUAY-2")));
    fixture_.ui.answer(IDYES);
    fixture_.ui.onModal([](QWidget *editor) {
        Child<QAction>(editor, QStringLiteral("ActionFollowUp"))->trigger();
        Click(editor, QStringLiteral("ButtonCancel"));
    });
    form->ActionEdit->trigger();
    QCOMPARE(ActionFileRows(file_), before);
    QVERIFY(!fixture_.data->Tables.History().CanUndo());
    QVERIFY(!form->ActionUndo->isEnabled());
}

// The Edit menu holds Undo and Redo, named after the next step, off with
// their plain captions when there is none; the history ends with the
// window.
void TestUndo::editMenuNamesTheStepAndFollowsTheHistory()
{
    auto form = ShowForm();
    QMenu *edit = nullptr;
    for (QAction *menu : form->MenuBar->actions())
        if (menu->text() == QStringLiteral("&Edit"))
            edit = menu->menu();
    QVERIFY(edit);
    QCOMPARE(edit->actions(), (QList<QAction *>{form->ActionUndo, form->ActionRedo}));
    QCOMPARE(form->ActionUndo->shortcuts(), QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Z)});
    QCOMPARE(form->ActionRedo->shortcuts(),
             (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                  QKeySequence(Qt::CTRL | Qt::Key_Y)}));
    QVERIFY(!form->ActionUndo->isEnabled());
    QCOMPARE(form->ActionUndo->text(), QStringLiteral("Undo"));
    QCOMPARE(form->ActionRedo->text(), QStringLiteral("Redo"));

    QVERIFY(GotoIdAction(fixture_.data->cdsActions, QStringLiteral("QUAY-4")));
    fixture_.ui.answer(IDYES);
    form->ActionDelete->trigger();
    QVERIFY(form->ActionUndo->isEnabled());
    QCOMPARE(form->ActionUndo->text(), QStringLiteral("Undo Delete Action \"QUAY-4\""));
    form->reject();
    QVERIFY(!fixture_.data->Tables.IsOpen());
    QVERIFY(!fixture_.data->Tables.History().CanUndo());
    fixture_.data->Tables.Open(file_, false);
}

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
