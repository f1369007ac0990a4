#include "TDecisionsPage.h"

#include "AppIcon.h"
#include "TFormDecision.h"
#include "TTableModel.h"
#include "TTitleSort.h"
#include "UiServices.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

TDecisionsPage::TDecisionsPage(TDataModuleMain &data, const TDecisionKind &kind, QWidget *window,
                               TEditorServices *services)
    : QWidget(window), data_(data), kind_(kind), window_(window), services_(services)
{
    setObjectName(QStringLiteral("TabSheet") + kind.noun + QStringLiteral("s"));
    TTable *table = kind.Table(data);

    Grid = new QTableView(this);
    Grid->setObjectName(QStringLiteral("RzDBGrid") + kind.noun + QStringLiteral("s"));
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid->setSortingEnabled(false);
    Grid->verticalHeader()->hide();
    Grid->horizontalHeader()->setHighlightSections(false);
    Grid->horizontalHeader()->setStretchLastSection(true);
    model_ = new TTableModel(table, kind.columns, this);
    model_->SetBoldTitles(true);
    model_->BindView(Grid);

    // A new window starts at the first column, descending: the order the
    // table set gives both tables when it opens.
    sort_ = new TTitleSort(TTitleSort::FieldsOf(kind.columns), false, this);
    sort_->Attach(Grid, model_);

    ActionNew =
        NewCommand(kind.newName, QStringLiteral("New"), QStringLiteral("Create a new %1").arg(kind.noun));
    ActionNew->setIcon(AppIcon(QStringLiteral("document-new")));
    ActionNew->setShortcut(kind.newShortcut);
    ActionEdit = NewCommand(kind.editName, QStringLiteral("Edit"),
                            QStringLiteral("Edit the currently selected %1").arg(kind.noun));
    ActionEdit->setIcon(AppIcon(QStringLiteral("document-edit")));
    ActionEdit->setShortcuts(kind.editShortcuts);
    ActionDelete = NewCommand(kind.deleteName, QStringLiteral("Delete"),
                              QStringLiteral("Delete the currently selected %1").arg(kind.noun));
    ActionDelete->setIcon(AppIcon(QStringLiteral("edit-delete")));
    ActionDelete->setShortcut(kind.deleteShortcut);
    connect(ActionNew, &QAction::triggered, this, [this] { NewRecord(); });
    connect(ActionEdit, &QAction::triggered, this, [this] { EditRecord(); });
    connect(ActionDelete, &QAction::triggered, this, [this] { DeleteRecord(); });
    connect(Grid, &QAbstractItemView::doubleClicked, ActionEdit, &QAction::trigger);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Grid, 1);
    layout->addWidget(CreateNavigator());
}

QAction *TDecisionsPage::NewCommand(const char *name, const QString &caption, const QString &hint)
{
    auto *action = new QAction(caption, window_);
    action->setObjectName(QLatin1String(name));
    action->setToolTip(hint);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setEnabled(false);
    // The shortcuts work wherever the focus is in the window.
    window_->addAction(action);
    return action;
}

QWidget *TDecisionsPage::CreateNavigator()
{
    auto *navigator = new QWidget(this);
    navigator->setObjectName(QStringLiteral("Navigator") + kind_.noun + QStringLiteral("s"));
    auto *row = new QHBoxLayout(navigator);
    row->setContentsMargins(0, 0, 0, 0);
    TTable *table = kind_.Table(data_);
    const struct {
        const char *name;
        const char *where;
        const char *icon;
        void (TTable::*move)();
    } buttons[] = {{"First", "First", "go-first", &TTable::First},
                   {"Prior", "Previous", "go-previous", &TTable::Prior},
                   {"Next", "Next", "go-next", &TTable::Next},
                   {"Last", "Last", "go-last", &TTable::Last}};
    for (const auto &button : buttons) {
        auto *tool = new QToolButton(navigator);
        tool->setObjectName(QStringLiteral("Navigator") + QLatin1String(button.name));
        tool->setIcon(AppIcon(QLatin1String(button.icon)));
        tool->setToolTip(QStringLiteral("Go to the %1 %2").arg(QLatin1String(button.where), kind_.noun));
        const auto move = button.move;
        connect(tool, &QToolButton::clicked, this, [table, move] {
            if (table->Active())
                (table->*move)();
        });
        row->addWidget(tool);
    }
    row->addStretch();
    return navigator;
}

void TDecisionsPage::SetCommandsEnabled(bool enabled)
{
    ActionNew->setEnabled(enabled);
    ActionEdit->setEnabled(enabled);
    ActionDelete->setEnabled(enabled);
}

void TDecisionsPage::NewRecord()
{
    kind_.Table(data_)->Insert();
    ShowDecisionEditor(data_, kind_, emNew, window_, services_);
}

void TDecisionsPage::EditRecord()
{
    TTable *table = kind_.Table(data_);
    if (table->RecordCount() == 0)
        return;
    table->Edit();
    ShowDecisionEditor(data_, kind_, emEdit, window_, services_);
}

void TDecisionsPage::DeleteRecord()
{
    TTable *table = kind_.Table(data_);
    if (table->RecordCount() < 1)
        return;
    const QString synopsis = table->FieldByName(QStringLiteral("SYNOPSIS")).AsString().trimmed();
    if (Ui().MessageBox(QStringLiteral("Do you really want to remove %1 \"%2\"?").arg(kind_.noun, synopsis),
                        QStringLiteral("Remove %1").arg(kind_.noun),
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
        table->Delete();
}
