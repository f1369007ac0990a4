#include "ActionRules.h"
#include "FakeUiServices.h"
#include "Formats.h"
#include "HtmlPage.h"
#include "RecordSheets.h"
#include "TChoiceBox.h"
#include "TDataModuleMain.h"
#include "TFormAction.h"
#include "TFormDecision.h"
#include "TFormDigest.h"
#include "TFormLog.h"
#include "TFormProperties.h"
#include "TFormZoomMemo.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCalendarWidget>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <memory>

namespace {

// What the window opening an editor offers it, scripted.
struct TScriptedEditorServices final : TEditorServices {
    bool contacts = false;
    std::optional<QString> newContact;
    std::function<void()> onReload;

    bool HasContactEditor() const override { return contacts; }
    std::optional<QString> NewContact(QWidget *) override { return newContact; }
    void FindContact(QWidget *, const QString &) override {}
    void ReloadActionFile() override
    {
        if (onReload)
            onReload();
    }
};

} // namespace

class TestEditors : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void firstSavedActionGetsIdOne_data();
    void firstSavedActionGetsIdOne();
    void applyLeavingTheFilterNeverOverwritesAnotherAction();
    void blankActionIdIsRefused();
    void viewClosesWithoutSaving();
    void resolveWritesOneLogEntry_data();
    void resolveWritesOneLogEntry();
    void resolveThenCancelLeavesActionOpen();
    void followUpChainsAndJumpFindsIt();
    void cancelledFollowUpRestoresChain_data();
    void cancelledFollowUpRestoresChain();
    void jumpToMissingFollowUpStaysPut();
    void previousDiscardsEditsAndMoves();
    void leavingActionIdFillsEmptySynopsis();
    void statusChangeAndDueDateColours();
    void dateEntriesMarkBadTextAndOfferACalendar();
    void actionEditorKeepsItsHeightInEveryMode();
    void contactChoicesAreSortedIds();
    void newContactFillsItsField_data();
    void newContactFillsItsField();
    void memoZoomEditsPendingText();
    void viewFocusesFoundField();
    void overdueRule_data();
    void overdueRule();

    void newLogEntryCarriesOver_data();
    void newLogEntryCarriesOver();
    void editingLogEntryNeverChangesAction();
    void logValidation_data();
    void logValidation();
    void logPrintOpensSheetOfEntry_data();
    void logPrintOpensSheetOfEntry();
    void actionPrintDigestOpensDigestOfCurrentAction();
    void printShowsWhatTheWindowShows_data();
    void printShowsWhatTheWindowShows();
    void viewedRecordCannotBeTyped_data();
    void viewedRecordCannotBeTyped();

private:
    int AddAction(int id, const QString &idAction, int chain = 0);
    void Reopen();
    int CountLogs(const QString &statusLine);
    bool LocateAction(int id);
    static void Type(QWidget *widget, const QString &text);
    // The editor named window ("action", "log", "decision", "statement",
    // "properties") on a record of action 1, its table prepared for mode.
    std::unique_ptr<TFormEditorBase> OpenEditor(const QString &window, TEditorMode mode,
                                                TEditorServices *services = nullptr);

    TestWorkspace fixture_;
    std::unique_ptr<QTemporaryDir> &dir_ = fixture_.dir;
    std::unique_ptr<TDataModuleMain> &data_ = fixture_.data;
    FakeUiServices *const ui_ = &fixture_.ui;
    QString file_;
};

void TestEditors::initTestCase()
{
    UseTestStandardPaths();
}

void TestEditors::init()
{
    fixture_.Start();
    Settings().Actions.AtributeSeparator = QStringLiteral("_");
    Settings().Actions.TransferData = true;
    file_ = dir_->filePath(QStringLiteral("Test.act"));
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, true));
}

void TestEditors::cleanup()
{
    fixture_.Finish();
}

int TestEditors::AddAction(int id, const QString &idAction, int chain)
{
    TTable *actions = data_->cdsActions;
    actions->Append();
    actions->FieldByName("ID").SetAsInteger(id);
    actions->FieldByName("ID_CHAIN").SetAsInteger(chain ? chain : id);
    actions->FieldByName("ID_ACTION").SetAsString(idAction);
    actions->FieldByName("ATTRIBUTE").SetAsString(QStringLiteral("A%1").arg(id, 3, 10, QLatin1Char('0')));
    actions->Post();
    return id;
}

// Closing writes the tables; opening again sets the counters from the data.
void TestEditors::Reopen()
{
    data_->Tables.Close();
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, false));
    data_->cdsActions->SetIndexName(QStringLiteral("ID_ASC"));
}

int TestEditors::CountLogs(const QString &statusLine)
{
    data_->UnfilterLog();
    int count = 0;
    for (data_->cdsLog->First(); !data_->cdsLog->Eof(); data_->cdsLog->Next())
        count += data_->cdsLog->FieldByName("STATUS_LINE").AsString() == statusLine;
    return count;
}

bool TestEditors::LocateAction(int id)
{
    TTable *actions = data_->cdsActions;
    for (actions->First(); !actions->Eof(); actions->Next()) {
        if (actions->FieldByName("ID").AsInteger() == id)
            return true;
    }
    return false;
}

void TestEditors::Type(QWidget *widget, const QString &text)
{
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        widget = combo->lineEdit();
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->clear();
    else if (auto *memo = qobject_cast<QPlainTextEdit *>(widget))
        memo->clear();
    QTest::keyClicks(widget, text);
}

void TestEditors::firstSavedActionGetsIdOne_data()
{
    QTest::addColumn<bool>("apply");
    QTest::newRow("OK") << false;
    QTest::newRow("Apply") << true;
}

