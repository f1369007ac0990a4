#include "SyncAccountFile.h"

#include "AppError.h"
#include "DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString kUrl = QStringLiteral("url"), kUser = QStringLiteral("user");
const QString kPlainHttp = QStringLiteral("plainHttpConfirmed");
constexpr qint64 kMaxBytes = 1 << 20;

[[noreturn]] void Fail(const QString &fileName, const QString &cause)
{
    throw AppError(
        QStringLiteral("The synchronisation settings \"%1\" cannot be read: %2").arg(fileName, cause));
}
} // namespace

TSyncAccountSettings LoadSyncAccount(const QString &fileName)
{
    QFile file(fileName);
    if (fileName.isEmpty() || !file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        Fail(fileName, file.errorString());
    if (file.size() > kMaxBytes)
        Fail(fileName, QStringLiteral("it is too large"));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        Fail(fileName, QStringLiteral("it is not a settings file"));
    const QJsonObject root = document.object();
    if (!root.value(kUrl).isString() || !root.value(kUser).isString())
        Fail(fileName, QStringLiteral("it names no task list and user"));
    return {root.value(kUrl).toString(), root.value(kUser).toString(), root.value(kPlainHttp).toBool()};
}

void SaveSyncAccount(const QString &fileName, const TSyncAccountSettings &settings)
{
    const QJsonObject root{
        {kUrl, settings.url}, {kUser, settings.user}, {kPlainHttp, settings.plainHttpConfirmed}};
    QDir().mkpath(QFileInfo(fileName).path());
    try {
        WriteFileDurably(fileName, QJsonDocument(root).toJson());
    } catch (const AppError &failure) {
        throw AppError(QStringLiteral("The synchronisation settings \"%1\" cannot be written: %2")
                           .arg(fileName, failure.message()),
                       fileName, failure.Cause());
    }
}
