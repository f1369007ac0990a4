#include "ActionListColumns.h"

#include "ActionRules.h"

const QList<TColumn> &ActionGridColumns()
{
    static const QList<TColumn> columns = [] {
        QList<TColumn> result;
        for (const TActionListColumn &column : ActionListColumns())
            result.append({column.field, column.title});
        return result;
    }();
    return columns;
}

const QList<TColumn> &LogGridColumns()
{
    static const QList<TColumn> columns{
        {QStringLiteral("DATE_LOG"), QStringLiteral("Date Log")},
        {QStringLiteral("TIME_LOG"), QStringLiteral("Time Log")},
        {QStringLiteral("STATUS_LINE"), QStringLiteral("Status Line")},
        {QStringLiteral("STATUS"), QStringLiteral("Status")},
        {QStringLiteral("DATE_STATUS"), QStringLiteral("Date Status")},
        {QStringLiteral("ACTOR_STATUS"), QStringLiteral("Actor Status")},
        {QStringLiteral("ACTOR_TENDER"), QStringLiteral("Actor Tender")},
    };
    return columns;
}
