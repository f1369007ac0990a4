#pragma once

#include <QCoreApplication>
#include <QMainWindow>
#include <QStringList>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QTimer;
class QToolButton;
class TActionListWindow;
class TClickableImage;
class TDataModuleMain;
class TFileListBox;

// The program's home window: the list of Action Files of the Workspace and
// the commands that act on them. Every other window is modal above it.
//
// Each command's text() is its menu entry and its iconText() the caption on
// the buttons; both are the same where the menu entry repeats the caption.
class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    // data: where the Action Files this window opens are opened. arguments:
    // the command line, the program first.
    explicit TFormMain(TDataModuleMain &data, const QStringList &arguments = QCoreApplication::arguments(),
                       QWidget *parent = nullptr);
    ~TFormMain() override;

    QAction *ActionNewAction;
    QAction *ActionOpenAction;
    QAction *ActionOpenDravelin;
    QAction *ActionDeleteAction;
    QAction *ActionExit;
    QAction *ActionSettings;
    QAction *ActionAuxiliary;
    QAction *ActionAbout;
    QAction *ActionImportActor;
    QAction *ActionRename;
    QAction *ActionMove;
    QAction *ActionChangeWorkSpace;
    // Shown in the action list window's menu, not in this window's.
    QAction *ActionSaveDravelin;

    // Lists the Workspace (Folders.Actions) again and selects the first entry.
    void RefreshFileList();
    // Full path of the selected entry, "" when the list is empty.
    QString SelectedFile() const;

public Q_SLOTS:
    void ActionNewActionExecute();
    void ActionOpenActionExecute();
    void ActionOpenDravelinExecute();
    void ActionDeleteActionExecute();
    void ActionExitExecute();
    void ActionSettingsExecute();
    void ActionAuxiliaryExecute();
    void ActionAboutExecute();
    void ActionImportActorExecute();
    void ActionRenameExecute();
    void ActionMoveExecute();
    void ActionChangeWorkSpaceExecute();
    void ActionSaveDravelinExecute();
    // Ends the program as Exit does, without questions (on SIGTERM or
    // SIGHUP): closes the open windows, which writes changed tables and
    // Dravelin Files back, then this window, which saves the settings.
    void EndWithoutQuestions();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QAction *CreateAction(const char *name, const QString &caption, const QString &menuEntry,
                          const QString &hint, const QKeySequence &shortcut, const char *icon);
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    QWidget *CreateButtonRow();
    QWidget *CreateBottomStrip();
    void CreateStatusBar();

    void FormShow();
    bool FormCloseQuery();
    void RestoreWindowGeometry();
    void StoreWindowGeometry();
    void ShowBottomPanel(bool show);
    void SetDravelinHint(const QString &hint);
    void OpenCommandLineContainer();
    void OpenListEntry();

    void RzListBoxFileListClick();
    void RzListBoxFileListDblClick();
    void RzToolButtonSelectClick();
    void ImageDravelinClick();
    void TimerClockTimer();

    TDataModuleMain &data_;
    QStringList arguments_;
    // Shows what the open commands open.
    TActionListWindow *actionList_;
    bool shown_ = false;
    bool ending_ = false;

    TFileListBox *RzListBoxFileList;
    QLabel *RzPanelFileInfo;
    QMenu *PopupMenuFileList;
    QToolButton *RzToolButtonShowBottomPanel;
    QToolButton *RzToolButtonSelect;
    QFrame *RzPanelFileBufferBottom;
    QFrame *RzPanelInfo;
    TClickableImage *ImageDravelin;
    QLabel *StatusCapsLock;
    QLabel *StatusNumLock;
    QLabel *StatusClock;
    QTimer *TimerClock;
};
