#include "MemberFiles.h"

#include "AppError.h"
#include "NewFileSet.h"
#include "TACTFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <sqlite3.h>

namespace {
[[noreturn]] void Fail(const QString &message, const QString &fileName, const QString &cause = QString())
{
    throw AppError(message, fileName, cause);
}

bool Exists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}
} // namespace

QString JournalName(const QString &tableFile)
{
    return tableFile + QStringLiteral("-journal");
}

void SettleTableFile(const QString &tableFile)
{
    const QString journal = JournalName(tableFile);
    if (!Exists(journal))
        return;
    const QFileInfo info(tableFile);
    if (!info.exists()) {
        if (!QFile::remove(journal))
            Fail(QStringLiteral("\"%1\" cannot be removed").arg(journal), journal);
        return;
    }
    if (!info.isFile())
        Fail(QStringLiteral("\"%1\" is not a file").arg(tableFile), tableFile);

    // Reading the schema makes SQLite look at the journal: a hot one is
    // rolled back into the file and deleted.
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(tableFile).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    const QString why = QString::fromUtf8(db && rc != SQLITE_OK ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        Fail(QStringLiteral("the interrupted write of \"%1\" cannot be undone: %2")
                 .arg(QDir::toNativeSeparators(tableFile), why),
             tableFile, why);
    // A journal SQLite left in place was not hot: it holds nothing of the file.
    if (Exists(journal) && !QFile::remove(journal))
        Fail(QStringLiteral("\"%1\" cannot be removed").arg(journal), journal);
}

void SettleActionFile(const QString &actFile)
{
    for (const QString &name : TACTFiles(actFile).Names())
        SettleTableFile(name);
}

void RemoveJournals(const QString &actFile)
{
    const QFileInfo header(actFile);
    const QDir folder = header.dir();
    for (const QString &name : TACTFiles(actFile).Names()) {
        QFile::remove(JournalName(name));
        // The super-journal of a commit across several files, named after
        // the first of them.
        const QString file = QFileInfo(name).fileName();
        for (const QString &entry :
             folder.entryList({file + QStringLiteral("-mj*")}, QDir::Files | QDir::Hidden))
            QFile::remove(folder.filePath(entry));
    }
}

bool HasHiddenNamesake(const QString &actFile)
{
    const QFileInfo header(actFile);
    const QString prefix = QLatin1Char('.') + header.fileName();
    for (QDirIterator it(header.path(), QDir::Files | QDir::Hidden | QDir::System); it.hasNext();)
        if (it.nextFileInfo().fileName().startsWith(prefix))
            return true;
    return false;
}

void RemoveWriterLeftovers(const QString &actFile)
{
    const QFileInfo header(actFile);
    // The marker of a creation that placed every file but was ended before
    // it removed the marker.
    if (header.exists())
        QFile::remove(TNewFileSet::MarkerName(actFile));
    const QDir folder = header.dir();
    const QStringList hidden =
        folder.entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : TACTFiles(header.fileName()).Names()) {
        const QRegularExpression leftover(QStringLiteral("^\\.") + QRegularExpression::escape(name) +
                                          QStringLiteral("\\.[A-Za-z0-9]{6}$"));
        for (const QString &entry : hidden)
            if (leftover.match(entry).hasMatch())
                QFile::remove(folder.filePath(entry));
    }
}
