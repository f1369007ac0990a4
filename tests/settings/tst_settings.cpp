#include "AppError.h"
#include "FakeUiServices.h"
#include "FullDisk.h"
#include "LocalIniQuestion.h"
#include "TLocalIniChoice.h"
#include "TSettings.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();

    void loadWithoutIniFileGivesDefaults_data();
    void loadWithoutIniFileGivesDefaults();
    void flagsReadAnyWholeNumber_data();
    void flagsReadAnyWholeNumber();
    void numbersReadDecimalAndHex_data();
    void numbersReadDecimalAndHex();
    void textsAreCutAt2047Characters();
    void damagedFilesGiveWhatTheyHold_data();
    void damagedFilesGiveWhatTheyHold();
    void strayByteSpoilsOnlyItsOwnLine_data();
    void strayByteSpoilsOnlyItsOwnLine();
    void secondSaveWritesWhatTheFirstWrote_data();
    void secondSaveWritesWhatTheFirstWrote();
    void saveWritesTableOrderAndKeepsUnknownLines();
    void saveAndLoadRoundTrip();
    void lineBreaksCannotInjectKeys();
    void saveRefusesUnwritableTarget_data();
    void saveRefusesUnwritableTarget();
    void markerChoosesIniFileAtEveryLoadAndSave();

    void localIniChoiceSwitches_data();
    void localIniChoiceSwitches();
    void localIniChoiceKeepsStateWhenMarkerFails_data();
    void localIniChoiceKeepsStateWhenMarkerFails();

private:
    QString globalIni() const { return ProgramLocation().GlobalIniFile(); }
    QString localIni() const { return ProgramLocation().LocalIniFile(); }
    QString marker() const { return ProgramLocation().LocalIniMarker(); }

    std::unique_ptr<QTemporaryDir> dir_;
};

void TestSettings::initTestCase()
{
    UseTestStandardPaths();
}

void TestSettings::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    // Upper case in folder and program name: only the local INI file name is lower-cased.
    TProgramLocation where;
    where.folder = dir_->filePath("Program");
    where.baseName = "Dravelin";
    where.globalIniFolder = dir_->filePath("config");
    where.dataFolder = dir_->filePath("data");
    where.documentsFolder = dir_->filePath("Documents");
    QVERIFY(QDir().mkpath(where.folder));
    SetProgramLocation(where);
}

void TestSettings::loadWithoutIniFileGivesDefaults_data()
{
    // An installed program keeps the user's files out of its own folder; a
    // portable copy (the local INI marker beside it) keeps them beside it.
    QTest::addColumn<bool>("portable");
    QTest::addColumn<QString>("userFiles");
    QTest::addColumn<QString>("onboard");
    QTest::newRow("installed") << false << "Documents/Dravelin"
                               << "data/Dravelin.onboard";
    QTest::newRow("portable") << true << "Program"
                              << "Program/Dravelin.onboard";
}

