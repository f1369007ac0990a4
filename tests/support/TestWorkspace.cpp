#include "TestWorkspace.h"

#include "ScriptedActionList.h"
#include "TACTFiles.h"
#include "TSettings.h"
#include "TableMember.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTest>
#include <sqlite3.h>

namespace {
void ResetGlobals()
{
    Settings() = TSettings();
    ScriptedList().Set({});
}

QString Describe(const FakeUiServices &ui)
{
    QStringList parts;
    if (ui.unscripted)
        parts << QStringLiteral("%1 question(s) without a scripted answer").arg(ui.unscripted);
    const auto unused = [&](std::size_t count, const char *what) {
        if (count)
            parts << QStringLiteral("%1 unused %2").arg(count).arg(QLatin1String(what));
    };
    unused(ui.messageAnswers.size(), "message answer(s)");
    unused(ui.inputAnswers.size(), "input answer(s)");
    unused(ui.fileAnswers.size(), "file answer(s)");
    unused(ui.folderAnswers.size(), "folder answer(s)");
    unused(ui.modalHandlers.size(), "modal handler(s)");
    return parts.join(QStringLiteral(", "));
}
} // namespace

TProgramLocation ProgramLocationIn(const QString &folder)
{
    TProgramLocation where;
    where.folder = folder + QStringLiteral("/program");
    where.baseName = QStringLiteral("dravelin");
    where.globalIniFolder = folder + QStringLiteral("/config");
    where.dataFolder = folder + QStringLiteral("/data");
    where.documentsFolder = folder + QStringLiteral("/Documents");
    return where;
}

void TestWorkspace::Start(DataModule module)
{
    ResetGlobals();
    ui.clear();
    ui.busyDepth = 0;
    ui.busyCount = 0;
    ui.install();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    if (module == WithDataModule)
        data = std::make_unique<TDataModuleMain>(Settings());
}

void TestWorkspace::Finish()
{
    if (data && data->Tables.IsOpen())
        data->Tables.Close();
    data.reset();
    dir.reset();
    const QString leftover = Describe(ui);
    ui.clear();
    ResetGlobals();
    QVERIFY2(leftover.isEmpty(), qPrintable(QStringLiteral("UI script not used up: ") + leftover));
}

void AddExactRecord(TTable *table, const QVariantMap &values)
{
    table->Append();
    for (int field = 0; field < table->FieldCount(); ++field)
        table->Fields(field).Clear();
    for (auto it = values.begin(); it != values.end(); ++it)
        table->FieldByName(it.key()).SetValue(it.value());
    table->Post();
}

QMap<QString, QByteArray> ActionFileSnapshot(const QString &actFile)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : TACTFiles(actFile).Names()) {
        QFile file(name);
        files.insert(name, file.open(QIODevice::ReadOnly)
                               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                               : QByteArray());
    }
    return files;
}

namespace {

QStringList TableFileRows(const QString &fileName)
{
    QStringList rows;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return {QStringLiteral("cannot open ") + fileName};
    }
    QString table;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' LIMIT 1", -1, &statement,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        table = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    const QByteArray select = "SELECT * FROM \"" + table.toUtf8() + "\"";
    if (sqlite3_prepare_v2(db, select.constData(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList values;
            for (int column = 0; column < sqlite3_column_count(statement); ++column)
                values << QString::number(sqlite3_column_type(statement, column)) + QLatin1Char(':') +
                              QString::fromUtf8(
                                  reinterpret_cast<const char *>(sqlite3_column_text(statement, column)));
            rows << values.join(QLatin1Char('|'));
        }
    } else {
        rows << QStringLiteral("cannot read ") + fileName;
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    rows.sort();
    return rows;
}

} // namespace

QMap<QString, QStringList> ActionFileRows(const QString &actFile)
{
    QMap<QString, QStringList> files;
    for (TableMember member : kTableMembers)
        files[MemberSuffix(member)] = TableFileRows(actFile + MemberSuffix(member));
    return files;
}

bool ExecSql(const QString &fileName, const char *sql)
{
    sqlite3 *db = nullptr;
    const bool ok = sqlite3_open(QFile::encodeName(fileName).constData(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}
