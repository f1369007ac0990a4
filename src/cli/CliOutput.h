#pragma once

#include "AppError.h"
#include "DurableFile.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstdio>

// How dravelin-cli writes: to standard output, or to the file named by -o,
// whole or not at all; text from a file is shown, not obeyed, on a terminal.

inline const QString kProgram = QStringLiteral("dravelin-cli");

void WriteOut(const QByteArray &bytes);
void WriteOut(const QString &text);

// Text from a file as a terminal shows it rather than obeys it: a received
// file could otherwise set the window title, clear the screen, hide text or
// write the clipboard. The C0 controls and DEL appear in caret notation
// (ESC as "^["), the C1 controls as "\x9b"; the characters in keep stay.
QString TerminalText(const QString &text, QStringView keep = {});

// Whether standard output is a terminal; only then is the text of a file
// shown by TerminalText. Json, csv, files and pipes keep its bytes.
bool OutputIsTerminal();

// The columns the terminal shows; 0 when standard output is no terminal.
int TerminalWidth();

QString Quoted(const QString &text);

// Refuses an -o file that is one of the files of the Action File or
// Dravelin File fileName, before anything is read.
void RefuseOutputOverInput(const QString &fileName, const QString &outFile);

// The error of an -o file that could not be written, with its cause.
AppError CannotWrite(const QString &outFile, const AppError &error);

// Writes bytes to standard output, or durably to outFile when one is named.
void WriteResult(const QByteArray &bytes, const QString &outFile);

// Writes what make hands its write function to standard output, or to
// outFile as WriteResult does: whole or not at all.
template <typename Make> void WriteStreamed(const QString &outFile, Make make)
{
    if (outFile.isEmpty()) {
        make([](const char *data, size_t size) { std::fwrite(data, 1, size, stdout); });
        return;
    }
    TDurableFile file(outFile);
    try {
        file.Open();
        make([&](const char *data, size_t size) { file.Write(data, qint64(size)); });
        file.Commit();
    } catch (const AppError &error) {
        throw CannotWrite(outFile, error);
    }
}
