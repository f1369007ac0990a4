#include "ActionFileSession.h"

#include "AppError.h"
#include "MemberFiles.h"
#include "RecordPatch.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TTableFile.h"
#include "TTables.h"

#include <QFileInfo>

namespace {

QString Quoted(const QString &fileName)
{
    return QLatin1Char('"') + fileName + QLatin1Char('"');
}

// A table of the set that did not open, in one line: its message, the file
// (for a Dravelin File the container, as the members are temporary files)
// and why.
QString OpenFailure(const TTablesOpenError &error, const QString &fileName)
{
    const QString where = TActionFileSession::IsDravelinFile(fileName) ? fileName : error.FileName();
    return error.TableMessage() + QLatin1Char(' ') + Quoted(where) + QStringLiteral(": ") + error.Cause();
}

} // namespace

bool TActionFileSession::IsDravelinFile(const QString &fileName)
{
    return fileName.endsWith(QStringLiteral(".dravelin"), Qt::CaseInsensitive);
}

std::unique_ptr<TFileLock> TActionFileSession::LockForChange(const QString &fileName)
{
    const QString what =
        IsDravelinFile(fileName) ? QStringLiteral("Dravelin File") : QStringLiteral("Action File");
    auto lock = std::make_unique<TFileLock>(fileName);
    // Another command holds a file for a moment only: it is waited for.
    try {
        if (lock->TryLockWaitingForCommands(TFileLock::kCommandWaitMs) == TFileLock::Locked)
            return lock;
    } catch (const AppError &error) {
        throw AppError(QStringLiteral("The %1 %2 cannot be locked: %3; it is not changed")
                           .arg(what, Quoted(fileName), error.message()),
                       fileName, error.Cause());
    }
    throw AppError(TFileLock::InUseText(what, fileName, lock->HeldBy()) +
                       QStringLiteral("; it is not changed"),
                   fileName);
}

QString TActionFileSession::Unpack(TCDSParser &parser, const QString &fileName)
{
    bool valid = false;
    try {
        valid = parser.Unpack();
    } catch (const AppError &error) {
        throw AppError(QStringLiteral("Cannot open Files: ") + Quoted(fileName), fileName, error.Cause());
    }
    if (!valid)
        throw AppError(QStringLiteral("This is not a valid Dravelin File: ") + Quoted(fileName), fileName);
    return parser.ActFileName();
}

void TActionFileSession::Pack(const QString &actFile, const QString &container)
{
    // A journal left by an interrupted write is rolled back first, so the
    // container gets whole files.
    SettleActionFile(actFile);
    try {
        TCDSParser(actFile, container).Pack();
    } catch (const TContainerError &error) {
        throw AppError(QStringLiteral("The Action File could not be saved as a Dravelin File: ") +
                           Quoted(container),
                       error.FileName(), error.Cause());
    }
}

TActionFileSession::TActionFileSession(TDataModuleMain &data, const QString &fileName, Access access,
                                       TMemberSet members, bool inOrder)
    : data_(data), fileName_(fileName)
{
    // A folder named like an Action File is none.
    if (!QFileInfo(fileName).isFile())
        throw AppError(QStringLiteral("The file ") + Quoted(fileName) + QStringLiteral(" cannot be opened"));
    if (access == Change) {
        lock_ = LockForChange(fileName);
        guard_ = std::make_unique<TLockWriteGuard>(data.Tables, *lock_, false);
        // Everything the command changes is written together, by Commit().
        scope_ = std::make_unique<TChangeScope>(data.Tables);
    }
    if (IsDravelinFile(fileName)) {
        TCDSParser parser(fileName, data.TempFiles);
        actFile_ = Unpack(parser, fileName);
    } else {
        actFile_ = fileName;
        // The writer's leftovers are only ours to remove while we hold the lock.
        if (lock_ && HasHiddenNamesake(actFile_))
            RemoveWriterLeftovers(actFile_);
    }
    try {
        data.Tables.SetOpenInOrder(inOrder);
        data.Tables.Open(actFile_, false, members);
    } catch (const TTablesOpenError &e) {
        data.Tables.SetOpenInOrder(true);
        throw AppError(OpenFailure(e, fileName));
    }
    open_ = true;
    // Pages name the container, not the temporary files.
    if (IsDravelinFile(fileName))
        data.ContainerFileName = fileName;
    // Commands see every action unless they set a filter of their own.
    data.cdsActions->SetFiltered(false);
}

TActionFileSession::~TActionFileSession()
{
    Close();
    data_.ContainerFileName.clear();
}

void TActionFileSession::ThrowOpenError(TableMember member, const AppError &cause) const
{
    // As a table of the set that does not open.
    const auto *file = dynamic_cast<const TTableFileError *>(&cause);
    const QString fileName = TTables::TableFileName(actFile_, member);
    throw AppError(OpenFailure(TTablesOpenError(member, fileName, cause.message(),
                                                file ? file->Cause() : cause.message(), file && file->Busy()),
                               fileName_));
}

void TActionFileSession::OpenNarrow(TableMember member, bool withCounter)
{
    // The few actions of a narrow table are not browsed: the action list's
    // follow-up of the current action (its log filter, the indicators) has
    // nothing to show, and the table set reconnects it when it next opens.
    if (member == TableMember::Actions)
        QObject::disconnect(data_.cdsActions, &TTable::DataChange, &data_,
                            &TDataModuleMain::DataSourceActionsDataChange);
    try {
        auto patch = std::make_unique<TRecordPatch>(*data_.Tables.Table(member),
                                                    TTables::TableFileName(actFile_, member));
        if (withCounter)
            data_.Tables.SeedCounter(member, patch->MaxInteger(QStringLiteral("ID"), 0));
        patches_[member] = std::move(patch);
    } catch (const AppError &error) {
        ThrowOpenError(member, error);
    }
}

int TActionFileSession::ReadRecords(TableMember member, const QString &field, const QVariant &value)
{
    try {
        return patches_.at(member)->Read(field, value);
    } catch (const AppError &error) {
        ThrowOpenError(member, error);
    }
}

void TActionFileSession::Close() noexcept
{
    scope_.reset();
    if (!open_)
        return;
    open_ = false;
    patches_.clear();
    try {
        for (TableMember member : kTableMembers)
            data_.Tables.Table(member)->Abandon();
        data_.Tables.Close();
    } catch (...) {
    }
    data_.Tables.Reset();
}

void TActionFileSession::Commit()
{
    // The narrow tables stop reading first: the commit needs their files
    // alone. Then every changed table is written, all in one transaction.
    for (auto &[member, patch] : patches_)
        patch->EndRead();
    patches_.clear();
    if (scope_)
        scope_->Commit();
    data_.Tables.Close();
    data_.Tables.Reset();
    open_ = false;
    if (IsDravelinFile(fileName_))
        Pack(actFile_, fileName_);
}
