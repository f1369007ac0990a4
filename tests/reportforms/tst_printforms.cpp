#include "ColumnReport.h"
#include "FakeUiServices.h"
#include "HtmlPage.h"
#include "ReportFixture.h"
#include "TDataModuleMain.h"
#include "TFormPrintColumns.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <memory>

using namespace report_fixture;

// The two report windows share one base; every behaviour is checked on both.
class TestPrintForms : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void windowsStartWithTheirDefaults_data();
    void windowsStartWithTheirDefaults();
    void moveUpAndDownCarryTheCheckMark_data();
    void moveUpAndDownCarryTheCheckMark();
    void widthStepsStopAtTheBounds_data();
    void widthStepsStopAtTheBounds();
    void titleQueryReplacesTheTitle_data();
    void titleQueryReplacesTheTitle();
    void restoreBringsBackEveryDefault_data();
    void restoreBringsBackEveryDefault();
    void okShowsThePageAndStaysOpen_data();
    void okShowsThePageAndStaysOpen();
    void okWithoutColumnsDoesNothing_data();
    void okWithoutColumnsDoesNothing();
    void choicesComeBackNextTime_data();
    void choicesComeBackNextTime();
    void screenshots();

private:
    std::unique_ptr<TFormPrintColumns> NewForm(bool contacts);
    QStringList Captions(const TFormPrintColumns &form) const;
    QList<bool> Checks(const TFormPrintColumns &form) const;
    QByteArray ShownPage();

    TestWorkspace fixture_;
    TDataModuleMain *data_ = nullptr;
};

void TestPrintForms::initTestCase()
{
    UseTestStandardPaths();
}

void TestPrintForms::init()
{
    fixture_.Start();
    data_ = fixture_.data.get();
    QVERIFY_THROWS_NO_EXCEPTION(
        data_->Tables.Open(fixture_.dir->filePath(QStringLiteral("Print.act")), true));
    Fill(*data_);
    FillContacts(*data_);
}

void TestPrintForms::cleanup()
{
    fixture_.Finish();
}

std::unique_ptr<TFormPrintColumns> TestPrintForms::NewForm(bool contacts)
{
    std::unique_ptr<TFormPrintColumns> form;
    if (contacts)
        form = std::make_unique<TFormPrintActor>(*data_);
    else
        form = std::make_unique<TFormPrintList>(*data_);
    form->SetToday(kToday);
    form->show();
    return form;
}

QStringList TestPrintForms::Captions(const TFormPrintColumns &form) const
{
    QStringList captions;
    for (int i = 0; i < form.RzCheckListFields->count(); ++i)
        captions.append(form.RzCheckListFields->item(i)->text());
    return captions;
}

QList<bool> TestPrintForms::Checks(const TFormPrintColumns &form) const
{
    QList<bool> checks;
    for (int i = 0; i < form.RzCheckListFields->count(); ++i)
        checks.append(form.RzCheckListFields->item(i)->checkState() == Qt::Checked);
    return checks;
}

QByteArray TestPrintForms::ShownPage()
{
    if (fixture_.ui.calls.isEmpty() || fixture_.ui.calls.last().kind != UiCall::Shell)
        return {};
    QFile page(fixture_.ui.calls.last().text);
    return page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
}

namespace {

void AddBothWindows()
{
    QTest::addColumn<bool>("contacts");
    QTest::newRow("action list") << false;
    QTest::newRow("contacts") << true;
}

} // namespace

