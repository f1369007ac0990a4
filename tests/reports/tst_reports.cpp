#include "AppError.h"
#include "ColumnReport.h"
#include "Digest.h"
#include "FakeUiServices.h"
#include "HtmlPage.h"
#include "HtmlText.h"
#include "RecordSheets.h"
#include "ReportFixture.h"
#include "ShownPages.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

using namespace report_fixture;

Q_DECLARE_METATYPE(TDigestOptions)
Q_DECLARE_METATYPE(TColumnReportOptions)

class TestReports : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void encodeText_data();
    void encodeText();
    void pageIsAsciiWithCrLf_data();
    void pageIsAsciiWithCrLf();
    void pageStreamsToItsDevice();
    void unwritablePageIsReportedAndNotShown();

    void sheetsMatchExpectedPages_data();
    void sheetsMatchExpectedPages();
    void printSheetWritesNewTemporaryFileEachTime();
    void printSheetOfEmptyTableDoesNothing();

    void digestMatchesExpectedPages_data();
    void digestMatchesExpectedPages();
    void digestKeepsCurrentActionAndFilters_data();
    void digestKeepsCurrentActionAndFilters();
    void digestOfNoActionsWritesNothing();

    void saveNameIsSafe_data();
    void saveNameIsSafe();
    void saveReplacesExtensionAndAsksBeforeOverwriting_data();
    void saveReplacesExtensionAndAsksBeforeOverwriting();
    void failedSaveShowsNoSuccess();
    void cancelledSaveSavesNothing();

    void browserShowsTextAsStored();

    void fontSizeAttribute_data();
    void fontSizeAttribute();
    void defaultTitlesTrimTheFileTitle_data();
    void defaultTitlesTrimTheFileTitle();
    void blankTitlesNameTheOpenedFile_data();
    void blankTitlesNameTheOpenedFile();
    void severityHighlightTrimsOnlyBlanks_data();
    void severityHighlightTrimsOnlyBlanks();
    void columnReportMatchesExpectedPages_data();
    void columnReportMatchesExpectedPages();
    void columnReportKeepsCurrentRecord_data();
    void columnReportKeepsCurrentRecord();
    void columnReportOfNothingWritesNothing();

private:
    QByteArray Expected(const QString &name);
    void Compare(const QByteArray &actual, const QString &name);

    TestWorkspace fixture_;
    TDataModuleMain *data_ = nullptr;
    QString file_;
};

void TestReports::initTestCase()
{
    UseTestStandardPaths();
}

void TestReports::init()
{
    fixture_.Start();
    data_ = fixture_.data.get();
    file_ = fixture_.dir->filePath(QStringLiteral("Report.act"));
    QVERIFY_THROWS_NO_EXCEPTION(data_->Tables.Open(file_, true));
    Fill(*data_);
}

void TestReports::cleanup()
{
    fixture_.Finish();
    data_ = nullptr;
}

