#include "TLocalIniChoice.h"

#include "TSettings.h"
#include "UiServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kRemember = QStringLiteral(
    "Remember, no settings will be altered, just a new location for the .INI file will be used.");

QString markerPath()
{
    return ProgramLocation().LocalIniMarker();
}

} // namespace

TLocalIniChoice::TLocalIniChoice() : localInUse_(QFileInfo::exists(markerPath()))
{
}

QString TLocalIniChoice::Caption() const
{
    return QStringLiteral("About Dravelin\u00AE Ostravine ") +
           (localInUse_ ? QStringLiteral("[LOCAL Ini File]") : QStringLiteral("[GLOBAL Ini File]"));
}

void TLocalIniChoice::Toggle()
{
    if (localInUse_)
        UseGlobal();
    else
        UseLocal();
}

void TLocalIniChoice::UseGlobal()
{
    const QString question = QStringLiteral("--- Currently, the LOCAL INI FILE is in use ---\n\n"
                                            "Would you like to use the GLOBAL INI File?\n\n") +
                             kRemember;
    if (Ui().MessageBox(question, QStringLiteral("Use Global Ini File"),
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    const QString marker = markerPath();
    QFile::remove(marker);
    // Someone else may have removed it already: what counts is that it is gone.
    if (QFileInfo::exists(marker)) {
        Ui().MessageBox(QStringLiteral("The GLOBAL INI File cannot be used: the marker file \"") +
                            QDir::toNativeSeparators(marker) + QStringLiteral("\" could not be deleted."),
                        QStringLiteral("Global Ini File"), MB_OK | MB_ICONERROR);
        return;
    }
    localInUse_ = false;
    Ui().MessageBox(QStringLiteral("The GLOBAL INI File will be used, from now on"),
                    QStringLiteral("Global Ini File"), MB_OK | MB_ICONINFORMATION);
}

void TLocalIniChoice::UseLocal()
{
    const QString question = QStringLiteral("--- Currently, the GLOBAL INI FILE is in use ---\n\n"
                                            "Would you like to use the LOCAL INI File?\n\n") +
                             kRemember;
    if (Ui().MessageBox(question, QStringLiteral("Use Local Ini File"),
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    const QString marker = markerPath();
    QDir().mkpath(QFileInfo(marker).absolutePath());
    QFile file(marker);
    if (!file.open(QIODevice::WriteOnly)) {
        Ui().MessageBox(QStringLiteral("The LOCAL INI File cannot be used: the marker file \"") +
                            QDir::toNativeSeparators(marker) + QStringLiteral("\" could not be created."),
                        QStringLiteral("Local Ini File"), MB_OK | MB_ICONERROR);
        return;
    }
    file.close();
    localInUse_ = true;
    Ui().MessageBox(QStringLiteral("The LOCAL INI File will be used, from now on"),
                    QStringLiteral("Local Ini File"), MB_OK | MB_ICONINFORMATION);
}