void TestPrintForms::windowsStartWithTheirDefaults_data()
{
    QTest::addColumn<bool>("contacts");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QList<bool>>("checks");
    QTest::addColumn<QString>("title");
    const bool y = true, n = false;
    QTest::newRow("action list") << false << "Print Action List"
                                 << QStringList{"Attrbute",  "Action ID",       "Date Action",
                                                "Date Due",  "Date Status",     "Date Finished",
                                                "Synopsis",  "Description",     "Owner",
                                                "Organizor", "Status",          "Severity",
                                                "Relations", "Functional Area", "Sign Off"}
                                 << QList<bool>{y, n, y, y, n, n, y, n, y, n, n, n, n, n, n}
                                 << "Action List \"\" on 15/03/2026";
    QTest::newRow("contacts") << true << "Print List Actors"
                              << QStringList{"Contact ID", "Company",          "Department",      "Title",
                                             "Prefix",     "First Name",       "Insertion",       "Last Name",
                                             "Suffix",     "Gender",           "Phone #1",        "Phone #2",
                                             "Cell Phone", "Email Address #1", "Email Address #2"}
                              << QList<bool>{y, n, n, n, n, y, y, y, n, n, n, n, n, y, n}
                              << "Contacts of Action List \"\" on 15/03/2026";
}

void TestPrintForms::windowsStartWithTheirDefaults()
{
    QFETCH(bool, contacts);
    QFETCH(QString, caption);
    QFETCH(QStringList, captions);
    QFETCH(QList<bool>, checks);
    QFETCH(QString, title);
    const auto form = NewForm(contacts);
    QCOMPARE(form->windowTitle(), caption);
    QCOMPARE(Captions(*form), captions);
    QCOMPARE(Checks(*form), checks);
    QCOMPARE(form->RzCheckListFields->currentRow(), 0);
    QCOMPARE(form->Title(), title);
    QVERIFY(form->AlignCenter->isChecked());
    QCOMPARE(form->RzSpinEditHTMLWidth->value(), 100);
    QCOMPARE(form->RzSpinEditHTMLWidth->minimum(), 50);
    QCOMPARE(form->RzSpinEditHTMLWidth->maximum(), 2000);
    QCOMPARE(form->RzSpinEditHTMLWidth->singleStep(), 10);
    QCOMPARE(form->RzComboBoxFontSize->currentText(), QStringLiteral("-1"));
    QCOMPARE(form->RzComboBoxFontSize->count(), 5);
    QVERIFY(form->CheckBoxColor->isChecked());
    QVERIFY(form->RzBitBtnOK->isDefault());
    QCOMPARE(form->RzBitBtnReportTitle->toolTip(), QStringLiteral("Change the Report Title"));
    QCOMPARE(form->SpeedButtonSelectAll->toolTip(), QStringLiteral("Select all Fields in the Action List"));
    QCOMPARE(form->SpeedButtonSelectNone->toolTip(),
             QStringLiteral("Select none of the Fields in the Action List"));
    QCOMPARE(form->SpeedButtonRestore->toolTip(), QStringLiteral("Restore default Print Settings"));
    QCOMPARE(form->SpeedButtonUp->toolTip(), QStringLiteral("Replace Element upwards"));
    QCOMPARE(form->SpeedButtonDown->toolTip(), QStringLiteral("Replace Element downwards"));
    QCOMPARE(form->ShapeDecrease->toolTip(), QStringLiteral("Decrease HTML Width in Steps of 100"));
    QCOMPARE(form->ShapeIncrease->toolTip(), QStringLiteral("Increase HTML Width in Steps of 100"));
}

void TestPrintForms::moveUpAndDownCarryTheCheckMark_data()
{
    QTest::addColumn<bool>("contacts");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("newRow");
    QTest::newRow("list: first entry up stays") << false << 0 << true << 0;
    QTest::newRow("list: last entry down stays") << false << 14 << false << 14;
    QTest::newRow("list: checked entry up") << false << 3 << true << 2;
    QTest::newRow("list: unchecked entry down") << false << 4 << false << 5;
    QTest::newRow("list: no selection up") << false << -1 << true << -1;
    QTest::newRow("list: no selection down") << false << -1 << false << -1;
    QTest::newRow("contacts: checked entry down") << true << 13 << false << 14;
    QTest::newRow("contacts: checked entry up") << true << 5 << true << 4;
}

