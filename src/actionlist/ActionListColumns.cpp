#include "ActionListColumns.h"

const QList<TColumn> &ActionGridColumns()
{
    static const QList<TColumn> columns{
        {QStringLiteral("ATTRIBUTE"), QStringLiteral("Attribute")},
        {QStringLiteral("DATE_ACTION"), QStringLiteral("Date Action")},
        {QStringLiteral("ID_ACTION"), QStringLiteral("ID")},
        {QStringLiteral("SYNOPSIS"), QStringLiteral("Synopsis")},
        {QStringLiteral("DATE_DUE"), QStringLiteral("Date Due")},
        {QStringLiteral("ACTOR_OWNER"), QStringLiteral("Owner")},
        {QStringLiteral("ACTOR_ORGANIZOR"), QStringLiteral("Organizor")},
        {QStringLiteral("STATUS"), QStringLiteral("Status")},
        {QStringLiteral("SEVERITY"), QStringLiteral("Severity")},
        {QStringLiteral("DATE_STATUS"), QStringLiteral("Date Status")},
        {QStringLiteral("DATE_FINISHED"), QStringLiteral("Date Finished")},
        {QStringLiteral("RELATIONS"), QStringLiteral("Relations")},
        {QStringLiteral("FUNCTIONAL_AREA"), QStringLiteral("Functional Area")},
    };
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
