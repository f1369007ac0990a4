#include "AppIcon.h"
#include "IconButtonNames.h"
#include "ScreenFit.h"
#include "SearchActionFile.h"
#include "TDataModuleMain.h"
#include "TFormAbout.h"
#include "TFormAction.h"
#include "TFormActions.h"
#include "TFormActor.h"
#include "TFormActors.h"
#include "TFormDecision.h"
#include "TFormDigest.h"
#include "TFormLog.h"
#include "TFormMain.h"
#include "TFormPrintColumns.h"
#include "TFormProperties.h"
#include "TFormSearch.h"
#include "TFormSettings.h"
#include "TFormSplash.h"
#include "TFormZoomMemo.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <memory>

namespace {

QString Stripped(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

// What of the window's visible texts is drawn in less room than it needs:
// a label, a button or check box caption, a column title, a tab, a group
// title, a menu or toolbar squeezed behind its overflow button; and every
// button without a name for the screen reader, and every toolbar icon not
// drawn at its bar's size.
QStringList ClippedTexts(QWidget *window)
{
    QStringList clipped;
    const auto report = [&](const QWidget *widget, const QString &what) {
        clipped << QStringLiteral("%1 %2: %3")
                       .arg(QLatin1String(widget->metaObject()->className()), widget->objectName(), what);
    };
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        // The grid's corner button is Qt's own, not a control of the window.
        if (!widget->isVisibleTo(window) || widget->inherits("QTableCornerButton"))
            continue;
        if (widget->objectName() == QLatin1String("qt_toolbar_ext_button") ||
            widget->objectName() == QLatin1String("qt_menubar_ext_button")) {
            report(widget->parentWidget(), QStringLiteral("commands behind the overflow button"));
            continue;
        }
        const QFontMetrics metrics(widget->font());
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            if (label->text().isEmpty() || label->wordWrap() || Qt::mightBeRichText(label->text()))
                continue;
            const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                              -label->margin(), -label->margin());
            if (metrics.horizontalAdvance(Stripped(label->text())) > room.width() ||
                metrics.height() > room.height())
                report(label, label->text());
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            const auto *tool = qobject_cast<QToolButton *>(button);
            const bool textShown = !button->text().isEmpty() &&
                                   !(tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly) &&
                                   !(tool && tool->toolButtonStyle() == Qt::ToolButtonFollowStyle);
            if (textShown && (button->sizeHint().width() > button->width() ||
                              button->sizeHint().height() > button->height()))
                report(button, button->text());
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(button);
            const QString name = accessible ? accessible->text(QAccessible::Name) : QString();
            const QString expected = textShown ? Stripped(button->text()) : button->toolTip();
            if (name.isEmpty() ||
                (!expected.isEmpty() && name != expected && name != Stripped(button->text())))
                report(button, QStringLiteral("accessible name \"%1\"").arg(name));
            if (auto *bar = qobject_cast<QToolBar *>(button->parentWidget());
                bar && !button->icon().isNull() &&
                button->icon().actualSize(bar->iconSize()) != bar->iconSize())
                report(button, QStringLiteral("icon drawn smaller than its toolbar's"));
        } else if (auto *header = qobject_cast<QHeaderView *>(widget)) {
            if (header->orientation() != Qt::Horizontal)
                continue;
            for (int section = 0; section < header->count(); ++section)
                if (!header->isSectionHidden(section) &&
                    header->sectionSize(section) < header->sectionSizeHint(section))
                    report(header, header->model()->headerData(section, Qt::Horizontal).toString());
        } else if (auto *tabs = qobject_cast<QTabBar *>(widget)) {
            for (int tab = 0; tab < tabs->count(); ++tab)
                if (tabs->tabRect(tab).width() < metrics.horizontalAdvance(Stripped(tabs->tabText(tab))))
                    report(tabs, tabs->tabText(tab));
        } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
            if (metrics.horizontalAdvance(Stripped(group->title())) > group->width())
                report(group, group->title());
        } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            if (!combo->isEditable() && combo->sizeHint().width() > combo->width())
                report(combo, combo->currentText());
        }
    }
    return clipped;
}

} // namespace

// Every editor and options window opens on a small screen with its OK button
// on the screen, and keeps its natural size where the screen has room.
class TestWindowSizes : public QObject {
    Q_OBJECT

    TestWorkspace fixture_;
    QTemporaryDir noTheme_;
    const QFont defaultFont_ = QApplication::font();

