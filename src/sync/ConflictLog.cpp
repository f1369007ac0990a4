#include "ConflictLog.h"

#include "Formats.h"

#include <QDate>
#include <QStringList>

namespace {

const QString kPrefix = QStringLiteral("Synchronisation conflict: the server had ");
constexpr qsizetype kStatusLineSize = 128;

// The fields as the action editor labels them.
QString Caption(const QString &field)
{
    static const QHash<QString, QString> captions{
        {QStringLiteral("ID_ACTION"), QStringLiteral("Action ID")},
        {QStringLiteral("ID_CHAIN"), QStringLiteral("Follow Up Action")},
        {QStringLiteral("ATTRIBUTE"), QStringLiteral("Attribute")},
        {QStringLiteral("SYNOPSIS"), QStringLiteral("Synopsis")},
        {QStringLiteral("DATE_ACTION"), QStringLiteral("Date Action")},
        {QStringLiteral("DATE_DUE"), QStringLiteral("Date Due")},
        {QStringLiteral("DATE_STATUS"), QStringLiteral("Date Status")},
        {QStringLiteral("DATE_FINISHED"), QStringLiteral("Date Finished")},
        {QStringLiteral("ACTOR_OWNER"), QStringLiteral("Owner")},
        {QStringLiteral("ACTOR_ORGANIZOR"), QStringLiteral("Organizor")},
        {QStringLiteral("STATUS"), QStringLiteral("Status")},
        {QStringLiteral("SEVERITY"), QStringLiteral("Severity")},
        {QStringLiteral("RELATIONS"), QStringLiteral("Relations")},
        {QStringLiteral("FUNCTIONAL_AREA"), QStringLiteral("Functional Area")},
        {QStringLiteral("DESCRIPTION"), QStringLiteral("Description")},
        {QStringLiteral("SIGN_OFF"), QStringLiteral("Sign Off")}};
    return captions.value(field, field);
}

// A value as the user reads it: dates day/month/year, texts in quotes.
QString Shown(const QVariant &value, bool quoted)
{
    if (!value.isValid() || (value.typeId() == QMetaType::QString && value.toString().isEmpty()))
        return QStringLiteral("(empty)");
    if (value.typeId() == QMetaType::QDate)
        return FormatDate(value.toDate());
    const QString text = value.toString();
    return value.typeId() == QMetaType::QString && quoted ? QLatin1Char('"') + text + QLatin1Char('"') : text;
}

// Cut to the field's size, never between the halves of a surrogate pair.
QString StatusLine(const QString &text)
{
    if (text.size() <= kStatusLineSize)
        return text;
    qsizetype cut = kStatusLineSize - 1;
    if (text[cut - 1].isHighSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}

} // namespace

TSyncLogEntry FieldConflictEntry(const QList<std::pair<QString, QVariant>> &serverValues)
{
    QStringList brief, full;
    for (const auto &[field, value] : serverValues) {
        // A long text shows in full in the description only.
        QString shown = Shown(value, true).simplified();
        brief.append(Caption(field) + QLatin1Char(' ') + shown);
        full.append(Caption(field) + QStringLiteral(": ") + Shown(value, false));
    }
    return {StatusLine(kPrefix + brief.join(QStringLiteral(", "))), full.join(QLatin1Char('\n'))};
}

TSyncLogEntry DeletedOnServerEntry()
{
    return {kPrefix + QStringLiteral("deleted this action"),
            QStringLiteral("The action was changed here since the last synchronisation, so it stays and "
                           "was sent to the server again.")};
}

TSyncLogEntry ChangedOnServerEntry()
{
    return {kPrefix + QStringLiteral("changed this action, which was deleted here"),
            QStringLiteral("The action was brought back with the server's values.")};
}