void TestSettings::loadWithoutIniFileGivesDefaults()
{
    QFETCH(bool, portable);
    QFETCH(QString, userFiles);
    QFETCH(QString, onboard);
    if (portable)
        QVERIFY(WriteFileBytes(marker(), {}));
    TSettings s;
    s.Load();
    const QString program = dir_->filePath(userFiles);
    QCOMPARE(ProgramLocation().OnboardMarker(), dir_->filePath(onboard));
    QVERIFY(s.General.SaveSettings && s.General.ConfirmOnExit && s.General.MakeBackup &&
            s.General.ShowBottomPanel);
    QVERIFY(!s.General.SaveLastWindowSettings);
    QVERIFY(s.General.DravelinURL.startsWith("https://"));
    QVERIFY(!s.General.DravelinHint.isEmpty());
    QCOMPARE(s.Folders.Actions, program + "/Actions");
    QCOMPARE(s.Folders.Dravelin, program + "/Actions");
    QCOMPARE(s.Folders.Auxiliary, program + "/Auxiliary");
    QCOMPARE(s.Company.Name, QString());
    QVERIFY(s.Actions.ConfirmOnExit && s.Actions.TransferData && s.Actions.ColorCoding);
    QVERIFY(!s.Actions.SaveLastWindowSettings);
    QCOMPARE(s.Actions.DueDateIndicator, 1);
    QCOMPARE(s.Actions.AtributeSeparator, QString("_"));
    QCOMPARE(s.Actions.Filter, 0);
    QCOMPARE(QList<int>({s.Actions.Top, s.Actions.Left, s.Actions.Height, s.Actions.Width}),
             QList<int>({0, 0, 600, 870}));
    QCOMPARE(QList<int>({s.LastWindow.Top, s.LastWindow.Left, s.LastWindow.Height, s.LastWindow.Width}),
             QList<int>({0, 0, 600, 840}));
    QVERIFY(!QFile::exists(portable ? localIni() : globalIni()));
    // Loading creates nothing: neither folders nor the first-run marker.
    QCOMPARE(FolderEntries(dir_->path()), QStringList({"Program"}));
    QCOMPARE(FolderEntries(dir_->filePath("Program")),
             portable ? QStringList({"Dravelin.localini"}) : QStringList());
}

void TestSettings::flagsReadAnyWholeNumber_data()
{
    // The value goes into two flags whose defaults differ, so a value read
    // as "missing" shows as each flag's own default.
    QTest::addColumn<QString>("raw");
    QTest::addColumn<bool>("makeBackup");     // default true
    QTest::addColumn<bool>("saveLastWindow"); // default false
    QTest::newRow("1") << "1" << true << true;
    QTest::newRow("0") << "0" << false << false;
    QTest::newRow("5 is true") << "5" << true << true;
    QTest::newRow("negative is true") << "-1" << true << true;
    QTest::newRow("hex zero") << "0x0" << false << false;
    QTest::newRow("padded") << "  1  " << true << true;
    QTest::newRow("yes is missing") << "yes" << true << false;
    QTest::newRow("empty is missing") << "" << true << false;
}

void TestSettings::flagsReadAnyWholeNumber()
{
    QFETCH(QString, raw);
    QVERIFY(WriteFileBytes(
        globalIni(), ("[General]\nMakeBackup=" + raw + "\nSaveLastWindowSettings=" + raw + "\n").toUtf8()));
    TSettings s;
    s.Load();
    QTEST(s.General.MakeBackup, "makeBackup");
    QTEST(s.General.SaveLastWindowSettings, "saveLastWindow");
}

void TestSettings::numbersReadDecimalAndHex_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<int>("width"); // LastWindow.Width, default 840
    QTest::newRow("decimal") << "1024" << 1024;
    QTest::newRow("negative") << "-12" << -12;
    QTest::newRow("hex") << "0x1F" << 31;
    QTest::newRow("hex upper prefix") << "0X10" << 16;
    QTest::newRow("hex all bits") << "0xFFFFFFFF" << -1;
    QTest::newRow("hex too wide") << "0x100000000" << 840;
    QTest::newRow("decimal too large") << "2147483648" << 840;
    QTest::newRow("bare prefix") << "0x" << 840;
    QTest::newRow("trailing text") << "12px" << 840;
    QTest::newRow("fraction") << "1.5" << 840;
    QTest::newRow("word") << "wide" << 840;
}

void TestSettings::numbersReadDecimalAndHex()
{
    QFETCH(QString, raw);
    QVERIFY(WriteFileBytes(globalIni(), ("[lastwindow]\nwidth=" + raw + "\n").toUtf8()));
    TSettings s;
    s.Load();
    QTEST(s.LastWindow.Width, "width");
}

