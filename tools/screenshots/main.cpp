// Opens every window of the program one after the other, as a user does, and
// saves a picture of each with its window manager frame into a folder:
//   dravelin-screenshots <folder> [--dark] [--font-scale <factor>]
// --dark draws the windows with a dark palette, as a dark desktop theme does;
// --font-scale enlarges the desktop's font. Run it on a display with a window
// manager and a Workspace holding one Action File, and an empty folder named
// in DRAVELIN_EMPTY_WORKSPACE (scripts/screenshots prepares them). Every
// window but the main window is modal, so each step arms the shot of its
// window before it opens it.
#include "ActionListOps.h"
#include "QtUiServices.h"
#include "TApplication.h"
#include "TDataModuleMain.h"
#include "TFormMain.h"
#include "TFormSplash.h"
#include "TSettings.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTableView>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <vector>

namespace {
// Long enough for the window manager to map, place and frame a window.
constexpr int kSettle = 1000;

QString folder;
int failures = 0;

QWidget *TopWindow(const char *className)
{
    // The most recently shown window of the class: a modal opened above
    // another of its kind (an input query above an input query) comes last.
    QWidget *found = nullptr;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        if (window->isVisible() && window->inherits(className))
            found = window;
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal->inherits(className))
        found = modal;
    return found;
}

void Fail(const QString &text)
{
    QTextStream(stderr) << text << '\n';
    ++failures;
}

// The screen as the window manager shows it, cut to the window and its frame.
void Shoot(const char *className, const QString &name)
{
    QWidget *window = TopWindow(className);
    if (!window) {
        Fail(QStringLiteral("No %1 window for %2").arg(QLatin1String(className), name));
        return;
    }
    window->raise();
    window->activateWindow();
    // The window manager tells the size of its frame a little after it has
    // mapped the window; until then the frame would be cut off.
    // On a busy machine a window may also take a while to be mapped at all.
    const auto shown = [window] {
        const QWindow *handle = window->windowHandle();
        return handle && handle->isExposed() && window->frameGeometry() != window->geometry() &&
               window->width() > 1;
    };
    QElapsedTimer waited;
    waited.start();
    while (!shown() && waited.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    // Time for the window manager to draw the frame it has told.
    for (int round = 0; round < 15; ++round) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    QApplication::processEvents();
    QRect frame = window->frameGeometry();
    // A window without a frame (the splash), or one the window manager has
    // not told about yet: the window itself.
    if (frame.width() < 10 || frame.height() < 10)
        frame = QRect(window->mapToGlobal(QPoint(0, 0)), window->size());
    const QPixmap picture =
        window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    const QString file = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!picture.save(file))
        Fail(QStringLiteral("Cannot save ") + file);
    else
        QTextStream(stdout) << file << ' ' << frame.width() << 'x' << frame.height() << '\n';
}

void After(int ms, std::function<void()> step)
{
    QTimer::singleShot(ms, qApp, std::move(step));
}

void PressKey(QWidget *target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    if (!target)
        return;
    QApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, modifiers));
    QApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, modifiers));
}

void CloseWindow(const char *className)
{
    if (auto *dialog = qobject_cast<QDialog *>(TopWindow(className)))
        dialog->reject();
    else if (QWidget *window = TopWindow(className))
        window->close();
}

QAction *Command(const char *className, const char *name)
{
    QWidget *window = TopWindow(className);
    return window ? window->findChild<QAction *>(QLatin1String(name)) : nullptr;
}

void Trigger(const char *className, const char *name)
{
    if (QAction *action = Command(className, name))
        action->trigger();
    else
        Fail(QStringLiteral("No command %1 in %2").arg(QLatin1String(name), QLatin1String(className)));
}

// Brings the tab at index of the window's first tab widget to the front.
void ShowTab(const char *className, int index)
{
    if (QWidget *window = TopWindow(className))
        if (auto *tabs = window->findChild<QTabWidget *>())
            tabs->setCurrentIndex(index);
}

