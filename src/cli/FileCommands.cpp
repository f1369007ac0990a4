#include "ActionExport.h"
#include "ActionFileNames.h"
#include "ActionFileSession.h"
#include "AppError.h"
#include "CliCommandGroups.h"
#include "CliError.h"
#include "CliOptions.h"
#include "CliOutput.h"
#include "CommandInputs.h"
#include "MemberFiles.h"
#include "MergeBase.h"
#include "NewFileSet.h"
#include "TACTFiles.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>

namespace {

// Refuses a new file whose name exists in any case, as New Action File does.
void RefuseExisting(const QString &fileName)
{
    const QString existing = ExistingNameInAnyCase(fileName);
    if (!existing.isEmpty())
        throw AppError(QStringLiteral("The file ") + Quoted(existing) + QStringLiteral(" already exists"));
}

// The most an import reads: well above the export of the largest Action
// File the program handles (a few hundred MiB for 100,000 actions with
// their entries), and a bound for an input that never ends.
constexpr qint64 kMaxImportBytes = qint64(1) << 30;

// The bytes of the export to import, at most kMaxImportBytes of them.
QByteArray ReadImport(const QString &fileName)
{
    QFile in(fileName);
    if (!in.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("The file ") + Quoted(fileName) + QStringLiteral(" cannot be opened"));
    const auto tooLarge = [&] {
        return AppError(QStringLiteral("The file %1 is larger than %2 MiB, more than an export of an Action "
                                       "File holds; it is not imported")
                            .arg(Quoted(fileName))
                            .arg(kMaxImportBytes >> 20));
    };
    if (!in.isSequential() && in.size() > kMaxImportBytes)
        throw tooLarge();
    // A device or pipe is read in pieces up to the bound; an export starts
    // with its object, so what does not is left at its first piece.
    constexpr qint64 kPiece = qint64(1) << 20;
    QByteArray bytes;
    bool started = false;
    for (;;) {
        const QByteArray piece = in.read(kPiece);
        if (piece.isEmpty())
            break;
        bytes += piece;
        if (bytes.size() > kMaxImportBytes)
            throw tooLarge();
        if (!started) {
            const auto first =
                std::find_if(piece.begin(), piece.end(), [](char c) { return !std::isspace(uchar(c)); });
            started = first != piece.end();
            if (started && *first != '{')
                break;
        }
    }
    if (in.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("The file ") + Quoted(fileName) + QStringLiteral(" cannot be read: ") +
                       in.errorString());
    return bytes;
}

// Makes the new Action File or Dravelin File target with the table set's
// own create, as New in the program does, and fill puts records into the
// new tables. Nothing of a failed one is left behind.
void CreateActionFile(TDataModuleMain &data, const QString &target, const std::function<void()> &fill)
{
    RefuseExisting(target);
    const auto lock = TActionFileSession::LockForChange(target);
    const bool container = TActionFileSession::IsDravelinFile(target);
    QString actFile = target;
    if (container) {
        actFile = data.TempFiles.NewFileName(QStringLiteral("act"));
        for (const QString &member : TACTFiles(actFile).Names())
            if (member != actFile)
                data.TempFiles.Files.append(member);
        // The name reserved for the header must be free for the new files.
        QFile::remove(actFile);
    } else {
        // Companion files without their header are not written over.
        TNewFileSet::CheckFree(actFile);
    }
    const TLockWriteGuard guard(data.Tables, *lock, false);
    {
        // The new files appear together, once everything was read into them.
        TChangeScope scope(data.Tables);
        try {
            data.Tables.Open(actFile, true);
        } catch (const AppError &e) {
            throw AppError(e.message() + QLatin1Char(' ') + Quoted(target));
        }
        try {
            fill();
            scope.Commit();
            data.Tables.Close();
        } catch (...) {
            for (TableMember member : kTableMembers)
                data.Tables.Table(member)->Abandon();
            data.Tables.Close();
            data.Tables.Reset();
            throw;
        }
    }
    data.Tables.Reset();
    if (container)
        TActionFileSession::Pack(actFile, target);
}

// The new file of import and new: an Action File or a Dravelin File.
QString NewFileArgument(const TCommandLine &line, const QString &command)
{
    const QString target = line.Args().at(0);
    if (!target.endsWith(QStringLiteral(".act"), Qt::CaseInsensitive) &&
        !TActionFileSession::IsDravelinFile(target))
        throw UsageError(command + QStringLiteral(": FILE must end in .act or .dravelin"));
    return target;
}

} // namespace

int CmdNew(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(QStringLiteral("new"),
                      QStringLiteral("Creates a new, empty Action File (or Dravelin File) as New in the "
                                     "program does: the header from the settings' company and department, "
                                     "your login as its home actor, today as its date."));
    line.Positional(QStringLiteral("FILE"),
                    QStringLiteral("The new file (.act or .dravelin); it must not exist."));
    if (!line.Parse(arguments, 1))
        return ExitOk;
    CreateActionFile(data, NewFileArgument(line, QStringLiteral("new")), [] {});
    return ExitOk;
}

