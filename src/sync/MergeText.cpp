#include "MergeText.h"

#include "Formats.h"

#include <QDate>
#include <QTime>

namespace {

QString Quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The side that has the record: mine unless only theirs has it.
const TRecordValues &Present(const TRecordDiff &diff)
{
    return diff.InMine() ? diff.mine : diff.InTheirs() ? diff.theirs : diff.base;
}

} // namespace

QString RecordTitle(const TRecordDiff &diff)
{
    const TRecordValues &record = Present(diff);
    const QString id = ValueText(record.value(QStringLiteral("ID")));
    switch (diff.kind) {
    case TMergeKind::Header:
        return QStringLiteral("Header");
    case TMergeKind::Contact:
        return QStringLiteral("Contact ") + Quoted(id);
    case TMergeKind::Action:
        return QStringLiteral("Action %1 %2")
            .arg(id, Quoted(ValueText(record.value(QStringLiteral("ID_ACTION")), 60)));
    case TMergeKind::Log:
        return QStringLiteral("Log entry ") + id;
    case TMergeKind::Decision:
        return QStringLiteral("Decision ") + id;
    case TMergeKind::Statement:
        return QStringLiteral("Statement ") + id;
    }
    return QString();
}

QString ChangeText(TRecordChange change)
{
    switch (change) {
    case TRecordChange::Changed:
        return QString();
    case TRecordChange::AddedByThem:
        return QStringLiteral("Added there");
    case TRecordChange::AddedByMe:
        return QStringLiteral("Added here");
    case TRecordChange::AddedByBoth:
        return QStringLiteral("Added on both sides under one number");
    case TRecordChange::DeletedByThem:
        return QStringLiteral("Deleted there");
    case TRecordChange::DeletedByMe:
        return QStringLiteral("Deleted here");
    case TRecordChange::DeletedByThemChangedByMe:
        return QStringLiteral("Deleted there, changed here");
    case TRecordChange::DeletedByMeChangedByThem:
        return QStringLiteral("Deleted here, changed there");
    case TRecordChange::OnlyTheirs:
        return QStringLiteral("Only there");
    case TRecordChange::OnlyMine:
        return QStringLiteral("Only here");
    }
    return QString();
}

QString ValueText(const QVariant &value, int maxLength)
{
    if (!value.isValid() || (value.typeId() == QMetaType::QString && value.toString().isEmpty()))
        return QStringLiteral("(empty)");
    QString text;
    switch (value.typeId()) {
    case QMetaType::QDate:
        text = FormatDate(value.toDate());
        break;
    case QMetaType::QTime:
        text = FormatTime(value.toTime());
        break;
    default:
        text = value.toString();
    }
    // A value from a received file is shown, never obeyed by a terminal.
    for (QChar &c : text)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f))
            c = QLatin1Char(' ');
    text = text.simplified();
    if (maxLength > 0 && text.size() > maxLength)
        text = text.left(maxLength - 1) + QChar(0x2026);
    return text;
}
