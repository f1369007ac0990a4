#include "FakeUiServices.h"
#include "HtmlPage.h"
#include "ReportFixture.h"
#include "TDataModuleMain.h"
#include "TFormDigest.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace report_fixture;

class TestDigestForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void listModeDigestsAllActions();
    void actionModeFixesTheScope();
    void scopeAndLogsSwitchTheirDependents();
    void okShowsThePageAndStaysOpen();
    void priorAndNextChooseTheAction();
    void choicesComeBackNextTime();

private:
    QByteArray ShownPage();

    TestWorkspace fixture_;
    TDataModuleMain *data_ = nullptr;
};

void TestDigestForm::initTestCase()
{
    UseTestStandardPaths();
}

void TestDigestForm::init()
{
    fixture_.Start();
    data_ = fixture_.data.get();
    QVERIFY_THROWS_NO_EXCEPTION(
        data_->Tables.Open(fixture_.dir->filePath(QStringLiteral("Digest.act")), true));
    Fill(*data_);
}

void TestDigestForm::cleanup()
{
    fixture_.Finish();
}

QByteArray TestDigestForm::ShownPage()
{
    const UiCall &open = fixture_.ui.calls.last();
    if (open.kind != UiCall::Shell)
        return {};
    QFile page(open.text);
    return page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
}

void TestDigestForm::listModeDigestsAllActions()
{
    TFormDigest form(TFormDigest::ListMode, *data_);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Print Action Digest"));
    QVERIFY(form.ScopeAll->isChecked());
    QVERIFY(form.ScopeAll->isEnabled());
    QVERIFY(form.CheckBoxIndex->isChecked() && form.CheckBoxIndex->isEnabled());
    QVERIFY(form.CheckBoxSeparate->isChecked() && form.CheckBoxSeparate->isEnabled());
    QVERIFY(form.CheckBoxLogs->isChecked());
    QVERIFY(form.CheckBoxColors->isChecked());
    QVERIFY(form.CheckBoxShowInBrowser->isChecked());
    QVERIFY(!form.CheckBoxProperties->isChecked() && !form.CheckBoxHeaders->isChecked());
    QVERIFY(!form.CheckBoxDecisions->isChecked() && !form.CheckBoxStatements->isChecked());
    QVERIFY(form.ToolBar->isVisible());
    QCOMPARE(form.RzToolButtonPrior->toolTip(), QStringLiteral("Go to the previous Action"));
    QCOMPARE(form.RzToolButtonNext->toolTip(), QStringLiteral("Go to the next Action"));
    QVERIFY(form.RzBitBtnOK->isDefault());
}

void TestDigestForm::actionModeFixesTheScope()
{
    TFormDigest form(TFormDigest::ActionMode, *data_);
    form.show();
    QVERIFY(form.ScopeCurrent->isChecked());
    QVERIFY(!form.ScopeCurrent->isEnabled() && !form.ScopeAll->isEnabled());
    QVERIFY(!form.CheckBoxIndex->isChecked() && !form.CheckBoxIndex->isEnabled());
    QVERIFY(!form.CheckBoxSeparate->isChecked() && !form.CheckBoxSeparate->isEnabled());
    QVERIFY(!form.ToolBar->isVisible());
    QCOMPARE(form.focusWidget(), form.CheckBoxProperties);
}

void TestDigestForm::scopeAndLogsSwitchTheirDependents()
{
    TFormDigest form(TFormDigest::ListMode, *data_);
    form.show();
    form.ScopeCurrent->click();
    QVERIFY(!form.CheckBoxIndex->isChecked() && !form.CheckBoxIndex->isEnabled());
    QVERIFY(!form.CheckBoxSeparate->isChecked() && !form.CheckBoxSeparate->isEnabled());
    form.ScopeAll->click();
    QVERIFY(form.CheckBoxIndex->isEnabled() && !form.CheckBoxIndex->isChecked());
    QVERIFY(form.CheckBoxSeparate->isEnabled() && !form.CheckBoxSeparate->isChecked());

    form.CheckBoxLimitedLog->setChecked(true);
    form.CheckBoxLogs->click();
    QVERIFY(!form.CheckBoxLimitedLog->isChecked() && !form.CheckBoxLimitedLog->isEnabled());
    form.CheckBoxLogs->click();
    QVERIFY(form.CheckBoxLimitedLog->isEnabled() && !form.CheckBoxLimitedLog->isChecked());
}

void TestDigestForm::okShowsThePageAndStaysOpen()
{
    TFormDigest form(TFormDigest::ListMode, *data_);
    form.SetToday(kToday);
    form.show();
    form.CheckBoxDecisions->setChecked(true);
    form.CheckBoxColors->setChecked(false);
    QTest::mouseClick(form.RzBitBtnOK, Qt::LeftButton);
    QVERIFY(form.isVisible());
    QCOMPARE(fixture_.ui.calls.size(), 1);
    TDigestOptions expected;
    expected.allActions = true;
    expected.index = true;
    expected.separate = true;
    expected.decisions = true;
    expected.colors = false;
    THtmlPage page;
    BuildDigest(*data_, expected, kToday, page);
    QCOMPARE(ShownPage(), page.Bytes());
    QCOMPARE(fixture_.ui.busyDepth, 0);
}

void TestDigestForm::priorAndNextChooseTheAction()
{
    TFormDigest form(TFormDigest::ListMode, *data_);
    form.SetToday(kToday);
    form.show();
    form.ScopeCurrent->click();
    QTest::mouseClick(form.RzToolButtonNext, Qt::LeftButton);
    QTest::mouseClick(form.RzToolButtonNext, Qt::LeftButton);
    QTest::mouseClick(form.RzToolButtonPrior, Qt::LeftButton);
    QTest::mouseClick(form.RzBitBtnOK, Qt::LeftButton);
    QVERIFY(ShownPage().contains("Action \"B-2\" </font>"));
    QCOMPARE(data_->cdsActions->FieldByName(QStringLiteral("ID")).AsInteger(), 2);
}

QTEST_MAIN(TestDigestForm)
#include "tst_digestform.moc"

// The check boxes come back when the window opens again; the scope follows
// the opening mode, and the digest of one action leaves the index and the
// separator of the list's digest as they were.
void TestDigestForm::choicesComeBackNextTime()
{
    {
        TFormDigest form(TFormDigest::ListMode, *data_);
        form.show();
        form.CheckBoxIndex->setChecked(false);
        form.CheckBoxProperties->setChecked(true);
        form.CheckBoxLogs->click();
        form.CheckBoxStatements->setChecked(true);
        form.CheckBoxColors->setChecked(false);
        form.RzBitBtnCancel->click();
    }
    {
        TFormDigest form(TFormDigest::ActionMode, *data_);
        form.show();
        QVERIFY(form.ScopeCurrent->isChecked());
        QVERIFY(!form.CheckBoxIndex->isChecked() && !form.CheckBoxIndex->isEnabled());
        QVERIFY(form.CheckBoxProperties->isChecked());
        QVERIFY(!form.CheckBoxLogs->isChecked());
        QVERIFY(!form.CheckBoxLimitedLog->isEnabled());
        QVERIFY(form.CheckBoxStatements->isChecked());
        QVERIFY(!form.CheckBoxColors->isChecked());
        form.reject();
    }
    TFormDigest form(TFormDigest::ListMode, *data_);
    QVERIFY(form.ScopeAll->isChecked());
    QVERIFY(!form.CheckBoxIndex->isChecked());
    QVERIFY(form.CheckBoxSeparate->isChecked());
    QVERIFY(form.CheckBoxProperties->isChecked());
    form.reject();
}
