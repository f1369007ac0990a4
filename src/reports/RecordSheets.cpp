#include "RecordSheets.h"

#include "Formats.h"
#include "HtmlText.h"
#include "TTable.h"

namespace {

QString Cell(TTable &table, const char *field)
{
    return HtmlCellText(table.FieldByName(QLatin1String(field)).AsString());
}

QString Heading(const QString &text)
{
    return QStringLiteral(
               "<td VALIGN=\"top\" ALIGN=\"center\" WIDTH=\"25%\" COLSPAN=\"4\" BGCOLOR=\"#ff99cc\"><b>"
               "<font FACE=\"Tahoma\" COLOR=\"#0000cc\">") +
           text;
}

QString ActionHeading(const QString &idAction)
{
    return Heading(QStringLiteral("Action \"") + HtmlCellText(idAction) +
                   QStringLiteral("\" </font></b></td>"));
}

// The cell templates: an opening, the label or value, a closing.
QString Label(const char *opening, const char *label)
{
    return QLatin1String(opening) + QLatin1String(label) + QLatin1String("</font></b></td>");
}

QString Value(const char *opening, const QString &cell)
{
    return QLatin1String(opening) + cell + QLatin1String("</font></td>");
}

constexpr const char *kFirstLabel =
    R"(<td VALIGN="top" ALIGN="right" WIDTH="25%" BGCOLOR="#66ffff"><b><font FACE="Tahoma" SIZE="-1">)";
constexpr const char *kFirstValue =
    R"(<td VALIGN="top" ALIGN="left" WIDTH="25%" BGCOLOR="#66ffff"><font FACE="Tahoma" SIZE="-1">)";
constexpr const char *kLabel =
    R"(<td VALIGN="top" ALIGN="right" BGCOLOR="#ccffff" WIDTH="25%"><b><font FACE="Tahoma" SIZE="-1">)";
constexpr const char *kValue =
    R"(<td VALIGN="top" ALIGN="left" BGCOLOR="#ccffff" WIDTH="25%"><font FACE="Tahoma" SIZE="-1">)";
constexpr const char *kWideValue =
    R"(<td VALIGN="top" ALIGN="left" BGCOLOR="#ccffff" WIDTH="25%" COLSPAN="3"><font FACE="Tahoma" SIZE="-1">)";
constexpr const char *kPlainLabel =
    R"(<td VALIGN="top" ALIGN="right" WIDTH="25%"><b><font FACE="Tahoma" SIZE="-1">)";
constexpr const char *kPlainValue =
    R"(<td VALIGN="top" ALIGN="left" WIDTH="25%"><font FACE="Tahoma" SIZE="-1">)";
constexpr const char *kPlainWideValue =
    R"(<td VALIGN="top" ALIGN="left" WIDTH="25%" COLSPAN="3"><font FACE="Tahoma" SIZE="-1">)";

const QString kRowEnd = QStringLiteral("</tr>");
const QString kRow = QStringLiteral("<tr>");
const QString kTopRow = QStringLiteral("<tr VALIGN=\"top\">");

QStringList PageStart(const QString &title, const char *tableColor)
{
    return {QStringLiteral("<HTML>"),
            QStringLiteral("<HEAD>"),
            QStringLiteral("<TITLE>") + title + QStringLiteral("</TITLE>"),
            QStringLiteral("</HEAD>"),
            QStringLiteral("<body BGCOLOR=\"#ffffcc\">"),
            QStringLiteral("<table WIDTH=\"100%\" BGCOLOR=\"") + QLatin1String(tableColor) +
                QStringLiteral("\" BORDER=\"1\">"),
            kTopRow};
}

// The decision and statement sheets differ in their words, the contact
// field and whether the table is closed.
QStringList ChildSheetLines(TTable &table, const QString &idAction, const char *kind, const char *actorLabel,
                            const char *actorField, bool closeTable)
{
    const QString synopsis = table.FieldByName(QStringLiteral("SYNOPSIS")).AsString();
    QStringList lines = PageStart(
        QLatin1String(kind) + QStringLiteral(" \"") + HtmlEncodeText(synopsis) + QLatin1Char('"'), "#ccffff");
    lines << ActionHeading(idAction) << kRowEnd << kTopRow;
    lines << Label(kFirstLabel, kind == QLatin1String("Decision") ? "Decision Date:" : "Statement Date:")
          << Value(kFirstValue, Cell(table, "DATE_ENTERED")) << Label(kFirstLabel, "Synopsis:")
          << Value(kFirstValue, HtmlCellText(synopsis));
    lines << kRowEnd << kRow;
    lines << Label(kLabel, actorLabel) << Value(kValue, Cell(table, actorField))
          << Label(kLabel, "Backed by:") << Value(kValue, Cell(table, "BACKED_BY"));
    lines << kRowEnd << kRow;
    lines << Label(kLabel, "Description:") << Value(kWideValue, Cell(table, "DESCRIPTION"));
    lines << kRowEnd;
    if (closeTable)
        lines << QStringLiteral("</table>");
    lines << QStringLiteral("</BODY>") << QStringLiteral("</HTML>");
    return lines;
}

} // namespace

