#pragma once

#include "ActionRules.h"
#include "TGlobalTempFiles.h"
#include "TTable.h"
#include "TTables.h"

#include <QObject>
#include <QString>

enum TRecordKind { rkAction = 0, rkLog = 1, rkDecision = 2, rkStatement = 3 };

// What the action list window shows of the current action and log entry.
// The window implements it and registers itself with the data module while
// it exists, so the data module's handlers can update its indicators.
class TActionsWindowLink {
public:
    virtual ~TActionsWindowLink() = default;
    // "Show Mine" carries its check mark.
    virtual bool ShowMineChecked() const = 0;
    virtual void ShowSeverity(const TSeverityIndicator &indicator) = 0;
    virtual void ShowActionStatus(const TStatusIndicator &indicator) = 0;
    virtual void ShowLogStatus(const TStatusIndicator &indicator) = 0;
    // The due-date text: hint of the actions grid and, after one leading
    // blank, the status bar text.
    virtual void ShowDueDate(const QString &text) = 0;
};

// Owns the tables of the open Action File, the table set, the temporary
// files and the auxiliary folder; exists once for the whole run.
class TDataModuleMain : public QObject {
    Q_OBJECT
public:
    // Registers itself as the one instance returned by DataModuleMain().
    explicit TDataModuleMain(QObject *parent = nullptr);
    ~TDataModuleMain() override;

    TTable *cdsAction;
    TTable *cdsActions;
    TTable *cdsActor;
    TTable *cdsLog;
    TTable *cdsDecision;
    TTable *cdsStatement;
    TTable *cdsActionsSearch;

    TTables Tables;
    TGlobalTempFiles TempFiles;
    QString AuxiliaryFolder;

    int NextId(TRecordKind kind) { return Tables.NextId(kind); }
    int LastActionId() const { return Tables.LastActionId(); }
    // Header ACTOR_HOME when set, else the login name of the current user
    // (empty when the system cannot tell it).
    QString DefaultActor() const;
    static QString LoginName();

    void FilterLogByAction();
    void UnfilterLog();
    void FilterDecisionsByAction();
    void UnfilterDecisions();
    void FilterStatementsByAction();
    void UnfilterStatements();

    // The action list window while it exists, else null.
    void SetActionsWindow(TActionsWindowLink *window) { actionsWindow_ = window; }
    TActionsWindowLink *ActionsWindow() const { return actionsWindow_; }

    // Part of the action rules that reads the tables and settings.
    bool cdsActionsFilterRecord(TTable &table) const;
    TRowColors ActionRowColors(TTable &table, int row, bool selected) const;

    // Change handlers: the first is attached to cdsActions while a file is
    // open, the second to cdsLog while the action list window is shown.
    void DataSourceActionsDataChange();
    void DataSourceLogDataChange();
    void ShowSeverity();
    void ShowActionStatus();
    void ShowDueDate();

    // New-record handlers.
    void cdsActionNewRecord(TTable &table);
    void cdsActionsNewRecord(TTable &table);
    void cdsLogNewRecord(TTable &table);
    void cdsDecisionNewRecord(TTable &table);
    void cdsStatementNewRecord(TTable &table);
    void cdsActorNewRecord(TTable &table);

private:
    TActionsWindowLink *actionsWindow_ = nullptr;
    int actionsFinished_ = -1;
    int actionsOwner_ = -1;
};

// The one data module of the run.
TDataModuleMain &DataModuleMain();
