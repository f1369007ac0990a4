#pragma once

#include "UiServices.h"

class QWidget;

// The width a window needs for its title bar to show the whole caption: the
// caption as the desktop shows it (with the program's name after it, in a
// bold title font) and room for the title bar's icon and buttons.
int WholeCaptionWidth(const QWidget *window, const QString &caption);

// The real desktop behind UiServices: Qt message boxes, dialogs, desktop
// services and the application's override cursor.
class QtUiServices final : public UiServices {
public:
    MbResult MessageBox(const QString &text, const QString &caption, unsigned flags) override;
    bool InputQuery(const QString &caption, const QString &prompt, QString &value) override;
    std::optional<QString> OpenFileDialog(const FileDialogOptions &options) override;
    std::optional<QString> SaveFileDialog(const FileDialogOptions &options) override;
    std::optional<QString> SelectFolder(const QString &caption, const QString &startFolder) override;
    void ShellOpen(const QString &target) override;
    void CopyWindowPicture(QWidget *window) override;
    int ExecModal(QWidget *window) override;
    void BeginBusy() override;
    void EndBusy() override;
};
