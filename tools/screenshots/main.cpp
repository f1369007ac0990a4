// Opens the program's main windows one after the other, as a user does, and
// saves a picture of each with its window manager frame into a folder (the
// main window, settings, action list, action editor, log editor, About window
// and Rename query):
//   dravelin-screenshots <folder>
// Run it on a display with a window manager and a Workspace holding one Action
// File (scripts/screenshots prepares both). Every window but the main window is
// modal, so each step arms the next one before it opens its window.
#include "QtUiServices.h"
#include "TApplication.h"
#include "TDataModuleMain.h"
#include "TFormMain.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QListWidget>
#include <QPixmap>
#include <QScreen>
#include <QTableView>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <functional>

namespace {
// Long enough for the window manager to map, place and frame a window.
constexpr int kSettle = 1200;

QString folder;
int failures = 0;

QWidget *TopWindow(const char *className)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        if (window->isVisible() && window->inherits(className))
            return window;
    return nullptr;
}

// The screen as the window manager shows it, cut to the window and its frame.
void Shoot(const char *className, const QString &name)
{
    QWidget *window = TopWindow(className);
    if (!window) {
        QTextStream(stderr) << "No " << className << " window for " << name << '\n';
        ++failures;
        return;
    }
    window->raise();
    window->activateWindow();
    // The window manager tells the size of its frame a little after it has
    // mapped the window; until then the frame would be cut off.
    QElapsedTimer waited;
    waited.start();
    while (window->frameGeometry() == window->geometry() && waited.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    QApplication::processEvents();
    const QRect frame = window->frameGeometry();
    const QPixmap picture =
        window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    const QString file = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!picture.save(file)) {
        QTextStream(stderr) << "Cannot save " << file << '\n';
        ++failures;
    } else {
        QTextStream(stdout) << file << ' ' << frame.width() << 'x' << frame.height() << '\n';
    }
}

// Makes the first action with status log entries current, so the log grid
// and the log editor have something to show.
void SelectActionWithLog(QWidget *list)
{
    auto *actions = list ? list->findChild<QTableView *>(QStringLiteral("RzDBGridActions")) : nullptr;
    auto *log = list ? list->findChild<QTableView *>(QStringLiteral("RzDBGridLog")) : nullptr;
    if (!actions || !log)
        return;
    for (int row = 0; row < actions->model()->rowCount(); ++row) {
        actions->setCurrentIndex(actions->model()->index(row, 0));
        QApplication::processEvents();
        if (log->model()->rowCount() > 0)
            return;
    }
}

void After(int ms, std::function<void()> step)
{
    QTimer::singleShot(ms, qApp, std::move(step));
}

void PressReturn(QWidget *target)
{
    QApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
    QApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier));
}

void CloseModal(const char *className)
{
    if (auto *dialog = qobject_cast<QDialog *>(TopWindow(className)))
        dialog->reject();
    else if (QWidget *window = TopWindow(className))
        window->close();
}

QAction *Command(QWidget *window, const char *name)
{
    return window ? window->findChild<QAction *>(QLatin1String(name)) : nullptr;
}

void Trigger(QAction *action, const char *name)
{
    if (action)
        action->trigger();
    else {
        QTextStream(stderr) << "No command " << name << '\n';
        ++failures;
    }
}
// The About window and the Rename query of the main window, then the end.
void ShootAboutAndRename()
{
    auto *main = qobject_cast<TFormMain *>(TopWindow("TFormMain"));
    After(kSettle, [main] {
        Shoot("TFormAbout", QStringLiteral("about"));
        After(kSettle / 2, [main] {
            After(kSettle, [] {
                Shoot("QInputDialog", QStringLiteral("rename-query"));
                After(kSettle / 2, [] { QApplication::exit(failures ? 1 : 0); });
                CloseModal("QInputDialog");
            });
            Trigger(main ? main->ActionRename : nullptr, "ActionRename");
        });
        CloseModal("TFormAbout");
    });
    Trigger(main ? main->ActionAbout : nullptr, "ActionAbout");
}
} // namespace

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "Usage: dravelin-screenshots <folder>\n";
        return 2;
    }
    folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    QtUiServices ui;
    SetUi(&ui);
    TDataModuleMain dataModule;
    TFormMain mainForm(QStringList{QCoreApplication::applicationFilePath()});
    mainForm.show();

    After(kSettle, [&mainForm] {
        Shoot("TFormMain", QStringLiteral("main-window"));
        // The settings window, opened and closed from the main window.
        After(kSettle, [] {
            Shoot("TFormSettings", QStringLiteral("settings"));
            CloseModal("TFormSettings");
        });
        mainForm.ActionSettings->trigger();

        // The first Action File of the Workspace, opened with Return; from
        // its list the action editor, then the log editor.
        After(kSettle, [] {
            SelectActionWithLog(TopWindow("TFormActions"));
            Shoot("TFormActions", QStringLiteral("action-list"));
            After(kSettle, [] {
                Shoot("TFormAction", QStringLiteral("action-editor"));
                After(kSettle / 2, [] {
                    After(kSettle, [] {
                        Shoot("TFormLog", QStringLiteral("log-editor"));
                        After(kSettle / 2, [] {
                            if (QWidget *list = TopWindow("TFormActions"))
                                list->close();
                            After(kSettle / 2, ShootAboutAndRename);
                        });
                        CloseModal("TFormLog");
                    });
                    Trigger(Command(TopWindow("TFormActions"), "ActionEditLog"), "ActionEditLog");
                });
                CloseModal("TFormAction");
            });
            Trigger(Command(TopWindow("TFormActions"), "ActionEdit"), "ActionEdit");
        });
        auto *files = mainForm.findChild<QListWidget *>(QStringLiteral("RzListBoxFileList"));
        if (files && files->count() > 0) {
            files->setFocus();
            files->setCurrentRow(0);
            PressReturn(files);
        } else {
            QTextStream(stderr) << "The Workspace lists no Action File\n";
            QApplication::exit(1);
        }
    });
    const int result = app.exec();
    return result ? result : failures;
}
