#include "ActionListColumns.h"
#include "AppError.h"
#include "FakeUiServices.h"
#include "OpenCommands.h"
#include "ScriptedActionList.h"
#include "TACTFiles.h"
#include "TDataModuleMain.h"
#include "TFormActions.h"
#include "TFormDigest.h"
#include "TFormPrintColumns.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QAction>
#include <QActionGroup>
#include <QBrush>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <memory>

namespace {

using Values = QVariantMap;

void AppendTo(TTable *table, const Values &values)
{
    table->Append();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        table->FieldByName(it.key()).SetValue(it.value());
    table->Post();
}

// Records of one table whatever its filter says, by field value.
int CountWhere(TTable *table, const QString &field, const QVariant &value)
{
    const int column = table->FieldIndex(field);
    const bool filtered = table->Filtered();
    table->SetFiltered(false);
    int count = 0;
    for (int row = 0; row < table->RecordCount(); ++row)
        count += table->ValueAt(row, column) == value ? 1 : 0;
    table->SetFiltered(filtered);
    return count;
}

QStringList ListedIds(TTable *actions)
{
    QStringList ids;
    const int column = actions->FieldIndex(QStringLiteral("ID_ACTION"));
    for (int row = 0; row < actions->RecordCount(); ++row)
        ids << actions->ValueAt(row, column).toString();
    return ids;
}

bool GotoIdAction(TTable *actions, const QString &idAction)
{
    const int row = ListedIds(actions).indexOf(idAction);
    if (row >= 0)
        actions->SetRecNo(row);
    return row >= 0;
}

} // namespace

class TestActionList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void titleClicksSortAndColourTitles();
    void cancelledEditStillReloadsAndWrites();
    void deleteActionRemovesExactlyItsChildren_data();
    void deleteActionRemovesExactlyItsChildren();
    void resolvedActionLeavesOpenListAfterRefresh();
    void showMineFiltersOnlyWithHomeActor_data();
    void showMineFiltersOnlyWithHomeActor();
    void showMineEndsWithTheWindow();
    void showItemsSetFilterAndReloadOnlyOnChange();
    void newStatusLogWithoutActionsIsRefused();
    void digestOpensInListModeOnlyWithActions();
    void printListOpensOnlyWithActions();
    void captionNamesTitleOrPath_data();
    void captionNamesTitleOrPath();
    void closeQueryKeepsOrClosesFile_data();
    void closeQueryKeepsOrClosesFile();
    void failedCloseKeepsWindowAndChanges_data();
    void failedCloseKeepsWindowAndChanges();
    void commandWritesAllItsTablesOrNone_data();
    void commandWritesAllItsTablesOrNone();
    void gridAndIndicatorsFollowCurrentAction_data();
    void gridAndIndicatorsFollowCurrentAction();
    void shortcutsRunCommands_data();
    void shortcutsRunCommands();
    void navigationButtonsShowIconsNotText();
    void menuBarHoldsEveryCommand();
    void statusBarShowsTheFilter_data();
    void statusBarShowsTheFilter();
    void tabMovesFocusOutOfTheGrid_data();
    void tabMovesFocusOutOfTheGrid();
    void reloadKeepsHorizontalScrollAndColumn_data();
    void reloadKeepsHorizontalScrollAndColumn();
    void readOnlyFileChangesNothing();
    void columnsFitWhenTheFirstActionsArrive();
    void contactsOpenSortedByIdAndOrderComesBack();
    void propertiesRenewCaption_data();
    void propertiesRenewCaption();
    void screenshot();

private:
    // Creates the Action File with the header values, writes it and opens it
    // again as the main window does before showing the list.
    void CreateFile(const Values &header, const QList<Values> &actions, const QList<Values> &logs = {},
                    const QList<Values> &decisions = {}, const QList<Values> &statements = {});
    std::unique_ptr<TFormActions> ShowForm();

    TestWorkspace fixture_;
    std::unique_ptr<QTemporaryDir> &dir_ = fixture_.dir;
    FakeUiServices *const ui_ = &fixture_.ui;
    std::unique_ptr<TDataModuleMain> &data_ = fixture_.data;
    QString file_;
};

void TestActionList::initTestCase()
{
    UseTestStandardPaths();
}

void TestActionList::init()
{
    fixture_.Start();
    Settings().Actions.DueDateIndicator = 1;
    file_ = dir_->filePath(QStringLiteral("Work.act"));
}

void TestActionList::cleanup()
{
    fixture_.Finish();
}

void TestActionList::CreateFile(const Values &header, const QList<Values> &actions, const QList<Values> &logs,
                                const QList<Values> &decisions, const QList<Values> &statements)
{
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, true));
    data_->cdsAction->Edit();
    for (auto it = header.cbegin(); it != header.cend(); ++it)
        data_->cdsAction->FieldByName(it.key()).SetValue(it.value());
    data_->cdsAction->Post();
    for (const Values &values : actions)
        AppendTo(data_->cdsActions, values);
    for (const Values &values : logs)
        AppendTo(data_->cdsLog, values);
    for (const Values &values : decisions)
        AppendTo(data_->cdsDecision, values);
    for (const Values &values : statements)
        AppendTo(data_->cdsStatement, values);
    data_->Tables.Close();
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, false));
    data_->FilterLogByAction();
}

std::unique_ptr<TFormActions> TestActionList::ShowForm()
{
    auto form = std::make_unique<TFormActions>(*data_, false, false);
    form->show();
    return form;
}

