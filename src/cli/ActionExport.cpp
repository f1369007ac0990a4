#include "ActionExport.h"

#include "AppError.h"
#include "Formats.h"
#include "ScopeGuards.h"
#include "TDataModuleMain.h"
#include "TTableFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <libical/ical.h>
#include <map>
#include <string>
#include <vector>

namespace {

const QString kId = QStringLiteral("ID");
const QString kIdAction = QStringLiteral("ID_ACTION");
const QString kFormat = QStringLiteral("dravelin-action-file");
constexpr int kFormatVersion = 1;

// The nested arrays of an action and the tables they come from.
struct TChildKind {
    const char *key;
    TTable *TDataModuleMain::*table;
};
constexpr TChildKind kChildKinds[] = {
    {"log", &TDataModuleMain::cdsLog},
    {"decisions", &TDataModuleMain::cdsDecision},
    {"statements", &TDataModuleMain::cdsStatement},
};

// Every record of table in the order of its identifiers.
void ShowAllById(TTable &table)
{
    table.SetFiltered(false);
    table.SetFilter(QString());
    const QString byId = QStringLiteral("ID_ASC");
    for (const TIndexDef &index : table.IndexDefs())
        if (index.name == byId)
            table.SetIndexName(byId);
}

void ShowAllRecords(TDataModuleMain &data)
{
    for (TTable *table : {data.cdsActions, data.cdsActor, data.cdsLog, data.cdsDecision, data.cdsStatement})
        ShowAllById(*table);
}

QString IsoTime(const QTime &time)
{
    return time.toString(QStringLiteral("hh:mm:ss"));
}

// A field's value as text for the csv file: dates and times in ISO 8601.
QString PlainText(const TFieldDef &def, const QVariant &value)
{
    if (!value.isValid())
        return QString();
    switch (def.type) {
    case ftDate:
        return value.toDate().toString(Qt::ISODate);
    case ftTime:
        return IsoTime(value.toTime());
    case ftInteger:
        return QString::number(value.toInt());
    case ftString:
    case ftMemo:
        break;
    }
    return value.toString();
}

void StoreField(TField field, const QJsonValue &value, const QString &what)
{
    if (value.isNull() || value.isUndefined()) {
        field.Clear();
        return;
    }
    const auto wrong = [&] {
        return AppError(
            QStringLiteral("The value of \"%1\" in %2 is not valid").arg(field.FieldName(), what));
    };
    switch (field.Def().type) {
    case ftInteger: {
        const double number = value.toDouble();
        if (!value.isDouble() || number != double(qint64(number)))
            throw wrong();
        field.SetValue(QVariant(qint64(number)));
        return;
    }
    case ftDate: {
        const QDate date = QDate::fromString(value.toString(), Qt::ISODate);
        if (!value.isString() || !IsStorableDate(date))
            throw wrong();
        field.SetAsDate(date);
        return;
    }
    case ftTime: {
        const QTime time = QTime::fromString(value.toString(), Qt::ISODate);
        if (!value.isString() || !time.isValid())
            throw wrong();
        field.SetAsTime(time);
        return;
    }
    case ftString:
    case ftMemo:
        if (!value.isString())
            throw wrong();
        field.SetAsString(value.toString());
        return;
    }
}

// Sets every field of the current record (edit or insert state) from object;
// a field the object lacks becomes empty. Keys that are neither fields nor
// one of allowedKeys are refused, so a misspelt name is not lost unseen.
void StoreFields(TTable &table, const QJsonObject &object, const QString &what,
                 const QStringList &allowedKeys = {})
{
    for (auto it = object.begin(); it != object.end(); ++it)
        if (table.FieldIndex(it.key()) < 0 && !allowedKeys.contains(it.key()))
            throw AppError(QStringLiteral("Unknown field \"%1\" in %2").arg(it.key(), what));
    for (int field = 0; field < table.FieldCount(); ++field)
        StoreField(table.Fields(field), object.value(table.FieldDefs()[field].name), what);
}

void AppendRecord(TTable &table, const QJsonObject &object, const QString &what,
                  const QStringList &allowedKeys = {})
{
    table.Append();
    UndoOnError(
        [&] {
            StoreFields(table, object, what, allowedKeys);
            table.Post();
        },
        [&] { table.Cancel(); });
}

QJsonArray ArrayOf(const QJsonObject &object, const QString &key, const QString &what)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return {};
    if (!value.isArray())
        throw AppError(QStringLiteral("\"%1\" in %2 is not a list").arg(key, what));
    return value.toArray();
}

