#include "Digest.h"

#include "ActionRules.h"
#include "Formats.h"
#include "HtmlPage.h"
#include "HtmlText.h"
#include "ScopeGuards.h"
#include "TDataModuleMain.h"

#include <QHash>
#include <QScopeGuard>
#include <numeric>
#include <vector>

namespace {

// The opening of every cell form in both variants; a label cell closes with
// "</font></b></td>", a value cell with "</font></td>".
struct TCellForms {
    QString label, value, wide, narrow;
    QString shadedLabel, shadedValue, shadedNarrow;
    QString overdueLabel, overdueValue, finishedLabel, finishedValue;
    QString onHoldLabel, onHoldValue, severeLabel, severeValue;
};

const TCellForms &Forms(bool colors)
{
    static const QString label =
        QStringLiteral(R"(<td VALIGN="top" ALIGN="right" WIDTH="25%"><b><font FACE="Tahoma" SIZE="-1">)");
    static const QString value =
        QStringLiteral(R"(<td VALIGN="top" ALIGN="left" WIDTH="25%"><font FACE="Tahoma" SIZE="-1">)");
    static const QString wide = QStringLiteral(
        R"(<td VALIGN="top" ALIGN="left" WIDTH="25%" COLSPAN="3"><font FACE="Tahoma" SIZE="-1">)");
    static const QString narrow =
        QStringLiteral(R"(<td VALIGN="top" ALIGN="left" WIDTH="25"><font FACE="Tahoma" SIZE="-1">)");
    static const TCellForms colour{
        label,
        value,
        wide,
        narrow,
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="right" WIDTH="25%" BGCOLOR="#66ffff"><b><font FACE="Tahoma" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="left" WIDTH="25%" BGCOLOR="#66ffff"><font FACE="Tahoma" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="left" WIDTH="25" BGCOLOR="#66ffff"><font FACE="Tahoma" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="right" BGCOLOR="#FF0000" WIDTH="25%"><b><font FACE="Tahoma" COLOR="#FFFFFF" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="left" BGCOLOR="#FF0000" WIDTH="25%"><font FACE="Tahoma" COLOR="#FFFFFF" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="right" WIDTH="25%" BGCOLOR="#228B22"><b><font FACE="Tahoma" COLOR="#FFFFFF" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="left" WIDTH="25%" BGCOLOR="#228B22"><font FACE="Tahoma" COLOR="#FFFFFF" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="right" BGCOLOR="#CCFFCC" WIDTH="25%"><b><font FACE="Tahoma" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="left" BGCOLOR="#CCFFCC" WIDTH="25%"><font FACE="Tahoma" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" BGCOLOR="#FFA07A" ALIGN="right" WIDTH="25%"><b><font FACE="Tahoma" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" BGCOLOR="#FFA07A" ALIGN="left" WIDTH="25%"><font FACE="Tahoma" SIZE="-1">)")};
    // Black and white has no on-hold and no severe highlight.
    static const TCellForms blackAndWhite{
        label,
        value,
        wide,
        narrow,
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="right" WIDTH="25%" BGCOLOR="#C0C0C0"><b><font FACE="Tahoma" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="left" WIDTH="25%" BGCOLOR="#C0C0C0"><font FACE="Tahoma" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="left" WIDTH="25" BGCOLOR="#C0C0C0"><font FACE="Tahoma" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="right" BGCOLOR="#000000" WIDTH="25%"><b><font FACE="Tahoma" COLOR="#FFFFFF" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="left" BGCOLOR="#000000" WIDTH="25%"><font FACE="Tahoma" COLOR="#FFFFFF" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="right" WIDTH="25%"BGCOLOR="#A9A9A9"><b><font FACE="Tahoma" COLOR="#FFFFFF" SIZE="-1">)"),
        QStringLiteral(
            R"(<td VALIGN="top" ALIGN="left" WIDTH="25%" BGCOLOR="#A9A9A9"><font FACE="Tahoma" COLOR="#FFFFFF" SIZE="-1">)"),
        label,
        value,
        label,
        value};
    return colors ? colour : blackAndWhite;
}

const QString kLabelEnd = QStringLiteral("</font></b></td>");
const QString kValueEnd = QStringLiteral("</font></td>");
const QString kRow = QStringLiteral("<tr>");
const QString kTopRow = QStringLiteral("<tr VALIGN=\"top\">");
const QString kRowEnd = QStringLiteral("</tr>");
const QString kTableEnd = QStringLiteral("</table>");

// A table and the rows of one action's records in it, in the table's order.
struct TDetailRows {
    TTable *table;
    const std::vector<int> *rows;
};

class TDigestWriter {
public:
    TDigestWriter(TDataModuleMain &data, const TDigestOptions &options, const QDate &today, THtmlPage &page)
        : data_(data), options_(options), today_(today), page_(page), forms_(Forms(options.colors)),
          actions_(*data.cdsActions)
    {
        for (const char *name : {"ID", "ATTRIBUTE", "ID_ACTION", "DATE_ACTION", "DATE_DUE", "DATE_STATUS",
                                 "DATE_FINISHED", "SYNOPSIS", "DESCRIPTION", "ACTOR_OWNER", "ACTOR_ORGANIZOR",
                                 "STATUS", "SEVERITY", "RELATIONS", "FUNCTIONAL_AREA", "SIGN_OFF"})
            field_.insert(QLatin1String(name), actions_.FieldIndex(QLatin1String(name)));
    }

    void AllActions();
    void CurrentAction();

private:
    void WriteAllActions();
    void WriteCurrentAction();

private:
    QString ActionText(const char *field)
    {
        return actions_.Fields(field_.value(QLatin1String(field))).AsString();
    }
    QString ActionCell(const char *field) { return HtmlCellText(ActionText(field)); }

    // Title of the page and the properties heading: TITLE as stored unless
    // it is blank, then the path of the Action File; encoded either way.
    QString Title() const;
    void Head(bool withStyle);
    void Label(const QString &opening, QStringView label) { page_.Add({opening, label, kLabelEnd}); }
    void Value(const QString &opening, QStringView cell) { page_.Add({opening, cell, kValueEnd}); }
    void Pair(QStringView label, QStringView cell)
    {
        Label(forms_.label, label);
        Value(forms_.value, cell);
    }
    void WidePair(QStringView label, QStringView cell)
    {
        Label(forms_.label, label);
        Value(forms_.wide, cell);
    }
    QString HeadingLine(bool anchored);
    void PropertyRows();
    void PropertiesBlock();
    void IndexBlock();
    void ActionBlock(bool withHeading);
    void Sections(const TDetailRows &log, const TDetailRows &decisions, const TDetailRows &statements);
    void Section(const TDetailRows &detail, const char16_t *title,
                 void (TDigestWriter::*entry)(TTable &table, int row));
    void LogEntry(TTable &table, int row);
    void DecisionEntry(TTable &table, int row);
    void StatementEntry(TTable &table, int row);
    void ChildEntry(TTable &table, int row, const char16_t *dateLabel, const char16_t *actorLabel,
                    int actorField);
    QString DetailCell(TTable &table, int row, int field)
    {
        return HtmlCellText(table.DisplayTextAt(row, field));
    }

    TDataModuleMain &data_;
    const TDigestOptions &options_;
    const QDate today_;
    THtmlPage &page_;
    const TCellForms &forms_;
    TTable &actions_;
    QHash<QString, int> field_;
    int anchor_ = 0;
};

QString TDigestWriter::Title() const
{
    const QString title = data_.cdsAction->FieldByName(QStringLiteral("TITLE")).AsString();
    return HtmlEncodeText(IsBlankText(title) ? data_.ShownFileName() : title);
}

void TDigestWriter::Head(bool withStyle)
{
    page_ << u"<HTML>" << u"<HEAD>";
    page_.Add(
        {u"<TITLE>Action Digest of Action List \"", Title(), u"\" on ", FormatDate(today_), u"</TITLE>"});
    if (withStyle) {
        page_ << u"<STYLE>" << u"A {" << u"font-weight: bold;" << u"text-decoration: none;"
              << u"color: #000000;" << u"}" << u"A:hover {";
        if (options_.colors)
            page_ << u"text-decoration: none;" << u"font-weight: bold;" << u"color: #FF0000;";
        else
            page_ << u"text-decoration: underline;" << u"font-weight: bold;" << u"color: #000000;";
        page_ << u"}" << u"</STYLE>";
    }
    page_ << u"</HEAD>";
    page_ << (options_.colors ? u"<body BGCOLOR=\"#ffffcc\">" : u"<body BGCOLOR=\"#FFFFFF\">");
}

QString TDigestWriter::HeadingLine(bool anchored)
{
    const QString id = ActionCell("ID_ACTION");
    const QString opening =
        options_.colors
            ? QStringLiteral(
                  R"(<td VALIGN="top" ALIGN="center" WIDTH="25%" COLSPAN="4" BGCOLOR="#ff99cc"><b><font FACE="Tahoma" COLOR="#0000cc">)")
            : QStringLiteral(
                  R"(<td VALIGN="top" ALIGN="center" WIDTH="25%" COLSPAN="4" BGCOLOR="#000000"><b><font FACE="Tahoma" COLOR="#FFFFFF">)");
    if (!anchored)
        return opening + QStringLiteral("Action \"") + id + QStringLiteral("\" </font></b></td>");
    ++anchor_;
    return opening + QStringLiteral("<A NAME=\"Action") + QString::number(anchor_) +
           QStringLiteral("\"></A>Action \"") + id +
           QStringLiteral("\"&nbsp;&nbsp;</font><a style=\"color: ") +
           (options_.colors ? QStringLiteral("royalblue") : QStringLiteral("white")) +
           QStringLiteral(
               ";font-family:tahoma;font-size: x-small\" href=\"#TOPOFPAGE\" title=\"Back to Action List "
               "Index\">[top]</a></b></td>");
}

void TDigestWriter::PropertyRows()
{
    TTable &header = *data_.cdsAction;
    const auto cell = [&header](const char *field) {
        return HtmlCellText(header.FieldByName(QLatin1String(field)).AsString());
    };
    page_ << kRow;
    Pair(u"Company: ", cell("COMPANY"));
    Pair(u"Department:", cell("DEPARTMENT"));
    page_ << kRowEnd << kRow;
    Pair(u"Project:", cell("PROJECT"));
    Pair(u"Date Action List:", cell("DATE_ENTERED"));
    page_ << kRowEnd << kRow;
    Pair(u"Home ID:", cell("HOME_ID"));
    Pair(u"Foreign ID:", cell("FOREIGN_ID"));
    page_ << kRowEnd << kRow;
    Pair(u"Home Contact:", cell("ACTOR_HOME"));
    Pair(u"Foreign Contact:", cell("ACTOR_FOREIGN"));
    page_ << kRowEnd << kRow;
    WidePair(u"Context:", cell("CONTEXT"));
    page_ << kRowEnd << kRow;
    WidePair(u"Reason:", cell("REASON"));
    page_ << kRowEnd << kRow;
    WidePair(u"Remarks:", cell("REMARKS"));
    page_ << kRowEnd;
}

void TDigestWriter::PropertiesBlock()
{
    page_ << (options_.colors ? u"<table WIDTH=\"100%\" BGCOLOR=\"#ffccff\" BORDER=\"1\">"
                              : u"<table WIDTH=\"100%\" BGCOLOR=\"#FFFFFF\" BORDER=\"1\">");
    page_ << kTopRow;
    page_.Add(
        {options_.colors
             ? u"<td VALIGN=\"top\" ALIGN=\"center\" WIDTH=\"25%\" COLSPAN=\"4\" BGCOLOR=\"#ff99cc\"><b>"
               u"<font FACE=\"Tahoma\" COLOR=\"#0000cc\">Action List \""
             : u"<td VALIGN=\"top\" ALIGN=\"center\" WIDTH=\"25%\" COLSPAN=\"4\" BGCOLOR=\"#000000\"><b>"
               u"<font FACE=\"Tahoma\" COLOR=\"#FFFFFF\">Action List \"",
         Title(), u"\" on ", FormatDate(today_), u" </font></b></td>"});
    page_ << kRowEnd;
    PropertyRows();
    page_ << (options_.colors ? u"</table>" : u"</TABLE>");
}

void TDigestWriter::IndexBlock()
{
    page_ << (options_.colors ? u"<table WIDTH=\"100%\" BGCOLOR=\"#CCFF99\" BORDER=\"1\">"
                              : u"<table WIDTH=\"100%\" BGCOLOR=\"#FFFFFF\" BORDER=\"1\">");
    page_ << kTopRow;
    page_ << (options_.colors
                  ? u"<td VALIGN=\"top\" ALIGN=\"center\" WIDTH=\"25%\" COLSPAN=\"4\" BGCOLOR=\"#006600\"><b>"
                    u"<font FACE=\"Tahoma\" COLOR=\"#FFFFFF\">Action List Index</font></b><a "
                    u"id=\"TOPOFPAGE\"></a></td>"
                  : u"<td VALIGN=\"top\" ALIGN=\"center\" WIDTH=\"25%\" COLSPAN=\"4\" BGCOLOR=\"#000000\"><b>"
                    u"<font FACE=\"Tahoma\" COLOR=\"#FFFFFF\">Action List Index</font></b><a "
                    u"id=\"TOPOFPAGE\"></a></td>");
    page_ << kRowEnd;
    // The anchors count from 1 here and again in the action headings, so
    // entry and heading of each action carry the same number.
    const auto restart = qScopeGuard([this] {
        actions_.First();
        anchor_ = 0;
    });
    const int finished = field_.value(QStringLiteral("DATE_FINISHED"));
    for (; !actions_.Eof(); actions_.Next()) {
        page_ << kTopRow << u"<TD VALIGN=\"TOP\" ALIGN=\"CENTER\" WIDTH=\"6%\">";
        page_ << (actions_.Fields(finished).IsNull() ? u"&nbsp;</TD>" : u"<B>&times;</B></TD>");
        page_.Add({u"<TD VALIGN=\"TOP\" ALIGN=\"LEFT\" WIDTH=\"22%\"><FONT FACE=\"Tahoma\" SIZE=\"-1\">",
                   ActionCell("ATTRIBUTE"), u"</FONT></TD>"});
        page_.Add({u"<TD VALIGN=\"TOP\" ALIGN=\"LEFT\" WIDTH=\"22%\"><FONT FACE=\"Tahoma\" SIZE=\"-1\">",
                   ActionCell("STATUS"), u"</FONT></TD>"});
        ++anchor_;
        page_.Add({u"<TD VALIGN=\"TOP\" ALIGN=\"LEFT\" WIDTH=\"50%\"><FONT FACE=\"Tahoma\" SIZE=\"-1\"><A "
                   u"HREF=\"#Action",
                   QString::number(anchor_), u"\" TITLE=\"Click here to jump to this Action\">",
                   ActionCell("ID_ACTION"), u"</A></FONT></TD>"});
        page_ << kRowEnd;
    }
    page_ << u"</TABLE>";
}

void TDigestWriter::ActionBlock(bool withHeading)
{
    page_ << (options_.colors ? u"<table WIDTH=\"100%\" BGCOLOR=\"#ffff99\" BORDER=\"1\">"
                              : u"<table WIDTH=\"100%\" BGCOLOR=\"#FFFFFF\" BORDER=\"1\">");
    if (withHeading)
        page_ << kTopRow << HeadingLine(options_.index) << kRowEnd;
    page_ << kTopRow;
    Pair(u"Action ID:", ActionCell("ID_ACTION"));
    Pair(u"Attribute:", ActionCell("ATTRIBUTE"));
    page_ << kRowEnd;
    if (!options_.headers) {
        const QDate finished = actions_.Fields(field_.value(QStringLiteral("DATE_FINISHED"))).AsDate();
        const QString status = ActionText("STATUS");
        const bool overdue = IsActionOverdue(
            finished, status, actions_.Fields(field_.value(QStringLiteral("DATE_DUE"))).AsDate(), today_);
        const bool onHold = !finished.isValid() && IsOnHold(status);
        const bool severe = IsSevere(TrimBlanks(ActionText("SEVERITY")));

        page_ << kRow;
        WidePair(u"Synopsis:", ActionCell("SYNOPSIS"));
        page_ << kRowEnd << kRow;
        Pair(u"Date Action:", ActionCell("DATE_ACTION"));
        Label(overdue ? forms_.overdueLabel : forms_.label, u"Date Due:");
        Value(overdue ? forms_.overdueValue : forms_.value, ActionCell("DATE_DUE"));
        page_ << kRowEnd << kRow;
        Pair(u"Date Status:", ActionCell("DATE_STATUS"));
        Label(finished.isValid() ? forms_.finishedLabel : forms_.label, u"Date Finished:");
        Value(finished.isValid() ? forms_.finishedValue : forms_.value, ActionCell("DATE_FINISHED"));
        page_ << kRowEnd << kRow;
        Pair(u"Owner:", ActionCell("ACTOR_OWNER"));
        Pair(u"Organizor:", ActionCell("ACTOR_ORGANIZOR"));
        page_ << kRowEnd << kRow;
        Label(onHold ? forms_.onHoldLabel : forms_.label, u"Status:");
        Value(onHold ? forms_.onHoldValue : forms_.value, HtmlCellText(status));
        Label(severe ? forms_.severeLabel : forms_.label, u"Severity:");
        Value(severe ? forms_.severeValue : forms_.value, ActionCell("SEVERITY"));
        page_ << kRowEnd << kRow;
        Pair(u"Relations:", ActionCell("RELATIONS"));
        Pair(u"Functional Area:", ActionCell("FUNCTIONAL_AREA"));
        page_ << kRowEnd << kRow;
        WidePair(u"Description:", ActionCell("DESCRIPTION"));
        page_ << kRowEnd << kRow;
        WidePair(u"Sign Off:", ActionCell("SIGN_OFF"));
        page_ << kRowEnd;
    }
    page_ << kTableEnd;
}

void TDigestWriter::Sections(const TDetailRows &log, const TDetailRows &decisions,
                             const TDetailRows &statements)
{
    if (options_.logs)
        Section(log, u"Action Logs", &TDigestWriter::LogEntry);
    if (options_.decisions)
        Section(decisions, u"Action Decisions", &TDigestWriter::DecisionEntry);
    if (options_.statements)
        Section(statements, u"Action Statements", &TDigestWriter::StatementEntry);
}

void TDigestWriter::Section(const TDetailRows &detail, const char16_t *title,
                            void (TDigestWriter::*entry)(TTable &table, int row))
{
    // An action without entries gets no empty table.
    if (!detail.rows || detail.rows->empty())
        return;
    page_ << (options_.colors ? u"<table WIDTH=\"100%\" BGCOLOR=\"#ccffff\" BORDER=\"1\">"
                              : u"<table WIDTH=\"100%\" BGCOLOR=\"#FFFFFF\" BORDER=\"1\">");
    page_ << kTopRow;
    page_.Add(
        {options_.colors
             ? u"<td VALIGN=\"top\" ALIGN=\"center\" WIDTH=\"25%\" COLSPAN=\"4\" BGCOLOR=\"#996633\"><b>"
               u"<font FACE=\"Tahoma\" COLOR=\"#ffffff\">"
             : u"<td VALIGN=\"top\" ALIGN=\"center\" WIDTH=\"25%\" COLSPAN=\"4\" BGCOLOR=\"#A9A9A9\"><b>"
               u"<font FACE=\"Tahoma\" COLOR=\"#ffffff\">",
         title, u"</font></b></td>"});
    page_ << kRowEnd;
    for (const int row : *detail.rows)
        (this->*entry)(*detail.table, row);
    page_ << kTableEnd;
}

void TDigestWriter::LogEntry(TTable &log, int row)
{
    const int dateLog = log.FieldIndex(QStringLiteral("DATE_LOG"));
    const int timeLog = log.FieldIndex(QStringLiteral("TIME_LOG"));
    const int statusLine = log.FieldIndex(QStringLiteral("STATUS_LINE"));
    const int status = log.FieldIndex(QStringLiteral("STATUS"));
    const int dateStatus = log.FieldIndex(QStringLiteral("DATE_STATUS"));
    const int actorStatus = log.FieldIndex(QStringLiteral("ACTOR_STATUS"));
    const int actorTender = log.FieldIndex(QStringLiteral("ACTOR_TENDER"));
    const int description = log.FieldIndex(QStringLiteral("DESCRIPTION"));
    const int remarks = log.FieldIndex(QStringLiteral("REMARKS"));
    page_ << kTopRow;
    Label(forms_.shadedLabel, u"Date Log:");
    Value(forms_.shadedValue, DetailCell(log, row, dateLog));
    Label(forms_.shadedLabel, u"Time Log:");
    Value(forms_.shadedNarrow, DetailCell(log, row, timeLog));
    page_ << kRowEnd << kRow;
    WidePair(u"Status Line:", DetailCell(log, row, statusLine));
    page_ << kRowEnd;
    if (options_.limitedLog)
        return;
    page_ << kRow;
    Pair(u"Status:", DetailCell(log, row, status));
    Label(forms_.label, u"Date Status:");
    Value(forms_.narrow, DetailCell(log, row, dateStatus));
    page_ << kRowEnd << kRow;
    Pair(u"Status Actor:", DetailCell(log, row, actorStatus));
    Pair(u"Tender Actor:", DetailCell(log, row, actorTender));
    page_ << kRowEnd << kRow;
    WidePair(u"Description:", DetailCell(log, row, description));
    page_ << kRowEnd << kRow;
    WidePair(u"Remarks:", DetailCell(log, row, remarks));
    page_ << kRowEnd;
}

void TDigestWriter::DecisionEntry(TTable &table, int row)
{
    ChildEntry(table, row, u"Decision Date:", u"Decision Maker:",
               table.FieldIndex(QStringLiteral("ACTOR_DECISION")));
}

void TDigestWriter::StatementEntry(TTable &table, int row)
{
    ChildEntry(table, row, u"Statement Date:", u"Statement Holder:",
               table.FieldIndex(QStringLiteral("ACTOR_STATEMENT")));
}

void TDigestWriter::ChildEntry(TTable &table, int row, const char16_t *dateLabel, const char16_t *actorLabel,
                               int actorField)
{
    // Decisions and statements share their layout of fields.
    const int dateEntered = table.FieldIndex(QStringLiteral("DATE_ENTERED"));
    const int synopsis = table.FieldIndex(QStringLiteral("SYNOPSIS"));
    const int backedBy = table.FieldIndex(QStringLiteral("BACKED_BY"));
    const int description = table.FieldIndex(QStringLiteral("DESCRIPTION"));
    page_ << kTopRow;
    Label(forms_.shadedLabel, dateLabel);
    Value(forms_.shadedValue, DetailCell(table, row, dateEntered));
    Label(forms_.shadedLabel, u"Synopsis:");
    Value(forms_.shadedValue, DetailCell(table, row, synopsis));
    page_ << kRowEnd << kRow;
    Pair(actorLabel, DetailCell(table, row, actorField));
    Pair(u"Backed by:", DetailCell(table, row, backedBy));
    page_ << kRowEnd << kRow;
    WidePair(u"Description:", DetailCell(table, row, description));
    page_ << kRowEnd;
}

// The rows of each action's records in a detail table, in the table's own
// order without its filter; one pass over the table instead of a filter per
// action keeps the digest of a large file linear.
class TDetailIndex {
public:
    explicit TDetailIndex(TTable &table) : table_(table)
    {
        table.SetFiltered(false);
        const int idAction = table.FieldIndex(QStringLiteral("ID_ACTION"));
        const int count = table.RecordCount();
        for (int row = 0; row < count; ++row) {
            const QVariant id = table.ValueAt(row, idAction);
            if (id.isValid())
                rows_[id.toInt()].push_back(row);
        }
    }
    TDetailRows Of(const QVariant &actionId) const
    {
        // An action not saved yet has no ID and owns no records.
        if (!actionId.isValid())
            return {&table_, nullptr};
        const auto found = rows_.constFind(actionId.toInt());
        return {&table_, found == rows_.cend() ? nullptr : &found.value()};
    }

private:
    TTable &table_;
    QHash<int, std::vector<int>> rows_;
};

void TDigestWriter::AllActions()
{
    TTable &log = *data_.cdsLog;
    TTable &decisions = *data_.cdsDecision;
    TTable &statements = *data_.cdsStatement;
    const TBookmark bookmark = actions_.GetBookmark();
    actions_.DisableControls();
    log.DisableControls();
    decisions.DisableControls();
    statements.DisableControls();
    // However the build ends, the current action and the filters of its
    // details come back.
    TryFinally([&] { WriteAllActions(); },
               [&] {
                   if (actions_.BookmarkValid(bookmark))
                       actions_.GotoBookmark(bookmark);
                   data_.FilterLogByAction();
                   data_.FilterDecisionsByAction();
                   data_.FilterStatementsByAction();
                   statements.EnableControls();
                   decisions.EnableControls();
                   log.EnableControls();
                   actions_.EnableControls();
               });
}

void TDigestWriter::WriteAllActions()
{
    TTable &log = *data_.cdsLog;
    TTable &decisions = *data_.cdsDecision;
    TTable &statements = *data_.cdsStatement;
    actions_.First();
    anchor_ = 0;
    const TDetailIndex logRows(log);
    const TDetailIndex decisionRows(decisions);
    const TDetailIndex statementRows(statements);
    const int id = field_.value(QStringLiteral("ID"));

    Head(options_.index);
    if (options_.properties)
        PropertiesBlock();
    if (options_.index)
        IndexBlock();
    while (!actions_.Eof()) {
        const QVariant actionId = actions_.Fields(id).Value();
        ActionBlock(true);
        Sections(logRows.Of(actionId), decisionRows.Of(actionId), statementRows.Of(actionId));
        actions_.Next();
        if (!actions_.Eof() && options_.separate)
            page_ << (options_.colors ? u"<HR COLOR=\"#990066\" SIZE=\"3\">"
                                      : u"<HR COLOR=\"#000000\" SIZE=\"3\">");
    }
}

void TDigestWriter::CurrentAction()
{
    TTable &log = *data_.cdsLog;
    log.DisableControls();
    TryFinally([&] { WriteCurrentAction(); },
               [&] {
                   data_.FilterLogByAction();
                   data_.FilterDecisionsByAction();
                   data_.FilterStatementsByAction();
                   log.EnableControls();
               });
}

void TDigestWriter::WriteCurrentAction()
{
    TTable &log = *data_.cdsLog;
    data_.FilterLogByAction();
    data_.FilterDecisionsByAction();
    data_.FilterStatementsByAction();
    const auto allRows = [](TTable &table) {
        std::vector<int> rows(size_t(table.RecordCount()));
        std::iota(rows.begin(), rows.end(), 0);
        return rows;
    };
    const std::vector<int> logRows = allRows(log);
    const std::vector<int> decisionRows = allRows(*data_.cdsDecision);
    const std::vector<int> statementRows = allRows(*data_.cdsStatement);

    Head(false);
    page_ << (options_.colors ? u"<table WIDTH=\"100%\" BGCOLOR=\"#ffccff\" BORDER=\"1\">"
                              : u"<table WIDTH=\"100%\" BGCOLOR=\"#FFFFFF\" BORDER=\"1\">");
    page_ << kTopRow << HeadingLine(false) << kRowEnd;
    if (options_.properties)
        PropertyRows();
    page_ << kTableEnd;
    ActionBlock(false);
    Sections({&log, &logRows}, {data_.cdsDecision, &decisionRows}, {data_.cdsStatement, &statementRows});
}

QString SafeFileNamePart(QString text)
{
    for (QChar &c : text)
        if (c == u'/' || c.category() == QChar::Other_Control)
            c = u'_';
    return text;
}

} // namespace

void BuildDigest(TDataModuleMain &data, const TDigestOptions &options, const QDate &today, THtmlPage &page)
{
    if (data.cdsActions->RecordCount() == 0)
        return;
    TDigestWriter writer(data, options, today, page);
    if (options.allActions)
        writer.AllActions();
    else
        writer.CurrentAction();
    page << u"</BODY>" << u"</HTML>";
}

QString DigestFileName(TDataModuleMain &data, const TDigestOptions &options, const QDate &today)
{
    const QString date = today.toString(QStringLiteral("yyyyMMdd"));
    if (!options.allActions)
        return date + QStringLiteral("_Action ") +
               SafeFileNamePart(data.cdsActions->FieldByName(QStringLiteral("ID_ACTION")).AsString()) +
               QStringLiteral(".html");
    const QString title = data.cdsAction->FieldByName(QStringLiteral("TITLE")).AsString();
    if (IsBlankText(title))
        return date + QStringLiteral("_Action Digest of Action List.html");
    return date + QStringLiteral("_Action Digest of Action List ") + SafeFileNamePart(title) +
           QStringLiteral(".html");
}
