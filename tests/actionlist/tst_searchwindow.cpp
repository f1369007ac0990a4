#include "ActionSearch.h"
#include "FakeUiServices.h"
#include "TDataModuleMain.h"
#include "TFormActions.h"
#include "TFormSearch.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QAction>
#include <QBrush>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace {

using Values = QVariantMap;

void AppendTo(TTable *table, const Values &values)
{
    table->Append();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        table->FieldByName(it.key()).SetValue(it.value());
    table->Post();
}

} // namespace

class TestSearchWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void searchCommandIsOnWithCtrlF();
    void blankAnswerIsRefusedAndAskedAgain();
    void nothingFoundSaysSoWithTextAsTyped();
    void captionCountsResults_data();
    void captionCountsResults();
    void windowShowsSelectedResult();
    void rowsColouredByKindWhenColourCoding_data();
    void rowsColouredByKindWhenColourCoding();
    void openShowsRecordReadOnlyOnFoundField_data();
    void openShowsRecordReadOnlyOnFoundField();
    void openLocatesDecisionAndStatement();
    void openOfVanishedRecordSaysSoAndStays_data();
    void openOfVanishedRecordSaysSoAndStays();
    void gotoActionMakesItCurrentWithItsLog();
    void gotoActionFromContextMenu();
    void screenshot();

private:
    void CreateFile();
    // Runs the search command on text; the handler acts on the result window.
    void Search(const QString &text, std::function<void(TFormSearch *)> handler = {});
    // Moves to the result of that kind and field number.
    void SelectResult(TFormSearch *form, int kind, int number);

    TestWorkspace fixture_;
    FakeUiServices *const ui_ = &fixture_.ui;
    std::unique_ptr<TDataModuleMain> &data_ = fixture_.data;
};

void TestSearchWindow::initTestCase()
{
    UseTestStandardPaths();
}

void TestSearchWindow::init()
{
    fixture_.Start();
    CreateFile();
}

void TestSearchWindow::cleanup()
{
    fixture_.Finish();
}

// Actions listed as "two" (ATTRIBUTE C), "one" (A); "one" is current.
void TestSearchWindow::CreateFile()
{
    const QString file = fixture_.dir->filePath(QStringLiteral("Work.act"));
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file, true));
    AppendTo(data_->cdsActions,
             {{"ID", 1}, {"ATTRIBUTE", "A"}, {"ID_ACTION", "one"}, {"DESCRIPTION", "first walrus"}});
    AppendTo(data_->cdsActions, {{"ID", 2}, {"ATTRIBUTE", "C"}, {"ID_ACTION", "two"}, {"SYNOPSIS", "solo"}});
    AppendTo(data_->cdsLog, {{"ID", 10},
                             {"ID_ACTION", 2},
                             {"DATE_LOG", QDate(2021, 1, 1)},
                             {"STATUS_LINE", "walrus line"},
                             {"DESCRIPTION", "walrus text"}});
    AppendTo(data_->cdsLog, {{"ID", 11}, {"ID_ACTION", 2}, {"DATE_LOG", QDate(2021, 1, 2)}});
    AppendTo(data_->cdsLog, {{"ID", 12}, {"ID_ACTION", 1}, {"DATE_LOG", QDate(2021, 1, 3)}});
    AppendTo(data_->cdsDecision, {{"ID", 20}, {"ID_ACTION", 2}, {"SYNOPSIS", "walrus decided"}});
    AppendTo(data_->cdsStatement, {{"ID", 30}, {"ID_ACTION", 1}, {"BACKED_BY", "walrus the statement"}});
    data_->Tables.Close();
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file, false));
    data_->cdsActions->Last();
    data_->FilterLogByAction();
}

void TestSearchWindow::Search(const QString &text, std::function<void(TFormSearch *)> handler)
{
    ui_->answerInput(text);
    if (handler)
        ui_->onModal([handler](QWidget *window) {
            auto *form = qobject_cast<TFormSearch *>(window);
            QVERIFY(form);
            handler(form);
        });
    ActionSearch({*data_}, nullptr);
    QVERIFY(!data_->cdsActionsSearch->Active());
    QVERIFY(data_->cdsActionsSearch->FileName().isEmpty());
    QCOMPARE(ui_->busyDepth, 0);
}