// The expected page kept beside the tests; the path of the Action File,
// which differs from run to run, stands there as "@ACTION_FILE@". With
// DRAVELIN_WRITE_EXPECTED set the pages are written instead, to be read and
// checked by eye before they are committed.
QByteArray TestReports::Expected(const QString &name)
{
    QFile file(QStringLiteral(EXPECTED_DIR "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestReports::Compare(const QByteArray &page, const QString &name)
{
    QByteArray actual = page;
    actual.replace(file_.toUtf8(), "@ACTION_FILE@");
    if (qEnvironmentVariableIsSet("DRAVELIN_WRITE_EXPECTED")) {
        QFile out(QStringLiteral(EXPECTED_DIR "/") + name);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(actual);
    }
    const QByteArray expected = Expected(name);
    QVERIFY2(!expected.isEmpty(), qPrintable(name));
    // Line by line first, so a difference is shown where it is.
    const QList<QByteArray> actualLines = actual.split('\n');
    const QList<QByteArray> expectedLines = expected.split('\n');
    for (qsizetype i = 0; i < qMin(actualLines.size(), expectedLines.size()); ++i)
        QCOMPARE(actualLines[i], expectedLines[i]);
    QCOMPARE(actual, expected);
}

void TestReports::encodeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoded");
    QTest::addColumn<QString>("cell");
    QTest::newRow("empty") << ""
                           << ""
                           << "&nbsp;";
    QTest::newRow("spaces") << "   "
                            << "   "
                            << "&nbsp;";
    QTest::newRow("controls") << " \t\r "
                              << " \t\r "
                              << "&nbsp;";
    QTest::newRow("entities in place") << "a<b & c>d"
                                       << "a&lt;b &amp; c&gt;d"
                                       << "a&lt;b &amp; c&gt;d";
    QTest::newRow("entity escaped again") << "&amp;"
                                          << "&amp;amp;"
                                          << "&amp;amp;";
    QTest::newRow("CR LF") << "one\r\ntwo"
                           << "one\r<BR>two"
                           << "one\r<BR>two";
    QTest::newRow("lone CR") << "one\rtwo"
                             << "one\rtwo"
                             << "one\rtwo";
    QTest::newRow("one line feed") << "\n"
                                   << "<BR>"
                                   << "<BR>";
    QTest::newRow("blanks kept") << "  x  "
                                 << "  x  "
                                 << "  x  ";
    QTest::newRow("quotes and non-ASCII pass")
        << QString::fromUtf8("\"'\tü東") << QString::fromUtf8("\"'\tü東") << QString::fromUtf8("\"'\tü東");
}

void TestReports::encodeText()
{
    QFETCH(QString, text);
    QFETCH(QString, encoded);
    QFETCH(QString, cell);
    QCOMPARE(HtmlEncodeText(text), encoded);
    QCOMPARE(HtmlCellText(text), cell);
    // The blank test runs on the text as given: one line feed is blank.
    QCOMPARE(HtmlNonBlank(text), text == QLatin1String("\n")       ? QStringLiteral("&nbsp;")
                                 : cell == QLatin1String("&nbsp;") ? cell
                                                                   : text);
}

void TestReports::pageIsAsciiWithCrLf_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ASCII as given") << QStringList{"<HTML>", "a\tb \"c\""}
                                    << QByteArray("<HTML>\r\na\tb \"c\"\r\n");
    QTest::newRow("Latin, dash, CJK")
        << QStringList{kWorld} << QByteArray("M&#252;ller & S&#246;hne &#8211; &#26481;&#20140;\r\n");
    QTest::newRow("beyond the BMP as one reference")
        << QStringList{QString::fromUtf8("x\xF0\x9F\x98\x80y")} << QByteArray("x&#128512;y\r\n");
    QTest::newRow("half a surrogate pair")
        << QStringList{QString(QChar(0xD800)) + QLatin1Char('z')} << QByteArray("&#65533;z\r\n");
    QTest::newRow("empty line") << QStringList{""} << QByteArray("\r\n");
}

void TestReports::pageIsAsciiWithCrLf()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, bytes);
    QCOMPARE(HtmlPageBytes(lines), bytes);
}

void TestReports::pageStreamsToItsDevice()
{
    // A page larger than one chunk reaches its device whole and in order.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    THtmlPage page(&buffer);
    QByteArray expected;
    for (int i = 0; i < 100000; ++i) {
        const QString line = QStringLiteral(u"Zeile %1 – ü").arg(i);
        page << line;
        expected += "Zeile " + QByteArray::number(i) + " &#8211; &#252;\r\n";
    }
    page.Flush();
    QCOMPARE(buffer.data(), expected);
    QVERIFY(page.Bytes().isEmpty());
}

void TestReports::unwritablePageIsReportedAndNotShown()
{
    TGlobalTempFiles temp(fixture_.dir->filePath(QStringLiteral("missing/folder")));
    QVERIFY_THROWS_EXCEPTION(AppError, ShowPage(temp, QStringList{QStringLiteral("<HTML>")}));
    QVERIFY(fixture_.ui.calls.isEmpty());
    QCOMPARE(fixture_.ui.busyDepth, 0);
}

void TestReports::sheetsMatchExpectedPages_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("title");
    QTest::newRow("log") << "log" << 1 << "";
    QTest::newRow("log with CR LF and non-ASCII") << "log" << 2 << "";
    QTest::newRow("decision") << "decision" << 1 << "";
    QTest::newRow("statement") << "statement" << 2 << "";
    QTest::newRow("properties, blank title") << "properties" << 1 << "\t";
    QTest::newRow("properties, empty title") << "properties" << 1 << "";
    QTest::newRow("properties, title with markup") << "properties" << 1 << "<script>alert(1)</script> & Co";
}

