#include "TFormAction.h"

#include "ActionEdits.h"
#include "ActionRules.h"
#include "AppIcon.h"
#include "Formats.h"
#include "ReadableColors.h"
#include "ScreenFit.h"
#include "TDataModuleMain.h"
#include "TDecisionsPage.h"
#include "TFormDecision.h"
#include "TFormDigest.h"
#include "TSettings.h"
#include "ToolBars.h"
#include "UiServices.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kIdAction = QStringLiteral("ID_ACTION");
const QString kSynopsis = QStringLiteral("SYNOPSIS");
const QString kDateDue = QStringLiteral("DATE_DUE");
const QString kDateStatus = QStringLiteral("DATE_STATUS");
const QString kDateFinished = QStringLiteral("DATE_FINISHED");
const QString kStatus = QStringLiteral("STATUS");
const QString kSignOff = QStringLiteral("SIGN_OFF");
const QString kNewCaption = QStringLiteral("Create a new Action");

const QColor kRed(255, 0, 0);
const QColor kNavy(0, 0, 128);
const QColor kGreen(0, 128, 0);

// Sets a text colour of a field or label, as readable on the window's palette.
void SetTextColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, ReadableTextColor(colour, widget->window()->palette(), role));
    widget->setPalette(palette);
}

// The fields that the search numbers for an action hit, in its order.
const QStringList &SearchFieldOrder()
{
    static const QStringList fields{"ID_ACTION",       "ATTRIBUTE",   "SYNOPSIS",      "DATE_ACTION",
                                    "DATE_DUE",        "DATE_STATUS", "DATE_FINISHED", "ACTOR_OWNER",
                                    "ACTOR_ORGANIZOR", "STATUS",      "SEVERITY",      "RELATIONS",
                                    "FUNCTIONAL_AREA", "DESCRIPTION", "SIGN_OFF"};
    return fields;
}

} // namespace

TFormAction::TFormAction(TDataModuleMain &data, TEditorMode mode, QWidget *parent, TEditorServices *services)
    : TFormEditorBase(data, mode, data.cdsActions, parent, services)
{
    setObjectName(QStringLiteral("FormAction"));
    BuildWindow();

    if (Actions()->State() != dsInsert) {
        data.FilterDecisionsByAction();
        data.FilterStatementsByAction();
    }

    switch (mode) {
    case emNew:
        ShowNewMode();
        break;
    case emEdit:
        SetCaption(EditCaption());
        UpdateFollowUpPanel();
        break;
    case emView:
        SetCaption(QStringLiteral("View Action \"%1\"").arg(ActionField(kIdAction).AsString()));
        ActionPrevious->setEnabled(false);
        ActionNext->setEnabled(false);
        ActionPrintDigest->setEnabled(false);
        SetNavigationVisible(false);
        ActionPrintDigest->setVisible(false);
        ActionFollowUp->setEnabled(false);
        ActionFinish->setEnabled(false);
        break;
    }
    ShowRecord();
}

TTable *TFormAction::Actions() const
{
    return Data().cdsActions;
}

TField TFormAction::ActionField(const QString &name) const
{
    return Actions()->FieldByName(name);
}

TFormAction::~TFormAction()
{
    CloseOnceQuietly();
}

