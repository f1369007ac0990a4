#include "FakeUiServices.h"
#include "TFormSettings.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

class TestFormSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();

    void opensOnGeneralWithSettingsShown();
    void okStoresEveryControl();
    void indicatorIsClampedToItsBounds_data();
    void indicatorIsClampedToItsBounds();
    void spinnerFollowsColorCoding();
    void okRefusesFirstInvalidFolder_data();
    void okRefusesFirstInvalidFolder();
    void workspaceChangedIgnoresLetterCase_data();
    void workspaceChangedIgnoresLetterCase();
    void cancelChangesNothing();
    void filterOutsideEntriesIsKept();
    void folderButtonPutsChosenFolderIntoField();
    void urlCheckOpensOnlyAFilledUrl();
    void screenshots();

private:
    template <typename T> T *child(QWidget &form, const char *name)
    {
        auto *widget = form.findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    // A tick box reacts to clicks on its box and caption only, not on the empty
    // space a layout gives it.
    static QPoint indicator(QWidget *box) { return QPoint(6, box->height() / 2); }
    void clickOk(TFormSettings &form)
    {
        QTest::mouseClick(child<QPushButton>(form, "RzBitBtnOK"), Qt::LeftButton);
    }

    std::unique_ptr<QTemporaryDir> dir_;
    TSettings settings_;
};

void TestFormSettings::initTestCase()
{
    UseTestStandardPaths();
}

void TestFormSettings::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    for (const char *folder : {"ws", "WS", "other", "container", "aux"})
        QVERIFY(QDir(dir_->path()).mkpath(folder));
    TProgramLocation where;
    where.folder = dir_->filePath("Program");
    where.baseName = "dravelin";
    where.globalIniFolder = dir_->filePath("config");
    SetProgramLocation(where);
    settings_.Load();
    settings_.Folders.Actions = dir_->filePath("ws");
    settings_.Folders.Dravelin = dir_->filePath("container");
    settings_.Folders.Auxiliary = dir_->filePath("aux");
    settings_.Company.Name = "Acme";
    settings_.Actions.ColorCoding = true;
    settings_.Actions.DueDateIndicator = 3;
    settings_.Actions.Filter = 1;
}

void TestFormSettings::opensOnGeneralWithSettingsShown()
{
    FakeUiServices fake;
    TFormSettings form(nullptr, settings_);
    QCOMPARE(form.windowTitle(), QString::fromUtf8("Manage the global Settings of Dravelin® Ostravine"));
    auto *pages = child<QTabWidget>(form, "PageControlSettings");
    QCOMPARE(pages->count(), 4);
    QCOMPARE(pages->tabText(3), QString("Actions"));
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(form.focusWidget(), child<QCheckBox>(form, "CheckBoxConfirmOnExit"));
    QCOMPARE(child<QLineEdit>(form, "EditFolderActions")->text(), dir_->filePath("ws"));
    QCOMPARE(child<QLineEdit>(form, "EditCompanyName")->text(), QString("Acme"));
    QCOMPARE(child<QComboBox>(form, "ComboBoxFilter")->currentText(), QString("Show all OPEN Actions"));
    QVERIFY(child<QCheckBox>(form, "CheckBoxSaveSettings")->isChecked());
    QVERIFY(child<QPushButton>(form, "RzBitBtnOK")->isDefault());
    QCOMPARE(fake.busyDepth, 0);
    QVERIFY(fake.busyCount > 0);
}

void TestFormSettings::okStoresEveryControl()
{
    FakeUiServices fake;
    TFormSettings form(nullptr, settings_);
    form.show();
    auto *saveSettings = child<QCheckBox>(form, "CheckBoxSaveSettings");
    QTest::mouseClick(saveSettings, Qt::LeftButton, {}, indicator(saveSettings));
    child<QCheckBox>(form, "CheckBoxMakeBackup")->setChecked(false);
    child<QLineEdit>(form, "EditDravelinHint")->setText("New hint");
    child<QLineEdit>(form, "EditCompanyDepartment")->setText("Sales");
    child<QCheckBox>(form, "CheckBoxActionsSaveLastWindowSettings")->setChecked(true);
    child<QSpinBox>(form, "SpinEditDueDateIndicator")->setValue(14);
    auto *separator = child<QLineEdit>(form, "EditAtributeSeparator");
    separator->clear();
    QTest::keyClicks(separator, "-+");
    child<QComboBox>(form, "ComboBoxFilter")->setCurrentIndex(2);
    clickOk(form);

    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(!settings_.General.SaveSettings);
    QVERIFY(!settings_.General.MakeBackup);
    QCOMPARE(settings_.General.DravelinHint, QString("New hint"));
    QCOMPARE(settings_.Company.Department, QString("Sales"));
    QVERIFY(settings_.Actions.SaveLastWindowSettings);
    QCOMPARE(settings_.Actions.DueDateIndicator, 14);
    QCOMPARE(settings_.Actions.AtributeSeparator, QString("-"));
    QCOMPARE(settings_.Actions.Filter, 2);
    QVERIFY(!form.WorkspaceChanged());
    QCOMPARE(fake.busyDepth, 0);
}

