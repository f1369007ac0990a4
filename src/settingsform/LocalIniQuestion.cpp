#include "LocalIniQuestion.h"

#include "AppError.h"
#include "TLocalIniChoice.h"
#include "UiServices.h"

void AskToSwitchIniFile(TLocalIniChoice &choice)
{
    const bool toGlobal = choice.LocalInUse();
    const QString from = toGlobal ? QStringLiteral("LOCAL") : QStringLiteral("GLOBAL");
    const QString to = toGlobal ? QStringLiteral("GLOBAL") : QStringLiteral("LOCAL");
    const QString caption =
        (toGlobal ? QStringLiteral("Global") : QStringLiteral("Local")) + QStringLiteral(" Ini File");
    const QString question =
        QStringLiteral(
            "--- Currently, the %1 INI FILE is in use ---\n\nWould you like to use the %2 INI "
            "File?\n\nRemember, no settings will be altered, just a new location for the .INI file "
            "will be used.")
            .arg(from, to);
    if (Ui().MessageBox(question, QStringLiteral("Use ") + caption,
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    try {
        choice.Switch();
    } catch (const AppError &error) {
        Ui().MessageBox(error.message(), caption, MB_OK | MB_ICONERROR);
        return;
    }
    Ui().MessageBox(QStringLiteral("The %1 INI File will be used, from now on").arg(to), caption,
                    MB_OK | MB_ICONINFORMATION);
}
