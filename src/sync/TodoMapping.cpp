#include "TodoMapping.h"

#include "Formats.h"

#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <cstdlib>
#include <libical/ical.h>
#include <limits>
#include <memory>
#include <vector>

namespace {

enum class TKind { Integer, Text, Memo, Date };

// The standard property a field travels in; Status and Priority carry a
// form of the word, which itself travels in its own property.
enum class TStandard { None, Summary, Description, Start, Due, Completed, Categories, Status, Priority };

struct TTravellingField {
    const char *name;
    TKind kind;
    int size; // Text: the most characters the field keeps
    TStandard standard;
};

// In the order they are read: a field's standard form may depend on fields
// before it (the summary on the Action ID, the start on the due date, the
// status on the finished date).
constexpr TTravellingField kFields[] = {
    {"ID", TKind::Integer, 0, TStandard::None},
    {"ID_CHAIN", TKind::Integer, 0, TStandard::None},
    {"ATTRIBUTE", TKind::Text, 32, TStandard::None},
    {"ID_ACTION", TKind::Text, 128, TStandard::None},
    {"DATE_STATUS", TKind::Date, 0, TStandard::None},
    {"ACTOR_OWNER", TKind::Text, 64, TStandard::None},
    {"ACTOR_ORGANIZOR", TKind::Text, 64, TStandard::None},
    {"RELATIONS", TKind::Text, 256, TStandard::None},
    {"SIGN_OFF", TKind::Memo, 0, TStandard::None},
    {"DATE_DUE", TKind::Date, 0, TStandard::Due},
    {"DATE_ACTION", TKind::Date, 0, TStandard::Start},
    {"SYNOPSIS", TKind::Text, 256, TStandard::Summary},
    {"DESCRIPTION", TKind::Memo, 0, TStandard::Description},
    {"FUNCTIONAL_AREA", TKind::Text, 256, TStandard::Categories},
    {"DATE_FINISHED", TKind::Date, 0, TStandard::Completed},
    {"STATUS", TKind::Text, 128, TStandard::Status},
    {"SEVERITY", TKind::Text, 128, TStandard::Priority},
};

// Calendar parts nested deeper than this, or more of them, are refused
// before libical builds them.
constexpr int kMaxComponents = 200;
const QByteArray kOwnPrefix = "X-DRAVELIN-";

QString Field(const char *name)
{
    return QLatin1String(name);
}

QByteArray OwnProperty(const TTravellingField &field)
{
    return kOwnPrefix + QByteArray(field.name).replace('_', '-');
}

// A copy travels as UTF-8 with the bytes that calendar text escapes or
// forbids, and blanks at either end, written as %XX, so no program's
// escaping or trimming can change it. A lone % is null, which a text
// property cannot say by being empty.
const QByteArray kNullCopy = "%";

QByteArray EncodeCopy(const QString &text)
{
    if (text.isEmpty())
        return kNullCopy;
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    const QByteArray utf8 = text.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        const auto u = static_cast<unsigned char>(c);
        const bool edge = i == 0 || i == utf8.size() - 1;
        if (u < 0x20 || u == 0x7F || c == '%' || c == ',' || c == ';' || c == '\\' || c == ':' || c == '"' ||
            (c == ' ' && edge)) {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

QString DecodeCopy(const char *value)
{
    const QByteArray raw(value);
    return raw == kNullCopy ? QString() : QString::fromUtf8(QByteArray::fromPercentEncoding(raw));
}

// Calendar text holds no control characters but tab and line feed, breaks
// lines with a line feed alone, and loses blanks at either end.
QString CalendarText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.removeIf(
        [](QChar c) { return (c.unicode() < 0x20 && c != u'\n' && c != u'\t') || c.unicode() == 0x7F; });
    return text.trimmed();
}

QVariant TextOrNull(const QString &text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

const QString &Text(const QVariant &value)
{
    static const QString none;
    return value.typeId() == QMetaType::QString ? *static_cast<const QString *>(value.constData()) : none;
}

QDate DateOf(const QVariant &value)
{
    return value.typeId() == QMetaType::QDate ? value.toDate() : QDate();
}

// The stored form of a value for a field, with a note of what did not fit.
QVariant Stored(const TTravellingField &field, const QVariant &value, QStringList &notes)
{
    if (!value.isValid())
        return {};
    switch (field.kind) {
    case TKind::Text: {
        QString text = Text(value);
        if (text.size() > field.size) {
            qsizetype cut = field.size;
            if (text[cut - 1].isHighSurrogate() && text[cut].isLowSurrogate())
                --cut;
            text.truncate(cut);
            notes.append(QStringLiteral("%1 was longer than %2 characters and was cut")
                             .arg(Field(field.name))
                             .arg(field.size));
        }
        qsizetype end = text.size();
        while (end > 0 && text[end - 1] == QLatin1Char(' '))
            --end;
        text.truncate(end);
        return TextOrNull(text);
    }
    case TKind::Memo:
        return TextOrNull(Text(value));
    case TKind::Date: {
        const QDate date = DateOf(value);
        if (IsStorableDate(date))
            return date;
        notes.append(QStringLiteral("%1 is no date from 0001-01-01 to 9999-12-31 and was left empty")
                         .arg(Field(field.name)));
        return {};
    }
    case TKind::Integer:
        return value.typeId() == QMetaType::Int ? value : QVariant();
    }
    return {};
}

// A copy's text as the value of its field, before it is stored.
QVariant ParseCopy(const TTravellingField &field, const QString &text, QStringList &notes)
{
    if (text.isEmpty())
        return {};
    switch (field.kind) {
    case TKind::Integer: {
        bool ok = false;
        const qint64 number = text.toLongLong(&ok);
        if (ok && number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max())
            return int(number);
        notes.append(
            QStringLiteral("%1 is no whole number of 32 bits and was left empty").arg(Field(field.name)));
        return {};
    }
    case TKind::Date: {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (date.isValid())
            return date;
        notes.append(QStringLiteral("%1 is no date and was left empty").arg(Field(field.name)));
        return {};
    }
    default:
        return text;
    }
}

QString CopyText(const TTravellingField &field, const QVariant &value)
{
    if (!value.isValid())
        return QString();
    switch (field.kind) {
    case TKind::Integer:
        return QString::number(value.toInt());
    case TKind::Date:
        return DateOf(value).toString(Qt::ISODate);
    default:
        return Text(value);
    }
}

const TTravellingField &StandardField(TStandard standard)
{
    for (const TTravellingField &field : kFields)
        if (field.standard == standard)
            return field;
    std::abort();
}

// The highest priority is 1, the lowest 9; 0 is none.
constexpr struct {
    const char *word;
    int priority;
} kSeverities[] = {{"Red Alert", 1}, {"Blocking", 2}, {"High", 3},    {"Medium to High", 4},
                   {"Medium", 5},    {"Low", 7},      {"Cosmetic", 9}};

int PriorityOf(const QString &severity)
{
    const QString word = UpperCase(severity);
    for (const auto &entry : kSeverities)
        if (word == UpperCase(QLatin1String(entry.word)))
            return entry.priority;
    return 0;
}

QVariant SeverityOf(int priority)
{
    if (priority <= 0 || priority > 9)
        return {};
    for (const auto &entry : kSeverities)
        if (priority <= entry.priority)
            return QLatin1String(entry.word);
    return {};
}

QString StatusOf(bool finished, const QString &word)
{
    if (finished)
        return QStringLiteral("COMPLETED");
    return UpperCase(word) == QLatin1String("ACTIVE") ? QStringLiteral("IN-PROCESS")
                                                      : QStringLiteral("NEEDS-ACTION");
}

// What a standard property says for the action's values: text, date or
// number, null where the property is left out.
QVariant StandardFor(TStandard standard, const TRecordValues &action)
{
    const auto value = [&](const char *name) { return action.value(Field(name)); };
    switch (standard) {
    case TStandard::Summary: {
        // A task without a synopsis is shown by its Action ID.
        const QString synopsis = CalendarText(Text(value("SYNOPSIS")));
        return TextOrNull(synopsis.isEmpty() ? CalendarText(Text(value("ID_ACTION"))) : synopsis);
    }
    case TStandard::Description:
        return TextOrNull(CalendarText(Text(value("DESCRIPTION"))));
    case TStandard::Categories: {
        // Calendars split categories at commas and trim each.
        QStringList categories = CalendarText(Text(value("FUNCTIONAL_AREA"))).split(QLatin1Char(','));
        for (QString &category : categories)
            category = category.trimmed();
        categories.removeAll(QString());
        return TextOrNull(categories.join(QLatin1Char(',')));
    }
    case TStandard::Start: {
        // A task is never due before it starts; such a start travels only
        // in the copy.
        const QDate start = DateOf(value("DATE_ACTION")), due = DateOf(value("DATE_DUE"));
        return start.isValid() && !(due.isValid() && due < start) ? QVariant(start) : QVariant();
    }
    case TStandard::Due:
        return value("DATE_DUE");
    case TStandard::Completed:
        return value("DATE_FINISHED");
    case TStandard::Status:
        return StatusOf(DateOf(value("DATE_FINISHED")).isValid(), Text(value("STATUS")));
    case TStandard::Priority:
        return PriorityOf(Text(value("SEVERITY")));
    case TStandard::None:
        break;
    }
    return {};
}

icalproperty_kind PropertyKind(TStandard standard)
{
    switch (standard) {
    case TStandard::Summary:
        return ICAL_SUMMARY_PROPERTY;
    case TStandard::Description:
        return ICAL_DESCRIPTION_PROPERTY;
    case TStandard::Start:
        return ICAL_DTSTART_PROPERTY;
    case TStandard::Due:
        return ICAL_DUE_PROPERTY;
    case TStandard::Completed:
        return ICAL_COMPLETED_PROPERTY;
    case TStandard::Categories:
        return ICAL_CATEGORIES_PROPERTY;
    case TStandard::Status:
        return ICAL_STATUS_PROPERTY;
    case TStandard::Priority:
        return ICAL_PRIORITY_PROPERTY;
    case TStandard::None:
        break;
    }
    return ICAL_NO_PROPERTY;
}

// The calendar date of a date or date-time as written, in its own zone.
QDate CalendarDate(const icaltimetype &time)
{
    if (icaltime_is_null_time(time))
        return {};
    return QDate(time.year, time.month, time.day);
}

// COMPLETED is a moment in UTC. This program writes noon of the day in UTC;
// other moments count on the day they fall here.
QDate CompletedDate(icaltimetype time)
{
    if (icaltime_is_null_time(time) || time.is_date)
        return CalendarDate(time);
    time = icaltime_convert_to_zone(time, icaltimezone_get_utc_timezone());
    const QDate day = CalendarDate(time);
    if (time.hour == 12 && time.minute == 0 && time.second == 0)
        return day;
    const QDateTime moment(day, QTime(time.hour, time.minute, time.second), QTimeZone::utc());
    return moment.isValid() ? moment.toLocalTime().date() : day;
}

QString Utf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// What the todo's standard property says, in the form StandardFor gives.
QVariant StandardIn(icalcomponent *todo, TStandard standard)
{
    icalproperty *property = icalcomponent_get_first_property(todo, PropertyKind(standard));
    switch (standard) {
    case TStandard::Summary:
        return TextOrNull(property ? Utf8(icalproperty_get_summary(property)) : QString());
    case TStandard::Description:
        return TextOrNull(property ? Utf8(icalproperty_get_description(property)) : QString());
    case TStandard::Categories: {
        // Several categories read as one text, separated by commas.
        QStringList categories;
        for (; property; property = icalcomponent_get_next_property(todo, ICAL_CATEGORIES_PROPERTY))
            if (const QString category = Utf8(icalproperty_get_categories(property)); !category.isEmpty())
                categories.append(category);
        return TextOrNull(categories.join(QLatin1Char(',')));
    }
    case TStandard::Start:
        return property ? QVariant(CalendarDate(icalproperty_get_dtstart(property))) : QVariant();
    case TStandard::Due:
        return property ? QVariant(CalendarDate(icalproperty_get_due(property))) : QVariant();
    case TStandard::Completed:
        return property ? QVariant(CompletedDate(icalproperty_get_completed(property))) : QVariant();
    case TStandard::Status: {
        // No status says whether COMPLETED is there.
        const char *status = property ? icalproperty_get_value_as_string(property) : nullptr;
        if (status && *status)
            return QString::fromUtf8(status).toUpper();
        return StatusOf(icalcomponent_get_first_property(todo, ICAL_COMPLETED_PROPERTY), QString());
    }
    case TStandard::Priority:
        return property ? icalproperty_get_priority(property) : 0;
    case TStandard::None:
        break;
    }
    return {};
}

// A date property made from its text: libical's constructors take no year
// past 9997, its parser takes every four-digit year.
icalproperty *DateProperty(const char *name, const QDate &date, const char *suffix = "")
{
    const QByteArray text = QByteArray(name) + date.toString(QStringLiteral("yyyyMMdd")).toLatin1() + suffix;
    return icalproperty_new_from_string(text.constData());
}

icalproperty *NewStandard(TStandard standard, const QVariant &value)
{
    const QByteArray text = Text(value).toUtf8();
    switch (standard) {
    case TStandard::Summary:
        return icalproperty_new_summary(text.constData());
    case TStandard::Description:
        return icalproperty_new_description(text.constData());
    case TStandard::Categories:
        return icalproperty_new_categories(text.constData());
    case TStandard::Start:
        return DateProperty("DTSTART;VALUE=DATE:", value.toDate());
    case TStandard::Due:
        return DateProperty("DUE;VALUE=DATE:", value.toDate());
    case TStandard::Completed:
        return DateProperty("COMPLETED:", value.toDate(), "T120000Z");
    case TStandard::Status: {
        const QString status = Text(value);
        return icalproperty_new_status(status == QLatin1String("COMPLETED")    ? ICAL_STATUS_COMPLETED
                                       : status == QLatin1String("IN-PROCESS") ? ICAL_STATUS_INPROCESS
                                                                               : ICAL_STATUS_NEEDSACTION);
    }
    case TStandard::Priority:
        return value.toInt() > 0 ? icalproperty_new_priority(value.toInt()) : nullptr;
    case TStandard::None:
        break;
    }
    return nullptr;
}

void RemoveAll(icalcomponent *todo, icalproperty_kind kind)
{
    while (icalproperty *property = icalcomponent_get_first_property(todo, kind)) {
        icalcomponent_remove_property(todo, property);
        icalproperty_free(property);
    }
}

// Our own properties, by name without the prefix.
QHash<QByteArray, QString> OwnProperties(icalcomponent *todo)
{
    QHash<QByteArray, QString> own;
    for (icalproperty *property = icalcomponent_get_first_property(todo, ICAL_X_PROPERTY); property;
         property = icalcomponent_get_next_property(todo, ICAL_X_PROPERTY)) {
        const QByteArray name = QByteArray(icalproperty_get_x_name(property)).toUpper();
        if (name.startsWith(kOwnPrefix) && !own.contains(name))
            own.insert(name, DecodeCopy(icalproperty_get_x(property)));
    }
    return own;
}

// libical marks what it could not read with X-LIC-ERROR properties; they
// are its notes, not part of the task.
void RemoveParseErrors(icalcomponent *component)
{
    RemoveAll(component, ICAL_XLICERROR_PROPERTY);
    for (icalcomponent *child = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); child;
         child = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT))
        RemoveParseErrors(child);
}

void RemoveOwnProperties(icalcomponent *todo)
{
    std::vector<icalproperty *> own;
    for (icalproperty *property = icalcomponent_get_first_property(todo, ICAL_X_PROPERTY); property;
         property = icalcomponent_get_next_property(todo, ICAL_X_PROPERTY))
        if (QByteArray(icalproperty_get_x_name(property)).toUpper().startsWith(kOwnPrefix))
            own.push_back(property);
    for (icalproperty *property : own) {
        icalcomponent_remove_property(todo, property);
        icalproperty_free(property);
    }
}

struct TComponentFree {
    void operator()(icalcomponent *component) const { icalcomponent_free(component); }
};
using TComponent = std::unique_ptr<icalcomponent, TComponentFree>;

// Parses at most kMaxTodoBytes into a component tree, or says why not.
TComponent Parse(const QByteArray &ical, QString &error)
{
    static const bool quiet = [] {
        // Bad input is reported, never a reason to abort the program.
        icalerror_set_errors_are_fatal(0);
        return true;
    }();
    Q_UNUSED(quiet);
    if (ical.size() > kMaxTodoBytes) {
        error = QStringLiteral("The task is larger than %1 MB").arg(kMaxTodoBytes >> 20);
        return {};
    }
    if (ical.toUpper().count("BEGIN:") > kMaxComponents) {
        error = QStringLiteral("The task has more than %1 parts").arg(kMaxComponents);
        return {};
    }
    if (ical.contains('\0')) {
        error = QStringLiteral("The task is no iCalendar text");
        return {};
    }
    TComponent root(icalparser_parse_string(ical.constData()));
    icalerror_clear_errno();
    if (!root)
        error = QStringLiteral("The task is no iCalendar text");
    return root;
}

// The task of a calendar object: the one VTODO, or of several with one UID
// (a repeating task's exceptions) the one without RECURRENCE-ID.
icalcomponent *MainTodo(icalcomponent *root, QString &error)
{
    std::vector<icalcomponent *> todos;
    const auto collect = [&](icalcomponent *parent) {
        for (icalcomponent *todo = icalcomponent_get_first_component(parent, ICAL_VTODO_COMPONENT); todo;
             todo = icalcomponent_get_next_component(parent, ICAL_VTODO_COMPONENT))
            todos.push_back(todo);
    };
    if (icalcomponent_isa(root) == ICAL_VTODO_COMPONENT)
        todos.push_back(root);
    collect(root);
    for (icalcomponent *calendar = icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT);
         calendar; calendar = icalcomponent_get_next_component(root, ICAL_VCALENDAR_COMPONENT))
        collect(calendar);
    if (todos.empty()) {
        error = QStringLiteral("The calendar object holds no task");
        return nullptr;
    }
    icalcomponent *main = nullptr;
    const QString uid = Utf8(icalcomponent_get_uid(todos.front()));
    for (icalcomponent *todo : todos) {
        if (Utf8(icalcomponent_get_uid(todo)) != uid) {
            error = QStringLiteral("The calendar object holds more than one task");
            return nullptr;
        }
        if (!main && !icalcomponent_get_first_property(todo, ICAL_RECURRENCEID_PROPERTY))
            main = todo;
    }
    return main ? main : todos.front();
}

