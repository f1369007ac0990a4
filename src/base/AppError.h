#pragma once

#include <QString>
#include <stdexcept>

// A failure that the user is told about: what could not be done, as the
// message to show, the file it concerns (empty when none) and the cause as
// the system or library gave it (empty when the message says it all). Below
// the windows every failure travels as one of these; the window that ran the
// command shows message() under a caption of its own, and dravelin-cli
// prints it.
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString &message, const QString &fileName = QString(),
                      const QString &cause = QString())
        : std::runtime_error(message.toStdString()), message_(message), fileName_(fileName), cause_(cause)
    {
    }
    const QString &message() const { return message_; }
    const QString &FileName() const { return fileName_; }
    const QString &Cause() const { return cause_; }

private:
    QString message_;
    QString fileName_;
    QString cause_;
};
