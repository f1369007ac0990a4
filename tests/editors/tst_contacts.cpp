#include "AppError.h"
#include "FakeUiServices.h"
#include "HtmlPage.h"
#include "RecordSheets.h"
#include "TDataModuleMain.h"
#include "TFormAction.h"
#include "TFormActor.h"
#include "TFormActors.h"
#include "TFormLog.h"
#include "TFormPrintColumns.h"
#include "TFormProperties.h"
#include "TFormZoomMemo.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <memory>

// The contacts list, the contact editor and FindContact, the properties
// window and the memo zoom window, driven as the user drives them.
class TestContacts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void findContact_data();
    void findContact();
    void contactEditorModes_data();
    void contactEditorModes();
    void blankContactIdIsRefused();
    void emailLabelOpensMailto_data();
    void emailLabelOpensMailto();
    void previousAndNextDropEditsAndMove();
    void contactsListColumnsAndCommands();
    void contactsTitleClicksSort();
    void deleteAsksWithNoAsDefault_data();
    void deleteAsksWithNoAsDefault();
    void newContactFromEditor_data();
    void newContactFromEditor();
    void findButtonOpensContactOfField();
    void propertiesOkWithEveryFieldEmpty();
    void propertiesCancelLeavesHeader();
    void propertiesPrintOpensSheet();
    void zoomOpenersAndCaptions_data();
    void zoomOpenersAndCaptions();
    void zoomTextDiscardedWithTheEdit_data();
    void zoomTextDiscardedWithTheEdit();
    void zoomPrintWritesTextAndCrLf_data();
    void zoomPrintWritesTextAndCrLf();
    void contactsAndPropertiesSurviveReopening();
    void screenshot();

private:
    void AddContact(const QString &id, const QString &lastName = QString(), const QString &email = QString());
    QStringList ContactIds();
    static void Type(QWidget *widget, const QString &text);
    static void Click(QWidget *window, const char *button);

    TestWorkspace fixture_;
    std::unique_ptr<TDataModuleMain> &data_ = fixture_.data;
    FakeUiServices *const ui_ = &fixture_.ui;
    QString file_;
};

void TestContacts::initTestCase()
{
    UseTestStandardPaths();
}

void TestContacts::init()
{
    fixture_.Start();
    file_ = fixture_.dir->filePath(QStringLiteral("Contacts.act"));
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, true));
}

void TestContacts::cleanup()
{
    fixture_.Finish();
}

void TestContacts::AddContact(const QString &id, const QString &lastName, const QString &email)
{
    TTable *actors = data_->cdsActor;
    actors->Append();
    actors->FieldByName("ID").SetAsString(id);
    actors->FieldByName("LAST_NAME").SetAsString(lastName);
    actors->FieldByName("EMAIL_1").SetAsString(email);
    actors->Post();
}

QStringList TestContacts::ContactIds()
{
    TTable *actors = data_->cdsActor;
    QStringList ids;
    for (int row = 0; row < actors->RecordCount(); ++row)
        ids << actors->DisplayTextAt(row, actors->FieldIndex("ID"));
    return ids;
}

void TestContacts::Type(QWidget *widget, const QString &text)
{
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        widget = combo->lineEdit();
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->clear();
    else if (auto *memo = qobject_cast<QPlainTextEdit *>(widget))
        memo->clear();
    QTest::keyClicks(widget, text);
}

void TestContacts::Click(QWidget *window, const char *button)
{
    QTest::mouseClick(Child<QAbstractButton>(window, button), Qt::LeftButton);
}

void TestContacts::findContact_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("found");
    QTest::addColumn<QString>("message");
    QTest::newRow("other case") << "smith"
                                << "Smith" << QString();
    QTest::newRow("leading blank") << " smith" << QString() << "Contact \" smith\" cannot be found";
    QTest::newRow("unknown") << "Miller" << QString() << "Contact \"Miller\" cannot be found";
    QTest::newRow("blanks only") << "   " << QString() << "No Contact given as Input";
    QTest::newRow("empty") << "" << QString() << "No Contact given as Input";
}

void TestContacts::findContact()
{
    QFETCH(QString, text);
    QFETCH(QString, found);
    QFETCH(QString, message);
    AddContact("Adams", "Zeta");
    AddContact("Smith", "Alpha");
    data_->cdsActor->SetIndexName("LAST_NAME_DESC");
    QString caption, shownId;
    bool idEnabled = true, navigation = true;
    QString focused;
    if (!found.isEmpty())
        ui_->onModal([&](QWidget *window) {
            caption = window->windowTitle();
            shownId = Child<QLineEdit>(window, "EditID")->text();
            idEnabled = Child<QLineEdit>(window, "EditID")->isEnabled();
            auto *form = static_cast<TFormActor *>(window);
            navigation = form->ActionPrevious->isEnabled() || form->ActionNext->isEnabled() ||
                         Child<QToolBar>(window, "ToolBarRecord")->isVisible();
            focused = window->focusWidget() ? window->focusWidget()->objectName() : QString();
            // The identifier stays; the rest can change.
            Type(Child<QLineEdit>(window, "EditCOMPANY"), "Acme");
            Click(window, "ButtonOK");
        });

    FindContact(*data_, text);

    QCOMPARE(data_->cdsActor->IndexName(), QStringLiteral("LAST_NAME_DESC"));
    QCOMPARE(data_->cdsActor->State(), dsBrowse);
    if (found.isEmpty()) {
        QCOMPARE(ui_->messages().size(), 1);
        QCOMPARE(ui_->lastMessage()->text, message);
        QCOMPARE(ui_->lastMessage()->caption, QStringLiteral("No matching Contact"));
        QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_OK | MB_ICONEXCLAMATION));
        return;
    }
    QCOMPARE(ui_->messages().size(), 0);
    QCOMPARE(caption, QStringLiteral("Edit Contact \"Smith\""));
    QCOMPARE(shownId, found);
    QVERIFY(!idEnabled);
    QVERIFY(!navigation);
    QCOMPARE(focused, QStringLiteral("EditCOMPANY"));
    data_->cdsActor->SetIndexName("ID_ASC");
    QVERIFY(data_->cdsActor->FindKey({found}));
    QCOMPARE(data_->cdsActor->FieldByName("COMPANY").AsString(), QStringLiteral("Acme"));
}