// Makes the first action with status log entries current, so the log grid
// and the log editor have something to show.
void SelectActionWithLog()
{
    QWidget *list = TopWindow("TFormActions");
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

// The data module the walked windows show; set by main.
TDataModuleMain *shownData = nullptr;

// Resolves the current action, which gives Undo a step to name, and opens
// the action list's Edit menu that offers it.
void OpenEditMenuAfterAChange()
{
    QWidget *list = TopWindow("TFormActions");
    auto *bar = list ? list->findChild<QMenuBar *>(QStringLiteral("MenuBar")) : nullptr;
    if (!bar) {
        Fail(QStringLiteral("No menu bar in the action list"));
        return;
    }
    ResolveCurrentAction(*shownData, QDate::currentDate());
    for (QAction *menu : bar->actions())
        if (menu->text() == QStringLiteral("&Edit"))
            bar->setActiveAction(menu);
}

// One window of the walk: open starts it (and blocks while a modal window is
// open), the shots are taken once it shows, each after its preparation; a
// window that stays open holds the steps that follow, until a later step
// closes it.
struct Step {
    const char *className;
    std::function<void()> open;
    std::vector<std::pair<QString, std::function<void()>>> shots;
    bool stays = false;
};

std::vector<Step> steps;

void RunStep(std::size_t index);

void TakeShots(std::size_t index, std::size_t shot)
{
    const Step &step = steps[index];
    if (shot < step.shots.size()) {
        if (step.shots[shot].second)
            step.shots[shot].second();
        After(kSettle / 2, [index, shot] {
            Shoot(steps[index].className, steps[index].shots[shot].first);
            TakeShots(index, shot + 1);
        });
        return;
    }
    if (!step.stays)
        CloseWindow(step.className);
    After(kSettle / 2, [index] { RunStep(index + 1); });
}

void RunStep(std::size_t index)
{
    if (index >= steps.size()) {
        QApplication::exit(failures ? 1 : 0);
        return;
    }
    After(kSettle, [index] { TakeShots(index, 0); });
    if (steps[index].open)
        steps[index].open();
}

QPalette DarkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(49, 54, 59));
    dark.setColor(QPalette::WindowText, QColor(239, 240, 241));
    dark.setColor(QPalette::Base, QColor(35, 38, 41));
    dark.setColor(QPalette::AlternateBase, QColor(49, 54, 59));
    dark.setColor(QPalette::Text, QColor(239, 240, 241));
    dark.setColor(QPalette::Button, QColor(49, 54, 59));
    dark.setColor(QPalette::ButtonText, QColor(239, 240, 241));
    dark.setColor(QPalette::Highlight, QColor(61, 174, 233));
    dark.setColor(QPalette::HighlightedText, QColor(252, 252, 252));
    dark.setColor(QPalette::ToolTipBase, QColor(49, 54, 59));
    dark.setColor(QPalette::ToolTipText, QColor(239, 240, 241));
    dark.setColor(QPalette::Link, QColor(41, 128, 185));
    dark.setColor(QPalette::PlaceholderText, QColor(140, 145, 150));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(110, 115, 120));
    return dark;
}

