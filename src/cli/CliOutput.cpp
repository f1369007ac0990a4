#include "CliOutput.h"

#include "CommandInputs.h"

#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>

void WriteOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void WriteOut(const QString &text)
{
    WriteOut(text.toUtf8());
}

QString TerminalText(const QString &text, QStringView keep)
{
    const auto control = [&](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 || (u >= 0x7f && u <= 0x9f)) && !keep.contains(c);
    };
    if (std::none_of(text.begin(), text.end(), control))
        return text;
    QString shown;
    shown.reserve(text.size() + 8);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!control(c))
            shown += c;
        else if (u < 0x20 || u == 0x7f)
            shown += QLatin1Char('^') + QChar(char16_t(u ^ 0x40));
        else
            shown += QStringLiteral("\\x") + QString::number(u, 16);
    }
    return shown;
}

bool OutputIsTerminal()
{
    static const bool terminal = ::isatty(STDOUT_FILENO);
    return terminal;
}

int TerminalWidth()
{
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    if (ok && columns > 0)
        return columns;
    winsize size{};
    if (::isatty(STDOUT_FILENO) && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 0;
}

QString Quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

void RefuseOutputOverInput(const QString &fileName, const QString &outFile)
{
    if (outFile.isEmpty())
        return;
    TCommandInputs inputs;
    inputs.AddActionFile(fileName);
    inputs.RefuseOutputs({outFile});
}

AppError CannotWrite(const QString &outFile, const AppError &error)
{
    return AppError(QStringLiteral("Cannot write ") + Quoted(outFile) + QStringLiteral(": ") + error.Cause(),
                    outFile, error.Cause());
}

void WriteResult(const QByteArray &bytes, const QString &outFile)
{
    if (outFile.isEmpty()) {
        WriteOut(bytes);
        return;
    }
    try {
        WriteFileDurably(outFile, bytes);
    } catch (const AppError &error) {
        throw CannotWrite(outFile, error);
    }
}
