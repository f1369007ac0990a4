#include "ActionEdits.h"
#include "ActionFileNames.h"
#include "PasswordStore.h"
#include "QtUiServices.h"
#include "RadicaleServer.h"
#include "SyncAccountFile.h"
#include "SynchroniseCommand.h"
#include "TFormSyncSettings.h"
#include "TestWorkspace.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// The synchronisation's windows against a real Radicale and a real keyring
// (the test runs in a private D-Bus session with a GNOME keyring):
// the settings list the server's task lists and keep the choice, the
// password only in the keyring; File > Synchronise shows the summary.
namespace {
// The auxiliary folder of actFile, where its synchronisation's files lie.
QString Aux(const QString &actFile)
{
    return AuxiliaryFolder(actFile, Settings().Folders.Auxiliary);
}

const QString kUser = QStringLiteral("ana");
const QString kPassword = QStringLiteral("Pässword 7");
} // namespace

class TestSyncForms : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void settingsListTheServersTaskListsAndKeepTheChoice();
    void plainHttpToAnotherMachineIsAskedFor();
    void synchroniseShowsTheSummary();
    // Pictures of the settings window and of the summary for the README,
    // taken when DRAVELIN_SHOTS names a folder.
    void screenshot();

private:
    QString NewList(const QString &name)
    {
        if (!server_.Peer({QStringLiteral("make-list"), name, name + QStringLiteral(" tasks"),
                           QStringLiteral("VTODO")}))
            qFatal("the task list %s cannot be made", qPrintable(name));
        return server_.Url().resolved(QUrl(QStringLiteral("/%1/%2/").arg(kUser, name))).toString();
    }

    RadicaleServer server_;
    TestWorkspace fixture_;
    QString actFile_;
};

void TestSyncForms::initTestCase()
{
    QVERIFY2(server_.Start(kUser, kPassword), qPrintable(server_.Error()));
}

void TestSyncForms::init()
{
    fixture_.Start();
    Settings().Folders.Auxiliary = fixture_.dir->filePath(QStringLiteral("Auxiliary"));
    actFile_ = fixture_.dir->filePath(QStringLiteral("Harbour.act"));
}

void TestSyncForms::cleanup()
{
    if (fixture_.data->Tables.IsOpen())
        fixture_.data->Tables.Close();
    fixture_.Finish();
}