constexpr qsizetype kMaxUidLength = 1024;

} // namespace

QStringList TodoActionFields()
{
    QStringList names;
    for (const TTravellingField &field : kFields)
        names.append(Field(field.name));
    return names;
}

TTodoReading TodoToAction(const QByteArray &ical, const QDate &today)
{
    TTodoReading reading;
    TComponent root = Parse(ical, reading.error);
    if (!root)
        return reading;
    icalcomponent *todo = MainTodo(root.get(), reading.error);
    if (!todo)
        return reading;
    reading.uid = Utf8(icalcomponent_get_uid(todo));
    if (reading.uid.trimmed().isEmpty()) {
        reading.error = QStringLiteral("The task has no UID");
        return reading;
    }
    if (reading.uid.size() > kMaxUidLength) {
        reading.error = QStringLiteral("The task's UID is longer than %1 characters").arg(kMaxUidLength);
        return reading;
    }
    // Calendar programs trim a UID's blanks and drop control characters; such
    // a UID would not name the same task again.
    if (reading.uid != reading.uid.trimmed() ||
        std::any_of(reading.uid.begin(), reading.uid.end(),
                    [](QChar c) { return c.category() == QChar::Other_Control; })) {
        reading.error = QStringLiteral("The task's UID holds control characters or blanks at its ends");
        return reading;
    }

    const QHash<QByteArray, QString> own = OwnProperties(todo);
    reading.foreign = own.isEmpty();
    TRecordValues &fields = reading.fields;
    for (const TTravellingField &field : kFields) {
        const QString name = Field(field.name);
        const auto copy = own.constFind(OwnProperty(field));
        const bool hasCopy = copy != own.constEnd();
        QVariant value;
        if (field.standard == TStandard::None) {
            if (!hasCopy)
                continue;
            value = ParseCopy(field, copy.value(), reading.notes);
        } else if (field.standard == TStandard::Status || field.standard == TStandard::Priority) {
            const QVariant standard = StandardIn(todo, field.standard);
            TRecordValues candidate = fields;
            candidate.insert(name, hasCopy ? ParseCopy(field, copy.value(), reading.notes) : QVariant());
            // The status is compared with the state it was written in, so a
            // task finished or opened again elsewhere changes its word.
            const TTravellingField &finished = StandardField(TStandard::Completed);
            const auto finishedCopy = own.constFind(OwnProperty(finished));
            QStringList ignored;
            candidate.insert(Field(finished.name), finishedCopy != own.constEnd()
                                                       ? ParseCopy(finished, finishedCopy.value(), ignored)
                                                       : QVariant());
            if (hasCopy && SameValue(StandardFor(field.standard, candidate), standard)) {
                value = candidate.value(name);
            } else if (field.standard == TStandard::Priority) {
                value = SeverityOf(standard.toInt());
            } else {
                // Changed elsewhere, or made there: the word that says it.
                const QString status = Text(standard);
                const bool wasFinished = DateOf(candidate.value(Field(finished.name))).isValid();
                value = status == QLatin1String("COMPLETED")    ? QVariant(QStringLiteral("Resolved"))
                        : status == QLatin1String("IN-PROCESS") ? QVariant(QStringLiteral("Active"))
                        : status == QLatin1String("CANCELLED")  ? QVariant(QStringLiteral("Void"))
                        : !hasCopy                              ? QVariant()
                        : wasFinished                           ? QVariant(QStringLiteral("Reintroduced"))
                                                                : QVariant(QStringLiteral("Assigned"));
            }
            if (!hasCopy && !value.isValid())
                continue;
        } else {
            const QVariant standard = StandardIn(todo, field.standard);
            value = standard;
            if (hasCopy) {
                TRecordValues candidate = fields;
                candidate.insert(name, ParseCopy(field, copy.value(), reading.notes));
                if (SameValue(StandardFor(field.standard, candidate), standard))
                    value = candidate.value(name);
            }
            // Completed elsewhere with no moment given: today.
            if (field.standard == TStandard::Completed && !value.isValid() &&
                Text(StandardIn(todo, TStandard::Status)) == QLatin1String("COMPLETED"))
                value = today;
        }
        fields.insert(name, Stored(field, value, reading.notes));
    }
    reading.ok = true;
    return reading;
}

