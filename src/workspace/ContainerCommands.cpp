#include "ContainerCommands.h"

#include "ActionFileLock.h"
#include "ActionFileNames.h"
#include "ActionFileOpen.h"
#include "ContainerWriteBack.h"
#include "MergeBase.h"
#include "ScopeGuards.h"
#include "TACTFiles.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "UiServices.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

namespace {
const QString &FileErrorCaption()
{
    static const QString caption(QStringLiteral("File Error"));
    return caption;
}

const QString &PackFailedText()
{
    static const QString text(QStringLiteral("The Action File could not be saved as a Dravelin File"));
    return text;
}

FileDialogOptions DravelinDialog(const QString &title)
{
    FileDialogOptions options;
    options.title = title;
    options.filter = QStringLiteral("Dravelin Files|*.dravelin");
    options.initialDir = Settings().Folders.Dravelin;
    return options;
}

// Writes the unpacked files back into the container when the list closes.
// On failure they are taken off the temporary-files registry, so the edits
// survive the end of the program, and the message names them; the next start
// offers them for recovery too.
void WriteBack(TContainerWriteBack &writeBack, const QString &actFile, const QString &containerFileName)
{
    QString error;
    {
        BusyCursor busy;
        if (writeBack.WriteBack(&error))
            return;
    }
    const auto members = TACTFiles(actFile).Names();
    DataModuleMain().TempFiles.Keep(QStringList(members.begin(), members.end()));
    Ui().MessageBox(
        PackFailedText() +
            QStringLiteral("\n\nThe Dravelin File \"%1\" keeps its previous content (%2). Your work is "
                           "kept in the Action File \"%3\" and the files beside it whose names "
                           "begin with that name; they are not deleted when the program ends.")
                .arg(QDir::toNativeSeparators(containerFileName), error, QDir::toNativeSeparators(actFile)),
        FileErrorCaption(), MB_OK | MB_ICONERROR);
}
} // namespace

QString WithDravelinExtension(const QString &fileName)
{
    // A name that already ends in the extension, in any case, is the file
    // the user chose: file names are case-sensitive here.
    return ReplaceExtension(fileName, QLatin1String(".dravelin"), {.keepExtensionInAnyCase = true});
}

bool OpenDravelinFile(TActionListView &view, const QString &containerFileName)
{
    // The unpacked copy is private to this program, so the container itself
    // is locked: a second program's write-back would erase this one's work.
    TFileLock lock(containerFileName);
    const std::optional<bool> lockedReadOnly =
        LockForOpening(lock, QStringLiteral("Dravelin File"), containerFileName);
    if (!lockedReadOnly)
        return false;
    const bool readOnly = *lockedReadOnly;

    QString actFile;
    TCDSParser::UnpackResult result = TCDSParser::UnpackOk;
    {
        BusyCursor busy;
        TCDSParser parser(containerFileName, DataModuleMain().TempFiles);
        actFile = parser.ActFileName();
        result = parser.Unpack();
    }
    if (result == TCDSParser::UnpackNotValid) {
        Ui().MessageBox(QStringLiteral("This is not a valid Dravelin File"), FileErrorCaption(),
                        MB_OK | MB_ICONERROR);
        return false;
    }
    if (result != TCDSParser::UnpackOk) {
        Ui().MessageBox(QStringLiteral("Cannot open Files"), FileErrorCaption(), MB_OK | MB_ICONERROR);
        return false;
    }

    // Pages name the container, not the temporary files, while it is open.
    TDataModuleMain &data = DataModuleMain();
    data.ContainerFileName = containerFileName;
    const auto forget = qScopeGuard([&] { data.ContainerFileName.clear(); });
    // A container opened read-only is never written back.
    if (readOnly)
        return OpenActionFile(view, actFile, true, true);
    // The container follows the changes a few seconds behind, and is written
    // back however the action list ended, even by an error, so it always
    // holds what the unpacked files hold.
    TContainerWriteBack writeBack(DataModuleMain(), lock, actFile, containerFileName);
    bool listChanged = false;
    TryFinally([&] { listChanged = OpenActionFile(view, actFile, true); },
               [&] { WriteBack(writeBack, actFile, containerFileName); });
    return listChanged;
}

bool OpenDravelinFileCommand(TActionListView &view)
{
    FileDialogOptions options = DravelinDialog(QStringLiteral("Open an existing Dravelin File"));
    options.mustExist = true;
    const std::optional<QString> chosen = Ui().OpenFileDialog(options);
    if (!chosen || chosen->isEmpty())
        return false;
    return OpenDravelinFile(view, WithDravelinExtension(*chosen));
}

bool SaveAsDravelinFileCommand()
{
    // Saving starts by writing the open tables, which a read-only file never is.
    if (ActionFileReadOnly())
        return false;
    FileDialogOptions options =
        DravelinDialog(QStringLiteral("Save the current Action File as a Dravelin File"));
    options.overwritePrompt = true;
    const std::optional<QString> chosen = Ui().SaveFileDialog(options);
    if (!chosen || chosen->isEmpty())
        return false;
    const QString container = WithDravelinExtension(*chosen);
    // The dialog asked about the name as typed; the name actually written
    // gets its own question before it replaces anything.
    if (container != *chosen && QFileInfo::exists(container) &&
        Ui().MessageBox(QStringLiteral("The file \"%1\" already exists.\n\nDo you want to replace it?")
                            .arg(QDir::toNativeSeparators(container)),
                        QStringLiteral("Confirm Save As"),
                        MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
        return false;

    TCDSParser::PackResult result = TCDSParser::PackOk;
    {
        BusyCursor busy;
        TTables &tables = DataModuleMain().Tables;
        tables.SaveToFiles();
        // With no Action File open there is nothing to pack.
        result = tables.FileName().isEmpty() ? TCDSParser::PackCannotOpenMember
                                             : TCDSParser(tables.FileName(), container).Pack();
        // A base kept for a file unpacked from a container would lie under
        // its temporary name, where no merge finds it.
        if (result == TCDSParser::PackOk && DataModuleMain().ContainerFileName.isEmpty())
            KeepMergeBase(tables.FileName(), container);
    }
    if (result != TCDSParser::PackOk) {
        Ui().MessageBox(PackFailedText(), FileErrorCaption(), MB_OK | MB_ICONERROR);
        return false;
    }
    Ui().MessageBox(QStringLiteral("Action File successfully saved as \"") + container + QLatin1Char('"'),
                    QStringLiteral("Action File Saved"), MB_OK | MB_ICONINFORMATION);
    return true;
}
