#include "ConsoleUi.h"

MbResult ConsoleUiServices::MessageBox(const QString &text, const QString &, unsigned flags)
{
    messages_.append(text);
    return (flags & MB_YESNO) ? IDNO : IDOK;
}

bool ConsoleUiServices::InputQuery(const QString &, const QString &, QString &)
{
    return false;
}

std::optional<QString> ConsoleUiServices::OpenFileDialog(const FileDialogOptions &)
{
    return std::nullopt;
}

std::optional<QString> ConsoleUiServices::SaveFileDialog(const FileDialogOptions &)
{
    return std::nullopt;
}

std::optional<QString> ConsoleUiServices::SelectFolder(const QString &, const QString &)
{
    return std::nullopt;
}

void ConsoleUiServices::ShellOpen(const QString &)
{
}

void ConsoleUiServices::CopyWindowPicture(QWidget *)
{
}

int ConsoleUiServices::ExecModal(QWidget *)
{
    return 0;
}