void TestPrintForms::moveUpAndDownCarryTheCheckMark()
{
    QFETCH(bool, contacts);
    QFETCH(int, row);
    QFETCH(bool, up);
    QFETCH(int, newRow);
    const auto form = NewForm(contacts);
    if (row < 0)
        form->RzCheckListFields->clearSelection();
    else
        form->RzCheckListFields->setCurrentRow(row);
    QStringList captions = Captions(*form);
    QList<bool> checks = Checks(*form);
    (up ? form->SpeedButtonUp : form->SpeedButtonDown)->click();
    if (row >= 0 && newRow != row) {
        captions.swapItemsAt(row, newRow);
        checks.swapItemsAt(row, newRow);
    }
    QCOMPARE(Captions(*form), captions);
    QCOMPARE(Checks(*form), checks);
    if (row >= 0)
        QCOMPARE(form->RzCheckListFields->currentRow(), newRow);

    // The page follows the list: its checked columns in their new order.
    QStringList headers;
    for (const TReportColumn &column : form->Options().columns)
        headers.append(column.listCaption);
    QStringList checkedCaptions;
    for (int i = 0; i < captions.size(); ++i)
        if (checks[i])
            checkedCaptions.append(captions[i]);
    QCOMPARE(headers, checkedCaptions);
}

void TestPrintForms::widthStepsStopAtTheBounds_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("increase");
    QTest::addColumn<int>("result");
    QTest::newRow("decrease from 150 does nothing") << 150 << false << 150;
    QTest::newRow("decrease from 160") << 160 << false << 60;
    QTest::newRow("increase from 1900") << 1900 << true << 2000;
    QTest::newRow("increase from 1910 does nothing") << 1910 << true << 1910;
}

void TestPrintForms::widthStepsStopAtTheBounds()
{
    QFETCH(int, width);
    QFETCH(bool, increase);
    QFETCH(int, result);
    for (const bool contacts : {false, true}) {
        const auto form = NewForm(contacts);
        form->RzSpinEditHTMLWidth->setValue(width);
        QTest::mouseClick(increase ? form->ShapeIncrease : form->ShapeDecrease, Qt::LeftButton);
        QCOMPARE(form->RzSpinEditHTMLWidth->value(), result);
        QCOMPARE(form->Options().width, result);
    }
}

void TestPrintForms::titleQueryReplacesTheTitle_data()
{
    QTest::addColumn<bool>("contacts");
    QTest::addColumn<QVariant>("answer"); // a string, or invalid for Cancel
    QTest::addColumn<QString>("title");
    QTest::newRow("list: confirmed empty") << false << QVariant(QString()) << "";
    QTest::newRow("list: cancelled") << false << QVariant() << "Action List \"\" on 15/03/2026";
    QTest::newRow("contacts: markup") << true << QVariant(QStringLiteral("<i>Crew</i>")) << "<i>Crew</i>";
}

void TestPrintForms::titleQueryReplacesTheTitle()
{
    QFETCH(bool, contacts);
    QFETCH(QVariant, answer);
    QFETCH(QString, title);
    const auto form = NewForm(contacts);
    const QString before = form->Title();
    fixture_.ui.answerInput(answer.isValid() ? std::optional<QString>(answer.toString()) : std::nullopt);
    form->RzBitBtnReportTitle->click();
    QCOMPARE(fixture_.ui.calls.size(), 1);
    const UiCall &query = fixture_.ui.calls[0];
    QCOMPARE(query.kind, UiCall::Input);
    QCOMPARE(query.caption, QStringLiteral("Change Report Title"));
    QCOMPARE(query.text, QStringLiteral("Report Title:"));
    QCOMPARE(query.value, before);
    QCOMPARE(form->Title(), title);
    QCOMPARE(form->Options().title, title);
}

void TestPrintForms::restoreBringsBackEveryDefault_data()
{
    AddBothWindows();
}

