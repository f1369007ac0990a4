#include "AppError.h"
#include "FakeUiServices.h"
#include "Formats.h"
#include "HtmlPage.h"
#include "RecordSheets.h"
#include "TDataModuleMain.h"
#include "TDecisionsPage.h"
#include "TFormAction.h"
#include "TFormDecision.h"
#include "TSettings.h"
#include "TTitleSort.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <limits>
#include <memory>

Q_DECLARE_METATYPE(const TDecisionKind *)

class TestDecisions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void missingValuesAreReportedSynopsisFirst_data();
    void missingValuesAreReportedSynopsisFirst();
    void newRecordIsListedAndSurvivesReopening_data();
    void newRecordIsListedAndSurvivesReopening();
    void newRecordWithoutIdIsNeverPosted_data();
    void newRecordWithoutIdIsNeverPosted();
    void viewClosesWithoutSaving_data();
    void viewClosesWithoutSaving();
    void printOpensSheetOfRecord_data();
    void printOpensSheetOfRecord();
    void printWithoutRecordDoesNothing_data();
    void printWithoutRecordDoesNothing();
    void viewFocusesFieldByNumber_data();
    void viewFocusesFieldByNumber();
    void editStepsInTheTabsOrder();
    void tabsAreClosedUnlessEditing_data();
    void tabsAreClosedUnlessEditing();
    void tabInFrontCarriesItsCommands();
    void shortcutsRunTheTabsCommands_data();
    void shortcutsRunTheTabsCommands();
    void titleClicksSortAndColourTitles_data();
    void titleClicksSortAndColourTitles();
    void deleteAsksWithNoAsDefault_data();
    void deleteAsksWithNoAsDefault();
    void editAndDeleteOnEmptyGridDoNothing();
    void screenshots();

private:
    void AddAction(int id, const QString &idAction);
    void AddRecord(const TDecisionKind &kind, int id, int action, const QDate &date, const QString &synopsis,
                   const QString &actor = QString());
    bool GotoAction(int id);
    static QStringList Synopses(TTable *table);
    static void Type(QWidget *widget, const QString &text);
    // The action editor on action id, in emEdit, with tab `page` in front.
    std::unique_ptr<TFormAction> EditAction(int id, int page);

    TestWorkspace fixture_;
    std::unique_ptr<QTemporaryDir> &dir_ = fixture_.dir;
    std::unique_ptr<TDataModuleMain> &data_ = fixture_.data;
    FakeUiServices *const ui_ = &fixture_.ui;
    QString file_;
};

namespace {

void AddKindColumn()
{
    QTest::addColumn<const TDecisionKind *>("kind");
}

} // namespace

void TestDecisions::initTestCase()
{
    UseTestStandardPaths();
}

void TestDecisions::init()
{
    fixture_.Start();
    file_ = dir_->filePath(QStringLiteral("Test.act"));
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, true));
}

void TestDecisions::cleanup()
{
    fixture_.Finish();
}

void TestDecisions::AddAction(int id, const QString &idAction)
{
    TTable *actions = data_->cdsActions;
    actions->Append();
    actions->FieldByName("ID").SetAsInteger(id);
    actions->FieldByName("ID_CHAIN").SetAsInteger(id);
    actions->FieldByName("ID_ACTION").SetAsString(idAction);
    actions->FieldByName("ATTRIBUTE").SetAsString(QStringLiteral("A%1").arg(id));
    actions->Post();
}

void TestDecisions::AddRecord(const TDecisionKind &kind, int id, int action, const QDate &date,
                              const QString &synopsis, const QString &actor)
{
    TTable *table = kind.Table(*data_);
    table->Append();
    table->FieldByName("ID").SetAsInteger(id);
    table->FieldByName("ID_ACTION").SetAsInteger(action);
    table->FieldByName("DATE_ENTERED").SetAsDate(date);
    table->FieldByName("SYNOPSIS").SetAsString(synopsis);
    table->FieldByName(kind.contactField).SetAsString(actor);
    table->Post();
}

bool TestDecisions::GotoAction(int id)
{
    TTable *actions = data_->cdsActions;
    for (actions->First(); !actions->Eof(); actions->Next()) {
        if (actions->FieldByName("ID").AsInteger() == id)
            return true;
    }
    return false;
}

QStringList TestDecisions::Synopses(TTable *table)
{
    QStringList synopses;
    for (int row = 0; row < table->RecordCount(); ++row)
        synopses.append(table->DisplayTextAt(row, table->FieldIndex(QStringLiteral("SYNOPSIS"))));
    return synopses;
}