QJsonObject ObjectAt(const QJsonArray &array, int position, const QString &what)
{
    const QJsonValue value = array.at(position);
    if (!value.isObject())
        throw AppError(QStringLiteral("Entry %1 of %2 is not an object").arg(position + 1).arg(what));
    return value.toObject();
}

icaltimetype IcalDate(const QDate &date)
{
    icaltimetype time = icaltime_null_date();
    time.year = date.year();
    time.month = date.month();
    time.day = date.day();
    return time;
}

icalproperty_status IcalStatus(const QString &status, bool finished)
{
    const QString word = UpperCase(status);
    if (finished || word == QLatin1String("RESOLVED"))
        return ICAL_STATUS_COMPLETED;
    if (word == QLatin1String("VOID"))
        return ICAL_STATUS_CANCELLED;
    if (word == QLatin1String("ACTIVE"))
        return ICAL_STATUS_INPROCESS;
    return ICAL_STATUS_NEEDSACTION;
}

// 1 is the most urgent, 9 the least; 0 is no priority.
int IcalPriority(const QString &severity)
{
    static const struct {
        const char *word;
        int priority;
    } priorities[] = {{"RED ALERT", 1}, {"BLOCKING", 2}, {"HIGH", 3},    {"MEDIUM TO HIGH", 4},
                      {"MEDIUM", 5},    {"LOW", 7},      {"COSMETIC", 9}};
    const QString word = UpperCase(severity);
    for (const auto &entry : priorities)
        if (word == QLatin1String(entry.word))
            return entry.priority;
    return 0;
}

// Calendar texts break lines with a line feed alone.
void AddText(icalcomponent *todo, icalproperty *(*make)(const char *), QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!text.isEmpty())
        icalcomponent_add_property(todo, make(text.toUtf8().constData()));
}

void AddRelation(icalcomponent *todo, const QString &uid, icalparameter_reltype type)
{
    icalproperty *related = icalproperty_new_relatedto(uid.toUtf8().constData());
    icalproperty_add_parameter(related, icalparameter_new_reltype(type));
    icalcomponent_add_property(todo, related);
}

// Writes JSON text as QJsonDocument::toJson(Indented) lays it out, byte for
// byte, without building the document first: an Action File of many actions
// is written in a fraction of the time and memory. Members are sorted by
// name, as QJsonObject keeps them.
class TJsonWriter {
public:
    using Sink = std::function<void(const char *, size_t)>;
    // The text is handed to sink piece by piece, when Spill and Flush say;
    // without one it stays in Out().
    explicit TJsonWriter(Sink sink = {}) : sink_(std::move(sink))
    {
        if (sink_)
            out_.reserve(kPiece + kPiece / 2);
    }
    std::string &Out() { return out_; }
    // Hands the text so far to the sink once it makes a piece, so the text
    // of a large file never waits whole in memory.
    void Spill()
    {
        if (out_.size() >= kPiece)
            Flush();
    }
    void Flush()
    {
        if (sink_ && !out_.empty())
            sink_(out_.data(), out_.size());
        if (sink_)
            out_.clear();
    }