void TestReports::sheetsMatchExpectedPages()
{
    QFETCH(QString, sheet);
    QFETCH(int, action);
    QFETCH(QString, title);
    GoToAction(*data_, action);
    const QString idAction = data_->cdsActions->FieldByName(QStringLiteral("ID_ACTION")).AsString();
    QStringList lines;
    QString name = sheet + QString::number(action);
    if (sheet == QLatin1String("log")) {
        lines = LogSheetLines(*data_->cdsLog, idAction);
    } else if (sheet == QLatin1String("decision")) {
        lines = DecisionSheetLines(*data_->cdsDecision, idAction);
    } else if (sheet == QLatin1String("statement")) {
        lines = StatementSheetLines(*data_->cdsStatement, idAction);
    } else {
        data_->cdsAction->Edit();
        data_->cdsAction->FieldByName(QStringLiteral("TITLE")).SetAsString(title);
        // Unposted: the sheet prints what the window shows.
        lines = PropertiesSheetLines(*data_->cdsAction, data_->Tables.FileName(), kToday);
        data_->cdsAction->Cancel();
        name = sheet + (title.isEmpty() ? "-empty" : title.trimmed().isEmpty() ? "-blank" : "-markup");
    }
    Compare(HtmlPageBytes(lines), QStringLiteral("sheet-%1.html").arg(name));
}

void TestReports::printSheetWritesNewTemporaryFileEachTime()
{
    PrintLogSheet(*data_);
    PrintLogSheet(*data_);
    auto &ui = fixture_.ui;
    QCOMPARE(ui.calls.size(), 2);
    QCOMPARE(ui.calls[0].kind, UiCall::Shell);
    QVERIFY(ui.calls[0].text != ui.calls[1].text);
    QVERIFY(ui.calls[0].text.endsWith(QLatin1String(".html")));
    QCOMPARE(ui.busyCount, 2);
    QCOMPARE(ui.busyDepth, 0);
    QFile page(ui.calls[1].text);
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString idAction = data_->cdsActions->FieldByName(QStringLiteral("ID_ACTION")).AsString();
    QCOMPARE(page.readAll(), HtmlPageBytes(LogSheetLines(*data_->cdsLog, idAction)));
    QVERIFY(data_->TempFiles.Files.contains(ui.calls[1].text));
}

void TestReports::printSheetOfEmptyTableDoesNothing()
{
    GoToAction(*data_, 3); // no log entries, no statements
    PrintLogSheet(*data_);
    PrintStatementSheet(*data_);
    QVERIFY(fixture_.ui.calls.isEmpty());
    QCOMPARE(fixture_.ui.busyCount, 0);
}

void TestReports::digestMatchesExpectedPages_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("action");
    QTest::addColumn<TDigestOptions>("options");
    TDigestOptions all;
    all.allActions = true;
    all.index = true;
    all.properties = true;
    all.separate = true;
    all.decisions = true;
    all.statements = true;
    TDigestOptions allBlackAndWhite = all;
    allBlackAndWhite.colors = false;
    TDigestOptions headersLimited;
    headersLimited.allActions = true;
    headersLimited.headers = true;
    headersLimited.limitedLog = true;
    headersLimited.statements = true;
    TDigestOptions current;
    current.properties = true;
    current.decisions = true;
    current.statements = true;
    TDigestOptions currentBlackAndWhite;
    currentBlackAndWhite.colors = false;
    currentBlackAndWhite.limitedLog = true;
    TDigestOptions titled;
    titled.allActions = true;
    titled.properties = true;
    titled.headers = true;
    titled.logs = false;
    QTest::newRow("all, colour") << "digest-all-colour.html"
                                 << "   " << 2 << all;
    QTest::newRow("all, black and white") << "digest-all-bw.html"
                                          << "   " << 2 << allBlackAndWhite;
    QTest::newRow("all, headers, limited log") << "digest-all-headers-limited.html"
                                               << "" << 1 << headersLimited;
    QTest::newRow("current, colour") << "digest-current-colour.html"
                                     << "   " << 1 << current;
    QTest::newRow("current overdue, black and white") << "digest-current-bw.html"
                                                      << "   " << 2 << currentBlackAndWhite;
    QTest::newRow("current on hold, colour") << "digest-current-onhold.html"
                                             << "   " << 3 << current;
    QTest::newRow("current finished, colour") << "digest-current-finished.html"
                                              << "   " << 4 << current;
    QTest::newRow("title with markup") << "digest-title-markup.html"
                                       << "<script>alert(1)</script> & Co" << 1 << titled;
}

