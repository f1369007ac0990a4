#include "ContextMenuKey.h"
#include "FakeUiServices.h"
#include "TDataModuleMain.h"
#include "TFormAction.h"
#include "TFormActions.h"
#include "TFormMain.h"
#include "TFormSearch.h"
#include "TFormZoomMemo.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <memory>

namespace {

void AppendTo(TTable *table, const QVariantMap &values)
{
    table->Append();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        table->FieldByName(it.key()).SetValue(it.value());
    table->Post();
}

void Activate(QWidget *window)
{
    window->show();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
}

QString OpenPopup()
{
    QWidget *popup = QApplication::activePopupWidget();
    return popup ? popup->objectName() : QString();
}

void ClosePopups()
{
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
}

} // namespace

// The keyboard paths a desktop user expects: access letters on every menu
// title, Shift+F10 for the context menu, Ctrl+E for the larger memo window,
// and a search that proposes the last text.
class TestKeyboard : public QObject {
    Q_OBJECT

    TestWorkspace fixture_;
    FakeUiServices *const ui_ = &fixture_.ui;

    // One action with a log entry and a walrus in its description.
    void CreateFile()
    {
        TDataModuleMain &data = *fixture_.data;
        const QString file = fixture_.dir->filePath(QStringLiteral("Keys.act"));
        QVERIFY_THROWS_NO_EXCEPTION(data.Tables.Open(file, true));
        AppendTo(data.cdsActions, {{"ID", 1},
                                   {"ID_CHAIN", 1},
                                   {"ATTRIBUTE", "A"},
                                   {"ID_ACTION", "one"},
                                   {"DESCRIPTION", "a Walrus, then another walrus"}});
        AppendTo(data.cdsLog, {{"ID", 10}, {"ID_ACTION", 1}, {"DATE_LOG", QDate(2021, 1, 1)}});
        data.Tables.Close();
        QVERIFY_THROWS_NO_EXCEPTION(data.Tables.Open(file, false));
        data.FilterLogByAction();
    }

private Q_SLOTS:
    void initTestCase()
    {
        UseTestStandardPaths();
        TContextMenuKey::Install(qApp);
    }

    void init()
    {
        fixture_.Start();
        SetProgramLocation(ProgramLocationIn(fixture_.dir->path()));
        CreateFile();
    }

    void cleanup()
    {
        ClosePopups();
        fixture_.Finish();
    }

    void everyMenuTitleHasItsOwnAccessLetter()
    {
        TFormMain main(*fixture_.data, {QStringLiteral("dravelin")});
        TFormActions actions(*fixture_.data, false, false);
        for (const QMenuBar *bar : {main.menuBar(), actions.MenuBar}) {
            QSet<QChar> letters;
            for (const QAction *menu : bar->actions()) {
                const QKeySequence mnemonic = QKeySequence::mnemonic(menu->text());
                QVERIFY2(!mnemonic.isEmpty(), qPrintable(menu->text()));
                const QChar letter = menu->text().at(menu->text().indexOf(QLatin1Char('&')) + 1).toLower();
                QVERIFY2(!letters.contains(letter), qPrintable(menu->text()));
                letters.insert(letter);
            }
        }
        actions.reject();
        Settings().General.ConfirmOnExit = false;
    }

