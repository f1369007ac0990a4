#pragma once

#include <QString>
#include <stdexcept>

// Exit codes of dravelin-cli.
// ExitQuestionsOpen: merge left questions open and changed nothing.
enum TExitCode { ExitOk = 0, ExitUserError = 1, ExitUsageError = 2, ExitQuestionsOpen = 3 };

// The command line itself is wrong: an unknown command or option, a missing
// or extra argument, a value that is not one of the choices. Reported in one
// line with exit code 2; the user errors (AppError) give exit code 1.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString &message) : std::runtime_error(message.toStdString()), message_(message)
    {
    }
    const QString &message() const { return message_; }

private:
    QString message_;
};
