#include "TFormActions.h"

#include "ActionFileOpen.h"
#include "ActionGrid.h"
#include "ActionListColumns.h"
#include "ActionListEditors.h"
#include "ActionListOps.h"
#include "ActionRules.h"
#include "ActionSearch.h"
#include "AppIcon.h"
#include "ContainerCommands.h"
#include "Formats.h"
#include "MergeDravelinFile.h"
#include "QtColors.h"
#include "SaveAsActionFile.h"
#include "ScopeGuards.h"
#include "SynchroniseCommand.h"
#include "TFormDigest.h"
#include "TFormPrintColumns.h"
#include "TFormSyncSettings.h"
#include "TSettings.h"
#include "ToolBars.h"
#include "UiServices.h"
#include "WindowActions.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <tuple>

namespace {

QString Rgb(const TRgb &color)
{
    return ToQColor(color).name(QColor::HexRgb);
}

QTableView *CreateGrid(const char *name, QWidget *parent)
{
    auto *grid = new QTableView(parent);
    grid->setObjectName(QLatin1String(name));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setSortingEnabled(false);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setSectionsMovable(true);
    grid->horizontalHeader()->setSectionsClickable(true);
    grid->horizontalHeader()->setHighlightSections(false);
    return grid;
}

void ShowStatus(QLabel *panel, const TStatusIndicator &indicator)
{
    panel->setVisible(indicator.visible);
    panel->setText(indicator.text);
    panel->setToolTip(indicator.hint);
    if (indicator.visible)
        panel->setStyleSheet(QStringLiteral("QLabel { background-color: %1; color: %2; font-weight: bold; "
                                            "border: 1px solid gray; }")
                                 .arg(Rgb(indicator.background), Rgb(indicator.textColor)));
}

QLabel *CreateStatusPanel(const char *name, QWidget *parent)
{
    auto *panel = new QLabel(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setAlignment(Qt::AlignCenter);
    panel->setFixedSize(36, 24);
    panel->hide();
    return panel;
}

// The colours of a row of the actions grid, by the action rules.
TRowColors ListRowColors(TTable &table, int row, bool selected)
{
    const auto value = [&](const char *field) {
        return table.ValueAt(row, table.FieldIndex(QLatin1String(field)));
    };
    return ActionRowColors(value("DATE_FINISHED").toDate(), value("STATUS").toString(),
                           value("DATE_DUE").toDate(), Settings().Actions.DueDateIndicator,
                           QDate::currentDate(), selected);
}

} // namespace

TFormActions::TFormActions(TDataModuleMain &data, bool fromContainer, bool readOnly, QWidget *parent)
    : QDialog(parent), data_(data), fromContainer_(fromContainer), readOnly_(readOnly)
{
    setObjectName(QStringLiteral("FormActions"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    // The default size, within a small screen.
    QSize size(1000, 640);
    if (const QScreen *shownOn = screen())
        size = size.boundedTo(shownOn->availableGeometry().size() - QSize(24, 48));
    resize(size);

    CreateActions();
    // While the list is open, the filter of cdsActions follows its "Show Mine"
    // mark; the destructor puts the plain filter back.
    data_.cdsActions->OnFilterRecord = [this](TTable &table) {
        return data_.cdsActionsFilterRecord(table, MenuItemMine->isChecked());
    };
    CreateGrids();
    CreateMenu();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    CreateMenuBar();
    layout->setMenuBar(MenuBar);
    CreateToolBar();
    layout->addWidget(ToolBar);

    auto *body = new QHBoxLayout;
    body->setContentsMargins(4, 4, 4, 4);
    body->addWidget(CreateSideBar());
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(RzDBGridActions);
    splitter->addWidget(RzDBGridLog);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    body->addWidget(splitter, 1);
    layout->addLayout(body, 1);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    FilterPanel = new QLabel(StatusBar);
    FilterPanel->setObjectName(QStringLiteral("FilterPanel"));
    // Clear of the window's edge.
    FilterPanel->setContentsMargins(4, 0, 8, 0);
    StatusBar->addPermanentWidget(FilterPanel);
    layout->addWidget(StatusBar);

    // Colour coding is chosen when the window is made; without it the rule
    // is never consulted.
    if (Settings().Actions.ColorCoding) {
        actionsModel_->SetRowColorRule(
            [](TTable &table, int row, bool selected) -> std::optional<TRowColors> {
                return ListRowColors(table, row, selected);
            });
        RzDBGridActions->setItemDelegate(new TRowColorDelegate(RzDBGridActions));
    }
    connect(&data_, &TDataModuleMain::SeverityChanged, this, &TFormActions::ShowSeverity);
    connect(&data_, &TDataModuleMain::ActionStatusChanged, this, &TFormActions::ShowActionStatus);
    connect(&data_, &TDataModuleMain::LogStatusChanged, this, &TFormActions::ShowLogStatus);
    connect(&data_, &TDataModuleMain::DueDateChanged, this, &TFormActions::ShowDueDate);
    // Told once the command that found the damage has ended.
    connect(
        &data_, &TDataModuleMain::TableFileRepaired, this,
        [](const QString &message) {
            Ui().MessageBox(message, QStringLiteral("Damaged File Repaired"), MB_OK | MB_ICONWARNING);
        },
        Qt::QueuedConnection);
    MenuItemSaveasActionFile->setEnabled(fromContainer_);
    connect(&data_, &TDataModuleMain::ChangesCommitted, this, &TFormActions::ShowHistory);
    // A Dravelin File's unpacked copy has no auxiliary folder of its own to
    // keep a synchronisation in, and a read-only file takes no changes.
    for (QAction *action : {ActionSyncSettings, ActionSynchronise})
        action->setEnabled(!fromContainer_ && !readOnly_);

    ShowCaption();
    ShowHistory();
    if (readOnly_)
        DisableChanges();
}

void TFormActions::ShowCaption()
{
    const QString title = data_.cdsAction->Active()
                              ? data_.cdsAction->FieldByName(QStringLiteral("TITLE")).AsString()
                              : QString();
    const QString shown =
        title.trimmed().isEmpty() ? QDir::toNativeSeparators(data_.Tables.FileName()) : title;
    setWindowTitle(QStringLiteral("Actions File \"") + shown + QLatin1Char('"') +
                   (readOnly_ ? QStringLiteral(" [READ ONLY]") : QString()));
}

void TFormActions::DisableChanges()
{
    // Edit and Edit Log stay: they show the record without letting it change.
    for (QAction *action : {ActionNew, ActionDelete, ActionNewLog, ActionDeleteLog, ActionActors,
                            ActionProperties, ActionResolveCurrent, ActionSaveTable,
                            MenuItemSaveasDravelinFile, MenuItemSaveasActionFile, MenuItemMergeDravelinFile})
        action->setEnabled(false);
}

void TFormActions::ShowHistory()
{
    const TChangeHistory &history = data_.Tables.History();
    const bool open = data_.Tables.IsOpen() && !readOnly_;
    for (auto [action, caption, enabled] :
         {std::tuple{ActionUndo, history.UndoCaption(), open && history.CanUndo()},
          std::tuple{ActionRedo, history.RedoCaption(), open && history.CanRedo()}}) {
        action->setText(caption);
        action->setIconText(caption);
        action->setToolTip(caption);
        action->setEnabled(enabled);
    }
}

void TFormActions::ActionUndoExecute()
{
    if (ActionUndo->isEnabled())
        TryFinally([&] { StepHistory(data_, true); }, [&] { ShowHistory(); });
}

void TFormActions::ActionRedoExecute()
{
    if (ActionRedo->isEnabled())
        TryFinally([&] { StepHistory(data_, false); }, [&] { ShowHistory(); });
}

TFormActions::~TFormActions()
{
    QObject::disconnect(logChange_);
    data_.UseDefaultActionsFilter();
}

QAction *TFormActions::CreateAction(const char *name, const QString &caption, const QString &menuCaption,
                                    const QString &hint, const QList<QKeySequence> &shortcuts)
{
    QAction *action = NewWindowAction(this, name, caption, menuCaption, hint, shortcuts);
    addAction(action);
    return action;
}

void TFormActions::CreateActions()
{
    using K = QKeySequence;
    ActionNew = CreateAction("ActionNew", QStringLiteral("New"), QStringLiteral("New Action"),
                             QStringLiteral("Create a new Action"), {K(Qt::Key_F9)});
    ActionEdit = CreateAction("ActionEdit", QStringLiteral("Edit"), QStringLiteral("Edit Action"),
                              QStringLiteral("Edit the currently selected Action"),
                              {K(Qt::CTRL | Qt::Key_Return), K(Qt::CTRL | Qt::Key_Enter)});
    ActionDelete =
        CreateAction("ActionDelete", QStringLiteral("Delete"), QStringLiteral("Delete Action"),
                     QStringLiteral("Delete the currently selected Action"), {K(Qt::CTRL | Qt::Key_Delete)});
    ActionNewLog = CreateAction("ActionNewLog", QStringLiteral("New"), QStringLiteral("New Status Log"),
                                QStringLiteral("Create a new Log Entry"), {K(Qt::CTRL | Qt::Key_F9)});
    ActionEditLog =
        CreateAction("ActionEditLog", QStringLiteral("Edit"), QStringLiteral("Edit Status Log"),
                     QStringLiteral("Edit the currently selected Log Entry"),
                     {K(Qt::SHIFT | Qt::CTRL | Qt::Key_Return), K(Qt::SHIFT | Qt::CTRL | Qt::Key_Enter)});
    ActionDeleteLog =
        CreateAction("ActionDeleteLog", QStringLiteral("Delete"), QStringLiteral("Delete Status Log"),
                     QStringLiteral("Delete the currently selected Log Entry"),
                     {K(Qt::SHIFT | Qt::CTRL | Qt::Key_Delete)});
    ActionActors =
        CreateAction("ActionActors", QStringLiteral("Contacts"), QStringLiteral("Edit Action Contacts"),
                     QStringLiteral("Edit Action Contacts"));
    ActionProperties = CreateAction("ActionProperties", QStringLiteral("Properties"),
                                    QStringLiteral("Edit Action Properties"),
                                    QStringLiteral("Edit the Properties of the current Action File"));
    ActionSearch =
        CreateAction("ActionSearch", QStringLiteral("Search"), QStringLiteral("Search for some Text"),
                     QStringLiteral("Find a particular Text String in the current Action File"),
                     {K(Qt::CTRL | Qt::Key_F)});
    ActionPrintList =
        CreateAction("ActionPrintList", QStringLiteral("List"), QStringLiteral("Print Action List"),
                     QStringLiteral("Print an Action List"), {K(Qt::CTRL | Qt::Key_P)});
    ActionDigest =
        CreateAction("ActionDigest", QStringLiteral("Digest"), QStringLiteral("Print Action Digest"),
                     QStringLiteral("Print an Action Digest"));
    ActionAuxiliary = CreateAction("ActionAuxiliary", QStringLiteral("Auxiliary"),
                                   QStringLiteral("Show Auxiliary Files Folder"),
                                   QStringLiteral("Open the Folder for Auxiliary Files"));
    ActionActionClose = CreateAction("ActionActionClose", QStringLiteral("Close"), QStringLiteral("Close"),
                                     QStringLiteral("Close the currently active Action File"));
    ActionResolveCurrent = CreateAction("ActionResolveCurrent", QStringLiteral("Resolve current Action"),
                                        QStringLiteral("Resolve current Action"),
                                        QStringLiteral("Resolve the selected Action with the current Date"));
    ActionSaveTable = CreateAction(
        "ActionSaveTable", QStringLiteral("Save Actions Table"), QStringLiteral("Save Actions Table"),
        QStringLiteral("Save the Contents of the Actions Table"), {K(Qt::CTRL | Qt::Key_S)});
    ActionRefreshTable = CreateAction("ActionRefreshTable", QStringLiteral("Refresh Actions Table"),
                                      QStringLiteral("Refresh Actions Table"),
                                      QStringLiteral("Refresh the Contents of the Actions Table"));
    ActionSyncSettings =
        CreateAction("ActionSyncSettings", QStringLiteral("Synchronise Settings…"),
                     QStringLiteral("Synchronise Settings…"),
                     QStringLiteral("Choose the CalDAV task list this Action File synchronises with"));
    ActionSynchronise =
        CreateAction("ActionSynchronise", QStringLiteral("Synchronise"), QStringLiteral("Synchronise"),
                     QStringLiteral("Synchronise the Actions with the CalDAV task list"), {K(Qt::Key_F5)});

    MenuItemShowAll = CreateAction("MenuItemShowAll", QStringLiteral("Show ALL Actions"),
                                   QStringLiteral("Show ALL Actions"), QString());
    MenuItemShowOpen = CreateAction("MenuItemShowOpen", QStringLiteral("Show all OPEN Actions"),
                                    QStringLiteral("Show all OPEN Actions"), QString());
    MenuItemShowResolved = CreateAction("MenuItemShowResolved", QStringLiteral("Show all RESOLVED Actions"),
                                        QStringLiteral("Show all RESOLVED Actions"), QString());
    MenuItemMine =
        CreateAction("MenuItemMine", QStringLiteral("Show Mine"), QStringLiteral("Show Mine"), QString());
    MenuItemSaveasDravelinFile =
        CreateAction("MenuItemSaveasDravelinFile", QStringLiteral("Save as Dravelin File"),
                     QStringLiteral("Save as Dravelin File"), QString(), {K(Qt::ALT | Qt::Key_S)});
    MenuItemMergeDravelinFile =
        CreateAction("MenuItemMergeDravelinFile", QStringLiteral("Merge Dravelin File…"),
                     QStringLiteral("Merge Dravelin File…"),
                     QStringLiteral("Merge a returned Dravelin File into this Action File"));
    MenuItemSaveasActionFile = CreateAction("MenuItemSaveasActionFile", QStringLiteral("Save as Action File"),
                                            QStringLiteral("Save as Action File"), QString());
    MenuItemAbout = CreateAction("MenuItemAbout", QStringLiteral("About Dravelin® Ostravine"),
                                 QStringLiteral("About Dravelin® Ostravine"), QString());
    ActionUndo = CreateAction("ActionUndo", QStringLiteral("Undo"), QStringLiteral("Undo"),
                              QStringLiteral("Undo"), {K(Qt::CTRL | Qt::Key_Z)});
    ActionRedo =
        CreateAction("ActionRedo", QStringLiteral("Redo"), QStringLiteral("Redo"), QStringLiteral("Redo"),
                     {K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), K(Qt::CTRL | Qt::Key_Y)});
    for (QAction *item : {MenuItemShowAll, MenuItemShowOpen, MenuItemShowResolved, MenuItemMine})
        item->setCheckable(true);

    connect(ActionNew, &QAction::triggered, this, &TFormActions::ActionNewExecute);
    connect(ActionEdit, &QAction::triggered, this, &TFormActions::ActionEditExecute);
    connect(ActionDelete, &QAction::triggered, this, &TFormActions::ActionDeleteExecute);
    connect(ActionNewLog, &QAction::triggered, this, &TFormActions::ActionNewLogExecute);
    connect(ActionEditLog, &QAction::triggered, this, &TFormActions::ActionEditLogExecute);
    connect(ActionDeleteLog, &QAction::triggered, this, &TFormActions::ActionDeleteLogExecute);
    connect(ActionActors, &QAction::triggered, this, &TFormActions::ActionActorsExecute);
    connect(ActionProperties, &QAction::triggered, this, &TFormActions::ActionPropertiesExecute);
    connect(ActionSearch, &QAction::triggered, this, &TFormActions::ActionSearchExecute);
    connect(ActionPrintList, &QAction::triggered, this, &TFormActions::ActionPrintListExecute);
    connect(ActionDigest, &QAction::triggered, this, &TFormActions::ActionDigestExecute);
    connect(ActionAuxiliary, &QAction::triggered, this, &TFormActions::ActionAuxiliaryExecute);
    connect(ActionActionClose, &QAction::triggered, this, &TFormActions::ActionActionCloseExecute);
    connect(ActionResolveCurrent, &QAction::triggered, this, &TFormActions::ActionResolveCurrentExecute);
    connect(ActionSaveTable, &QAction::triggered, this, &TFormActions::ActionSaveTableExecute);
    connect(ActionRefreshTable, &QAction::triggered, this, &TFormActions::ActionRefreshTableExecute);
    connect(ActionSyncSettings, &QAction::triggered, this,
            [this] { TFormSyncSettings(data_.Tables.FileName(), this).exec(); });
    connect(ActionSynchronise, &QAction::triggered, this, [this] {
        if (data_.Tables.IsOpen() && SynchroniseActionFile(data_, this))
            Reload();
    });
    connect(MenuItemShowAll, &QAction::triggered, this, [this] { ShowWhichAction(TActionFilter::All); });
    connect(MenuItemShowOpen, &QAction::triggered, this, [this] { ShowWhichAction(TActionFilter::Open); });
    connect(MenuItemShowResolved, &QAction::triggered, this,
            [this] { ShowWhichAction(TActionFilter::Resolved); });
    connect(MenuItemMine, &QAction::triggered, this, &TFormActions::MenuItemMineClick);
    connect(MenuItemMine, &QAction::toggled, this, &TFormActions::ShowFilter);

    connect(MenuItemSaveasDravelinFile, &QAction::triggered, this,
            [this] { SaveAsDravelinFileCommand(data_, readOnly_); });
    connect(MenuItemMergeDravelinFile, &QAction::triggered, this,
            [this] { MergeDravelinFileCommand(data_, readOnly_); });
    connect(MenuItemSaveasActionFile, &QAction::triggered, this,
            [this] { SaveAsActionFileCommand(data_, Settings().Folders.Actions); });
    connect(MenuItemAbout, &QAction::triggered, this, &TFormActions::AboutRequested);
    connect(ActionUndo, &QAction::triggered, this, &TFormActions::ActionUndoExecute);
    connect(ActionRedo, &QAction::triggered, this, &TFormActions::ActionRedoExecute);
}

void TFormActions::CreateToolBar()
{
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar->setIconSize(QSize(20, 20));
    // The same pictures as the main window's toolbar, so a command looks the
    // same wherever it appears.
    const QList<std::pair<QAction *, const char *>> icons{{ActionNew, "document-new"},
                                                          {ActionEdit, "document-edit"},
                                                          {ActionDelete, "edit-delete"},
                                                          {ActionNewLog, "document-new"},
                                                          {ActionEditLog, "document-edit"},
                                                          {ActionDeleteLog, "edit-delete"},
                                                          {ActionActors, "x-office-address-book"},
                                                          {ActionProperties, "document-properties"},
                                                          {ActionSearch, "edit-find"},
                                                          {ActionPrintList, "document-print"},
                                                          {ActionDigest, "x-office-document"},
                                                          {ActionAuxiliary, "folder"},
                                                          {ActionActionClose, "window-close"},
                                                          {ActionResolveCurrent, "task-complete"},
                                                          {ActionSaveTable, "document-save"},
                                                          {ActionRefreshTable, "view-refresh"},
                                                          {MenuItemSaveasDravelinFile, "document-save-as"},
                                                          {MenuItemAbout, "help-about"}};
    for (const auto &[action, icon] : icons)
        action->setIcon(AppIcon(QLatin1String(icon)));
    const QList<QList<QAction *>> groups{{ActionNew, ActionEdit, ActionDelete},
                                         {ActionNewLog, ActionEditLog, ActionDeleteLog},
                                         {ActionActors, ActionProperties},
                                         {ActionSearch, ActionPrintList, ActionDigest},
                                         {ActionAuxiliary, ActionActionClose}};
    for (const QList<QAction *> &group : groups) {
        if (!ToolBar->actions().isEmpty())
            ToolBar->addSeparator();
        ToolBar->addActions(group);
    }
    KeepToolBarWhole(ToolBar);
}

void TFormActions::CreateMenu()
{
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    const QList<QList<QAction *>> groups{{ActionNew, ActionEdit, ActionDelete},
                                         {ActionNewLog, ActionEditLog, ActionDeleteLog},
                                         {MenuItemShowAll, MenuItemShowOpen, MenuItemShowResolved},
                                         {MenuItemMine},
                                         {ActionActors, ActionProperties},
                                         {ActionResolveCurrent},
                                         {ActionSearch, ActionPrintList, ActionDigest},
                                         {ActionSaveTable, ActionRefreshTable},
                                         {MenuItemSaveasDravelinFile, MenuItemSaveasActionFile},
                                         {ActionAuxiliary, MenuItemAbout}};
    for (const QList<QAction *> &group : groups) {
        if (!PopupMenu->actions().isEmpty())
            PopupMenu->addSeparator();
        PopupMenu->addActions(group);
    }
    for (QTableView *grid : {RzDBGridActions, RzDBGridLog})
        connect(grid, &QWidget::customContextMenuRequested, this,
                [this, grid](const QPoint &at) { PopupMenu->popup(grid->viewport()->mapToGlobal(at)); });
}

void TFormActions::CreateMenuBar()
{
    MenuBar = new QMenuBar(this);
    MenuBar->setObjectName(QStringLiteral("MenuBar"));
    const auto addMenu = [this](const QString &title, const QList<QList<QAction *>> &groups) {
        QMenu *menu = MenuBar->addMenu(title);
        for (const QList<QAction *> &group : groups) {
            if (!menu->actions().isEmpty())
                menu->addSeparator();
            menu->addActions(group);
        }
    };
    addMenu(
        QStringLiteral("&Action"),
        {{ActionNew, ActionEdit, ActionDelete}, {ActionResolveCurrent}, {ActionActors, ActionProperties}});
    addMenu(QStringLiteral("&Log"), {{ActionNewLog, ActionEditLog, ActionDeleteLog}});
    addMenu(QStringLiteral("&File"), {{ActionSaveTable, ActionRefreshTable},
                                      {ActionSyncSettings, ActionSynchronise},
                                      {MenuItemSaveasDravelinFile, MenuItemSaveasActionFile},
                                      {MenuItemMergeDravelinFile},
                                      {ActionAuxiliary},
                                      {ActionActionClose}});
    addMenu(QStringLiteral("&Edit"), {{ActionUndo, ActionRedo}});
    // The filters are one choice: radio items. A stored filter outside the
    // three leaves all of them unmarked, which the optional exclusion allows.
    auto *filters = new QActionGroup(this);
    filters->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction *item : {MenuItemShowAll, MenuItemShowOpen, MenuItemShowResolved})
        filters->addAction(item);
    addMenu(QStringLiteral("&View"),
            {{MenuItemShowAll, MenuItemShowOpen, MenuItemShowResolved}, {MenuItemMine}});
    addMenu(QStringLiteral("&Reports"), {{ActionSearch}, {ActionPrintList, ActionDigest}});
    addMenu(QStringLiteral("&Help"), {{MenuItemAbout}});
}

void TFormActions::ShowFilter()
{
    QString shown;
    switch (static_cast<TActionFilter>(Settings().Actions.Filter)) {
    case TActionFilter::Open:
        shown = QStringLiteral("open actions");
        break;
    case TActionFilter::Resolved:
        shown = QStringLiteral("resolved actions");
        break;
    default:
        shown = QStringLiteral("all actions");
        break;
    }
    TActionFilterInput input;
    input.filter = Settings().Actions.Filter;
    input.showMine = MenuItemMine->isChecked();
    input.actorHome = data_.HomeActor();
    const int filter = Settings().Actions.Filter;
    const bool known = filter >= int(TActionFilter::All) && filter <= int(TActionFilter::Resolved);
    if (known && FiltersMine(input))
        shown += QStringLiteral(" \u00b7 mine");
    FilterPanel->setText(QStringLiteral("Showing: ") + shown);
}

QWidget *TFormActions::CreateSideBar()
{
    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("PanelSide"));
    auto *layout = new QVBoxLayout(bar);
    layout->setContentsMargins(0, 0, 4, 0);

