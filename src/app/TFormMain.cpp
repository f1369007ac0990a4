#include "TFormMain.h"

#include "ActionFileList.h"
#include "AppIcon.h"
#include "FileCommands.h"
#include "Formats.h"
#include "KeyLockState.h"
#include "MainWidgets.h"
#include "OpenCommands.h"
#include "ProductInfo.h"
#include "ScopeGuards.h"
#include "Startup.h"
#include "TDataModuleMain.h"
#include "TFormAbout.h"
#include "TFormActions.h"
#include "TFormSettings.h"
#include "TSettings.h"
#include "ToolBars.h"
#include "UiServices.h"
#include "WindowActions.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

TFormMain::TFormMain(TDataModuleMain &data, const QStringList &arguments, QWidget *parent)
    : QMainWindow(parent), data_(data), arguments_(arguments)
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(ProductName());
    setWindowIcon(QIcon(DravelinPicture(QSize(64, 64))));
    resize(840, 600);

    CreateActions();
    CreateMenus();
    CreateToolBar();

    auto *client = new QWidget(this);
    auto *layout = new QVBoxLayout(client);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(CreateButtonRow());

    RzPanelFileInfo = new QLabel(QStringLiteral("Available Action Files"), client);
    RzPanelFileInfo->setObjectName(QStringLiteral("RzPanelFileInfo"));
    RzPanelFileInfo->setFrameShape(QFrame::StyledPanel);
    RzPanelFileInfo->setMargin(4);
    QFont headingFont = RzPanelFileInfo->font();
    headingFont.setBold(true);
    RzPanelFileInfo->setFont(headingFont);
    layout->addWidget(RzPanelFileInfo);

    RzListBoxFileList = new TFileListBox(client);
    RzListBoxFileList->setObjectName(QStringLiteral("RzListBoxFileList"));
    RzListBoxFileList->setSelectionMode(QAbstractItemView::SingleSelection);
    RzListBoxFileList->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(RzListBoxFileList, 1);
    connect(RzListBoxFileList, &QListWidget::itemClicked, this, &TFormMain::RzListBoxFileListClick);
    connect(RzListBoxFileList, &TFileListBox::KeyboardSelectionChanged, this,
            &TFormMain::RzListBoxFileListClick);
    // Return opens the current entry in either mode, for keyboard users.
    connect(RzListBoxFileList, &TFileListBox::EntryConfirmed, this, &TFormMain::OpenListEntry);
    connect(RzListBoxFileList, &QListWidget::itemDoubleClicked, this, &TFormMain::RzListBoxFileListDblClick);
    connect(RzListBoxFileList, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        PopupMenuFileList->popup(RzListBoxFileList->viewport()->mapToGlobal(at));
    });

    layout->addWidget(CreateBottomStrip());
    setCentralWidget(client);
    CreateStatusBar();

    // Opening from the list follows the "Select" toggle, which starts down.
    RzToolButtonSelectClick();

    actionList_ = new TActionListWindow(this);
    connect(actionList_, &TActionListWindow::AboutRequested, this, &TFormMain::ActionAboutExecute);
}

TFormMain::~TFormMain() = default;

QAction *TFormMain::CreateAction(const char *name, const QString &caption, const QString &menuEntry,
                                 const QString &hint, const QKeySequence &shortcut, const char *icon)
{
    QAction *action = NewWindowAction(this, name, caption, menuEntry, hint, {shortcut});
    action->setIcon(AppIcon(QLatin1String(icon)));
    return action;
}

