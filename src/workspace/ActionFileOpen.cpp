#include "ActionFileOpen.h"

#include "ActionFileLock.h"
#include "ActionFileNames.h"
#include "AppError.h"
#include "MemberFiles.h"
#include "ScopeGuards.h"
#include "TDataModuleMain.h"

#include <QDir>
#include <QFileInfo>

namespace {
// Closes the set; without file names the tables have nowhere to write, so a
// file opened read-only is never written, not even a member that went missing.
void CloseTables(TTables &tables, bool readOnly)
{
    if (readOnly)
        for (TableMember member : kTableMembers)
            tables.Table(member)->SetFileName(QString());
    tables.Close();
}
} // namespace

void RefuseNonFile(const QString &fileName)
{
    if (!QFileInfo(fileName).isFile())
        throw AppError(QStringLiteral("The file \"") + fileName + QStringLiteral("\" cannot be opened"),
                       fileName);
}

void RefuseTakenName(const QString &fileName)
{
    const QString existing = ExistingNameInAnyCase(fileName);
    if (!existing.isEmpty())
        throw TNameTakenError(existing);
}

TOpenActionFile::TOpenActionFile(TDataModuleMain &data, TFileLock &lock, const QString &actFile,
                                 const Options &options)
    : data_(data), actFile_(actFile), readOnly_(options.readOnly)
{
    TTables &tables = data.Tables;
    if (tables.IsOpen())
        tables.Close();
    if (!readOnly_ && lock.IsLocked() && HasHiddenNamesake(actFile))
        RemoveWriterLeftovers(actFile);
    // A new file is written as soon as it is made, and every change after:
    // only while this program holds the lock.
    guard_ = std::make_unique<TLockWriteGuard>(tables, lock, readOnly_);
    tables.SetOpenInOrder(options.inOrder);
    try {
        tables.Open(actFile, options.create, options.members);
    } catch (...) {
        tables.Reset();
        throw;
    }
    data.ContainerFileName = options.container;
}

TOpenActionFile::~TOpenActionFile()
{
    data_.ContainerFileName.clear();
}

bool CloseActionFile(TDataModuleMain &data, bool readOnly)
{
    TTables &tables = data.Tables;
    const bool listChanged = tables.RefreshListOnClose();
    CloseTables(tables, readOnly);
    tables.Reset();
    return listChanged;
}

void AbandonActionFile(TDataModuleMain &data) noexcept
{
    try {
        for (TableMember member : kTableMembers)
            data.Tables.Table(member)->Abandon();
        data.Tables.Close();
    } catch (...) {
    }
    data.Tables.Reset();
}

void ReopenActionFile(TDataModuleMain &data, bool readOnly)
{
    const QString fileName = data.Tables.FileName();
    TTable *actions = data.cdsActions;
    const TControlsDisabled disabled(actions);
    const QString indexName = actions->IndexName();
    const QVariant id =
        actions->RecordCount() > 0 ? actions->FieldByName(QStringLiteral("ID")).Value() : QVariant();

    // A close that cannot write leaves the set open with its changes, as it
    // is: the error goes on and nothing is read again.
    CloseTables(data.Tables, readOnly);
    data.Tables.Open(fileName, false);
    actions->SetIndexName(indexName);
    if (!GotoAction(actions, id))
        actions->First();
}

bool GotoAction(TTable *actions, const QVariant &id)
{
    if (!id.isValid())
        return false;
    const int field = actions->FieldIndex(QStringLiteral("ID"));
    const int rows = actions->RecordCount();
    for (int row = 0; row < rows; ++row) {
        if (actions->ValueAt(row, field) == id) {
            actions->SetRecNo(row);
            return true;
        }
    }
    return false;
}