void TestDecisions::Type(QWidget *widget, const QString &text)
{
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        widget = combo->lineEdit();
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->clear();
    else if (auto *memo = qobject_cast<QPlainTextEdit *>(widget))
        memo->clear();
    QTest::keyClicks(widget, text);
}

std::unique_ptr<TFormAction> TestDecisions::EditAction(int id, int page)
{
    if (!GotoAction(id))
        qFatal("no action %d", id);
    data_->cdsActions->Edit();
    auto form = std::make_unique<TFormAction>(*data_, emEdit);
    form->show();
    Child<QTabWidget>(form.get(), QStringLiteral("PageControl"))->setCurrentIndex(page);
    return form;
}

void TestDecisions::missingValuesAreReportedSynopsisFirst_data()
{
    AddKindColumn();
    QTest::addColumn<QString>("synopsis");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focused");
    QTest::newRow("decision: blanks and no date") << &DecisionKind() << "   "
                                                  << ""
                                                  << "Please enter a Value for \"Decision Synopsis\""
                                                  << "EditSYNOPSIS";
    QTest::newRow("decision: no date") << &DecisionKind() << "Agreed"
                                       << " "
                                       << "Please enter a Value for \"Decision Date\""
                                       << "EditDATE_ENTERED";
    QTest::newRow("statement: blanks and no date") << &StatementKind() << " "
                                                   << ""
                                                   << "Please enter a Value for \"Statement Synopsis\""
                                                   << "EditSYNOPSIS";
    QTest::newRow("statement: no date") << &StatementKind() << "Said"
                                        << ""
                                        << "Please enter a Value for \"Statement Date\""
                                        << "EditDATE_ENTERED";
}

void TestDecisions::missingValuesAreReportedSynopsisFirst()
{
    QFETCH(const TDecisionKind *, kind);
    QFETCH(QString, synopsis);
    QFETCH(QString, date);
    QFETCH(QString, message);
    QFETCH(QString, focused);
    AddAction(1, QStringLiteral("one"));
    data_->FilterDecisionsByAction();
    data_->FilterStatementsByAction();
    kind->Table(*data_)->Insert();
    TFormDecision form(*data_, *kind, emNew);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Create new ") + kind->noun);
    Type(Child<QLineEdit>(&form, QStringLiteral("EditSYNOPSIS")), synopsis);
    Type(Child<QLineEdit>(&form, QStringLiteral("EditDATE_ENTERED")), date);

    Child<QPushButton>(&form, QStringLiteral("ButtonOK"))->click();

    QCOMPARE(ui_->messages().size(), 1);
    QCOMPARE(ui_->lastMessage()->text, message);
    QCOMPARE(ui_->lastMessage()->caption, QStringLiteral("Missing Information"));
    QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_OK | MB_ICONEXCLAMATION));
    QVERIFY(form.isVisible());
    QCOMPARE(form.focusWidget()->objectName(), focused);
    QCOMPARE(kind->Table(*data_)->State(), dsInsert);
    form.reject();
    QCOMPARE(kind->Table(*data_)->State(), dsBrowse);
    QCOMPARE(kind->Table(*data_)->RecordCount(), 0);
}

void TestDecisions::newRecordIsListedAndSurvivesReopening_data()
{
    AddKindColumn();
    QTest::newRow("decision") << &DecisionKind();
    QTest::newRow("statement") << &StatementKind();
}