void TestSettings::textsAreCutAt2047Characters()
{
    const QString longName(3000, QChar(0x00E9));
    const QString fits(2047, 'd');
    QVERIFY(WriteFileBytes(globalIni(),
                           ("[Company]\nName=" + longName + "\nDepartment=" + fits + "\n").toUtf8()));
    TSettings s;
    s.Load();
    QCOMPARE(s.Company.Name, longName.left(2047));
    QCOMPARE(s.Company.Department, fits);
}

void TestSettings::damagedFilesGiveWhatTheyHold_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("saveSettings"); // default true
    QTest::addColumn<QString>("name");      // default empty
    QTest::newRow("cut inside a section name")
        << QByteArray("[General]\nSaveSettings=0\n[Comp") << false << "";
    QTest::newRow("cut inside a value") << QByteArray("[Company]\r\nName=Ac") << true << "Ac";
    QTest::newRow("binary garbage") << QByteArray("\x00\xff[\x01=\n\x80\x81=\x00", 12) << true << "";
    QTest::newRow("8-bit code page") << QByteArray("[Company]\nName=M\xfcller\n") << true
                                     << QString::fromUtf8("Müller");
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF[Company]\nName=M\xC3\xBCller\n") << true
                                    << QString::fromUtf8("Müller");
}

void TestSettings::damagedFilesGiveWhatTheyHold()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(WriteFileBytes(globalIni(), bytes));
    TSettings s;
    s.Load();
    QTEST(s.General.SaveSettings, "saveSettings");
    QTEST(s.Company.Name, "name");
    QCOMPARE(s.LastWindow.Width, 840);
}

void TestSettings::strayByteSpoilsOnlyItsOwnLine_data()
{
    QTest::addColumn<QByteArray>("stray");
    QTest::newRow("8-bit byte") << QByteArray("Theme=gr\xfcn");
    QTest::newRow("lone continuation bytes") << QByteArray("\x80\x81=\xbf");
    QTest::newRow("cut UTF-8 sequence") << QByteArray("Theme=caf\xc3");
}

void TestSettings::strayByteSpoilsOnlyItsOwnLine()
{
    // One line that is not UTF-8 is read on its own; the other lines stay
    // UTF-8, and a save writes every value nobody changed as it was.
    QFETCH(QByteArray, stray);
    const QByteArray old = "[Company]\nName=caf\xc3\xa9\nDepartment=M\xfcller \n[Plugins]\n" + stray + "\n";
    QVERIFY(WriteFileBytes(globalIni(), old));
    TSettings s;
    s.Load();
    QCOMPARE(s.Company.Name, QString::fromUtf8("caf\xc3\xa9"));
    QCOMPARE(s.Company.Department, QString::fromUtf8("M\xc3\xbcller"));
    s.Save();
    const QByteArray saved = ReadFileBytes(globalIni());
    QVERIFY2(saved.startsWith("[General]\n"), saved.constData());
    QVERIFY(saved.contains("\n[Company]\nName=caf\xc3\xa9\nDepartment=M\xfcller \n"));
    QVERIFY(saved.endsWith(QByteArray(QByteArray("\n[Plugins]\n") + stray + "\n")));

    TSettings back;
    back.Load();
    QCOMPARE(back.Company.Name, s.Company.Name);
    QCOMPARE(back.Company.Department, s.Company.Department);
    back.Company.Name = QString::fromUtf8("na\xc3\xafve");
    back.Save();
    QVERIFY(ReadFileBytes(globalIni()).contains("\nName=na\xc3\xafve\nDepartment=M\xfcller \n"));
}

void TestSettings::secondSaveWritesWhatTheFirstWrote_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("saved"); // how the first save begins
    QTest::addColumn<bool>("saveSettings");
    // The file's byte order mark goes; one more before the first section
    // stays with its line.
    QTest::newRow("byte order mark of a line")
        << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF[General]\nSaveSettings=0\n")
        << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF[General]\nSaveSettings=0\n") << false;
    QTest::newRow("carriage returns at line end")
        << QByteArray("note\r\r\n[General]\r\nSaveSettings=0\r\r\r\n")
        << QByteArray("note\n\n[General]\nSaveSettings=0\n") << false;
}

