#include "CliCommands.h"
#include "ConsoleUi.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The same settings as the program: its name decides the per-user folders.
    QCoreApplication::setApplicationName(QStringLiteral("dravelin"));
    TProgramLocation location = TProgramLocation::FromApplication();
    location.baseName = QStringLiteral("dravelin");
    SetProgramLocation(location);
    Settings().Load();

    ConsoleUiServices ui;
    SetUi(&ui);
    // The data module is left to the system when the command ends: freeing
    // every record of a large file one by one takes longer than much of a
    // command. Its temporary files go all the same.
    auto *data = new TDataModuleMain;
    const int code = RunCommandLine(*data, QCoreApplication::arguments().mid(1));
    data->TempFiles.DeleteAll();
    return code;
}
