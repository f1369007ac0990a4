#include "QtUiServices.h"

#include "AppIcon.h"
#include "ScreenFit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QRegularExpression>
#include <QStyle>
#include <QUrl>
#include <algorithm>

namespace {

QWidget *dialogParent()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

// "Action Files|*.act|All Files|*" becomes Qt's "Action Files (*.act)" list.
QStringList nameFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2)
        result << parts[i] + QStringLiteral(" (") +
                      QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) + QLatin1Char(')');
    return result;
}

std::optional<QString> runFileDialog(const FileDialogOptions &options, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(dialogParent(), options.title, options.initialDir);
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptOpen) {
        dialog.setFileMode(options.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        // Desktop open dialogs accept only existing files; a new name must
        // be typeable.
        if (!options.mustExist)
            dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    } else
        dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.overwritePrompt);
    dialog.setNameFilters(nameFilters(options.filter));
    if (!options.defaultExt.isEmpty())
        dialog.setDefaultSuffix(options.defaultExt);
    if (!options.fileName.isEmpty())
        dialog.selectFile(options.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

// A folder dialog that accepts a typed folder that does not exist yet: it
// asks, creates the folder with its parents, and then accepts it.
class CreatingFolderDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (chosen.size() == 1 && !QFileInfo(chosen.constFirst()).exists()) {
            const QString folder = QDir::cleanPath(chosen.constFirst());
            const auto answer =
                QMessageBox::question(this, windowTitle(),
                                      tr("The folder \"%1\" does not exist.\n\nDo you want to create it?")
                                          .arg(QDir::toNativeSeparators(folder)));
            if (answer != QMessageBox::Yes)
                return;
            if (!QDir().mkpath(folder)) {
                QMessageBox::critical(
                    this, windowTitle(),
                    tr("The folder \"%1\" cannot be created.").arg(QDir::toNativeSeparators(folder)));
                return;
            }
            setDirectory(QFileInfo(folder).absolutePath());
            selectFile(folder);
        }
        QFileDialog::accept();
    }
};

} // namespace

int WholeCaptionWidth(const QWidget *window, const QString &caption)
{
    // Room a title bar needs besides the caption: icon, buttons and margins.
    constexpr int titleBarExtra = 160;
    QFont titleFont = window->font();
    titleFont.setBold(true);
    return QFontMetrics(titleFont).horizontalAdvance(caption) + titleBarExtra;
}

namespace {

// The buttons of a dialog of the toolkit carry the program's own icons, so
// they look as the windows' buttons do and follow a dark palette.
void UseCommandIcons(const QWidget *dialog)
{
    const QList<QDialogButtonBox *> boxes = dialog->findChildren<QDialogButtonBox *>();
    for (const QDialogButtonBox *box : boxes) {
        for (QAbstractButton *button : box->buttons()) {
            const QDialogButtonBox::ButtonRole role = box->buttonRole(button);
            if (role == QDialogButtonBox::AcceptRole || role == QDialogButtonBox::YesRole)
                button->setIcon(AppIcon(QStringLiteral("dialog-ok")));
            else if (role == QDialogButtonBox::RejectRole || role == QDialogButtonBox::NoRole)
                button->setIcon(AppIcon(QStringLiteral("dialog-cancel")));
        }
    }
}

} // namespace

MbResult QtUiServices::MessageBox(const QString &text, const QString &caption, unsigned flags)
{
    QMessageBox box(dialogParent());
    box.setWindowTitle(caption);
    box.setText(text);
    switch (flags & 0xF0u) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    if (flags & MB_YESNO) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton((flags & MB_DEFBUTTON2) ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        UseCommandIcons(&box);
        return box.exec() == QMessageBox::Yes ? IDYES : IDNO;
    }
    box.setStandardButtons(QMessageBox::Ok);
    UseCommandIcons(&box);
    box.exec();
    return IDOK;
}

bool QtUiServices::InputQuery(const QString &caption, const QString &prompt, QString &value)
{
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    // Wide enough for the whole caption in the title bar (with room for its
    // buttons) and for a long file name in the entry. The dialog's layout
    // sets its minimum size, so the entry is given the width.
    const QFontMetrics metrics(dialog.font());
    const int width = std::max({WholeCaptionWidth(&dialog, caption), metrics.horizontalAdvance(prompt) + 40,
                                metrics.averageCharWidth() * 64});
    if (auto *entry = dialog.findChild<QLineEdit *>())
        entry->setMinimumWidth(width - 2 * dialog.style()->pixelMetric(QStyle::PM_LayoutLeftMargin));
    // Its buttons are made with its layout, which asking its size builds.
    dialog.sizeHint();
    UseCommandIcons(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    return true;
}

std::optional<QString> QtUiServices::OpenFileDialog(const FileDialogOptions &options)
{
    return runFileDialog(options, QFileDialog::AcceptOpen);
}

std::optional<QString> QtUiServices::SaveFileDialog(const FileDialogOptions &options)
{
    return runFileDialog(options, QFileDialog::AcceptSave);
}

std::optional<QString> QtUiServices::SelectFolder(const QString &caption, const QString &startFolder)
{
    CreatingFolderDialog dialog(dialogParent(), caption, startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(QDir::cleanPath(dialog.selectedFiles().constFirst()));
}

void QtUiServices::ShellOpen(const QString &target)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    // Existing paths open as files (relative ones from the current folder);
    // anything else, such as "www.example.org", as what the user meant.
    const QUrl url = scheme.match(target).hasMatch() ? QUrl(target)
                     : QFileInfo::exists(target) ? QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath())
                                                 : QUrl::fromUserInput(target);
    QDesktopServices::openUrl(url);
}

void QtUiServices::CopyWindowPicture(QWidget *window)
{
    if (window)
        QGuiApplication::clipboard()->setPixmap(window->grab());
}

int QtUiServices::ExecModal(QWidget *window)
{
    // Every window opens fitted to the screen it opens on.
    if (!window->isVisible())
        FitWindowToScreen(window);
    if (auto *dialog = qobject_cast<QDialog *>(window))
        return dialog->exec();

    // A main-window style form: application-modal, with a local event loop
    // that ends when the window is hidden or destroyed.
    QPointer<QWidget> guard(window);
    QEventLoop loop;
    struct Watcher : QObject {
        QEventLoop *loop;
        QWidget *window;
        Watcher(QEventLoop *l, QWidget *w) : loop(l), window(w) {}
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (watched == window && event->type() == QEvent::Hide && !window->isVisible())
                loop->quit();
            return false;
        }
    } watcher(&loop, window);
    window->installEventFilter(&watcher);
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    loop.exec(QEventLoop::DialogExec);
    if (guard)
        guard->removeEventFilter(&watcher);
    return 0;
}

void QtUiServices::BeginBusy()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUiServices::EndBusy()
{
    QApplication::restoreOverrideCursor();
}