void TestReports::digestMatchesExpectedPages()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    QFETCH(int, action);
    QFETCH(TDigestOptions, options);
    data_->cdsAction->Edit();
    data_->cdsAction->FieldByName(QStringLiteral("TITLE")).SetAsString(title);
    data_->cdsAction->Post();
    GoToAction(*data_, action);
    THtmlPage page;
    BuildDigest(*data_, options, kToday, page);
    Compare(page.Bytes(), name);
}

void TestReports::digestKeepsCurrentActionAndFilters_data()
{
    QTest::addColumn<bool>("allActions");
    QTest::newRow("all actions") << true;
    QTest::newRow("current action") << false;
}

void TestReports::digestKeepsCurrentActionAndFilters()
{
    QFETCH(bool, allActions);
    GoToAction(*data_, 2);
    TDigestOptions options;
    options.allActions = allActions;
    options.decisions = true;
    options.statements = true;
    THtmlPage page;
    BuildDigest(*data_, options, kToday, page);
    QCOMPARE(data_->cdsActions->FieldByName(QStringLiteral("ID")).AsInteger(), 2);
    QVERIFY(!data_->cdsActions->ControlsDisabled());
    QVERIFY(!data_->cdsLog->ControlsDisabled());
    QCOMPARE(data_->cdsLog->RecordCount(), 1);
    QCOMPARE(data_->cdsLog->FieldByName(QStringLiteral("ID")).AsInteger(), 3);
    QCOMPARE(data_->cdsDecision->RecordCount(), 0);
    QCOMPARE(data_->cdsStatement->RecordCount(), 1);
}

void TestReports::digestOfNoActionsWritesNothing()
{
    GoToAction(*data_, 1);
    while (!data_->cdsActions->IsEmpty())
        data_->cdsActions->Delete();
    THtmlPage page;
    BuildDigest(*data_, TDigestOptions(), kToday, page);
    QVERIFY(page.Bytes().isEmpty());
    ProduceDigest(*data_, TDigestOptions(), true, kToday);
    QVERIFY(fixture_.ui.calls.isEmpty());
}

void TestReports::saveNameIsSafe_data()
{
    QTest::addColumn<bool>("allActions");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    QTest::newRow("blank title") << true << " \t"
                                 << "20260315_Action Digest of Action List.html";
    QTest::newRow("title as stored") << true << " My <List> "
                                     << "20260315_Action Digest of Action List  My <List>.html";
    QTest::newRow("separator and control in title") << true
                                                    << "a/b\x01"
                                                       "c"
                                                    << "20260315_Action Digest of Action List a_b_c.html";
    QTest::newRow("current action, unescaped") << false << ""
                                               << "20260315_Action A<1.html";
}

void TestReports::saveNameIsSafe()
{
    QFETCH(bool, allActions);
    QFETCH(QString, title);
    QFETCH(QString, name);
    data_->cdsAction->Edit();
    data_->cdsAction->FieldByName(QStringLiteral("TITLE")).SetAsString(title);
    data_->cdsAction->Post();
    TDigestOptions options;
    options.allActions = allActions;
    QCOMPARE(DigestFileName(*data_, options, kToday), name);
}

void TestReports::saveReplacesExtensionAndAsksBeforeOverwriting_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("answer"); // 0: not asked
    QTest::newRow("txt becomes html") << "out.txt"
                                      << "out.html" << false << 0;
    QTest::newRow("no extension") << "out"
                                  << "out.html" << false << 0;
    QTest::newRow("html as chosen, dialog asked") << "out.html"
                                                  << "out.html" << true << 0;
    QTest::newRow("changed name exists, replace") << "out.txt"
                                                  << "out.html" << true << int(IDYES);
    QTest::newRow("changed name exists, keep") << "out.txt"
                                               << "" << true << int(IDNO);
}

