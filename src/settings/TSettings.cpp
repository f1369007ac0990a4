#include "TSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
TProgramLocation &location()
{
    static TProgramLocation instance;
    return instance;
}
} // namespace

QString TProgramLocation::OnboardMarker() const { return folder + QLatin1Char('/') + baseName + QStringLiteral(".onboard"); }

QString TProgramLocation::LocalIniMarker() const
{
    return folder + QLatin1Char('/') + baseName + QStringLiteral(".localini");
}

QString TProgramLocation::LocalIniFile() const
{
    return folder + QLatin1Char('/') + baseName.toLower() + QStringLiteral(".ini");
}

QString TProgramLocation::GlobalIniFile() const { return globalIniFolder + QStringLiteral("/dravelin.ini"); }

TProgramLocation TProgramLocation::FromApplication()
{
    TProgramLocation result;
    const QFileInfo program(QCoreApplication::applicationFilePath());
    result.baseName = program.completeBaseName().isEmpty() ? QStringLiteral("dravelin") : program.completeBaseName();
    const QString programFolder = program.absolutePath();
    if (!programFolder.isEmpty() && QFileInfo(programFolder).isWritable()) {
        result.folder = programFolder;
    } else {
        result.folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QDir().mkpath(result.folder);
    }
    result.globalIniFolder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return result;
}

const TProgramLocation &ProgramLocation() { return location(); }

void SetProgramLocation(const TProgramLocation &newLocation) { location() = newLocation; }

TSettings &Settings()
{
    static TSettings instance;
    return instance;
}

QString TSettings::IniFileName()
{
    const TProgramLocation &where = ProgramLocation();
    return QFileInfo::exists(where.LocalIniMarker()) ? where.LocalIniFile() : where.GlobalIniFile();
}

// Load and Save are completed with the INI reader and writer.
void TSettings::Load() {}

void TSettings::Save() const {}