void TestSearchWindow::SelectResult(TFormSearch *form, int kind, int number)
{
    TTable *hits = data_->cdsActionsSearch;
    for (hits->First(); !hits->Eof(); hits->Next())
        if (hits->FieldByName("FOUND_IN").AsInteger() == kind &&
            hits->FieldByName("IN_FIELD_NUMBER").AsInteger() == number)
            break;
    QVERIFY(!hits->Eof());
    QCOMPARE(form->DBGridSearch->currentIndex().row(), hits->RecNo());
}

void TestSearchWindow::searchCommandIsOnWithCtrlF()
{
    TFormActions form(*data_, false, false);
    QVERIFY(form.ActionSearch->isEnabled());
    QVERIFY(form.ActionSearch->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_F)));
    ui_->answerInput(std::nullopt);
    form.ActionSearch->trigger();
    QCOMPARE(ui_->calls.size(), 1);
    QCOMPARE(ui_->calls[0].kind, UiCall::Input);
    QCOMPARE(ui_->calls[0].caption, QStringLiteral("Search for some Text"));
    QCOMPARE(ui_->calls[0].text, QStringLiteral("Search String"));
    QCOMPARE(ui_->calls[0].value, QString());
    form.CloseWithoutQuestions();
}

void TestSearchWindow::blankAnswerIsRefusedAndAskedAgain()
{
    ui_->answerInput(QStringLiteral("  \t "));
    ui_->answerInput(std::nullopt);
    ActionSearch({*data_}, nullptr);
    QCOMPARE(ui_->calls.size(), 3);
    QCOMPARE(ui_->calls[1].kind, UiCall::Message);
    QCOMPARE(ui_->calls[1].text, QStringLiteral("Please enter a Search String"));
    QCOMPARE(ui_->calls[1].caption, QStringLiteral("No Input"));
    QCOMPARE(ui_->calls[1].flags, unsigned(MB_OK | MB_ICONEXCLAMATION));
    QCOMPARE(ui_->calls[2].kind, UiCall::Input);
    QCOMPARE(ui_->calls[2].value, QStringLiteral("  \t "));
    QVERIFY(!data_->cdsActionsSearch->Active());
}

void TestSearchWindow::nothingFoundSaysSoWithTextAsTyped()
{
    Search(QStringLiteral(" walrus  "));
    QCOMPARE(ui_->messages().size(), 1);
    QCOMPARE(ui_->lastMessage()->text, QStringLiteral("Search String \" walrus  \" could not be found."));
    QCOMPARE(ui_->lastMessage()->caption, QStringLiteral("No Find"));
    QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_OK | MB_ICONEXCLAMATION));
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("one"));
}

void TestSearchWindow::captionCountsResults_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");
    QTest::newRow("one") << "SOLO"
                         << "1 Search Result for Search String \"SOLO\"";
    QTest::newRow("two") << "walrus T"
                         << "2 Search Results for Search String \"walrus T\"";
    QTest::newRow("five") << "walrus"
                          << "5 Search Results for Search String \"walrus\"";
}

void TestSearchWindow::captionCountsResults()
{
    QFETCH(QString, text);
    QFETCH(QString, caption);
    QString shown;
    Search(text, [&](TFormSearch *form) { shown = form->windowTitle(); });
    QCOMPARE(shown, caption);
    QVERIFY(ui_->messages().isEmpty());
}