    void String(const QString &text)
    {
        out_ += '"';
        const QChar *c = text.constData(), *end = c + text.size();
        while (c != end) {
            // Plain characters go in runs, the others one by one.
            const QChar *run = c;
            while (c != end && Plain(c->unicode()))
                ++c;
            if (c != run)
                AppendPlain(run, c - run);
            if (c == end)
                break;
            const char16_t u = c->unicode();
            switch (u) {
            case '"':
                out_ += "\\\"";
                break;
            case '\\':
                out_ += "\\\\";
                break;
            case '\b':
                out_ += "\\b";
                break;
            case '\f':
                out_ += "\\f";
                break;
            case '\n':
                out_ += "\\n";
                break;
            case '\r':
                out_ += "\\r";
                break;
            case '\t':
                out_ += "\\t";
                break;
            default:
                if (u < 0x20) {
                    Escape(u);
                } else if (c->isHighSurrogate() && c + 1 != end && c[1].isLowSurrogate()) {
                    out_ += QString(c, 2).toStdString();
                    ++c;
                } else if (c->isSurrogate()) {
                    Escape(u);
                } else {
                    out_ += QString(c, 1).toStdString();
                }
            }
            ++c;
        }
        out_ += '"';
    }
    // A text given as UTF-8, as String writes it once decoded; texts of
    // plain characters alone, most of them, go as they are.
    void Utf8String(const QByteArray &text)
    {
        const bool plain = std::all_of(text.begin(), text.end(),
                                       [](char c) { return Plain(char16_t(static_cast<unsigned char>(c))); });
        if (!plain) {
            String(QString::fromUtf8(text));
            return;
        }
        out_ += '"';
        out_.append(text.constData(), size_t(text.size()));
        out_ += '"';
    }
    // A date as "yyyy-mm-dd" and a time as "hh:mm:ss", as Qt writes them
    // in ISO 8601 for the years 1 to 9999 the record store keeps.
    void Date(const QDate &date)
    {
        int year = 0, month = 0, day = 0;
        date.getDate(&year, &month, &day);
        char text[] = "\"0000-00-00\"";
        Digits(text + 1, year, 4);
        Digits(text + 6, month, 2);
        Digits(text + 9, day, 2);
        out_.append(text, 12);
    }
    void Time(const QTime &time)
    {
        char text[] = "\"00:00:00\"";
        Digits(text + 1, time.hour(), 2);
        Digits(text + 4, time.minute(), 2);
        Digits(text + 7, time.second(), 2);
        out_.append(text, 10);
    }
    void Key(int indent, const QString &name)
    {
        Indent(indent);
        String(name);
        out_ += ": ";
    }
    void Indent(int indent)
    {
        static constexpr char kSpaces[] = "                                ";
        for (size_t left = size_t(4 * indent); left > 0;) {
            const size_t part = std::min(left, sizeof kSpaces - 1);
            out_.append(kSpaces, part);
            left -= part;
        }
    }
    // A record of table as RecordToJson gives it, at indent, with extra
    // members (already sorted after the fields) written by more.
    template <typename More>
    void Record(TTable &table, const QList<int> &sortedFields, int row, int indent, More more)
    {
        out_ += "{\n";
        // The keys of a table's records at an indent, each written once.
        std::vector<std::string> &keys = keys_[{&table, indent}];
        if (keys.empty()) {
            for (int field : sortedFields) {
                TJsonWriter key;
                key.Key(indent + 1, table.FieldDefs()[field].name);
                keys.push_back(std::move(key.out_));
            }
        }
        bool first = true;
        for (qsizetype i = 0; i < sortedFields.size(); ++i) {
            if (!first)
                out_ += ",\n";
            first = false;
            const int field = sortedFields[i];
            const TFieldDef &def = table.FieldDefs()[field];
            out_ += keys[size_t(i)];
            // The stored value, read in place: a text may still be the
            // UTF-8 bytes it was read as.
            const QVariant &value = table.VisibleRecords()[size_t(row)]->values[size_t(field)];
            if (!value.isValid())
                out_ += "null";
            else if (def.type == ftInteger)
                out_ += std::to_string(StoredNumber(value));
            else if (def.type == ftDate)
                Date(value.toDate());
            else if (def.type == ftTime)
                Time(value.toTime());
            else if (value.typeId() == QMetaType::QByteArray)
                Utf8String(*static_cast<const QByteArray *>(value.constData()));
            else
                String(value.toString());
        }
        more(first);
        out_ += '\n';
        Indent(indent);
        out_ += '}';
    }

private:
    static bool Plain(char16_t u) { return u >= 0x20 && u < 0x80 && u != '"' && u != '\\'; }
    void AppendPlain(const QChar *text, qsizetype count)
    {
        for (qsizetype i = 0; i < count; ++i)
            out_ += char(text[i].unicode());
    }
    static void Digits(char *to, int value, int count)
    {
        for (int i = count - 1; i >= 0; --i, value /= 10)
            to[i] = char('0' + value % 10);
    }
    void Escape(char16_t u)
    {
        static const char digits[] = "0123456789abcdef";
        out_ += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            out_ += digits[(u >> shift) & 0xf];
    }

    static constexpr size_t kPiece = size_t(64) << 10;
    Sink sink_;
    std::string out_;
    std::map<std::pair<const TTable *, int>, std::vector<std::string>> keys_;
};

