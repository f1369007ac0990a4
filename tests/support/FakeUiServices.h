#pragma once

#include "UiServices.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <deque>
#include <functional>

// One recorded call of the UI seam.
struct UiCall {
    enum Kind { Message, Input, OpenFile, SaveFile, Folder, Shell, Clipboard, Modal };
    Kind kind = Message;
    QString text;    // message text, input prompt, shell target, window class
    QString caption; // message caption, input caption, dialog title
    unsigned flags = 0;
    QString value; // initial value of an input query, start folder of a picker
    FileDialogOptions dialog;
};

// Scripted stand-in for the desktop: answers come from queues filled by the
// test, every call is recorded so the test can assert exact texts and flags.
// A question or dialog without a scripted answer is counted in `unscripted`
// and answered No / Cancel, so a test can fail on it instead of hanging.
class FakeUiServices final : public UiServices {
public:
    FakeUiServices();
    ~FakeUiServices() override;

    // Scripting.
    void answer(MbResult result) { messageAnswers.push_back(result); }
    void answerInput(std::optional<QString> value) { inputAnswers.push_back(std::move(value)); }
    void chooseFile(std::optional<QString> path) { fileAnswers.push_back(std::move(path)); }
    void chooseFolder(std::optional<QString> path) { folderAnswers.push_back(std::move(path)); }
    // The handler runs with the window shown, as the user would act on it;
    // a window still open when the handler returns is closed (dialogs rejected).
    void onModal(std::function<void(QWidget *)> handler) { modalHandlers.push_back(std::move(handler)); }

    // Recorded calls.
    QList<UiCall> calls;
    QList<UiCall> messages() const;
    const UiCall *lastMessage() const;
    void clear();
    // Makes this fake the one the program talks to again.
    void install();
    int unscripted = 0;
    int busyDepth = 0;
    int busyCount = 0;

    std::deque<MbResult> messageAnswers;
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    std::deque<std::function<void(QWidget *)>> modalHandlers;

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

private:
    FakeUiServices *previous_ = nullptr;
};