void TestEditors::firstSavedActionGetsIdOne()
{
    QFETCH(bool, apply);
    data_->cdsActions->Insert();
    TFormAction form(*data_, emNew);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Create a new Action"));
    QVERIFY(!form.ActionPrevious->isEnabled());
    QVERIFY(!form.ActionFollowUp->isEnabled());
    Type(Child<QLineEdit>(&form, "EditID_ACTION"), QStringLiteral("First"));
    QTest::mouseClick(Child<QPushButton>(&form, apply ? "ButtonApply" : "ButtonOK"), Qt::LeftButton);

    QCOMPARE(ui_->messages().size(), 0);
    QCOMPARE(data_->cdsActions->RecordCount(), 1);
    if (apply) {
        QVERIFY(form.isVisible());
        QCOMPARE(form.windowTitle(), QStringLiteral("Create a new Action"));
        QCOMPARE(form.Mode(), emEdit);
        QVERIFY(form.ActionPrevious->isEnabled());
        QVERIFY(form.ActionFinish->isEnabled());
        QCOMPARE(data_->cdsActions->State(), dsEdit);
        form.reject();
    } else {
        QVERIFY(!form.isVisible());
    }
    data_->cdsActions->First();
    QCOMPARE(data_->cdsActions->FieldByName("ID").AsInteger(), 1);
    QCOMPARE(data_->cdsActions->FieldByName("ID_CHAIN").AsInteger(), 1);
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("First"));
    QCOMPARE(data_->cdsActions->FieldByName("ATTRIBUTE").AsString(), QStringLiteral("_00001"));
    QCOMPARE(data_->cdsActions->State(), dsBrowse);
}

// With the list on resolved actions, a new open action leaves the list when
// Apply posts it; the next OK must not write the window over the resolved
// action that became current.
void TestEditors::applyLeavingTheFilterNeverOverwritesAnotherAction()
{
    AddAction(1, QStringLiteral("Done"));
    data_->cdsActions->Edit();
    data_->cdsActions->FieldByName("DATE_FINISHED").SetAsDate(QDate(2026, 1, 5));
    data_->cdsActions->Post();
    Settings().Actions.Filter = 2;
    Reopen();
    QCOMPARE(data_->cdsActions->RecordCount(), 1);

    data_->cdsActions->Insert();
    TFormAction form(*data_, emNew);
    form.show();
    Type(Child<QLineEdit>(&form, "EditID_ACTION"), QStringLiteral("Second"));
    Type(Child<QLineEdit>(&form, "EditSYNOPSIS"), QStringLiteral("still open"));
    QTest::mouseClick(Child<QPushButton>(&form, "ButtonApply"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(&form, "ButtonOK"), Qt::LeftButton);

    data_->cdsActions->SetFiltered(false);
    QCOMPARE(data_->cdsActions->RecordCount(), 2);
    QVERIFY(LocateAction(1));
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("Done"));
    QVERIFY(data_->cdsActions->FieldByName("SYNOPSIS").IsNull());
    QVERIFY(LocateAction(2));
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("Second"));
}

void TestEditors::blankActionIdIsRefused()
{
    data_->cdsActions->Insert();
    TFormAction form(*data_, emNew);
    form.show();
    auto *id = Child<QLineEdit>(&form, "EditID_ACTION");
    Type(id, QStringLiteral("   "));
    Type(Child<QLineEdit>(&form, "EditSYNOPSIS"), QStringLiteral("kept"));
    QTest::mouseClick(Child<QPushButton>(&form, "ButtonOK"), Qt::LeftButton);

    QVERIFY(form.isVisible());
    const UiCall *message = ui_->lastMessage();
    QVERIFY(message);
    QCOMPARE(message->text, QStringLiteral("Please enter a Value for \"Action ID\""));
    QCOMPARE(message->caption, QStringLiteral("Missing Information"));
    QCOMPARE(message->flags, unsigned(MB_OK | MB_ICONEXCLAMATION));
    QCOMPARE(form.focusWidget(), id);
    QCOMPARE(data_->cdsActions->State(), dsInsert);
    QCOMPARE(Child<QLineEdit>(&form, "EditSYNOPSIS")->text(), QStringLiteral("kept"));
    form.reject();
    QCOMPARE(data_->cdsActions->RecordCount(), 0);
}

void TestEditors::viewClosesWithoutSaving()
{
    AddAction(1, QStringLiteral("Seen"));
    data_->cdsActions->Edit();
    TFormAction form(*data_, emView);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("View Action \"Seen\" [READ ONLY]"));
    QVERIFY(!Child<QPushButton>(&form, "ButtonApply")->isVisible());
    QVERIFY(!form.ActionFinish->isEnabled());
    QVERIFY(form.ActionCopyClipBoard->isEnabled());
    Type(Child<QLineEdit>(&form, "EditID_ACTION"), QString());
    QTest::mouseClick(Child<QPushButton>(&form, "ButtonOK"), Qt::LeftButton);

    QVERIFY(!form.isVisible());
    QCOMPARE(ui_->messages().size(), 0);
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("Seen"));
    QCOMPARE(data_->cdsActions->State(), dsBrowse);
}

void TestEditors::resolveWritesOneLogEntry_data()
{
    QTest::addColumn<bool>("transfer");
    QTest::addColumn<bool>("applyFirst");
    QTest::addColumn<QString>("signOff");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("description");
    QTest::newRow("sign-off copied") << true << false << "All done " << 1 << "All done ";
    QTest::newRow("blank sign-off") << true << false << "   " << 1 << "";
    QTest::newRow("apply then OK") << true << true << "Done" << 1 << "Done";
    QTest::newRow("transfer off") << false << false << "Done" << 0 << "";
}

