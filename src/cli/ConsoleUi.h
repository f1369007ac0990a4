#pragma once

#include "UiServices.h"

#include <QStringList>

// The seam to the user for a program without windows: nobody can answer, so
// every question is answered No, dialogs are cancelled, and the texts of the
// message boxes are kept for the command to report as its error.
class ConsoleUiServices : public UiServices {
public:
    MbResult MessageBox(const QString &text, const QString &caption, unsigned flags) override;
    bool InputQuery(const QString &caption, const QString &prompt, QString &value) override;
    std::optional<QString> OpenFileDialog(const FileDialogOptions &options) override;
    std::optional<QString> SaveFileDialog(const FileDialogOptions &options) override;
    std::optional<QString> SelectFolder(const QString &caption, const QString &startFolder) override;
    void ShellOpen(const QString &target) override;
    void CopyWindowPicture(QWidget *window) override;
    int ExecModal(QWidget *window) override;
    void BeginBusy() override {}
    void EndBusy() override {}

    // The texts of the message boxes shown so far, oldest first.
    const QStringList &Messages() const { return messages_; }

private:
    QStringList messages_;
};
