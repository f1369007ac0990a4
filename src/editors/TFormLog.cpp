#include "TFormLog.h"

#include "ActionRules.h"
#include "Formats.h"
#include "ShownPages.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "UiServices.h"

#include <QAction>
#include <QFormLayout>
#include <QLabel>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString kStatusLine = QStringLiteral("STATUS_LINE");
const QString kDateLog = QStringLiteral("DATE_LOG");
const QString kTimeLog = QStringLiteral("TIME_LOG");
const QString kDateStatus = QStringLiteral("DATE_STATUS");

// The fields that the search numbers for a log hit, in its order.
const QStringList &SearchFieldOrder()
{
    static const QStringList fields{"DATE_LOG",     "TIME_LOG",     "STATUS_LINE", "STATUS", "DATE_STATUS",
                                    "ACTOR_STATUS", "ACTOR_TENDER", "DESCRIPTION", "REMARKS"};
    return fields;
}

} // namespace

TFormLog::TFormLog(TDataModuleMain &data, TEditorMode mode, QWidget *parent, TEditorServices *services)
    : TFormEditorBase(data, mode, data.cdsLog, parent, services)
{
    setObjectName(QStringLiteral("FormLog"));

    auto *form = new QFormLayout;
    AddTextField(form, QStringLiteral("Date &Log:"), kDateLog);
    AddTextField(form, QStringLiteral("&Time Log:"), kTimeLog);
    AddTextField(form, QStringLiteral("&Status Line:"), kStatusLine);
    AddChoiceField(form, QStringLiteral("St&atus:"), QStringLiteral("STATUS"), StatusWords());
    AddTextField(form, QStringLiteral("&Date Status:"), kDateStatus);
    AddContactField(form, QStringLiteral("Stat&us Actor:"), QStringLiteral("ACTOR_STATUS"));
    AddContactField(form, QStringLiteral("Tender Acto&r:"), QStringLiteral("ACTOR_TENDER"));
    AddMemoField(form, QStringLiteral("Description:"), QStringLiteral("DESCRIPTION"),
                 QStringLiteral("Edit Log Description"));
    AddMemoField(form, QStringLiteral("Remarks:"), QStringLiteral("REMARKS"),
                 QStringLiteral("Edit Log Remarks"));

    QToolBar *toolBar = CreateRecordToolBar(
        QStringLiteral("Go to the Previous Log Entry"), QStringLiteral("Go to the Next Log Entry"),
        QStringLiteral("ActionPrint"), QStringLiteral("Print the current Status Log"));
    ActionPrint = RecordPrintAction();
    ActionPrint->setEnabled(mode != emNew);
    connect(ActionPrint, &QAction::triggered, this, [this] {
        if (StoreShownValues())
            PrintLogSheet(Data());
    });

    // The action the entry belongs to, as the list showed it.
    auto *heading = new QLabel(this);
    heading->setObjectName(QStringLiteral("LabelAction"));
    heading->setWordWrap(true);
    heading->setTextFormat(Qt::PlainText);
    TTable *actions = data.cdsActions;
    heading->setText(QStringLiteral("Action \"%1\": %2")
                         .arg(actions->FieldByName(QStringLiteral("ID_ACTION")).AsString(),
                              actions->FieldByName(QStringLiteral("SYNOPSIS")).AsString()));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(ScrollingFields(form));
    layout->addWidget(CreateButtons(false));

    switch (mode) {
    case emNew:
        SetCaption(QStringLiteral("Create new Log Entry"));
        ActionPrevious->setEnabled(false);
        ActionNext->setEnabled(false);
        ActionCopyClipBoard->setEnabled(false);
        toolBar->hide();
        break;
    case emEdit:
        SetCaption(EditCaption());
        break;
    case emView:
        SetCaption(QStringLiteral("View Log Entry \"%1\"").arg(LogField(kStatusLine).AsString()));
        ActionPrevious->setEnabled(false);
        ActionNext->setEnabled(false);
        SetNavigationVisible(false);
        break;
    }
    ShowRecord();
}

TFormLog::~TFormLog()
{
    CloseOnceQuietly();
}

QString TFormLog::EditCaption() const
{
    return QStringLiteral("Edit Log Entry \"%1\"").arg(LogField(kStatusLine).AsString());
}

void TFormLog::showEvent(QShowEvent *event)
{
    TFormEditorBase::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    Binder().Widget(kDateLog)->setFocus();
    FocusSearchHit(SearchFieldOrder());
}

bool TFormLog::Validate()
{
    return RequireValues({{kStatusLine, QStringLiteral("Status Line")},
                          {kDateLog, QStringLiteral("Date Log")},
                          {kTimeLog, QStringLiteral("Time Log")}}) &&
           CheckTypedValues();
}

TTable *TFormLog::Log() const
{
    return Data().cdsLog;
}

TField TFormLog::LogField(const QString &name) const
{
    return Log()->FieldByName(name);
}

void TFormLog::OkClicked()
{
    SaveAndClose([this] { return Validate(); }, [this] { SaveEntry(); });
}

void TFormLog::SaveEntry()
{
    TDataModuleMain &data = Data();
    // The entry and the status it carries over into its action are saved
    // together, as a step named after the entry.
    TChangeScope change(data.Tables, TableMember::Log);
    Binder().Store();
    if (Mode() == emNew) {
        LogField(QStringLiteral("ID")).SetAsInteger(data.NextId(rkLog));
        LogField(QStringLiteral("ID_ACTION"))
            .SetAsInteger(data.cdsActions->FieldByName(QStringLiteral("ID")).AsInteger());
        LogField(kDateStatus).SetAsDate(QDate::currentDate());
    }
    Log()->Post();
    if (Mode() == emNew && Settings().Actions.TransferData)
        CarryOver();
    change.Commit();
}

void TFormLog::CarryOver()
{
    // Read the posted entry first: editing the action refilters the log and
    // moves its cursor.
    const QDate dateStatus = LogField(kDateStatus).AsDate();
    const QString status = LogField(QStringLiteral("STATUS")).AsString();
    const QString tender = LogField(QStringLiteral("ACTOR_TENDER")).AsString();
    TTable *actions = Data().cdsActions;
    actions->Edit();
    TryFinally(
        [&] {
            actions->FieldByName(kDateStatus).SetAsDate(dateStatus);
            actions->FieldByName(QStringLiteral("STATUS")).SetAsString(status);
            if (!tender.trimmed().isEmpty())
                actions->FieldByName(QStringLiteral("ACTOR_OWNER")).SetAsString(tender);
        },
        [&] {
            actions->Post();
            if (Services())
                Services()->ReloadActionFile();
        });
}

void TFormLog::EditorClosing()
{
    Log()->Cancel();
}