void DefineSteps(TFormMain &mainForm)
{
    const auto main = [&mainForm](QAction *TFormMain::*command) {
        return [&mainForm, command] { (mainForm.*command)->trigger(); };
    };
    const auto command = [](const char *className, const char *name) {
        return [className, name] { Trigger(className, name); };
    };
    steps.push_back({"TFormMain", nullptr, {{QStringLiteral("main-window"), nullptr}}, true});
    steps.push_back({"TFormSettings",
                     main(&TFormMain::ActionSettings),
                     {{QStringLiteral("settings"), nullptr},
                      {QStringLiteral("settings-folders"), [] { ShowTab("TFormSettings", 1); }},
                      {QStringLiteral("settings-company"), [] { ShowTab("TFormSettings", 2); }},
                      {QStringLiteral("settings-actions"), [] { ShowTab("TFormSettings", 3); }}}});
    steps.push_back({"TFormAbout", main(&TFormMain::ActionAbout), {{QStringLiteral("about"), nullptr}}});
    steps.push_back(
        {"QInputDialog", main(&TFormMain::ActionRename), {{QStringLiteral("rename-query"), nullptr}}});
    // The first Action File of the Workspace, opened with Return.
    steps.push_back({"TFormActions",
                     [&mainForm] {
                         auto *files = mainForm.findChild<QListWidget *>(QStringLiteral("RzListBoxFileList"));
                         if (!files || files->count() == 0) {
                             Fail(QStringLiteral("The Workspace lists no Action File"));
                             return;
                         }
                         files->setFocus();
                         files->setCurrentRow(0);
                         PressKey(files, Qt::Key_Return);
                     },
                     {{QStringLiteral("action-list"), SelectActionWithLog}},
                     true});
    // The action editor with its tabs; from the decisions and statements
    // tabs their editors, from the description the larger window.
    steps.push_back({"TFormAction",
                     command("TFormActions", "ActionEdit"),
                     {{QStringLiteral("action-editor"), nullptr},
                      {QStringLiteral("action-editor-decisions"), [] { ShowTab("TFormAction", 1); }},
                      {QStringLiteral("action-editor-statements"), [] { ShowTab("TFormAction", 2); }}},
                     true});
    steps.push_back({"TFormDecision",
                     [] {
                         ShowTab("TFormAction", 1);
                         Trigger("TFormAction", "ActionEditDecition");
                     },
                     {{QStringLiteral("decision-editor"), nullptr}}});
    steps.push_back({"TFormDecision",
                     [] {
                         ShowTab("TFormAction", 2);
                         Trigger("TFormAction", "ActionEditStatement");
                     },
                     {{QStringLiteral("statement-editor"), nullptr}}});
    steps.push_back({"TFormZoomMemo",
                     [] {
                         ShowTab("TFormAction", 0);
                         Trigger("TFormAction", "ActionZoomDESCRIPTION");
                     },
                     {{QStringLiteral("memo-zoom"), nullptr}}});
    steps.push_back({"TFormDigest",
                     command("TFormAction", "ActionPrintDigest"),
                     {{QStringLiteral("digest-of-action"), nullptr}}});
    steps.push_back({"TFormAction", nullptr, {}});
    steps.push_back(
        {"TFormLog", command("TFormActions", "ActionEditLog"), {{QStringLiteral("log-editor"), nullptr}}});
    steps.push_back(
        {"TFormLog", command("TFormActions", "ActionNewLog"), {{QStringLiteral("log-editor-new"), nullptr}}});
    steps.push_back({"TFormActors",
                     command("TFormActions", "ActionActors"),
                     {{QStringLiteral("contacts"), nullptr}},
                     true});
    steps.push_back(
        {"TFormActor", command("TFormActors", "ActionEdit"), {{QStringLiteral("contact-editor"), nullptr}}});
    steps.push_back({"TFormPrintActor",
                     command("TFormActors", "ActionPrint"),
                     {{QStringLiteral("contacts-report"), nullptr}}});
    steps.push_back({"TFormActors", nullptr, {}});
    steps.push_back({"TFormProperties",
                     command("TFormActions", "ActionProperties"),
                     {{QStringLiteral("properties"), nullptr}}});
    // The search: its query, then the results of the text typed into it.
    steps.push_back({"QInputDialog",
                     command("TFormActions", "ActionSearch"),
                     {{QStringLiteral("search-query"),
                       [] {
                           if (QWidget *query = TopWindow("QInputDialog"))
                               if (auto *entry = query->findChild<QLineEdit *>())
                                   entry->setText(QStringLiteral("load"));
                       }}},
                     true});
    steps.push_back({"TFormSearch",
                     [] {
                         if (auto *query = qobject_cast<QDialog *>(TopWindow("QInputDialog")))
                             query->accept();
                     },
                     {{QStringLiteral("search-results"), nullptr}}});
    steps.push_back({"TFormPrintList",
                     command("TFormActions", "ActionPrintList"),
                     {{QStringLiteral("list-report"), nullptr}}});
    steps.push_back(
        {"TFormDigest", command("TFormActions", "ActionDigest"), {{QStringLiteral("digest"), nullptr}}});
    // Last, as it changes the file: the Edit menu with the step to undo.
    steps.push_back(
        {"TFormActions", nullptr, {{QStringLiteral("action-list-edit-menu"), OpenEditMenuAfterAChange}}});
    // The first start: an empty Workspace with the hint where to begin.
    steps.push_back({"TFormMain",
                     [&mainForm] {
                         Settings().Folders.Actions = qEnvironmentVariable("DRAVELIN_EMPTY_WORKSPACE");
                         mainForm.RefreshFileList();
                     },
                     {{QStringLiteral("main-window-empty"), nullptr}},
                     true});
    steps.push_back({"TFormSplash",
                     [] {
                         auto *splash = new TFormSplash(true);
                         splash->setAttribute(Qt::WA_DeleteOnClose);
                         splash->show();
                     },
                     {{QStringLiteral("splash"), nullptr}}});
}
} // namespace

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const bool dark = arguments.removeAll(QStringLiteral("--dark")) > 0;
    double fontScale = 1.0;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--font-scale"));
        at >= 0 && at + 1 < arguments.size()) {
        fontScale = arguments.at(at + 1).toDouble();
        arguments.remove(at, 2);
    }
    if (arguments.size() != 1 || fontScale <= 0) {
        QTextStream(stderr) << "Usage: dravelin-screenshots <folder> [--dark] [--font-scale <factor>]\n";
        return 2;
    }
    folder = arguments.first();
    QDir().mkpath(folder);
    if (dark) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(DarkPalette());
    }
    if (fontScale != 1.0) {
        QFont font = QApplication::font();
        font.setPointSizeF(font.pointSizeF() * fontScale);
        QApplication::setFont(font);
    }
    QtUiServices ui;
    SetUi(&ui);
    TDataModuleMain dataModule(Settings());
    shownData = &dataModule;
    TFormMain mainForm(dataModule, QStringList{QCoreApplication::applicationFilePath()});
    DefineSteps(mainForm);
    mainForm.show();
    RunStep(0);
    const int result = app.exec();
    return result ? result : failures;
}