void TestEditors::resolveWritesOneLogEntry()
{
    QFETCH(bool, transfer);
    QFETCH(bool, applyFirst);
    QFETCH(QString, signOff);
    QFETCH(int, entries);
    QFETCH(QString, description);
    Settings().Actions.TransferData = transfer;
    AddAction(1, QStringLiteral("Fix it"));
    Reopen();
    data_->cdsActions->Edit();
    TFormAction form(*data_, emEdit);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Edit Action \"Fix it\""));
    form.ActionFinish->trigger();
    QCOMPARE(form.focusWidget(), Child<QPlainTextEdit>(&form, "MemoSIGN_OFF"));
    Type(Child<QPlainTextEdit>(&form, "MemoSIGN_OFF"), signOff);
    if (applyFirst)
        QTest::mouseClick(Child<QPushButton>(&form, "ButtonApply"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(&form, "ButtonOK"), Qt::LeftButton);
    QVERIFY(!form.isVisible());

    QVERIFY(LocateAction(1));
    const QString today = FormatDate(QDate::currentDate());
    QCOMPARE(data_->cdsActions->FieldByName("STATUS").AsString(), QStringLiteral("Resolved"));
    QCOMPARE(data_->cdsActions->FieldByName("DATE_FINISHED").AsString(), today);
    QCOMPARE(data_->cdsActions->FieldByName("DATE_STATUS").AsString(), today);
    QCOMPARE(CountLogs(QStringLiteral("Action Resolved")), entries);
    QCOMPARE(data_->cdsLog->RecordCount(), entries);
    if (entries) {
        data_->cdsLog->First();
        QCOMPARE(data_->cdsLog->FieldByName("ID").AsInteger(), 1);
        QCOMPARE(data_->cdsLog->FieldByName("ID_ACTION").AsInteger(), 1);
        QCOMPARE(data_->cdsLog->FieldByName("DESCRIPTION").AsString(), description);
    }
}

void TestEditors::resolveThenCancelLeavesActionOpen()
{
    AddAction(1, QStringLiteral("Fix it"));
    data_->cdsActions->Edit();
    {
        TFormAction form(*data_, emEdit);
        form.show();
        form.ActionFinish->trigger();
        QTest::mouseClick(Child<QPushButton>(&form, "ButtonCancel"), Qt::LeftButton);
        QVERIFY(!form.isVisible());
    }
    QCOMPARE(data_->cdsActions->State(), dsBrowse);
    QVERIFY(data_->cdsActions->FieldByName("DATE_FINISHED").IsNull());
    QCOMPARE(data_->cdsActions->FieldByName("STATUS").AsString(), QStringLiteral("Void"));
    QCOMPARE(CountLogs(QStringLiteral("Action Resolved")), 0);
}

void TestEditors::dateEntriesMarkBadTextAndOfferACalendar()
{
    AddAction(1, QStringLiteral("Dated"));
    data_->cdsActions->Edit();
    TFormAction form(*data_, emEdit);
    form.show();
    auto *due = Child<QLineEdit>(&form, "EditDATE_DUE");
    QVERIFY(!due->property("invalid").toBool());

    // Marked while typing, without waiting for OK; empty is a valid value.
    Type(due, QStringLiteral("31/13"));
    QVERIFY(due->property("invalid").toBool());
    Type(due, QStringLiteral("31/12/2026"));
    QVERIFY(!due->property("invalid").toBool());
    Type(due, QString());
    QVERIFY(!due->property("invalid").toBool());

    // The calendar opens on the typed date and a chosen day replaces it.
    Type(due, QStringLiteral("15/03/2027"));
    auto *drop = due->findChild<QAction *>(QStringLiteral("ActionCalendar"));
    QVERIFY(drop);
    drop->trigger();
    auto *calendar = due->findChild<QCalendarWidget *>(QStringLiteral("CalendarPopup"));
    QVERIFY(calendar);
    QVERIFY(calendar->isVisible());
    QCOMPARE(calendar->selectedDate(), QDate(2027, 3, 15));
    Q_EMIT calendar->activated(QDate(2027, 4, 2));
    QCOMPARE(due->text(), QStringLiteral("02/04/2027"));
    QVERIFY(!calendar->isVisible());
    form.reject();
}

void TestEditors::actionEditorKeepsItsHeightInEveryMode()
{
    AddAction(1, QStringLiteral("Dated"));
    const auto height = [&](TEditorMode mode) {
        if (mode == emNew)
            data_->cdsActions->Insert();
        else
            data_->cdsActions->Edit();
        TFormAction form(*data_, mode);
        form.show();
        const int result = form.sizeHint().height();
        form.reject();
        return result;
    };
    const int edit = height(emEdit);
    QCOMPARE(height(emNew), edit);
    QCOMPARE(height(emView), edit);
}

void TestEditors::followUpChainsAndJumpFindsIt()
{
    AddAction(7, QStringLiteral("Original"));
    AddAction(12, QStringLiteral("Latest"));
    Reopen();
    QVERIFY(LocateAction(7));
    data_->cdsActions->Edit();
    {
        TFormAction form(*data_, emEdit);
        form.show();
        ui_->answer(IDYES);
        form.ActionFollowUp->trigger();
        QCOMPARE(ui_->lastMessage()->text,
                 QStringLiteral("Do you want to follow up on this Action with a new one?"));
        QCOMPARE(ui_->lastMessage()->caption, QStringLiteral("Follow up on Action"));
        QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_YESNO | MB_ICONQUESTION));
        QCOMPARE(form.windowTitle(), QStringLiteral("Create a new Action"));
        QCOMPARE(form.Mode(), emNew);
        QVERIFY(!form.ActionFollowUp->isEnabled());
        QCOMPARE(Child<QLineEdit>(&form, "EditRELATIONS")->text(), QStringLiteral("Original"));
        Type(Child<QLineEdit>(&form, "EditID_ACTION"), QStringLiteral("Sequel"));
        QTest::mouseClick(Child<QPushButton>(&form, "ButtonOK"), Qt::LeftButton);
    }
    QVERIFY(LocateAction(13));
    QCOMPARE(data_->cdsActions->FieldByName("ID_CHAIN").AsInteger(), 13);
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("Sequel"));
    QCOMPARE(data_->cdsActions->FieldByName("RELATIONS").AsString(), QStringLiteral("Original"));
    QVERIFY(LocateAction(7));
    QCOMPARE(data_->cdsActions->FieldByName("ID_CHAIN").AsInteger(), 13);

    data_->cdsActions->Edit();
    TFormAction form(*data_, emEdit);
    form.show();
    auto *jump = Child<QPushButton>(&form, "LabelFollowUp");
    QVERIFY(jump->isVisible());
    // It looks like a link: underlined, in the theme's link colour.
    QVERIFY(jump->font().underline());
    QCOMPARE(jump->palette().color(QPalette::ButtonText), jump->palette().color(QPalette::Link));
    Type(Child<QLineEdit>(&form, "EditSYNOPSIS"), QStringLiteral("dropped"));
    QTest::mouseClick(jump, Qt::LeftButton);
    QCOMPARE(ui_->messages().size(), 1);
    QCOMPARE(form.windowTitle(), QStringLiteral("Edit Action \"Sequel\""));
    QCOMPARE(Child<QLineEdit>(&form, "EditID_ACTION")->text(), QStringLiteral("Sequel"));
    QVERIFY(!jump->isVisible());
    QCOMPARE(data_->cdsActions->State(), dsEdit);
    QCOMPARE(data_->cdsActions->FieldByName("ID").AsInteger(), 13);
    form.reject();
    QVERIFY(LocateAction(7));
    QVERIFY(data_->cdsActions->FieldByName("SYNOPSIS").IsNull());
}

