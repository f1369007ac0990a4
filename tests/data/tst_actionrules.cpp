#include "ActionRules.h"

#include <QtTest>

namespace {

const QDate today(2025, 6, 10);

TRgb Rgb(int r, int g, int b)
{
    return TRgb(r, g, b);
}

} // namespace

// A failed comparison shows colours as "#rrggbb", or "none".
char *toString(const TRgb &rgb)
{
    if (!rgb.isValid())
        return qstrdup("none");
    return qstrdup(qPrintable(QString::asprintf("#%02x%02x%02x", rgb.red, rgb.green, rgb.blue)));
}
char *toString(const TRowColors &colors)
{
    QScopedArrayPointer<char> text(toString(colors.text)), background(toString(colors.background));
    return qstrdup(qPrintable(QStringLiteral("text %1 on %2").arg(text.data(), background.data())));
}

class TestActionRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filter_data()
    {
        QTest::addColumn<int>("filter");
        QTest::addColumn<bool>("window");
        QTest::addColumn<bool>("mineChecked");
        QTest::addColumn<QString>("home");
        QTest::addColumn<bool>("resolved");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("all") << 0 << false << false << "" << true << "x" << true;
        QTest::newRow("open takes open") << 1 << false << false << "" << false << "x" << true;
        QTest::newRow("open hides resolved") << 1 << false << false << "" << true << "x" << false;
        QTest::newRow("resolved takes resolved") << 2 << false << false << "" << true << "x" << true;
        QTest::newRow("resolved hides open") << 2 << false << false << "" << false << "x" << false;
        QTest::newRow("unknown filter") << 7 << true << true << "ABC" << true << "x" << true;
        QTest::newRow("mine: case") << 0 << true << true << "ABC" << false << "abc" << true;
        QTest::newRow("mine: blank") << 1 << true << true << "ABC" << false << " ABC" << true;
        QTest::newRow("mine: other") << 0 << true << true << "ABC" << false << "A.B.C" << false;
        QTest::newRow("mine needs window") << 0 << false << true << "ABC" << false << "A.B.C" << true;
        QTest::newRow("mine needs mark") << 0 << true << false << "ABC" << false << "A.B.C" << true;
        QTest::newRow("mine needs home") << 0 << true << true << "  " << false << "A.B.C" << true;
        QTest::newRow("mine and resolved") << 2 << true << true << "ABC" << false << "abc" << false;
    }
    void filter()
    {
        QFETCH(int, filter);
        QFETCH(bool, window);
        QFETCH(bool, mineChecked);
        QFETCH(QString, home);
        QFETCH(bool, resolved);
        QFETCH(QString, owner);
        QFETCH(bool, accepted);
        // The list's Show Mine state is off while no list is open.
        const TActionFilterInput input{filter, window && mineChecked, home};
        QCOMPARE(AcceptAction(input, resolved, owner), accepted);
    }

    void severity_data()
    {
        QTest::addColumn<QString>("severity");
        QTest::addColumn<TRgb>("color");
        QTest::newRow("cosmetic") << "Cosmetic" << Rgb(0, 128, 0);
        QTest::newRow("low") << "LOW" << Rgb(0, 128, 0);
        QTest::newRow("medium") << "medium" << Rgb(255, 255, 0);
        QTest::newRow("medium to high") << "Medium to High" << Rgb(255, 102, 0);
        QTest::newRow("high") << "High" << Rgb(255, 0, 0);
        QTest::newRow("blocking") << "Blocking" << Rgb(255, 0, 0);
        QTest::newRow("red alert") << "Red Alert" << Rgb(125, 0, 125);
        QTest::newRow("leading blank") << " High" << TRgb();
        QTest::newRow("unknown") << "Urgent" << TRgb();
    }
    void severity()
    {
        QFETCH(QString, severity);
        QFETCH(TRgb, color);
        const TSeverityIndicator shown = SeverityIndicator(true, severity);
        QCOMPARE(shown.visible, color.isValid());
        if (color.isValid()) {
            QCOMPARE(shown.color, color);
            QCOMPARE(shown.hint, "Severity is \"" + severity + "\"");
        }
        QVERIFY(!SeverityIndicator(false, severity).visible);
    }

    void status_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<TRgb>("background");
        QTest::addColumn<TRgb>("text");
        QTest::addColumn<QString>("label");
        QTest::newRow("void") << "Void" << Rgb(128, 128, 128) << Rgb(255, 255, 0) << "V";
        QTest::newRow("transmitted") << "Transmitted" << Rgb(0, 128, 128) << Rgb(255, 255, 255) << ">>";
        QTest::newRow("active") << "ACTIVE" << Rgb(255, 0, 128) << Rgb(255, 255, 255) << "A+";
        QTest::newRow("assigned") << "Assigned" << Rgb(255, 204, 0) << Rgb(0, 0, 255) << "A";
        QTest::newRow("pending") << "Pending" << Rgb(192, 220, 192) << Rgb(0, 0, 0) << "P..";
        QTest::newRow("on hold") << "on hold" << Rgb(255, 213, 170) << Rgb(0, 0, 128) << "H";
        QTest::newRow("reintroduced") << "Reintroduced" << Rgb(128, 128, 0) << Rgb(255, 255, 0) << "<<";
        QTest::newRow("resolved") << "Resolved" << Rgb(0, 255, 0) << Rgb(0, 0, 128) << "F";
        QTest::newRow("trailing blank") << "Void " << TRgb() << TRgb() << "";
    }
    void status()
    {
        QFETCH(QString, status);
        QFETCH(TRgb, background);
        QFETCH(TRgb, text);
        QFETCH(QString, label);
        const TStatusIndicator action = StatusIndicator(true, status, TStatusOf::Action);
        QCOMPARE(action.visible, background.isValid());
        QCOMPARE(action.background, background);
        QCOMPARE(action.textColor, text);
        QCOMPARE(action.text, label);
        if (action.visible) {
            QCOMPARE(action.hint, "Action Status is \"" + status + "\"");
            QCOMPARE(StatusIndicator(true, status, TStatusOf::Log).hint, "Log Status is \"" + status + "\"");
        }
        QVERIFY(!StatusIndicator(false, status, TStatusOf::Log).visible);
    }

    void dueDateText_data()
    {
        QTest::addColumn<QDate>("due");
        QTest::addColumn<QDate>("finished");
        QTest::addColumn<QString>("text");
        QTest::newRow("no due date") << QDate() << QDate() << "";
        QTest::newRow("resolved") << today.addDays(3) << today << "";
        QTest::newRow("overdue") << today.addDays(-1) << QDate() << "";
        QTest::newRow("today") << today << QDate() << "Action Due Date is TODAY";
        QTest::newRow("tomorrow") << today.addDays(1) << QDate() << "[ 1 ] Day until Action Due Date";
        QTest::newRow("twelve days") << today.addDays(12) << QDate() << "[ 12 ] Days until Action Due Date";
    }
    void dueDateText()
    {
        QFETCH(QDate, due);
        QFETCH(QDate, finished);
        QFETCH(QString, text);
        QCOMPARE(DueDateText(due, finished, today), text);
    }

    void rowColors_data()
    {
        QTest::addColumn<QDate>("finished");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QDate>("due");
        QTest::addColumn<int>("indicator");
        QTest::addColumn<TRgb>("text");
        QTest::addColumn<TRgb>("background");
        const TRgb black(0, 0, 0), white(255, 255, 255), yellow(255, 255, 0), red(255, 0, 0);
        QTest::newRow("resolved") << today << "Active" << today.addDays(-9) << 1 << black
                                  << Rgb(120, 255, 192);
        QTest::newRow("status resolved but open") << QDate() << "Resolved" << QDate() << 1 << black << white;
        QTest::newRow("on hold beats overdue")
            << QDate() << "On Hold" << today.addDays(-2) << 1 << black << Rgb(255, 213, 170);
        QTest::newRow("overdue") << QDate() << "Active" << today.addDays(-1) << 1 << white << red;
        QTest::newRow("due today, indicator 0") << QDate() << "Active" << today << 0 << black << yellow;
        QTest::newRow("tomorrow, indicator 0")
            << QDate() << "Active" << today.addDays(1) << 0 << black << white;
        QTest::newRow("in 3 days, indicator 3")
            << QDate() << "Active" << today.addDays(3) << 3 << black << yellow;
        QTest::newRow("in 4 days, indicator 3")
            << QDate() << "Active" << today.addDays(4) << 3 << black << white;
        QTest::newRow("no due date") << QDate() << "Void" << QDate() << 1 << black << white;
    }
    void rowColors()
    {
        QFETCH(QDate, finished);
        QFETCH(QString, status);
        QFETCH(QDate, due);
        QFETCH(int, indicator);
        QFETCH(TRgb, text);
        QFETCH(TRgb, background);
        QCOMPARE(ActionRowColors(finished, status, due, indicator, today, false),
                 (TRowColors{text, background}));
        const bool plain = background == TRgb(255, 255, 255);
        const TRowColors selected = plain ? TRowColors{TRgb(0, 0, 0), TRgb(166, 202, 240)}
                                          : TRowColors{TRgb(255, 255, 255), TRgb(0, 0, 255)};
        QCOMPARE(ActionRowColors(finished, status, due, indicator, today, true), selected);
    }
};

QTEST_MAIN(TestActionRules)
#include "tst_actionrules.moc"