    ShapeSeverity = new QLabel(bar);
    ShapeSeverity->setObjectName(QStringLiteral("ShapeSeverity"));
    ShapeSeverity->setFixedSize(24, 24);
    ShapeSeverity->hide();
    RzPanelStatus = CreateStatusPanel("RzPanelStatus", bar);
    RzPanelStatusLog = CreateStatusPanel("RzPanelStatusLog", bar);

    const auto navigation = [&](const QString &what, TTable *table) {
        struct Step {
            const char *name;
            const char *icon;
            const char *hint;
            void (TTable::*move)();
        };
        const Step steps[] = {{"First", "go-first", "Go to the First ", &TTable::First},
                              {"Previous", "go-previous", "Go to the Previous ", &TTable::Prior},
                              {"Next", "go-next", "Go to the Next ", &TTable::Next},
                              {"Last", "go-last", "Go to the Last ", &TTable::Last}};
        for (const Step &step : steps) {
            auto *button = new QToolButton(bar);
            button->setObjectName(QStringLiteral("Button") + QLatin1String(step.name) +
                                  QString(what).remove(QLatin1Char(' ')));
            button->setIcon(AppIcon(QLatin1String(step.icon)));
            button->setToolTip(QLatin1String(step.hint) + what);
            button->setFixedWidth(36);
            const auto move = step.move;
            connect(button, &QToolButton::clicked, this, [table, move] {
                if (table->Active())
                    (table->*move)();
            });
            layout->addWidget(button, 0, Qt::AlignHCenter);
        }
    };
    layout->addWidget(ShapeSeverity, 0, Qt::AlignHCenter);
    layout->addWidget(RzPanelStatus, 0, Qt::AlignHCenter);
    navigation(QStringLiteral("Action"), data_.cdsActions);
    layout->addStretch(1);
    layout->addWidget(RzPanelStatusLog, 0, Qt::AlignHCenter);
    navigation(QStringLiteral("Log Entry"), data_.cdsLog);
    return bar;
}