void TestEditors::cancelledFollowUpRestoresChain_data()
{
    QTest::addColumn<int>("chain");
    QTest::newRow("no follow-up yet") << 0;
    QTest::newRow("earlier follow-up") << 9;
}

void TestEditors::cancelledFollowUpRestoresChain()
{
    QFETCH(int, chain);
    AddAction(7, QStringLiteral("Original"), chain);
    AddAction(9, QStringLiteral("Earlier"));
    AddAction(12, QStringLiteral("Latest"));
    Reopen();
    QVERIFY(LocateAction(7));
    data_->cdsActions->Edit();
    {
        TFormAction form(*data_, emEdit);
        form.show();
        ui_->answer(IDYES);
        form.ActionFollowUp->trigger();
        QCOMPARE(form.Mode(), emNew);
        QTest::mouseClick(Child<QPushButton>(&form, "ButtonCancel"), Qt::LeftButton);
        QVERIFY(!form.isVisible());
    }
    QVERIFY(LocateAction(7));
    QCOMPARE(data_->cdsActions->FieldByName("ID_CHAIN").AsInteger(), chain ? chain : 7);

    // The next ordinary new action takes the number the follow-up had; the
    // followed action must not lead to it.
    data_->cdsActions->Insert();
    {
        TFormAction form(*data_, emNew);
        form.show();
        Type(Child<QLineEdit>(&form, "EditID_ACTION"), QStringLiteral("Unrelated"));
        QTest::mouseClick(Child<QPushButton>(&form, "ButtonOK"), Qt::LeftButton);
    }
    QVERIFY(LocateAction(13));
    QVERIFY(LocateAction(7));
    QCOMPARE(data_->cdsActions->FieldByName("ID_CHAIN").AsInteger(), chain ? chain : 7);
}

void TestEditors::jumpToMissingFollowUpStaysPut()
{
    AddAction(3, QStringLiteral("Orphan"), 13);
    AddAction(4, QStringLiteral("Other"));
    QVERIFY(LocateAction(3));
    data_->cdsActions->Edit();
    TFormAction form(*data_, emEdit);
    form.show();
    Type(Child<QLineEdit>(&form, "EditSYNOPSIS"), QStringLiteral("lost"));
    QTest::mouseClick(Child<QPushButton>(&form, "LabelFollowUp"), Qt::LeftButton);

    const UiCall *message = ui_->lastMessage();
    QVERIFY(message);
    QCOMPARE(message->text, QStringLiteral("Follow Up Action not found"));
    QCOMPARE(message->caption, QStringLiteral("No Follow Up"));
    QCOMPARE(message->flags, unsigned(MB_OK | MB_ICONERROR));
    QCOMPARE(data_->cdsActions->FieldByName("ID").AsInteger(), 3);
    QCOMPARE(data_->cdsActions->State(), dsEdit);
    QCOMPARE(Child<QLineEdit>(&form, "EditSYNOPSIS")->text(), QString());
    QCOMPARE(ui_->busyDepth, 0);

    // A bad date keeps the chain and every typed value, and says why.
    auto *remove = Child<QToolButton>(&form, "ButtonRemoveFollowUp");
    Type(Child<QLineEdit>(&form, "EditDATE_DUE"), QStringLiteral("31/13/2026"));
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(ui_->lastMessage()->text, QStringLiteral("'31/13/2026' is not a valid date for \"Date Due\""));
    QVERIFY(Child<QWidget>(&form, "PanelFollowUp")->isVisible());
    QCOMPARE(data_->cdsActions->FieldByName("ID_CHAIN").AsInteger(), 13);

    Type(Child<QLineEdit>(&form, "EditDATE_DUE"), QStringLiteral("31/12/2026"));
    QTest::mouseClick(remove, Qt::LeftButton);
    QVERIFY(!Child<QWidget>(&form, "PanelFollowUp")->isVisible());
    form.reject();
    QVERIFY(LocateAction(3));
    QCOMPARE(data_->cdsActions->FieldByName("ID_CHAIN").AsInteger(), 3);
    QCOMPARE(data_->cdsActions->FieldByName("DATE_DUE").AsString(), QStringLiteral("31/12/2026"));
}

void TestEditors::previousDiscardsEditsAndMoves()
{
    AddAction(1, QStringLiteral("One"));
    AddAction(2, QStringLiteral("Two"));
    data_->cdsActions->SetIndexName(QStringLiteral("ID_ASC"));
    QVERIFY(LocateAction(2));
    data_->cdsActions->Edit();
    TFormAction form(*data_, emEdit);
    form.show();
    Type(Child<QLineEdit>(&form, "EditSYNOPSIS"), QStringLiteral("unsaved"));
    form.ActionPrevious->trigger();
    QCOMPARE(form.windowTitle(), QStringLiteral("Edit Action \"One\""));
    QCOMPARE(data_->cdsActions->State(), dsEdit);
    form.ActionPrevious->trigger();
    QCOMPARE(data_->cdsActions->FieldByName("ID").AsInteger(), 1);
    form.reject();
    QVERIFY(LocateAction(2));
    QVERIFY(data_->cdsActions->FieldByName("SYNOPSIS").IsNull());
}

