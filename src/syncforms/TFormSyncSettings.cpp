#include "TFormSyncSettings.h"

#include "ActionFileNames.h"
#include "AppError.h"
#include "CalDavClient.h"
#include "PasswordStore.h"
#include "SyncAccountFile.h"
#include "TSettings.h"
#include "UiServices.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kCaption = QStringLiteral("Synchronise Settings");

QLineEdit *Field(QWidget *parent, const char *name, const QString &caption)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setAccessibleName(caption);
    return edit;
}
} // namespace

TFormSyncSettings::TFormSyncSettings(const QString &actFile, QWidget *parent)
    : QDialog(parent), actFile_(actFile)
{
    setObjectName(QStringLiteral("FormSyncSettings"));
    setWindowTitle(kCaption);
    EditServer = Field(this, "EditServer", QStringLiteral("Server Address"));
    EditServer->setPlaceholderText(QStringLiteral("https://cloud.example.org/remote.php/dav/"));
    EditUser = Field(this, "EditUser", QStringLiteral("User Name"));
    EditPassword = Field(this, "EditPassword", QStringLiteral("Password"));
    EditPassword->setEchoMode(QLineEdit::Password);
    ComboTaskList = new QComboBox(this);
    ComboTaskList->setObjectName(QStringLiteral("ComboTaskList"));
    ComboTaskList->setAccessibleName(QStringLiteral("Task List"));
    ComboTaskList->setMinimumContentsLength(30);
    ButtonTestConnection = new QPushButton(QStringLiteral("&Test Connection"), this);
    ButtonTestConnection->setObjectName(QStringLiteral("ButtonTestConnection"));
    ButtonTestConnection->setAccessibleName(QStringLiteral("Test Connection"));
    LabelConnection = new QLabel(this);
    LabelConnection->setObjectName(QStringLiteral("LabelConnection"));
    LabelConnection->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Server Address:"), EditServer);
    form->addRow(QStringLiteral("&User Name:"), EditUser);
    form->addRow(QStringLiteral("&Password:"), EditPassword);
    form->addRow(QStringLiteral("Task &List:"), ComboTaskList);
    form->addRow(QString(), ButtonTestConnection);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(LabelConnection);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TFormSyncSettings::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TFormSyncSettings::reject);
    connect(ButtonTestConnection, &QPushButton::clicked, this, &TFormSyncSettings::ButtonTestConnectionClick);

    // What the file was last synchronised with; the password stays in the
    // keyring until Test Connection or OK needs it.
    try {
        const TSyncAccountSettings account =
            LoadSyncAccount(SyncAccountFileName(AuxiliaryFolder(actFile_, Settings().Folders.Auxiliary)));
        EditServer->setText(account.url);
        EditUser->setText(account.user);
        plainHttpConfirmed_ = account.plainHttpConfirmed;
        if (!account.IsEmpty())
            ComboTaskList->addItem(account.url, account.url);
        if (!account.IsEmpty())
            if (const std::optional<QString> password = ReadPassword(account.url, account.user))
                EditPassword->setText(*password);
    } catch (const AppError &error) {
        LabelConnection->setText(error.message());
    }
}

void TFormSyncSettings::ButtonTestConnectionClick()
{
    const QUrl server = QUrl::fromUserInput(EditServer->text().trimmed());
    QList<TTaskList> lists;
    TDavStatus status;
    {
        BusyCursor busy;
        LabelConnection->setText(QStringLiteral("Connecting…"));
        TCalDavClient client({server, EditUser->text(), EditPassword->text(), plainHttpConfirmed_});
        status = client.TaskLists(lists);
    }
    if (status.outcome == TDavOutcome::Insecure && !plainHttpConfirmed_) {
        if (Ui().MessageBox(status.message +
                                QStringLiteral("\n\nUse plain http to this server all the same?"),
                            kCaption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
            LabelConnection->setText(status.message);
            return;
        }
        plainHttpConfirmed_ = true;
        ButtonTestConnectionClick();
        return;
    }
    if (!status.Ok()) {
        LabelConnection->setText(status.message);
        return;
    }
    const QString chosen = ComboTaskList->currentData().toString();
    ComboTaskList->clear();
    for (const TTaskList &list : lists)
        ComboTaskList->addItem(list.displayName.isEmpty() ? list.url.toString() : list.displayName,
                               list.url.toString());
    if (const int at = ComboTaskList->findData(chosen); at >= 0)
        ComboTaskList->setCurrentIndex(at);
    LabelConnection->setText(lists.isEmpty() ? QStringLiteral("Connected; the account has no task list.")
                             : lists.size() == 1
                                 ? QStringLiteral("Connected: 1 task list.")
                                 : QStringLiteral("Connected: %1 task lists.").arg(lists.size()));
}

void TFormSyncSettings::accept()
{
    const QString list = ComboTaskList->currentData().toString();
    if (list.isEmpty() || EditUser->text().isEmpty()) {
        Ui().MessageBox(
            QStringLiteral("Please choose a task list: Test Connection lists those the server offers."),
            kCaption, MB_OK | MB_ICONERROR);
        return;
    }
    try {
        if (!EditPassword->text().isEmpty())
            StorePassword(list, EditUser->text(), EditPassword->text());
        SaveSyncAccount(SyncAccountFileName(AuxiliaryFolder(actFile_, Settings().Folders.Auxiliary)),
                        {list, EditUser->text(), plainHttpConfirmed_});
    } catch (const AppError &failure) {
        Ui().MessageBox(failure.message(), kCaption, MB_OK | MB_ICONERROR);
        return;
    }
    QDialog::accept();
}
