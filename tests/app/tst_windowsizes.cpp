#include "ScreenFit.h"
#include "TDataModuleMain.h"
#include "TFormAction.h"
#include "TFormActor.h"
#include "TFormDecision.h"
#include "TFormDigest.h"
#include "TFormLog.h"
#include "TFormPrintColumns.h"
#include "TFormProperties.h"
#include "TFormSettings.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QPushButton>
#include <QScrollBar>
#include <QtTest>
#include <memory>

// Every editor and options window opens on a small screen with its OK button
// on the screen, and keeps its natural size where the screen has room.
class TestWindowSizes : public QObject {
    Q_OBJECT

    TestWorkspace fixture_;

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
            return std::make_unique<TFormAction>(editorMode);
        }
        if (window == "log") {
            prepare(data.cdsLog);
            return std::make_unique<TFormLog>(editorMode);
        }
        if (window == "decision" || window == "statement") {
            const TDecisionKind &kind = window == "decision" ? DecisionKind() : StatementKind();
            prepare(kind.Table());
            return std::make_unique<TFormDecision>(kind, editorMode);
        }
        if (window == "contact") {
            prepare(data.cdsActor);
            return std::make_unique<TFormActor>(editorMode == emNew ? cmNew : cmEdit);
        }
        if (window == "properties")
            return std::make_unique<TFormProperties>();
        if (window == "settings")
            return std::make_unique<TFormSettings>();
        if (window == "digest")
            return std::make_unique<TFormDigest>(TFormDigest::ListMode, data);
        if (window == "list report")
            return std::make_unique<TFormPrintList>(data);
        if (window == "contacts report")
            return std::make_unique<TFormPrintActor>(data);
        qFatal("no window %s", qPrintable(window));
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
    void initTestCase() { UseTestStandardPaths(); }

    void init()
    {
        fixture_.Start();
        QVERIFY_THROWS_NO_EXCEPTION(fixture_.data->Tables.Open(fixture_.dir->filePath("Sizes.act"), true));
    }

    void cleanup() { fixture_.Finish(); }

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
        FitWindowToScreen(form.get(), screen);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));

        const QSize room = screen.size() - WindowFrameAllowance();
        QVERIFY2(form->width() <= room.width() && form->height() <= room.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(form->width()).arg(form->height())));
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
