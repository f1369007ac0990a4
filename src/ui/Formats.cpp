#include "Formats.h"

#include <QLocale>

QString FormatDate(const QDate &date)
{
    return date.isValid() ? date.toString(QLatin1String(kDateFormat)) : QString();
}

QString FormatTime(const QTime &time)
{
    return time.isValid() ? time.toString(QLatin1String(kTimeFormat)) : QString();
}

QString FormatDateTime(const QDateTime &when)
{
    return FormatDate(when.date()) + QLatin1Char(' ') + FormatTime(when.time());
}

bool IsStorableDate(const QDate &date)
{
    return date.isValid() && date.year() >= kMinYear && date.year() <= kMaxYear;
}

QDate ParseDate(const QString &text)
{
    const QString trimmed = text.trimmed();
    QDate date = QDate::fromString(trimmed, QLatin1String(kDateFormat));
    if (!date.isValid())
        date = QDate::fromString(trimmed, QStringLiteral("d/M/yyyy"));
    // Qt takes signed and longer years too; no file or field holds them.
    return IsStorableDate(date) ? date : QDate();
}

QTime ParseTime(const QString &text)
{
    const QString trimmed = text.trimmed();
    QTime time = QTime::fromString(trimmed, QLatin1String(kTimeFormat));
    if (!time.isValid())
        time = QTime::fromString(trimmed, QStringLiteral("h:m:s"));
    if (!time.isValid())
        time = QTime::fromString(trimmed, QStringLiteral("h:m"));
    return time;
}

QString UpperCase(const QString &text)
{
    return QLocale().toUpper(text);
}

bool SameText(const QString &a, const QString &b)
{
    return UpperCase(a) == UpperCase(b);
}
