#include "TTables.h"

#include "AppError.h"
#include "ScopeGuards.h"
#include "TDataModuleMain.h"

#include <limits>
#include <optional>

namespace {

struct TableRole {
    const char *suffix;
    const char *loadingIndex;
    const char *openIndex;
    const char *message;
};

// In the order in which the tables are opened and closed; the position is
// the table's error code.
constexpr TableRole kRoles[TTables::kTableCount] = {
    {"", "", "", "The Action File cannot be opened!"},
    {"._actions", "ID_DESC", "ATTRIBUTE_DESC", "The Actions File cannot be opened!"},
    {"._actor", "", "ID_ASC", "The Actor File cannot be opened!"},
    {"._log", "ID_DESC", "LOG_DATE_TIME", "The Log File cannot be opened!"},
    {"._decision", "ID_DESC", "DATE_ENTERED_DESC", "The Decision File cannot be opened!"},
    {"._statement", "ID_DESC", "DATE_ENTERED_DESC", "The Statement File cannot be opened!"},
};

} // namespace

TTables::TTables(TDataModuleMain &data) : data_(data)
{
}

TTable *TTables::Table(int code) const
{
    switch (code) {
    case 0:
        return data_.cdsAction;
    case 1:
        return data_.cdsActions;
    case 2:
        return data_.cdsActor;
    case 3:
        return data_.cdsLog;
    case 4:
        return data_.cdsDecision;
    case 5:
        return data_.cdsStatement;
    }
    return nullptr;
}

QString TTables::TableFileName(const QString &fileName, int code)
{
    return fileName + QLatin1String(kRoles[code].suffix);
}

QString TTables::OpenErrorMessage(int code)
{
    return QLatin1String(kRoles[code].message);
}

int *TTables::Counter(int code)
{
    switch (code) {
    case 1:
        return &lastActionId_;
    case 3:
        return &lastLogId_;
    case 4:
        return &lastDecisionId_;
    case 5:
        return &lastStatementId_;
    }
    return nullptr;
}

void TTables::OpenTable(int code, bool create)
{
    TTable *table = Table(code);
    const TableRole &role = kRoles[code];
    table->SetFileName(TableFileName(fileName_, code));
    table->SetIndexName(QLatin1String(role.loadingIndex));
    int *counter = Counter(code);
    if (create) {
        table->CreateDataSet();
        if (code == 0) {
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
    if (code == 1)
        table->SetFiltered(true);
    table->SetIndexName(QLatin1String(role.openIndex));
    table->First();
}

bool TTables::Open(const QString &fileName, bool create, QString *error)
{
    if (isOpen_)
        Close();
    fileName_ = fileName;
    int failed = -1;
    for (int code = 0; code < kTableCount && failed < 0; ++code) {
        try {
            OpenTable(code, create);
        } catch (const std::exception &) {
            failed = code;
        }
    }
    if (failed < 0) {
        actionsChange_ = QObject::connect(data_.cdsActions, &TTable::DataChange, &data_,
                                          &TDataModuleMain::DataSourceActionsDataChange);
        isOpen_ = true;
        data_.DataSourceActionsDataChange();
        return true;
    }
    fileName_.clear();
    isOpen_ = false;
    if (error)
        *error = OpenErrorMessage(failed);
    // Nothing of a set that did not open is written: the files stay as
    // they were.
    for (int code = 0; code < kTableCount; ++code)
        Table(code)->Abandon();
    CloseTables();
    return false;
}

void TTables::Close()
{
    // Every changed table is written before any is closed: after a failed
    // write the set stays open with the unwritten changes, so the user can
    // remove the cause and close or save again.
    std::optional<AppError> firstError;
    for (int code = 0; code < kTableCount; ++code) {
        try {
            Table(code)->WriteIfChanged();
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
    for (int code = 0; code < kTableCount; ++code)
        Table(code)->SaveToFile();
}

void TTables::Reset()
{
    isOpen_ = false;
    refreshListOnClose_ = false;
    fileName_.clear();
    lastActionId_ = lastLogId_ = lastDecisionId_ = lastStatementId_ = -1;
}

int TTables::NextId(int kind)
{
    int *counter = Counter(kind == 0 ? 1 : kind + 2);
    if (!counter)
        return -1;
    // Identifiers are 32-bit numbers; past the largest none is handed out.
    if (*counter == std::numeric_limits<int>::max())
        throw AppError(QStringLiteral("No more identifiers can be given in this Action File."));
    return ++*counter;
}