void TFormAction::BuildWindow()
{
    auto *topBar = new QToolBar(this);
    topBar->setObjectName(QStringLiteral("ToolBarTop"));
    topBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ActionClose = topBar->addAction(AppIcon(QStringLiteral("window-close")), QStringLiteral("Close"));
    ActionClose->setObjectName(QStringLiteral("ActionClose"));
    ActionClose->setToolTip(QStringLiteral("Close this Action"));
    connect(ActionClose, &QAction::triggered, this, &QDialog::reject);
    ActionFinish = topBar->addAction(AppIcon(QStringLiteral("task-complete")), QStringLiteral("Resolve"));
    ActionFinish->setObjectName(QStringLiteral("ActionFinish"));
    ActionFinish->setToolTip(QStringLiteral("Resolve this Action"));
    connect(ActionFinish, &QAction::triggered, this, [this] { ActionFinishExecute(); });
    ActionFollowUp = topBar->addAction(AppIcon(QStringLiteral("mail-forward")), QStringLiteral("Follow Up"));
    ActionFollowUp->setObjectName(QStringLiteral("ActionFollowUp"));
    ActionFollowUp->setToolTip(QStringLiteral("Follow Up on this Action"));
    connect(ActionFollowUp, &QAction::triggered, this, [this] { ActionFollowUpExecute(); });

    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("PageControl"));
    auto *actionPage = new QWidget(pages_);
    actionPage->setObjectName(QStringLiteral("TabSheetAction"));
    auto *form = new QFormLayout(actionPage);
    QLineEdit *idAction = AddTextField(form, QStringLiteral("Action I&D:"), kIdAction);
    AddTextField(form, QStringLiteral("Attribute:"), QStringLiteral("ATTRIBUTE"));
    AddTextField(form, QStringLiteral("&Synopsis:"), kSynopsis);
    AddTextField(form, QStringLiteral("Date Ac&tion:"), QStringLiteral("DATE_ACTION"));
    QLineEdit *dateDue = AddTextField(form, QStringLiteral("Date D&ue:"), kDateDue);
    AddTextField(form, QStringLiteral("Dat&e Status:"), kDateStatus);
    QLineEdit *dateFinished = AddTextField(form, QStringLiteral("Date &Finished:"), kDateFinished);
    AddContactField(form, QStringLiteral("O&wner:"), QStringLiteral("ACTOR_OWNER"));
    AddContactField(form, QStringLiteral("Organi&zor:"), QStringLiteral("ACTOR_ORGANIZOR"));
    QComboBox *status = AddChoiceField(form, QStringLiteral("St&atus:"), kStatus, StatusWords());
    AddChoiceField(form, QStringLiteral("Se&verity:"), QStringLiteral("SEVERITY"), SeverityWords());
    AddTextField(form, QStringLiteral("&Relations:"), QStringLiteral("RELATIONS"));
    AddTextField(form, QStringLiteral("Functio&nal Area:"), QStringLiteral("FUNCTIONAL_AREA"));
    AddMemoField(form, QStringLiteral("Description:"), QStringLiteral("DESCRIPTION"),
                 QStringLiteral("Edit Action Description"));
    AddMemoField(form, QStringLiteral("Sign Off:"), kSignOff, QStringLiteral("Edit Action Sign Off"));
    dateDueLabel_ = qobject_cast<QLabel *>(form->labelForField(dateDue));
    dateFinishedLabel_ = qobject_cast<QLabel *>(form->labelForField(dateFinished));

    followUpPanel_ = new QWidget(this);
    followUpPanel_->setObjectName(QStringLiteral("PanelFollowUp"));
    followUpLabel_ = new QPushButton(QStringLiteral("Follow Up Action"), followUpPanel_);
    followUpLabel_->setObjectName(QStringLiteral("LabelFollowUp"));
    followUpLabel_->setFlat(true);
    followUpLabel_->setAutoDefault(false);
    followUpLabel_->setCursor(Qt::PointingHandCursor);
    // Drawn as a link (the theme's link colour, underlined), so it is seen to
    // be clickable, in a dark theme too.
    QPalette linkColors = followUpLabel_->palette();
    linkColors.setColor(QPalette::ButtonText, linkColors.color(QPalette::Link));
    followUpLabel_->setPalette(linkColors);
    QFont linkFont = followUpLabel_->font();
    linkFont.setUnderline(true);
    followUpLabel_->setFont(linkFont);
    followUpLabel_->setToolTip(QStringLiteral("Move to the Follow Up Action of this Action"));
    connect(followUpLabel_, &QPushButton::clicked, this, [this] { JumpToFollowUp(); });
    removeFollowUp_ = new QToolButton(followUpPanel_);
    removeFollowUp_->setObjectName(QStringLiteral("ButtonRemoveFollowUp"));
    removeFollowUp_->setIcon(AppIcon(QStringLiteral("edit-clear")));
    removeFollowUp_->setToolTip(QStringLiteral("Remove Follow Up"));
    connect(removeFollowUp_, &QToolButton::clicked, this, [this] { RemoveFollowUp(); });
    auto *followUpRow = new QHBoxLayout(followUpPanel_);
    followUpRow->setContentsMargins(0, 0, 0, 0);
    followUpRow->addWidget(followUpLabel_);
    followUpRow->addWidget(removeFollowUp_);
    followUpRow->addStretch();
    // Beside OK: it keeps its room while hidden, so the window is as wide in
    // every mode and for every action.
    QSizePolicy keepRoom = followUpPanel_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    followUpPanel_->setSizePolicy(keepRoom);
    followUpPanel_->hide();
    // The fields scroll where the screen is too small for all of them.
    pages_->addTab(new TScrollPage(actionPage, pages_), QStringLiteral("Action"));
    BuildRecordPages(topBar);

    QToolBar *lowerBar = CreateRecordToolBar(
        QStringLiteral("Go to the Previous Action"), QStringLiteral("Go to the Next Action"),
        QStringLiteral("ActionPrintDigest"), QStringLiteral("Print the Current Action Digest"));
    ActionPrintDigest = RecordPrintAction();
    ActionPrintDigest->setEnabled(Mode() == emEdit);
    connect(ActionPrintDigest, &QAction::triggered, this, [this] {
        if (!StoreShownValues())
            return;
        TFormDigest digest(TFormDigest::ActionMode, Data(), this);
        Ui().ExecModal(&digest);
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(topBar);
    layout->addWidget(pages_);
    layout->addWidget(CreateButtons(true, lowerBar, followUpPanel_));

    idAction->installEventFilter(this);
    dateDue->installEventFilter(this);
    dateFinished->installEventFilter(this);
    status->installEventFilter(this);
    if (status->lineEdit())
        status->lineEdit()->installEventFilter(this);
    connect(status, &QComboBox::editTextChanged, this,
            [this] { Binder().SetText(kDateStatus, FormatDate(QDate::currentDate())); });
    idAction->setFocus();
}

void TFormAction::BuildRecordPages(QToolBar *topBar)
{
    DecisionsPage = new TDecisionsPage(Data(), DecisionKind(), this, Services());
    pages_->addTab(DecisionsPage, QStringLiteral("Decisions"));
    StatementsPage = new TDecisionsPage(Data(), StatementKind(), this, Services());
    pages_->addTab(StatementsPage, QStringLiteral("Statements"));

    pageSpacer_ = topBar->addSeparator();
    for (const char *name : {"ButtonNew", "ButtonEdit", "ButtonDelete"}) {
        auto *tool = new QToolButton(topBar);
        tool->setObjectName(QLatin1String(name));
        tool->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        pageTools_.append(tool);
        pageButtons_.append(topBar->addWidget(tool));
    }
    // The bar's room counts the page commands, which show on the other tabs.
    PageChanged(1);
    KeepToolBarWhole(topBar);
    PageChanged(0);
    connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
        if (PageAllowed(index)) {
            PageChanged(index);
            return;
        }
        // Back to the tab that was in front before the user is told why.
        {
            const QSignalBlocker blocker(pages_);
            pages_->setCurrentIndex(shownPage_);
        }
        if (Mode() == emNew)
            Ui().MessageBox(
                QStringLiteral("Please either commit or deny the newly entered Action, before moving to the "
                               "additional data"),
                QStringLiteral("Uncommitted Data"), MB_OK | MB_ICONINFORMATION);
        else
            Ui().MessageBox(QStringLiteral("You cannot edit the Additional Data in Search Mode"),
                            QStringLiteral("No Access"), MB_OK | MB_ICONINFORMATION);
    });
}