void TFormMain::CreateActions()
{
    const QString product = ProductName();
    ActionNewAction =
        CreateAction("ActionNewAction", QStringLiteral("New"), QStringLiteral("New Action File"),
                     QStringLiteral("Create a new Action File and open it"),
                     QKeySequence(Qt::CTRL | Qt::Key_N), "document-new");
    ActionOpenAction = CreateAction(
        "ActionOpenAction", QStringLiteral("Open"), QStringLiteral("Open Action File"),
        QStringLiteral("Open an existing Action File"), QKeySequence(Qt::CTRL | Qt::Key_O), "document-open");
    ActionOpenDravelin =
        CreateAction("ActionOpenDravelin", QStringLiteral("Open"), QStringLiteral("Open Dravelin File"),
                     QStringLiteral("Open an existing Dravelin File"), QKeySequence(Qt::ALT | Qt::Key_O),
                     "document-import");
    ActionDeleteAction = CreateAction(
        "ActionDeleteAction", QStringLiteral("Delete"), QStringLiteral("Delete Action File"),
        QStringLiteral("Remove the currently selected Action File"), QKeySequence(), "edit-delete");
    ActionExit = CreateAction("ActionExit", QStringLiteral("Exit"), QStringLiteral("Exit Dravelin"),
                              QStringLiteral("Exit ") + product, QKeySequence(Qt::ALT | Qt::Key_X),
                              "application-exit");
    ActionSettings =
        CreateAction("ActionSettings", QStringLiteral("Settings"), QStringLiteral("Global Settings"),
                     QStringLiteral("Manage the global Settings of ") + product, QKeySequence(), "configure");
    ActionAuxiliary =
        CreateAction("ActionAuxiliary", QStringLiteral("Auxiliary"), QStringLiteral("Auxiliary Folder"),
                     QStringLiteral("Open the Folder for Auxiliary Files"), QKeySequence(), "folder");
    ActionAbout = CreateAction("ActionAbout", QStringLiteral("About"), QStringLiteral("About Dravelin"),
                               QStringLiteral("About ") + product, QKeySequence(Qt::Key_F1), "help-about");
    const QString importCaption = QStringLiteral("Copy Contacts from another Action File");
    ActionImportActor = CreateAction(
        "ActionImportActor", importCaption, importCaption,
        QStringLiteral("Copy Contacts from another Action File into the currently selected Action File"),
        QKeySequence(), "x-office-address-book");
    const QString renameCaption = QStringLiteral("Rename the selected Action File");
    // F2 renames, as in the desktop's file managers.
    ActionRename = CreateAction("ActionRename", renameCaption, renameCaption, renameCaption,
                                QKeySequence(Qt::Key_F2), "edit-rename");
    const QString moveCaption = QStringLiteral("Move the selected Action File");
    ActionMove = CreateAction("ActionMove", moveCaption, moveCaption, moveCaption, QKeySequence(), "go-jump");
    const QString workspaceCaption = QStringLiteral("Change the current Workspace");
    ActionChangeWorkSpace = CreateAction("ActionChangeWorkSpace", workspaceCaption, workspaceCaption,
                                         workspaceCaption, QKeySequence(), "go-home");
    const QString saveCaption = QStringLiteral("Save as Dravelin File");
    ActionSaveDravelin = CreateAction("ActionSaveDravelin", saveCaption, saveCaption,
                                      QStringLiteral("Save the current Action File as a Dravelin File"),
                                      QKeySequence(Qt::ALT | Qt::Key_S), "document-save-as");

    connect(ActionNewAction, &QAction::triggered, this, &TFormMain::ActionNewActionExecute);
    connect(ActionOpenAction, &QAction::triggered, this, &TFormMain::ActionOpenActionExecute);
    connect(ActionOpenDravelin, &QAction::triggered, this, &TFormMain::ActionOpenDravelinExecute);
    connect(ActionDeleteAction, &QAction::triggered, this, &TFormMain::ActionDeleteActionExecute);
    connect(ActionExit, &QAction::triggered, this, &TFormMain::ActionExitExecute);
    connect(ActionSettings, &QAction::triggered, this, &TFormMain::ActionSettingsExecute);
    connect(ActionAuxiliary, &QAction::triggered, this, &TFormMain::ActionAuxiliaryExecute);
    connect(ActionAbout, &QAction::triggered, this, &TFormMain::ActionAboutExecute);
    connect(ActionImportActor, &QAction::triggered, this, &TFormMain::ActionImportActorExecute);
    connect(ActionRename, &QAction::triggered, this, &TFormMain::ActionRenameExecute);
    connect(ActionMove, &QAction::triggered, this, &TFormMain::ActionMoveExecute);
    connect(ActionChangeWorkSpace, &QAction::triggered, this, &TFormMain::ActionChangeWorkSpaceExecute);
    connect(ActionSaveDravelin, &QAction::triggered, this, &TFormMain::ActionSaveDravelinExecute);
}

