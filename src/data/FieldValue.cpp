#include "FieldValue.h"

#include "AppError.h"
#include "Formats.h"

#include <QDateTime>
#include <limits>

namespace {

// A date or time from a date-time, from typed text (blank is null) or from
// a value of its own type; text that does not parse is refused.
template <typename T>
T TemporalValue(const QVariant &value, T (QDateTime::*part)() const, T (*parse)(const QString &),
                const char *what)
{
    if (value.typeId() == QMetaType::QDateTime)
        return (value.toDateTime().*part)();
    if (value.typeId() != QMetaType::QString)
        return value.value<T>();
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return T();
    const T result = parse(text);
    if (!result.isValid())
        throw AppError(QStringLiteral("'%1' is not a valid %2").arg(value.toString(), QLatin1String(what)));
    return result;
}

} // namespace

QString FormatValue(const TFieldDef &field, const QVariant &value)
{
    if (!value.isValid())
        return QString();
    switch (field.type) {
    case ftDate:
        return FormatDate(value.toDate());
    case ftTime:
        return FormatTime(value.toTime());
    case ftInteger:
        return QString::number(value.toInt());
    default:
        return value.toString();
    }
}

QVariant NormalizeValue(const TFieldDef &def, const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    const bool isText = value.typeId() == QMetaType::QString;
    switch (def.type) {
    case ftString: {
        QString text = value.toString();
        if (text.size() > def.size) {
            // Cut at a character boundary: a pair of surrogates is kept or
            // dropped whole.
            qsizetype cut = def.size;
            if (cut > 0 && text[cut - 1].isHighSurrogate() && text[cut].isLowSurrogate())
                --cut;
            text.truncate(cut);
        }
        qsizetype end = text.size();
        while (end > 0 && text[end - 1] == QLatin1Char(' '))
            --end;
        text.truncate(end);
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case ftMemo: {
        const QString text = value.toString();
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case ftInteger: {
        if (!isText) {
            // Refused rather than cut to the 32 bits the store keeps.
            bool ok = false;
            const qint64 number = value.toLongLong(&ok);
            if (!ok || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
                throw AppError(QStringLiteral("'%1' is not a valid integer value").arg(value.toString()));
            return QVariant(int(number));
        }
        const QString text = value.toString().trimmed();
        if (text.isEmpty())
            return QVariant();
        bool ok = false;
        const int number = text.toInt(&ok);
        if (!ok)
            throw AppError(QStringLiteral("'%1' is not a valid integer value").arg(value.toString()));
        return number;
    }
    case ftDate: {
        const QDate date = TemporalValue<QDate>(value, &QDateTime::date, ParseDate, "date");
        if (date.isValid() && !IsStorableDate(date))
            throw AppError(QStringLiteral("'%1' is not a valid date").arg(FormatDate(date)));
        return date.isValid() ? QVariant(date) : QVariant();
    }
    case ftTime: {
        const QTime time = TemporalValue<QTime>(value, &QDateTime::time, ParseTime, "time");
        // The store keeps whole seconds, as the time is shown.
        return time.isValid() ? QVariant(QTime(time.hour(), time.minute(), time.second())) : QVariant();
    }
    }
    return QVariant();
}

int ValueAsInteger(const TFieldDef &field, const QVariant &value)
{
    if (!value.isValid())
        return 0;
    if (field.type == ftInteger)
        return value.toInt();
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok);
    if (!ok)
        throw AppError(QStringLiteral("'%1' is not a valid integer value").arg(value.toString()));
    return number;
}

QDate ValueAsDate(const TFieldDef &field, const QVariant &value)
{
    if (field.type == ftDate)
        return value.toDate();
    return value.isValid() ? ParseDate(value.toString()) : QDate();
}

QTime ValueAsTime(const TFieldDef &field, const QVariant &value)
{
    if (field.type == ftTime)
        return value.toTime();
    return value.isValid() ? ParseTime(value.toString()) : QTime();
}
