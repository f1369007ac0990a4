#include "TTables.h"

#include "AppError.h"
#include "NewFileSet.h"
#include "ScopeGuards.h"
#include "TDataModuleMain.h"
#include "TTableFile.h"

#include <QFileInfo>
#include <iterator>
#include <limits>
#include <new>
#include <optional>

namespace {

struct TableRole {
    const char *loadingIndex;
    const char *openIndex;
    const char *message;
};

// In the order of TableMember.
constexpr TableRole kRoles[kTableMemberCount] = {
    {"", "", "The Action File cannot be opened!"},
    {"ID_DESC", "ATTRIBUTE_DESC", "The Actions File cannot be opened!"},
    {"", "ID_ASC", "The Actor File cannot be opened!"},
    {"ID_DESC", "LOG_DATE_TIME", "The Log File cannot be opened!"},
    {"ID_DESC", "DATE_ENTERED_DESC", "The Decision File cannot be opened!"},
    {"ID_DESC", "DATE_ENTERED_DESC", "The Statement File cannot be opened!"},
};

const TableRole &Role(TableMember member)
{
    return kRoles[MemberIndex(member)];
}

} // namespace

TTablesOpenError::TTablesOpenError(TableMember member, const QString &fileName, const QString &failure,
                                   const QString &cause, bool busy)
    : AppError((busy ? TTables::BusyMessage(member) : TTables::OpenErrorMessage(member)) +
                   QStringLiteral("\n\n") + failure,
               fileName, cause),
      member_(member), tableMessage_(busy ? TTables::BusyMessage(member) : TTables::OpenErrorMessage(member)),
      busy_(busy)
{
}

TTables::TTables(TDataModuleMain &data) : data_(data)
{
}

TTable *TTables::Table(TableMember member) const
{
    switch (member) {
    case TableMember::Header:
        return data_.cdsAction;
    case TableMember::Actions:
        return data_.cdsActions;
    case TableMember::Actor:
        return data_.cdsActor;
    case TableMember::Log:
        return data_.cdsLog;
    case TableMember::Decision:
        return data_.cdsDecision;
    case TableMember::Statement:
        return data_.cdsStatement;
    }
    return nullptr;
}

QString TTables::TableFileName(const QString &fileName, TableMember member)
{
    return fileName + MemberSuffix(member);
}

QString TTables::OpenErrorMessage(TableMember member)
{
    return QLatin1String(Role(member).message);
}

QString TTables::BusyMessage(TableMember member)
{
    // "The Log File cannot be opened!" becomes "The Log File is busy!".
    QString message = OpenErrorMessage(member);
    return message.replace(QStringLiteral("cannot be opened"), QStringLiteral("is busy"));
}

int *TTables::Counter(TableMember member)
{
    switch (member) {
    case TableMember::Actions:
        return &lastActionId_;
    case TableMember::Log:
        return &lastLogId_;
    case TableMember::Decision:
        return &lastDecisionId_;
    case TableMember::Statement:
        return &lastStatementId_;
    case TableMember::Header:
    case TableMember::Actor:
        break;
    }
    return nullptr;
}

void TTables::OpenTable(TableMember member, bool create)
{
    TTable *table = Table(member);
    const TableRole &role = Role(member);
    table->OnChanged = [this](TTable &) { TableChanged(); };
    table->SetFileName(TableFileName(fileName_, member));
    table->SetIndexName(QLatin1String(role.loadingIndex));
    int *counter = Counter(member);
    if (create) {
        table->CreateDataSet();
        if (member == TableMember::Header) {
            table->Append();
            // The header defaults come from the new-record handler.
            UndoOnError([&] { table->Post(); }, [&] { table->Cancel(); });
        }
        if (counter)
            *counter = 0;
    } else {
        table->Open();
        // The highest identifier present; records without one are skipped
        // so identifiers never repeat.
        if (counter)
            *counter = table->MaxInteger(QStringLiteral("ID"), 0);
    }
    table->SetLogChanges(false);
    if (member == TableMember::Actions)
        table->SetFiltered(true);
    table->SetIndexName(QLatin1String(openInOrder_ ? role.openIndex : ""));
    table->First();
}