void TestPrintForms::restoreBringsBackEveryDefault()
{
    QFETCH(bool, contacts);
    const auto form = NewForm(contacts);
    const QStringList captions = Captions(*form);
    const QList<bool> checks = Checks(*form);
    const QString title = form->Title();
    form->RzCheckListFields->setCurrentRow(2);
    form->SpeedButtonUp->click();
    form->SpeedButtonSelectAll->click();
    QVERIFY(!Checks(*form).contains(false));
    fixture_.ui.answerInput(QStringLiteral("Other"));
    form->RzBitBtnReportTitle->click();
    form->AlignRight->setChecked(true);
    form->RzSpinEditHTMLWidth->setValue(700);
    form->RzComboBoxFontSize->setCurrentIndex(4);
    form->CheckBoxColor->setChecked(false);
    form->SpeedButtonSelectNone->click();
    QVERIFY(!Checks(*form).contains(true));

    form->SpeedButtonRestore->click();
    QCOMPARE(Captions(*form), captions);
    QCOMPARE(Checks(*form), checks);
    QCOMPARE(form->Title(), title);
    QCOMPARE(form->RzCheckListFields->currentRow(), 0);
    QVERIFY(form->AlignCenter->isChecked());
    QCOMPARE(form->RzSpinEditHTMLWidth->value(), 100);
    QCOMPARE(form->RzComboBoxFontSize->currentText(), QStringLiteral("-1"));
    QVERIFY(form->CheckBoxColor->isChecked());
}

void TestPrintForms::okShowsThePageAndStaysOpen_data()
{
    AddBothWindows();
}