void TFormActions::CreateGrids()
{
    RzDBGridActions = CreateGrid("RzDBGridActions", this);
    actionsModel_ = new TActionsGridModel(data_.cdsActions, this);
    actionsModel_->BindView(RzDBGridActions);
    // A fresh window shows the Attribute column descending, as the table set
    // leaves the actions after opening.
    sort_ = new TTitleSort(TTitleSort::FieldsOf(ActionGridColumns()), false, this);
    sort_->Attach(RzDBGridActions, actionsModel_);
    connect(RzDBGridActions, &QAbstractItemView::doubleClicked, ActionEdit, &QAction::trigger);

    RzDBGridLog = CreateGrid("RzDBGridLog", this);
    logModel_ = new TPlainHintModel(data_.cdsLog, LogGridColumns(), this);
    logModel_->BindView(RzDBGridLog);
    connect(RzDBGridLog->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &TFormActions::RzDBGridLogTitleClick);
    connect(RzDBGridLog, &QAbstractItemView::doubleClicked, ActionEditLog, &QAction::trigger);
}

void TFormActions::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TFormActions::FormShow()
{
    const TSettings::ActionsSection &actions = Settings().Actions;
    if (actions.SaveLastWindowSettings && actions.Width > 0 && actions.Height > 0)
        setGeometry(actions.Left, actions.Top, actions.Width, actions.Height);
    CheckShowItem(actions.Filter);

    data_.ShowSeverity();
    data_.ShowActionStatus();
    data_.ShowDueDate();
    logChange_ =
        connect(data_.cdsLog, &TTable::DataChange, this, [this] { data_.DataSourceLogDataChange(); });
    data_.DataSourceLogDataChange();
    RzDBGridActions->setFocus();
}