void TestContacts::contactEditorModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("navigation");
    QTest::newRow("cmNew") << int(cmNew) << "Create new Contact" << false;
    QTest::newRow("cmEdit") << int(cmEdit) << "Edit Contact \"Baker\"" << true;
    QTest::newRow("cmNewForCaller") << int(cmNewForCaller) << "Create new Contact" << false;
}

void TestContacts::contactEditorModes()
{
    QFETCH(int, mode);
    QFETCH(QString, caption);
    QFETCH(bool, navigation);
    AddContact("Baker");
    const bool creates = mode == cmNew || mode == cmNewForCaller;
    if (creates)
        data_->cdsActor->Insert();
    else
        data_->cdsActor->Edit();
    TFormActor form{*data_, TContactEditorMode(mode)};
    form.show();
    QCOMPARE(form.windowTitle(), caption);
    QCOMPARE(form.ActionPrevious->isEnabled(), navigation);
    QCOMPARE(form.ActionNext->isEnabled(), navigation);
    QCOMPARE(Child<QToolBar>(&form, "ToolBarRecord")->isVisible(), navigation);
    QCOMPARE(form.focusWidget(), Child<QLineEdit>(&form, "EditID"));
    QVERIFY(form.focusWidget()->isEnabled());
    // The gender is a fixed list with the new record's default.
    auto *gender = Child<QComboBox>(&form, "ComboBoxGENDER");
    QVERIFY(!gender->isEditable());
    QCOMPARE(gender->currentText(), QStringLiteral("F"));
    Type(Child<QLineEdit>(&form, "EditID"), "Carter");
    Click(&form, "ButtonOK");
    QVERIFY(!form.isVisible());
    QCOMPARE(form.ContactResult(), mode == cmNewForCaller ? std::optional<QString>("Carter") : std::nullopt);
    data_->cdsActor->SetIndexName("ID_ASC");
    QCOMPARE(ContactIds(), creates ? QStringList({"Baker", "Carter"}) : QStringList({"Carter"}));
}

void TestContacts::blankContactIdIsRefused()
{
    data_->cdsActor->Append();
    TFormActor form(*data_, cmNewForCaller);
    form.show();
    Type(Child<QLineEdit>(&form, "EditID"), "  ");
    Child<QLineEdit>(&form, "EditLAST_NAME")->setFocus();
    Click(&form, "ButtonOK");
    QVERIFY(form.isVisible());
    QCOMPARE(ui_->lastMessage()->text, QStringLiteral("Please enter a Value for \"Contact ID\""));
    QCOMPARE(ui_->lastMessage()->caption, QStringLiteral("Missing Information"));
    QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_OK | MB_ICONEXCLAMATION));
    QCOMPARE(form.focusWidget(), Child<QLineEdit>(&form, "EditID"));
    Click(&form, "ButtonCancel");
    QVERIFY(!form.ContactResult());
    QCOMPARE(data_->cdsActor->RecordCount(), 0);
    QCOMPARE(data_->cdsActor->State(), dsBrowse);
}

void TestContacts::emailLabelOpensMailto_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("opened");
    QTest::newRow("empty") << "LabelEmail1"
                           << "EMAIL_1"
                           << "" << QString();
    QTest::newRow("blanks") << "LabelEmail2"
                            << "EMAIL_2"
                            << "   " << QString();
    QTest::newRow("leading blank kept") << "LabelEmail1"
                                        << "EMAIL_1"
                                        << " ann@example.org"
                                        << "mailto:%20ann@example.org";
    QTest::newRow("second address") << "LabelEmail2"
                                    << "EMAIL_2"
                                    << "bob@example.org"
                                    << "mailto:bob@example.org";
    // An address from a received file cannot add parameters or a fragment.
    QTest::newRow("parameters stay in the address")
        << "LabelEmail1"
        << "EMAIL_1"
        << "x@y?attach=/etc/passwd&body=hi#top%"
        << "mailto:x@y%3Fattach%3D%2Fetc%2Fpasswd%26body%3Dhi%23top%25";
}