    // One action with its log, decisions and statements filtered to it, and
    // the table of the window in the state its caller leaves it in: a new
    // record for mode "new", else the first record edited.
    std::unique_ptr<QWidget> MakeWindow(const QString &window, const QString &mode)
    {
        TDataModuleMain &data = *fixture_.data;
        TTable *actions = data.cdsActions;
        actions->Append();
        actions->FieldByName("ID").SetAsInteger(1);
        actions->FieldByName("ID_CHAIN").SetAsInteger(1);
        actions->FieldByName("ID_ACTION").SetAsString(QStringLiteral("QUAY-1"));
        actions->Post();
        data.FilterLogByAction();
        data.FilterDecisionsByAction();
        data.FilterStatementsByAction();
        const TEditorMode editorMode = mode == "new" ? emNew : mode == "edit" ? emEdit : emView;
        const auto prepare = [&](TTable *table) {
            if (editorMode == emNew) {
                table->Insert();
                return;
            }
            if (table != actions) {
                table->Append();
                table->Post();
            }
            table->Edit();
        };
        if (window == "action") {
            prepare(actions);
            return std::make_unique<TFormAction>(*fixture_.data, editorMode);
        }
        if (window == "log") {
            prepare(data.cdsLog);
            return std::make_unique<TFormLog>(*fixture_.data, editorMode);
        }
        if (window == "decision" || window == "statement") {
            const TDecisionKind &kind = window == "decision" ? DecisionKind() : StatementKind();
            prepare(kind.Table(*fixture_.data));
            return std::make_unique<TFormDecision>(*fixture_.data, kind, editorMode);
        }
        if (window == "contact") {
            prepare(data.cdsActor);
            return std::make_unique<TFormActor>(*fixture_.data, editorMode == emNew ? cmNew : cmEdit);
        }
        if (window == "properties")
            return std::make_unique<TFormProperties>(*fixture_.data);
        if (window == "settings")
            return std::make_unique<TFormSettings>();
        if (window == "digest")
            return std::make_unique<TFormDigest>(TFormDigest::ListMode, data);
        if (window == "list report")
            return std::make_unique<TFormPrintList>(data);
        if (window == "contacts report")
            return std::make_unique<TFormPrintActor>(data);
        if (window == "main")
            return std::make_unique<TFormMain>(*fixture_.data, QStringList{QStringLiteral("dravelin")});
        if (window == "action list")
            return std::make_unique<TFormActions>(*fixture_.data, false, false);
        if (window == "contacts list")
            return std::make_unique<TFormActors>(*fixture_.data);
        if (window == "search results") {
            SearchActionFile(data, QStringLiteral("QUAY"));
            return std::make_unique<TFormSearch>(TActionListFile{*fixture_.data}, QStringLiteral("QUAY"));
        }
        if (window == "about")
            return std::make_unique<TFormAbout>();
        if (window == "splash")
            return std::make_unique<TFormSplash>();
        if (window == "memo zoom") {
            actions->Edit();
            return std::make_unique<TFormZoomMemo>(nullptr, fixture_.data->TempFiles,
                                                   QStringLiteral("Edit Action Description"),
                                                   QStringLiteral("DESCRIPTION"), actions);
        }
        qFatal("no window %s", qPrintable(window));
    }