void TFormMain::CreateMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("MenuFile"));
    file->addAction(ActionNewAction);
    file->addSeparator();
    file->addAction(ActionOpenAction);
    file->addAction(ActionOpenDravelin);
    file->addSeparator();
    file->addAction(ActionDeleteAction);
    // The commands of the file list's context menu, so that none is
    // reachable by the right mouse button only.
    file->addAction(ActionRename);
    file->addAction(ActionMove);
    file->addSeparator();
    file->addAction(ActionImportActor);
    file->addSeparator();
    file->addAction(ActionChangeWorkSpace);
    file->addSeparator();
    file->addAction(ActionExit);

    QMenu *tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("MenuTools"));
    tools->addAction(ActionSettings);
    tools->addAction(ActionAuxiliary);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("MenuHelp"));
    help->addAction(ActionAbout);

    PopupMenuFileList = new QMenu(this);
    PopupMenuFileList->setObjectName(QStringLiteral("PopupMenuFileList"));
    PopupMenuFileList->addAction(ActionImportActor);
    PopupMenuFileList->addSeparator();
    PopupMenuFileList->addAction(ActionRename);
    PopupMenuFileList->addAction(ActionMove);
    PopupMenuFileList->addSeparator();
    PopupMenuFileList->addAction(ActionChangeWorkSpace);
}

void TFormMain::CreateToolBar()
{
    QToolBar *toolBar = addToolBar(QStringLiteral("Toolbar"));
    toolBar->setObjectName(QStringLiteral("RzToolbarMain"));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar->setIconSize(QSize(24, 24));
    toolBar->addAction(ActionNewAction);
    toolBar->addAction(ActionOpenAction);
    toolBar->addAction(ActionOpenDravelin);
    toolBar->addAction(ActionDeleteAction);
    toolBar->addSeparator();
    toolBar->addAction(ActionSettings);
    toolBar->addSeparator();

    auto makeToggle = [&](const char *name, const QString &caption, const QString &hint, const char *icon) {
        auto *button = new QToolButton(toolBar);
        button->setObjectName(QString::fromLatin1(name));
        button->setText(caption);
        button->setToolTip(hint);
        button->setStatusTip(hint);
        button->setIcon(AppIcon(QLatin1String(icon)));
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        toolBar->addWidget(button);
        return button;
    };
    RzToolButtonShowBottomPanel =
        makeToggle("RzToolButtonShowBottomPanel", QStringLiteral("Panel"),
                   QStringLiteral("Show or hide the Bottom Panel"), "view-split-top-bottom");
    RzToolButtonSelect =
        makeToggle("RzToolButtonSelect", QStringLiteral("Select"),
                   QStringLiteral("Select an Action File with a single Mouse Click"), "input-mouse");
    RzToolButtonSelect->setChecked(true);
    connect(RzToolButtonShowBottomPanel, &QToolButton::toggled, this, &TFormMain::ShowBottomPanel);
    connect(RzToolButtonSelect, &QToolButton::toggled, this, &TFormMain::RzToolButtonSelectClick);

    toolBar->addSeparator();
    toolBar->addAction(ActionAuxiliary);
    toolBar->addAction(ActionAbout);
    toolBar->addAction(ActionExit);
    KeepToolBarWhole(toolBar);
}