bool TFormAction::PageAllowed(int index) const
{
    return index <= 0 || Mode() == emEdit;
}

void TFormAction::PageChanged(int index)
{
    shownPage_ = index;
    TDecisionsPage *front = index == 1 ? DecisionsPage : index == 2 ? StatementsPage : nullptr;
    DecisionsPage->SetCommandsEnabled(front == DecisionsPage);
    StatementsPage->SetCommandsEnabled(front == StatementsPage);
    const QList<QAction *> commands =
        front ? QList<QAction *>{front->ActionNew, front->ActionEdit, front->ActionDelete}
              : QList<QAction *>{};
    for (int i = 0; i < pageTools_.size(); ++i) {
        QToolButton *tool = pageTools_[i];
        for (QAction *old : tool->actions())
            tool->removeAction(old);
        if (front) {
            tool->setDefaultAction(commands[i]);
        } else {
            tool->setText(QString());
            tool->setIcon(QIcon());
        }
        pageButtons_[i]->setVisible(front != nullptr);
    }
    pageSpacer_->setVisible(front != nullptr);
}

QString TFormAction::EditCaption() const
{
    return QStringLiteral("Edit Action \"%1\"").arg(ActionField(kIdAction).AsString());
}

void TFormAction::EnableRecordCommands(bool enabled)
{
    ActionPrevious->setEnabled(enabled);
    ActionNext->setEnabled(enabled);
    ActionCopyClipBoard->setEnabled(enabled);
    ActionPrintDigest->setEnabled(enabled);
    ActionFollowUp->setEnabled(enabled);
    ActionFinish->setEnabled(enabled);
}