void TestEditors::leavingActionIdFillsEmptySynopsis()
{
    data_->cdsActions->Insert();
    TFormAction form(*data_, emNew);
    form.show();
    auto *id = Child<QLineEdit>(&form, "EditID_ACTION");
    auto *synopsis = Child<QLineEdit>(&form, "EditSYNOPSIS");
    Type(id, QStringLiteral("ACT-1"));
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(id, &out);
    QCOMPARE(synopsis->text(), QStringLiteral("ACT-1"));
    Type(id, QStringLiteral("ACT-2"));
    QApplication::sendEvent(id, &out);
    QCOMPARE(synopsis->text(), QStringLiteral("ACT-1"));
    form.reject();
}

void TestEditors::statusChangeAndDueDateColours()
{
    AddAction(1, QStringLiteral("Late"));
    data_->cdsActions->Edit();
    data_->cdsActions->FieldByName("DATE_STATUS").SetAsDate(QDate(2020, 1, 1));
    data_->cdsActions->FieldByName("DATE_DUE").SetAsDate(QDate::currentDate().addDays(-3));
    data_->cdsActions->FieldByName("STATUS").SetAsString(QStringLiteral("Active"));
    TFormAction form(*data_, emEdit);
    form.show();
    auto *due = Child<QLineEdit>(&form, "EditDATE_DUE");
    QCOMPARE(due->palette().color(QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(Child<QLineEdit>(&form, "EditDATE_STATUS")->text(), QStringLiteral("01/01/2020"));

    auto *status = Child<QComboBox>(&form, "ComboBoxSTATUS");
    Type(status, QStringLiteral("On Hold"));
    QCOMPARE(Child<QLineEdit>(&form, "EditDATE_STATUS")->text(), FormatDate(QDate::currentDate()));
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(status, &out);
    QCOMPARE(due->palette().color(QPalette::Text), QColor(0, 0, 128));

    form.ActionFinish->trigger();
    QCOMPARE(Child<QLineEdit>(&form, "EditDATE_FINISHED")->palette().color(QPalette::Text),
             QColor(0, 128, 0));
    form.reject();
}

void TestEditors::contactChoicesAreSortedIds()
{
    TTable *actors = data_->cdsActor;
    for (const char *id : {"smith", "Adams", "jones"})
        actors->AppendRecord({QString::fromLatin1(id)});
    actors->SetIndexName(QStringLiteral("LAST_NAME_DESC"));
    AddAction(1, QStringLiteral("Call"));
    data_->cdsActions->Edit();
    data_->cdsActions->FieldByName("ACTOR_OWNER").SetAsString(QStringLiteral("Nobody"));
    TFormAction form(*data_, emEdit);
    for (const char *name : {"ComboBoxACTOR_OWNER", "ComboBoxACTOR_ORGANIZOR"}) {
        auto *combo = Child<QComboBox>(&form, name);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items.append(combo->itemText(i));
        QCOMPARE(items, QStringList({"Adams", "jones", "smith"}));
        QCOMPARE(combo->maxVisibleItems(), 12);
    }
    QCOMPARE(Child<QComboBox>(&form, "ComboBoxACTOR_OWNER")->currentText(), QStringLiteral("Nobody"));
    QCOMPARE(actors->IndexName(), QStringLiteral("LAST_NAME_DESC"));
    QCOMPARE(ui_->busyDepth, 0);
    QVERIFY(ui_->busyCount > 0);
    // Opened without services, the editor still offers the contact editor.
    QVERIFY(Child<QToolButton>(&form, "ButtonNewACTOR_OWNER")->isEnabled());
    QVERIFY(Child<QToolButton>(&form, "ButtonFindACTOR_OWNER")->isEnabled());
    form.reject();
}

void TestEditors::newContactFillsItsField_data()
{
    QTest::addColumn<QString>("created");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<bool>("offeredToOrganizor");
    // An empty text stands for no contact created.
    QTest::newRow("saved") << "Brown"
                           << "Brown" << true;
    QTest::newRow("named 0") << "0"
                             << "0" << true;
    QTest::newRow("cancelled") << ""
                               << "Jones" << false;
}

void TestEditors::newContactFillsItsField()
{
    QFETCH(QString, created);
    QFETCH(QString, owner);
    QFETCH(bool, offeredToOrganizor);
    AddAction(1, QStringLiteral("Call"));
    data_->cdsActions->Edit();
    data_->cdsActions->FieldByName("ACTOR_OWNER").SetAsString(QStringLiteral("Jones"));
    data_->cdsActions->FieldByName("ACTOR_ORGANIZOR").SetAsString(QStringLiteral("Jones"));
    TScriptedEditorServices services;
    services.contacts = true;
    if (!created.isEmpty())
        services.newContact = created;
    TFormAction form(*data_, emEdit, nullptr, &services);
    form.show();
    auto *newOwner = Child<QToolButton>(&form, "ButtonNewACTOR_OWNER");
    QVERIFY(newOwner->isEnabled());
    QTest::mouseClick(newOwner, Qt::LeftButton);
    auto *ownerBox = Child<QComboBox>(&form, "ComboBoxACTOR_OWNER");
    auto *organizorBox = Child<QComboBox>(&form, "ComboBoxACTOR_ORGANIZOR");
    QCOMPARE(ownerBox->currentText(), owner);
    QCOMPARE(organizorBox->currentText(), QStringLiteral("Jones"));
    QCOMPARE(!created.isEmpty() && organizorBox->findText(created) >= 0, offeredToOrganizor);
    form.reject();
}

void TestEditors::memoZoomEditsPendingText()
{
    AddAction(1, QStringLiteral("Call"));
    data_->cdsActions->Edit();
    TFormAction form(*data_, emEdit);
    form.show();
    auto *memo = Child<QPlainTextEdit>(&form, "MemoDESCRIPTION");
    memo->setPlainText(QStringLiteral("short"));
    QString caption;
    ui_->onModal([&](QWidget *zoom) {
        caption = zoom->windowTitle();
        auto *text = zoom->findChild<QPlainTextEdit *>(QStringLiteral("MemoZoom"));
        QVERIFY(text);
        QCOMPARE(text->toPlainText(), QStringLiteral("short"));
        text->setPlainText(QStringLiteral("much longer text"));
        static_cast<QDialog *>(zoom)->accept();
    });
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton);
    QCOMPARE(caption, QStringLiteral("Edit Action Description"));
    QCOMPARE(memo->toPlainText(), QStringLiteral("much longer text"));
    QCOMPARE(memo->textCursor().position(), 0);
    QTest::mouseClick(Child<QPushButton>(&form, "ButtonOK"), Qt::LeftButton);
    QCOMPARE(data_->cdsActions->FieldByName("DESCRIPTION").AsString(), QStringLiteral("much longer text"));
}

void TestEditors::viewFocusesFoundField()
{
    TTable *hits = data_->cdsActionsSearch;
    hits->CreateDataSet();
    hits->Append();
    hits->FieldByName("IN_FIELD_NUMBER").SetAsInteger(13);
    hits->Post();
    AddAction(1, QStringLiteral("Found"));
    data_->cdsActions->Edit();
    data_->cdsActions->FieldByName("DESCRIPTION").SetAsString(QStringLiteral("needle in here"));
    TFormAction form(*data_, emView);
    form.show();
    auto *memo = Child<QPlainTextEdit>(&form, "MemoDESCRIPTION");
    QCOMPARE(form.focusWidget(), memo);
    QCOMPARE(memo->textCursor().selectedText(), QStringLiteral("needle in here"));
    form.reject();
}

void TestEditors::overdueRule_data()
{
    const QDate today = QDate::currentDate();
    QTest::addColumn<QDate>("finished");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QDate>("due");
    QTest::addColumn<bool>("overdue");
    QTest::newRow("past due, active") << QDate() << "Active" << today.addDays(-1) << true;
    QTest::newRow("past due, on hold any case") << QDate() << "on HOLD" << today.addDays(-1) << false;
    QTest::newRow("due today") << QDate() << "Active" << today << false;
    QTest::newRow("finished") << today << "Active" << today.addDays(-5) << false;
    QTest::newRow("no due date") << QDate() << "Active" << QDate() << false;
    QTest::newRow("on hold with blank") << QDate() << " On Hold" << today.addDays(-1) << true;
}

void TestEditors::overdueRule()
{
    QFETCH(QDate, finished);
    QFETCH(QString, status);
    QFETCH(QDate, due);
    QFETCH(bool, overdue);
    QCOMPARE(IsActionOverdue(finished, status, due, QDate::currentDate()), overdue);
}

void TestEditors::newLogEntryCarriesOver_data()
{
    QTest::addColumn<bool>("transfer");
    QTest::addColumn<QString>("tender");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("owner");
    QTest::newRow("tender becomes owner") << true << "Smith"
                                          << "Pending"
                                          << "Smith";
    QTest::newRow("blank tender keeps owner") << true << "  "
                                              << "Pending"
                                              << "Jones";
    QTest::newRow("transfer off") << false << "Smith"
                                  << "Active"
                                  << "Jones";
}

void TestEditors::newLogEntryCarriesOver()
{
    QFETCH(bool, transfer);
    QFETCH(QString, tender);
    QFETCH(QString, status);
    QFETCH(QString, owner);
    Settings().Actions.TransferData = transfer;
    TTable *actions = data_->cdsActions;
    AddAction(5, QStringLiteral("Call"));
    actions->Edit();
    actions->FieldByName("STATUS").SetAsString(QStringLiteral("Active"));
    actions->FieldByName("ACTOR_OWNER").SetAsString(QStringLiteral("Jones"));
    actions->FieldByName("DATE_STATUS").SetAsDate(QDate(2020, 1, 1));
    actions->Post();
    const QString statusDate = actions->FieldByName("DATE_STATUS").AsString();

    // Another entry of the action that sorts before the new one, so a
    // carry-over that reads the wrong entry shows.
    data_->cdsLog->AppendRecord(
        {1, 5, QDate(2099, 3, 1), QTime(9, 0), "Planned", "On Hold", QDate(2099, 3, 1), "Other", "Other"});
    Reopen();
    QVERIFY(LocateAction(5));
    int reloads = 0;
    data_->FilterLogByAction();
    data_->cdsLog->Insert();
    TScriptedEditorServices services;
    services.onReload = [&] { ++reloads; };
    TFormLog form(*data_, emNew, nullptr, &services);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Create new Log Entry"));
    Type(Child<QLineEdit>(&form, "EditSTATUS_LINE"), QStringLiteral("Called back"));
    Type(Child<QComboBox>(&form, "ComboBoxSTATUS"), QStringLiteral("Pending"));
    Type(Child<QLineEdit>(&form, "EditDATE_STATUS"), QStringLiteral("02/02/2021"));
    Type(Child<QComboBox>(&form, "ComboBoxACTOR_TENDER"), tender);
    QTest::mouseClick(Child<QPushButton>(&form, "ButtonOK"), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(ui_->messages().size(), 0);

    const QString today = FormatDate(QDate::currentDate());
    QVERIFY(LocateAction(5));
    QCOMPARE(actions->FieldByName("STATUS").AsString(), status);
    QCOMPARE(actions->FieldByName("DATE_STATUS").AsString(), transfer ? today : statusDate);
    QCOMPARE(actions->FieldByName("ACTOR_OWNER").AsString(), owner);
    QCOMPARE(reloads, transfer ? 1 : 0);
    QCOMPARE(CountLogs(QStringLiteral("Called back")), 1);
    data_->cdsLog->Last();
    QCOMPARE(data_->cdsLog->FieldByName("ID").AsInteger(), 2);
    QCOMPARE(data_->cdsLog->FieldByName("ID_ACTION").AsInteger(), 5);
    QCOMPARE(data_->cdsLog->FieldByName("DATE_STATUS").AsString(), today);
}

void TestEditors::editingLogEntryNeverChangesAction()
{
    AddAction(5, QStringLiteral("Call"));
    data_->FilterLogByAction();
    data_->cdsLog->AppendRecord({1, 5, QDate(2024, 3, 1), QTime(9, 0), "Old line", "Active"});
    data_->cdsActions->Edit();
    data_->cdsActions->FieldByName("ACTOR_OWNER").SetAsString(QStringLiteral("Jones"));
    data_->cdsActions->Post();
    data_->cdsLog->First();
    data_->cdsLog->Edit();

    int reloads = 0;
    TScriptedEditorServices services;
    services.onReload = [&] { ++reloads; };
    TFormLog form(*data_, emEdit, nullptr, &services);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Edit Log Entry \"Old line\""));
    Type(Child<QComboBox>(&form, "ComboBoxSTATUS"), QStringLiteral("Resolved"));
    Type(Child<QComboBox>(&form, "ComboBoxACTOR_TENDER"), QStringLiteral("Smith"));
    QTest::mouseClick(Child<QPushButton>(&form, "ButtonOK"), Qt::LeftButton);
    QVERIFY(!form.isVisible());

    QCOMPARE(reloads, 0);
    QVERIFY(LocateAction(5));
    QCOMPARE(data_->cdsActions->FieldByName("STATUS").AsString(), QStringLiteral("Void"));
    QCOMPARE(data_->cdsActions->FieldByName("ACTOR_OWNER").AsString(), QStringLiteral("Jones"));
    data_->cdsLog->First();
    QCOMPARE(data_->cdsLog->FieldByName("STATUS").AsString(), QStringLiteral("Resolved"));
    QCOMPARE(data_->cdsLog->FieldByName("ID").AsInteger(), 1);
}