// The fields of table in the order of their names.
QList<int> SortedFields(const TTable &table)
{
    QList<int> fields;
    for (int field = 0; field < table.FieldCount(); ++field)
        fields.append(field);
    std::sort(fields.begin(), fields.end(),
              [&](int a, int b) { return table.FieldDefs()[a].name < table.FieldDefs()[b].name; });
    return fields;
}

} // namespace

QString CsvField(const QString &text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    for (QChar c : text) {
        if (special.contains(c)) {
            QString quoted = text;
            quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            return QLatin1Char('"') + quoted + QLatin1Char('"');
        }
    }
    return text;
}

QJsonObject RecordToJson(TTable &table, int row)
{
    QJsonObject object;
    for (int field = 0; field < table.FieldCount(); ++field) {
        const TFieldDef &def = table.FieldDefs()[field];
        const QVariant value = table.ValueAt(row, field);
        QJsonValue json;
        if (value.isValid()) {
            if (def.type == ftInteger)
                json = value.toInt();
            else
                json = PlainText(def, value);
        }
        object.insert(def.name, json);
    }
    return object;
}

void ExportJson(TDataModuleMain &data, const std::function<void(const char *, size_t)> &write)
{
    ShowAllRecords(data);
    TTable &actions = *data.cdsActions;
    const int actionId = actions.FieldIndex(kId);
    QSet<int> actionIds;
    for (int row = 0; row < actions.RecordCount(); ++row)
        if (const QVariant id = actions.ValueAt(row, actionId); id.isValid())
            actionIds.insert(id.toInt());

    // The rows of each child table by their action, in the order of their
    // identifiers; rows whose action is missing are unattached.
    struct TChildRows {
        TTable *table;
        QList<int> fields;
        QHash<int, QList<int>> byAction;
        QList<int> unattached;
    };
    std::vector<TChildRows> children;
    for (const TChildKind &kind : kChildKinds) {
        TTable &table = *(data.*kind.table);
        TChildRows rows{&table, SortedFields(table), {}, {}};
        const int owner = table.FieldIndex(kIdAction);
        for (int row = 0; row < table.RecordCount(); ++row) {
            const QVariant id = table.ValueAt(row, owner);
            if (id.isValid() && actionIds.contains(id.toInt()))
                rows.byAction[id.toInt()].append(row);
            else
                rows.unattached.append(row);
        }
        children.push_back(std::move(rows));
    }

    TJsonWriter json(write);
    std::string &out = json.Out();
    const auto records = [&](TTable &table, const QList<int> &fields, const QList<int> &rows, int indent) {
        out += "[\n";
        for (qsizetype i = 0; i < rows.size(); ++i) {
            json.Indent(indent + 1);
            json.Record(table, fields, rows[i], indent + 1, [](bool) {});
            out += i + 1 < rows.size() ? ",\n" : "\n";
            json.Spill();
        }
        json.Indent(indent);
        out += ']';
    };
    const auto allRows = [](TTable &table) {
        QList<int> rows;
        for (int row = 0; row < table.RecordCount(); ++row)
            rows.append(row);
        return rows;
    };

    out += "{\n";
    json.Key(1, QStringLiteral("actions"));
    out += "[\n";
    const QList<int> actionFields = SortedFields(actions);
    for (int row = 0; row < actions.RecordCount(); ++row) {
        const QVariant id = actions.ValueAt(row, actionId);
        json.Indent(2);
        // The nested lists sort after the upper-case field names: decisions, log, statements.
        json.Record(actions, actionFields, row, 2, [&](bool) {
            for (int kind : {1, 0, 2}) {
                out += ",\n";
                json.Key(3, QLatin1String(kChildKinds[kind].key));
                const TChildRows &rows = children[size_t(kind)];
                records(*rows.table, rows.fields,
                        id.isValid() ? rows.byAction.value(id.toInt()) : QList<int>(), 3);
            }
        });
        out += row + 1 < actions.RecordCount() ? ",\n" : "\n";
        json.Spill();
    }
    json.Indent(1);
    out += "],\n";
    json.Key(1, QStringLiteral("contacts"));
    records(*data.cdsActor, SortedFields(*data.cdsActor), allRows(*data.cdsActor), 1);
    out += ",\n";
    json.Key(1, QStringLiteral("format"));
    json.String(kFormat);
    out += ",\n";
    json.Key(1, QStringLiteral("header"));
    TTable &header = *data.cdsAction;
    if (header.RecordCount() > 0)
        json.Record(header, SortedFields(header), 0, 1, [](bool) {});
    else
        out += "{\n    }";
    out += ",\n";
    bool anyUnattached = false;
    for (const TChildRows &rows : children)
        anyUnattached = anyUnattached || !rows.unattached.isEmpty();
    if (anyUnattached) {
        json.Key(1, QStringLiteral("unattached"));
        out += "{\n";
        bool first = true;
        for (int kind : {1, 0, 2}) {
            const TChildRows &rows = children[size_t(kind)];
            if (rows.unattached.isEmpty())
                continue;
            if (!first)
                out += ",\n";
            first = false;
            json.Key(2, QLatin1String(kChildKinds[kind].key));
            records(*rows.table, rows.fields, rows.unattached, 2);
        }
        out += "\n    },\n";
    }
    json.Key(1, QStringLiteral("version"));
    out += std::to_string(kFormatVersion);
    out += "\n}\n";
    json.Flush();
}

