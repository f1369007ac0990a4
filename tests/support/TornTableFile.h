#pragma once

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QtTest>
#include <sqlite3.h>

// A table file of 200 rows "old <n>" and, with torn set, the state a crash
// in the middle of an in-place write leaves: part of the rows already
// rewritten in the file and the rollback journal holding the old pages
// beside it.
inline void WriteTableFile(const QString &fileName, bool torn)
{
    const QString scratch = fileName + ".scratch";
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(scratch).constData(), &db), SQLITE_OK);
    QString sql = "PRAGMA journal_mode=DELETE; CREATE TABLE t(v TEXT); BEGIN;";
    for (int i = 0; i < 200; ++i)
        sql += QString("INSERT INTO t VALUES('old %1 %2');").arg(i).arg(QString(80, 'x'));
    sql += "COMMIT;";
    QCOMPARE(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    if (torn) {
        // A cache of two pages spills the changes into the file before the
        // commit.
        QCOMPARE(
            sqlite3_exec(db, "PRAGMA cache_size=2; BEGIN; UPDATE t SET v='new'", nullptr, nullptr, nullptr),
            SQLITE_OK);
        QVERIFY(QFileInfo::exists(scratch + "-journal"));
        QVERIFY(QFile::copy(scratch + "-journal", fileName + "-journal"));
    }
    QFile::remove(fileName);
    QVERIFY(QFile::copy(scratch, fileName));
    sqlite3_close(db);
    QFile::remove(scratch);
    QFile::remove(scratch + "-journal");
}
