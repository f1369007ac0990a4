#include "TestWorkspace.h"

#include "ScriptedActionList.h"
#include "TSettings.h"

#include <QTest>

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
