#include "FakeUiServices.h"

#include <QtTest>
#include <stdexcept>

class TestUiServices : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void busyCursorIsRestoredWhenAnErrorEscapes();
    void fakeRecordsMessagesAndCountsUnscriptedQuestions();
};

void TestUiServices::busyCursorIsRestoredWhenAnErrorEscapes()
{
    FakeUiServices fake;
    try {
        BusyCursor busy;
        QCOMPARE(fake.busyDepth, 1);
        throw std::runtime_error("boom");
    } catch (const std::runtime_error &) {
    }
    QCOMPARE(fake.busyDepth, 0);
}

void TestUiServices::fakeRecordsMessagesAndCountsUnscriptedQuestions()
{
    FakeUiServices fake;
    QCOMPARE(Ui().MessageBox("Plain", "Caption", MB_OK | MB_ICONERROR), IDOK);
    fake.answer(IDYES);
    QCOMPARE(Ui().MessageBox("Sure?", "Ask", MB_YESNO | MB_ICONQUESTION), IDYES);
    QCOMPARE(Ui().MessageBox("Again?", "Ask", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2), IDNO);
    QCOMPARE(fake.unscripted, 1);
    QCOMPARE(fake.messages().size(), 3);
    QCOMPARE(fake.lastMessage()->flags, unsigned(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
}

QTEST_MAIN(TestUiServices)
#include "tst_uiservices.moc"