void TestContacts::emailLabelOpensMailto()
{
    QFETCH(QString, label);
    QFETCH(QString, field);
    QFETCH(QString, address);
    QFETCH(QString, opened);
    AddContact("Ann");
    data_->cdsActor->Edit();
    data_->cdsActor->FieldByName(field).SetAsString(address);
    TFormActor form(*data_, cmEdit);
    form.show();
    auto *link = Child<QLabel>(&form, label.toLatin1().constData());
    QCOMPARE(link->toolTip(), QStringLiteral("Send an email to the Address displayed"));
    QTest::mouseClick(link, Qt::LeftButton);
    QStringList shell;
    for (const UiCall &call : ui_->calls) {
        if (call.kind == UiCall::Shell)
            shell << call.text;
    }
    QCOMPARE(shell, opened.isEmpty() ? QStringList() : QStringList{opened});
    if (!opened.isEmpty()) {
        const QUrl url(opened);
        QVERIFY(!url.hasQuery() && !url.hasFragment());
        QCOMPARE(url.path(QUrl::FullyDecoded), address);
    }
    form.reject();
}

void TestContacts::previousAndNextDropEditsAndMove()
{
    for (const char *id : {"Adams", "Baker", "Carter"})
        AddContact(id);
    data_->cdsActor->SetIndexName("ID_ASC");
    data_->cdsActor->SetRecNo(1);
    data_->cdsActor->Edit();
    TFormActor form(*data_, cmEdit);
    form.show();
    Type(Child<QLineEdit>(&form, "EditCOMPANY"), "typed");
    form.ActionNext->trigger();
    QCOMPARE(form.windowTitle(), QStringLiteral("Edit Contact \"Carter\""));
    QCOMPARE(Child<QLineEdit>(&form, "EditID")->text(), QStringLiteral("Carter"));
    QCOMPARE(data_->cdsActor->State(), dsEdit);
    form.ActionPrevious->trigger();
    form.ActionPrevious->trigger();
    QCOMPARE(form.windowTitle(), QStringLiteral("Edit Contact \"Adams\""));
    form.reject();
    QCOMPARE(data_->cdsActor->State(), dsBrowse);
    data_->cdsActor->SetRecNo(1);
    QCOMPARE(data_->cdsActor->FieldByName("COMPANY").AsString(), QString());
}

