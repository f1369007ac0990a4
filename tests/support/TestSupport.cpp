#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

bool WriteFileBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray ReadFileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList FolderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QMap<QString, int> SystemCallCounts(const QString &straceOutput)
{
    QMap<QString, int> calls;
    for (const QByteArray &line : ReadFileBytes(straceOutput).split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        const qsizetype paren = words.value(1).indexOf('(');
        if (paren > 0)
            ++calls[QString::fromLatin1(words[1].left(paren))];
    }
    return calls;
}

void UseTestStandardPaths()
{
    QStandardPaths::setTestModeEnabled(true);
}