void TestSyncForms::settingsListTheServersTaskListsAndKeepTheChoice()
{
    const QString harbour = NewList(QStringLiteral("harbour"));
    NewList(QStringLiteral("quay"));
    TFormSyncSettings form(actFile_);
    QCOMPARE(form.windowTitle(), QStringLiteral("Synchronise Settings"));
    QTest::keyClicks(form.EditServer, server_.Url().toString());
    QTest::keyClicks(form.EditUser, kUser);
    form.EditPassword->setText(kPassword); // keyClicks types ASCII only
    QTest::mouseClick(form.ButtonTestConnection, Qt::LeftButton);
    QCOMPARE(form.LabelConnection->text(), QStringLiteral("Connected: 2 task lists."));
    QStringList names;
    for (int i = 0; i < form.ComboTaskList->count(); ++i)
        names.append(form.ComboTaskList->itemText(i));
    names.sort();
    QCOMPARE(names, (QStringList{"harbour tasks", "quay tasks"}));
    form.ComboTaskList->setCurrentIndex(form.ComboTaskList->findText(QStringLiteral("harbour tasks")));
    form.accept();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(fixture_.ui.messages().isEmpty());

    const TSyncAccountSettings kept = LoadSyncAccount(SyncAccountFileName(Aux(actFile_)));
    QCOMPARE(QUrl(kept.url), QUrl(harbour));
    QCOMPARE(kept.user, kUser);
    QCOMPARE(ReadPassword(kept.url, kUser), std::optional<QString>(kPassword));
    QFile file(SyncAccountFileName(Aux(actFile_)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains(kPassword.toUtf8()));

    // Shown again as kept, the password read from the keyring.
    TFormSyncSettings again(actFile_);
    QCOMPARE(again.EditUser->text(), kUser);
    QCOMPARE(again.EditPassword->text(), kPassword);
    QCOMPARE(QUrl(again.ComboTaskList->currentData().toString()), QUrl(harbour));

    // A wrong password says so and offers no list.
    TFormSyncSettings wrong(actFile_);
    wrong.EditPassword->setText(QStringLiteral("wrong"));
    wrong.EditServer->setText(server_.Url().toString());
    QTest::mouseClick(wrong.ButtonTestConnection, Qt::LeftButton);
    QVERIFY2(wrong.LabelConnection->text().contains(QLatin1String("user name or password")),
             qPrintable(wrong.LabelConnection->text()));
}

void TestSyncForms::plainHttpToAnotherMachineIsAskedFor()
{
    TFormSyncSettings form(actFile_);
    form.EditServer->setText(QStringLiteral("http://192.0.2.1/dav/"));
    form.EditUser->setText(kUser);
    form.EditPassword->setText(kPassword);
    fixture_.ui.answer(IDNO);
    QTest::mouseClick(form.ButtonTestConnection, Qt::LeftButton);
    const UiCall *question = fixture_.ui.lastMessage();
    QVERIFY(question);
    QCOMPARE(question->caption, QStringLiteral("Synchronise Settings"));
    QCOMPARE(question->flags, unsigned(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
    QVERIFY(question->text.endsWith(QLatin1String("Use plain http to this server all the same?")));
    QVERIFY(form.LabelConnection->text().contains(QLatin1String("plain http")));
    // Nothing chosen: OK refuses.
    form.accept();
    QCOMPARE(fixture_.ui.lastMessage()->flags, unsigned(MB_OK | MB_ICONERROR));
    QVERIFY(!QFileInfo::exists(SyncAccountFileName(Aux(actFile_))));
}

void TestSyncForms::synchroniseShowsTheSummary()
{
    // Without settings: a message says where to make them.
    TDataModuleMain &data = *fixture_.data;
    data.Tables.Open(actFile_, true);
    QVERIFY(!SynchroniseActionFile(data, nullptr));
    QVERIFY(fixture_.ui.lastMessage()->text.contains(QLatin1String("Synchronise Settings")));

    const QString list = NewList(QStringLiteral("pier"));
    SaveSyncAccount(SyncAccountFileName(Aux(actFile_)), {list, kUser, false});
    StorePassword(list, kUser, kPassword);
    data.cdsActions->Insert();
    data.cdsActions->FieldByName(QStringLiteral("SYNOPSIS"))
        .SetAsString(QStringLiteral("Paint the bollards"));
    AssignNewActionId(data);
    data.cdsActions->Post();
    QVERIFY(server_.Peer({QStringLiteral("create"), QStringLiteral("pier"), QStringLiteral("phone-1"),
                          QStringLiteral("Check the ladders")}));

    QVERIFY(SynchroniseActionFile(data, nullptr));
    const UiCall *summary = fixture_.ui.lastMessage();
    QCOMPARE(summary->caption, QStringLiteral("Synchronise"));
    QCOMPARE(summary->text, QStringLiteral("1 sent, 1 received"));
    QCOMPARE(summary->flags, unsigned(MB_OK | MB_ICONINFORMATION));
    QCOMPARE(data.cdsActions->RecordCount(), 2);
    QCOMPARE(fixture_.ui.busyDepth, 0);
}

void TestSyncForms::screenshot()
{
    const QString folder = qEnvironmentVariable("DRAVELIN_SHOTS");
    if (folder.isEmpty())
        QSKIP("DRAVELIN_SHOTS names no folder");
    NewList(QStringLiteral("berth"));
    TFormSyncSettings form(actFile_);
    form.EditServer->setText(server_.Url().toString());
    form.EditUser->setText(kUser);
    form.EditPassword->setText(kPassword);
    form.show();
    QTest::mouseClick(form.ButtonTestConnection, Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.grab().save(folder + QStringLiteral("/sync-settings.png")));

    // The summary as the program shows it, in its own message box.
    QtUiServices real;
    QTimer::singleShot(500, [&] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            box->grab().save(folder + QStringLiteral("/sync-summary.png"));
            box->close();
        }
    });
    real.MessageBox(QStringLiteral("12 sent, 3 received, 1 conflict"), QStringLiteral("Synchronise"),
                    MB_OK | MB_ICONINFORMATION);
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/sync-summary.png")));
}

QTEST_MAIN(TestSyncForms)
#include "tst_syncforms.moc"