void TestSettings::secondSaveWritesWhatTheFirstWrote()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(WriteFileBytes(globalIni(), bytes));
    TSettings s;
    s.Load();
    QTEST(s.General.SaveSettings, "saveSettings");
    s.Save();
    const QByteArray first = ReadFileBytes(globalIni());
    QFETCH(QByteArray, saved);
    QVERIFY2(first.startsWith(saved), first.constData());
    TSettings back;
    back.Load();
    QTEST(back.General.SaveSettings, "saveSettings");
    back.Save();
    QCOMPARE(ReadFileBytes(globalIni()), first);
}

void TestSettings::saveWritesTableOrderAndKeepsUnknownLines()
{
    // Keys out of order and in other letter case, an unknown key, a comment
    // and an unknown section: known keys are rewritten in the table's order.
    QVERIFY(WriteFileBytes(globalIni(), "; my settings\r\n"
                                        "[Plugins]\r\n"
                                        "Theme=dark\r\n"
                                        "[actions]\r\n"
                                        "Custom=keep me\r\n"
                                        "FILTER=2\r\n"
                                        "\r\n"
                                        "[General]\r\n"
                                        "; note\r\n"
                                        "ShowBottomPanel=0\r\n"
                                        "SaveSettings=1\r\n"
                                        "SaveSettings=0\r\n"));
    TSettings s;
    s.Load();
    QCOMPARE(s.Actions.Filter, 2);
    QVERIFY(s.General.SaveSettings); // the first of two equal keys counts
    s.Company.Name = "Acme";
    s.Actions.AtributeSeparator = "-";
    s.Save();
    const QString program = dir_->filePath("Documents/Dravelin");
    const QString expected =
        "; my settings\n"
        "\n[General]\n"
        "SaveSettings=1\nConfirmOnExit=1\nSaveLastWindowSettings=0\nMakeBackup=1\n"
        "ShowBottomPanel=0\nDravelinURL=" +
        s.General.DravelinURL + "\nDravelinHint=" + s.General.DravelinHint +
        "\n; note\n"
        "\n[Folders]\nActions=" +
        program + "/Actions\nDravelin=" + program + "/Actions\nAuxiliary=" + program +
        "/Auxiliary\n"
        "\n[Company]\nName=Acme\nDepartment=\n"
        "\n[Actions]\nConfirmOnExit=1\nSaveLastWindowSettings=0\nTransferData=1\n"
        "ColorCoding=1\nDueDateIndicator=1\nAtributeSeparator=-\nFilter=2\nTop=0\nLeft=0\n"
        "Height=600\nWidth=870\nCustom=keep me\n"
        "\n[LastWindow]\nTop=0\nLeft=0\nHeight=600\nWidth=840\n"
        "\n[Digest]\nIndex=1\nProperties=0\nHeaders=0\nSeparate=1\nLogs=1\nLimitedLog=0\nDecisions=0\n"
        "Statements=0\nColors=1\nShowInBrowser=1\n"
        "\n[PrintList]\nColumns=\nAlign=1\nWidth=100\nFontSize=1\nColors=1\n"
        "\n[PrintActors]\nColumns=\nAlign=1\nWidth=100\nFontSize=1\nColors=1\n"
        "\n[Plugins]\nTheme=dark\n";
    QCOMPARE(QString::fromUtf8(ReadFileBytes(globalIni())), expected);
}