QWidget *TFormMain::CreateButtonRow()
{
    auto *row = new QFrame(this);
    row->setObjectName(QStringLiteral("RzPanelButtons"));
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);

    // Large buttons repeat four commands; they follow the command's
    // availability but keep hints of their own.
    auto addButton = [&](const char *name, QAction *action, const QString &hint) {
        auto *button = new QToolButton(row);
        button->setObjectName(QString::fromLatin1(name));
        button->setText(action->iconText());
        button->setIcon(action->icon());
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setMinimumWidth(120);
        button->setToolTip(hint);
        button->setStatusTip(hint);
        button->setEnabled(action->isEnabled());
        connect(button, &QToolButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, button,
                [button, action] { button->setEnabled(action->isEnabled()); });
        layout->addWidget(button);
    };
    addButton("RzBitBtnNew", ActionNewAction, QStringLiteral("Create a new action file"));
    addButton("RzBitBtnOpen", ActionOpenAction, ActionOpenAction->statusTip());
    addButton("RzBitBtnSettings", ActionSettings, ActionSettings->statusTip());
    addButton("RzBitBtnExit", ActionExit, ActionExit->statusTip());
    layout->addStretch(1);
    return row;
}

QWidget *TFormMain::CreateBottomStrip()
{
    auto *strip = new QWidget(this);
    auto *layout = new QVBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    RzPanelFileBufferBottom = new QFrame(strip);
    RzPanelFileBufferBottom->setObjectName(QStringLiteral("RzPanelFileBufferBottom"));
    RzPanelFileBufferBottom->setFixedHeight(4);
    layout->addWidget(RzPanelFileBufferBottom);

    RzPanelInfo = new QFrame(strip);
    RzPanelInfo->setObjectName(QStringLiteral("RzPanelInfo"));
    RzPanelInfo->setFrameShape(QFrame::StyledPanel);
    auto *info = new QHBoxLayout(RzPanelInfo);
    info->setContentsMargins(6, 6, 6, 6);

    auto *product = new QLabel(RzPanelInfo);
    product->setObjectName(QStringLiteral("ImageProduct"));
    product->setPixmap(DravelinPicture(QSize(48, 48)));
    info->addWidget(product);
    auto *name = NewProductNameLabel(RzPanelInfo, 1.3);
    info->addWidget(name);
    info->addStretch(1);

    ImageDravelin = new TClickableImage(RzPanelInfo);
    ImageDravelin->setObjectName(QStringLiteral("ImageDravelin"));
    ImageDravelin->setPixmap(DravelinPicture(QSize(160, 48)));
    ImageDravelin->setCursor(Qt::PointingHandCursor);
    connect(ImageDravelin, &TClickableImage::Clicked, this, &TFormMain::ImageDravelinClick);
    info->addWidget(ImageDravelin);

    layout->addWidget(RzPanelInfo);
    return strip;
}

void TFormMain::CreateStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("RzStatusBar"));
    auto makePane = [&](const char *name, int width) {
        auto *pane = new QLabel(bar);
        pane->setObjectName(QString::fromLatin1(name));
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(width);
        bar->addPermanentWidget(pane);
        return pane;
    };
    StatusCapsLock = makePane("StatusCapsLock", 48);
    StatusNumLock = makePane("StatusNumLock", 48);
    StatusClock = makePane("StatusClock", 150);

    TimerClock = new QTimer(this);
    TimerClock->setObjectName(QStringLiteral("TimerClock"));
    TimerClock->setInterval(1000);
    connect(TimerClock, &QTimer::timeout, this, &TFormMain::TimerClockTimer);
    TimerClock->start();
    TimerClockTimer();
}

void TFormMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    FormShow();
}

void TFormMain::FormShow()
{
    TSettings &settings = Settings();
    settings.Load();
    RunFirstRunStep(ProgramLocation().OnboardMarker(),
                    {settings.Folders.Actions, settings.Folders.Dravelin, settings.Folders.Auxiliary});
    if (settings.General.SaveLastWindowSettings)
        RestoreWindowGeometry();
    RzToolButtonShowBottomPanel->setChecked(settings.General.ShowBottomPanel);
    SetDravelinHint(settings.General.DravelinHint);
    ShowBottomPanel(RzToolButtonShowBottomPanel->isChecked());
    RefreshFileList();
    // Changes a run that ended left unwritten go into their Dravelin Files
    // first, the one named on the command line among them.
    OfferRecovery();
    OpenCommandLineContainer();
}