void TestPrintForms::okShowsThePageAndStaysOpen()
{
    QFETCH(bool, contacts);
    TTable &table = contacts ? *data_->cdsActor : *data_->cdsActions;
    table.Last();
    const QString current = table.FieldByName(QStringLiteral("ID")).AsString();
    const auto form = NewForm(contacts);
    form->RzCheckListFields->setCurrentRow(1);
    form->SpeedButtonDown->click();
    form->RzCheckListFields->item(0)->setCheckState(Qt::Unchecked);
    form->AlignLeft->setChecked(true);
    form->RzComboBoxFontSize->setCurrentIndex(2);
    form->RzSpinEditHTMLWidth->setValue(80);
    form->CheckBoxColor->setChecked(false);
    QTest::mouseClick(form->RzBitBtnOK, Qt::LeftButton);
    QVERIFY(form->isVisible());
    QCOMPARE(fixture_.ui.calls.size(), 1);
    QCOMPARE(fixture_.ui.busyDepth, 0);
    QCOMPARE(table.FieldByName(QStringLiteral("ID")).AsString(), current);

    const QList<TReportColumn> &all = contacts ? ContactReportColumns() : ActionReportColumns();
    TColumnReportOptions expected;
    expected.title = contacts ? ContactsReportTitle(*data_, kToday) : ActionListReportTitle(*data_, kToday);
    expected.align = TTitleAlign::Left;
    expected.fontSize = QStringLiteral("1");
    expected.width = 80;
    expected.colors = false;
    // Entry 1 moved below entry 2; entry 0 unchecked.
    const QList<int> order{2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    for (int position : order)
        if (all[position].checkedAtFirst)
            expected.columns.append(all[position]);
    THtmlPage page;
    BuildColumnReport(table, expected, kToday, page);
    QVERIFY(!page.Bytes().isEmpty());
    QCOMPARE(ShownPage(), page.Bytes());

    // A second page in a row, from the same window.
    QTest::mouseClick(form->RzBitBtnOK, Qt::LeftButton);
    QCOMPARE(fixture_.ui.calls.size(), 2);
    QCOMPARE(ShownPage(), page.Bytes());
}

void TestPrintForms::okWithoutColumnsDoesNothing_data()
{
    AddBothWindows();
}

void TestPrintForms::okWithoutColumnsDoesNothing()
{
    QFETCH(bool, contacts);
    const auto form = NewForm(contacts);
    form->SpeedButtonSelectNone->click();
    QTest::mouseClick(form->RzBitBtnOK, Qt::LeftButton);
    QVERIFY(fixture_.ui.calls.isEmpty());
    QVERIFY(form->isVisible());
}

// With DRAVELIN_SHOTS naming a folder: a picture of each window and the
// page each makes with its defaults, for a browser to show.
void TestPrintForms::choicesComeBackNextTime_data()
{
    AddBothWindows();
}

// Order, check marks, alignment, width, size and colours come back when the
// window opens again, in this run and, through the settings, in the next;
// the title is made anew.
void TestPrintForms::choicesComeBackNextTime()
{
    QFETCH(bool, contacts);
    QStringList captions;
    QList<bool> checks;
    {
        auto form = NewForm(contacts);
        form->RzCheckListFields->setCurrentRow(2);
        form->SpeedButtonUp->click();
        form->RzCheckListFields->item(0)->setCheckState(Qt::Unchecked);
        form->RzCheckListFields->item(1)->setCheckState(Qt::Checked);
        form->AlignRight->setChecked(true);
        form->ShapeIncrease->click();
        form->RzComboBoxFontSize->setCurrentIndex(3);
        form->CheckBoxColor->setChecked(false);
        captions = Captions(*form);
        checks = Checks(*form);
        form->RzBitBtnCancel->click();
    }
    // The settings file carries them to the next run.
    TProgramLocation where;
    where.folder = fixture_.dir->filePath(QStringLiteral("program"));
    where.baseName = QStringLiteral("dravelin");
    where.globalIniFolder = fixture_.dir->filePath(QStringLiteral("config"));
    const TProgramLocation before = ProgramLocation();
    SetProgramLocation(where);
    QVERIFY(QDir().mkpath(where.globalIniFolder));
    Settings().Save();
    Settings() = TSettings();
    Settings().Load();
    SetProgramLocation(before);
    for (int round = 0; round < 2; ++round) {
        auto form = NewForm(contacts);
        QCOMPARE(Captions(*form), captions);
        QCOMPARE(Checks(*form), checks);
        QVERIFY(form->AlignRight->isChecked());
        QCOMPARE(form->RzSpinEditHTMLWidth->value(), 200);
        QCOMPARE(form->RzComboBoxFontSize->currentIndex(), 3);
        QVERIFY(!form->CheckBoxColor->isChecked());
        QCOMPARE(form->Title(), contacts ? QStringLiteral("Contacts of Action List \"\" on 15/03/2026")
                                         : QStringLiteral("Action List \"\" on 15/03/2026"));
        if (round == 1)
            form->SpeedButtonRestore->click();
        form->reject();
    }
    // Restored defaults are remembered too.
    auto form = NewForm(contacts);
    QVERIFY(form->AlignCenter->isChecked());
    QCOMPARE(form->RzSpinEditHTMLWidth->value(), 100);
    form->reject();
}

void TestPrintForms::screenshots()
{
    const QString shots = qEnvironmentVariable("DRAVELIN_SHOTS");
    if (shots.isEmpty())
        QSKIP("DRAVELIN_SHOTS names no folder");
    for (const bool contacts : {false, true}) {
        const QString name = contacts ? QStringLiteral("contacts") : QStringLiteral("action-list");
        const auto form = NewForm(contacts);
        form->SpeedButtonSelectAll->click();
        if (contacts)
            form->SpeedButtonRestore->click();
        form->activateWindow();
        QVERIFY(form->grab().save(shots + QLatin1Char('/') + name + QStringLiteral("-window.png")));
        QTest::mouseClick(form->RzBitBtnOK, Qt::LeftButton);
        QFile page(shots + QLatin1Char('/') + name + QStringLiteral("-page.html"));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write(ShownPage());
    }
}

QTEST_MAIN(TestPrintForms)
#include "tst_printforms.moc"