void ImportJson(TDataModuleMain &data, const QByteArray &json)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull())
        throw AppError(QStringLiteral("The JSON file cannot be read: %1 at offset %2")
                           .arg(parseError.errorString())
                           .arg(parseError.offset));
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != kFormat ||
        root.value(QStringLiteral("version")).toInt() != kFormatVersion)
        throw AppError(QStringLiteral("The JSON file is no Action File export of this version"));

    // Order of insertion is all the import needs; no index is kept up.
    for (TableMember member : kTableMembers)
        data.Tables.Table(member)->SetIndexName(QString());
    TTable &header = *data.cdsAction;
    header.First();
    header.Edit();
    UndoOnError(
        [&] {
            StoreFields(header, root.value(QStringLiteral("header")).toObject(),
                        QStringLiteral("the header"));
            header.Post();
        },
        [&] { header.Cancel(); });

    const QJsonArray contacts = ArrayOf(root, QStringLiteral("contacts"), QStringLiteral("the file"));
    for (int i = 0; i < contacts.size(); ++i) {
        const QString what = QStringLiteral("contact %1").arg(i + 1);
        AppendRecord(*data.cdsActor, ObjectAt(contacts, i, QStringLiteral("the contacts")), what);
    }

    QStringList childKeys;
    for (const TChildKind &kind : kChildKinds)
        childKeys.append(QLatin1String(kind.key));
    const QJsonArray actions = ArrayOf(root, QStringLiteral("actions"), QStringLiteral("the file"));
    for (int i = 0; i < actions.size(); ++i) {
        const QJsonObject action = ObjectAt(actions, i, QStringLiteral("the actions"));
        const QString what = QStringLiteral("action %1").arg(i + 1);
        AppendRecord(*data.cdsActions, action, what, childKeys);
        for (const TChildKind &kind : kChildKinds) {
            const QJsonArray entries = ArrayOf(action, QLatin1String(kind.key), what);
            for (int j = 0; j < entries.size(); ++j)
                AppendRecord(*(data.*kind.table), ObjectAt(entries, j, what),
                             QStringLiteral("%1 of %2").arg(QLatin1String(kind.key)).arg(what));
        }
    }
    const QJsonObject unattached = root.value(QStringLiteral("unattached")).toObject();
    for (const TChildKind &kind : kChildKinds) {
        const QString what = QStringLiteral("unattached ") + QLatin1String(kind.key);
        const QJsonArray entries = ArrayOf(unattached, QLatin1String(kind.key), what);
        for (int j = 0; j < entries.size(); ++j)
            AppendRecord(*(data.*kind.table), ObjectAt(entries, j, what), what);
    }
}