void TestSearchWindow::windowShowsSelectedResult()
{
    Search(QStringLiteral("walrus"), [&](TFormSearch *form) {
        QTableView *grid = form->DBGridSearch;
        QCOMPARE(grid->model()->columnCount(), 4);
        QStringList titles;
        for (int column = 0; column < 4; ++column)
            titles << grid->model()->headerData(column, Qt::Horizontal).toString();
        QCOMPARE(titles,
                 QStringList({"Action ID", "Log Status Line", "Decision Synopsis", "Statement Synopsis"}));
        QCOMPARE(grid->currentIndex().row(), 0);
        QCOMPARE(grid->model()->index(1, 1).data().toString(), QStringLiteral("walrus line"));
        QCOMPARE(form->DBMemoTextFound->toPlainText(), QStringLiteral("walrus line"));
        QCOMPARE(form->DBEditFieldName->text(), QStringLiteral("Log Status Line"));
        QVERIFY(form->DBMemoTextFound->isReadOnly() && form->DBEditFieldName->isReadOnly());

        QStringList hints;
        for (const char *name : {"ButtonFirst", "ButtonPrevious", "ButtonNext", "ButtonLast"})
            hints << Child<QToolButton>(form, name)->toolTip();
        QCOMPARE(hints, QStringList({"Go to the First Search Result", "Go to the Previous Search Result",
                                     "Go to the Next Search Result", "Go to the Last Search Result"}));
        QCOMPARE(form->ButtonOpen->toolTip(), QStringLiteral("Open the selected Search Result"));
        QCOMPARE(form->ButtonGotoAction->toolTip(),
                 QStringLiteral("Go to the Action containing the selected Search Result"));

        QTest::mouseClick(Child<QToolButton>(form, "ButtonLast"), Qt::LeftButton);
        QCOMPARE(grid->currentIndex().row(), 4);
        QCOMPARE(form->DBMemoTextFound->toPlainText(), QStringLiteral("walrus the statement"));
        QCOMPARE(form->DBEditFieldName->text(), QStringLiteral("Statement Backed by"));
        QTest::mouseClick(Child<QToolButton>(form, "ButtonPrevious"), Qt::LeftButton);
        QCOMPARE(form->DBMemoTextFound->toPlainText(), QStringLiteral("first walrus"));
        QCOMPARE(form->DBEditFieldName->text(), QStringLiteral("Action Description"));
        QTest::mouseClick(form->ButtonClose, Qt::LeftButton);
        QVERIFY(!form->isVisible());
    });
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("one"));
}

void TestSearchWindow::rowsColouredByKindWhenColourCoding_data()
{
    QTest::addColumn<bool>("colourCoding");
    QTest::newRow("on") << true;
    QTest::newRow("off") << false;
}

void TestSearchWindow::rowsColouredByKindWhenColourCoding()
{
    QFETCH(bool, colourCoding);
    Settings().Actions.ColorCoding = colourCoding;
    Search(QStringLiteral("walrus"), [&](TFormSearch *form) {
        QAbstractItemModel *model = form->DBGridSearch->model();
        const auto background = [&](int row) { return model->index(row, 0).data(Qt::BackgroundRole); };
        if (!colourCoding) {
            for (int row = 0; row < model->rowCount(); ++row)
                QVERIFY(!background(row).isValid());
            return;
        }
        // Rows: log, log, decision of "two", then action and statement of
        // "one"; the first is selected.
        const QList<QColor> expected{QColor(166, 202, 240), QColor(255, 255, 153), QColor(250, 230, 230),
                                     QColor(255, 255, 255), QColor(196, 243, 255)};
        for (int row = 0; row < expected.size(); ++row) {
            QCOMPARE(background(row).value<QBrush>().color(), expected[row]);
            QCOMPARE(model->index(row, 0).data(Qt::ForegroundRole).value<QBrush>().color(),
                     QColor(Qt::black));
        }
    });
}

void TestSearchWindow::openShowsRecordReadOnlyOnFoundField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("field");
    QTest::newRow("action description") << "first walrus" << 0 << 13 << "FormAction"
                                        << "MemoDESCRIPTION";
    QTest::newRow("log status line") << "walrus" << 1 << 2 << "FormLog"
                                     << "EditSTATUS_LINE";
    QTest::newRow("log description") << "walrus" << 1 << 7 << "FormLog"
                                     << "MemoDESCRIPTION";
    QTest::newRow("decision synopsis") << "walrus" << 2 << 1 << "FormDecision"
                                       << "EditSYNOPSIS";
    QTest::newRow("statement backed by") << "walrus" << 3 << 3 << "FormStatement"
                                         << "EditBACKED_BY";
}

