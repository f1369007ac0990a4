#include "MergeDravelinFile.h"

#include "ActionFileOpen.h"
#include "AppError.h"
#include "DravelinMerge.h"
#include "TDataModuleMain.h"
#include "TFormMerge.h"
#include "TSettings.h"
#include "UiServices.h"

#include <QDialog>
#include <memory>

namespace {

const QString kCaption = QStringLiteral("Merge Dravelin File");

} // namespace

bool MergeDravelinFileCommand(TDataModuleMain &data, bool readOnly)
{
    if (!data.Tables.IsOpen() || readOnly)
        return false;
    FileDialogOptions options;
    options.title = QStringLiteral("Merge a returned Dravelin File into this Action File");
    options.filter = QStringLiteral("Dravelin Files|*.dravelin");
    options.initialDir = Settings().Folders.Dravelin;
    const std::optional<QString> chosen = Ui().OpenFileDialog(options);
    if (!chosen || chosen->isEmpty())
        return false;

    std::unique_ptr<TDravelinMerge> merge;
    try {
        BusyCursor busy;
        // A Dravelin File open here lies under a temporary name with no state
        // kept from packing: its merge is two-way.
        merge = std::make_unique<TDravelinMerge>(
            data, *chosen, data.ContainerFileName.isEmpty() ? data.AuxiliaryFolder : QString());
    } catch (const AppError &error) {
        Ui().MessageBox(error.message(), QStringLiteral("File Error"), MB_OK | MB_ICONERROR);
        return false;
    }
    if (merge->Plan().diffs.isEmpty()) {
        Ui().MessageBox(QStringLiteral("The Dravelin File holds nothing that differs from this Action File."),
                        kCaption, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    TFormMerge form(merge->Plan(), *chosen);
    if (Ui().ExecModal(&form) != QDialog::Accepted)
        return false;
    try {
        BusyCursor busy;
        merge->Apply();
    } catch (const AppError &error) {
        Ui().MessageBox(error.message(), QStringLiteral("File Error"), MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}
