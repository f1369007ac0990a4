#pragma once

#include "TActionSort.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QDialog>
#include <QKeySequence>
#include <QMetaObject>

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QTableView;
class QToolBar;
class TActionsGridModel;
class TTableModel;

// The working window of the open Action File: its actions, the log of the
// current action, indicators, and the commands on them. Shown modally after
// the table set was opened; closing it closes the table set. For a read-only
// Action File its caption ends in " [READ ONLY]", the editors show records
// without letting them change and the commands that change data are off.
//
// Each command's iconText() is its toolbar caption and its text() the entry
// of the context menu.
class TFormActions : public QDialog, public TActionsWindowLink {
    Q_OBJECT
public:
    // fromContainer: the Action File was unpacked from a Dravelin File.
    explicit TFormActions(bool fromContainer, QWidget *parent = nullptr);
    ~TFormActions() override;

    QTableView *RzDBGridActions;
    QTableView *RzDBGridLog;
    QLabel *ShapeSeverity;
    QLabel *RzPanelStatus;
    QLabel *RzPanelStatusLog;
    QStatusBar *StatusBar;
    QToolBar *ToolBar;
    QMenu *PopupMenu;

    QAction *ActionNew;
    QAction *ActionEdit;
    QAction *ActionDelete;
    QAction *ActionNewLog;
    QAction *ActionEditLog;
    QAction *ActionDeleteLog;
    QAction *ActionActors;
    QAction *ActionProperties;
    QAction *ActionSearch;
    QAction *ActionPrintList;
    QAction *ActionDigest;
    QAction *ActionAuxiliary;
    QAction *ActionActionClose;
    QAction *ActionResolveCurrent;
    QAction *ActionSaveTable;
    QAction *ActionRefreshTable;
    QAction *MenuItemShowAll;
    QAction *MenuItemShowOpen;
    QAction *MenuItemShowResolved;
    QAction *MenuItemMine;
    QAction *MenuItemSaveasDravelinFile;
    QAction *MenuItemSaveasActionFile;
    QAction *MenuItemAbout;

    const TActionSort &Sort() const { return sort_; }
    // Whether the Workspace's list of Action Files changed while the file was
    // open, as read when the window closed the table set.
    bool ListChanged() const { return listChanged_; }

    bool ShowMineChecked() const override;
    void ShowSeverity(const TSeverityIndicator &indicator) override;
    void ShowActionStatus(const TStatusIndicator &indicator) override;
    void ShowLogStatus(const TStatusIndicator &indicator) override;
    void ShowDueDate(const QString &text) override;

    // Closes the window after the close query; a refused query keeps it open.
    void done(int result) override;
    // Closes the window as the program ends: no question, changed tables are
    // written; a failed write closes it all the same and is thrown after.
    void CloseWithoutQuestions();

public Q_SLOTS:
    void ActionNewExecute();
    void ActionEditExecute();
    void ActionDeleteExecute();
    void ActionNewLogExecute();
    void ActionEditLogExecute();
    void ActionDeleteLogExecute();
    void ActionActorsExecute();
    void ActionPropertiesExecute();
    void ActionSearchExecute();
    void ActionPrintListExecute();
    void ActionDigestExecute();
    void ActionAuxiliaryExecute();
    void ActionActionCloseExecute();
    void ActionResolveCurrentExecute();
    void ActionSaveTableExecute();
    void ActionRefreshTableExecute();
    void ShowWhichAction(TActionFilter chosen);
    void MenuItemMineClick();
    void RzDBGridActionsTitleClick(int column);
    void RzDBGridLogTitleClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QAction *CreateAction(const char *name, const QString &caption, const QString &menuCaption,
                          const QString &hint, const QList<QKeySequence> &shortcuts = {});
    void CreateActions();
    void CreateToolBar();
    void CreateMenu();
    QWidget *CreateSideBar();
    void CreateGrids();
    void FormShow();
    bool FormCloseQuery();
    void CheckShowItem(int filter);
    // A read-only Action File: every command that changes data is disabled.
    void DisableChanges();
    void Reload();
    bool HasAction() const;
    bool HasLogEntry() const;
    // A log entry belongs to an action; says so when there is none.
    bool HasActionForLog() const;

    TDataModuleMain &data_;
    bool fromContainer_;
    bool readOnly_;
    TActionSort sort_;
    TActionsGridModel *actionsModel_ = nullptr;
    TTableModel *logModel_ = nullptr;
    QMetaObject::Connection logChange_;
    bool shown_ = false;
    bool closed_ = false;
    bool askOnClose_ = true;
    bool listChanged_ = false;
};

// Installs the window as what opening an Action File shows.
void InstallActionListWindow(QWidget *parent);