void TFormActions::CheckShowItem(int filter)
{
    // A stored value outside the three marks none of them.
    const auto shown = static_cast<TActionFilter>(filter);
    MenuItemShowAll->setChecked(shown == TActionFilter::All);
    MenuItemShowOpen->setChecked(shown == TActionFilter::Open);
    MenuItemShowResolved->setChecked(shown == TActionFilter::Resolved);
    ShowFilter();
}

void TFormActions::ShowSeverity(const TSeverityIndicator &indicator)
{
    ShapeSeverity->setVisible(indicator.visible);
    ShapeSeverity->setToolTip(indicator.hint);
    if (indicator.visible)
        ShapeSeverity->setStyleSheet(
            QStringLiteral("QLabel { background-color: %1; border: 1px solid gray; border-radius: 6px; }")
                .arg(Rgb(indicator.color)));
}

void TFormActions::ShowActionStatus(const TStatusIndicator &indicator)
{
    ShowStatus(RzPanelStatus, indicator);
}

void TFormActions::ShowLogStatus(const TStatusIndicator &indicator)
{
    ShowStatus(RzPanelStatusLog, indicator);
}

void TFormActions::ShowDueDate(const QString &text)
{
    actionsModel_->SetHint(text);
    RzDBGridActions->setToolTip(text);
    StatusBar->showMessage(QLatin1Char(' ') + text);
}

