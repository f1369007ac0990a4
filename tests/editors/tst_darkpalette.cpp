#include "QtColors.h"
#include "ReadableColors.h"
#include "TDataModuleMain.h"
#include "TFormAction.h"
#include "TFormActor.h"
#include "TTableModel.h"
#include "TTitleSort.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTableView>
#include <QtTest>
#include <memory>

namespace {

// A dark desktop theme: light text on dark grey, as dark Fusion draws it.
QPalette DarkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(53, 53, 53));
    dark.setColor(QPalette::WindowText, QColor(238, 238, 238));
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::Text, QColor(238, 238, 238));
    dark.setColor(QPalette::Button, QColor(60, 60, 60));
    dark.setColor(QPalette::ButtonText, QColor(238, 238, 238));
    return dark;
}

QPalette LightPalette()
{
    QPalette light;
    light.setColor(QPalette::Window, QColor(239, 239, 239));
    light.setColor(QPalette::WindowText, QColor(0, 0, 0));
    light.setColor(QPalette::Base, QColor(255, 255, 255));
    light.setColor(QPalette::Text, QColor(0, 0, 0));
    light.setColor(QPalette::Button, QColor(239, 239, 239));
    light.setColor(QPalette::ButtonText, QColor(0, 0, 0));
    return light;
}

QPalette::ColorRole BackgroundOf(QPalette::ColorRole role)
{
    return role == QPalette::Text         ? QPalette::Base
           : role == QPalette::ButtonText ? QPalette::Button
                                          : QPalette::Window;
}

} // namespace

// The fixed text colours of the grids' titles and of the action editor stay
// readable in a dark desktop theme and stay as they are in a light one.
class TestDarkPalette : public QObject {
    Q_OBJECT

    TestWorkspace fixture_;

private Q_SLOTS:
    void initTestCase() { UseTestStandardPaths(); }

