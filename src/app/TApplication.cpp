#include "TApplication.h"

#include "AppError.h"
#include "AppIcon.h"
#include "ContextMenuKey.h"
#include "IconButtonNames.h"
#include "TTables.h"
#include "UiServices.h"

#include <exception>

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // No display name: the desktop would append it to every window title
    // ("Dravelin® Ostravine — Dravelin"); each caption names the product once
    // where it names it at all. The application name stays the program
    // file's, so the per-user data folder keeps its place.
    // The desktop matches the windows to the installed .desktop entry and its
    // icon; every window without an icon of its own shows the program's.
    setDesktopFileName(QLatin1String(kApplicationId));
    setWindowIcon(ProgramIcon());
    TContextMenuKey::Install(this);
    TIconButtonNames::Install(this);
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const TNotSavedError &error) {
        ShowNotSaved(error.message());
    } catch (const AppError &error) {
        HandleEscapedError(error.message());
    } catch (const std::exception &error) {
        HandleEscapedError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        HandleEscapedError(QStringLiteral("Unknown error"));
    }
    return false;
}

QString TApplication::ApplicationErrorText(const QString &errorMessage)
{
    const QString breaks = QStringLiteral("\r\n\r\n");
    return QStringLiteral(
               "An application error has occured, yielding the message mentioned hereunder. The best "
               "thing to do is close the application, startup again, and confront the Brenmoor R&D Team "
               "with this.") +
           breaks +
           QStringLiteral(
               "Should you nonetheless recognize this message, and know for a fact that nothing is "
               "wrong, then please continue working.") +
           breaks + QStringLiteral("Do you want to shut down the application?") + breaks +
           QStringLiteral("The error message is: \"") + errorMessage + QLatin1Char('"');
}

QString TApplication::NotSavedText(const QString &reason)
{
    return QStringLiteral("Your changes could not be saved.\n\n") + reason +
           QStringLiteral("\n\nThey are kept in memory and written with your next change, or when you save "
                          "(Ctrl+S) or close the Action File. Until then they would be lost if the program "
                          "ended.");
}

void TApplication::ShowNotSaved(const QString &reason)
{
    Ui().MessageBox(NotSavedText(reason), QStringLiteral("Changes Not Saved"), MB_OK | MB_ICONERROR);
}

bool TApplication::AskShutDownAfterError(const QString &errorMessage)
{
    return Ui().MessageBox(ApplicationErrorText(errorMessage), QStringLiteral("Application Error"),
                           MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void TApplication::HandleEscapedError(const QString &errorMessage)
{
    if (AskShutDownAfterError(errorMessage)) {
        shutDownRequested_ = true;
        Terminate(1);
    }
}