bool TFormActions::HasAction() const
{
    return data_.cdsActions->Active() && data_.cdsActions->RecordCount() > 0;
}

bool TFormActions::HasLogEntry() const
{
    return data_.cdsLog->Active() && data_.cdsLog->RecordCount() > 0;
}

bool TFormActions::HasActionForLog() const
{
    if (HasAction())
        return true;
    Ui().MessageBox(QStringLiteral("You cannot add Logs, when there is still no Action."),
                    QStringLiteral("No current Action"), MB_OK | MB_ICONERROR);
    return false;
}

void TFormActions::Reload()
{
    ReloadActionFile(data_, readOnly_);
}

void TFormActions::ActionNewExecute()
{
    if (readOnly_)
        return;
    if (!data_.Tables.IsOpen())
        return;
    data_.cdsActions->Insert();
    ShowActionEditor(File(), emNew, this);
}

void TFormActions::ActionEditExecute()
{
    if (!HasAction())
        return;
    data_.cdsActions->Edit();
    ShowActionEditor(File(), readOnly_ ? emView : emEdit, this);
    Reload();
}

void TFormActions::ActionDeleteExecute()
{
    if (readOnly_)
        return;
    if (!HasAction())
        return;
    const QString id = data_.cdsActions->FieldByName(QStringLiteral("ID_ACTION")).AsString().trimmed();
    if (Ui().MessageBox(QStringLiteral("Do you really want to remove Action \"") + id + QStringLiteral("\"?"),
                        QStringLiteral("Remove Action"), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    BusyCursor busy;
    TryFinally([&] { DeleteCurrentAction(data_); }, [&] { Reload(); });
}

void TFormActions::ActionNewLogExecute()
{
    if (readOnly_)
        return;
    if (!data_.Tables.IsOpen())
        return;
    if (!HasActionForLog())
        return;
    data_.cdsLog->Insert();
    ShowLogEditor(File(), emNew, this);
}

void TFormActions::ActionEditLogExecute()
{
    if (!data_.Tables.IsOpen() || !HasLogEntry())
        return;
    if (!HasActionForLog())
        return;
    data_.cdsLog->Edit();
    ShowLogEditor(File(), readOnly_ ? emView : emEdit, this);
}

void TFormActions::ActionDeleteLogExecute()
{
    if (readOnly_)
        return;
    if (!HasLogEntry())
        return;
    const QString line = data_.cdsLog->FieldByName(QStringLiteral("STATUS_LINE")).AsString().trimmed();
    if (Ui().MessageBox(
            QStringLiteral("Do you really want to remove Log Entry \"") + line + QStringLiteral("\"?"),
            QStringLiteral("Remove Log Entry"), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
        data_.cdsLog->Delete();
}

void TFormActions::ActionActorsExecute()
{
    if (readOnly_ || !data_.Tables.IsOpen())
        return;
    ShowContactsList(File(), this);
}

void TFormActions::ActionPropertiesExecute()
{
    if (readOnly_ || !data_.Tables.IsOpen())
        return;
    // The title may have changed; when it did not, the caption stays.
    TryFinally([&] { ShowPropertiesEditor(File(), this); }, [&] { ShowCaption(); });
}

void TFormActions::ActionSearchExecute()
{
    if (data_.Tables.IsOpen())
        ::ActionSearch(File(), this, searchText_);
}

void TFormActions::ActionPrintListExecute()
{
    if (data_.cdsActions->RecordCount() == 0)
        return;
    TFormPrintList form(data_, this);
    Ui().ExecModal(&form);
}

void TFormActions::ActionDigestExecute()
{
    if (data_.cdsActions->RecordCount() == 0)
        return;
    TFormDigest digest(TFormDigest::ListMode, data_, this);
    Ui().ExecModal(&digest);
}

void TFormActions::ActionAuxiliaryExecute()
{
    // An Action File without an auxiliary root has no folder to show.
    if (!data_.AuxiliaryFolder.isEmpty())
        Ui().ShellOpen(data_.AuxiliaryFolder);
}

void TFormActions::ActionActionCloseExecute()
{
    reject();
}

void TFormActions::ActionResolveCurrentExecute()
{
    if (readOnly_)
        return;
    if (!HasAction())
        return;
    if (Ui().MessageBox(
            QStringLiteral("Would you like to resolve the selected Action with the current Date?"),
            QStringLiteral("Resolve Action"), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    ResolveCurrentAction(data_, QDate::currentDate());
}

void TFormActions::ActionSaveTableExecute()
{
    if (readOnly_)
        return;
    if (!data_.Tables.IsOpen())
        return;
    SaveActionTables(data_);
    // Only a save that wrote everything says so.
    StatusBar->showMessage(fromContainer_ ? QStringLiteral(" The Dravelin File was saved.")
                                          : QStringLiteral(" The Action File was saved."));
}

void TFormActions::ActionRefreshTableExecute()
{
    Reload();
    RzDBGridActions->setFocus();
}

void TFormActions::ShowWhichAction(TActionFilter chosen)
{
    // A checkable item toggles itself when chosen; the marks follow the
    // setting, not the click.
    const int filter = int(chosen);
    if (filter == Settings().Actions.Filter) {
        CheckShowItem(filter);
        return;
    }
    Settings().Actions.Filter = filter;
    CheckShowItem(filter);
    Reload();
}

void TFormActions::MenuItemMineClick()
{
    // Without a home actor the list is the same either way.
    if (MineApplies(data_.HomeActor()))
        Reload();
}

void TFormActions::RzDBGridLogTitleClick()
{
    Ui().MessageBox(QStringLiteral("The standard (and only) Index available for Logs is \"Date and Time, "
                                   "Descending\""),
                    QStringLiteral("No extra Indexes"), MB_OK | MB_ICONINFORMATION);
}

void TFormActions::done(int result)
{
    if (!closed_) {
        if (!FormCloseQuery())
            return;
        closed_ = true;
    }
    QDialog::done(result);
}

void TFormActions::CloseWithoutQuestions()
{
    askOnClose_ = false;
    UndoOnError([&] { reject(); },
                [&] {
                    closed_ = true;
                    QDialog::done(Rejected);
                });
}

bool TFormActions::FormCloseQuery()
{
    if (askOnClose_ && Settings().Actions.ConfirmOnExit &&
        Ui().MessageBox(QStringLiteral("Would you really like to close this Action File"),
                        QStringLiteral("Close Action File"), MB_YESNO | MB_ICONQUESTION) == IDNO)
        return false;
    // A table that cannot be written keeps the file open and the window
    // with it, so the user can remove the cause and close or save again.
    listChanged_ = CloseActionFile(data_, readOnly_) || listChanged_;
    const QRect frame = geometry();
    TSettings::ActionsSection &actions = Settings().Actions;
    actions.Top = frame.top();
    actions.Left = frame.left();
    actions.Height = frame.height();
    actions.Width = frame.width();
    QObject::disconnect(logChange_);
    return true;
}

TActionListWindow::TActionListWindow(QWidget *parent) : QObject(parent), parent_(parent)
{
}

bool TActionListWindow::ShowActionList(TDataModuleMain &data, bool fromContainer, bool readOnly)
{
    TFormActions form(data, fromContainer, readOnly, parent_);
    connect(&form, &TFormActions::AboutRequested, this, &TActionListWindow::AboutRequested);
    Ui().ExecModal(&form);
    // A window that ended without its close query leaves the set open.
    if (data.Tables.IsOpen())
        return CloseActionFile(data, readOnly) || form.ListChanged();
    return form.ListChanged();
}