void TFormAction::ShowNewMode()
{
    SetCaption(kNewCaption);
    RecordToolBar()->hide();
    EnableRecordCommands(false);
}

void TFormAction::UpdateFollowUpPanel()
{
    followUpPanel_->setVisible(ActionField(QStringLiteral("ID")).AsInteger() !=
                               ActionField(QStringLiteral("ID_CHAIN")).AsInteger());
}

void TFormAction::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    UpdateDateColours();
    Binder().Widget(kIdAction)->setFocus();
    FocusSearchHit(SearchFieldOrder());
}

bool TFormAction::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        QWidget *idAction = Binder().Widget(kIdAction);
        QWidget *status = Binder().Widget(kStatus);
        if (watched == idAction)
            IdActionExit();
        else if (watched == Binder().Widget(kDateDue) || watched == Binder().Widget(kDateFinished) ||
                 watched == status || watched == static_cast<QComboBox *>(status)->lineEdit())
            UpdateDateColours();
    }
    return TFormEditorBase::eventFilter(watched, event);
}

void TFormAction::IdActionExit()
{
    const QString id = Binder().Text(kIdAction);
    if (Binder().Text(kSynopsis).trimmed().isEmpty() && !id.trimmed().isEmpty())
        Binder().SetText(kSynopsis, id);
}

void TFormAction::UpdateDateColours()
{
    // A finished date that does not parse still counts as set.
    const bool finished = !Binder().Text(kDateFinished).trimmed().isEmpty();
    const bool overdue =
        !finished && IsActionOverdue(QDate(), Binder().Text(kStatus), ParseDate(Binder().Text(kDateDue)),
                                     QDate::currentDate());
    const QColor windowText = palette().color(QPalette::WindowText);
    SetTextColour(dateDueLabel_, QPalette::WindowText, overdue ? kRed : windowText);
    SetTextColour(Binder().Widget(kDateDue), QPalette::Text, overdue ? kRed : kNavy);
    SetTextColour(dateFinishedLabel_, QPalette::WindowText, finished ? kGreen : windowText);
    SetTextColour(Binder().Widget(kDateFinished), QPalette::Text, finished ? kGreen : kNavy);
}

