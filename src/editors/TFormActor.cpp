#include "TFormActor.h"

#include "ReadableColors.h"
#include "ScopeGuards.h"
#include "TDataModuleMain.h"
#include "UiServices.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString kId = QStringLiteral("ID");
const QString kEmail1 = QStringLiteral("EMAIL_1");
const QString kEmail2 = QStringLiteral("EMAIL_2");

const QString kNoMatch = QStringLiteral("No matching Contact");

} // namespace

TFormActor::TFormActor(TDataModuleMain &data, TContactEditorMode mode, QWidget *parent)
    : TFormEditorBase(data, mode == cmNew || mode == cmNewForCaller ? emNew : emEdit, data.cdsActor, parent,
                      nullptr),
      contactMode_(mode)
{
    setObjectName(QStringLiteral("FormActor"));

    auto *form = new QFormLayout;
    QLineEdit *id = AddTextField(form, QStringLiteral("Contact &ID:"), kId);
    AddTextField(form, QStringLiteral("Co&mpany:"), QStringLiteral("COMPANY"));
    AddTextField(form, QStringLiteral("&Department:"), QStringLiteral("DEPARTMENT"));
    AddTextField(form, QStringLiteral("&Title:"), QStringLiteral("TITLE"));
    AddTextField(form, QStringLiteral("Prefi&x:"), QStringLiteral("PREFIX"));
    AddTextField(form, QStringLiteral("&First Name:"), QStringLiteral("FIRST_NAME"));
    AddTextField(form, QStringLiteral("Ins&ertion:"), QStringLiteral("INSERTION"));
    AddTextField(form, QStringLiteral("&Last Name:"), QStringLiteral("LAST_NAME"));
    AddTextField(form, QStringLiteral("&Suffix:"), QStringLiteral("SUFFIX"));
    // A fixed list: no other text can be typed.
    auto *gender = new QComboBox(this);
    gender->setObjectName(QStringLiteral("ComboBoxGENDER"));
    gender->addItems({QStringLiteral("F"), QStringLiteral("M")});
    form->addRow(QStringLiteral("&Gender:"), gender);
    Binder().Bind(QStringLiteral("GENDER"), gender);
    AddTextField(form, QStringLiteral("Phone #&1:"), QStringLiteral("PHONE_1"));
    AddTextField(form, QStringLiteral("Phone #&2:"), QStringLiteral("PHONE_2"));
    AddTextField(form, QStringLiteral("Mobile P&hone:"), QStringLiteral("PHONE_MOBILE"));
    LabelEmail1 = AddEmailField(form, "LabelEmail1", QStringLiteral("Email #1:"), kEmail1);
    LabelEmail2 = AddEmailField(form, "LabelEmail2", QStringLiteral("Email #2:"), kEmail2);

    QToolBar *toolBar = CreateRecordToolBar(QStringLiteral("Go to the previous Contact"),
                                            QStringLiteral("Go to the next Contact"),
                                            QStringLiteral("ActionPrint"), QString());
    // A contact has neither a sheet nor a picture to copy: the toolbar only
    // steps through the list.
    RecordPrintAction()->setVisible(false);
    ActionCopyClipBoard->setVisible(false);
    ActionCopyClipBoard->setEnabled(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ScrollingFields(form));
    layout->addWidget(CreateButtons(false));

    switch (mode) {
    case cmNew:
    case cmNewForCaller:
        SetCaption(QStringLiteral("Create new Contact"));
        break;
    case cmEdit:
        SetCaption(EditCaption());
        break;
    case cmEditFound:
        SetCaption(EditCaption());
        // The caller looked the contact up by this ID.
        id->setEnabled(false);
        break;
    }
    if (mode != cmEdit) {
        ActionPrevious->setEnabled(false);
        ActionNext->setEnabled(false);
        toolBar->hide();
    }
    Binder().Load();
}

TFormActor::~TFormActor()
{
    CloseOnceQuietly();
}

QLabel *TFormActor::AddEmailField(QFormLayout *form, const char *name, const QString &label,
                                  const QString &field)
{
    auto *caption = new QLabel(label, this);
    caption->setObjectName(QLatin1String(name));
    caption->setToolTip(QStringLiteral("Send an email to the Address displayed"));
    caption->setCursor(Qt::PointingHandCursor);
    // Blue and underlined like a link, a lighter blue on a dark desktop theme.
    caption->setStyleSheet(QStringLiteral("QLabel { color: %1; text-decoration: underline; }")
                               .arg(ReadableTextColor(QColor(0, 0, 255), palette()).name()));
    caption->installEventFilter(this);
    auto *edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("Edit") + field);
    form->addRow(caption, edit);
    Binder().Bind(field, edit);
    return caption;
}

bool TFormActor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == LabelEmail1) {
            SendEmail(kEmail1);
            return true;
        }
        if (watched == LabelEmail2) {
            SendEmail(kEmail2);
            return true;
        }
    }
    return TFormEditorBase::eventFilter(watched, event);
}

void TFormActor::SendEmail(const QString &field)
{
    // The address goes out as shown, surrounding blanks included, and
    // percent-encoded whole: an address from a received file such as
    // "x@y?attach=/etc/passwd" must not add parameters for the mail program.
    const QString address = Binder().Text(field);
    if (!address.trimmed().isEmpty())
        Ui().ShellOpen(QStringLiteral("mailto:") +
                       QString::fromLatin1(QUrl::toPercentEncoding(address, "@")));
}

QString TFormActor::EditCaption() const
{
    return QStringLiteral("Edit Contact \"%1\"").arg(Data().cdsActor->FieldByName(kId).AsString());
}

void TFormActor::showEvent(QShowEvent *event)
{
    TFormEditorBase::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    FocusField(contactMode_ == cmEditFound ? QStringLiteral("COMPANY") : kId, false);
}

void TFormActor::OkClicked()
{
    if (Binder().Text(kId).trimmed().isEmpty()) {
        RefuseField(Binder().Widget(kId), QStringLiteral("Please enter a Value for \"Contact ID\""),
                    QStringLiteral("Missing Information"));
        return;
    }
    // The window closes also when the post fails; only a posted contact is
    // handed back to the caller.
    TryFinally(
        [&] {
            Binder().Store();
            Data().cdsActor->Post();
            if (contactMode_ == cmNewForCaller)
                contactResult_ = Data().cdsActor->FieldByName(kId).AsString();
        },
        [&] { accept(); });
}

void TFormActor::EditorClosing()
{
    Data().cdsActor->Cancel();
}

std::optional<QString> NewContactForCaller(TDataModuleMain &data, QWidget *parent)
{
    data.cdsActor->Append();
    TFormActor form(data, cmNewForCaller, parent);
    Ui().ExecModal(&form);
    return form.ContactResult();
}

void FindContact(TDataModuleMain &data, const QString &text)
{
    if (text.trimmed().isEmpty()) {
        Ui().MessageBox(QStringLiteral("No Contact given as Input"), kNoMatch, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    TTable *actors = data.cdsActor;
    const QString previousIndex = actors->IndexName();
    TryFinally(
        [&] {
            actors->SetIndexName(QStringLiteral("ID_ASC"));
            if (!actors->FindKey({text})) {
                Ui().MessageBox(QStringLiteral("Contact \"%1\" cannot be found").arg(text), kNoMatch,
                                MB_OK | MB_ICONEXCLAMATION);
                return;
            }
            actors->Edit();
            TFormActor form(data, cmEditFound);
            Ui().ExecModal(&form);
        },
        [&] { actors->SetIndexName(previousIndex); });
}
