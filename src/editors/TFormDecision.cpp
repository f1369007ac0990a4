#include "TFormDecision.h"

#include "ShownPages.h"
#include "UiServices.h"

#include <QAction>
#include <QFormLayout>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString kDateEntered = QStringLiteral("DATE_ENTERED");
const QString kSynopsis = QStringLiteral("SYNOPSIS");

} // namespace

const TDecisionKind &DecisionKind()
{
    static const TDecisionKind kind{
        QStringLiteral("Decision"),
        &TDataModuleMain::cdsDecision,
        rkDecision,
        QStringLiteral("&Decision Date:"),
        QStringLiteral("Decision &Maker:"),
        QStringLiteral("ACTOR_DECISION"),
        {{QStringLiteral("DATE_ENTERED"), QStringLiteral("Decision Date")},
         {QStringLiteral("SYNOPSIS"), QStringLiteral("Synopsis")},
         {QStringLiteral("ACTOR_DECISION"), QStringLiteral("Decision Maker")},
         {QStringLiteral("BACKED_BY"), QStringLiteral("Backed by")}},
        "ActionNewDecision",
        "ActionEditDecition",
        "ActionDeleteDecision",
        QKeySequence(Qt::Key_F9),
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
        QKeySequence(Qt::CTRL | Qt::Key_Delete)};
    return kind;
}

const TDecisionKind &StatementKind()
{
    static const TDecisionKind kind{QStringLiteral("Statement"),
                                    &TDataModuleMain::cdsStatement,
                                    rkStatement,
                                    QStringLiteral("Statement &Date:"),
                                    QStringLiteral("Statement &Holder"),
                                    QStringLiteral("ACTOR_STATEMENT"),
                                    {{QStringLiteral("DATE_ENTERED"), QStringLiteral("Date Statement")},
                                     {QStringLiteral("SYNOPSIS"), QStringLiteral("Synopsis")},
                                     {QStringLiteral("ACTOR_STATEMENT"), QStringLiteral("Statement Holder")},
                                     {QStringLiteral("BACKED_BY"), QStringLiteral("Backed by")}},
                                    "ActionNewStatement",
                                    "ActionEditStatement",
                                    "ActionDeleteStatement",
                                    QKeySequence(Qt::CTRL | Qt::Key_F9),
                                    {QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Return),
                                     QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Enter)},
                                    QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Delete)};
    return kind;
}

TFormDecision::TFormDecision(TDataModuleMain &data, const TDecisionKind &kind, TEditorMode mode,
                             QWidget *parent, TEditorServices *services)
    : TFormEditorBase(data, mode, kind.Table(data), parent, services), kind_(kind)
{
    setObjectName(QStringLiteral("Form") + kind.noun);

    auto *form = new QFormLayout;
    AddTextField(form, kind.dateLabel, kDateEntered);
    AddTextField(form, QStringLiteral("&Synopsis:"), kSynopsis);
    AddContactField(form, kind.contactLabel, kind.contactField);
    AddTextField(form, QStringLiteral("&Backed by:"), QStringLiteral("BACKED_BY"));
    AddMemoField(form, QStringLiteral("Description:"), QStringLiteral("DESCRIPTION"),
                 QStringLiteral("Edit %1 Description").arg(kind.noun));

    QToolBar *toolBar =
        CreateRecordToolBar(QStringLiteral("Go to the Previous %1").arg(kind.noun),
                            QStringLiteral("Go to the Next %1").arg(kind.noun), QStringLiteral("ActionPrint"),
                            QStringLiteral("Print the current %1").arg(kind.noun));
    ActionPrint = RecordPrintAction();
    ActionPrint->setEnabled(mode != emNew);
    connect(ActionPrint, &QAction::triggered, this, [this] {
        if (!StoreShownValues())
            return;
        if (kind_.recordKind == rkStatement)
            PrintStatementSheet(Data());
        else
            PrintDecisionSheet(Data());
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ScrollingFields(form));
    layout->addWidget(CreateButtons(false));

    switch (mode) {
    case emNew:
        SetCaption(QStringLiteral("Create new %1").arg(kind.noun));
        ActionPrevious->setEnabled(false);
        ActionNext->setEnabled(false);
        ActionCopyClipBoard->setEnabled(false);
        toolBar->hide();
        break;
    case emEdit:
        SetCaption(EditCaption());
        break;
    case emView:
        SetCaption(Caption("View"));
        ActionPrevious->setEnabled(false);
        ActionNext->setEnabled(false);
        SetNavigationVisible(false);
        break;
    }
    ShowRecord();
}

TFormDecision::~TFormDecision()
{
    CloseOnceQuietly();
}

QString TFormDecision::Caption(const char *verb) const
{
    return QStringLiteral("%1 %2 \"%3\"")
        .arg(QLatin1String(verb), kind_.noun, kind_.Table(Data())->FieldByName(kSynopsis).AsString());
}

QString TFormDecision::EditCaption() const
{
    return Caption("Edit");
}

void TFormDecision::showEvent(QShowEvent *event)
{
    TFormEditorBase::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    Binder().Widget(kDateEntered)->setFocus();
    const QStringList searchOrder{kDateEntered, kSynopsis, kind_.contactField, QStringLiteral("BACKED_BY"),
                                  QStringLiteral("DESCRIPTION")};
    if (searchFieldNumber_)
        FocusSearchField(searchOrder, *searchFieldNumber_);
    else
        FocusSearchHit(searchOrder);
}

bool TFormDecision::Validate()
{
    // The synopsis is asked for first, also when the date is empty too.
    return RequireValues({{kSynopsis, kind_.noun + QStringLiteral(" Synopsis")},
                          {kDateEntered, kind_.noun + QStringLiteral(" Date")}}) &&
           CheckTypedValues();
}

void TFormDecision::OkClicked()
{
    SaveAndClose([this] { return Validate(); }, [this] { SaveRecord(); });
}

void TFormDecision::SaveRecord()
{
    TDataModuleMain &data = Data();
    TTable *table = kind_.Table(data);
    TryFinally(
        [&] {
            Binder().Store();
            if (Mode() == emNew) {
                table->FieldByName(QStringLiteral("ID")).SetAsInteger(data.NextId(kind_.recordKind));
                table->FieldByName(QStringLiteral("ID_ACTION"))
                    .SetAsInteger(data.cdsActions->FieldByName(QStringLiteral("ID")).AsInteger());
            }
        },
        [&] {
            // A new record that did not get its ID and its action's is
            // dropped: posted without them it would belong to no action.
            if (table->State() == dsInsert && (table->FieldByName(QStringLiteral("ID")).IsNull() ||
                                               table->FieldByName(QStringLiteral("ID_ACTION")).IsNull()))
                table->Cancel();
            else
                table->Post();
        });
}

void TFormDecision::EditorClosing()
{
    kind_.Table(Data())->Cancel();
}

void ShowDecisionEditor(TDataModuleMain &data, const TDecisionKind &kind, TEditorMode mode, QWidget *parent,
                        TEditorServices *services)
{
    TFormDecision form(data, kind, mode, parent, services);
    Ui().ExecModal(&form);
}