QByteArray ExportCsv(TDataModuleMain &data)
{
    ShowAllRecords(data);
    TTable &actions = *data.cdsActions;
    QString out;
    QStringList line;
    for (const TFieldDef &def : actions.FieldDefs())
        line.append(def.name);
    out += line.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (int row = 0; row < actions.RecordCount(); ++row) {
        line.clear();
        for (int field = 0; field < actions.FieldCount(); ++field)
            line.append(CsvField(PlainText(actions.FieldDefs()[field], actions.ValueAt(row, field))));
        out += line.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

QString IcalUid(const QString &uidPrefix, int actionId)
{
    return uidPrefix + QLatin1Char('-') + QString::number(actionId) + QStringLiteral("@dravelin");
}

QByteArray ExportIcal(TDataModuleMain &data, const QString &uidPrefix)
{
    ShowAllRecords(data);
    TTable &actions = *data.cdsActions;
    const auto column = [&](const char *name) { return actions.FieldIndex(QLatin1String(name)); };
    const int id = column("ID"), chain = column("ID_CHAIN"), synopsis = column("SYNOPSIS"),
              idAction = column("ID_ACTION"), description = column("DESCRIPTION"),
              dateAction = column("DATE_ACTION"), dateDue = column("DATE_DUE"),
              dateFinished = column("DATE_FINISHED"), status = column("STATUS"),
              severity = column("SEVERITY"), area = column("FUNCTIONAL_AREA");

    // The follow-up of each action, to link both ends of a chain.
    QHash<int, int> followedBy;
    for (int row = 0; row < actions.RecordCount(); ++row) {
        const QVariant own = actions.ValueAt(row, id), next = actions.ValueAt(row, chain);
        if (own.isValid() && next.isValid() && own.toInt() != next.toInt())
            followedBy.insert(next.toInt(), own.toInt());
    }

    icalcomponent *calendar = icalcomponent_new(ICAL_VCALENDAR_COMPONENT);
    icalcomponent_add_property(calendar, icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar,
                               icalproperty_new_prodid("-//Dravelin//dravelin-cli " DRAVELIN_VERSION "//EN"));
    const icaltimetype now = icaltime_current_time_with_zone(icaltimezone_get_utc_timezone());
    for (int row = 0; row < actions.RecordCount(); ++row) {
        const QVariant own = actions.ValueAt(row, id);
        if (!own.isValid())
            continue;
        icalcomponent *todo = icalcomponent_new(ICAL_VTODO_COMPONENT);
        icalcomponent_add_property(
            todo, icalproperty_new_uid(IcalUid(uidPrefix, own.toInt()).toUtf8().constData()));
        icalcomponent_add_property(todo, icalproperty_new_dtstamp(now));
        const QString summary = actions.ValueAt(row, synopsis).toString();
        AddText(todo, icalproperty_new_summary,
                summary.isEmpty() ? actions.ValueAt(row, idAction).toString() : summary);
        AddText(todo, icalproperty_new_description, actions.ValueAt(row, description).toString());
        // A due date before the start is kept; the start then goes, since a
        // task must not be due before it starts.
        const QDate start = actions.ValueAt(row, dateAction).toDate(),
                    due = actions.ValueAt(row, dateDue).toDate();
        if (start.isValid() && !(due.isValid() && due < start))
            icalcomponent_add_property(todo, icalproperty_new_dtstart(IcalDate(start)));
        if (due.isValid())
            icalcomponent_add_property(todo, icalproperty_new_due(IcalDate(due)));
        const QDate finished = actions.ValueAt(row, dateFinished).toDate();
        if (finished.isValid()) {
            // COMPLETED is a time in UTC; the day is all the file knows.
            icaltimetype completed = IcalDate(finished);
            completed.is_date = 0;
            completed.hour = completed.minute = completed.second = 0;
            completed.zone = icaltimezone_get_utc_timezone();
            icalcomponent_add_property(todo, icalproperty_new_completed(completed));
        }
        icalcomponent_add_property(todo, icalproperty_new_status(IcalStatus(
                                             actions.ValueAt(row, status).toString(), finished.isValid())));
        if (const int priority = IcalPriority(actions.ValueAt(row, severity).toString()); priority > 0)
            icalcomponent_add_property(todo, icalproperty_new_priority(priority));
        AddText(todo, icalproperty_new_categories, actions.ValueAt(row, area).toString());
        // A follow-up is the child of the action it follows.
        if (const QVariant next = actions.ValueAt(row, chain); next.isValid() && next.toInt() != own.toInt())
            AddRelation(todo, IcalUid(uidPrefix, next.toInt()), ICAL_RELTYPE_CHILD);
        if (followedBy.contains(own.toInt()))
            AddRelation(todo, IcalUid(uidPrefix, followedBy.value(own.toInt())), ICAL_RELTYPE_PARENT);
        icalcomponent_add_component(calendar, todo);
    }
    char *text = icalcomponent_as_ical_string_r(calendar);
    const QByteArray result(text);
    free(text);
    icalcomponent_free(calendar);
    return result;
}