QStringList LogSheetLines(TTable &log, const QString &idAction)
{
    const QString statusLine = log.FieldByName(QStringLiteral("STATUS_LINE")).AsString();
    QStringList lines =
        PageStart(QStringLiteral("Status Log \"") + HtmlEncodeText(statusLine) + QLatin1Char('"'), "#ccffff");
    lines << ActionHeading(idAction) << kRowEnd << kTopRow;
    lines
        << Label(kFirstLabel, "Date Log:") << Value(kFirstValue, Cell(log, "DATE_LOG"))
        << Label(kFirstLabel, "Time Log:")
        << Value(
               R"(<td VALIGN="top" ALIGN="left" WIDTH="25" BGCOLOR="#66ffff"><font FACE="Tahoma" SIZE="-1">)",
               Cell(log, "TIME_LOG"));
    lines << kRowEnd << kRow;
    lines << Label(kLabel, "Status Line:") << Value(kWideValue, HtmlCellText(statusLine));
    lines << kRowEnd << kRow;
    lines
        << Label(kLabel, "Status:") << Value(kValue, Cell(log, "STATUS")) << Label(kLabel, "Date Status:")
        << Value(
               R"(<td VALIGN="top" ALIGN="left" BGCOLOR="#ccffff" WIDTH="25"><font FACE="Tahoma" SIZE="-1">)",
               Cell(log, "DATE_STATUS"));
    lines << kRowEnd << kRow;
    lines << Label(kLabel, "Status Actor:") << Value(kValue, Cell(log, "ACTOR_STATUS"))
          << Label(kLabel, "Tender Actor:") << Value(kValue, Cell(log, "ACTOR_TENDER"));
    lines << kRowEnd << kRow;
    lines << Label(kLabel, "Description:") << Value(kWideValue, Cell(log, "DESCRIPTION"));
    lines << kRowEnd << kRow;
    lines << Label(kLabel, "Remarks:") << Value(kWideValue, Cell(log, "REMARKS"));
    lines << kRowEnd << QStringLiteral("</BODY>") << QStringLiteral("</HTML>");
    return lines;
}

QStringList DecisionSheetLines(TTable &decision, const QString &idAction)
{
    return ChildSheetLines(decision, idAction, "Decision", "Decision Maker:", "ACTOR_DECISION", true);
}

QStringList StatementSheetLines(TTable &statement, const QString &idAction)
{
    return ChildSheetLines(statement, idAction, "Statement", "Statement Holder:", "ACTOR_STATEMENT", false);
}

QStringList PropertiesSheetLines(TTable &header, const QString &fileName, const QDate &today)
{
    const QString title = header.FieldByName(QStringLiteral("TITLE")).AsString();
    // The page title takes the path for a title of blanks, the heading only
    // for an empty one.
    const QString pageTitle = HtmlEncodeText(IsBlankText(title) ? fileName : title);
    const QString headingTitle = HtmlEncodeText(title.isEmpty() ? fileName : title);
    QStringList lines{QStringLiteral("<HTML>"),
                      QStringLiteral("<HEAD>"),
                      QStringLiteral("<TITLE>Properties of Action List \"") + pageTitle +
                          QStringLiteral("\" on ") + FormatDate(today) + QStringLiteral("</TITLE>"),
                      QStringLiteral("</HEAD>"),
                      QStringLiteral("<body BGCOLOR=\"#ffffcc\">"),
                      QStringLiteral("<table WIDTH=\"100%\" BGCOLOR=\"#ffccff\" BORDER=\"1\">"),
                      kTopRow,
                      Heading(QStringLiteral("Action List Properties of \"") + headingTitle +
                              QStringLiteral("\"</font></b></td>"))};
    const auto pair = [&](const char *label, const char *field) {
        lines << Label(kPlainLabel, label) << Value(kPlainValue, Cell(header, field));
    };
    const auto wide = [&](const char *label, const char *field) {
        lines << kRowEnd << kRow << Label(kPlainLabel, label) << Value(kPlainWideValue, Cell(header, field));
    };
    lines << kRowEnd << kRow;
    pair("Company: ", "COMPANY");
    pair("Department:", "DEPARTMENT");
    lines << kRowEnd << kRow;
    pair("Project:", "PROJECT");
    pair("Date Action List:", "DATE_ENTERED");
    lines << kRowEnd << kRow;
    pair("Home ID:", "HOME_ID");
    pair("Foreign ID:", "FOREIGN_ID");
    lines << kRowEnd << kRow;
    pair("Home Contact:", "ACTOR_HOME");
    pair("Foreign Contact:", "ACTOR_FOREIGN");
    wide("Context:", "CONTEXT");
    wide("Reason:", "REASON");
    wide("Remarks:", "REMARKS");
    lines << kRowEnd << QStringLiteral("</table>") << QStringLiteral("</BODY>") << QStringLiteral("</HTML>");
    return lines;
}