void TestReports::saveReplacesExtensionAndAsksBeforeOverwriting()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QFETCH(bool, exists);
    QFETCH(int, answer);
    auto &ui = fixture_.ui;
    const QDir dir(fixture_.dir->path());
    Settings().Folders.Auxiliary = dir.path();
    if (exists) {
        QFile old(dir.filePath(QStringLiteral("out.html")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    ui.chooseFile(dir.filePath(chosen));
    if (answer)
        ui.answer(MbResult(answer));
    TDigestOptions options;
    ProduceDigest(*data_, options, false, kToday);

    const UiCall &dialog = ui.calls.first();
    QCOMPARE(dialog.kind, UiCall::SaveFile);
    QCOMPARE(dialog.caption, QStringLiteral("Save the current Output as an HTML File"));
    QCOMPARE(dialog.dialog.filter, QStringLiteral("HTML Files|*.html"));
    QCOMPARE(dialog.dialog.initialDir, dir.path());
    QCOMPARE(dialog.dialog.fileName, QStringLiteral("20260315_Action A<1.html"));
    QVERIFY(dialog.dialog.overwritePrompt);
    QList<UiCall> messages = ui.messages();
    if (answer) {
        const UiCall question = messages.takeFirst();
        QCOMPARE(question.text, QStringLiteral("\"%1\" already exists.\nDo you want to replace it?")
                                    .arg(dir.filePath(QStringLiteral("out.html"))));
        QCOMPARE(question.flags, unsigned(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
    }
    QFile out(dir.filePath(QStringLiteral("out.html")));
    QVERIFY(out.open(QIODevice::ReadOnly) || !exists);
    if (written.isEmpty()) {
        QCOMPARE(out.readAll(), QByteArray("old"));
        QVERIFY(messages.isEmpty());
        return;
    }
    THtmlPage page;
    BuildDigest(*data_, options, kToday, page);
    QCOMPARE(out.readAll(), page.Bytes());
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text,
             QStringLiteral("\"%1\" has been successfully saved to Disk.").arg(dir.filePath(written)));
    QCOMPARE(messages[0].caption, QStringLiteral("Save HTML File"));
    QCOMPARE(messages[0].flags, unsigned(MB_OK | MB_ICONINFORMATION));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("out.txt"))));
}

void TestReports::failedSaveShowsNoSuccess()
{
    // A target whose folder is missing cannot be written.
    const QString target = fixture_.dir->filePath(QStringLiteral("missing/out.html"));
    fixture_.ui.chooseFile(target);
    QVERIFY_THROWS_EXCEPTION(AppError, ProduceDigest(*data_, TDigestOptions(), false, kToday));
    QVERIFY(fixture_.ui.messages().isEmpty());
    QVERIFY(!QFile::exists(target));
}

void TestReports::cancelledSaveSavesNothing()
{
    fixture_.ui.chooseFile(std::nullopt);
    ProduceDigest(*data_, TDigestOptions(), false, kToday);
    QCOMPARE(fixture_.ui.calls.size(), 1);
    QVERIFY(fixture_.ui.messages().isEmpty());
    // Only the temporary page was written.
    QCOMPARE(QDir(fixture_.dir->path()).entryList(QStringList{QStringLiteral("*.html")}).size(), 0);
}

