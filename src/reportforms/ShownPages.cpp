#include "ShownPages.h"

#include "ActionFileNames.h"
#include "ColumnReport.h"
#include "HtmlPage.h"
#include "RecordSheets.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "UiServices.h"

#include <QDir>
#include <QFileInfo>

namespace {
QString CurrentIdAction(TDataModuleMain &data)
{
    return data.cdsActions->FieldByName(QStringLiteral("ID_ACTION")).AsString();
}
} // namespace

void ShowPage(TGlobalTempFiles &temp, const QStringList &lines)
{
    ShowPage(temp, [&lines](THtmlPage &page) { page.Add(lines); });
}

void ShowPage(TGlobalTempFiles &temp, const std::function<void(THtmlPage &)> &build)
{
    BusyCursor busy;
    const QString fileName = WriteTemporaryPage(temp, build);
    Ui().ShellOpen(fileName);
}

void PrintLogSheet(TDataModuleMain &data)
{
    if (data.cdsLog->RecordCount() > 0)
        ShowPage(data.TempFiles, LogSheetLines(*data.cdsLog, CurrentIdAction(data)));
}

void PrintDecisionSheet(TDataModuleMain &data)
{
    if (data.cdsDecision->RecordCount() > 0)
        ShowPage(data.TempFiles, DecisionSheetLines(*data.cdsDecision, CurrentIdAction(data)));
}

void PrintStatementSheet(TDataModuleMain &data)
{
    if (data.cdsStatement->RecordCount() > 0)
        ShowPage(data.TempFiles, StatementSheetLines(*data.cdsStatement, CurrentIdAction(data)));
}

void PrintPropertiesSheet(TDataModuleMain &data, const QDate &today)
{
    ShowPage(data.TempFiles, PropertiesSheetLines(*data.cdsAction, data.ShownFileName(), today));
}

void ProduceColumnReport(TTable &table, TGlobalTempFiles &temp, const TColumnReportOptions &options,
                         const QDate &today)
{
    if (table.RecordCount() == 0 || options.columns.isEmpty())
        return;
    ShowPage(temp, [&](THtmlPage &page) { BuildColumnReport(table, options, today, page); });
}

void ProduceDigest(TDataModuleMain &data, const TDigestOptions &options, bool showInBrowser,
                   const QDate &today)
{
    if (data.cdsActions->RecordCount() == 0)
        return;
    QString pageFile;
    {
        BusyCursor busy;
        pageFile = WriteTemporaryPage(data.TempFiles,
                                      [&](THtmlPage &page) { BuildDigest(data, options, today, page); });
    }
    if (showInBrowser) {
        Ui().ShellOpen(pageFile);
        return;
    }
    const QString dialogTitle = QStringLiteral("Save the current Output as an HTML File");
    FileDialogOptions dialog;
    dialog.title = dialogTitle;
    dialog.filter = QStringLiteral("HTML Files|*.html");
    dialog.initialDir = QDir(data.AuxiliaryFolder).exists() && !data.AuxiliaryFolder.isEmpty()
                            ? data.AuxiliaryFolder
                            : Settings().Folders.Auxiliary;
    dialog.fileName = DigestFileName(data, options, today);
    dialog.overwritePrompt = true;
    const std::optional<QString> chosen = Ui().SaveFileDialog(dialog);
    if (!chosen)
        return;
    const QString target = ReplaceExtension(*chosen, QLatin1String(".html"), {});
    // The dialog asked about the name it showed; a file under the changed
    // name is asked about here.
    if (target != *chosen && QFileInfo::exists(target) &&
        Ui().MessageBox(QStringLiteral("\"%1\" already exists.\nDo you want to replace it?")
                            .arg(QDir::toNativeSeparators(target)),
                        dialogTitle, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
        return;
    SavePageAs(pageFile, target);
    Ui().MessageBox(QLatin1Char('"') + QDir::toNativeSeparators(target) +
                        QStringLiteral("\" has been successfully saved to Disk."),
                    QStringLiteral("Save HTML File"), MB_OK | MB_ICONINFORMATION);
}