void TestActionList::titleClicksSortAndColourTitles()
{
    CreateFile({},
               {{{"ID", 1}, {"ATTRIBUTE", "B"}, {"ID_ACTION", "one"}, {"DATE_DUE", QDate(2030, 1, 3)}},
                {{"ID", 2}, {"ATTRIBUTE", "c"}, {"ID_ACTION", "two"}, {"DATE_DUE", QDate(2030, 1, 1)}},
                {{"ID", 3}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "three"}, {"DATE_DUE", QDate(2030, 1, 2)}}});
    auto form = ShowForm();
    QHeaderView *header = form->RzDBGridActions->horizontalHeader();
    TTable *actions = data_->cdsActions;
    const auto titleColor = [&](int column) {
        return form->RzDBGridActions->model()
            ->headerData(column, Qt::Horizontal, Qt::ForegroundRole)
            .value<QBrush>()
            .color();
    };
    const auto clickTitle = [&](int column) {
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };
    QCOMPARE(actions->IndexName(), QStringLiteral("ATTRIBUTE_DESC"));
    QCOMPARE(titleColor(0), QColor(Qt::red));
    QCOMPARE(titleColor(4), QColor(Qt::blue));
    QVERIFY(GotoIdAction(actions, QStringLiteral("two")));

    struct Step {
        int column;
        const char *index;
        QStringList order;
        QColor attribute, dateDue;
    };
    const QList<Step> steps{
        {0, "ATTRIBUTE_ASC", {"three", "one", "two"}, Qt::black, Qt::blue},
        {0, "ATTRIBUTE_DESC", {"two", "one", "three"}, Qt::red, Qt::blue},
        {4, "DATE_DUE_ASC", {"two", "three", "one"}, Qt::blue, Qt::black},
        {4, "DATE_DUE_DESC", {"one", "three", "two"}, Qt::blue, Qt::red},
    };
    for (const Step &step : steps) {
        clickTitle(step.column);
        QCOMPARE(actions->IndexName(), QLatin1String(step.index));
        QCOMPARE(ListedIds(actions), step.order);
        QCOMPARE(titleColor(0), step.attribute);
        QCOMPARE(titleColor(4), step.dateDue);
        QCOMPARE(actions->FieldByName("ID_ACTION").AsString(), QStringLiteral("two"));
    }
    QCOMPARE(ui_->busyDepth, 0);

    // A reload keeps the order and the current action.
    QVERIFY(GotoIdAction(actions, QStringLiteral("three")));
    form->ActionRefreshTable->trigger();
    QCOMPARE(actions->IndexName(), QStringLiteral("DATE_DUE_DESC"));
    QCOMPARE(actions->FieldByName("ID_ACTION").AsString(), QStringLiteral("three"));
    QCOMPARE(form->RzDBGridActions->currentIndex().row(), 1);

    // The log keeps its one order.
    QTest::mouseClick(form->RzDBGridLog->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(10, 5));
    QCOMPARE(ui_->messages().size(), 1);
    QCOMPARE(
        ui_->lastMessage()->text,
        QStringLiteral("The standard (and only) Index available for Logs is \"Date and Time, Descending\""));
    QCOMPARE(ui_->lastMessage()->caption, QStringLiteral("No extra Indexes"));
    QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_OK | MB_ICONINFORMATION));
    QCOMPARE(data_->cdsLog->IndexName(), QStringLiteral("LOG_DATE_TIME"));
}

void TestActionList::cancelledEditStillReloadsAndWrites()
{
    CreateFile({}, {{{"ID", 1}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "one"}},
                    {{"ID", 2}, {"ATTRIBUTE", "B"}, {"ID_ACTION", "two"}}});
    auto form = ShowForm();
    QVERIFY(GotoIdAction(data_->cdsActions, QStringLiteral("one")));
    AppendTo(data_->cdsActor, {{"ID", "smith"}});
    ui_->onModal([](QWidget *) {});

    form->ActionEdit->trigger();

    QCOMPARE(ui_->calls.first().kind, UiCall::Modal);
    QCOMPARE(ui_->calls.first().text, QStringLiteral("TFormAction"));
    QCOMPARE(data_->cdsActions->State(), dsBrowse);
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("one"));
    // The contact was written by the reload's close and read back by its open.
    QCOMPARE(data_->cdsActor->RecordCount(), 1);
    QVERIFY(!data_->cdsActor->Modified());
}

void TestActionList::deleteActionRemovesExactlyItsChildren_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("childFilter");
    QTest::addColumn<int>("removed");
    QTest::newRow("yes, children follow the action") << int(IDYES) << "follow" << 7;
    QTest::newRow("yes, children unfiltered") << int(IDYES) << "none" << 7;
    QTest::newRow("yes, children on another action") << int(IDYES) << "other" << 7;
    QTest::newRow("no") << int(IDNO) << "follow" << 0;
}

void TestActionList::deleteActionRemovesExactlyItsChildren()
{
    QFETCH(int, answer);
    QFETCH(QString, childFilter);
    QFETCH(int, removed);
    const auto child = [](int id, int action) { return Values{{"ID", id}, {"ID_ACTION", action}}; };
    const auto log = [](int id, int action) {
        return Values{
            {"ID", id}, {"ID_ACTION", action}, {"DATE_LOG", QDate(2026, 1, id)}, {"TIME_LOG", QTime(9, 0)}};
    };
    CreateFile({},
               {{{"ID", 1}, {"ATTRIBUTE", "A1"}, {"ID_ACTION", " doomed "}},
                {{"ID", 2}, {"ATTRIBUTE", "A2"}, {"ID_ACTION", "kept"}}},
               {log(1, 1), log(2, 1), log(3, 1), log(4, 2)}, {child(1, 1), child(2, 2), child(3, 1)},
               {child(1, 1), child(2, 2)});
    auto form = ShowForm();
    QVERIFY(GotoIdAction(data_->cdsActions, QStringLiteral(" doomed")));
    if (childFilter == QLatin1String("none")) {
        data_->UnfilterLog();
        data_->UnfilterDecisions();
        data_->UnfilterStatements();
    } else if (childFilter == QLatin1String("other")) {
        for (TTable *table : {data_->cdsLog, data_->cdsDecision, data_->cdsStatement}) {
            table->SetFilter(QStringLiteral("ID_ACTION = 2"));
            table->SetFiltered(true);
        }
    } else {
        data_->FilterDecisionsByAction();
        data_->FilterStatementsByAction();
    }
    const auto total = [&] {
        int sum = 0;
        for (TTable *table : {data_->cdsActions, data_->cdsLog, data_->cdsDecision, data_->cdsStatement}) {
            const bool filtered = table->Filtered();
            table->SetFiltered(false);
            sum += table->RecordCount();
            table->SetFiltered(filtered);
        }
        return sum;
    };
    const int before = total();

    ui_->answer(MbResult(answer));
    form->ActionDelete->trigger();

    QCOMPARE(ui_->messages().size(), 1);
    QCOMPARE(ui_->lastMessage()->text, QStringLiteral("Do you really want to remove Action \"doomed\"?"));
    QCOMPARE(ui_->lastMessage()->caption, QStringLiteral("Remove Action"));
    QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
    QCOMPARE(before - total(), removed);
    QCOMPARE(ui_->busyDepth, 0);
    if (removed == 0)
        return;
    // What remains was read back from the files by the reload.
    QCOMPARE(ListedIds(data_->cdsActions), QStringList{"kept"});
    for (TTable *table : {data_->cdsLog, data_->cdsDecision, data_->cdsStatement}) {
        QCOMPARE(CountWhere(table, QStringLiteral("ID_ACTION"), 1), 0);
        QCOMPARE(CountWhere(table, QStringLiteral("ID_ACTION"), 2), 1);
    }
    QCOMPARE(data_->cdsLog->RecordCount(), 1);
}