void TestContacts::contactsListColumnsAndCommands()
{
    for (const char *id : {"Carter", "adams", "Baker"})
        AddContact(id);
    data_->cdsActor->SetIndexName("ID_ASC");
    data_->cdsActor->First();
    TFormActors form(*data_);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Edit Action Contacts"));
    QAbstractItemModel *model = form.RzDBGridActors->model();
    QStringList titles;
    for (int column = 0; column < model->columnCount(); ++column) {
        titles << model->headerData(column, Qt::Horizontal).toString();
        QVERIFY(model->headerData(column, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
        QCOMPARE(model->headerData(column, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(column == 0 ? Qt::black : Qt::blue));
    }
    QCOMPARE(titles, QStringList({"Contact ID", "Company", "Department", "Title", "Prefix", "First Name",
                                  "Insertion", "Last Name", "Suffix", "Gender", "Phone #1", "Phone #2",
                                  "Cell Phone", "Email Address #1", "Email Address #2"}));
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("adams"));
    QCOMPARE(form.RzDBGridActors->currentIndex().row(), 0);

    const struct {
        QAction *action;
        const char *caption, *hint;
        QKeySequence shortcut;
    } commands[] = {
        {form.ActionNew, "New", "Create a new Contact", QKeySequence(Qt::Key_F9)},
        {form.ActionEdit, "Edit", "Edit the currently selected Contact",
         QKeySequence(Qt::CTRL | Qt::Key_Return)},
        {form.ActionDelete, "Delete", "Delete the currently selected Contact",
         QKeySequence(Qt::SHIFT | Qt::Key_Delete)},
        {form.ActionFirst, "First", "Go to the first Contact", QKeySequence()},
        {form.ActionPrior, "Prior", "Go to the previous Contact", QKeySequence()},
        {form.ActionNext, "Next", "Go to the next Contact", QKeySequence()},
        {form.ActionLast, "Last", "Go to the last Contact", QKeySequence()},
        {form.ActionPrint, "Print", "Print List Actors", QKeySequence()},
        {form.ActionClose, "Close", "Close the Contacts Screen", QKeySequence()},
    };
    for (const auto &command : commands) {
        QCOMPARE(command.action->iconText(), QLatin1String(command.caption));
        QCOMPARE(command.action->toolTip(), QLatin1String(command.hint));
        QCOMPARE(command.action->shortcut(), command.shortcut);
    }
    QVERIFY(form.ActionPrint->isEnabled());
    QString printCaption;
    ui_->onModal([&printCaption](QWidget *window) {
        if (qobject_cast<TFormPrintActor *>(window))
            printCaption = window->windowTitle();
    });
    form.ActionPrint->trigger();
    QCOMPARE(printCaption, QStringLiteral("Print List Actors"));

    form.ActionLast->trigger();
    QCOMPARE(form.RzDBGridActors->currentIndex().row(), 2);
    form.ActionPrior->trigger();
    QCOMPARE(data_->cdsActor->FieldByName("ID").AsString(), QStringLiteral("Baker"));

    // Edit and double-click open the current contact; New a new one.
    ui_->onModal([&](QWidget *window) {
        QCOMPARE(window->windowTitle(), QStringLiteral("Edit Contact \"Baker\""));
        Type(Child<QLineEdit>(window, "EditLAST_NAME"), "Brown");
        Click(window, "ButtonOK");
    });
    form.ActionEdit->trigger();
    QCOMPARE(data_->cdsActor->FieldByName("LAST_NAME").AsString(), QStringLiteral("Brown"));
    ui_->onModal([&](QWidget *window) {
        QCOMPARE(window->windowTitle(), QStringLiteral("Create new Contact"));
        Type(Child<QLineEdit>(window, "EditID"), "Davis");
        Click(window, "ButtonOK");
    });
    form.ActionNew->trigger();
    QCOMPARE(ContactIds(), QStringList({"adams", "Baker", "Carter", "Davis"}));
    QCOMPARE(model->rowCount(), 4);
    ui_->onModal([&](QWidget *window) {
        QCOMPARE(window->windowTitle(), QStringLiteral("Edit Contact \"adams\""));
        Click(window, "ButtonCancel");
    });
    const QRect first = form.RzDBGridActors->visualRect(model->index(0, 1));
    QTest::mouseClick(form.RzDBGridActors->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(form.RzDBGridActors->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(data_->cdsActor->State(), dsBrowse);

    form.ActionClose->trigger();
    QVERIFY(!form.isVisible());
}

void TestContacts::contactsTitleClicksSort()
{
    AddContact("Carter", "zu");
    AddContact("adams", "Young");
    AddContact("Baker", "xavier");
    data_->cdsActor->SetIndexName("ID_ASC");
    data_->cdsActor->First();
    TFormActors form(*data_);
    form.show();
    QHeaderView *header = form.RzDBGridActors->horizontalHeader();
    QAbstractItemModel *model = form.RzDBGridActors->model();
    const auto titleColor = [&](int column) {
        return model->headerData(column, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color();
    };
    const auto shownIds = [&] {
        QStringList ids;
        for (int row = 0; row < model->rowCount(); ++row)
            ids << model->index(row, 0).data().toString();
        return ids;
    };
    const QColor black(0, 0, 0), red(255, 0, 0), blue(0, 0, 255);
    QCOMPARE(shownIds(), (QStringList{"adams", "Baker", "Carter"}));
    QCOMPARE(titleColor(0), black);
    QCOMPARE(titleColor(7), blue);

    struct Step {
        int column;
        const char *index;
        QStringList ids;
        QColor id, lastName;
    };
    const QList<Step> steps{
        {0, "ID_DESC", {"Carter", "Baker", "adams"}, red, blue},
        {7, "LAST_NAME_ASC", {"Baker", "adams", "Carter"}, blue, black},
        {7, "LAST_NAME_DESC", {"Carter", "adams", "Baker"}, blue, red},
        {0, "ID_ASC", {"adams", "Baker", "Carter"}, black, blue},
    };
    for (const Step &step : steps) {
        const QPoint at(header->sectionViewportPosition(step.column) + header->sectionSize(step.column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(data_->cdsActor->IndexName(), QLatin1String(step.index));
        QCOMPARE(shownIds(), step.ids);
        QCOMPARE(titleColor(0), step.id);
        QCOMPARE(titleColor(7), step.lastName);
        QVERIFY(model->headerData(step.column, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
    }
}

void TestContacts::deleteAsksWithNoAsDefault_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("No") << int(IDNO) << QStringList({"Adams", "Baker"});
    QTest::newRow("Yes") << int(IDYES) << QStringList({"Adams"});
}

void TestContacts::deleteAsksWithNoAsDefault()
{
    QFETCH(int, answer);
    QFETCH(QStringList, left);
    AddContact("Adams");
    AddContact("Baker");
    TTable *actions = data_->cdsActions;
    actions->Append();
    actions->FieldByName("ID").SetAsInteger(1);
    actions->FieldByName("ID_ACTION").SetAsString("Call");
    actions->FieldByName("ACTOR_OWNER").SetAsString("Baker");
    actions->FieldByName("ACTOR_ORGANIZOR").SetAsString("Baker");
    actions->Post();
    data_->cdsActor->SetIndexName("ID_ASC");
    data_->cdsActor->Last();
    TFormActors form(*data_);
    form.show();
    ui_->answer(MbResult(answer));
    form.ActionDelete->trigger();
    QCOMPARE(ui_->lastMessage()->text, QStringLiteral("Do you really want to remove Contact \"Baker\"?"));
    QCOMPARE(ui_->lastMessage()->caption, QStringLiteral("Remove Contact"));
    QCOMPARE(ui_->lastMessage()->flags, unsigned(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
    QCOMPARE(ContactIds(), left);
    actions->First();
    QCOMPARE(actions->FieldByName("ACTOR_OWNER").AsString(), QStringLiteral("Baker"));
    QCOMPARE(actions->FieldByName("ACTOR_ORGANIZOR").AsString(), QStringLiteral("Baker"));
}

void TestContacts::newContactFromEditor_data()
{
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("other");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("failPost");
    QTest::addColumn<QString>("shown");
    QTest::newRow("action owner") << "action"
                                  << "ACTOR_OWNER"
                                  << "ACTOR_ORGANIZOR"
                                  << "Brown" << false << "Brown";
    QTest::newRow("identifier 0") << "action"
                                  << "ACTOR_ORGANIZOR"
                                  << "ACTOR_OWNER"
                                  << "0" << false << "0";
    QTest::newRow("failed post") << "action"
                                 << "ACTOR_OWNER"
                                 << "ACTOR_ORGANIZOR"
                                 << "Brown" << true << "Jones";
    QTest::newRow("cancelled") << "action"
                               << "ACTOR_OWNER"
                               << "ACTOR_ORGANIZOR" << QString() << false << "Jones";
    QTest::newRow("log tender") << "log"
                                << "ACTOR_TENDER"
                                << "ACTOR_STATUS"
                                << "Brown" << false << "Brown";
    QTest::newRow("properties foreign") << "properties"
                                        << "ACTOR_FOREIGN"
                                        << "ACTOR_HOME"
                                        << "Brown" << false << "Brown";
}

void TestContacts::newContactFromEditor()
{
    QFETCH(QString, editor);
    QFETCH(QString, field);
    QFETCH(QString, other);
    QFETCH(QString, typed);
    QFETCH(bool, failPost);
    QFETCH(QString, shown);
    AddContact("Jones");
    TTable *table = editor == "action" ? data_->cdsActions
                    : editor == "log"  ? data_->cdsLog
                                       : data_->cdsAction;
    if (editor != "properties")
        table->Append();
    else
        table->Edit();
    table->FieldByName(field).SetAsString("Jones");
    table->FieldByName(other).SetAsString("Jones");
    // Opened without services: the editor uses the contact editor itself.
    std::unique_ptr<QDialog> form;
    if (editor == "action")
        form = std::make_unique<TFormAction>(*data_, emNew);
    else if (editor == "log")
        form = std::make_unique<TFormLog>(*data_, emNew);
    else
        form = std::make_unique<TFormProperties>(*data_);
    form->show();
    QMetaObject::Connection failing;
    bool failed = false;
    ui_->onModal([&](QWidget *window) {
        QCOMPARE(window->windowTitle(), QStringLiteral("Create new Contact"));
        if (typed.isEmpty()) {
            Click(window, "ButtonCancel");
            return;
        }
        Type(Child<QLineEdit>(window, "EditID"), typed);
        if (failPost)
            failing = connect(data_->cdsActor, &TTable::LayoutChange, this,
                              [] { throw AppError(QStringLiteral("disk gone")); });
        try {
            Click(window, "ButtonOK");
        } catch (const AppError &) {
            failed = true;
        }
        QObject::disconnect(failing);
        QVERIFY(!window->isVisible());
    });
    auto *newButton = Child<QToolButton>(form.get(), ("ButtonNew" + field).toLatin1().constData());
    QVERIFY(newButton->isEnabled());
    QCOMPARE(newButton->toolTip(), QStringLiteral("Enter a new Contact"));
    QTest::mouseClick(newButton, Qt::LeftButton);

    QCOMPARE(failed, failPost);
    auto *box = Child<QComboBox>(form.get(), ("ComboBox" + field).toLatin1().constData());
    auto *otherBox = Child<QComboBox>(form.get(), ("ComboBox" + other).toLatin1().constData());
    QCOMPARE(box->currentText(), shown);
    QCOMPARE(otherBox->currentText(), QStringLiteral("Jones"));
    const bool handedBack = shown != "Jones";
    QCOMPARE(box->findText(typed) >= 0 && !typed.isEmpty(), handedBack);
    QCOMPARE(otherBox->findText(typed) >= 0 && !typed.isEmpty(), handedBack);
    if (handedBack)
        QCOMPARE(form->focusWidget(), box);
    QCOMPARE(data_->cdsActor->State(), dsBrowse);
    form->reject();
}

void TestContacts::findButtonOpensContactOfField()
{
    AddContact("Jones");
    data_->cdsAction->Edit();
    data_->cdsAction->FieldByName("ACTOR_HOME").SetAsString("jones");
    TFormProperties form(*data_);
    form.show();
    auto *find = Child<QToolButton>(&form, "ButtonFindACTOR_HOME");
    QCOMPARE(find->toolTip(), QStringLiteral("Find the Contact"));
    QString caption;
    ui_->onModal([&](QWidget *window) { caption = window->windowTitle(); });
    QTest::mouseClick(find, Qt::LeftButton);
    QCOMPARE(caption, QStringLiteral("Edit Contact \"Jones\""));
    // The header stays in the edit the properties window started.
    QCOMPARE(data_->cdsAction->State(), dsEdit);
    form.reject();
}

void TestContacts::propertiesOkWithEveryFieldEmpty()
{
    data_->cdsAction->Edit();
    data_->cdsAction->FieldByName("TITLE").SetAsString("Old");
    data_->cdsAction->Post();
    data_->cdsAction->Edit();
    TFormProperties form(*data_);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Edit Properties of the Action File"));
    QCOMPARE(form.focusWidget(), Child<QLineEdit>(&form, "EditTITLE"));
    QCOMPARE(form.ActionPrint->toolTip(), QStringLiteral("Print the Properties of the current Action File"));
    for (QLineEdit *edit : form.findChildren<QLineEdit *>())
        edit->clear();
    for (QPlainTextEdit *memo : form.findChildren<QPlainTextEdit *>())
        memo->clear();
    Click(&form, "ButtonOK");
    QVERIFY(!form.isVisible());
    QCOMPARE(ui_->messages().size(), 0);
    QCOMPARE(data_->cdsAction->State(), dsBrowse);
    for (int field = 0; field < data_->cdsAction->FieldCount(); ++field)
        QVERIFY2(data_->cdsAction->Fields(field).IsNull(),
                 qPrintable(data_->cdsAction->Fields(field).FieldName()));
}

void TestContacts::propertiesCancelLeavesHeader()
{
    data_->cdsAction->Edit();
    TFormProperties form(*data_);
    form.show();
    Type(Child<QLineEdit>(&form, "EditTITLE"), "New title");
    Click(&form, "ButtonCancel");
    QCOMPARE(data_->cdsAction->State(), dsBrowse);
    QCOMPARE(data_->cdsAction->FieldByName("TITLE").AsString(), QString());
}

void TestContacts::propertiesPrintOpensSheet()
{
    data_->cdsAction->Edit();
    data_->cdsAction->FieldByName("TITLE").SetAsString("Harbour <works>");
    data_->cdsAction->FieldByName("COMPANY").SetAsString(QString::fromUtf8("M\u00fcller & S\u00f6hne"));
    data_->cdsAction->Post();
    data_->cdsAction->Edit();
    TFormProperties form(*data_);
    form.show();
    QVERIFY(form.ActionPrint->isEnabled());
    form.ActionPrint->trigger();
    QCOMPARE(ui_->calls.size(), 1);
    QCOMPARE(ui_->calls[0].kind, UiCall::Shell);
    QFile page(ui_->calls[0].text);
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray bytes = page.readAll();
    QCOMPARE(bytes, HtmlPageBytes(PropertiesSheetLines(*data_->cdsAction, file_, QDate::currentDate())));
    QVERIFY(bytes.contains("Harbour &lt;works&gt;"));
    QVERIFY(bytes.contains("M&#252;ller &amp; S&#246;hne"));
    // Printing leaves the header in the edit the window started.
    QCOMPARE(data_->cdsAction->State(), dsEdit);
    form.reject();
}

void TestContacts::zoomOpenersAndCaptions_data()
{
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("caption");
    QTest::newRow("action description") << "action"
                                        << "DESCRIPTION"
                                        << "Edit Action Description";
    QTest::newRow("action sign off") << "action"
                                     << "SIGN_OFF"
                                     << "Edit Action Sign Off";
    QTest::newRow("log description") << "log"
                                     << "DESCRIPTION"
                                     << "Edit Log Description";
    QTest::newRow("log remarks") << "log"
                                 << "REMARKS"
                                 << "Edit Log Remarks";
    QTest::newRow("context") << "properties"
                             << "CONTEXT"
                             << "Edit Action Context";
    QTest::newRow("reason") << "properties"
                            << "REASON"
                            << "Edit Action Reason";
    QTest::newRow("remarks") << "properties"
                             << "REMARKS"
                             << "Edit Action Remarks";
}

// Each opener shows the text pending in its memo, and the memo shows what
// was typed in the zoom window, which the editor's OK saves.
void TestContacts::zoomOpenersAndCaptions()
{
    QFETCH(QString, editor);
    QFETCH(QString, field);
    QFETCH(QString, caption);
    TTable *table = editor == "action" ? data_->cdsActions
                    : editor == "log"  ? data_->cdsLog
                                       : data_->cdsAction;
    std::unique_ptr<QDialog> form;
    if (editor == "properties") {
        table->Edit();
        form = std::make_unique<TFormProperties>(*data_);
    } else {
        table->Append();
        if (editor == "action") {
            table->FieldByName("ID").SetAsInteger(1);
            table->FieldByName("ID_ACTION").SetAsString("Call");
            form = std::make_unique<TFormAction>(*data_, emEdit);
        } else {
            table->FieldByName("STATUS_LINE").SetAsString("Line");
            table->FieldByName("DATE_LOG").SetAsDate(QDate(2026, 1, 2));
            table->FieldByName("TIME_LOG").SetAsTime(QTime(9, 0));
            form = std::make_unique<TFormLog>(*data_, emEdit);
        }
    }
    form->show();
    auto *memo = Child<QPlainTextEdit>(form.get(), ("Memo" + field).toLatin1().constData());
    memo->setPlainText("typed in the editor");
    QString shownCaption, shownText;
    ui_->onModal([&](QWidget *window) {
        auto *zoom = qobject_cast<TFormZoomMemo *>(window);
        QVERIFY(zoom);
        shownCaption = zoom->windowTitle();
        shownText = zoom->MemoZoom->toPlainText();
        QCOMPARE(zoom->focusWidget(), zoom->MemoZoom);
        QVERIFY(!(zoom->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowContextHelpButtonHint)));
        QCOMPARE(zoom->ButtonClose->text(), QStringLiteral("&Close"));
        QCOMPARE(zoom->ActionPrint->toolTip(), QStringLiteral("Print this Note as a Text File"));
        zoom->MemoZoom->setPlainText("line one\nline two");
        QTest::mouseClick(zoom->ButtonClose, Qt::LeftButton);
        QVERIFY(!zoom->isVisible());
    });
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton);
    QCOMPARE(shownCaption, caption);
    QCOMPARE(shownText, QStringLiteral("typed in the editor"));
    QCOMPARE(memo->toPlainText(), QStringLiteral("line one\nline two"));
    QCOMPARE(memo->textCursor().position(), 0);
    QVERIFY(!memo->textCursor().hasSelection());
    QCOMPARE(form->focusWidget(), memo);
    // Close neither posted nor cancelled.
    QVERIFY(table->State() == dsEdit || table->State() == dsInsert);
    Click(form.get(), "ButtonOK");
    QCOMPARE(table->State(), dsBrowse);
    if (editor == "log")
        data_->UnfilterLog();
    table->First();
    QCOMPARE(table->FieldByName(field).AsString(), QStringLiteral("line one\nline two"));
}

void TestContacts::zoomTextDiscardedWithTheEdit_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("cancelled edit") << int(emEdit);
    QTest::newRow("view") << int(emView);
}

void TestContacts::zoomTextDiscardedWithTheEdit()
{
    QFETCH(int, mode);
    TTable *actions = data_->cdsActions;
    actions->Append();
    actions->FieldByName("ID").SetAsInteger(1);
    actions->FieldByName("ID_ACTION").SetAsString("Call");
    actions->FieldByName("DESCRIPTION").SetAsString("kept");
    actions->Post();
    actions->Edit();
    {
        TFormAction form{*data_, TEditorMode(mode)};
        form.show();
        ui_->onModal([&](QWidget *window) {
            auto *zoom = static_cast<TFormZoomMemo *>(window);
            QCOMPARE(zoom->MemoZoom->toPlainText(), QStringLiteral("kept"));
            // A viewed record's text is shown, not edited.
            QCOMPARE(zoom->MemoZoom->isReadOnly(), mode == emView);
            zoom->MemoZoom->setPlainText("typed in the zoom window");
            zoom->accept();
        });
        QTest::mouseDClick(Child<QPlainTextEdit>(&form, "MemoDESCRIPTION")->viewport(), Qt::LeftButton);
        Click(&form, mode == emView ? "ButtonOK" : "ButtonCancel");
    }
    QCOMPARE(actions->State(), dsBrowse);
    QCOMPARE(actions->FieldByName("DESCRIPTION").AsString(), QStringLiteral("kept"));
}

void TestContacts::zoomPrintWritesTextAndCrLf_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << "" << QByteArray("\r\n");
    QTest::newRow("lines and umlauts") << QString::fromUtf8("Grüße\nzweite Zeile")
                                       << QByteArray("Gr\xc3\xbc\xc3\x9f"
                                                     "e\nzweite Zeile\r\n");
}

void TestContacts::zoomPrintWritesTextAndCrLf()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    data_->cdsAction->Edit();
    TFormZoomMemo zoom(nullptr, data_->TempFiles, "Edit Action Remarks", "REMARKS", data_->cdsAction);
    zoom.show();
    zoom.MemoZoom->setPlainText(text);
    zoom.ActionPrint->trigger();
    const UiCall &opened = ui_->calls.last();
    QCOMPARE(int(opened.kind), int(UiCall::Shell));
    QVERIFY(opened.text.endsWith(".txt"));
    QVERIFY(data_->TempFiles.Files.contains(opened.text));
    QCOMPARE(ReadFileBytes(opened.text), bytes);
    zoom.reject();
    QCOMPARE(data_->cdsAction->State(), dsEdit);
    data_->cdsAction->Cancel();
}

void TestContacts::contactsAndPropertiesSurviveReopening()
{
    TFormActors list(*data_);
    list.show();
    ui_->onModal([&](QWidget *window) {
        Type(Child<QLineEdit>(window, "EditID"), "Evans");
        Type(Child<QLineEdit>(window, "EditEMAIL_1"), "eve@example.org");
        Child<QComboBox>(window, "ComboBoxGENDER")->setCurrentText("M");
        Click(window, "ButtonOK");
    });
    list.ActionNew->trigger();
    list.reject();

    data_->cdsAction->Edit();
    {
        TFormProperties form(*data_);
        form.show();
        Type(Child<QLineEdit>(&form, "EditTITLE"), "Harbour");
        Type(Child<QComboBox>(&form, "ComboBoxACTOR_HOME"), "Evans");
        Type(Child<QLineEdit>(&form, "EditDATE_ENTERED"), "03/04/2026");
        Child<QPlainTextEdit>(&form, "MemoCONTEXT")->setPlainText("Quay wall\nsecond line");
        Click(&form, "ButtonOK");
    }
    data_->Tables.Close();
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, false));
    TTable *actors = data_->cdsActor;
    QCOMPARE(actors->RecordCount(), 1);
    QCOMPARE(actors->FieldByName("ID").AsString(), QStringLiteral("Evans"));
    QCOMPARE(actors->FieldByName("EMAIL_1").AsString(), QStringLiteral("eve@example.org"));
    QCOMPARE(actors->FieldByName("GENDER").AsString(), QStringLiteral("M"));
    TTable *header = data_->cdsAction;
    QCOMPARE(header->FieldByName("TITLE").AsString(), QStringLiteral("Harbour"));
    QCOMPARE(header->FieldByName("ACTOR_HOME").AsString(), QStringLiteral("Evans"));
    QCOMPARE(header->FieldByName("DATE_ENTERED").AsDate(), QDate(2026, 4, 3));
    QCOMPARE(header->FieldByName("CONTEXT").AsString(), QStringLiteral("Quay wall\nsecond line"));
}

void TestContacts::screenshot()
{
    const QString shots = qEnvironmentVariable("DRAVELIN_SHOTS");
    if (shots.isEmpty())
        QSKIP("DRAVELIN_SHOTS names no folder");
    QVERIFY(QDir().mkpath(shots));
    const auto save = [&](QWidget *window, const char *name) {
        QApplication::processEvents();
        QVERIFY(window->grab().save(QDir(shots).filePath(QLatin1String(name))));
    };
    const struct {
        const char *id, *company, *first, *last, *gender, *phone, *email;
    } people[] = {
        {"abakker", "Harbour Board", "Anna", "Bakker", "F", "+31 10 555 0101", "a.bakker@harbour.example"},
        {"bcosta", "Costa Marine", "Bruno", "Costa", "M", "+351 21 555 0102", "bruno@costamarine.example"},
        {"cdubois", "Quai Sud", "Claire", "Dubois", "F", "+33 4 555 0103", "claire.dubois@quaisud.example"},
        {"dekstrom", "Nordic Cranes", "David", "Ekström", "M", "+46 8 555 0104", "d.ekstrom@cranes.example"},
        {"fgarcia", "Puerto Norte", "Fatima", "García", "F", "+34 91 555 0105", "fgarcia@puerto.example"},
        {"hhansen", "Harbour Board", "Henrik", "Hansen", "M", "+45 33 555 0106", "h.hansen@harbour.example"},
        {"jvdberg", "Harbour Board", "Jan", "van den Berg", "M", "+31 10 555 0107",
         "j.vdberg@harbour.example"},
        {"kito", "Pacific Dredging", "Kenji", "Ito", "M", "+81 3 555 0108", "kito@pacdredge.example"},
        {"lmoreau", "Quai Sud", "Léa", "Moreau", "F", "+33 4 555 0109", "lea.moreau@quaisud.example"},
        {"mkovac", "Adria Survey", "Marta", "Kovač", "F", "+385 1 555 0110", "marta@adriasurvey.example"},
        {"pnowak", "Baltic Steel", "Piotr", "Nowak", "M", "+48 58 555 0111", "p.nowak@balticsteel.example"},
        {"sobrien", "Celtic Fenders", "Siobhan", "O'Brien", "F", "+353 1 555 0112",
         "siobhan@fenders.example"},
    };
    TTable *actors = data_->cdsActor;
    for (const auto &person : people) {
        actors->Append();
        actors->FieldByName("ID").SetAsString(QString::fromUtf8(person.id));
        actors->FieldByName("COMPANY").SetAsString(QString::fromUtf8(person.company));
        actors->FieldByName("FIRST_NAME").SetAsString(QString::fromUtf8(person.first));
        actors->FieldByName("LAST_NAME").SetAsString(QString::fromUtf8(person.last));
        actors->FieldByName("GENDER").SetAsString(QString::fromUtf8(person.gender));
        actors->FieldByName("PHONE_1").SetAsString(QString::fromUtf8(person.phone));
        actors->FieldByName("EMAIL_1").SetAsString(QString::fromUtf8(person.email));
        actors->Post();
    }
    actors->SetIndexName("ID_ASC");
    actors->First();
    {
        TFormActors list(*data_);
        list.resize(1280, 420);
        list.show();
        list.ActionNext->trigger();
        list.ActionNext->trigger();
        save(&list, "contacts-list.png");
        actors->Edit();
        TFormActor editor(*data_, cmEdit, &list);
        editor.show();
        save(&editor, "contact-editor.png");
        editor.reject();
    }
    data_->cdsAction->Edit();
    data_->cdsAction->FieldByName("TITLE").SetAsString("Harbour Works 2026");
    data_->cdsAction->FieldByName("COMPANY").SetAsString("Harbour Board");
    data_->cdsAction->FieldByName("PROJECT").SetAsString("Quay wall renewal");
    data_->cdsAction->FieldByName("HOME_ID").SetAsString("HW");
    data_->cdsAction->FieldByName("ACTOR_HOME").SetAsString("jvdberg");
    data_->cdsAction->FieldByName("ACTOR_FOREIGN").SetAsString("cdubois");
    data_->cdsAction->FieldByName("DATE_ENTERED").SetAsDate(QDate(2026, 1, 12));
    data_->cdsAction->FieldByName("CONTEXT").SetAsString(
        "Renewal of the north quay wall, berths 4 to 7, with new fenders and bollards.");
    TFormProperties properties(*data_);
    properties.show();
    save(&properties, "properties.png");
    TFormZoomMemo zoom(&properties, data_->TempFiles, "Edit Action Context", "CONTEXT", data_->cdsAction);
    zoom.MemoZoom->setPlainText("Renewal of the north quay wall, berths 4 to 7.\n\n"
                                "The wall is surveyed first; sheet piles are ordered once the survey is "
                                "accepted.\nDredging needs its own permit.");
    zoom.show();
    save(&zoom, "zoom-memo.png");
    zoom.reject();
    properties.reject();
}

QTEST_MAIN(TestContacts)
#include "tst_contacts.moc"
