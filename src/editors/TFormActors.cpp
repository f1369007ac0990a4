#include "TFormActors.h"

#include "AppIcon.h"
#include "TDataModuleMain.h"
#include "TFormActor.h"
#include "TFormPrintColumns.h"
#include "TTitleSort.h"
#include "ToolBars.h"
#include "UiServices.h"
#include "WindowActions.h"

#include <QAction>
#include <QHeaderView>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

const QList<TColumn> &ActorGridColumns()
{
    static const QList<TColumn> columns{{"ID", "Contact ID"},           {"COMPANY", "Company"},
                                        {"DEPARTMENT", "Department"},   {"TITLE", "Title"},
                                        {"PREFIX", "Prefix"},           {"FIRST_NAME", "First Name"},
                                        {"INSERTION", "Insertion"},     {"LAST_NAME", "Last Name"},
                                        {"SUFFIX", "Suffix"},           {"GENDER", "Gender"},
                                        {"PHONE_1", "Phone #1"},        {"PHONE_2", "Phone #2"},
                                        {"PHONE_MOBILE", "Cell Phone"}, {"EMAIL_1", "Email Address #1"},
                                        {"EMAIL_2", "Email Address #2"}};
    return columns;
}

TFormActors::TFormActors(TDataModuleMain &data, QWidget *parent)
    : QDialog(parent), data_(data), actors_(data.cdsActor)
{
    setObjectName(QStringLiteral("FormActors"));
    setWindowTitle(QStringLiteral("Edit Action Contacts"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    resize(900, 480);

    ActionNew = CreateAction("ActionNew", QStringLiteral("New"), QStringLiteral("Create a new Contact"),
                             {QKeySequence(Qt::Key_F9)});
    ActionEdit = CreateAction(
        "ActionEdit", QStringLiteral("Edit"), QStringLiteral("Edit the currently selected Contact"),
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    ActionDelete = CreateAction("ActionDelete", QStringLiteral("Delete"),
                                QStringLiteral("Delete the currently selected Contact"),
                                {QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    ActionFirst =
        CreateAction("ActionFirst", QStringLiteral("First"), QStringLiteral("Go to the first Contact"));
    ActionPrior =
        CreateAction("ActionPrior", QStringLiteral("Prior"), QStringLiteral("Go to the previous Contact"));
    ActionNext = CreateAction("ActionNext", QStringLiteral("Next"), QStringLiteral("Go to the next Contact"));
    ActionLast = CreateAction("ActionLast", QStringLiteral("Last"), QStringLiteral("Go to the last Contact"));
    ActionPrint = CreateAction("ActionPrint", QStringLiteral("Print"), QStringLiteral("Print List Actors"));
    ActionClose =
        CreateAction("ActionClose", QStringLiteral("Close"), QStringLiteral("Close the Contacts Screen"));

    const struct {
        QAction *action;
        const char *icon;
    } icons[] = {{ActionNew, "contact-new"}, {ActionEdit, "document-edit"},   {ActionDelete, "edit-delete"},
                 {ActionFirst, "go-first"},  {ActionPrior, "go-previous"},    {ActionNext, "go-next"},
                 {ActionLast, "go-last"},    {ActionPrint, "document-print"}, {ActionClose, "window-close"}};
    for (const auto &[action, icon] : icons)
        action->setIcon(AppIcon(QLatin1String(icon)));

    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar->setIconSize(QSize(20, 20));
    ToolBar->addActions({ActionNew, ActionEdit, ActionDelete});
    ToolBar->addSeparator();
    ToolBar->addActions({ActionFirst, ActionPrior, ActionNext, ActionLast});
    ToolBar->addSeparator();
    ToolBar->addAction(ActionPrint);
    ToolBar->addSeparator();
    ToolBar->addAction(ActionClose);
    KeepToolBarWhole(ToolBar);

    RzDBGridActors = new QTableView(this);
    RzDBGridActors->setObjectName(QStringLiteral("RzDBGridActors"));
    RzDBGridActors->setEditTriggers(QAbstractItemView::NoEditTriggers);
    RzDBGridActors->setSelectionBehavior(QAbstractItemView::SelectRows);
    RzDBGridActors->setSelectionMode(QAbstractItemView::SingleSelection);
    RzDBGridActors->verticalHeader()->setDefaultSectionSize(RzDBGridActors->fontMetrics().height() + 6);
    RzDBGridActors->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    RzDBGridActors->horizontalHeader()->setHighlightSections(false);
    model_ = new TTableModel(actors_, ActorGridColumns(), this);
    model_->SetBoldTitles(true);
    model_->BindView(RzDBGridActors);
    // The list starts in the order its caller sets: Contact ID ascending.
    sort_ = new TTitleSort(TTitleSort::FieldsOf(ActorGridColumns()), true, this);
    sort_->Attach(RzDBGridActors, model_);
    connect(RzDBGridActors, &QAbstractItemView::doubleClicked, ActionEdit, &QAction::trigger);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar);
    layout->addWidget(RzDBGridActors, 1);

    connect(ActionNew, &QAction::triggered, this, &TFormActors::ActionNewExecute);
    connect(ActionEdit, &QAction::triggered, this, &TFormActors::ActionEditExecute);
    connect(ActionDelete, &QAction::triggered, this, &TFormActors::ActionDeleteExecute);
    connect(ActionFirst, &QAction::triggered, this, [this] { actors_->First(); });
    connect(ActionPrior, &QAction::triggered, this, [this] { actors_->Prior(); });
    connect(ActionNext, &QAction::triggered, this, [this] { actors_->Next(); });
    connect(ActionLast, &QAction::triggered, this, [this] { actors_->Last(); });
    connect(ActionPrint, &QAction::triggered, this, &TFormActors::ActionPrintExecute);
    connect(ActionClose, &QAction::triggered, this, &QDialog::reject);
    RzDBGridActors->setFocus();
}

QAction *TFormActors::CreateAction(const char *name, const QString &caption, const QString &hint,
                                   const QList<QKeySequence> &shortcuts)
{
    QAction *action = NewWindowAction(this, name, caption, caption, hint, shortcuts);
    addAction(action);
    return action;
}

void TFormActors::ActionNewExecute()
{
    actors_->Insert();
    TFormActor form(data_, cmNew, this);
    Ui().ExecModal(&form);
}

void TFormActors::ActionPrintExecute()
{
    if (actors_->RecordCount() == 0)
        return;
    TFormPrintActor form(data_, this);
    Ui().ExecModal(&form);
}

void TFormActors::ActionEditExecute()
{
    if (actors_->RecordCount() == 0)
        return;
    actors_->Edit();
    TFormActor form(data_, cmEdit, this);
    Ui().ExecModal(&form);
}

void TFormActors::ActionDeleteExecute()
{
    if (actors_->RecordCount() < 1)
        return;
    const QString id = actors_->FieldByName(QStringLiteral("ID")).AsString().trimmed();
    if (Ui().MessageBox(QStringLiteral("Do you really want to remove Contact \"%1\"?").arg(id),
                        QStringLiteral("Remove Contact"),
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
        actors_->Delete();
}
