#include "TGlobalTempFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

TGlobalTempFiles::TGlobalTempFiles(const QString &folder)
    : folder_(QDir::cleanPath(folder.isEmpty() ? QDir::tempPath() : folder))
{
}

TGlobalTempFiles::~TGlobalTempFiles()
{
    DeleteAll();
}

void TGlobalTempFiles::DeleteAll() const
{
    for (const QString &name : std::as_const(Files))
        QFile::remove(name);
}

QString TGlobalTempFiles::NewFileName(const QString &extension)
{
    const QString prefix = folder_.endsWith(QLatin1Char('/')) ? folder_ : folder_ + QLatin1Char('/');
    QString name;
    for (;;) {
        ++counter_;
        name = prefix + QStringLiteral("dravelin$") + QString::number(counter_) + QLatin1Char('.') + extension;
        // Creating the file exclusively reserves the name against another
        // running copy; a name that cannot be created for another reason
        // (unwritable folder) is handed out anyway and fails when written.
        QFile reserve(name);
        if (reserve.open(QIODevice::WriteOnly | QIODevice::NewOnly) || !QFileInfo::exists(name))
            break;
    }
    Files.append(name);
    return name;
}
