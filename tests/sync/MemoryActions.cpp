#include "MemoryActions.h"

#include "AppError.h"
#include "DurableFile.h"
#include "SyncState.h"

#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

TRecordValues NewAction(int id)
{
    const QDate today = QDate::currentDate();
    return {{QStringLiteral("ID"), id},
            {QStringLiteral("ID_CHAIN"), id},
            {QStringLiteral("ATTRIBUTE"), QStringLiteral("_%1").arg(id, 5, 10, QLatin1Char('0'))},
            {QStringLiteral("DATE_ACTION"), today},
            {QStringLiteral("DATE_STATUS"), today},
            {QStringLiteral("ACTOR_OWNER"), QStringLiteral("me")},
            {QStringLiteral("ACTOR_ORGANIZOR"), QStringLiteral("me")},
            {QStringLiteral("STATUS"), QStringLiteral("Void")},
            {QStringLiteral("SEVERITY"), QStringLiteral("Medium")}};
}

bool IsSet(const QVariant &value)
{
    return value.isValid() && !(value.typeId() == QMetaType::QString && value.toString().isEmpty());
}

QVariant FromJson(const QJsonValue &value)
{
    if (value.isDouble())
        return value.toInt();
    if (value.isString())
        return value.toString();
    if (value.isObject())
        return QDate::fromString(value.toObject().value(QStringLiteral("date")).toString(), Qt::ISODate);
    return {};
}

} // namespace

MemoryActions::MemoryActions(const QString &fileName) : fileName_(fileName)
{
    QFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    lastId = root.value(QStringLiteral("lastId")).toInt();
    for (const QJsonValue &object : root.value(QStringLiteral("actions")).toArray()) {
        TRecordValues action;
        const QJsonObject fields = object.toObject();
        for (auto it = fields.begin(); it != fields.end(); ++it)
            action.insert(it.key(), FromJson(it.value()));
        actions.insert(action.value(QStringLiteral("ID")).toInt(), action);
    }
    for (const QJsonValue &value : root.value(QStringLiteral("log")).toArray()) {
        const QJsonObject entry = value.toObject();
        log.append({entry.value(QStringLiteral("action")).toInt(),
                    entry.value(QStringLiteral("statusLine")).toString(),
                    entry.value(QStringLiteral("description")).toString()});
    }
}

int MemoryActions::Add(const TRecordValues &fields)
{
    TRecordValues action = NewAction(++lastId);
    action.insert(fields);
    actions.insert(lastId, action);
    return lastId;
}

QStringList MemoryActions::LogOf(int id) const
{
    QStringList lines;
    for (const LogEntry &entry : log)
        if (entry.action == id)
            lines.append(entry.statusLine);
    return lines;
}

bool MemoryActions::Save(QString *error) const
{
    QJsonArray list, entries;
    for (const TRecordValues &action : actions) {
        QJsonObject object;
        for (auto it = action.begin(); it != action.end(); ++it)
            object.insert(it.key(), StoredValueToJson(it.value()));
        list.append(object);
    }
    for (const LogEntry &entry : log)
        entries.append(QJsonObject{{QStringLiteral("action"), entry.action},
                                   {QStringLiteral("statusLine"), entry.statusLine},
                                   {QStringLiteral("description"), entry.description}});
    const QJsonObject root{{QStringLiteral("lastId"), lastId},
                           {QStringLiteral("actions"), list},
                           {QStringLiteral("log"), entries}};
    try {
        WriteFileDurably(fileName_, QJsonDocument(root).toJson(QJsonDocument::Compact));
    } catch (const AppError &failure) {
        if (error)
            *error = failure.message();
        return false;
    }
    return true;
}

QList<TRecordValues> MemoryActions::ReadActions()
{
    return actions.values();
}

QList<int> MemoryActions::ApplyChanges(const QList<TActionChange> &changes)
{
    if (beforeApply)
        beforeApply();
    // Changed on a copy: all of the batch or nothing.
    MemoryActions next(*this);
    QList<int> ids;
    for (const TActionChange &change : changes) {
        int id = change.id;
        if (change.type == TActionChange::Delete) {
            next.actions.remove(id);
            next.log.removeIf([id](const LogEntry &entry) { return entry.action == id; });
            continue;
        }
        if (change.type == TActionChange::Insert) {
            id = ++next.lastId;
            next.actions.insert(id, NewAction(id));
            ids.append(id);
        } else if (!next.actions.contains(id)) {
            throw AppError(QStringLiteral("There is no action %1").arg(id));
        }
        TRecordValues &action = next.actions[id];
        if (change.resolve && !IsSet(action.value(QStringLiteral("DATE_FINISHED")))) {
            for (const char *date : {"DATE_STATUS", "DATE_FINISHED"})
                action.insert(QLatin1String(date), QDate::currentDate());
            action.insert(QStringLiteral("STATUS"), QStringLiteral("Resolved"));
            const QString signOff =
                change.fields.value(QStringLiteral("SIGN_OFF"), action.value(QStringLiteral("SIGN_OFF")))
                    .toString();
            next.log.append(
                {id, QStringLiteral("Action Resolved"), signOff.trimmed().isEmpty() ? QString() : signOff});
        }
        for (auto it = change.fields.begin(); it != change.fields.end(); ++it)
            if (change.type == TActionChange::Update || IsSet(it.value()))
                action.insert(it.key(), it.value());
        for (const TSyncLogEntry &entry : change.log) {
            const bool known = std::any_of(next.log.begin(), next.log.end(), [&](const LogEntry &old) {
                return old.action == id && old.statusLine == entry.statusLine &&
                       old.description == entry.description;
            });
            if (!known)
                next.log.append({id, entry.statusLine, entry.description});
        }
    }
    QString error;
    if (!fileName_.isEmpty() && !next.Save(&error))
        throw AppError(QStringLiteral("The actions cannot be written: ") + error);
    actions = std::move(next.actions);
    log = std::move(next.log);
    lastId = next.lastId;
    return ids;
}