void TestReports::browserShowsTextAsStored()
{
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    QVERIFY2(!chromium.isEmpty(), "chromium is missing; scripts/deps installs it");
    data_->cdsAction->Edit();
    data_->cdsAction->FieldByName(QStringLiteral("TITLE"))
        .SetAsString(QStringLiteral("<script>document.write('INJECTED')</script>") + kWorld);
    data_->cdsAction->Post();
    TDigestOptions options;
    options.allActions = true;
    options.index = true;
    options.properties = true;
    ProduceDigest(*data_, options, true, kToday);
    const QString pageFile = fixture_.ui.calls.last().text;

    QProcess browser;
    const QString profile = fixture_.dir->filePath(QStringLiteral("profile"));
    browser.start(chromium, {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                             QStringLiteral("--disable-gpu"), QStringLiteral("--user-data-dir=") + profile,
                             QStringLiteral("--dump-dom"), QUrl::fromLocalFile(pageFile).toString()});
    QVERIFY(browser.waitForFinished(120000));
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
    QVERIFY2(dom.contains(QStringLiteral("</html>")),
             qPrintable(QString::fromUtf8(browser.readAllStandardError())));
    // The DOM serialises text with "&" as "&amp;" and keeps every other
    // character as itself.
    QVERIFY(dom.contains(QStringLiteral(u"Müller &amp; Söhne – 東京")));
    QVERIFY(dom.contains(
        QStringLiteral(u"<title>Action Digest of Action List \"&lt;script&gt;document.write('INJECTED')"
                       u"&lt;/script&gt;Müller &amp; Söhne – 東京\" on 15/03/2026</title>")));
    QVERIFY(!dom.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
    QVERIFY(!dom.contains(QStringLiteral(">INJECTED")));
    QVERIFY(dom.contains(QStringLiteral("A&lt;1")));
}

void TestReports::fontSizeAttribute_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("attribute");
    QTest::newRow("-2") << "-2"
                        << " SIZE=\"-2\"";
    QTest::newRow("-1") << "-1"
                        << " SIZE=\"-1\"";
    QTest::newRow("1 gives none") << "1"
                                  << "";
    QTest::newRow("+1") << "+1"
                        << " SIZE=\"+1\"";
    QTest::newRow("+2") << "+2"
                        << " SIZE=\"+2\"";
}

void TestReports::fontSizeAttribute()
{
    QFETCH(QString, size);
    QFETCH(QString, attribute);
    QCOMPARE(FontSizeAttribute(size), attribute);
    QCOMPARE(ReportFontSizes().indexOf(size) >= 0, true);
}

void TestReports::defaultTitlesTrimTheFileTitle_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("contacts");
    QTest::newRow("surrounded by blanks") << "  Harbour works \t"
                                          << "Action List \"Harbour works\" on 15/03/2026"
                                          << "Contacts of Action List \"Harbour works\" on 15/03/2026";
    QTest::newRow("empty") << ""
                           << "Action List \"\" on 15/03/2026"
                           << "Contacts of Action List \"\" on 15/03/2026";
    // A blank is U+0000 to U+0020 on every page: control characters are
    // trimmed, a no-break space stays.
    QTest::newRow("control characters around") << "\x01Harbour works\x1f"
                                               << "Action List \"Harbour works\" on 15/03/2026"
                                               << "Contacts of Action List \"Harbour works\" on 15/03/2026";
    QTest::newRow("no-break spaces around")
        << "\u00a0Harbour\u00a0"
        << "Action List \"\u00a0Harbour\u00a0\" on 15/03/2026"
        << "Contacts of Action List \"\u00a0Harbour\u00a0\" on 15/03/2026";
}

void TestReports::defaultTitlesTrimTheFileTitle()
{
    QFETCH(QString, title);
    QFETCH(QString, list);
    QFETCH(QString, contacts);
    data_->cdsAction->Edit();
    data_->cdsAction->FieldByName(QStringLiteral("TITLE")).SetAsString(title);
    data_->cdsAction->Post();
    QCOMPARE(ActionListReportTitle(*data_, kToday), list);
    QCOMPARE(ContactsReportTitle(*data_, kToday), contacts);
}

void TestReports::blankTitlesNameTheOpenedFile_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("container");
    QTest::addColumn<bool>("fallsBack");
    QTest::newRow("control characters are blanks") << "\x01\t \x1f"
                                                   << "" << true;
    QTest::newRow("a no-break space is no blank") << "\u00a0"
                                                  << "" << false;
    QTest::newRow("unpacked from a Dravelin File") << " "
                                                   << "/srv/shared/Harbour.dravelin" << true;
}

