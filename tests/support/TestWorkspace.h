#pragma once

#include "FakeUiServices.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QByteArray>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>
#include <memory>

// What every test case of a suite over the data starts from: a fresh temporary
// folder, the scripted UI installed with an empty script, a fresh data module
// and every global (settings, scripted action list) reset. Call Start() from
// init() and Finish() from cleanup(); Finish() fails the test when a scripted
// answer was left unused or a question came without one.
// A program installed in folder/program with its per-user folders beside
// it (config, data, Documents), so nothing a test starts writes elsewhere.
TProgramLocation ProgramLocationIn(const QString &folder);

class TestWorkspace {
public:
    enum DataModule { WithDataModule, WithoutDataModule };

    FakeUiServices ui;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TDataModuleMain> data;

    void Start(DataModule module = WithDataModule);
    void Finish();
};

// Appends a record with exactly the given values; every other field empty.
void AddExactRecord(TTable *table, const QVariantMap &values);
// Each of the six files of the Action File actFile with a hash of its bytes
// (empty for a missing one), to show that nothing changed.
QMap<QString, QByteArray> ActionFileSnapshot(const QString &actFile);
// The rows of the six table files of the Action File actFile as SQLite reads
// them, by member suffix ("" for the header file): each row its values with
// their types, the rows of a file sorted, so two sets of files compare equal
// exactly when they hold the same rows.
QMap<QString, QStringList> ActionFileRows(const QString &actFile);

// Runs sql on the SQLite file fileName, as another program would; false when
// it cannot be opened or the statement fails.
bool ExecSql(const QString &fileName, const char *sql);