void TestFormSettings::indicatorIsClampedToItsBounds_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("above") << 250 << 100;
    QTest::newRow("below") << -5 << 0;
    QTest::newRow("inside") << 42 << 42;
}

void TestFormSettings::indicatorIsClampedToItsBounds()
{
    QFETCH(int, stored);
    QFETCH(int, shown);
    FakeUiServices fake;
    settings_.Actions.DueDateIndicator = stored;
    TFormSettings form(nullptr, settings_);
    QCOMPARE(child<QSpinBox>(form, "SpinEditDueDateIndicator")->value(), shown);
    clickOk(form);
    QCOMPARE(settings_.Actions.DueDateIndicator, shown);
}

void TestFormSettings::spinnerFollowsColorCoding()
{
    FakeUiServices fake;
    settings_.Actions.ColorCoding = false;
    TFormSettings form(nullptr, settings_);
    form.show();
    child<QTabWidget>(form, "PageControlSettings")->setCurrentIndex(3);
    auto *spinner = child<QSpinBox>(form, "SpinEditDueDateIndicator");
    auto *coding = child<QCheckBox>(form, "CheckBoxColorCoding");
    QVERIFY(!spinner->isEnabled());
    QTest::mouseClick(coding, Qt::LeftButton, {}, indicator(coding));
    QVERIFY(spinner->isEnabled());
    QTest::mouseClick(coding, Qt::LeftButton, {}, indicator(coding));
    QVERIFY(!spinner->isEnabled());
}

void TestFormSettings::okRefusesFirstInvalidFolder_data()
{
    QTest::addColumn<QStringList>("folders"); // Workspace, container, auxiliary
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing Workspace") << QStringList{"nowhere", "container", "aux"} << "EditFolderActions"
                                       << "Please enter a valid Name for the Actions Folder";
    QTest::newRow("empty container folder") << QStringList{"ws", "", "aux"} << "EditFolderDravelin"
                                            << "Please enter a valid Name for the Dravelin Files Folder";
    QTest::newRow("auxiliary is a file")
        << QStringList{"ws", "container", "file.txt"} << "EditFolderAuxiliary"
        << "Please enter a valid Name for the Auxiliary Files Folder";
    QTest::newRow("first of several") << QStringList{"ws", "gone", "gone too"} << "EditFolderDravelin"
                                      << "Please enter a valid Name for the Dravelin Files Folder";
}

void TestFormSettings::okRefusesFirstInvalidFolder()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, field);
    QFETCH(QString, message);
    QVERIFY(WriteFileBytes(dir_->filePath("file.txt"), "x"));
    FakeUiServices fake;
    TFormSettings form(nullptr, settings_);
    form.show();
    const char *edits[] = {"EditFolderActions", "EditFolderDravelin", "EditFolderAuxiliary"};
    for (int i = 0; i < 3; ++i)
        child<QLineEdit>(form, edits[i])
            ->setText(folders[i].isEmpty() ? QString() : dir_->filePath(folders[i]));
    child<QLineEdit>(form, "EditCompanyName")->setText("Changed");
    clickOk(form);

    QCOMPARE(fake.messages().size(), 1);
    QCOMPARE(fake.lastMessage()->text, message);
    QCOMPARE(fake.lastMessage()->caption, QString("Invalid Input"));
    QCOMPARE(fake.lastMessage()->flags, unsigned(MB_OK | MB_ICONERROR));
    QVERIFY(form.isVisible());
    QCOMPARE(child<QTabWidget>(form, "PageControlSettings")->currentWidget()->objectName(),
             QString("TabSheetFolders"));
    QCOMPARE(form.focusWidget()->objectName(), field);
    QCOMPARE(settings_.Company.Name, QString("Acme"));
    QCOMPARE(settings_.Folders.Actions, dir_->filePath("ws"));
}