void TTables::Open(const QString &fileName, bool create, TMemberSet members)
{
    if (isOpen_)
        Close();
    if (fileName != historyFile_) {
        history_.Clear();
        appliedUnwritten_.clear();
        historyFile_ = fileName;
    }
    fileName_ = fileName;
    std::optional<TTablesOpenError> failed;
    opening_ = true;
    for (TableMember member : kTableMembers) {
        if (!(members & MemberBit(member)))
            continue;
        const QString file = TableFileName(fileName, member);
        try {
            OpenTable(member, create);
        } catch (const TTableFileError &error) {
            failed.emplace(member, error.FileName(), error.message(), error.Cause(), error.Busy());
        } catch (const AppError &error) {
            failed.emplace(member, file, error.message(), error.message(), false);
        } catch (const std::bad_alloc &) {
            const QString why = QStringLiteral("there is not enough memory to read it");
            failed.emplace(member, file, QStringLiteral("Cannot read \"%1\": %2.").arg(file, why), why,
                           false);
        } catch (const std::exception &error) {
            const QString why = QString::fromLocal8Bit(error.what());
            failed.emplace(member, file, why, why, false);
        }
        if (failed)
            break;
    }
    opening_ = false;
    if (!failed) {
        actionsChange_ = QObject::connect(data_.cdsActions, &TTable::DataChange, &data_,
                                          &TDataModuleMain::DataSourceActionsDataChange);
        isOpen_ = true;
        onDisk_ = !create;
        data_.DataSourceActionsDataChange();
        if (create && changeDepth_ == 0) {
            // A new set outside a command's scope is written at once.
            try {
                Commit();
            } catch (const AppError &) {
                for (TableMember member : kTableMembers)
                    Table(member)->Abandon();
                CloseTables();
                throw;
            }
        }
        return;
    }
    fileName_.clear();
    isOpen_ = false;
    // Nothing of a set that did not open is written: the files stay as
    // they were.
    for (TableMember member : kTableMembers)
        Table(member)->Abandon();
    CloseTables();
    throw *failed;
}

void TTables::Close()
{
    // Every change is written before any table is closed: after a failed
    // write the set stays open with the unwritten changes, so the user can
    // remove the cause and close or save again.
    Commit();
    std::optional<AppError> firstError;
    for (TableMember member : kTableMembers) {
        try {
            // Only a member whose file went missing is left to write.
            Table(member)->WriteIfChanged();
        } catch (const AppError &error) {
            if (!firstError)
                firstError = error;
        }
    }
    if (firstError)
        throw *firstError;
    CloseTables();
}

void TTables::TableChanged()
{
    // Changes made while the set opens are part of opening it; inside a
    // scope they wait for its commit.
    if (isOpen_ && !opening_ && changeDepth_ == 0)
        Commit();
}

bool TTables::HasUnsavedChanges() const
{
    if (!isOpen_)
        return false;
    for (TableMember member : kTableMembers)
        if (Table(member)->NeedsWrite())
            return true;
    return false;
}

void TTables::Commit()
{
    if (!isOpen_ || opening_)
        return;
    std::vector<TTable *> changed;
    for (TableMember member : kTableMembers) {
        TTable *table = Table(member);
        if (table->NeedsWrite())
            changed.push_back(table);
    }
    if (changed.empty())
        return;
    // The images are taken before the write, which forgets what the files
    // held; a new set that is not on disk yet is no step.
    TChangeStep step;
    if (onDisk_)
        for (TableMember member : kTableMembers)
            Table(member)->PendingChanges(member, step.rows);
    try {
        if (guard_)
            guard_->CheckWrite();
        if (onDisk_)
            WriteChanges(changed);
        else
            Publish();
    } catch (const AppError &error) {
        if (applyingStep_)
            appliedUnwritten_ = std::move(step.rows);
        throw TNotSavedError(error.message());
    }
    if (!appliedUnwritten_.empty()) {
        step.Discount(appliedUnwritten_);
        appliedUnwritten_.clear();
    }
    if (!step.rows.empty() && !applyingStep_) {
        step.caption = stepCaption_.isEmpty() ? DerivedCaption(*this, step.rows, stepLead_) : stepCaption_;
        history_.Record(std::move(step));
    }
    stepCaption_.clear();
    stepLead_.reset();
    Q_EMIT data_.ChangesCommitted();
}

TChangeStep TTables::Step(bool undo)
{
    if (!isOpen_)
        throw AppError(QStringLiteral("No Action File is open."));
    if (undo ? !history_.CanUndo() : !history_.CanRedo())
        throw AppError(undo ? QStringLiteral("There is nothing to undo.")
                            : QStringLiteral("There is nothing to redo."));
    Commit();
    if (undo ? !history_.CanUndo() : !history_.CanRedo())
        throw AppError(undo ? QStringLiteral("There is nothing to undo.")
                            : QStringLiteral("There is nothing to redo."));
    TChangeStep step = undo ? history_.NextUndo() : history_.NextRedo();
    applyingStep_ = true;
    try {
        ApplyStep(*this, step, undo);
    } catch (const TNotSavedError &) {
        // Applied in memory, written with the next commit as any change.
        applyingStep_ = false;
        undo ? history_.Undone() : history_.Redone();
        throw;
    } catch (...) {
        applyingStep_ = false;
        throw;
    }
    applyingStep_ = false;
    undo ? history_.Undone() : history_.Redone();
    return step;
}

TChangeStep TTables::Undo()
{
    return Step(true);
}

TChangeStep TTables::Redo()
{
    return Step(false);
}

void TTables::Publish()
{
    TNewFileSet files(fileName_);
    for (TableMember member : kTableMembers) {
        TTable *table = Table(member);
        if (!table->Active())
            throw AppError(QStringLiteral("Cannot write \"%1\": the table is not open")
                               .arg(TableFileName(fileName_, member)));
        table->WriteNewFile(files.Stage(member));
    }
    files.Publish();
    for (TableMember member : kTableMembers)
        Table(member)->Published();
    onDisk_ = true;
}