void TestSearchWindow::openShowsRecordReadOnlyOnFoundField()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(int, number);
    QFETCH(QString, editor);
    QFETCH(QString, field);
    TTable *actions = data_->cdsActions;
    QString shownEditor, focused, caption;
    bool byDoubleClick = false;
    Search(text, [&](TFormSearch *form) {
        SelectResult(form, kind, number);
        for (bool doubleClick : {false, true}) {
            ui_->onModal([&](QWidget *window) {
                shownEditor = window->objectName();
                caption = window->windowTitle();
                focused = window->focusWidget() ? window->focusWidget()->objectName() : QString();
                // The editor shows the result's action while the list
                // stays as it was.
                QCOMPARE(actions->FieldByName("ID").AsInteger(),
                         data_->cdsActionsSearch->FieldByName("ID_ACTION_ID").AsInteger());
            });
            if (doubleClick) {
                const QRect cell = form->DBGridSearch->visualRect(form->DBGridSearch->currentIndex());
                // What a mouse sends: press, release, double click, release.
                QTest::mouseClick(form->DBGridSearch->viewport(), Qt::LeftButton, {}, cell.center());
                QTest::mouseDClick(form->DBGridSearch->viewport(), Qt::LeftButton, {}, cell.center());
                QTest::mouseRelease(form->DBGridSearch->viewport(), Qt::LeftButton, {}, cell.center());
                byDoubleClick = true;
            } else {
                QTest::mouseClick(form->ButtonOpen, Qt::LeftButton);
            }
            QCOMPARE(shownEditor, editor);
            QCOMPARE(focused, field);
            QVERIFY(caption.endsWith(QStringLiteral(" [READ ONLY]")));
            QVERIFY(form->isVisible());
            QCOMPARE(actions->State(), dsBrowse);
            QCOMPARE(data_->cdsLog->State(), dsBrowse);
            QCOMPARE(data_->cdsDecision->State(), dsBrowse);
            QCOMPARE(data_->cdsStatement->State(), dsBrowse);
        }
    });
    QVERIFY(byDoubleClick);
    QVERIFY(ui_->messages().isEmpty());
    // Afterwards the list is as before: its order, current action and log.
    QCOMPARE(actions->IndexName(), QStringLiteral("ATTRIBUTE_DESC"));
    QCOMPARE(actions->FieldByName("ID_ACTION").AsString(), QStringLiteral("one"));
    QCOMPARE(data_->cdsLog->RecordCount(), 1);
    QCOMPARE(data_->cdsLog->FieldByName("ID").AsInteger(), 12);
    QVERIFY(!data_->cdsDecision->Filtered());
    QVERIFY(!data_->cdsStatement->Filtered());
}

void TestSearchWindow::openLocatesDecisionAndStatement()
{
    Search(QStringLiteral("walrus"), [&](TFormSearch *form) {
        for (int kind : {int(rkDecision), int(rkStatement)}) {
            SelectResult(form, kind, kind == rkDecision ? 1 : 3);
            TTable *table = kind == rkDecision ? data_->cdsDecision : data_->cdsStatement;
            QString shownEditor, caption;
            int shownId = 0, shownAction = 0;
            ui_->onModal([&](QWidget *window) {
                shownEditor = window->objectName();
                caption = window->windowTitle();
                shownId = table->FieldByName("ID").AsInteger();
                shownAction = data_->cdsActions->FieldByName("ID").AsInteger();
            });
            QTest::mouseClick(form->ButtonOpen, Qt::LeftButton);
            QVERIFY(form->isVisible());
            if (kind == rkDecision) {
                QCOMPARE(shownEditor, QStringLiteral("FormDecision"));
                QCOMPARE(caption, QStringLiteral("View Decision \"walrus decided\" [READ ONLY]"));
                QCOMPARE(shownId, 20);
                QCOMPARE(shownAction, 2);
            } else {
                QCOMPARE(shownEditor, QStringLiteral("FormStatement"));
                QCOMPARE(caption, QStringLiteral("View Statement \"\" [READ ONLY]"));
                QCOMPARE(shownId, 30);
                QCOMPARE(shownAction, 1);
            }
            QCOMPARE(table->State(), dsBrowse);
        }
    });
    QVERIFY(ui_->messages().isEmpty());
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("one"));
    QVERIFY(!data_->cdsDecision->Filtered());
    QVERIFY(!data_->cdsStatement->Filtered());
}

