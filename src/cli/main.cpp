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
    TDataModuleMain data;
    return RunCommandLine(data, QCoreApplication::arguments().mid(1));
}
