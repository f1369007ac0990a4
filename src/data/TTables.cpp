#include "TTables.h"

#include "AppError.h"
#include "ScopeGuards.h"
#include "TDataModuleMain.h"

#include <iterator>
#include <limits>
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
    fileName_ = fileName;
    std::optional<TableMember> failed;
    for (TableMember member : kTableMembers) {
        if (!(members & MemberBit(member)))
            continue;
        try {
            OpenTable(member, create);
        } catch (const std::exception &) {
            failed = member;
            break;
        }
    }
    if (!failed) {
        actionsChange_ = QObject::connect(data_.cdsActions, &TTable::DataChange, &data_,
                                          &TDataModuleMain::DataSourceActionsDataChange);
        isOpen_ = true;
        data_.DataSourceActionsDataChange();
        return;
    }
    fileName_.clear();
    isOpen_ = false;
    // Nothing of a set that did not open is written: the files stay as
    // they were.
    for (TableMember member : kTableMembers)
        Table(member)->Abandon();
    CloseTables();
    throw AppError(OpenErrorMessage(*failed));
}

void TTables::Close()
{
    // Every changed table is written before any is closed: after a failed
    // write the set stays open with the unwritten changes, so the user can
    // remove the cause and close or save again.
    std::optional<AppError> firstError;
    for (TableMember member : kTableMembers) {
        try {
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
    if (firstError)
        throw *firstError;
}

void TTables::SaveToFiles()
{
    for (TableMember member : kTableMembers)
        Table(member)->SaveToFile();
}

void TTables::Reset()
{
    isOpen_ = false;
    refreshListOnClose_ = false;
    openInOrder_ = true;
    fileName_.clear();
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