bool TFormAction::CheckActionId()
{
    if (!Binder().Text(kIdAction).trimmed().isEmpty())
        return true;
    RefuseField(Binder().Widget(kIdAction), QStringLiteral("Please enter a Value for \"Action ID\""),
                QStringLiteral("Missing Information"));
    return false;
}

void TFormAction::SaveAction()
{
    TDataModuleMain &data = Data();
    // The action and its "Action Resolved" log entry are saved together;
    // a follow-up joins the step that linked it.
    const std::shared_ptr<THistoryGroup> followUp = followedUp_ ? followedUp_->group : nullptr;
    TChangeScope change(data.Tables);
    TryFinally(
        [&] {
            Binder().Store();
            if (Mode() == emNew) {
                AssignNewActionId(data);
                // The action followed up now points at this one for good.
                followedUp_.reset();
                EnableRecordCommands(true);
                RecordToolBar()->show();
                SetMode(emEdit);
            }
            if (ResolvePending && Settings().Actions.TransferData)
                AddResolvedLogEntry();
        },
        [&] {
            // A new action that did not get its ID is dropped: posted without
            // one it would share identifiers and children with other actions.
            if (Actions()->State() == dsInsert && ActionField(QStringLiteral("ID")).IsNull())
                Actions()->Cancel();
            else
                Actions()->Post();
        });
    change.Commit();
}

void TFormAction::AddResolvedLogEntry()
{
    TryFinally([&] { ::AddResolvedLogEntry(Data()); }, [&] { ResolvePending = false; });
}

void TFormAction::OkClicked()
{
    if (Mode() == emView) {
        Actions()->Cancel();
        accept();
        return;
    }
    if (!CheckActionId() || !CheckTypedValues())
        return;
    TryFinally([&] { SaveAction(); }, [&] { accept(); });
}

void TFormAction::ApplyClicked()
{
    if (Mode() == emView || !CheckActionId() || !CheckTypedValues())
        return;
    TDataModuleMain &data = Data();
    TryFinally(
        [&] {
            SaveAction();
            data.FilterDecisionsByAction();
            data.FilterStatementsByAction();
        },
        [&] { EditCurrentAgain(); });
}

void TFormAction::EditorClosing()
{
    TDataModuleMain &data = Data();
    data.UnfilterDecisions();
    data.UnfilterStatements();
    Actions()->Cancel();
    RestoreFollowedUpChain();
}

void TFormAction::RestoreFollowedUpChain()
{
    if (!followedUp_)
        return;
    const FollowedUp followed = *followedUp_;
    followedUp_.reset();
    // The number reserved for the cancelled follow-up goes to the next new
    // action, which must not become the followed action's follow-up.
    // The filter of the list may hide the action meanwhile; it is found all
    // the same.
    TTable *actions = Actions();
    const bool filtered = actions->Filtered();
    if (!actions->BookmarkValid(followed.bookmark))
        actions->SetFiltered(false);
    TryFinally(
        [&] {
            if (!actions->BookmarkValid(followed.bookmark))
                return;
            actions->GotoBookmark(followed.bookmark);
            actions->Edit();
            TryFinally([&] { ActionField(QStringLiteral("ID_CHAIN")).SetValue(followed.chain); },
                       [&] { actions->Post(); });
        },
        [&] { actions->SetFiltered(filtered); });
}

void TFormAction::ActionFinishExecute()
{
    const QString today = FormatDate(QDate::currentDate());
    Binder().SetText(kDateStatus, today);
    Binder().SetText(kDateFinished, today);
    Binder().SetText(kStatus, QStringLiteral("Resolved"));
    UpdateDateColours();
    pages_->setCurrentIndex(0);
    Binder().Widget(kSignOff)->setFocus();
    ResolvePending = true;
}

