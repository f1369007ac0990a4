#include "ActionExport.h"

#include "ActionRules.h"
#include "ActionUid.h"
#include "AppError.h"
#include "Formats.h"
#include "ScopeGuards.h"
#include "TDataModuleMain.h"
#include "TRecord.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
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
    const char *entry; // one record, in messages
    TTable *TDataModuleMain::*table;
};
constexpr TChildKind kChildKinds[] = {
    {"log", "log entry", &TDataModuleMain::cdsLog},
    {"decisions", "decision", &TDataModuleMain::cdsDecision},
    {"statements", "statement", &TDataModuleMain::cdsStatement},
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
        RefuseTooLongText(field.Def(), value.toString(), what);
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

// The numbers (ID) of the records of one table imported so far, and where
// each was, so that no number is given twice.
class TImportedIds {
public:
    void Add(const QJsonObject &record, const QString &what)
    {
        const QJsonValue id = record.value(kId);
        // A record without a number yet (never saved) takes none from another.
        if (!id.isDouble())
            return;
        const auto [at, added] = where_.try_emplace(id.toDouble(), what);
        if (!added)
            throw AppError(QStringLiteral("The ID %1 of %2 is already the ID of %3; an Action File "
                                          "gives each number once")
                               .arg(id.toInteger())
                               .arg(what, at->second));
    }

private:
    std::map<double, QString> where_;
};

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

// The text of an iCalendar file (RFC 5545): CRLF line ends, lines longer
// than 75 octets folded, texts escaped. Written here rather than through a
// library, which cuts dates after the year 3000, drops VALUE=DATE in the
// year 1 and leaves commas in a list value and control characters as they
// are.
class TIcalWriter {
public:
    QByteArray &Bytes() { return out_; }

    // One content line: name (with its parameters) and the value as written.
    void Line(const QByteArray &name, const QByteArray &value)
    {
        const QByteArray line = name + ':' + value;
        // Folded between characters, never inside one: a continuation line
        // starts with a space, which counts against its 75 octets.
        qsizetype start = 0, room = 75;
        while (line.size() - start > room) {
            qsizetype cut = start + room;
            while (cut > start && (uchar(line[cut]) & 0xC0) == 0x80)
                --cut;
            out_ += line.mid(start, cut - start) + "\r\n ";
            start = cut;
            room = 74;
        }
        out_ += line.mid(start) + "\r\n";
    }
    // A TEXT value, left out when empty.
    void Text(const QByteArray &name, const QString &text)
    {
        if (!text.isEmpty())
            Line(name, EscapedText(text));
    }
    // A calendar date, for every day from 0001-01-01 to 9999-12-31.
    void Date(const QByteArray &name, const QDate &date) { Line(name + ";VALUE=DATE", DateDigits(date)); }
    // A time of day in UTC on date.
    void UtcTime(const QByteArray &name, const QDate &date, const QTime &time)
    {
        char text[16];
        std::snprintf(text, sizeof text, "T%02d%02d%02dZ", time.hour(), time.minute(), time.second());
        Line(name, DateDigits(date) + text);
    }

private:
    // RFC 5545 TEXT: backslash, semicolon and comma escaped, every line
    // break (CR LF, LF or a lone CR) as "\n". The other control characters
    // have no form in TEXT; each becomes U+FFFD, so none is lost unseen.
    static QByteArray EscapedText(const QString &text)
    {
        QString escaped;
        escaped.reserve(text.size() + 8);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            switch (c) {
            case u'\\':
                escaped += QLatin1String("\\\\");
                break;
            case u';':
                escaped += QLatin1String("\\;");
                break;
            case u',':
                escaped += QLatin1String("\\,");
                break;
            case u'\r':
                if (i + 1 < text.size() && text[i + 1] == u'\n')
                    ++i;
                escaped += QLatin1String("\\n");
                break;
            case u'\n':
                escaped += QLatin1String("\\n");
                break;
            default:
                escaped +=
                    (c < 0x20 && c != u'\t') || c == 0x7f ? QChar(QChar::ReplacementCharacter) : text[i];
            }
        }
        return escaped.toUtf8();
    }

    static QByteArray DateDigits(const QDate &date)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%04d%02d%02d", date.year(), date.month(), date.day());
        return QByteArray(text);
    }

    QByteArray out_;
};