void TestDecisions::newRecordIsListedAndSurvivesReopening()
{
    QFETCH(const TDecisionKind *, kind);
    AddAction(1, QStringLiteral("one"));
    AddAction(2, QStringLiteral("two"));
    // The other action's record sets the counter the new one goes past.
    AddRecord(*kind, 7, 1, QDate(2026, 1, 5), QStringLiteral("earlier"));
    data_->Tables.Close();
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, false));

    {
        auto form = EditAction(2, kind == &DecisionKind() ? 1 : 2);
        TDecisionsPage *page = kind == &DecisionKind() ? form->DecisionsPage : form->StatementsPage;
        QCOMPARE(page->Grid->model()->rowCount(), 0);
        ui_->onModal([&](QWidget *window) {
            QCOMPARE(window->objectName(), QStringLiteral("Form") + kind->noun);
            Type(Child<QLineEdit>(window, QStringLiteral("EditSYNOPSIS")), QStringLiteral("Go ahead"));
            Type(Child<QLineEdit>(window, QStringLiteral("EditDATE_ENTERED")), QStringLiteral("02/03/2026"));
            Type(Child<QLineEdit>(window, QStringLiteral("EditBACKED_BY")), QStringLiteral("board"));
            Child<QPushButton>(window, QStringLiteral("ButtonOK"))->click();
            QVERIFY(!window->isVisible());
        });
        page->ActionNew->trigger();

        QCOMPARE(ui_->calls.size(), 1);
        QCOMPARE(ui_->calls[0].caption, QStringLiteral("Create new ") + kind->noun);
        QCOMPARE(page->Grid->model()->rowCount(), 1);
        QCOMPARE(page->Grid->model()->index(0, 1).data().toString(), QStringLiteral("Go ahead"));
        TTable *table = kind->Table(*data_);
        QCOMPARE(table->State(), dsBrowse);
        QCOMPARE(table->FieldByName("ID").AsInteger(), 8);
        QCOMPARE(table->FieldByName("ID_ACTION").AsInteger(), 2);
        Child<QPushButton>(form.get(), QStringLiteral("ButtonOK"))->click();
    }
    data_->Tables.Close();
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, false));

    TTable *table = kind->Table(*data_);
    QCOMPARE(table->RecordCount(), 2);
    table->SetIndexName(QStringLiteral("ID_ASC"));
    table->Last();
    QCOMPARE(table->FieldByName("ID").AsInteger(), 8);
    QCOMPARE(table->FieldByName("ID_ACTION").AsInteger(), 2);
    QCOMPARE(table->FieldByName("SYNOPSIS").AsString(), QStringLiteral("Go ahead"));
    QCOMPARE(table->FieldByName("DATE_ENTERED").AsDate(), QDate(2026, 3, 2));
    QCOMPARE(table->FieldByName("BACKED_BY").AsString(), QStringLiteral("board"));
    QCOMPARE(table->FieldByName(kind->contactField).AsString(), data_->DefaultActor());
}

void TestDecisions::newRecordWithoutIdIsNeverPosted_data()
{
    newRecordIsListedAndSurvivesReopening_data();
}

void TestDecisions::newRecordWithoutIdIsNeverPosted()
{
    QFETCH(const TDecisionKind *, kind);
    AddAction(1, QStringLiteral("one"));
    // The largest identifier is taken, so none is left for a new record.
    AddRecord(*kind, std::numeric_limits<int>::max(), 1, QDate(2026, 1, 5), QStringLiteral("last"));
    data_->Tables.Close();
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, false));
    QVERIFY(GotoAction(1));
    data_->FilterDecisionsByAction();
    data_->FilterStatementsByAction();
    TTable *table = kind->Table(*data_);
    table->Insert();
    TFormDecision form(*data_, *kind, emNew);
    form.show();
    Type(Child<QLineEdit>(&form, QStringLiteral("EditSYNOPSIS")), QStringLiteral("orphan"));

    QVERIFY_THROWS_EXCEPTION(AppError, Child<QPushButton>(&form, QStringLiteral("ButtonOK"))->click());

    QVERIFY(!form.isVisible());
    QCOMPARE(table->State(), dsBrowse);
    // Also among the records of no action.
    table->SetFiltered(false);
    QCOMPARE(Synopses(table), QStringList{"last"});
}

void TestDecisions::viewClosesWithoutSaving_data()
{
    AddKindColumn();
    QTest::addColumn<QString>("contactLabel");
    QTest::newRow("decision") << &DecisionKind() << "Decision &Maker:";
    QTest::newRow("statement") << &StatementKind() << "Statement &Holder";
}

void TestDecisions::viewClosesWithoutSaving()
{
    QFETCH(const TDecisionKind *, kind);
    QFETCH(QString, contactLabel);
    AddAction(1, QStringLiteral("one"));
    AddRecord(*kind, 1, 1, QDate(2026, 1, 5), QString());
    TTable *table = kind->Table(*data_);
    table->Edit();
    TFormDecision form(*data_, *kind, emView);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("View %1 \"\" [READ ONLY]").arg(kind->noun));
    bool labelled = false;
    for (const QLabel *label : form.findChildren<QLabel *>())
        labelled |= label->text() == contactLabel;
    QVERIFY(labelled);
    QVERIFY(!form.ActionPrevious->isVisible());
    QVERIFY(!form.ActionNext->isVisible());
    QVERIFY(form.ActionCopyClipBoard->isEnabled());
    QCOMPARE(form.ActionPrint->toolTip(), QStringLiteral("Print the current ") + kind->noun);
    QCOMPARE(form.ActionPrevious->toolTip(), QStringLiteral("Go to the Previous ") + kind->noun);
    Type(Child<QLineEdit>(&form, QStringLiteral("EditBACKED_BY")), QStringLiteral("changed"));

    Child<QPushButton>(&form, QStringLiteral("ButtonOK"))->click();

    QVERIFY(!form.isVisible());
    QVERIFY(ui_->calls.isEmpty());
    QCOMPARE(table->State(), dsBrowse);
    QVERIFY(table->FieldByName("BACKED_BY").IsNull());
    QVERIFY(table->FieldByName("SYNOPSIS").IsNull());
}

