#include "SyncState.h"

#include "AppError.h"
#include "DurableFile.h"
#include "Formats.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTime>
#include <QUuid>
#include <cmath>
#include <limits>

namespace {

const QString kFormat = QStringLiteral("dravelin-sync-state");
constexpr int kVersion = 1;
constexpr qint64 kMaxStateBytes = qint64(256) << 20;
const QString kDate = QStringLiteral("date"), kTime = QStringLiteral("time");

// Reading stops at the first thing that does not fit, named by where.
class TStrictReader {
public:
    [[noreturn]] void Fail(const QString &what) const { throw std::runtime_error(what.toStdString()); }

    QJsonObject Object(const QJsonValue &value, const QString &where) const
    {
        if (!value.isObject())
            Fail(QStringLiteral("%1 is not an object").arg(where));
        return value.toObject();
    }

    QString Text(const QJsonObject &object, const QString &key, const QString &where, bool required) const
    {
        const QJsonValue value = object.value(key);
        if (!value.isString() || (required && value.toString().isEmpty()))
            Fail(QStringLiteral("%1 has no %2").arg(where, key));
        return value.toString();
    }

    // Every key of object is one of keys.
    void OnlyKeys(const QJsonObject &object, const QStringList &keys, const QString &where) const
    {
        for (auto it = object.begin(); it != object.end(); ++it)
            if (!keys.contains(it.key()))
                Fail(QStringLiteral("%1 has the unknown entry \"%2\"").arg(where, it.key()));
    }

    // The value of field in where's fields.
    QVariant Value(const QJsonValue &value, const QString &where, const QString &field) const
    {
        // Named only for a message: most states hold many thousand values.
        const auto named = [&] { return QStringLiteral("%1 %2").arg(where, field); };
        switch (value.type()) {
        case QJsonValue::Null:
            return {};
        case QJsonValue::String:
            return value.toString();
        case QJsonValue::Double: {
            const double number = value.toDouble();
            if (number != std::floor(number) || number < std::numeric_limits<int>::min() ||
                number > std::numeric_limits<int>::max())
                Fail(QStringLiteral("%1 is no whole number of 32 bits").arg(named()));
            return int(number);
        }
        case QJsonValue::Object: {
            const QJsonObject object = value.toObject();
            if (object.size() == 1 && object.value(kDate).isString()) {
                const QDate date = QDate::fromString(object.value(kDate).toString(), Qt::ISODate);
                if (!IsStorableDate(date))
                    Fail(QStringLiteral("%1 is not a valid date").arg(named()));
                return date;
            }
            if (object.size() == 1 && object.value(kTime).isString()) {
                const QTime time = QTime::fromString(object.value(kTime).toString(), Qt::ISODate);
                if (!time.isValid())
                    Fail(QStringLiteral("%1 is not a valid time").arg(named()));
                return time;
            }
            break;
        }
        default:
            break;
        }
        Fail(QStringLiteral("%1 is no value of a field").arg(named()));
    }