    void altLetterOpensMainMenus_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("menu");
        QTest::newRow("Alt+F") << int(Qt::Key_F) << "MenuFile";
        QTest::newRow("Alt+T") << int(Qt::Key_T) << "MenuTools";
        QTest::newRow("Alt+H") << int(Qt::Key_H) << "MenuHelp";
    }

    void altLetterOpensMainMenus()
    {
        QFETCH(int, key);
        QFETCH(QString, menu);
        TFormMain main(*fixture_.data, {QStringLiteral("dravelin")});
        Settings().General.ConfirmOnExit = false;
        Activate(&main);
        QTest::keyClick(&main, Qt::Key(key), Qt::AltModifier);
        QTRY_COMPARE(OpenPopup(), menu);
    }

    void shiftF10OpensTheContextMenu_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("menu");
        QTest::newRow("Workspace list") << "RzListBoxFileList"
                                        << "PopupMenuFileList";
        QTest::newRow("actions grid") << "RzDBGridActions"
                                      << "PopupMenu";
        QTest::newRow("log grid") << "RzDBGridLog"
                                  << "PopupMenu";
    }

    void shiftF10OpensTheContextMenu()
    {
        QFETCH(QString, where);
        QFETCH(QString, menu);
        std::unique_ptr<QWidget> window;
        if (where == "RzListBoxFileList") {
            Settings().Folders.Actions = fixture_.dir->path();
            auto main = std::make_unique<TFormMain>(*fixture_.data, QStringList{QStringLiteral("dravelin")});
            Settings().General.ConfirmOnExit = false;
            window = std::move(main);
        } else {
            window = std::make_unique<TFormActions>(*fixture_.data, false, false);
        }
        Activate(window.get());
        QWidget *target = Child<QWidget>(window.get(), where);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_COMPARE(OpenPopup(), menu);
        ClosePopups();
        if (auto *actions = qobject_cast<TFormActions *>(window.get()))
            actions->reject();
    }

    // A long text opens in the larger window by Ctrl+E, or from the context
    // menu that Shift+F10 opens, which names the shortcut; double-click
    // opens it as before.
    void memoZoomOpensFromTheKeyboard()
    {
        TDataModuleMain &data = *fixture_.data;
        data.cdsActions->Edit();
        TFormAction form(*fixture_.data, emEdit);
        Activate(&form);
        auto *memo = Child<QPlainTextEdit>(&form, QStringLiteral("MemoDESCRIPTION"));
        QVERIFY(memo->toolTip().contains(QStringLiteral("Ctrl+E")));
        int zoomed = 0;
        const auto countZoom = [&zoomed](QWidget *window) {
            QVERIFY(qobject_cast<TFormZoomMemo *>(window));
            ++zoomed;
        };
        memo->setFocus();
        ui_->onModal(countZoom);
        QTest::keyClick(memo, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(zoomed, 1);

        memo->setFocus();
        QTest::keyClick(memo, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_COMPARE(OpenPopup(), QStringLiteral("PopupMenuMemo"));
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QAction *zoom = nullptr;
        for (QAction *entry : menu->actions())
            if (entry->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_E))
                zoom = entry;
        QVERIFY(zoom);
        // The field's own entries are there too.
        QVERIFY(menu->actions().size() > 3);
        ui_->onModal(countZoom);
        zoom->trigger();
        QCOMPARE(zoomed, 2);
        ClosePopups();
        form.reject();
    }

    // Ctrl+F proposes the text searched for last; the result window marks
    // every match in the found text and offers to search again.
    void searchProposesLastTextAndMarksMatches()
    {
        TFormActions form(*fixture_.data, false, false);
        Activate(&form);
        ui_->answerInput(QStringLiteral("walrus"));
        QList<QPair<int, int>> marked;
        ui_->onModal([&marked](QWidget *window) {
            auto *results = qobject_cast<TFormSearch *>(window);
            QVERIFY(results);
            QCOMPARE(results->ButtonSearchAgain->text(), QStringLiteral("&Search Again"));
            for (const QTextEdit::ExtraSelection &match : results->DBMemoTextFound->extraSelections())
                marked.append({match.cursor.selectionStart(), match.cursor.selectionEnd()});
            results->ButtonSearchAgain->click();
        });
        ui_->answerInput(std::nullopt);
        QTest::keyClick(form.RzDBGridActions, Qt::Key_F, Qt::ControlModifier);
        // "a Walrus, then another walrus": both, whatever their case.
        QCOMPARE(marked, (QList<QPair<int, int>>{{2, 8}, {23, 29}}));
        QList<UiCall> asked;
        for (const UiCall &call : ui_->calls)
            if (call.kind == UiCall::Input)
                asked.append(call);
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[0].value, QString());
        QCOMPARE(asked[1].value, QStringLiteral("walrus"));

        ui_->answerInput(std::nullopt);
        QTest::keyClick(form.RzDBGridActions, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(ui_->calls.last().kind, UiCall::Input);
        QCOMPARE(ui_->calls.last().value, QStringLiteral("walrus"));
        form.reject();
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