// The state of an action in a calendar, as the program decides it: done
// when resolved (DATE_FINISHED set), whatever the status word says; in
// process when active; otherwise still to do.
const char *IcalStatus(const QString &status, const QDate &finished)
{
    if (IsResolved(finished))
        return "COMPLETED";
    if (UpperCase(status) == QLatin1String("ACTIVE"))
        return "IN-PROCESS";
    return "NEEDS-ACTION";
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
        // The stored values, read in place: a text may still be the UTF-8
        // bytes it was read as.
        const TRecordView record = table.RecordAt(row);
        bool first = true;
        for (qsizetype i = 0; i < sortedFields.size(); ++i) {
            if (!first)
                out_ += ",\n";
            first = false;
            const int field = sortedFields[i];
            const TFieldDef &def = table.FieldDefs()[field];
            out_ += keys[size_t(i)];
            const QVariant &value = record.Stored(field);
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

void RefuseTooLongText(const TFieldDef &def, const QString &text, const QString &where)
{
    if (def.type != ftString)
        return;
    qsizetype length = text.size();
    while (length > 0 && text[length - 1] == QLatin1Char(' '))
        --length;
    if (length <= def.size)
        return;
    throw AppError(QStringLiteral("The text of %1%2 has %3 characters; the field holds at most %4")
                       .arg(def.name, where.isEmpty() ? QString() : QStringLiteral(" in ") + where)
                       .arg(length)
                       .arg(def.size));
}

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
    TImportedIds actionIds;
    TImportedIds childIds[std::size(kChildKinds)];
    const auto appendChild = [&](size_t kind, const QJsonObject &entry, const QString &what) {
        childIds[kind].Add(entry, what);
        AppendRecord(*(data.*kChildKinds[kind].table), entry, what);
    };
    const QJsonArray actions = ArrayOf(root, QStringLiteral("actions"), QStringLiteral("the file"));
    for (int i = 0; i < actions.size(); ++i) {
        const QJsonObject action = ObjectAt(actions, i, QStringLiteral("the actions"));
        const QString what = QStringLiteral("action %1").arg(i + 1);
        actionIds.Add(action, what);
        AppendRecord(*data.cdsActions, action, what, childKeys);
        for (size_t kind = 0; kind < std::size(kChildKinds); ++kind) {
            const QJsonArray entries = ArrayOf(action, QLatin1String(kChildKinds[kind].key), what);
            for (int j = 0; j < entries.size(); ++j)
                appendChild(kind, ObjectAt(entries, j, what),
                            QStringLiteral("%1 %2 of %3")
                                .arg(QLatin1String(kChildKinds[kind].entry))
                                .arg(j + 1)
                                .arg(what));
        }
    }
    const QJsonObject unattached = root.value(QStringLiteral("unattached")).toObject();
    for (size_t kind = 0; kind < std::size(kChildKinds); ++kind) {
        const QString what = QStringLiteral("unattached ") + QLatin1String(kChildKinds[kind].key);
        const QJsonArray entries = ArrayOf(unattached, QLatin1String(kChildKinds[kind].key), what);
        for (int j = 0; j < entries.size(); ++j)
            appendChild(
                kind, ObjectAt(entries, j, what),
                QStringLiteral("unattached %1 %2").arg(QLatin1String(kChildKinds[kind].entry)).arg(j + 1));
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

QByteArray ExportIcal(TDataModuleMain &data)
{
    ShowAllRecords(data);
    TTable &actions = *data.cdsActions;
    const auto column = [&](const char *name) { return actions.FieldIndex(QLatin1String(name)); };
    const int id = column("ID"), chain = column("ID_CHAIN"), synopsis = column("SYNOPSIS"),
              idAction = column("ID_ACTION"), description = column("DESCRIPTION"),
              dateAction = column("DATE_ACTION"), dateDue = column("DATE_DUE"),
              dateFinished = column("DATE_FINISHED"), status = column("STATUS"),
              severity = column("SEVERITY"), area = column("FUNCTIONAL_AREA");
    const QString fileKey = ActionFileKey(*data.cdsAction);
    const auto uid = [&](int action) { return ActionUid(fileKey, action).toUtf8(); };

    // The follow-up of each action, to link both ends of a chain.
    QHash<int, int> followedBy;
    for (int row = 0; row < actions.RecordCount(); ++row) {
        const QVariant own = actions.ValueAt(row, id), next = actions.ValueAt(row, chain);
        if (own.isValid() && next.isValid() && own.toInt() != next.toInt())
            followedBy.insert(next.toInt(), own.toInt());
    }

    TIcalWriter ical;
    ical.Line("BEGIN", "VCALENDAR");
    ical.Line("VERSION", "2.0");
    ical.Line("PRODID", "-//Dravelin//dravelin-cli " DRAVELIN_VERSION "//EN");
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int row = 0; row < actions.RecordCount(); ++row) {
        const QVariant own = actions.ValueAt(row, id);
        if (!own.isValid())
            continue;
        ical.Line("BEGIN", "VTODO");
        ical.Line("UID", uid(own.toInt()));
        ical.UtcTime("DTSTAMP", now.date(), now.time());
        const QString summary = actions.ValueAt(row, synopsis).toString();
        ical.Text("SUMMARY", summary.isEmpty() ? actions.ValueAt(row, idAction).toString() : summary);
        ical.Text("DESCRIPTION", actions.ValueAt(row, description).toString());
        // A due date before the start is kept; the start then goes, since a
        // task must not be due before it starts.
        const QDate start = actions.ValueAt(row, dateAction).toDate(),
                    due = actions.ValueAt(row, dateDue).toDate();
        if (start.isValid() && !(due.isValid() && due < start))
            ical.Date("DTSTART", start);
        if (due.isValid())
            ical.Date("DUE", due);
        // COMPLETED is a time in UTC; the day is all the file knows.
        const QDate finished = actions.ValueAt(row, dateFinished).toDate();
        if (finished.isValid())
            ical.UtcTime("COMPLETED", finished, QTime(0, 0));
        ical.Line("STATUS", IcalStatus(actions.ValueAt(row, status).toString(), finished));
        if (const int priority = IcalPriority(actions.ValueAt(row, severity).toString()); priority > 0)
            ical.Line("PRIORITY", QByteArray::number(priority));
        // The functional area is one category, commas and all.
        ical.Text("CATEGORIES", actions.ValueAt(row, area).toString());
        // A follow-up is the child of the action it follows.
        if (const QVariant next = actions.ValueAt(row, chain); next.isValid() && next.toInt() != own.toInt())
            ical.Line("RELATED-TO;RELTYPE=CHILD", uid(next.toInt()));
        if (followedBy.contains(own.toInt()))
            ical.Line("RELATED-TO;RELTYPE=PARENT", uid(followedBy.value(own.toInt())));
        ical.Line("END", "VTODO");
    }
    ical.Line("END", "VCALENDAR");
    return ical.Bytes();
}