    TRecordValues Fields(const QJsonValue &value, const QString &where, const QString &part) const
    {
        const QJsonObject object = Object(value, where + part);
        TRecordValues fields;
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key().isEmpty())
                Fail(QStringLiteral("%1 has a field without a name").arg(where));
            fields.insert(fields.cend(), it.key(), Value(it.value(), where, it.key()));
        }
        return fields;
    }

    TSyncState State(const QByteArray &bytes) const
    {
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
        if (document.isNull())
            Fail(QStringLiteral("%1 at offset %2").arg(parseError.errorString()).arg(parseError.offset));
        const QJsonObject root = Object(document.object(), QStringLiteral("the file"));
        if (!document.isObject() || root.value(QStringLiteral("format")).toString() != kFormat)
            Fail(QStringLiteral("it is no synchronisation state"));
        const QJsonValue version = root.value(QStringLiteral("version"));
        if (!version.isDouble() || version.toDouble() != kVersion)
            Fail(version.isDouble() && version.toDouble() > kVersion
                     ? QStringLiteral("it was written by a newer version of the program")
                     : QStringLiteral("its version is not known"));
        OnlyKeys(root,
                 {QStringLiteral("format"), QStringLiteral("version"), QStringLiteral("collection"),
                  QStringLiteral("user"), QStringLiteral("syncToken"), QStringLiteral("ctag"),
                  QStringLiteral("actions")},
                 QStringLiteral("the file"));
        TSyncState state;
        const QString file = QStringLiteral("the file");
        state.collectionUrl = Text(root, QStringLiteral("collection"), file, true);
        state.user = Text(root, QStringLiteral("user"), file, false);
        state.syncToken = Text(root, QStringLiteral("syncToken"), file, false);
        state.ctag = Text(root, QStringLiteral("ctag"), file, false);
        const QJsonValue actions = root.value(QStringLiteral("actions"));
        if (!actions.isArray())
            Fail(QStringLiteral("the file has no list of actions"));
        QSet<QString> uids, hrefs;
        const QJsonArray list = actions.toArray();
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString where = QStringLiteral("action %1").arg(i + 1);
            const QJsonObject object = Object(list[i], where);
            OnlyKeys(object,
                     {QStringLiteral("uid"), QStringLiteral("href"), QStringLiteral("etag"),
                      QStringLiteral("base"), QStringLiteral("sent")},
                     where);
            TSyncedAction action;
            action.uid = Text(object, QStringLiteral("uid"), where, true);
            action.href = Text(object, QStringLiteral("href"), where, true);
            action.etag = Text(object, QStringLiteral("etag"), where, false);
            if (uids.contains(action.uid))
                Fail(QStringLiteral("%1 repeats the UID %2").arg(where, action.uid));
            if (hrefs.contains(action.href))
                Fail(QStringLiteral("%1 repeats the address %2").arg(where, action.href));
            uids.insert(action.uid);
            hrefs.insert(action.href);
            action.base = Fields(object.value(QStringLiteral("base")), where, QStringLiteral(" base"));
            if (object.contains(QStringLiteral("sent")))
                action.sent = Fields(object.value(QStringLiteral("sent")), where, QStringLiteral(" sent"));
            state.actions.append(std::move(action));
        }
        return state;
    }
};

QString CannotRead(const QString &fileName, const QString &why)
{
    return QStringLiteral("The synchronisation state \"%1\" cannot be read: %2").arg(fileName, why);
}

} // namespace

void SaveSyncState(const QString &fileName, const TSyncState &state)
{
    const auto fields = [](const TRecordValues &values) {
        QJsonObject object;
        for (auto it = values.begin(); it != values.end(); ++it)
            object.insert(it.key(), StoredValueToJson(it.value()));
        return object;
    };
    QJsonArray actions;
    for (const TSyncedAction &action : state.actions) {
        QJsonObject object{{QStringLiteral("uid"), action.uid},
                           {QStringLiteral("href"), action.href},
                           {QStringLiteral("etag"), action.etag},
                           {QStringLiteral("base"), fields(action.base)}};
        if (!action.sent.isEmpty())
            object.insert(QStringLiteral("sent"), fields(action.sent));
        actions.append(object);
    }
    const QJsonObject root{{QStringLiteral("format"), kFormat},
                           {QStringLiteral("version"), kVersion},
                           {QStringLiteral("collection"), state.collectionUrl},
                           {QStringLiteral("user"), state.user},
                           {QStringLiteral("syncToken"), state.syncToken},
                           {QStringLiteral("ctag"), state.ctag},
                           {QStringLiteral("actions"), actions}};
    try {
        WriteFileDurably(fileName, QJsonDocument(root).toJson(QJsonDocument::Indented));
    } catch (const AppError &failure) {
        throw AppError(QStringLiteral("The synchronisation state \"%1\" cannot be written: %2")
                           .arg(fileName, failure.Cause()),
                       fileName, failure.Cause());
    }
}

TSyncState LoadSyncState(const QString &fileName)
{
    QFile file(fileName);
    if (!file.exists())
        return {};
    if (!QFileInfo(fileName).isFile())
        throw AppError(CannotRead(fileName, QStringLiteral("it is not a file")));
    if (file.size() > kMaxStateBytes)
        throw AppError(
            CannotRead(fileName, QStringLiteral("it is larger than %1 MB").arg(kMaxStateBytes >> 20)));
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(CannotRead(fileName, file.errorString()));
    const QByteArray bytes = file.read(kMaxStateBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw AppError(CannotRead(fileName, file.errorString()));
    try {
        return TStrictReader().State(bytes);
    } catch (const std::runtime_error &error) {
        throw AppError(CannotRead(fileName, QString::fromStdString(error.what())));
    }
}

QJsonValue StoredValueToJson(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QDate:
        return QJsonObject{{kDate, value.toDate().toString(Qt::ISODate)}};
    case QMetaType::QTime:
        return QJsonObject{{kTime, value.toTime().toString(Qt::ISODate)}};
    default:
        return QJsonValue::Null;
    }
}

QString NewTodoUid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}