void TestEditors::logValidation_data()
{
    QTest::addColumn<QString>("statusLine");
    QTest::addColumn<QString>("dateLog");
    QTest::addColumn<QString>("timeLog");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focused");
    QTest::newRow("blank status line first") << "   "
                                             << ""
                                             << ""
                                             << "Please enter a Value for \"Status Line\""
                                             << "EditSTATUS_LINE";
    QTest::newRow("no date") << "Line"
                             << ""
                             << ""
                             << "Please enter a Value for \"Date Log\""
                             << "EditDATE_LOG";
    QTest::newRow("no time") << "Line"
                             << "01/02/2025"
                             << " "
                             << "Please enter a Value for \"Time Log\""
                             << "EditTIME_LOG";
    QTest::newRow("bad date") << "Line"
                              << "31/02/2025"
                              << "10:00:00"
                              << "'31/02/2025' is not a valid date for \"Date Log\""
                              << "EditDATE_LOG";
}

void TestEditors::logValidation()
{
    QFETCH(QString, statusLine);
    QFETCH(QString, dateLog);
    QFETCH(QString, timeLog);
    QFETCH(QString, message);
    QFETCH(QString, focused);
    AddAction(5, QStringLiteral("Call"));
    data_->cdsLog->Insert();
    TFormLog form(*data_, emNew);
    form.show();
    Type(Child<QLineEdit>(&form, "EditSTATUS_LINE"), statusLine);
    Type(Child<QLineEdit>(&form, "EditDATE_LOG"), dateLog);
    Type(Child<QLineEdit>(&form, "EditTIME_LOG"), timeLog);
    QTest::mouseClick(Child<QPushButton>(&form, "ButtonOK"), Qt::LeftButton);

    QVERIFY(form.isVisible());
    QVERIFY(ui_->lastMessage());
    QCOMPARE(ui_->lastMessage()->text, message);
    QCOMPARE(form.focusWidget()->objectName(), focused);
    QCOMPARE(data_->cdsLog->State(), dsInsert);
    form.reject();
    QCOMPARE(data_->cdsLog->State(), dsBrowse);
    QCOMPARE(data_->cdsLog->RecordCount(), 0);
}

