#include "FakeUiServices.h"

#include <QDialog>
#include <QWidget>

namespace {
template <typename T> std::optional<T> takeFront(std::deque<T> &queue)
{
    if (queue.empty())
        return std::nullopt;
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}
} // namespace

namespace {
// The fake installed last, so a fake made inside a test hands the seam back to
// the one of the fixture when it goes.
FakeUiServices *current = nullptr;
} // namespace

FakeUiServices::FakeUiServices() : previous_(current)
{
    current = this;
    SetUi(this);
}

FakeUiServices::~FakeUiServices()
{
    current = previous_;
    SetUi(previous_);
}

void FakeUiServices::install()
{
    current = this;
    SetUi(this);
}

QList<UiCall> FakeUiServices::messages() const
{
    QList<UiCall> result;
    for (const UiCall &call : calls)
        if (call.kind == UiCall::Message)
            result << call;
    return result;
}

const UiCall *FakeUiServices::lastMessage() const
{
    for (auto it = calls.crbegin(); it != calls.crend(); ++it)
        if (it->kind == UiCall::Message)
            return &*it;
    return nullptr;
}

void FakeUiServices::clear()
{
    calls.clear();
    unscripted = 0;
    messageAnswers.clear();
    inputAnswers.clear();
    fileAnswers.clear();
    folderAnswers.clear();
    modalHandlers.clear();
}

MbResult FakeUiServices::MessageBox(const QString &text, const QString &caption, unsigned flags)
{
    calls.append({UiCall::Message, text, caption, flags, {}, {}});
    if (!(flags & MB_YESNO))
        return IDOK;
    if (auto answer = takeFront(messageAnswers))
        return *answer;
    ++unscripted;
    return IDNO;
}

bool FakeUiServices::InputQuery(const QString &caption, const QString &prompt, QString &value)
{
    calls.append({UiCall::Input, prompt, caption, 0, value, {}});
    auto answer = takeFront(inputAnswers);
    if (!answer) {
        ++unscripted;
        return false;
    }
    if (!*answer)
        return false;
    value = **answer;
    return true;
}

std::optional<QString> FakeUiServices::OpenFileDialog(const FileDialogOptions &options)
{
    calls.append({UiCall::OpenFile, {}, options.title, 0, {}, options});
    auto answer = takeFront(fileAnswers);
    if (!answer) {
        ++unscripted;
        return std::nullopt;
    }
    return *answer;
}

std::optional<QString> FakeUiServices::SaveFileDialog(const FileDialogOptions &options)
{
    calls.append({UiCall::SaveFile, {}, options.title, 0, {}, options});
    auto answer = takeFront(fileAnswers);
    if (!answer) {
        ++unscripted;
        return std::nullopt;
    }
    return *answer;
}

std::optional<QString> FakeUiServices::SelectFolder(const QString &caption, const QString &startFolder)
{
    calls.append({UiCall::Folder, {}, caption, 0, startFolder, {}});
    auto answer = takeFront(folderAnswers);
    if (!answer) {
        ++unscripted;
        return std::nullopt;
    }
    return *answer;
}

void FakeUiServices::ShellOpen(const QString &target)
{
    calls.append({UiCall::Shell, target, {}, 0, {}, {}});
}

void FakeUiServices::CopyWindowPicture(QWidget *window)
{
    calls.append({UiCall::Clipboard, window ? window->windowTitle() : QString(), {}, 0, {}, {}});
}

int FakeUiServices::ExecModal(QWidget *window)
{
    calls.append({UiCall::Modal,
                  QString::fromLatin1(window->metaObject()->className()),
                  window->windowTitle(),
                  0,
                  {},
                  {}});
    auto *dialog = qobject_cast<QDialog *>(window);
    if (dialog)
        dialog->setResult(QDialog::Rejected);
    auto handler = takeFront(modalHandlers);
    if (!handler) {
        ++unscripted;
        return dialog ? QDialog::Rejected : 0;
    }
    QPointer<QWidget> guard(window);
    window->show();
    (*handler)(window);
    if (guard && guard->isVisible()) {
        if (dialog)
            dialog->reject();
        else
            guard->close();
    }
    return dialog && guard ? dialog->result() : 0;
}

void FakeUiServices::BeginBusy()
{
    ++busyDepth;
    ++busyCount;
}

void FakeUiServices::EndBusy()
{
    --busyDepth;
}
