#pragma once

#include <QApplication>
#include <functional>

// The program's application object: every exception that escapes an event
// handler ends here instead of ending the program, and the user decides
// whether to shut down.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Text of the "Application Error" message for an error's message text.
    static QString ApplicationErrorText(const QString &errorMessage);
    // Shows the "Application Error" message; true when the user chose to shut down.
    static bool AskShutDownAfterError(const QString &errorMessage);
    // Text of the "Changes Not Saved" message for the reason a commit of the
    // table set failed, which is shown instead of that message: the changes
    // stay in memory and the program goes on.
    static QString NotSavedText(const QString &reason);
    static void ShowNotSaved(const QString &reason);

    // The user chose to shut down after an error; also when that happened
    // before the event loop ran (while the main window was first shown).
    bool ShutDownRequested() const { return shutDownRequested_; }

    // Ends the program after the user chose to shut down following an error.
    // By default it leaves the event loops with the exit code; the program
    // replaces it with an immediate end, so nothing half-done is written.
    std::function<void(int exitCode)> Terminate = [](int exitCode) { QCoreApplication::exit(exitCode); };

private:
    void HandleEscapedError(const QString &errorMessage);

    bool shutDownRequested_ = false;
};
