#include "AppError.h"
#include "QtUiServices.h"
#include "TApplication.h"
#include "TDataModuleMain.h"
#include "TFormMain.h"
#include "TFormSplash.h"
#include "TSettings.h"
#include "TerminationSignals.h"

#include <cstdlib>
#include <exception>
#include <memory>

namespace {
// Start-up failed before the event loop ran: say why and end.
int ReportStartupFailure(const QString &message)
{
    Ui().MessageBox(message, QStringLiteral("Dravelin"), MB_OK | MB_ICONERROR);
    return 1;
}
} // namespace

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    QtUiServices ui;
    SetUi(&ui);
    try {
        auto splash = std::make_unique<TFormSplash>();
        splash->show();
        QApplication::processEvents();

        TGlobalTempFiles::RemoveFoldersOfEndedRuns();
        TDataModuleMain dataModule(Settings());
        // Shutting down after an error ends the program at once: the open
        // tables may be half-changed, so only the temporary files go.
        app.Terminate = [&dataModule](int exitCode) {
            dataModule.TempFiles.DeleteAll();
            std::_Exit(exitCode);
        };
        TFormMain mainForm(dataModule, QCoreApplication::arguments());
        // Logout and shutdown end the program as Exit does, without questions.
        TTerminationSignals terminationSignals;
        QObject::connect(&terminationSignals, &TTerminationSignals::Received, &mainForm,
                         &TFormMain::EndWithoutQuestions);
        splash.reset();
        mainForm.show();
        // The data module outlives the window and, when it goes, deletes the
        // temporary files of the run.
        // A signal to end may already have closed the window during its
        // show step (a Dravelin File named on the command line).
        if (app.ShutDownRequested())
            return 1;
        return mainForm.isVisible() ? app.exec() : 0;
    } catch (const AppError &error) {
        return ReportStartupFailure(error.message());
    } catch (const std::exception &error) {
        return ReportStartupFailure(QString::fromLocal8Bit(error.what()));
    }
}