void TFormMain::RestoreWindowGeometry()
{
    const auto &last = Settings().LastWindow;
    move(last.Left, last.Top);
    // A size of zero or less would leave an invisible window; keep the
    // current size then.
    if (last.Width > 0 && last.Height > 0)
        resize(last.Width, last.Height);
}

void TFormMain::StoreWindowGeometry()
{
    auto &last = Settings().LastWindow;
    last.Top = y();
    last.Left = x();
    last.Height = height();
    last.Width = width();
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    // Refused until the close query has run to its end, so a question
    // answered No, or an error while saving, leaves the window open.
    event->ignore();
    if (FormCloseQuery())
        event->accept();
}

void TFormMain::EndWithoutQuestions()
{
    // A second signal runs it again: a window opened meanwhile closes too.
    ending_ = true;
    // The modal windows close from the top down; each one's own closing
    // does its work (an editor drops its unsaved edits, the action list
    // writes the tables and the Dravelin File is written back when its
    // window's loop has ended). An error there must not stop the end.
    while (QPointer<QWidget> modal = QApplication::activeModalWidget()) {
        try {
            if (auto *actions = qobject_cast<TFormActions *>(modal))
                actions->CloseWithoutQuestions();
            else if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        } catch (...) {
        }
        if (modal && modal->isVisible())
            modal->hide();
    }
    try {
        close();
    } catch (...) {
    }
    // Ends even when the settings could not be written.
    QCoreApplication::quit();
}

