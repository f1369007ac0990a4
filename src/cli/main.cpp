#include "CliCommands.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The same settings as the program: its name decides the per-user folders.
    QCoreApplication::setApplicationName(QStringLiteral("dravelin"));
    TProgramLocation location = TProgramLocation::FromApplication();
    location.baseName = QStringLiteral("dravelin");
    SetProgramLocation(location);
    Settings().Load();

    // What commands that were killed left in their temporary folders (a
    // whole unpacked Dravelin File) goes, as the program's does.
    TGlobalTempFiles::RemoveFoldersOfEndedRuns();
    // The data module is left to the system when the command ends: freeing
    // every record of a large file one by one takes longer than much of a
    // command. Its temporary files go all the same.
    auto *data = new TDataModuleMain(Settings());
    // A damaged file written anew is worth a line; the command goes on.
    QObject::connect(data, &TDataModuleMain::TableFileRepaired, [](const QString &message) {
        std::fputs(
            qPrintable(QStringLiteral("dravelin-cli: warning: ") + message.simplified() + QLatin1Char('\n')),
            stderr);
    });
    const int code = RunCommandLine(*data, QCoreApplication::arguments().mid(1));
    data->TempFiles.DeleteAll();
    return code;
}