// The digest and the properties sheet fall back on the file the user opened
// for a blank title: the Action File, or the Dravelin File it was unpacked
// from, never the temporary files.
void TestReports::blankTitlesNameTheOpenedFile()
{
    QFETCH(QString, title);
    QFETCH(QString, container);
    QFETCH(bool, fallsBack);
    data_->cdsAction->Edit();
    data_->cdsAction->FieldByName(QStringLiteral("TITLE")).SetAsString(title);
    data_->cdsAction->Post();
    data_->ContainerFileName = container;
    const QString shown = fallsBack ? (container.isEmpty() ? file_ : container) : title;
    const auto line = [](const QString &text) { return HtmlPageBytes({text}); };

    TDigestOptions all;
    all.allActions = true;
    THtmlPage digest;
    BuildDigest(*data_, all, kToday, digest);
    QVERIFY2(
        digest.Bytes().contains(line(
            QStringLiteral("<TITLE>Action Digest of Action List \"%1\" on 15/03/2026</TITLE>").arg(shown))),
        digest.Bytes().left(200).constData());
    PrintPropertiesSheet(*data_, kToday);
    QCOMPARE(fixture_.ui.calls.size(), 1);
    QFile sheet(fixture_.ui.calls[0].text);
    QVERIFY(sheet.open(QIODevice::ReadOnly));
    QVERIFY(sheet.readAll().contains(
        line(QStringLiteral("<TITLE>Properties of Action List \"%1\" on 15/03/2026</TITLE>").arg(shown))));
}

void TestReports::severityHighlightTrimsOnlyBlanks_data()
{
    QTest::addColumn<QString>("severity");
    QTest::addColumn<bool>("severe");
    QTest::newRow("spaces around") << " high " << true;
    QTest::newRow("control characters around") << "\x01HIGH\t" << true;
    QTest::newRow("a no-break space before") << "\u00a0high" << false;
}

// The digest and the action list report highlight a severity by one rule.
void TestReports::severityHighlightTrimsOnlyBlanks()
{
    QFETCH(QString, severity);
    QFETCH(bool, severe);
    TTable &actions = *data_->cdsActions;
    for (actions.First(); !actions.Eof(); actions.Next()) {
        actions.Edit();
        actions.FieldByName(QStringLiteral("SEVERITY")).SetAsString(severity);
        actions.Post();
    }
    const QByteArray highlight = "BGCOLOR=\"#FFA07A\"";
    TColumnReportOptions report;
    report.columns = {ActionReportColumns()[11]};
    THtmlPage list;
    BuildColumnReport(actions, report, kToday, list);
    QCOMPARE(list.Bytes().count(highlight), severe ? actions.RecordCount() : 0);
    GoToAction(*data_, 2);
    THtmlPage digest;
    BuildDigest(*data_, TDigestOptions(), kToday, digest);
    // The severity's label and value.
    QCOMPARE(digest.Bytes().count(highlight), severe ? 2 : 0);
}

namespace {

QList<TReportColumn> Checked(const QList<TReportColumn> &columns)
{
    QList<TReportColumn> checked;
    for (const TReportColumn &column : columns)
        if (column.checkedAtFirst)
            checked.append(column);
    return checked;
}

} // namespace

void TestReports::columnReportMatchesExpectedPages_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("contacts");
    QTest::addColumn<TColumnReportOptions>("options");

    TColumnReportOptions list;
    list.title = QStringLiteral("Action List \"\" on 15/03/2026");
    list.columns = Checked(ActionReportColumns());
    TColumnReportOptions allColour = list;
    allColour.columns = ActionReportColumns();
    TColumnReportOptions allBlackAndWhite = allColour;
    allBlackAndWhite.colors = false;
    // A typed title with markup stays text; size "1" leaves the attribute
    // out; the width at its lower bound.
    TColumnReportOptions leftMarkup = list;
    leftMarkup.title = QStringLiteral("<b>Bold</b> & \"quoted\"");
    leftMarkup.align = TTitleAlign::Left;
    leftMarkup.fontSize = QStringLiteral("1");
    leftMarkup.width = kReportWidthMin;
    TColumnReportOptions rightWide = list;
    rightWide.title.clear();
    rightWide.align = TTitleAlign::Right;
    rightWide.fontSize = QStringLiteral("+2");
    rightWide.width = kReportWidthMax;
    // Highlight columns moved: the tests read their own fields, whatever
    // column they decorate.
    TColumnReportOptions moved = list;
    moved.columns = {ActionReportColumns()[11], ActionReportColumns()[5], ActionReportColumns()[1],
                     ActionReportColumns()[3]};

    TColumnReportOptions contacts;
    contacts.title = QStringLiteral("Contacts of Action List \"\" on 15/03/2026");
    contacts.columns = Checked(ContactReportColumns());
    TColumnReportOptions contactsAll = contacts;
    contactsAll.columns = ContactReportColumns();
    contactsAll.colors = false;

    QTest::newRow("list, default columns") << "list-default.html" << false << list;
    QTest::newRow("list, every column, colour") << "list-all-colour.html" << false << allColour;
    QTest::newRow("list, every column, black and white") << "list-all-bw.html" << false << allBlackAndWhite;
    QTest::newRow("list, left, markup title, size 1, width 50")
        << "list-left-markup.html" << false << leftMarkup;
    QTest::newRow("list, right, empty title, size +2, width 2000")
        << "list-right-wide.html" << false << rightWide;
    QTest::newRow("list, highlight columns reordered") << "list-reordered.html" << false << moved;
    QTest::newRow("contacts, default columns") << "contacts-default.html" << true << contacts;
    QTest::newRow("contacts, every column, black and white") << "contacts-all-bw.html" << true << contactsAll;
}