void TestActionList::resolvedActionLeavesOpenListAfterRefresh()
{
    Settings().Actions.Filter = 1;
    const auto log = [](int id, int action, QDate date) {
        return Values{{"ID", id},           {"ID_ACTION", action},
                      {"DATE_LOG", date},   {"TIME_LOG", QTime(8, 0)},
                      {"STATUS", "Active"}, {"DATE_STATUS", date}};
    };
    CreateFile({},
               {{{"ID", 1}, {"ATTRIBUTE", "A1"}, {"ID_ACTION", "first"}, {"STATUS", "Active"}},
                {{"ID", 2}, {"ATTRIBUTE", "A2"}, {"ID_ACTION", "second"}, {"STATUS", "Active"}}},
               {log(1, 1, QDate(2026, 1, 1)), log(2, 1, QDate(2026, 2, 1)), log(3, 2, QDate(2026, 3, 1))});
    auto form = ShowForm();
    TTable *actions = data_->cdsActions;
    QVERIFY(GotoIdAction(actions, QStringLiteral("first")));

    ui_->answer(IDYES);
    form->ActionResolveCurrent->trigger();
    QCOMPARE(ui_->lastMessage()->text,
             QStringLiteral("Would you like to resolve the selected Action with the current Date?"));
    QCOMPARE(ui_->lastMessage()->caption, QStringLiteral("Resolve Action"));
    QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_YESNO | MB_ICONQUESTION));

    form->ActionRefreshTable->trigger();
    QCOMPARE(ListedIds(actions), QStringList{"second"});
    // Only the newest entry of the resolved action changed, not the entry of
    // the action that became current when the resolved one left the list.
    TTable *logs = data_->cdsLog;
    logs->SetFiltered(false);
    const QDate today = QDate::currentDate();
    for (int id = 1; id <= 3; ++id) {
        int row = 0;
        while (logs->ValueAt(row, logs->FieldIndex("ID")).toInt() != id)
            ++row;
        const bool resolved = id == 2;
        QCOMPARE(logs->ValueAt(row, logs->FieldIndex("STATUS")).toString(),
                 resolved ? QStringLiteral("Resolved") : QStringLiteral("Active"));
        QCOMPARE(logs->ValueAt(row, logs->FieldIndex("DATE_STATUS")).toDate() == today, resolved);
    }
    Settings().Actions.Filter = 2;
    form->ActionRefreshTable->trigger();
    QCOMPARE(ListedIds(actions), QStringList{"first"});
    QCOMPARE(actions->FieldByName("STATUS").AsString(), QStringLiteral("Resolved"));
    QCOMPARE(actions->FieldByName("DATE_FINISHED").AsDate(), today);
}

// The data module filters by "mine" only while the action list that ticked
// it exists; a file opened after it closed lists every action again.
void TestActionList::showMineEndsWithTheWindow()
{
    CreateFile({{"ACTOR_HOME", "ABC"}},
               {{{"ID", 1}, {"ATTRIBUTE", "2"}, {"ID_ACTION", "a"}, {"ACTOR_OWNER", "abc"}},
                {{"ID", 2}, {"ATTRIBUTE", "1"}, {"ID_ACTION", "z"}, {"ACTOR_OWNER", "zed"}}});
    auto form = ShowForm();
    form->MenuItemMine->trigger();
    QCOMPARE(ListedIds(data_->cdsActions), QStringList{"a"});
    form.reset();

    data_->Tables.Close();
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, false));
    QCOMPARE(ListedIds(data_->cdsActions), QStringList({"a", "z"}));
}

void TestActionList::showMineFiltersOnlyWithHomeActor_data()
{
    QTest::addColumn<QString>("home");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<bool>("reloaded");
    QTest::newRow("empty home actor: mark only") << "  " << QStringList{"a", "b", "c", "d"} << false;
    QTest::newRow("home actor ABC") << "ABC" << QStringList{"a", "b"} << true;
}

void TestActionList::showMineFiltersOnlyWithHomeActor()
{
    QFETCH(QString, home);
    QFETCH(QStringList, listed);
    QFETCH(bool, reloaded);
    CreateFile({{"ACTOR_HOME", home}},
               {{{"ID", 1}, {"ATTRIBUTE", "4"}, {"ID_ACTION", "a"}, {"ACTOR_OWNER", "abc"}},
                {{"ID", 2}, {"ATTRIBUTE", "3"}, {"ID_ACTION", "b"}, {"ACTOR_OWNER", " ABC"}},
                {{"ID", 3}, {"ATTRIBUTE", "2"}, {"ID_ACTION", "c"}, {"ACTOR_OWNER", "A.B.C"}},
                {{"ID", 4}, {"ATTRIBUTE", "1"}, {"ID_ACTION", "d"}, {"ACTOR_OWNER", "zed"}}});
    auto form = ShowForm();
    QVERIFY(GotoIdAction(data_->cdsActions, QStringLiteral("b")));
    const int busy = ui_->busyCount;

    form->MenuItemMine->trigger();

    QVERIFY(form->MenuItemMine->isChecked());
    QCOMPARE(ListedIds(data_->cdsActions), listed);
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("b"));
    QCOMPARE(ui_->busyCount > busy, reloaded);
    QVERIFY(ui_->messages().isEmpty());

    form->MenuItemMine->trigger();
    QVERIFY(!form->MenuItemMine->isChecked());
    QCOMPARE(ListedIds(data_->cdsActions).size(), 4);
}

void TestActionList::showItemsSetFilterAndReloadOnlyOnChange()
{
    CreateFile(
        {}, {{{"ID", 1}, {"ATTRIBUTE", "2"}, {"ID_ACTION", "open"}},
             {{"ID", 2}, {"ATTRIBUTE", "1"}, {"ID_ACTION", "done"}, {"DATE_FINISHED", QDate(2026, 1, 1)}}});
    auto form = ShowForm();
    QVERIFY(form->MenuItemShowAll->isChecked());
    const int busy = ui_->busyCount;

    form->MenuItemShowAll->trigger();
    QVERIFY(form->MenuItemShowAll->isChecked());
    QCOMPARE(ui_->busyCount, busy);

    form->MenuItemShowResolved->trigger();
    QCOMPARE(Settings().Actions.Filter, 2);
    QVERIFY(ui_->busyCount > busy);
    QCOMPARE(ListedIds(data_->cdsActions), QStringList{"done"});
    QVERIFY(!form->MenuItemShowAll->isChecked());
    QVERIFY(!form->MenuItemShowOpen->isChecked());
    QVERIFY(form->MenuItemShowResolved->isChecked());

    form->MenuItemShowOpen->trigger();
    QCOMPARE(ListedIds(data_->cdsActions), QStringList{"open"});
}

void TestActionList::newStatusLogWithoutActionsIsRefused()
{
    CreateFile({}, {});
    auto form = ShowForm();
    form->ActionNewLog->trigger();
    QCOMPARE(ui_->messages().size(), 1);
    QCOMPARE(ui_->lastMessage()->text, QStringLiteral("You cannot add Logs, when there is still no Action."));
    QCOMPARE(ui_->lastMessage()->caption, QStringLiteral("No current Action"));
    QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_OK | MB_ICONERROR));
    QCOMPARE(data_->cdsLog->State(), dsBrowse);
    QVERIFY(form->ShapeSeverity->isHidden());
    QVERIFY(form->RzPanelStatus->isHidden());
    QVERIFY(form->RzPanelStatusLog->isHidden());
    QCOMPARE(form->StatusBar->currentMessage(), QStringLiteral(" "));
}