void TestDecisions::printOpensSheetOfRecord_data()
{
    AddKindColumn();
    QTest::addColumn<int>("mode");
    QTest::newRow("decision edit") << &DecisionKind() << int(emEdit);
    QTest::newRow("decision view") << &DecisionKind() << int(emView);
    QTest::newRow("statement edit") << &StatementKind() << int(emEdit);
    QTest::newRow("statement view") << &StatementKind() << int(emView);
}

void TestDecisions::printOpensSheetOfRecord()
{
    QFETCH(const TDecisionKind *, kind);
    QFETCH(int, mode);
    AddAction(1, QStringLiteral("Quay <1>"));
    AddRecord(*kind, 1, 1, QDate(2026, 1, 5), QStringLiteral("first"));
    AddRecord(*kind, 2, 1, QDate(2026, 1, 6), QStringLiteral("second & last"));
    TTable *table = kind->Table(*data_);
    table->Edit();
    TFormDecision form(*data_, *kind, TEditorMode(mode));
    form.show();
    QVERIFY(form.ActionPrint->isEnabled());
    form.ActionPrint->trigger();
    QCOMPARE(ui_->calls.size(), 1);
    QCOMPARE(ui_->calls[0].kind, UiCall::Shell);
    QFile page(ui_->calls[0].text);
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QStringList expected = kind == &StatementKind()
                                     ? StatementSheetLines(*table, QStringLiteral("Quay <1>"))
                                     : DecisionSheetLines(*table, QStringLiteral("Quay <1>"));
    QCOMPARE(page.readAll(), HtmlPageBytes(expected));
    QVERIFY(expected.join(QString()).contains(QStringLiteral("second &amp; last")));
    form.reject();
}

void TestDecisions::printWithoutRecordDoesNothing_data()
{
    AddKindColumn();
    QTest::newRow("decision") << &DecisionKind();
    QTest::newRow("statement") << &StatementKind();
}

void TestDecisions::printWithoutRecordDoesNothing()
{
    QFETCH(const TDecisionKind *, kind);
    AddAction(1, QStringLiteral("one"));
    TFormDecision form(*data_, *kind, emView);
    form.show();
    QVERIFY(form.ActionPrint->isEnabled());
    form.ActionPrint->trigger();
    QVERIFY(ui_->calls.isEmpty());
    QVERIFY(data_->TempFiles.Files.isEmpty());
    form.reject();
}

void TestDecisions::viewFocusesFieldByNumber_data()
{
    AddKindColumn();
    QTest::addColumn<bool>("fromHits");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("focused");
    QTest::newRow("decision date") << &DecisionKind() << false << 0 << "EditDATE_ENTERED";
    QTest::newRow("decision synopsis") << &DecisionKind() << false << 1 << "EditSYNOPSIS";
    QTest::newRow("decision maker") << &DecisionKind() << true << 2 << "ComboBoxACTOR_DECISION";
    QTest::newRow("statement holder") << &StatementKind() << false << 2 << "ComboBoxACTOR_STATEMENT";
    QTest::newRow("backed by") << &StatementKind() << false << 3 << "EditBACKED_BY";
    QTest::newRow("description") << &DecisionKind() << true << 4 << "MemoDESCRIPTION";
    QTest::newRow("other number") << &StatementKind() << false << 5 << "EditDATE_ENTERED";
}

void TestDecisions::viewFocusesFieldByNumber()
{
    QFETCH(const TDecisionKind *, kind);
    QFETCH(bool, fromHits);
    QFETCH(int, number);
    QFETCH(QString, focused);
    AddAction(1, QStringLiteral("one"));
    AddRecord(*kind, 1, 1, QDate(2026, 1, 5), QStringLiteral("found"));
    kind->Table(*data_)->Edit();
    kind->Table(*data_)->FieldByName("DESCRIPTION").SetAsString(QStringLiteral("a needle here"));
    TFormDecision form(*data_, *kind, emView);
    if (fromHits) {
        TTable *hits = data_->cdsActionsSearch;
        hits->CreateDataSet();
        hits->Append();
        hits->FieldByName("IN_FIELD_NUMBER").SetAsInteger(number);
        hits->Post();
    } else {
        form.SetSearchFieldNumber(number);
    }
    form.show();
    QCOMPARE(form.focusWidget()->objectName(), focused);
    if (number == 4)
        QCOMPARE(Child<QPlainTextEdit>(&form, QStringLiteral("MemoDESCRIPTION"))->textCursor().selectedText(),
                 QStringLiteral("a needle here"));
    form.reject();
}

