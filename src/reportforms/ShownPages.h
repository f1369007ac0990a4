#pragma once

#include "Digest.h"

#include <QDate>
#include <QStringList>
#include <functional>

class TDataModuleMain;
class THtmlPage;
class TGlobalTempFiles;
class TTable;
struct TColumnReportOptions;

// The pages the windows show: each is written to a new temporary "html"
// file and opened with the shell, in the user's default browser, without
// waiting for it, the busy cursor showing meanwhile. Errors (AppError) go to
// the caller; the page is then not opened.

void ShowPage(TGlobalTempFiles &temp, const QStringList &lines);
// The same for a page built straight into the file by build.
void ShowPage(TGlobalTempFiles &temp, const std::function<void(THtmlPage &)> &build);

// The print commands of the editors: the sheet of the current record, when
// the table holds one. The action is the current record of data.cdsActions.
void PrintLogSheet(TDataModuleMain &data);
void PrintDecisionSheet(TDataModuleMain &data);
void PrintStatementSheet(TDataModuleMain &data);
void PrintPropertiesSheet(TDataModuleMain &data, const QDate &today = QDate::currentDate());

// OK of the report windows of chosen columns: the page of table. Does
// nothing when there is nothing to write.
void ProduceColumnReport(TTable &table, TGlobalTempFiles &temp, const TColumnReportOptions &options,
                         const QDate &today = QDate::currentDate());

// OK of the digest window: builds the page into a new temporary file, then
// opens it in the browser, or (showInBrowser false) asks for a name and
// saves it there. Nothing happens when cdsActions holds no record. No
// success is shown for a failed save.
void ProduceDigest(TDataModuleMain &data, const TDigestOptions &options, bool showInBrowser,
                   const QDate &today = QDate::currentDate());