    void textColoursReadOnEitherPalette_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<int>("role");
        const QList<std::pair<const char *, QColor>> colours{{"red", QColor(255, 0, 0)},
                                                             {"blue", QColor(0, 0, 255)},
                                                             {"navy", QColor(0, 0, 128)},
                                                             {"green", QColor(0, 128, 0)},
                                                             {"black", QColor(0, 0, 0)}};
        for (const auto &[name, colour] : colours) {
            for (const QPalette::ColorRole role :
                 {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                QTest::addRow("%s as %d", name, int(role)) << colour << int(role);
        }
    }

    void textColoursReadOnEitherPalette()
    {
        QFETCH(QColor, colour);
        QFETCH(int, role);
        const auto textRole = QPalette::ColorRole(role);
        const bool black = colour == QColor(0, 0, 0);

        const QPalette light = LightPalette();
        QVERIFY(!IsDarkPalette(light));
        QCOMPARE(ReadableTextColor(colour, light, textRole), black ? light.color(textRole) : colour);

        const QPalette dark = DarkPalette();
        QVERIFY(IsDarkPalette(dark));
        const QColor readable = ReadableTextColor(colour, dark, textRole);
        QVERIFY2(ContrastRatio(readable, dark.color(BackgroundOf(textRole))) >= 4.5,
                 qPrintable(readable.name()));
        if (black)
            QCOMPARE(readable, dark.color(textRole));
        else
            QCOMPARE(readable.hslHue(), colour.hslHue());
    }

    // Titles of a grid shown in a dark theme: the sorted one in the header's
    // own text colour, the others a light blue; red when descending.
    void gridTitlesOnADarkHeader()
    {
        fixture_.Start();
        QVERIFY_THROWS_NO_EXCEPTION(fixture_.data->Tables.Open(fixture_.dir->filePath("Dark.act"), true));
        TTable *actions = fixture_.data->cdsActions;
        const QList<TColumn> columns{{QStringLiteral("ID_ACTION"), QStringLiteral("Action ID")},
                                     {QStringLiteral("SYNOPSIS"), QStringLiteral("Synopsis")}};
        QTableView grid;
        grid.setPalette(DarkPalette());
        TTableModel model(actions, columns);
        TTitleSort sort(TTitleSort::FieldsOf(columns), true);
        model.BindView(&grid);
        sort.Attach(&grid, &model);
        const auto titleColor = [&](int column) {
            return model.headerData(column, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color();
        };
        const QColor button = DarkPalette().color(QPalette::Button);
        QCOMPARE(titleColor(0), DarkPalette().color(QPalette::ButtonText));
        QVERIFY(ContrastRatio(titleColor(1), button) >= 4.5);
        QCOMPARE(titleColor(1).hslHue(), QColor(0, 0, 255).hslHue());
        sort.SortByTitle(&model, 0);
        QVERIFY(ContrastRatio(titleColor(0), button) >= 4.5);
        QCOMPARE(titleColor(0).hslHue(), QColor(255, 0, 0).hslHue());
        fixture_.Finish();
    }

    // The overdue due date of the action editor on a dark window.
    void actionEditorDatesOnADarkWindow()
    {
        fixture_.Start();
        QVERIFY_THROWS_NO_EXCEPTION(fixture_.data->Tables.Open(fixture_.dir->filePath("Dark.act"), true));
        TTable *actions = fixture_.data->cdsActions;
        actions->Append();
        actions->FieldByName("ID").SetAsInteger(1);
        actions->FieldByName("ID_CHAIN").SetAsInteger(1);
        actions->FieldByName("ID_ACTION").SetAsString(QStringLiteral("Late"));
        actions->FieldByName("STATUS").SetAsString(QStringLiteral("Active"));
        actions->FieldByName("DATE_DUE").SetAsDate(QDate::currentDate().addDays(-3));
        actions->Post();
        actions->Edit();
        {
            TFormAction form(*fixture_.data, emEdit);
            form.setPalette(DarkPalette());
            form.show();
            form.UpdateDateColours();
            const QPalette due = Child<QLineEdit>(&form, "EditDATE_DUE")->palette();
            QVERIFY(ContrastRatio(due.color(QPalette::Text), due.color(QPalette::Base)) >= 4.5);
            QCOMPARE(due.color(QPalette::Text).hslHue(), 0);
            form.reject();
        }
        fixture_.Finish();
    }

    // Colour-coded rows in a dark theme: plain rows take the grid's own dark
    // base, every coded row keeps its hue in a darker shade that its text
    // reads on, and each stays apart from the others; a light theme shows
    // the rule's colours as they are.
    void rowColoursFollowThePalette()
    {
        fixture_.Start();
        QVERIFY_THROWS_NO_EXCEPTION(fixture_.data->Tables.Open(fixture_.dir->filePath("Dark.act"), true));
        TTable *actions = fixture_.data->cdsActions;
        const QList<TRowColors> coded{
            {TRgb(0, 0, 0), TRgb(255, 255, 255)},   {TRgb(0, 0, 0), TRgb(120, 255, 192)},
            {TRgb(0, 0, 0), TRgb(255, 213, 170)},   {TRgb(255, 255, 255), TRgb(255, 0, 0)},
            {TRgb(0, 0, 0), TRgb(255, 255, 0)},     {TRgb(0, 0, 0), TRgb(166, 202, 240)},
            {TRgb(255, 255, 255), TRgb(0, 0, 255)}, {TRgb(0, 0, 0), TRgb(250, 230, 230)}};
        for (int row = 0; row < coded.size(); ++row) {
            actions->Append();
            actions->Post();
        }
        const QList<TColumn> columns{{QStringLiteral("ID_ACTION"), QStringLiteral("Action ID")}};
        TTableModel model(actions, columns);
        model.SetRowColorRule(
            [&coded](TTable &, int row, bool) -> std::optional<TRowColors> { return coded.value(row); });
        QTableView grid;
        model.BindView(&grid);
        const auto shown = [&](int row, int role) {
            return model.data(model.index(row, 0), role).value<QBrush>().color();
        };
        grid.setPalette(LightPalette());
        for (int row = 0; row < coded.size(); ++row) {
            QCOMPARE(shown(row, Qt::BackgroundRole), ToQColor(coded[row].background));
            QCOMPARE(shown(row, Qt::ForegroundRole), ToQColor(coded[row].text));
        }
        grid.setPalette(DarkPalette());
        QCOMPARE(shown(0, Qt::BackgroundRole), DarkPalette().color(QPalette::Base));
        QSet<QRgb> backgrounds;
        for (int row = 0; row < coded.size(); ++row) {
            const QColor background = shown(row, Qt::BackgroundRole);
            const QColor text = shown(row, Qt::ForegroundRole);
            QVERIFY2(background.lightness() < 128, qPrintable(background.name()));
            QVERIFY2(ContrastRatio(text, background) >= 4.5, qPrintable(text.name() + background.name()));
            if (row > 0)
                QCOMPARE(background.hslHue(), ToQColor(coded[row].background).hslHue());
            backgrounds.insert(background.rgb());
        }
        QCOMPARE(backgrounds.size(), coded.size());
        fixture_.Finish();
    }

    // The email captions of the contact editor, drawn as links, on a dark
    // desktop theme.
    void contactEmailLinksOnADarkTheme()
    {
        fixture_.Start();
        QVERIFY_THROWS_NO_EXCEPTION(fixture_.data->Tables.Open(fixture_.dir->filePath("Dark.act"), true));
        const auto restore =
            qScopeGuard([before = QApplication::palette()] { QApplication::setPalette(before); });
        QApplication::setPalette(DarkPalette());
        fixture_.data->cdsActor->Insert();
        {
            TFormActor form(*fixture_.data, cmNew);
            form.show();
            for (const char *name : {"LabelEmail1", "LabelEmail2"}) {
                const QPalette link = Child<QLabel>(&form, QLatin1String(name))->palette();
                QVERIFY2(ContrastRatio(link.color(QPalette::WindowText), link.color(QPalette::Window)) >= 4.5,
                         name);
                QCOMPARE(link.color(QPalette::WindowText).hslHue(), 240);
            }
            form.reject();
        }
        fixture_.Finish();
    }
};

QTEST_MAIN(TestDarkPalette)
#include "tst_darkpalette.moc"
