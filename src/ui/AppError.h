#pragma once

#include <QString>
#include <stdexcept>

// An error that the program reports to the user: raised where an operation
// cannot go on, caught by the program-wide handler that shows its message.
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString &message) : std::runtime_error(message.toStdString()), message_(message)
    {
    }
    const QString &message() const { return message_; }

private:
    QString message_;
};