void TTables::WriteChanges(const std::vector<TTable *> &tables)
{
    // A file that cannot take its changes in place is written whole first;
    // the others take theirs in one transaction.
    std::vector<TTable *> inPlace;
    for (TTable *table : tables)
        if (table->ReadyForChangesInPlace())
            inPlace.push_back(table);
    std::vector<TFileChanges> changes;
    for (TTable *table : inPlace)
        changes.push_back(table->ChangesInPlace());
    try {
        TTableFile::WriteChangesTogether(changes);
    } catch (const AppError &) {
        for (TTable *table : inPlace)
            table->ChangesNotWritten();
        throw;
    }
    for (size_t i = 0; i < inPlace.size(); ++i)
        inPlace[i]->ChangesWritten(changes[i]);
}

void TTables::CloseTables()
{
    std::optional<AppError> firstError;
    auto closeTable = [&](TTable *table) {
        try {
            table->Close();
        } catch (const AppError &error) {
            // Only a file that vanished since the writes above gets here;
            // the set is closed all the same.
            table->Abandon();
            if (!firstError)
                firstError = error;
        }
    };
    QObject::disconnect(actionsChange_);
    for (TableMember member : kTableMembers)
        Table(member)->OnChanged = nullptr;

    closeTable(data_.cdsAction);
    data_.cdsAction->SetFileName(QString());

    closeTable(data_.cdsActions);
    data_.cdsActions->SetFiltered(false);
    data_.cdsActions->SetIndexName(QString());
    data_.cdsActions->SetFileName(QString());
    data_.AuxiliaryFolder.clear();
    lastActionId_ = -1;

    closeTable(data_.cdsActor);
    data_.cdsActor->SetIndexName(QString());
    data_.cdsActor->SetFileName(QString());

    data_.UnfilterLog();
    closeTable(data_.cdsLog);
    data_.cdsLog->SetIndexName(QString());
    data_.cdsLog->SetFileName(QString());
    lastLogId_ = -1;

    closeTable(data_.cdsDecision);
    data_.cdsDecision->SetIndexName(QString());
    data_.cdsDecision->SetFileName(QString());
    lastDecisionId_ = -1;

    closeTable(data_.cdsStatement);
    data_.cdsStatement->SetIndexName(QString());
    data_.cdsStatement->SetFileName(QString());
    lastStatementId_ = -1;

    fileName_.clear();
    isOpen_ = false;
    onDisk_ = true;
    if (firstError)
        throw *firstError;
}

void TTables::SaveToFiles()
{
    Commit();
    // A member whose file went missing is written whole.
    for (TableMember member : kTableMembers)
        Table(member)->WriteIfChanged();
    if (!guard_ || !isOpen_)
        return;
    try {
        guard_->Saved();
    } catch (const AppError &error) {
        throw TNotSavedError(error.message());
    }
}

TChangeScope::TChangeScope(TTables &tables, const QString &caption) : tables_(tables)
{
    if (tables_.changeDepth_++ == 0) {
        tables_.stepCaption_ = caption;
        tables_.stepLead_.reset();
    }
}

TChangeScope::TChangeScope(TTables &tables, TableMember lead) : TChangeScope(tables)
{
    if (tables_.changeDepth_ == 1)
        tables_.stepLead_ = lead;
}

TChangeScope::~TChangeScope()
{
    // What a failed command left pending goes with the next commit, under
    // that command's name or none.
    if (!ended_ && --tables_.changeDepth_ == 0) {
        tables_.stepCaption_.clear();
        tables_.stepLead_.reset();
    }
}

void TChangeScope::Commit()
{
    if (ended_)
        return;
    ended_ = true;
    if (--tables_.changeDepth_ == 0)
        tables_.Commit();
}

void TTables::Reset()
{
    isOpen_ = false;
    refreshListOnClose_ = false;
    openInOrder_ = true;
    fileName_.clear();
    history_.Clear();
    historyFile_.clear();
    appliedUnwritten_.clear();
    lastActionId_ = lastLogId_ = lastDecisionId_ = lastStatementId_ = -1;
}

void TTables::SeedCounter(TableMember member, int lastId)
{
    if (int *counter = Counter(member))
        *counter = lastId;
}

int TTables::NextId(int kind)
{
    // The record kinds in their order: action, log, decision, statement.
    static constexpr TableMember kByKind[] = {TableMember::Actions, TableMember::Log, TableMember::Decision,
                                              TableMember::Statement};
    if (kind < 0 || kind >= static_cast<int>(std::size(kByKind)))
        return -1;
    int *counter = Counter(kByKind[kind]);
    // Identifiers are 32-bit numbers; past the largest none is handed out.
    if (*counter == std::numeric_limits<int>::max())
        throw AppError(QStringLiteral("No more identifiers can be given in this Action File."));
    return ++*counter;
}
