#pragma once

#include <QDate>
#include <QList>
#include <QString>

class TDataModuleMain;
class TGlobalTempFiles;
class THtmlPage;
class TTable;

// "A table of chosen columns over a table": the action list report (over
// cdsActions) and the contacts report (over cdsActor) are one page, a title
// bar above a table with one row per record and one column per chosen
// field. The two reports differ only in their column lists and title.

// How a column's data cell is written.
enum class TCellKind {
    Plain,    // the field's cell text, plain colours
    Severity, // highlighted when SEVERITY is high, blocking or red alert
    Finished, // highlighted when DATE_FINISHED is set
    DueDate,  // highlighted when the action is overdue
    MailLink, // the address as a MAILTO link, plain colours
};

// One column the user can choose: its caption in the options window's list,
// the field that fills it and the caption of its header cell.
struct TReportColumn {
    QString listCaption;
    QString sourceField;
    QString headerCaption;
    TCellKind kind = TCellKind::Plain;
    bool checkedAtFirst = false;
};

// The fifteen columns of each report in their initial order.
const QList<TReportColumn> &ActionReportColumns();
const QList<TReportColumn> &ContactReportColumns();

enum class TTitleAlign { Left = 0, Center = 1, Right = 2 };

// The font sizes a report offers, and the default (item 1, "-1").
QStringList ReportFontSizes();
// The attribute a font size gives the font tags: " SIZE="-1"" and the
// like, nothing for "1".
QString FontSizeAttribute(const QString &fontSize);

// The table width in percent: its range, the spin step and the default.
inline constexpr int kReportWidthMin = 50;
inline constexpr int kReportWidthMax = 2000;
inline constexpr int kReportWidthStep = 10;
inline constexpr int kReportWidthDefault = 100;

// Everything a page depends on besides the table.
struct TColumnReportOptions {
    QString title; // as typed; encoded on the page
    TTitleAlign align = TTitleAlign::Center;
    int width = kReportWidthDefault;
    QString fontSize = QStringLiteral("-1");
    bool colors = true;
    QList<TReportColumn> columns; // the checked ones, in list order
};

// The default titles: "Action List "<TITLE>" on dd/mm/yyyy" and "Contacts
// of Action List "<TITLE>" on dd/mm/yyyy", TITLE of the header record
// trimmed.
QString ActionListReportTitle(TDataModuleMain &data, const QDate &today);
QString ContactsReportTitle(TDataModuleMain &data, const QDate &today);

// Writes the page of every record of table, first to last in its current
// order and filter, into page. today decides which actions are overdue.
// Nothing is written when the table holds no record or no column is
// chosen. The table's current record is the same afterwards and its
// display updates resume, also when an error interrupts the build.
void BuildColumnReport(TTable &table, const TColumnReportOptions &options, const QDate &today,
                       THtmlPage &page);
