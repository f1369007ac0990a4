#pragma once

#include <QStringList>

class TDataModuleMain;

// The commands of dravelin-cli, each given its arguments after the command's
// name; they return the exit code (TExitCode) or throw UsageError or
// AppError. The table in CliCommands.cpp names them; a new command is one
// more line there and its declaration here.

// ReadCommands.cpp: what the file holds.
int CmdList(TDataModuleMain &data, const QStringList &arguments);
int CmdCount(TDataModuleMain &data, const QStringList &arguments);
int CmdShow(TDataModuleMain &data, const QStringList &arguments);
int CmdExport(TDataModuleMain &data, const QStringList &arguments);
int CmdSearch(TDataModuleMain &data, const QStringList &arguments);

// FileCommands.cpp: whole files made.
int CmdNew(TDataModuleMain &data, const QStringList &arguments);
int CmdImport(TDataModuleMain &data, const QStringList &arguments);
int CmdPack(TDataModuleMain &data, const QStringList &arguments);
int CmdUnpack(TDataModuleMain &data, const QStringList &arguments);

// EditCommands.cpp: one action changed.
int CmdAdd(TDataModuleMain &data, const QStringList &arguments);
int CmdSet(TDataModuleMain &data, const QStringList &arguments);
int CmdResolve(TDataModuleMain &data, const QStringList &arguments);

// ReportCommands.cpp: the pages of the report windows.
int CmdReport(TDataModuleMain &data, const QStringList &arguments);

// MergeCommand.cpp: a returned Dravelin File merged into the Action File it
// was packed from; 3 (ExitQuestionsOpen) when questions were left open and
// nothing was changed.
int CmdMerge(TDataModuleMain &data, const QStringList &arguments);

// SyncCommand.cpp: the Action File synchronised with its CalDAV task list.
int CmdSync(TDataModuleMain &data, const QStringList &arguments);