void TestFormSettings::workspaceChangedIgnoresLetterCase_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("changed");
    QTest::newRow("same") << "ws" << false;
    QTest::newRow("other case") << "WS" << false;
    QTest::newRow("other folder") << "other" << true;
}

void TestFormSettings::workspaceChangedIgnoresLetterCase()
{
    QFETCH(QString, typed);
    FakeUiServices fake;
    TFormSettings form(nullptr, settings_);
    child<QLineEdit>(form, "EditFolderActions")->setText(dir_->filePath(typed));
    clickOk(form);
    QCOMPARE(settings_.Folders.Actions, dir_->filePath(typed));
    QTEST(form.WorkspaceChanged(), "changed");
}

void TestFormSettings::cancelChangesNothing()
{
    FakeUiServices fake;
    fake.onModal([this](QWidget *window) {
        child<QLineEdit>(*window, "EditFolderActions")->setText(dir_->filePath("other"));
        child<QCheckBox>(*window, "CheckBoxSaveSettings")->setChecked(false);
        QTest::mouseClick(child<QPushButton>(*window, "RzBitBtnCancel"), Qt::LeftButton);
    });
    TFormSettings form(nullptr, settings_);
    QCOMPARE(Ui().ExecModal(&form), int(QDialog::Rejected));
    QVERIFY(!form.WorkspaceChanged());
    QCOMPARE(settings_.Folders.Actions, dir_->filePath("ws"));
    QVERIFY(settings_.General.SaveSettings);
}

void TestFormSettings::filterOutsideEntriesIsKept()
{
    FakeUiServices fake;
    settings_.Actions.Filter = 7;
    TFormSettings form(nullptr, settings_);
    QCOMPARE(child<QComboBox>(form, "ComboBoxFilter")->currentIndex(), -1);
    clickOk(form);
    QCOMPARE(settings_.Actions.Filter, 7);
}

void TestFormSettings::folderButtonPutsChosenFolderIntoField()
{
    FakeUiServices fake;
    TFormSettings form(nullptr, settings_);
    form.show();
    child<QTabWidget>(form, "PageControlSettings")->setCurrentIndex(1);
    auto *field = child<QLineEdit>(form, "EditFolderAuxiliary");
    auto *button = child<QToolButton>(form, "ButtonFolderAuxiliary");
    QCOMPARE(button->toolTip(), QString("Select the default Folder for the Auxiliary Files"));

    fake.chooseFolder(std::nullopt);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(field->text(), dir_->filePath("aux"));

    fake.chooseFolder(dir_->filePath("other"));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(field->text(), dir_->filePath("other"));
    QCOMPARE(form.focusWidget(), field);
    QCOMPARE(fake.calls.last().kind, UiCall::Folder);
    QCOMPARE(fake.calls.last().value, dir_->filePath("aux")); // starts at the field's text
}

void TestFormSettings::urlCheckOpensOnlyAFilledUrl()
{
    FakeUiServices fake;
    TFormSettings form(nullptr, settings_);
    form.show();
    auto *url = child<QLineEdit>(form, "EditDravelinURL");
    auto *check = child<QToolButton>(form, "ButtonCheckURL");
    QCOMPARE(check->toolTip(), QString("Check the Dravelin URL"));
    url->setText("https://example.org/x");
    QTest::mouseClick(check, Qt::LeftButton);
    url->clear();
    QTest::mouseClick(check, Qt::LeftButton);
    QCOMPARE(fake.calls.size(), 1);
    QCOMPARE(fake.calls[0].kind, UiCall::Shell);
    QCOMPARE(fake.calls[0].text, QString("https://example.org/x"));
}

// With DRAVELIN_SHOTS=<folder> set, saves a picture of every tab.
void TestFormSettings::screenshots()
{
    const QString folder = qEnvironmentVariable("DRAVELIN_SHOTS");
    if (folder.isEmpty())
        QSKIP("DRAVELIN_SHOTS not set");
    FakeUiServices fake;
    TFormSettings form(nullptr, settings_);
    form.show();
    auto *pages = child<QTabWidget>(form, "PageControlSettings");
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QVERIFY(form.grab().save(folder + "/settings-" + pages->tabText(i).toLower() + ".png"));
    }
}

QTEST_MAIN(TestFormSettings)
#include "tst_formsettings.moc"