void TestSettings::saveAndLoadRoundTrip()
{
    TSettings s;
    s.Load();
    s.General.SaveSettings = false;
    s.General.DravelinHint = QString::fromUtf8("Größe – ½ = 50 %");
    s.Folders.Actions = dir_->filePath("Büro/Work Space");
    s.Company.Department = "R&D = research; #1";
    s.Actions.Filter = 7;
    s.Actions.DueDateIndicator = 250;
    s.LastWindow.Left = -1200;
    s.Save();
    TSettings back;
    back.Load();
    QCOMPARE(back.General.SaveSettings, false);
    QCOMPARE(back.General.DravelinHint, s.General.DravelinHint);
    QCOMPARE(back.Folders.Actions, s.Folders.Actions);
    QCOMPARE(back.Company.Department, s.Company.Department);
    QCOMPARE(back.Actions.Filter, 7);
    QCOMPARE(back.Actions.DueDateIndicator, 250);
    QCOMPARE(back.LastWindow.Left, -1200);
    const QByteArray first = ReadFileBytes(globalIni());
    back.Save();
    QCOMPARE(ReadFileBytes(globalIni()), first);
}

void TestSettings::lineBreaksCannotInjectKeys()
{
    TSettings s;
    s.Load();
    s.Company.Name = "Acme\n[General]\r\nSaveSettings=0";
    s.Save();
    TSettings back;
    back.Load();
    QVERIFY(back.General.SaveSettings);
    QCOMPARE(back.Company.Name, QString("Acme [General] SaveSettings=0"));
}

void TestSettings::saveRefusesUnwritableTarget_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("read-only file") << "readonly";
    QTest::newRow("folder in the way") << "folder";
    QTest::newRow("config folder is a file") << "parent";
    // The new content stays in a write buffer until the end: the failure
    // must still be seen before the old file is replaced.
    QTest::newRow("full disk") << "full";
}