void TestActionList::digestOpensInListModeOnlyWithActions()
{
    CreateFile({}, {});
    auto form = ShowForm();
    QVERIFY(form->ActionDigest->isEnabled());
    form->ActionDigest->trigger();
    QVERIFY(ui_->calls.isEmpty());

    AppendTo(data_->cdsActions, {{"ID", 1}, {"ID_ACTION", "One"}});
    int mode = 0;
    ui_->onModal([&mode](QWidget *window) {
        if (auto *digest = qobject_cast<TFormDigest *>(window))
            mode = digest->Mode();
    });
    form->ActionDigest->trigger();
    QCOMPARE(mode, int(TFormDigest::ListMode));
}

void TestActionList::printListOpensOnlyWithActions()
{
    CreateFile({}, {});
    auto form = ShowForm();
    QVERIFY(form->ActionPrintList->isEnabled());
    QCOMPARE(form->ActionPrintList->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    form->ActionPrintList->trigger();
    QVERIFY(ui_->calls.isEmpty());

    AppendTo(data_->cdsActions, {{"ID", 1}, {"ID_ACTION", "One"}});
    QString caption;
    ui_->onModal([&caption](QWidget *window) {
        if (qobject_cast<TFormPrintList *>(window))
            caption = window->windowTitle();
    });
    form->ActionPrintList->trigger();
    QCOMPARE(caption, QStringLiteral("Print Action List"));
}

void TestActionList::captionNamesTitleOrPath_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("showsPath");
    QTest::newRow("title") << " Harbour works" << false;
    QTest::newRow("blank title") << "   " << true;
}

void TestActionList::captionNamesTitleOrPath()
{
    QFETCH(QString, title);
    QFETCH(bool, showsPath);
    CreateFile({{"TITLE", title}}, {});
    auto form = ShowForm();
    QCOMPARE(form->windowTitle(), QStringLiteral("Actions File \"") + (showsPath ? file_ : title) + "\"");
}

void TestActionList::closeQueryKeepsOrClosesFile_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("no question") << false << 0 << true;
    QTest::newRow("confirmed") << true << int(IDYES) << true;
    QTest::newRow("refused") << true << int(IDNO) << false;
}

void TestActionList::closeQueryKeepsOrClosesFile()
{
    QFETCH(bool, confirm);
    QFETCH(int, answer);
    QFETCH(bool, closes);
    Settings().Actions.ConfirmOnExit = confirm;
    CreateFile({}, {{{"ID", 1}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "x"}}});
    data_->Tables.SetRefreshListOnClose(true);
    auto form = ShowForm();
    // Wider than the window's least width, which its whole toolbar sets.
    const int width = form->minimumSizeHint().width() + 20;
    form->setGeometry(30, 40, width, 500);
    if (confirm)
        ui_->answer(MbResult(answer));

    form->ActionActionClose->trigger();

    if (confirm) {
        QCOMPARE(ui_->lastMessage()->text, QStringLiteral("Would you really like to close this Action File"));
        QCOMPARE(ui_->lastMessage()->caption, QStringLiteral("Close Action File"));
        QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_YESNO | MB_ICONQUESTION));
    }
    QCOMPARE(form->isVisible(), !closes);
    QCOMPARE(data_->Tables.IsOpen(), !closes);
    QCOMPARE(form->ListChanged(), closes);
    QCOMPARE(Settings().Actions.Width == width && Settings().Actions.Top == 40, closes);
    if (closes)
        QVERIFY(!data_->Tables.RefreshListOnClose());
}

void TestActionList::failedCloseKeepsWindowAndChanges_data()
{
    QTest::addColumn<bool>("saveFirst");
    QTest::newRow("close again") << false;
    QTest::newRow("save, then close") << true;
}

// A change whose write fails is never reported as saved: it stays in memory,
// the window and the file stay open, and the next save or close writes it.
void TestActionList::failedCloseKeepsWindowAndChanges()
{
    QFETCH(bool, saveFirst);
    CreateFile({}, {{{"ID", 1}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "x"}}});
    data_->Tables.SetRefreshListOnClose(true);
    auto form = ShowForm();
    const QString member = file_ + QStringLiteral("._actions");
    const QByteArray before = ReadFileBytes(member);
    const auto permissions = QFile::permissions(member);
    QVERIFY(QFile::setPermissions(member, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QString reason = QStringLiteral("Cannot write \"%1\": the file is read-only.").arg(member);
    try {
        AppendTo(data_->cdsActions, {{"ID", 2}, {"ATTRIBUTE", "B"}, {"ID_ACTION", "added"}});
        QFAIL("the failed write was reported as success");
    } catch (const TNotSavedError &error) {
        QCOMPARE(error.message(), reason);
    }
    QVERIFY(data_->Tables.HasUnsavedChanges());
    QCOMPARE(ReadFileBytes(member), before);

    try {
        form->ActionActionClose->trigger();
        QFAIL("the failed close was reported as success");
    } catch (const TNotSavedError &error) {
        QCOMPARE(error.message(), reason);
    }
    QVERIFY(form->isVisible());
    QVERIFY(data_->Tables.IsOpen());
    QVERIFY(data_->Tables.RefreshListOnClose());
    QVERIFY(data_->cdsActions->Modified());
    QCOMPARE(data_->cdsActions->RecordCount(), 2);
    QCOMPARE(ReadFileBytes(member), before);

    QVERIFY(QFile::setPermissions(member, permissions));
    if (saveFirst) {
        form->ActionSaveTable->trigger();
        QVERIFY(!data_->cdsActions->Modified());
        QCOMPARE(form->StatusBar->currentMessage(), QStringLiteral(" The Action File was saved."));
    }
    form->ActionActionClose->trigger();
    QVERIFY(!form->isVisible());
    QVERIFY(!data_->Tables.IsOpen());
    QVERIFY(form->ListChanged());

    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, false));
    data_->cdsActions->SetFiltered(false);
    QCOMPARE(CountWhere(data_->cdsActions, "ID_ACTION", "added"), 1);
}

void TestActionList::commandWritesAllItsTablesOrNone_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("blocked");
    QTest::newRow("resolve, log refused") << "resolve"
                                          << "._log";
    QTest::newRow("resolve, actions refused") << "resolve"
                                              << "._actions";
    QTest::newRow("delete, statements refused") << "delete"
                                                << "._statement";
    QTest::newRow("delete, actions refused") << "delete"
                                             << "._actions";
}