void TFormAction::ActionFollowUpExecute()
{
    // Follow Up posts the pending edits; a date that does not parse would
    // be lost half-way.
    if (!CheckTypedValues())
        return;
    if (Ui().MessageBox(QStringLiteral("Do you want to follow up on this Action with a new one?"),
                        QStringLiteral("Follow up on Action"), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    TDataModuleMain &data = Data();
    const QString idAction = Binder().Text(kIdAction);
    QVariant chain;
    auto group = std::make_shared<THistoryGroup>(
        data.Tables.History(), QStringLiteral("Follow Up Action \"%1\"").arg(idAction.trimmed()));
    TryFinally(
        [&] {
            TryFinally(
                [&] {
                    Binder().Store();
                    chain = ActionField(QStringLiteral("ID_CHAIN")).Value();
                    ActionField(QStringLiteral("ID_CHAIN")).SetAsInteger(data.LastActionId() + 1);
                },
                [&] { Actions()->Post(); });
            followedUp_ = FollowedUp{Actions()->GetBookmark(), chain, group};
            Actions()->Insert();
            ActionField(QStringLiteral("RELATIONS")).SetAsString(idAction);
            data.UnfilterDecisions();
            data.UnfilterStatements();
        },
        [&] {
            SetMode(emNew);
            ResolvePending = false;
            ShowNewMode();
            followUpPanel_->hide();
            Binder().Load();
            UpdateDateColours();
            pages_->setCurrentIndex(0);
            Binder().Widget(kIdAction)->setFocus();
        });
}

void TFormAction::JumpToFollowUp()
{
    TDataModuleMain &data = Data();
    TTable *actions = Actions();
    BusyCursor busy;
    actions->Cancel();
    actions->DisableControls();
    const TBookmark bookmark = actions->GetBookmark();
    TryFinally(
        [&] {
            data.UnfilterLog();
            data.UnfilterDecisions();
            data.UnfilterStatements();
            const int target = ActionField(QStringLiteral("ID_CHAIN")).AsInteger();
            const TField id = ActionField(QStringLiteral("ID"));
            bool found = false;
            for (actions->First(); !actions->Eof(); actions->Next()) {
                if (!id.IsNull() && id.AsInteger() == target) {
                    found = true;
                    break;
                }
            }
            if (found) {
                SetCaption(EditCaption());
                UpdateFollowUpPanel();
            } else {
                Ui().MessageBox(QStringLiteral("Follow Up Action not found"), QStringLiteral("No Follow Up"),
                                MB_OK | MB_ICONERROR);
                actions->GotoBookmark(bookmark);
            }
        },
        [&] {
            data.FilterLogByAction();
            data.FilterDecisionsByAction();
            data.FilterStatementsByAction();
            actions->EnableControls();
            actions->Edit();
            // The edits the jump dropped, or the action it found, are shown.
            Binder().Load();
            UpdateDateColours();
        });
}

void TFormAction::RemoveFollowUp()
{
    if (!CheckTypedValues())
        return;
    followUpPanel_->hide();
    TryFinally(
        [&] {
            Binder().Store();
            ActionField(QStringLiteral("ID_CHAIN"))
                .SetAsInteger(ActionField(QStringLiteral("ID")).AsInteger());
        },
        [&] {
            Actions()->Post();
            EditCurrentAgain();
        });
}

void TFormAction::EditCurrentAgain()
{
    Actions()->Edit();
    // A posted action that left the list's filter is no longer current; the
    // fields must show the record now in edit, or the next save would copy
    // them over it.
    Binder().Load();
    UpdateDateColours();
}

void TFormAction::BeforeStep()
{
    Data().UnfilterDecisions();
    Data().UnfilterStatements();
}

void TFormAction::AfterStep()
{
    Data().FilterDecisionsByAction();
    Data().FilterStatementsByAction();
    UpdateDateColours();
    UpdateFollowUpPanel();
}