TTodoWriting ActionToTodo(const TRecordValues &action, const QString &uid, const QByteArray &existing)
{
    TTodoWriting writing;
    QString ignored;
    TComponent root;
    icalcomponent *todo = nullptr;
    if (!existing.isEmpty()) {
        root = Parse(existing, ignored);
        todo = root ? MainTodo(root.get(), ignored) : nullptr;
        if (todo && icalcomponent_isa(root.get()) != ICAL_VCALENDAR_COMPONENT)
            todo = nullptr;
    }
    if (!todo) {
        root.reset(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
        icalcomponent_add_property(root.get(), icalproperty_new_version("2.0"));
        icalcomponent_add_property(root.get(),
                                   icalproperty_new_prodid("-//Dravelin//Dravelin " DRAVELIN_VERSION "//EN"));
        todo = icalcomponent_new(ICAL_VTODO_COMPONENT);
        icalcomponent_add_component(root.get(), todo);
    }
    RemoveParseErrors(root.get());
    RemoveAll(todo, ICAL_UID_PROPERTY);
    icalcomponent_add_property(todo, icalproperty_new_uid(uid.toUtf8().constData()));
    const icaltimetype now = icaltime_current_time_with_zone(icaltimezone_get_utc_timezone());
    for (icalproperty_kind kind : {ICAL_DTSTAMP_PROPERTY, ICAL_LASTMODIFIED_PROPERTY})
        RemoveAll(todo, kind);
    icalcomponent_add_property(todo, icalproperty_new_dtstamp(now));
    icalcomponent_add_property(todo, icalproperty_new_lastmodified(now));
    RemoveOwnProperties(todo);

    for (const TTravellingField &field : kFields) {
        const QVariant value = action.value(Field(field.name));
        // The words and the finished date always travel as they are too:
        // they tell what the derived STATUS and PRIORITY were made from.
        bool copy = field.standard == TStandard::None
                        ? value.isValid()
                        : field.standard == TStandard::Status || field.standard == TStandard::Priority ||
                              field.standard == TStandard::Completed;
        if (field.standard != TStandard::None) {
            const QVariant standard = StandardFor(field.standard, action);
            // A property another program wrote with the same meaning stays.
            const bool present = icalcomponent_get_first_property(todo, PropertyKind(field.standard));
            if (!present || !SameValue(StandardIn(todo, field.standard), standard)) {
                RemoveAll(todo, PropertyKind(field.standard));
                if (standard.isValid())
                    if (icalproperty *property = NewStandard(field.standard, standard))
                        icalcomponent_add_property(todo, property);
            }
            QStringList notes;
            copy = copy || !SameValue(Stored(field, standard, notes), Stored(field, value, notes));
        }
        if (copy) {
            icalproperty *property = icalproperty_new_x(EncodeCopy(CopyText(field, value)).constData());
            icalproperty_set_x_name(property, OwnProperty(field).constData());
            icalcomponent_add_property(todo, property);
        }
    }
    // A finished task is done whole; a task opened again is not.
    const bool finished = DateOf(action.value(Field(StandardField(TStandard::Completed).name))).isValid();
    icalproperty *percent = icalcomponent_get_first_property(todo, ICAL_PERCENTCOMPLETE_PROPERTY);
    if (finished != (percent && icalproperty_get_percentcomplete(percent) == 100)) {
        RemoveAll(todo, ICAL_PERCENTCOMPLETE_PROPERTY);
        if (finished)
            icalcomponent_add_property(todo, icalproperty_new_percentcomplete(100));
    }

    char *text = icalcomponent_as_ical_string_r(root.get());
    writing.ical = QByteArray(text);
    free(text);
    if (writing.ical.size() > kMaxTodoBytes) {
        writing.ical.clear();
        writing.error = QStringLiteral("The action is larger than %1 MB as a task").arg(kMaxTodoBytes >> 20);
        return writing;
    }
    writing.ok = true;
    return writing;
}