void TestSearchWindow::openOfVanishedRecordSaysSoAndStays_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");
    QTest::newRow("action") << 0 << 13 << "cdsActions" << 1 << "Associated Search Action not Found"
                            << "No associated Action";
    QTest::newRow("log") << 1 << 7 << "cdsLog" << 10 << "Associated Search Log not Found"
                         << "No associated Log";
    QTest::newRow("decision") << 2 << 1 << "cdsDecision" << 20 << "Associated Search Decision not Found"
                              << "No associated Decision";
    QTest::newRow("statement") << 3 << 3 << "cdsStatement" << 30 << "Associated Search Statement not Found"
                               << "No associated Statement";
}

void TestSearchWindow::openOfVanishedRecordSaysSoAndStays()
{
    QFETCH(int, kind);
    QFETCH(int, number);
    QFETCH(QString, table);
    QFETCH(int, id);
    QFETCH(QString, text);
    QFETCH(QString, caption);
    Search(QStringLiteral("walrus"), [&](TFormSearch *form) {
        SelectResult(form, kind, number);
        TTable *records = data_->findChild<TTable *>(table);
        const bool filtered = records->Filtered();
        records->SetFiltered(false);
        for (records->First(); records->FieldByName("ID").AsInteger() != id; records->Next())
            QVERIFY(!records->Eof());
        records->Delete();
        records->SetFiltered(filtered);
        data_->cdsActions->First();

        QTest::mouseClick(form->ButtonOpen, Qt::LeftButton);
        QVERIFY(form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("5 Search Results for Search String \"walrus\""));
    });
    QCOMPARE(ui_->messages().size(), 1);
    QCOMPARE(ui_->lastMessage()->text, text);
    QCOMPARE(ui_->lastMessage()->caption, caption);
    QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_OK | MB_ICONERROR));
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("two"));
    QCOMPARE(data_->cdsActions->IndexName(), QStringLiteral("ATTRIBUTE_DESC"));
}

void TestSearchWindow::gotoActionMakesItCurrentWithItsLog()
{
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("one"));
    Search(QStringLiteral("walrus"), [&](TFormSearch *form) {
        SelectResult(form, rkLog, 7);
        QTest::mouseClick(form->ButtonGotoAction, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->ChosenAction(), std::optional<int>(2));
    });
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("two"));
    QCOMPARE(data_->cdsLog->RecordCount(), 2);
    QCOMPARE(data_->cdsLog->FieldByName("ID_ACTION").AsInteger(), 2);
    QCOMPARE(ui_->busyCount, 1);
}

void TestSearchWindow::gotoActionFromContextMenu()
{
    TFormActions list(*data_, false, false);
    list.show();
    ui_->answerInput(QStringLiteral("decided"));
    ui_->onModal([&](QWidget *window) {
        auto *form = qobject_cast<TFormSearch *>(window);
        QVERIFY(form);
        QCOMPARE(form->PopupMenu->actions(), QList<QAction *>({form->ActionGotoAction}));
        QCOMPARE(form->ActionGotoAction->text(),
                 QStringLiteral("Go to the Action containing the selected Search Result"));
        form->ActionGotoAction->trigger();
    });
    list.ActionSearch->trigger();
    QCOMPARE(data_->cdsActions->FieldByName("ID_ACTION").AsString(), QStringLiteral("two"));
    QCOMPARE(list.RzDBGridActions->currentIndex().row(), 0);
    QCOMPARE(list.RzDBGridLog->model()->rowCount(), 2);
    QVERIFY(!data_->cdsActionsSearch->Active());
    list.CloseWithoutQuestions();
}

void TestSearchWindow::screenshot()
{
    const QString shots = qEnvironmentVariable("DRAVELIN_SHOTS");
    if (shots.isEmpty())
        QSKIP("DRAVELIN_SHOTS names no folder");
    Settings().Actions.ColorCoding = true;
    Search(QStringLiteral("walrus"), [&](TFormSearch *form) {
        form->DBGridSearch->setFocus();
        QTest::mouseClick(Child<QToolButton>(form, "ButtonNext"), Qt::LeftButton);
        QTest::qWait(200);
        QVERIFY(form->grab().save(shots + QStringLiteral("/search-results.png")));
    });
}

QTEST_MAIN(TestSearchWindow)
#include "tst_searchwindow.moc"