void TestDecisions::editStepsInTheTabsOrder()
{
    AddAction(1, QStringLiteral("one"));
    AddAction(2, QStringLiteral("two"));
    AddRecord(DecisionKind(), 1, 1, QDate(2026, 1, 1), QStringLiteral("alpha"));
    AddRecord(DecisionKind(), 2, 2, QDate(2026, 1, 2), QStringLiteral("other action"));
    AddRecord(DecisionKind(), 3, 1, QDate(2026, 1, 3), QStringLiteral("charlie"));
    AddRecord(DecisionKind(), 4, 1, QDate(2026, 1, 4), QStringLiteral("bravo"));
    auto form = EditAction(1, 1);
    TDecisionsPage *page = form->DecisionsPage;
    // Synopsis ascending, chosen on the tab.
    page->Grid->horizontalHeader()->sectionClicked(1);
    TTable *table = DecisionKind().Table(*data_);
    QCOMPARE(Synopses(table), (QStringList{"alpha", "bravo", "charlie"}));
    table->Last();
    ui_->onModal([&](QWidget *window) {
        auto *editor = static_cast<TFormDecision *>(window);
        QCOMPARE(editor->windowTitle(), QStringLiteral("Edit Decision \"alpha\""));
        Type(Child<QLineEdit>(window, QStringLiteral("EditSYNOPSIS")), QStringLiteral("dropped"));
        editor->ActionNext->trigger();
        QCOMPARE(editor->windowTitle(), QStringLiteral("Edit Decision \"bravo\""));
        QCOMPARE(Child<QLineEdit>(window, QStringLiteral("EditSYNOPSIS"))->text(), QStringLiteral("bravo"));
        QCOMPARE(table->State(), dsEdit);
        editor->ActionNext->trigger();
        QCOMPARE(editor->windowTitle(), QStringLiteral("Edit Decision \"charlie\""));
        editor->ActionPrevious->trigger();
        QCOMPARE(editor->windowTitle(), QStringLiteral("Edit Decision \"bravo\""));
        Child<QPushButton>(window, QStringLiteral("ButtonCancel"))->click();
    });
    // A double-click on a row edits it.
    const QRect row = page->Grid->visualRect(page->Grid->model()->index(0, 1));
    QTest::mouseClick(page->Grid->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(page->Grid->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(ui_->calls.size(), 1);
    QCOMPARE(Synopses(table), (QStringList{"alpha", "bravo", "charlie"}));
    QCOMPARE(table->FieldByName("SYNOPSIS").AsString(), QStringLiteral("bravo"));
    form->reject();
}

void TestDecisions::tabsAreClosedUnlessEditing_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("caption");
    QTest::newRow("new") << int(emNew)
                         << "Please either commit or deny the newly entered Action, before moving to the "
                            "additional data"
                         << "Uncommitted Data";
    QTest::newRow("view") << int(emView) << "You cannot edit the Additional Data in Search Mode"
                          << "No Access";
}

void TestDecisions::tabsAreClosedUnlessEditing()
{
    QFETCH(int, mode);
    QFETCH(QString, message);
    QFETCH(QString, caption);
    AddAction(1, QStringLiteral("one"));
    if (mode == emNew)
        data_->cdsActions->Insert();
    else
        data_->cdsActions->Edit();
    TFormAction form{*data_, TEditorMode(mode)};
    form.show();
    auto *pages = Child<QTabWidget>(&form, QStringLiteral("PageControl"));

    for (int page : {1, 2}) {
        ui_->clear();
        pages->setCurrentIndex(page);
        QCOMPARE(pages->currentIndex(), 0);
        QCOMPARE(ui_->messages().size(), 1);
        QCOMPARE(ui_->lastMessage()->text, message);
        QCOMPARE(ui_->lastMessage()->caption, caption);
        QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_OK | MB_ICONINFORMATION));
        QVERIFY(!form.DecisionsPage->ActionNew->isEnabled());
        QVERIFY(!form.StatementsPage->ActionNew->isEnabled());
        QVERIFY(!Child<QToolButton>(&form, QStringLiteral("ButtonNew"))->isVisible());
    }
    form.reject();
}

