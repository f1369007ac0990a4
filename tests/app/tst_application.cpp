#include "AppError.h"
#include "FakeUiServices.h"
#include "TApplication.h"
#include "TFormMain.h"
#include "TSettings.h"
#include "TestSupport.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <stdexcept>

namespace {
// A receiver whose handler fails the way a command's handler may.
class TFailingReceiver : public QObject {
public:
    QString message;
    bool appError = true;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        if (appError)
            throw AppError(message);
        throw std::runtime_error(message.toStdString());
    }
};
} // namespace

class TestApplication : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseTestStandardPaths(); }

    void applicationTitleIsDravelin()
    {
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("Dravelin"));
    }

    void errorTextHasFourParts()
    {
        QCOMPARE(
            TApplication::ApplicationErrorText(QStringLiteral("Disk full")),
            QStringLiteral("An application error has occured, yielding the message mentioned hereunder. The "
                           "best thing to do is close the application, startup again, and confront the "
                           "Brenmoor R&D Team with this.\r\n\r\nShould you nonetheless recognize this "
                           "message, and know for a fact that nothing is wrong, then please continue "
                           "working.\r\n\r\nDo you want to shut down the application?\r\n\r\nThe error "
                           "message is: \"Disk full\""));
    }

    void escapedErrorIsReported_data()
    {
        QTest::addColumn<bool>("appError");
        QTest::addColumn<QString>("message");
        QTest::newRow("program error") << true << QStringLiteral("Unable to write to /x/dravelin.ini");
        QTest::newRow("library error") << false << QStringLiteral("bad_alloc");
    }

    void escapedErrorIsReported()
    {
        QFETCH(bool, appError);
        QFETCH(QString, message);
        FakeUiServices ui;
        ui.answer(IDNO);
        TFailingReceiver receiver;
        receiver.appError = appError;
        receiver.message = message;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&receiver, &event);
        QCOMPARE(ui.messages().size(), 1);
        const UiCall box = ui.messages().first();
        QCOMPARE(box.text, TApplication::ApplicationErrorText(message));
        QCOMPARE(box.caption, QStringLiteral("Application Error"));
        QCOMPARE(box.flags, unsigned(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
    }

    void answerDecidesWhetherProgramEnds_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("Yes shuts down") << int(IDYES) << 1;
        QTest::newRow("No carries on") << int(IDNO) << 0;
    }

    void answerDecidesWhetherProgramEnds()
    {
        QFETCH(int, answer);
        QFETCH(int, exitCode);
        FakeUiServices ui;
        ui.answer(MbResult(answer));
        TFailingReceiver receiver;
        receiver.message = QStringLiteral("boom");
        QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
        // Reached only when the loop survived the error.
        QTimer carryOn;
        carryOn.setSingleShot(true);
        connect(&carryOn, &QTimer::timeout, [] { QCoreApplication::exit(0); });
        carryOn.start(100);
        QCOMPARE(QCoreApplication::exec(), exitCode);
        QCOMPARE(ui.messages().size(), 1);
    }

    void failedSettingsSaveKeepsWindowOpen()
    {
        QTemporaryDir dir;
        TProgramLocation where;
        where.folder = dir.filePath(QStringLiteral("program"));
        where.baseName = QStringLiteral("dravelin");
        where.globalIniFolder = dir.filePath(QStringLiteral("config"));
        SetProgramLocation(where);
        // A folder where the INI file belongs cannot be replaced by a file.
        QVERIFY(QDir().mkpath(where.GlobalIniFile()));
        FakeUiServices ui;
        ui.answer(IDNO);
        TFormMain window({QStringLiteral("dravelin")});
        window.show();
        Settings().General.ConfirmOnExit = false;
        Settings().General.SaveSettings = true;

        window.findChild<QAction *>(QStringLiteral("ActionExit"))->trigger();

        QVERIFY(window.isVisible());
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.messages().first().caption, QStringLiteral("Application Error"));
        QVERIFY(ui.messages().first().text.contains(where.GlobalIniFile()));
        QCOMPARE(ui.busyDepth, 0);
    }
};

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
