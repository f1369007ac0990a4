#include "ActionRules.h"

#include "Formats.h"
#include "TSettings.h"

const QList<TActionListColumn> &ActionListColumns()
{
    static const QList<TActionListColumn> columns{
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

bool IsMine(const QString &actorOwner, const QString &actorHome)
{
    return UpperCase(actorOwner.trimmed()) == UpperCase(actorHome.trimmed());
}

bool IsOnHold(const QString &status)
{
    return UpperCase(status) == QLatin1String("ON HOLD");
}

bool IsSevere(const QString &severity)
{
    const QString word = UpperCase(severity);
    return word == QLatin1String("HIGH") || word == QLatin1String("BLOCKING") ||
           word == QLatin1String("RED ALERT");
}

bool IsActionOverdue(const QDate &dateFinished, const QString &status, const QDate &dateDue,
                     const QDate &today)
{
    return !IsResolved(dateFinished) && !IsOnHold(status) && dateDue.isValid() && today > dateDue;
}

bool FiltersMine(const TActionFilterInput &input)
{
    return input.showMine && MineApplies(input.actorHome);
}

bool AcceptAction(const TActionFilterInput &input, bool resolved, const QString &actorOwner)
{
    const bool ownerOk = !FiltersMine(input) || IsMine(actorOwner, input.actorHome);
    switch (static_cast<TActionFilter>(input.filter)) {
    case TActionFilter::All:
        return ownerOk;
    case TActionFilter::Open:
        return !resolved && ownerOk;
    case TActionFilter::Resolved:
        return resolved && ownerOk;
    default:
        return true;
    }
}

TSeverityIndicator SeverityIndicator(bool hasRecord, const QString &severity)
{
    TSeverityIndicator indicator;
    if (!hasRecord)
        return indicator;
    const QString word = UpperCase(severity);
    if (word == QLatin1String("COSMETIC") || word == QLatin1String("LOW"))
        indicator.color = TRgb(0, 128, 0);
    else if (word == QLatin1String("MEDIUM"))
        indicator.color = TRgb(255, 255, 0);
    else if (word == QLatin1String("MEDIUM TO HIGH"))
        indicator.color = TRgb(255, 102, 0);
    else if (word == QLatin1String("HIGH") || word == QLatin1String("BLOCKING"))
        indicator.color = TRgb(255, 0, 0);
    else if (word == QLatin1String("RED ALERT"))
        indicator.color = TRgb(125, 0, 125);
    else
        return indicator;
    indicator.visible = true;
    indicator.hint = QStringLiteral("Severity is \"") + severity + QLatin1Char('"');
    return indicator;
}

TStatusIndicator StatusIndicator(bool hasRecord, const QString &status, TStatusOf of)
{
    struct Look {
        const char *word;
        TRgb background, text;
        const char *label;
    };
    static const Look looks[] = {
        {"VOID", TRgb(128, 128, 128), TRgb(255, 255, 0), "V"},
        {"TRANSMITTED", TRgb(0, 128, 128), TRgb(255, 255, 255), ">>"},
        {"ACTIVE", TRgb(255, 0, 128), TRgb(255, 255, 255), "A+"},
        {"ASSIGNED", TRgb(255, 204, 0), TRgb(0, 0, 255), "A"},
        {"PENDING", TRgb(192, 220, 192), TRgb(0, 0, 0), "P.."},
        {"ON HOLD", TRgb(255, 213, 170), TRgb(0, 0, 128), "H"},
        {"REINTRODUCED", TRgb(128, 128, 0), TRgb(255, 255, 0), "<<"},
        {"RESOLVED", TRgb(0, 255, 0), TRgb(0, 0, 128), "F"},
    };
    TStatusIndicator indicator;
    if (!hasRecord)
        return indicator;
    const QString word = UpperCase(status);
    for (const Look &look : looks) {
        if (word != QLatin1String(look.word))
            continue;
        indicator.visible = true;
        indicator.background = look.background;
        indicator.textColor = look.text;
        indicator.text = QLatin1String(look.label);
        indicator.hint = (of == TStatusOf::Action ? QStringLiteral("Action Status is \"")
                                                  : QStringLiteral("Log Status is \"")) +
                         status + QLatin1Char('"');
        break;
    }
    return indicator;
}

QString DueDateText(const QDate &dateDue, const QDate &dateFinished, const QDate &today)
{
    if (IsResolved(dateFinished) || !dateDue.isValid())
        return QString();
    const qint64 days = today.daysTo(dateDue);
    if (days < 0)
        return QString();
    if (days == 0)
        return QStringLiteral("Action Due Date is TODAY");
    if (days == 1)
        return QStringLiteral("[ 1 ] Day until Action Due Date");
    return QStringLiteral("[ ") + QString::number(days) + QStringLiteral(" ] Days until Action Due Date");
}

TRowColors ActionRowColors(const QDate &dateFinished, const QString &status, const QDate &dateDue,
                           int dueDateIndicator, const QDate &today, bool selected)
{
    constexpr TRgb black(0, 0, 0), white(255, 255, 255);
    TRowColors colors;
    if (IsResolved(dateFinished))
        colors = {black, TRgb(120, 255, 192)};
    else if (IsOnHold(status))
        colors = {black, TRgb(255, 213, 170)};
    else if (IsActionOverdue(dateFinished, status, dateDue, today))
        colors = {white, TRgb(255, 0, 0)};
    else if (dateDue.isValid() && dateDue.addDays(-dueDateIndicator) <= today && today <= dateDue)
        colors = {black, TRgb(255, 255, 0)};
    else
        return selected ? TRowColors{black, kSelectedRowColor} : TRowColors{black, white};
    return selected ? TRowColors{white, TRgb(0, 0, 255)} : colors;
}