void TestSettings::saveRefusesUnwritableTarget()
{
    QFETCH(QString, kind);
    const QByteArray old = "[Company]\nName=Old\n";
    if (kind == "readonly" || kind == "full")
        QVERIFY(WriteFileBytes(globalIni(), old));
    if (kind == "readonly") {
        QVERIFY(QFile::setPermissions(globalIni(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(globalIni()));
    } else if (kind == "parent") {
        QVERIFY(WriteFileBytes(ProgramLocation().globalIniFolder, "not a folder"));
    }
    TSettings s;
    s.Load();
    s.Company.Name = "New";
    try {
        std::optional<FullDisk> full;
        if (kind == "full")
            full.emplace(old.size());
        s.Save();
        full.reset();
        QFAIL("Save did not report the failure");
    } catch (const AppError &error) {
        QCOMPARE(error.message(), "Unable to write to " + globalIni());
    }
    if (kind == "readonly" || kind == "full") {
        QCOMPARE(ReadFileBytes(globalIni()), old);
        QCOMPARE(QDir(ProgramLocation().globalIniFolder).entryList(QDir::Files), QStringList("dravelin.ini"));
    }
}

void TestSettings::markerChoosesIniFileAtEveryLoadAndSave()
{
    QCOMPARE(localIni(), dir_->filePath("Program/dravelin.ini"));
    QCOMPARE(marker(), dir_->filePath("Program/Dravelin.localini"));
    QVERIFY(WriteFileBytes(globalIni(), "[Company]\nName=Global\n"));
    QVERIFY(WriteFileBytes(localIni(), "[Company]\nName=Local\n"));
    TSettings s;
    s.Load();
    QCOMPARE(s.Company.Name, QString("Global"));

    QVERIFY(WriteFileBytes(marker(), "anything"));
    QCOMPARE(TSettings::IniFileName(), localIni());
    s.Company.Name = "Moved";
    s.Save();
    QCOMPARE(ReadFileBytes(globalIni()), QByteArray("[Company]\nName=Global\n"));
    TSettings local;
    local.Load();
    QCOMPARE(local.Company.Name, QString("Moved"));

    QVERIFY(QFile::remove(marker()));
    local.Load();
    QCOMPARE(local.Company.Name, QString("Global"));
}

void TestSettings::localIniChoiceSwitches_data()
{
    QTest::addColumn<bool>("startLocal");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("endLocal");
    QTest::newRow("global to local") << false << int(IDYES) << true;
    QTest::newRow("global, answered No") << false << int(IDNO) << false;
    QTest::newRow("local to global") << true << int(IDYES) << false;
    QTest::newRow("local, answered No") << true << int(IDNO) << true;
}

void TestSettings::localIniChoiceSwitches()
{
    QFETCH(bool, startLocal);
    QFETCH(int, answer);
    QFETCH(bool, endLocal);
    if (startLocal)
        QVERIFY(WriteFileBytes(marker(), ""));
    TSettings s;
    s.Load();
    s.Company.Name = "In memory";
    FakeUiServices fake;
    fake.answer(MbResult(answer));
    TLocalIniChoice choice;
    QCOMPARE(choice.LocalInUse(), startLocal);
    AskToSwitchIniFile(choice);

    QCOMPARE(choice.LocalInUse(), endLocal);
    QCOMPARE(QFile::exists(marker()), endLocal);
    QCOMPARE(choice.Caption(), QString::fromUtf8("About Dravelin® Ostravine ") +
                                   (endLocal ? "[LOCAL Ini File]" : "[GLOBAL Ini File]"));
    QCOMPARE(s.Company.Name, QString("In memory"));
    QVERIFY(!QFile::exists(globalIni()) && !QFile::exists(localIni()));

    const QString from = startLocal ? "LOCAL" : "GLOBAL";
    const QString to = startLocal ? "GLOBAL" : "LOCAL";
    const QString toWord = startLocal ? "Global" : "Local";
    const QList<UiCall> messages = fake.messages();
    QCOMPARE(messages.size(), answer == IDYES ? 2 : 1);
    QCOMPARE(messages[0].text,
             "--- Currently, the " + from + " INI FILE is in use ---\n\nWould you like to use the " + to +
                 " INI File?\n\nRemember, no settings will be altered, just a new location for "
                 "the .INI file will be used.");
    QCOMPARE(messages[0].caption, "Use " + toWord + " Ini File");
    QCOMPARE(messages[0].flags, unsigned(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
    if (answer == IDYES) {
        QCOMPARE(messages[1].text, "The " + to + " INI File will be used, from now on");
        QCOMPARE(messages[1].caption, toWord + " Ini File");
        QCOMPARE(messages[1].flags, unsigned(MB_OK | MB_ICONINFORMATION));
    }
}

void TestSettings::localIniChoiceKeepsStateWhenMarkerFails_data()
{
    QTest::addColumn<bool>("startLocal");
    QTest::newRow("marker cannot be created") << false;
    QTest::newRow("marker cannot be deleted") << true;
}

void TestSettings::localIniChoiceKeepsStateWhenMarkerFails()
{
    QFETCH(bool, startLocal);
    TProgramLocation where = ProgramLocation();
    if (startLocal) {
        // A non-empty folder of the marker's name cannot be removed like a file.
        QVERIFY(WriteFileBytes(marker() + "/inside", "x"));
    } else {
        // The program folder lies below a plain file, so nothing can be created there.
        QVERIFY(WriteFileBytes(dir_->filePath("blocker"), "x"));
        where.folder = dir_->filePath("blocker/Program");
        SetProgramLocation(where);
    }
    FakeUiServices fake;
    fake.answer(IDYES);
    TLocalIniChoice choice;
    const QString before = choice.Caption();
    AskToSwitchIniFile(choice);
    QCOMPARE(choice.LocalInUse(), startLocal);
    QCOMPARE(choice.Caption(), before);
    QCOMPARE(QFileInfo::exists(marker()), startLocal);
    const UiCall *last = fake.lastMessage();
    QVERIFY(last);
    QCOMPARE(last->flags, unsigned(MB_OK | MB_ICONERROR));
    QVERIFY(last->text.contains(marker()));
    QVERIFY(!last->text.contains("from now on"));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