// A command that changes several tables writes them in one transaction: when
// one file refuses the write, none of them changes, and the next save writes
// them all.
void TestActionList::commandWritesAllItsTablesOrNone()
{
    QFETCH(QString, command);
    QFETCH(QString, blocked);
    CreateFile({}, {{{"ID", 1}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "one"}}},
               {{{"ID", 1}, {"ID_ACTION", 1}, {"DATE_LOG", QDate(2026, 1, 2)}, {"TIME_LOG", QTime(9, 0)}}},
               {}, {{{"ID", 1}, {"ID_ACTION", 1}, {"SYNOPSIS", "said"}}});
    auto form = ShowForm();
    const TACTFiles files(file_);
    QMap<QString, QByteArray> before;
    for (const QString &name : files.Names())
        before[name] = ReadFileBytes(name);
    const QString refusing = file_ + blocked;
    const auto permissions = QFile::permissions(refusing);
    QVERIFY(QFile::setPermissions(refusing, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    ui_->answer(IDYES);
    QVERIFY_THROWS_EXCEPTION(TNotSavedError, command == "resolve" ? form->ActionResolveCurrent->trigger()
                                                                  : form->ActionDelete->trigger());
    for (const QString &name : files.Names())
        QVERIFY2(ReadFileBytes(name) == before[name], qPrintable(name));

    QVERIFY(QFile::setPermissions(refusing, permissions));
    form->ActionSaveTable->trigger();
    QVERIFY(ReadFileBytes(file_ + "._actions") != before[file_ + "._actions"]);
    QVERIFY(ReadFileBytes(file_ + (command == "resolve" ? "._log" : "._statement")) !=
            before[file_ + (command == "resolve" ? "._log" : "._statement")]);
}

void TestActionList::gridAndIndicatorsFollowCurrentAction_data()
{
    QTest::addColumn<bool>("colorCoding");
    QTest::newRow("colour coding") << true;
    QTest::newRow("default colours") << false;
}

void TestActionList::gridAndIndicatorsFollowCurrentAction()
{
    QFETCH(bool, colorCoding);
    Settings().Actions.ColorCoding = colorCoding;
    const QDate today = QDate::currentDate();
    CreateFile({},
               {{{"ID", 1},
                 {"ATTRIBUTE", "B"},
                 {"ID_ACTION", "late"},
                 {"STATUS", "Active"},
                 {"SEVERITY", "Red Alert"},
                 {"DATE_DUE", today.addDays(-1)}},
                {{"ID", 2},
                 {"ATTRIBUTE", "A"},
                 {"ID_ACTION", "soon"},
                 {"STATUS", "On Hold"},
                 {"SEVERITY", " High"},
                 {"DATE_DUE", today.addDays(5)}}},
               {{{"ID", 1}, {"ID_ACTION", 2}, {"DATE_LOG", today}, {"STATUS", "Pending"}}});
    auto form = ShowForm();
    QAbstractItemModel *model = form->RzDBGridActions->model();
    const auto background = [&](int row) { return model->index(row, 5).data(Qt::BackgroundRole); };
    QCOMPARE(form->RzDBGridActions->currentIndex().row(), 0);
    QCOMPARE(form->RzPanelStatus->text(), QStringLiteral("A+"));
    QCOMPARE(form->RzPanelStatus->toolTip(), QStringLiteral("Action Status is \"Active\""));
    QVERIFY(form->ShapeSeverity->isVisible());
    QCOMPARE(form->ShapeSeverity->toolTip(), QStringLiteral("Severity is \"Red Alert\""));
    QVERIFY(form->RzPanelStatusLog->isHidden());
    QCOMPARE(form->StatusBar->currentMessage(), QStringLiteral(" "));
    if (colorCoding) {
        QCOMPARE(background(0).value<QBrush>().color(), QColor(0, 0, 255));
        QCOMPARE(background(1).value<QBrush>().color(), QColor(255, 213, 170));
    } else {
        QVERIFY(!background(0).isValid());
    }

    form->findChild<QToolButton *>(QStringLiteral("ButtonNextAction"))->click();

    QCOMPARE(form->RzDBGridActions->currentIndex().row(), 1);
    QCOMPARE(form->RzPanelStatus->text(), QStringLiteral("H"));
    QVERIFY(form->ShapeSeverity->isHidden());
    QCOMPARE(form->RzPanelStatusLog->text(), QStringLiteral("P.."));
    QCOMPARE(form->RzPanelStatusLog->toolTip(), QStringLiteral("Log Status is \"Pending\""));
    QCOMPARE(form->StatusBar->currentMessage(), QStringLiteral(" [ 5 ] Days until Action Due Date"));
    QCOMPARE(model->index(0, 0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("[ 5 ] Days until Action Due Date"));
    if (colorCoding)
        QCOMPARE(background(0).value<QBrush>().color(), QColor(255, 0, 0));
    else
        QVERIFY(!background(0).isValid());
}

void TestActionList::shortcutsRunCommands_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    const int modal = UiCall::Modal, message = UiCall::Message;
    QTest::newRow("F9") << QKeySequence(Qt::Key_F9) << modal << "TFormAction";
    QTest::newRow("Ctrl+Enter") << QKeySequence(Qt::CTRL | Qt::Key_Return) << modal << "TFormAction";
    QTest::newRow("Ctrl+Del") << QKeySequence(Qt::CTRL | Qt::Key_Delete) << message
                              << "Do you really want to remove Action \"one\"?";
    QTest::newRow("Ctrl+F9") << QKeySequence(Qt::CTRL | Qt::Key_F9) << modal << "TFormLog";
    QTest::newRow("Shift+Ctrl+Enter")
        << QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Return) << modal << "TFormLog";
    QTest::newRow("Shift+Ctrl+Del") << QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Delete) << message
                                    << "Do you really want to remove Log Entry \"started\"?";
}

void TestActionList::shortcutsRunCommands()
{
    QFETCH(QKeySequence, keys);
    QFETCH(int, kind);
    QFETCH(QString, text);
    CreateFile({}, {{{"ID", 1}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "one"}}},
               {{{"ID", 1}, {"ID_ACTION", 1}, {"DATE_LOG", QDate(2026, 1, 1)}, {"STATUS_LINE", "started "}}});
    auto form = ShowForm();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    // Each command either opens its editor or asks before it removes.
    if (kind == UiCall::Modal)
        ui_->onModal([](QWidget *) {});
    else
        ui_->answer(IDNO);

    QTest::keySequence(form->RzDBGridActions, keys);

    QVERIFY(!ui_->calls.isEmpty());
    QCOMPARE(int(ui_->calls.first().kind), kind);
    QCOMPARE(ui_->calls.first().text, text);
}