QTEST_MAIN(TestEditors)
#include "tst_editors.moc"

void TestEditors::logPrintOpensSheetOfEntry_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("edit") << int(emEdit);
    QTest::newRow("view") << int(emView);
}

void TestEditors::logPrintOpensSheetOfEntry()
{
    QFETCH(int, mode);
    AddAction(5, QStringLiteral("Call <5>"));
    data_->FilterLogByAction();
    data_->cdsLog->AppendRecord({1, 5, QDate(2024, 3, 1), QTime(9, 0), "Old line", "Active"});
    data_->cdsLog->First();
    data_->cdsLog->Edit();
    TFormLog form{*data_, TEditorMode(mode)};
    form.show();
    QVERIFY(form.ActionPrint->isEnabled());
    form.ActionPrint->trigger();
    QCOMPARE(ui_->calls.size(), 1);
    QCOMPARE(ui_->calls[0].kind, UiCall::Shell);
    QFile page(ui_->calls[0].text);
    QVERIFY(page.open(QIODevice::ReadOnly));
    QCOMPARE(page.readAll(), HtmlPageBytes(LogSheetLines(*data_->cdsLog, QStringLiteral("Call <5>"))));
}

void TestEditors::actionPrintDigestOpensDigestOfCurrentAction()
{
    AddAction(1, QStringLiteral("First"));
    data_->cdsActions->Edit();
    TFormAction form(*data_, emEdit);
    form.show();
    QVERIFY(form.ActionPrintDigest->isEnabled());
    int mode = 0;
    ui_->onModal([&mode](QWidget *window) {
        if (auto *digest = qobject_cast<TFormDigest *>(window))
            mode = digest->Mode();
    });
    form.ActionPrintDigest->trigger();
    QCOMPARE(mode, int(TFormDigest::ActionMode));
}