int CmdImport(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(QStringLiteral("import"),
                      QStringLiteral("Creates a new Action File (or Dravelin File) from a json export."));
    line.Positional(QStringLiteral("FILE"), QStringLiteral("The new file; it must not exist."));
    line.Positional(QStringLiteral("IN"), QStringLiteral("The json file made by export --format json."));
    const QCommandLineOption format =
        ValueOption(QStringLiteral("format"), QStringLiteral("json."), QStringLiteral("format"));
    line.Parser().addOption(format);
    if (!line.Parse(arguments, 2))
        return ExitOk;
    if (line.Choice(format, {QStringLiteral("json")}).isEmpty())
        throw UsageError(QStringLiteral("import: --format json is required"));
    const QString target = NewFileArgument(line, QStringLiteral("import"));
    const QString inFile = line.Args().at(1);
    TCommandInputs inputs;
    inputs.Add(inFile, QStringLiteral("the file ") + Quoted(inFile));
    inputs.RefuseOutputs(TCommandInputs::FilesOf(target, TActionFileSession::IsDravelinFile(target)));
    const QByteArray json = ReadImport(inFile);
    CreateActionFile(data, target, [&] { ImportJson(data, json); });
    return ExitOk;
}

int CmdPack(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(QStringLiteral("pack"), QStringLiteral("Packs an Action File into a Dravelin File."));
    line.Positional(QStringLiteral("FILE"), QStringLiteral("The Action File (.act)."));
    line.Positional(QStringLiteral("OUT"), QStringLiteral("The Dravelin File to write (.dravelin)."));
    if (!line.Parse(arguments, 2))
        return ExitOk;
    const QString actFile = line.Args().at(0), container = line.Args().at(1);
    if (TActionFileSession::IsDravelinFile(actFile))
        throw UsageError(QStringLiteral("pack: FILE must be an Action File (.act)"));
    TCommandInputs inputs;
    inputs.AddActionFile(actFile);
    inputs.RefuseOutputs(TCommandInputs::FilesOf(container, true));
    const auto lock = TActionFileSession::LockForChange(actFile);
    const auto containerLock = TActionFileSession::LockForChange(container);
    {
        // Only an Action File that opens is packed.
        TActionFileSession session(data, actFile, TActionFileSession::Read);
    }
    TActionFileSession::Pack(actFile, container);
    // The copy is what a merge of the file, once it comes back, compares
    // against; without it the merge is two-way, so the pack still succeeds.
    try {
        KeepMergeBase(AuxiliaryFolder(actFile, Settings().Folders.Auxiliary), container);
    } catch (const AppError &failure) {
        std::fputs(qPrintable(kProgram + QStringLiteral(": the state packed is not kept for a merge: ") +
                              failure.message() + QLatin1Char('\n')),
                   stderr);
    }
    return ExitOk;
}

int CmdUnpack(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(
        QStringLiteral("unpack"),
        QStringLiteral("Unpacks a Dravelin File into a new Action File and its five companions."));
    line.Positional(QStringLiteral("IN"), QStringLiteral("The Dravelin File (.dravelin)."));
    line.Positional(QStringLiteral("OUT"), QStringLiteral("The new Action File (.act); it must not exist."));
    if (!line.Parse(arguments, 2))
        return ExitOk;
    const QString container = line.Args().at(0), actFile = line.Args().at(1);
    if (!actFile.endsWith(QStringLiteral(".act"), Qt::CaseInsensitive))
        throw UsageError(QStringLiteral("unpack: OUT must end in .act"));
    if (!QFileInfo(container).isFile())
        throw AppError(QStringLiteral("The file ") + Quoted(container) + QStringLiteral(" cannot be opened"));
    TCommandInputs inputs;
    inputs.AddActionFile(container);
    inputs.RefuseOutputs(TCommandInputs::FilesOf(actFile, false));
    RefuseExisting(actFile);
    // Companion files without their header are not written over.
    TNewFileSet::CheckFree(actFile);
    const auto lock = TActionFileSession::LockForChange(actFile);
    TCDSParser parser(container, data.TempFiles);
    TActionFileSession::Unpack(parser, container);
    {
        // Only members that open as an Action File are written out.
        TActionFileSession session(data, parser.ActFileName(), TActionFileSession::Read);
    }
    // The six files appear together or not at all.
    const TACTFiles sources(parser.ActFileName());
    TNewFileSet files(actFile);
    for (TableMember member : kTableMembers)
        files.StageCopy(member, sources.Name(member));
    files.Publish();
    return ExitOk;
}