void TestReports::columnReportMatchesExpectedPages()
{
    QFETCH(QString, name);
    QFETCH(bool, contacts);
    QFETCH(TColumnReportOptions, options);
    FillContacts(*data_);
    THtmlPage page;
    BuildColumnReport(contacts ? *data_->cdsActor : *data_->cdsActions, options, kToday, page);
    Compare(page.Bytes(), name);
}

void TestReports::columnReportKeepsCurrentRecord_data()
{
    QTest::addColumn<bool>("contacts");
    QTest::newRow("actions") << false;
    QTest::newRow("contacts") << true;
}

void TestReports::columnReportKeepsCurrentRecord()
{
    QFETCH(bool, contacts);
    FillContacts(*data_);
    TTable &table = contacts ? *data_->cdsActor : *data_->cdsActions;
    table.First();
    table.Next();
    const QString current = table.FieldByName(QStringLiteral("ID")).AsString();
    TColumnReportOptions options;
    options.columns = contacts ? ContactReportColumns() : ActionReportColumns();
    ProduceColumnReport(table, data_->TempFiles, options, kToday);
    QCOMPARE(table.FieldByName(QStringLiteral("ID")).AsString(), current);
    QVERIFY(!table.ControlsDisabled());
    QCOMPARE(fixture_.ui.calls.size(), 1);
    QCOMPARE(fixture_.ui.calls[0].kind, UiCall::Shell);
    QVERIFY(fixture_.ui.calls[0].text.endsWith(QLatin1String(".html")));
    QCOMPARE(fixture_.ui.busyDepth, 0);
    QCOMPARE(fixture_.ui.busyCount, 1);

    // A column the table lacks is an error: the table comes back all the same.
    options.columns.append({QStringLiteral("Missing"), QStringLiteral("NO_SUCH_FIELD"),
                            QStringLiteral("Missing"), TCellKind::Plain, true});
    QVERIFY_THROWS_EXCEPTION(AppError, ProduceColumnReport(table, data_->TempFiles, options, kToday));
    QCOMPARE(table.FieldByName(QStringLiteral("ID")).AsString(), current);
    QVERIFY(!table.ControlsDisabled());
    QCOMPARE(fixture_.ui.calls.size(), 1);
    QCOMPARE(fixture_.ui.busyDepth, 0);
}

void TestReports::columnReportOfNothingWritesNothing()
{
    TColumnReportOptions noColumns;
    THtmlPage page;
    BuildColumnReport(*data_->cdsActions, noColumns, kToday, page);
    QVERIFY(page.Bytes().isEmpty());
    ProduceColumnReport(*data_->cdsActions, data_->TempFiles, noColumns, kToday);

    // The fixture has no contacts.
    TColumnReportOptions contacts;
    contacts.columns = ContactReportColumns();
    BuildColumnReport(*data_->cdsActor, contacts, kToday, page);
    QVERIFY(page.Bytes().isEmpty());
    ProduceColumnReport(*data_->cdsActor, data_->TempFiles, contacts, kToday);
    QVERIFY(fixture_.ui.calls.isEmpty());
}

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
