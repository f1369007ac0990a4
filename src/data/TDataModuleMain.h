#pragma once

#include "ActionRules.h"
#include "TGlobalTempFiles.h"
#include "TTable.h"
#include "TTables.h"

#include <QObject>
#include <QString>

class TSettings;

enum TRecordKind { rkAction = 0, rkLog = 1, rkDecision = 2, rkStatement = 3 };

// Owns the tables of the open Action File, the table set, the temporary
// files and the auxiliary folder; exists once for the whole run.
class TDataModuleMain : public QObject {
    Q_OBJECT
public:
    // settings: the preferences that the filter of cdsActions and new records
    // follow; read each time, so a changed setting applies at once.
    explicit TDataModuleMain(const TSettings &settings, QObject *parent = nullptr);
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
    // The Dravelin File the open Action File was unpacked from, while it is
    // open; empty for an Action File opened where it lies.
    QString ContainerFileName;

    int NextId(TRecordKind kind) { return Tables.NextId(kind); }
    int LastActionId() const { return Tables.LastActionId(); }
    // Header ACTOR_HOME when set, else the login name of the current user
    // (empty when the system cannot tell it).
    QString DefaultActor() const;
    // The header's home actor; empty while no Action File is open.
    QString HomeActor() const;
    // The open file as pages name it where its title is blank: the full
    // path of the Dravelin File it was unpacked from, else of the Action
    // File, so one file always gives the same page, never a temporary name.
    QString ShownFileName() const;
    static QString LoginName();

    void FilterLogByAction();
    void UnfilterLog();
    void FilterDecisionsByAction();
    void UnfilterDecisions();
    void FilterStatementsByAction();
    void UnfilterStatements();

    // Part of the action rules that reads the tables and settings. showMine
    // is the "Show Mine" mark of the window that lists the actions: while it
    // is set, and the header names a home actor, only the actions owned by
    // that actor pass.
    bool cdsActionsFilterRecord(TTable &table, bool showMine) const;
    // Puts back the filter of cdsActions without "Show Mine", as a window that
    // installed its own does when it closes.
    void UseDefaultActionsFilter();

    // Change handlers: the first is attached to cdsActions while a file is
    // open, the second to cdsLog while the action list window is shown. They
    // report through the signals below.
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

Q_SIGNALS:
    // The current action changed (another record, or its values); the
    // indicator signals follow.
    void CurrentActionChanged();
    // The table set wrote changes to the files of the open Action File.
    void ChangesCommitted();
    // A member file was found damaged before a write and written anew; the
    // message says where the damaged file was kept.
    void TableFileRepaired(const QString &message);
    void SeverityChanged(const TSeverityIndicator &indicator);
    void ActionStatusChanged(const TStatusIndicator &indicator);
    void LogStatusChanged(const TStatusIndicator &indicator);
    // The due-date text: hint of the actions grid and, after one leading
    // blank, the status bar text.
    void DueDateChanged(const QString &text);

private:
    const TSettings &settings_;
    int actionsFinished_ = -1;
    int actionsOwner_ = -1;
};