bool TFormMain::FormCloseQuery()
{
    const QString product = ProductName();
    if (!ending_ && Settings().General.ConfirmOnExit &&
        Ui().MessageBox(QStringLiteral("Would you really like to shut down ") + product + QLatin1Char('?'),
                        QStringLiteral("Close ") + product, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    BusyCursor busy;
    StoreWindowGeometry();
    if (Settings().General.SaveSettings) {
        try {
            Settings().Save();
        } catch (...) {
            // The program ends all the same; a message could wait forever.
            if (!ending_)
                throw;
        }
    }
    return true;
}

void TFormMain::RefreshFileList()
{
    BusyCursor busy;
    const QString workspace = Settings().Folders.Actions;
    RzListBoxFileList->clear();
    RzListBoxFileList->addItems(ListActionFiles(workspace));
    if (RzListBoxFileList->count() > 0)
        RzListBoxFileList->setCurrentRow(0);
    RzListBoxFileList->update();
    RzListBoxFileList->setFocus();
    RzPanelFileInfo->setText(FileListHeading(workspace));
    RzListBoxFileList->SetEmptyHint(
        QStringLiteral("There is no Action File in the Workspace yet.\n\n"
                       "New (%1) creates one here; Open (%2) opens one from another folder; "
                       "Open Dravelin File (%3) opens one you received.\n\n"
                       "The Workspace is the folder \"%4\"; the list's context menu changes it.")
            .arg(ActionNewAction->shortcut().toString(QKeySequence::NativeText),
                 ActionOpenAction->shortcut().toString(QKeySequence::NativeText),
                 ActionOpenDravelin->shortcut().toString(QKeySequence::NativeText),
                 QDir::toNativeSeparators(workspace)));
}

QString TFormMain::SelectedFile() const
{
    const QListWidgetItem *item = RzListBoxFileList->currentItem();
    return item ? item->text() : QString();
}

void TFormMain::ShowBottomPanel(bool show)
{
    RzPanelFileBufferBottom->setVisible(show);
    RzPanelInfo->setVisible(show);
}

void TFormMain::SetDravelinHint(const QString &hint)
{
    ImageDravelin->setToolTip(hint);
    ImageDravelin->setStatusTip(hint);
}

void TFormMain::OpenCommandLineContainer()
{
    const QString container = CommandLineContainer(arguments_);
    if (container.isEmpty())
        return;
    if (OpenDravelinFile(data_, *actionList_, container))
        RefreshFileList();
}

void TFormMain::OpenListEntry()
{
    const QString path = SelectedFile();
    if (path.isEmpty())
        return;
    if (OpenActionFile(data_, *actionList_, path, false))
        RefreshFileList();
}

void TFormMain::RzListBoxFileListClick()
{
    if (RzToolButtonSelect->isChecked() && RzListBoxFileList->count() > 0)
        OpenListEntry();
}

void TFormMain::RzListBoxFileListDblClick()
{
    if (!RzToolButtonSelect->isChecked())
        OpenListEntry();
}

void TFormMain::RzToolButtonSelectClick()
{
    if (RzToolButtonSelect->isChecked())
        RzListBoxFileList->viewport()->setCursor(Qt::PointingHandCursor);
    else
        RzListBoxFileList->viewport()->unsetCursor();
}

void TFormMain::ImageDravelinClick()
{
    const QString url = Settings().General.DravelinURL;
    if (!url.isEmpty())
        Ui().ShellOpen(url);
}

void TFormMain::TimerClockTimer()
{
    StatusClock->setText(FormatDateTime(QDateTime::currentDateTime()));
    StatusCapsLock->setText(LockKeyIndicator(LockKey::Caps));
    StatusNumLock->setText(LockKeyIndicator(LockKey::Num));
}

void TFormMain::ActionNewActionExecute()
{
    if (NewActionFileCommand(data_, *actionList_, Settings().Folders.Actions))
        RefreshFileList();
}

void TFormMain::ActionOpenActionExecute()
{
    if (OpenActionFileCommand(data_, *actionList_, Settings().Folders.Actions))
        RefreshFileList();
}

void TFormMain::ActionOpenDravelinExecute()
{
    if (OpenDravelinFileCommand(data_, *actionList_))
        RefreshFileList();
}

void TFormMain::ActionDeleteActionExecute()
{
    // The list shows what is left on disk also when the deletion failed
    // half-way; answering No leaves the list and its selection alone.
    bool deleted = false;
    UndoOnError([&] { deleted = DeleteActionFileCommand(data_, SelectedFile()); },
                [&] { RefreshFileList(); });
    if (deleted)
        RefreshFileList();
}

void TFormMain::ActionExitExecute()
{
    close();
}

void TFormMain::ActionSettingsExecute()
{
    TFormSettings form(this);
    const bool accepted = Ui().ExecModal(&form) == QDialog::Accepted;
    SetDravelinHint(Settings().General.DravelinHint);
    if (accepted && form.WorkspaceChanged())
        RefreshFileList();
}

void TFormMain::ActionAuxiliaryExecute()
{
    const QString folder = Settings().Folders.Auxiliary;
    if (!folder.isEmpty())
        Ui().ShellOpen(folder);
}

void TFormMain::ActionAboutExecute()
{
    TFormAbout form(this);
    Ui().ExecModal(&form);
}

void TFormMain::ActionImportActorExecute()
{
    ImportActorCommand(Settings().Folders.Actions, SelectedFile());
}

void TFormMain::ActionRenameExecute()
{
    if (RenameActionFileCommand(SelectedFile()))
        RefreshFileList();
}

void TFormMain::ActionMoveExecute()
{
    if (MoveActionFileCommand(Settings().Folders.Actions, SelectedFile()))
        RefreshFileList();
}

void TFormMain::ActionChangeWorkSpaceExecute()
{
    if (ChangeWorkspaceCommand(Settings().Folders.Actions))
        RefreshFileList();
    RzListBoxFileList->setFocus();
}

void TFormMain::ActionSaveDravelinExecute()
{
    // Nothing is open while this window takes commands: the command says so.
    SaveAsDravelinFileCommand(data_, false);
}
