#pragma once

#include "ActionListEditors.h"
#include "OpenCommands.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "TTitleSort.h"

#include <QDialog>
#include <QKeySequence>
#include <QMetaObject>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
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
class TFormActions : public QDialog {
    Q_OBJECT
public:
    // data: the Action File open in its table set. fromContainer: it was
    // unpacked from a Dravelin File. readOnly: it was opened read-only.
    TFormActions(TDataModuleMain &data, bool fromContainer, bool readOnly, QWidget *parent = nullptr);
    ~TFormActions() override;

    QTableView *RzDBGridActions;
    QTableView *RzDBGridLog;
    QLabel *ShapeSeverity;
    QLabel *RzPanelStatus;
    QLabel *RzPanelStatusLog;
    QStatusBar *StatusBar;
    QToolBar *ToolBar;
    QMenu *PopupMenu;
    // Every command of the toolbar and the context menu, grouped by what it
    // works on, so that none is reachable only by a right-click.
    QMenuBar *MenuBar;
    // The status bar's note of which actions the list shows.
    QLabel *FilterPanel;

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
    QAction *ActionSyncSettings;
    QAction *ActionSynchronise;
    QAction *MenuItemShowAll;
    QAction *MenuItemShowOpen;
    QAction *MenuItemShowResolved;
    QAction *MenuItemMine;
    QAction *MenuItemSaveasDravelinFile;
    QAction *MenuItemSaveasActionFile;
    QAction *MenuItemMergeDravelinFile;
    QAction *MenuItemAbout;
    // Undo and redo of the steps of the open Action File's history; their
    // captions name the step ("Undo Delete Action "QUAY-4"").
    QAction *ActionUndo;
    QAction *ActionRedo;

    const TTitleSort &Sort() const { return *sort_; }
    // Whether the Workspace's list of Action Files changed while the file was
    // open, as read when the window closed the table set.
    bool ListChanged() const { return listChanged_; }

    // The indicators, as the data module reports them.
    void ShowSeverity(const TSeverityIndicator &indicator);
    void ShowActionStatus(const TStatusIndicator &indicator);
    void ShowLogStatus(const TStatusIndicator &indicator);
    void ShowDueDate(const QString &text);

    // Closes the window after the close query; a refused query keeps it open.
    void done(int result) override;
    // Closes the window as the program ends: no question, changed tables are
    // written; a failed write closes it all the same and is thrown after.
    void CloseWithoutQuestions();

Q_SIGNALS:
    // "About" was chosen; the About window belongs to the main window.
    void AboutRequested();

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
    void RzDBGridLogTitleClick();
    void ActionUndoExecute();
    void ActionRedoExecute();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QAction *CreateAction(const char *name, const QString &caption, const QString &menuCaption,
                          const QString &hint, const QList<QKeySequence> &shortcuts = {});
    void CreateActions();
    void CreateToolBar();
    void CreateMenu();
    void CreateMenuBar();
    // "Showing: open actions · mine" for the current filter.
    void ShowFilter();
    QWidget *CreateSideBar();
    void CreateGrids();
    void FormShow();
    bool FormCloseQuery();
    void CheckShowItem(int filter);
    // "Actions File" with the header's title, or the file's path when the
    // title is blank.
    void ShowCaption();
    // A read-only Action File: every command that changes data is disabled.
    void DisableChanges();
    // Undo and Redo name the next step, and are off without one.
    void ShowHistory();
    void Reload();
    // The open file as the editors and the search work on it.
    TActionListFile File() const { return {data_, readOnly_}; }
    bool HasAction() const;
    bool HasLogEntry() const;
    // A log entry belongs to an action; says so when there is none.
    bool HasActionForLog() const;

    TDataModuleMain &data_;
    bool fromContainer_;
    bool readOnly_;
    TTitleSort *sort_ = nullptr;
    TActionsGridModel *actionsModel_ = nullptr;
    TTableModel *logModel_ = nullptr;
    QMetaObject::Connection logChange_;
    bool shown_ = false;
    bool closed_ = false;
    bool askOnClose_ = true;
    bool listChanged_ = false;
    // The text last searched for, proposed by the next search.
    QString searchText_;
};

// Shows an opened Action File in the action list window, modal over parent.
// The window's About command is passed on as AboutRequested.
class TActionListWindow : public QObject, public TActionListView {
    Q_OBJECT
public:
    explicit TActionListWindow(QWidget *parent);
    bool ShowActionList(TDataModuleMain &data, bool fromContainer, bool readOnly) override;

Q_SIGNALS:
    void AboutRequested();

private:
    QWidget *parent_;
};