void TestActionList::menuBarHoldsEveryCommand()
{
    CreateFile({}, {{{"ID", 1}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "one"}}});
    auto form = ShowForm();
    QStringList titles;
    QList<QAction *> inMenus;
    for (QAction *menu : form->MenuBar->actions()) {
        titles.append(menu->text());
        QVERIFY(menu->menu());
        inMenus += menu->menu()->actions();
    }
    QCOMPARE(titles, QStringList({"&Action", "&Log", "&File", "&Edit", "&View", "&Reports", "&Help"}));
    for (QAction *command : form->ToolBar->actions() + form->PopupMenu->actions()) {
        if (!command->isSeparator())
            QVERIFY2(inMenus.contains(command), qPrintable(command->text()));
    }
    // The filters are radio items of one group, Show Mine a check item.
    QActionGroup *filters = form->MenuItemShowAll->actionGroup();
    QVERIFY(filters);
    QCOMPARE(filters->actions(),
             QList<QAction *>({form->MenuItemShowAll, form->MenuItemShowOpen, form->MenuItemShowResolved}));
    QVERIFY(!form->MenuItemMine->actionGroup());
    QVERIFY(form->MenuItemMine->isCheckable());
}

void TestActionList::statusBarShowsTheFilter_data()
{
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("choose");
    QTest::addColumn<bool>("mine");
    QTest::addColumn<QString>("shown");
    QTest::newRow("all") << "ABC"
                         << "all" << false << "Showing: all actions";
    QTest::newRow("open, mine") << "ABC"
                                << "open" << true << "Showing: open actions \u00b7 mine";
    QTest::newRow("resolved") << "ABC"
                              << "resolved" << false << "Showing: resolved actions";
    QTest::newRow("mine without home actor") << ""
                                             << "open" << true << "Showing: open actions";
}

void TestActionList::statusBarShowsTheFilter()
{
    QFETCH(QString, home);
    QFETCH(QString, choose);
    QFETCH(bool, mine);
    QFETCH(QString, shown);
    CreateFile({{"ACTOR_HOME", home}}, {{{"ID", 1}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "one"}}});
    auto form = ShowForm();
    QCOMPARE(form->FilterPanel->text(), QStringLiteral("Showing: all actions"));
    if (choose == "open")
        form->MenuItemShowOpen->trigger();
    else if (choose == "resolved")
        form->MenuItemShowResolved->trigger();
    if (mine)
        form->MenuItemMine->trigger();
    QCOMPARE(form->FilterPanel->text(), shown);
}

void TestActionList::tabMovesFocusOutOfTheGrid_data()
{
    QTest::addColumn<bool>("forward");
    QTest::newRow("Tab") << true;
    QTest::newRow("Shift+Tab") << false;
}

void TestActionList::tabMovesFocusOutOfTheGrid()
{
    QFETCH(bool, forward);
    CreateFile({}, {{{"ID", 1}, {"ATTRIBUTE", "B"}, {"ID_ACTION", "one"}},
                    {{"ID", 2}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "two"}}});
    auto form = ShowForm();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QTableView *grid = form->RzDBGridActions;
    grid->setFocus();
    QVERIFY(grid->hasFocus());
    const QModelIndex before = grid->currentIndex();

    if (forward)
        QTest::keyClick(grid, Qt::Key_Tab);
    else
        QTest::keyClick(grid, Qt::Key_Backtab, Qt::ShiftModifier);

    // The focus left the grid; neither the current cell nor the action moved.
    QVERIFY(!grid->hasFocus());
    QVERIFY(QApplication::focusWidget() != nullptr);
    QCOMPARE(grid->currentIndex(), before);
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("one"));
    // Arrow keys still move within the grid.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("two"));
}

void TestActionList::reloadKeepsHorizontalScrollAndColumn_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("sort") << "sort";
    QTest::newRow("filter") << "filter";
    QTest::newRow("reload") << "reload";
}

void TestActionList::reloadKeepsHorizontalScrollAndColumn()
{
    QFETCH(QString, operation);
    QList<Values> actions;
    for (int id = 1; id <= 12; ++id)
        actions.append(
            {{"ID", id},
             {"ATTRIBUTE", QString(QChar('A' + id % 3))},
             {"ID_ACTION", QStringLiteral("action %1").arg(id)},
             {"SYNOPSIS", QStringLiteral("a synopsis long enough to need a wide column %1").arg(id)},
             {"DATE_DUE", QDate(2030, 1, id)}});
    CreateFile({}, actions);
    auto form = ShowForm();
    form->resize(640, 480);
    QTableView *grid = form->RzDBGridActions;
    QScrollBar *scroll = grid->horizontalScrollBar();
    QApplication::processEvents();
    QVERIFY(scroll->maximum() > 0);
    const int column = grid->model()->columnCount() - 1;
    grid->setCurrentIndex(grid->model()->index(2, column));
    scroll->setValue(scroll->maximum());
    const int scrolled = scroll->value();
    QVERIFY(scrolled > 0);
    const QString current = data_->cdsActions->FieldByName("ID_ACTION").AsString();

    if (operation == "sort") {
        QHeaderView *header = grid->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
        QCOMPARE(header->sortIndicatorSection(), column);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    } else if (operation == "filter") {
        form->MenuItemShowOpen->trigger();
    } else {
        form->ActionRefreshTable->trigger();
    }

    QCOMPARE(scroll->value(), scrolled);
    QCOMPARE(grid->currentIndex().column(), column);
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), current);
    QCOMPARE(grid->currentIndex().row(), data_->cdsActions->RecNo());
}

void TestActionList::contactsOpenSortedByIdAndOrderComesBack()
{
    CreateFile({}, {});
    for (const char *id : {"carter", "Adams", "baker"})
        AppendTo(data_->cdsActor, {{"ID", QString::fromLatin1(id)}, {"COMPANY", QStringLiteral("Acme")}});
    TTable *actors = data_->cdsActor;
    actors->SetIndexName("LAST_NAME_DESC");
    actors->Last();
    auto form = ShowForm();
    QVERIFY(form->ActionActors->isEnabled());
    QString index, firstShown;
    int currentRow = -1;
    ui_->onModal([&](QWidget *window) {
        QCOMPARE(window->windowTitle(), QStringLiteral("Edit Action Contacts"));
        index = actors->IndexName();
        auto *grid = window->findChild<QTableView *>("RzDBGridActors");
        QVERIFY(grid);
        firstShown = grid->model()->index(0, 0).data().toString();
        currentRow = grid->currentIndex().row();
        // The user sorts otherwise and moves on before closing.
        actors->SetIndexName("COMPANY_DESC");
        actors->Last();
    });
    form->ActionActors->trigger();
    QCOMPARE(index, QStringLiteral("ID_ASC"));
    QCOMPARE(firstShown, QStringLiteral("Adams"));
    QCOMPARE(currentRow, 0);
    QCOMPARE(actors->IndexName(), QStringLiteral("LAST_NAME_DESC"));
    QCOMPARE(actors->RecNo(), 0);
}