void TestDecisions::tabInFrontCarriesItsCommands()
{
    AddAction(1, QStringLiteral("one"));
    auto form = EditAction(1, 0);
    auto *pages = Child<QTabWidget>(form.get(), QStringLiteral("PageControl"));
    QList<QToolButton *> buttons;
    for (const char *name : {"ButtonNew", "ButtonEdit", "ButtonDelete"})
        buttons.append(Child<QToolButton>(form.get(), QLatin1String(name)));
    // Shown on the toolbar, or in its overflow menu on a narrow window.
    const auto buttonShown = [](QToolButton *button) {
        auto *bar = static_cast<QToolBar *>(button->parentWidget());
        for (QAction *action : bar->actions()) {
            if (bar->widgetForAction(action) == button)
                return action->isVisible();
        }
        return false;
    };
    const auto commands = [](TDecisionsPage *page) {
        return QList<QAction *>{page->ActionNew, page->ActionEdit, page->ActionDelete};
    };
    const auto check = [&](TDecisionsPage *front) {
        for (TDecisionsPage *page : {form->DecisionsPage, form->StatementsPage}) {
            for (QAction *command : commands(page))
                QCOMPARE(command->isEnabled(), page == front);
        }
        for (int i = 0; i < buttons.size(); ++i) {
            QCOMPARE(buttonShown(buttons[i]), front != nullptr);
            if (front)
                QCOMPARE(buttons[i]->defaultAction(), commands(front)[i]);
        }
    };
    check(nullptr);
    QCOMPARE(form->DecisionsPage->ActionNew->toolTip(), QStringLiteral("Create a new Decision"));
    QCOMPARE(form->StatementsPage->ActionDelete->toolTip(),
             QStringLiteral("Delete the currently selected Statement"));
    QCOMPARE(form->DecisionsPage->ActionEdit->objectName(), QStringLiteral("ActionEditDecition"));
    QCOMPARE(buttons[0]->text(), QString());

    pages->setCurrentIndex(1);
    check(form->DecisionsPage);
    QCOMPARE(buttons[1]->text(), QStringLiteral("Edit"));
    pages->setCurrentIndex(2);
    check(form->StatementsPage);
    pages->setCurrentIndex(0);
    check(nullptr);
    QVERIFY(ui_->calls.isEmpty());

    // Follow Up returns the editor to a new action, and the tabs close again.
    pages->setCurrentIndex(1);
    ui_->answer(IDYES);
    form->ActionFollowUp->trigger();
    check(nullptr);
    ui_->clear();
    pages->setCurrentIndex(1);
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(ui_->lastMessage()->caption, QStringLiteral("Uncommitted Data"));
    form->reject();
}

void TestDecisions::shortcutsRunTheTabsCommands_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    const int modal = UiCall::Modal, message = UiCall::Message;
    QTest::newRow("F9") << 1 << QKeySequence(Qt::Key_F9) << modal << "Create new Decision";
    QTest::newRow("Ctrl+Enter") << 1 << QKeySequence(Qt::CTRL | Qt::Key_Return) << modal
                                << "Edit Decision \"ruled\"";
    QTest::newRow("Ctrl+Del") << 1 << QKeySequence(Qt::CTRL | Qt::Key_Delete) << message
                              << "Do you really want to remove Decision \"ruled\"?";
    QTest::newRow("Ctrl+F9") << 2 << QKeySequence(Qt::CTRL | Qt::Key_F9) << modal << "Create new Statement";
    QTest::newRow("Shift+Ctrl+Enter")
        << 2 << QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Return) << modal << "Edit Statement \"said\"";
    QTest::newRow("Shift+Ctrl+Del") << 2 << QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Delete) << message
                                    << "Do you really want to remove Statement \"said\"?";
    // The commands of the tab behind do not run.
    QTest::newRow("F9 on Statements") << 2 << QKeySequence(Qt::Key_F9) << -1 << "";
}

void TestDecisions::shortcutsRunTheTabsCommands()
{
    QFETCH(int, page);
    QFETCH(QKeySequence, keys);
    QFETCH(int, kind);
    QFETCH(QString, text);
    AddAction(1, QStringLiteral("one"));
    AddRecord(DecisionKind(), 1, 1, QDate(2026, 1, 1), QStringLiteral("ruled"));
    AddRecord(StatementKind(), 1, 1, QDate(2026, 1, 1), QStringLiteral("said"));
    auto form = EditAction(1, page);
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    if (kind == UiCall::Modal)
        ui_->onModal([](QWidget *) {});
    else if (kind == UiCall::Message)
        ui_->answer(IDNO);

    QTest::keySequence(page == 1 ? form->DecisionsPage->Grid : form->StatementsPage->Grid, keys);

    if (kind < 0) {
        QVERIFY(ui_->calls.isEmpty());
    } else {
        QCOMPARE(ui_->calls.size(), 1);
        QCOMPARE(int(ui_->calls.first().kind), kind);
        QCOMPARE(kind == UiCall::Modal ? ui_->calls.first().caption : ui_->calls.first().text, text);
    }
    form->reject();
}