    // Shows the window fitted to the screen and checks that it fits.
    static void ShowFitted(QWidget *form, const QRect &screen)
    {
        FitWindowToScreen(form, screen);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        const QSize room = screen.size() - WindowFrameAllowance();
        QVERIFY2(form->width() <= room.width() && form->height() <= room.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(form->width()).arg(form->height())));
    }

    static QPushButton *OkButton(const QWidget *window)
    {
        const QList<QPushButton *> buttons = window->findChildren<QPushButton *>();
        for (QPushButton *button : buttons) {
            if (button->text() == QStringLiteral("&OK"))
                return button;
        }
        qFatal("no OK button in %s", qPrintable(window->objectName()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        UseTestStandardPaths();
        TIconButtonNames::Install(qApp);
        // No desktop icon theme: the bundled pictures are what shows.
        QIcon::setThemeSearchPaths({noTheme_.path()});
        QIcon::setFallbackSearchPaths({});
        QIcon::setThemeName(QStringLiteral("none"));
    }

    void init()
    {
        fixture_.Start();
        SetProgramLocation(ProgramLocationIn(fixture_.dir->path()));
        QVERIFY_THROWS_NO_EXCEPTION(fixture_.data->Tables.Open(fixture_.dir->filePath("Sizes.act"), true));
    }

    void cleanup()
    {
        QApplication::setFont(defaultFont_);
        CloseSearchResults(*fixture_.data);
        fixture_.Finish();
    }

    // Every window, at its natural size on a large screen and fitted to a
    // small one, with the desktop's font and one a fifth larger, shows each
    // of its texts whole, on every tab.
    void nothingIsClipped_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<double>("fontScale");
        const QList<std::pair<const char *, const char *>> windows{
            {"main", ""},           {"action list", ""},     {"action", "edit"},
            {"action", "new"},      {"log", "edit"},         {"log", "new"},
            {"decision", "edit"},   {"statement", "view"},   {"contact", "edit"},
            {"contacts list", ""},  {"properties", ""},      {"memo zoom", ""},
            {"search results", ""}, {"settings", ""},        {"digest", ""},
            {"list report", ""},    {"contacts report", ""}, {"about", ""},
            {"splash", ""}};
        for (const auto &[window, mode] : windows)
            for (const QRect &screen : {QRect(0, 0, 1024, 640), QRect(0, 0, 1920, 1080)})
                for (const double scale : {1.0, 1.2})
                    QTest::addRow("%s%s%s, %dx%d, font x%.1f", window, *mode ? " " : "", mode, screen.width(),
                                  screen.height(), scale)
                        << QString::fromLatin1(window) << QString::fromLatin1(mode) << screen << scale;
    }

    void nothingIsClipped()
    {
        QFETCH(QString, window);
        QFETCH(QString, mode);
        QFETCH(QRect, screen);
        QFETCH(double, fontScale);
        QFont font = defaultFont_;
        font.setPointSizeF(font.pointSizeF() * fontScale);
        QApplication::setFont(font);
        const std::unique_ptr<QWidget> form = MakeWindow(window, mode);
        ShowFitted(form.get(), screen);
        QStringList clipped;
        QList<QTabWidget *> tabbed = form->findChildren<QTabWidget *>();
        if (tabbed.isEmpty())
            tabbed.append(nullptr);
        for (QTabWidget *tabs : tabbed) {
            for (int tab = 0; tab < (tabs ? tabs->count() : 1); ++tab) {
                // The action editor's other tabs open only for an action
                // being edited.
                if (tabs && (window != "action" || mode == "edit"))
                    tabs->setCurrentIndex(tab);
                QApplication::processEvents();
                clipped += ClippedTexts(form.get());
            }
        }
        clipped.removeDuplicates();
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral("\n"))));
        if (auto *dialog = qobject_cast<QDialog *>(form.get()))
            dialog->reject();
    }

    void windowFitsTheScreen_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QRect>("screen");
        const QList<std::pair<const char *, const char *>> windows{
            {"action", "new"},   {"action", "edit"},   {"action", "view"},  {"log", "new"},
            {"decision", "new"}, {"statement", "new"}, {"contact", "new"},  {"properties", ""},
            {"settings", ""},    {"digest", ""},       {"list report", ""}, {"contacts report", ""}};
        for (const auto &[window, mode] : windows) {
            for (const QRect &screen : {QRect(0, 0, 1024, 640), QRect(0, 0, 1920, 1080)})
                QTest::addRow("%s%s%s, %dx%d", window, *mode ? " " : "", mode, screen.width(),
                              screen.height())
                    << QString::fromLatin1(window) << QString::fromLatin1(mode) << screen;
        }
    }

    void windowFitsTheScreen()
    {
        QFETCH(QString, window);
        QFETCH(QString, mode);
        QFETCH(QRect, screen);
        const std::unique_ptr<QWidget> form = MakeWindow(window, mode);
        const QSize natural =
            form->sizeHint().expandedTo(form->minimumSizeHint()).expandedTo(form->minimumSize());
        ShowFitted(form.get(), screen);
        const QSize room = screen.size() - WindowFrameAllowance();
        const QPushButton *ok = OkButton(form.get());
        QVERIFY(ok->isVisible());
        const QRect okAt(ok->mapTo(form.get(), QPoint(0, 0)), ok->size());
        QVERIFY(form->rect().contains(okAt));
        if (natural.width() <= room.width() && natural.height() <= room.height()) {
            // Room enough: the window opens whole, nothing scrolls.
            QCOMPARE(form->size(), natural);
            for (const TScrollPage *page : form->findChildren<TScrollPage *>())
                QCOMPARE(page->verticalScrollBar()->maximum(), 0);
        }
        if (screen.height() >= 1080)
            QVERIFY2(form->size() == natural, "a large screen shows the whole window");
    }

    // An editor opens as large in every mode, on a small screen and a large.
    void editorKeepsItsSizeInEveryMode_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("modes");
        const QStringList all{"new", "edit", "view"};
        QTest::newRow("action") << "action" << all;
        QTest::newRow("log") << "log" << all;
        QTest::newRow("decision") << "decision" << all;
        QTest::newRow("statement") << "statement" << all;
        QTest::newRow("contact") << "contact" << QStringList{"new", "edit"};
    }

    void editorKeepsItsSizeInEveryMode()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, modes);
        QList<QSize> sizes;
        for (const QString &mode : modes) {
            fixture_.Finish();
            init();
            const std::unique_ptr<QWidget> form = MakeWindow(window, mode);
            for (const QRect &screen : {QRect(0, 0, 1024, 640), QRect(0, 0, 1920, 1080)})
                sizes.append(FittedWindowSize(form.get(), screen));
            if (auto *dialog = qobject_cast<QDialog *>(form.get()))
                dialog->reject();
        }
        for (int at = 2; at < sizes.size(); ++at)
            QCOMPARE(sizes[at], sizes[at % 2]);
    }
};

QTEST_MAIN(TestWindowSizes)
#include "tst_windowsizes.moc"