void TestActionList::propertiesRenewCaption_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("shown");
    QTest::newRow("new title") << " Quay wall" << true << " Quay wall";
    QTest::newRow("blank title") << "   " << true << QString();
    QTest::newRow("cancelled") << "Quay wall" << false << "Old title";
}

void TestActionList::propertiesRenewCaption()
{
    QFETCH(QString, typed);
    QFETCH(bool, ok);
    QFETCH(QString, shown);
    CreateFile({{"TITLE", "Old title"}}, {});
    auto form = ShowForm();
    QVERIFY(form->ActionProperties->isEnabled());
    ui_->onModal([&](QWidget *window) {
        QCOMPARE(window->windowTitle(), QStringLiteral("Edit Properties of the Action File"));
        auto *title = window->findChild<QLineEdit *>("EditTITLE");
        QVERIFY(title);
        title->setText(typed);
        auto *button = window->findChild<QPushButton *>(ok ? "ButtonOK" : "ButtonCancel");
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    });
    form->ActionProperties->trigger();
    QCOMPARE(form->windowTitle(),
             QStringLiteral("Actions File \"") + (shown.isEmpty() ? file_ : shown) + QLatin1Char('"'));
    QCOMPARE(data_->cdsAction->State(), dsBrowse);
    QCOMPARE(data_->cdsAction->FieldByName("TITLE").AsString(),
             ok ? typed.trimmed().isEmpty() ? QString() : typed : QStringLiteral("Old title"));
}

void TestActionList::navigationButtonsShowIconsNotText()
{
    CreateFile({}, {{{"ID", 1}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "one"}}});
    auto form = ShowForm();
    for (const char *what : {"Action", "LogEntry"})
        for (const char *step : {"First", "Previous", "Next", "Last"}) {
            const QString name = QStringLiteral("Button%1%2").arg(QLatin1String(step), QLatin1String(what));
            const auto *button = form->findChild<QToolButton *>(name);
            QVERIFY2(button, qPrintable(name));
            QVERIFY2(button->text().isEmpty(), qPrintable(name));
            QVERIFY2(!button->icon().isNull(), qPrintable(name));
            QVERIFY(button->toolTip().startsWith(QStringLiteral("Go to the %1 ").arg(QLatin1String(step))));
        }
}

void TestActionList::screenshot()
{
    const QString shots = qEnvironmentVariable("DRAVELIN_SHOTS");
    if (shots.isEmpty())
        QSKIP("DRAVELIN_SHOTS names no folder");
    Settings().Actions.ColorCoding = true;
    const QDate today = QDate::currentDate();
    struct Row {
        const char *id, *synopsis, *status, *severity;
        int due; // days from today, or 999 for none
        bool resolved;
    };
    const Row rows[] = {
        {"HW-001", "Survey quay wall", "Resolved", "Medium", -20, true},
        {"HW-002", "Order sheet piles", "On Hold", "High", -3, false},
        {"HW-003", "Dredging permit", "Active", "Red Alert", -5, false},
        {"HW-004", "Crane inspection", "Pending", "Medium to High", 0, false},
        {"HW-005", "Fender replacement", "Assigned", "Low", 1, false},
        {"HW-006", "Lighting plan", "Transmitted", "Cosmetic", 12, false},
        {"HW-007", "Bollard load test", "Void", "Medium", 999, false},
        {"HW-008", "Tide gauge calibration", "Reintroduced", "Blocking", 30, false},
        {"HW-009", "Drainage outfall", "Resolved", "Low", 4, true},
        {"HW-010", "Mooring layout review", "Active", "High", 2, false},
        {"HW-011", "Paint schedule", "Void", "Medium", 999, false},
        {"HW-012", "Gangway handrails", "Assigned", "Medium to High", 7, false},
    };
    QList<Values> actions;
    int id = 0;
    for (const Row &row : rows) {
        ++id;
        Values values{{"ID", id},
                      {"ID_CHAIN", id},
                      {"ATTRIBUTE", QStringLiteral("HW_%1").arg(id, 5, 10, QLatin1Char('0'))},
                      {"ID_ACTION", row.id},
                      {"SYNOPSIS", row.synopsis},
                      {"DATE_ACTION", today.addDays(-40 + id)},
                      {"DATE_STATUS", today.addDays(-10 + id)},
                      {"ACTOR_OWNER", id % 2 ? "jvdberg" : "mkovac"},
                      {"ACTOR_ORGANIZOR", "harbour"},
                      {"STATUS", row.status},
                      {"SEVERITY", row.severity},
                      {"FUNCTIONAL_AREA", "Port"}};
        if (row.due != 999)
            values.insert("DATE_DUE", today.addDays(row.due));
        if (row.resolved)
            values.insert("DATE_FINISHED", today.addDays(-1));
        if (id == 10) {
            values.insert("RELATIONS", "HW-004");
            values.insert("DESCRIPTION", "Proof-load each bollard of berths 3 to 6 to 150 % of its rating.\n"
                                         "Record the deflection and any movement of the capping beam.");
            values.insert("SIGN_OFF", "Signed off by the harbour engineer.");
        }
        actions << values;
    }
    const QList<Values> logs{{{"ID", 1},
                              {"ID_ACTION", 10},
                              {"DATE_LOG", today.addDays(-2)},
                              {"TIME_LOG", QTime(9, 30)},
                              {"STATUS_LINE", "Load cells delivered"},
                              {"STATUS", "Pending"},
                              {"DATE_STATUS", today.addDays(-2)},
                              {"ACTOR_STATUS", "mkovac"},
                              {"ACTOR_TENDER", "harbour"}},
                             {{"ID", 2},
                              {"ID_ACTION", 10},
                              {"DATE_LOG", today},
                              {"TIME_LOG", QTime(14, 5)},
                              {"STATUS_LINE", "Test window agreed"},
                              {"STATUS", "Active"},
                              {"DATE_STATUS", today},
                              {"ACTOR_STATUS", "mkovac"},
                              {"ACTOR_TENDER", "jvdberg"}}};
    const QList<Values> decisions{{{"ID", 1},
                                   {"ID_ACTION", 10},
                                   {"DATE_ENTERED", today.addDays(-6)},
                                   {"SYNOPSIS", "Test with the hired load cells"},
                                   {"ACTOR_DECISION", "harbour"},
                                   {"BACKED_BY", "jvdberg"},
                                   {"DESCRIPTION", "Cheaper than buying a set for one campaign."}}};
    const QList<Values> statements{{{"ID", 1},
                                    {"ID_ACTION", 10},
                                    {"DATE_ENTERED", today.addDays(-4)},
                                    {"SYNOPSIS", "Berth 5 stays open during the tests"},
                                    {"ACTOR_STATEMENT", "mkovac"},
                                    {"BACKED_BY", "harbour"}}};
    CreateFile({{"TITLE", "Harbour Works 2026"},
                {"COMPANY", "Harbour Authority"},
                {"DEPARTMENT", "Port Works"},
                {"PROJECT", "Quay renewal"},
                {"HOME_ID", "HW"},
                {"ACTOR_HOME", "harbour"},
                {"DATE_ENTERED", today.addDays(-40)}},
               actions, logs, decisions, statements);
    const QList<Values> contacts{{{"ID", "harbour"},
                                  {"COMPANY", "Harbour Authority"},
                                  {"FIRST_NAME", "Ines"},
                                  {"LAST_NAME", "Haverkamp"},
                                  {"GENDER", "F"},
                                  {"PHONE_1", "+31 10 555 0100"},
                                  {"EMAIL_1", "ines.haverkamp@harbour.example"}},
                                 {{"ID", "jvdberg"},
                                  {"COMPANY", "Harbour Authority"},
                                  {"FIRST_NAME", "Jan"},
                                  {"INSERTION", "van den"},
                                  {"LAST_NAME", "Berg"},
                                  {"GENDER", "M"},
                                  {"EMAIL_1", "jan.vandenberg@harbour.example"}},
                                 {{"ID", "mkovac"},
                                  {"COMPANY", "Kovac Marine"},
                                  {"FIRST_NAME", "Mirela"},
                                  {"LAST_NAME", "Kovac"},
                                  {"GENDER", "F"},
                                  {"PHONE_MOBILE", "+385 91 555 0199"},
                                  {"EMAIL_1", "mirela@kovac.example"}}};
    for (const Values &values : contacts)
        AppendTo(data_->cdsActor, values);
    data_->Tables.Close();
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, false));
    data_->FilterLogByAction();
    auto form = ShowForm();
    form->resize(1280, 600);
    QVERIFY(GotoIdAction(data_->cdsActions, QStringLiteral("HW-010")));
    QApplication::processEvents();
    QVERIFY(QDir().mkpath(shots));
    QVERIFY(form->grab().save(QDir(shots).filePath(QStringLiteral("actions.png"))));
    // The Action File stays beside the picture, to be opened in the program.
    const QString workspace = QDir(shots).filePath(QStringLiteral("workspace"));
    QVERIFY(QDir().mkpath(workspace));
    const TACTFiles files(file_);
    for (const QString &name : files.Names()) {
        const QString copy = workspace + QLatin1Char('/') + QFileInfo(name).fileName();
        QFile::remove(copy);
        QVERIFY(QFile::copy(name, copy));
    }
}