void TestDecisions::titleClicksSortAndColourTitles_data()
{
    AddKindColumn();
    QTest::addColumn<QString>("firstTitle");
    QTest::newRow("decisions") << &DecisionKind() << "Decision Date";
    QTest::newRow("statements") << &StatementKind() << "Date Statement";
}

void TestDecisions::titleClicksSortAndColourTitles()
{
    QFETCH(const TDecisionKind *, kind);
    QFETCH(QString, firstTitle);
    AddAction(1, QStringLiteral("one"));
    AddRecord(*kind, 1, 1, QDate(2026, 1, 2), QStringLiteral("bravo"));
    AddRecord(*kind, 2, 1, QDate(2026, 1, 3), QStringLiteral("alpha"));
    AddRecord(*kind, 3, 1, QDate(2026, 1, 1), QStringLiteral("charlie"));
    data_->Tables.Close();
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, false));
    auto form = EditAction(1, kind == &DecisionKind() ? 1 : 2);
    TDecisionsPage *page = kind == &DecisionKind() ? form->DecisionsPage : form->StatementsPage;
    QHeaderView *header = page->Grid->horizontalHeader();
    QAbstractItemModel *model = page->Grid->model();
    TTable *table = kind->Table(*data_);
    const auto titleColor = [&](int column) {
        return model->headerData(column, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color();
    };
    const auto clickTitle = [&](int column) {
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), firstTitle);
    for (int column = 0; column < 4; ++column)
        QVERIFY(model->headerData(column, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
    QCOMPARE(table->IndexName(), QStringLiteral("DATE_ENTERED_DESC"));
    QCOMPARE(Synopses(table), (QStringList{"alpha", "bravo", "charlie"}));
    QCOMPARE(titleColor(0), QColor(255, 0, 0));
    QCOMPARE(titleColor(1), QColor(0, 0, 255));

    const QColor black(0, 0, 0), red(255, 0, 0), blue(0, 0, 255);
    struct Step {
        int column;
        const char *index;
        QStringList order;
        QColor date, synopsis;
    };
    const QList<Step> steps{
        {0, "DATE_ENTERED_ASC", {"charlie", "bravo", "alpha"}, black, blue},
        {0, "DATE_ENTERED_DESC", {"alpha", "bravo", "charlie"}, red, blue},
        {1, "SYNOPSIS_ASC", {"alpha", "bravo", "charlie"}, blue, black},
        {1, "SYNOPSIS_DESC", {"charlie", "bravo", "alpha"}, blue, red},
    };
    for (const Step &step : steps) {
        ui_->busyCount = 0;
        clickTitle(step.column);
        QCOMPARE(table->IndexName(), QLatin1String(step.index));
        QCOMPARE(Synopses(table), step.order);
        QCOMPARE(model->index(0, 1).data().toString(), step.order.first());
        QCOMPARE(titleColor(0), step.date);
        QCOMPARE(titleColor(1), step.synopsis);
        QCOMPARE(titleColor(2), blue);
        QCOMPARE(ui_->busyCount, 1);
        QCOMPARE(ui_->busyDepth, 0);
    }
    form->reject();

    // A new window starts again at the first column, descending, while the
    // table keeps its order.
    auto again = EditAction(1, kind == &DecisionKind() ? 1 : 2);
    page = kind == &DecisionKind() ? again->DecisionsPage : again->StatementsPage;
    QCOMPARE(page->Sort().SortColumn(), 0);
    QVERIFY(!page->Sort().SortAscending());
    QCOMPARE(table->IndexName(), QStringLiteral("SYNOPSIS_DESC"));
    again->reject();
}

void TestDecisions::deleteAsksWithNoAsDefault_data()
{
    AddKindColumn();
    QTest::addColumn<int>("answer");
    QTest::newRow("decision, No") << &DecisionKind() << int(IDNO);
    QTest::newRow("decision, Yes") << &DecisionKind() << int(IDYES);
    QTest::newRow("statement, Yes") << &StatementKind() << int(IDYES);
}

void TestDecisions::deleteAsksWithNoAsDefault()
{
    QFETCH(const TDecisionKind *, kind);
    QFETCH(int, answer);
    AddAction(1, QStringLiteral("one"));
    AddAction(2, QStringLiteral("two"));
    AddRecord(*kind, 1, 1, QDate(2026, 1, 2), QStringLiteral("  doomed"));
    AddRecord(*kind, 2, 1, QDate(2026, 1, 1), QStringLiteral("kept"));
    AddRecord(*kind, 3, 2, QDate(2026, 1, 3), QStringLiteral("elsewhere"));
    auto form = EditAction(1, kind == &DecisionKind() ? 1 : 2);
    TDecisionsPage *page = kind == &DecisionKind() ? form->DecisionsPage : form->StatementsPage;
    TTable *table = kind->Table(*data_);
    table->First();
    QCOMPARE(table->FieldByName("SYNOPSIS").AsString(), QStringLiteral("  doomed"));
    ui_->answer(MbResult(answer));

    page->ActionDelete->trigger();

    QCOMPARE(ui_->messages().size(), 1);
    QCOMPARE(ui_->lastMessage()->text,
             QStringLiteral("Do you really want to remove %1 \"doomed\"?").arg(kind->noun));
    QCOMPARE(ui_->lastMessage()->caption, QStringLiteral("Remove ") + kind->noun);
    QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
    if (answer == IDNO)
        QCOMPARE(Synopses(table), (QStringList{"  doomed", "kept"}));
    else
        QCOMPARE(Synopses(table), QStringList{"kept"});
    QCOMPARE(page->Grid->model()->rowCount(), table->RecordCount());
    form->reject();
    QCOMPARE(Synopses(table).size(), answer == IDNO ? 3 : 2);
}

void TestDecisions::editAndDeleteOnEmptyGridDoNothing()
{
    AddAction(1, QStringLiteral("one"));
    AddAction(2, QStringLiteral("two"));
    AddRecord(DecisionKind(), 1, 2, QDate(2026, 1, 2), QStringLiteral("not this action's"));
    AddRecord(StatementKind(), 1, 2, QDate(2026, 1, 2), QStringLiteral("not this action's"));
    for (int page : {1, 2}) {
        auto form = EditAction(1, page);
        TDecisionsPage *front = page == 1 ? form->DecisionsPage : form->StatementsPage;
        QCOMPARE(front->Grid->model()->rowCount(), 0);
        front->ActionEdit->trigger();
        front->ActionDelete->trigger();
        QVERIFY(ui_->calls.isEmpty());
        QCOMPARE(front->Kind().Table(*data_)->State(), dsBrowse);
        form->reject();
    }
    QCOMPARE(data_->cdsDecision->RecordCount(), 1);
    QCOMPARE(data_->cdsStatement->RecordCount(), 1);
}

void TestDecisions::screenshots()
{
    const QString shots = qEnvironmentVariable("DRAVELIN_SHOTS");
    if (shots.isEmpty())
        QSKIP("DRAVELIN_SHOTS names no folder");
    AddAction(1, QStringLiteral("HW-003"));
    const QDate today = QDate::currentDate();
    AddRecord(DecisionKind(), 1, 1, today.addDays(-12), QStringLiteral("Dredge to -14 m along the quay"),
              QStringLiteral("jvdberg"));
    AddRecord(DecisionKind(), 2, 1, today.addDays(-5), QStringLiteral("Apply for the permit in one go"),
              QStringLiteral("mkovac"));
    AddRecord(DecisionKind(), 3, 1, today.addDays(-1), QStringLiteral("Hire the survey vessel for May"),
              QStringLiteral("harbour"));
    AddRecord(StatementKind(), 1, 1, today.addDays(-3), QStringLiteral("Permit office needs the soil report"),
              QStringLiteral("mkovac"));
    for (TTable *table : {data_->cdsDecision, data_->cdsStatement}) {
        for (table->First(); !table->Eof(); table->Next()) {
            table->Edit();
            table->FieldByName("BACKED_BY").SetAsString(QStringLiteral("Port board"));
            table->Post();
        }
    }
    data_->Tables.Close();
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, false));
    auto form = EditAction(1, 1);
    form->resize(860, 560);
    QTest::qWait(200);
    QVERIFY(form->grab().save(shots + QStringLiteral("/decisions-tab.png")));
    form->StatementsPage->Grid->setFocus();
    Child<QTabWidget>(form.get(), QStringLiteral("PageControl"))->setCurrentIndex(2);
    ui_->onModal([&](QWidget *window) {
        window->resize(560, 420);
        QTest::qWait(200);
        QVERIFY(window->grab().save(shots + QStringLiteral("/statement-editor.png")));
    });
    form->StatementsPage->ActionEdit->trigger();
    form->reject();
}

QTEST_MAIN(TestDecisions)
#include "tst_decisions.moc"