std::unique_ptr<TFormEditorBase> TestEditors::OpenEditor(const QString &window, TEditorMode mode,
                                                         TEditorServices *services)
{
    AddAction(1, QStringLiteral("Quay"));
    data_->FilterLogByAction();
    data_->FilterDecisionsByAction();
    data_->FilterStatementsByAction();
    if (window == "action") {
        data_->cdsActions->Edit();
        return std::make_unique<TFormAction>(*data_, mode, nullptr, services);
    }
    if (window == "log") {
        data_->cdsLog->AppendRecord({1, 1, QDate(2024, 3, 1), QTime(9, 0), "Old line", "Active"});
        data_->cdsLog->Edit();
        return std::make_unique<TFormLog>(*data_, mode, nullptr, services);
    }
    if (window == "properties") {
        data_->cdsAction->Edit();
        data_->cdsAction->FieldByName("TITLE").SetAsString(QStringLiteral("Old line"));
        return std::make_unique<TFormProperties>(*data_, nullptr, services);
    }
    const TDecisionKind &kind = window == "decision" ? DecisionKind() : StatementKind();
    TTable *table = kind.Table(*data_);
    table->Append();
    table->FieldByName("ID").SetAsInteger(1);
    table->FieldByName("ID_ACTION").SetAsInteger(1);
    table->FieldByName("DATE_ENTERED").SetAsDate(QDate(2024, 3, 1));
    table->FieldByName("SYNOPSIS").SetAsString(QStringLiteral("Old line"));
    table->Post();
    table->Edit();
    return std::make_unique<TFormDecision>(*data_, kind, mode, nullptr, services);
}

void TestEditors::printShowsWhatTheWindowShows_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("field");
    QTest::newRow("log entry") << "log"
                               << "STATUS_LINE";
    QTest::newRow("decision") << "decision"
                              << "SYNOPSIS";
    QTest::newRow("statement") << "statement"
                               << "SYNOPSIS";
    QTest::newRow("properties") << "properties"
                                << "TITLE";
}

// A value typed and left is printed, though not yet saved; Cancel still
// drops it.
void TestEditors::printShowsWhatTheWindowShows()
{
    QFETCH(QString, window);
    QFETCH(QString, field);
    const std::unique_ptr<TFormEditorBase> form = OpenEditor(window, emEdit);
    form->show();
    auto *edit = Child<QLineEdit>(form.get(), QStringLiteral("Edit") + field);
    Type(edit, QStringLiteral("Typed line"));
    QTest::keyClick(edit, Qt::Key_Tab);
    form->findChild<QAction *>(QStringLiteral("ActionPrint"))->trigger();
    QCOMPARE(ui_->calls.size(), 1);
    QCOMPARE(ui_->calls[0].kind, UiCall::Shell);
    const QByteArray page = ReadFileBytes(ui_->calls[0].text);
    QVERIFY(page.contains("Typed line"));
    QVERIFY(!page.contains("Old line"));
    TTable *table = window == "properties" ? data_->cdsAction
                    : window == "log"      ? data_->cdsLog
                    : window == "decision" ? data_->cdsDecision
                                           : data_->cdsStatement;
    form->reject();
    QCOMPARE(table->State(), dsBrowse);
    QCOMPARE(table->FieldByName(field).AsString(), window == "properties" ? QString() : "Old line");
}

void TestEditors::viewedRecordCannotBeTyped_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("action") << "action";
    QTest::newRow("log entry") << "log";
    QTest::newRow("decision") << "decision";
    QTest::newRow("statement") << "statement";
}

// Opened to be viewed, every field shows its text for selecting and copying
// but takes no typing; a new contact can still be made, since it is saved.
void TestEditors::viewedRecordCannotBeTyped()
{
    QFETCH(QString, window);
    TScriptedEditorServices services;
    services.contacts = true;
    services.newContact = QStringLiteral("NEW");
    const std::unique_ptr<TFormEditorBase> form = OpenEditor(window, emView, &services);
    form->show();
    QVERIFY(form->windowTitle().endsWith(QStringLiteral(" [READ ONLY]")));
    const QList<QWidget *> fields = form->findChildren<QWidget *>();
    int tried = 0;
    for (QWidget *widget : fields) {
        if (auto *edit = qobject_cast<QLineEdit *>(widget);
            edit && !qobject_cast<QComboBox *>(edit->parentWidget())) {
            const QString before = edit->text();
            QTest::keyClicks(edit, QStringLiteral("xy"));
            QTest::keyClick(edit, Qt::Key_Backspace);
            QCOMPARE(edit->text(), before);
            edit->selectAll();
            QCOMPARE(edit->hasSelectedText(), !before.isEmpty());
            ++tried;
        } else if (auto *memo = qobject_cast<QPlainTextEdit *>(widget)) {
            QTest::keyClicks(memo, QStringLiteral("xy"));
            QCOMPARE(memo->toPlainText(), QString());
            ++tried;
        } else if (auto *choice = qobject_cast<TChoiceBox *>(widget)) {
            const QString before = choice->currentText();
            QTest::keyClicks(choice->lineEdit(), QStringLiteral("xy"));
            QTest::keyClick(choice, Qt::Key_Down);
            choice->showPopup();
            QCOMPARE(choice->currentText(), before);
            QVERIFY(!choice->view()->isVisible());
            ++tried;
        }
    }
    QVERIFY(tried >= 4);
    const QList<QToolButton *> newContact =
        form->findChildren<QToolButton *>(QRegularExpression(QStringLiteral("^ButtonNewACTOR_")));
    QVERIFY(!newContact.isEmpty());
    for (QToolButton *button : newContact)
        QVERIFY(button->isEnabled());
    // The new contact is offered; the viewed record keeps its value.
    auto *combo = Child<QComboBox>(form.get(), newContact.first()->objectName().replace(
                                                   QStringLiteral("ButtonNew"), QStringLiteral("ComboBox")));
    const QString shown = combo->currentText();
    newContact.first()->click();
    QVERIFY(combo->findText(QStringLiteral("NEW")) >= 0);
    QCOMPARE(combo->currentText(), shown);
    QCOMPARE(ui_->messages().size(), 0);
    form->reject();
}
