#pragma once

#include "FakeUiServices.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QByteArray>
#include <QMap>
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