// A new file's grid fits its titles; its first actions fit the columns to
// their texts, but a column the user sized keeps its width.
void TestActionList::columnsFitWhenTheFirstActionsArrive()
{
    CreateFile({}, {});
    auto form = ShowForm();
    QTableView *grid = form->RzDBGridActions;
    QHeaderView *header = grid->horizontalHeader();
    for (int column = 0; column < header->count(); ++column)
        QVERIFY(header->sectionSize(column) >= header->sectionSizeHint(column));
    const int synopsisBefore = grid->columnWidth(3);
    header->resizeSection(5, 300);
    const QString synopsis = QStringLiteral("Synopsis of a length that the title alone never needs");
    AppendTo(data_->cdsActions,
             {{"ID", 1}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "one"}, {"SYNOPSIS", synopsis}});
    QApplication::processEvents();
    QVERIFY(grid->columnWidth(3) > synopsisBefore);
    QVERIFY(grid->columnWidth(3) >= std::min(320, grid->fontMetrics().horizontalAdvance(synopsis)));
    QCOMPARE(grid->columnWidth(5), 300);
}

void TestActionList::readOnlyFileChangesNothing()
{
    CreateFile({}, {{{"ID", 1}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "one"}}},
               {{{"ID", 1}, {"ID_ACTION", 1}, {"DATE_LOG", QDate(2026, 1, 2)}, {"TIME_LOG", QTime(9, 0)}}});
    data_->Tables.Close();
    const auto stamps = [this] {
        QStringList seen;
        const QFileInfoList entries =
            QDir(dir_->path())
                .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &entry : entries)
            seen << entry.fileName() + QLatin1Char(' ') +
                        QString::number(entry.lastModified().toMSecsSinceEpoch()) + QLatin1Char(' ') +
                        QString::number(entry.size());
        return seen;
    };
    const QStringList before = stamps();
    bool shown = false;
    ScriptedList().Set([&](bool) {
        shown = true;
        TFormActions form(*data_, false, ScriptedList().ReadOnly());
        form.show();
        [&] {
            QVERIFY(form.windowTitle().endsWith(QStringLiteral(" [READ ONLY]")));
            for (QAction *change :
                 {form.ActionNew, form.ActionDelete, form.ActionNewLog, form.ActionDeleteLog,
                  form.ActionActors, form.ActionProperties, form.ActionResolveCurrent, form.ActionSaveTable,
                  form.MenuItemSaveasDravelinFile, form.MenuItemSaveasActionFile, form.ActionUndo,
                  form.ActionRedo})
                QVERIFY2(!change->isEnabled(), qPrintable(change->objectName()));
            QVERIFY(form.ActionEdit->isEnabled());
            QVERIFY(form.ActionRefreshTable->isEnabled());

            // Edit only shows the action and its log entry.
            ui_->onModal([](QWidget *) {});
            form.ActionEdit->trigger();
            QCOMPARE(ui_->calls.last().kind, UiCall::Modal);
            QCOMPARE(ui_->calls.last().caption, QStringLiteral("View Action \"one\" [READ ONLY]"));
            ui_->onModal([](QWidget *) {});
            form.ActionEditLog->trigger();
            QVERIFY(ui_->calls.last().caption.endsWith(QStringLiteral(" [READ ONLY]")));
            // Shortcuts of the disabled commands, or a direct call, do nothing.
            form.ActionNewExecute();
            form.ActionSaveTableExecute();
            QCOMPARE(data_->cdsActions->State(), dsBrowse);
            const size_t steps = data_->Tables.History().UndoCount();
            // Even data changed in memory is refused, never written, by a
            // reload or the close.
            QVERIFY_THROWS_EXCEPTION(TNotSavedError, AppendTo(data_->cdsActor, {{"ID", "smith"}}));
            form.ActionRefreshTable->trigger();
            QVERIFY_THROWS_EXCEPTION(TNotSavedError, AppendTo(data_->cdsActor, {{"ID", "jones"}}));
            // A change that was refused is nothing to undo.
            QCOMPARE(data_->Tables.History().UndoCount(), steps);
            QVERIFY(!form.ActionUndo->isEnabled());
        }();
        form.reject();
        return form.ListChanged();
    });
    OpenActionFile(*data_, ScriptedList(), file_, false, true);
    QVERIFY(shown);
    QVERIFY(!data_->Tables.IsOpen());
    QCOMPARE(stamps(), before);
}

QTEST_MAIN(TestActionList)
#include "tst_actionlist.moc"
