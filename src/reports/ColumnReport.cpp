#include "ColumnReport.h"

#include "ActionRules.h"
#include "Formats.h"
#include "HtmlPage.h"
#include "HtmlText.h"
#include "ScopeGuards.h"
#include "TDataModuleMain.h"
#include "TTable.h"

#include <algorithm>
#include <vector>

namespace {

QString Quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString HeaderTitle(TDataModuleMain &data)
{
    return Quoted(TrimBlanks(data.cdsAction->FieldByName(QStringLiteral("TITLE")).AsString()));
}

struct TCellColors {
    QStringView background;
    QStringView font;
};

struct TPalette {
    TCellColors title, header, plain, severe, finished, overdue;
};

const TPalette &Palette(bool colors)
{
    static const TPalette colour{{u"#B0E0E6", u"#000099"}, {u"#0000CC", u"#FFFFCC"},
                                 {u"#ffff99", u"#000099"}, {u"#FFA07A", u"#000099"},
                                 {u"#008000", u"#FFFFFF"}, {u"#FF0000", u"#FFFFFF"}};
    // Black and white shows no severity.
    static const TPalette blackAndWhite{{u"#FFFFFF", u"#000000"}, {u"#A9A9A9", u"#FFFFFF"},
                                        {u"#FFFFFF", u"#000000"}, {u"#FFFFFF", u"#000000"},
                                        {u"#A9A9A9", u"#FFFFFF"}, {u"#000000", u"#FFFFFF"}};
    return colors ? colour : blackAndWhite;
}

const QString kCellEnd = QStringLiteral("</FONT></TD>");
const QString kTopRow = QStringLiteral("<TR VALIGN=\"TOP\">");
const QString kRowEnd = QStringLiteral("</TR>");

QString HeaderCell(const TCellColors &colors, const QString &size, const QString &text)
{
    return QStringLiteral("<TD BGCOLOR=\"") + colors.background +
           QStringLiteral("\" HEIGHT=\"18\"><FONT COLOR=\"") + colors.font +
           QStringLiteral("\" FACE=\"Tahoma\"") + size + QStringLiteral("><B>") + text +
           QStringLiteral("</B></FONT></TD>");
}

// A data cell up to its content; kCellEnd closes it.
QString DataCellOpening(const TCellColors &colors, const QString &size)
{
    return QStringLiteral("<TD BGCOLOR=\"") + colors.background + QStringLiteral("\"><FONT FACE=\"Tahoma\"") +
           size + QStringLiteral(" COLOR=\"") + colors.font + QStringLiteral("\">");
}

QString TableLine(int width)
{
    return QStringLiteral("<TABLE WIDTH=\"") + QString::number(width) + QStringLiteral("%\" BORDER=\"1\">");
}

// A chosen column resolved against the table: where its text comes from
// and the openings of its cell, plain and highlighted.
struct TResolvedColumn {
    int field;
    TCellKind kind;
    QString plain;
    QString highlighted;
};

class TColumnReportWriter {
public:
    TColumnReportWriter(TTable &table, const TColumnReportOptions &options, const QDate &today,
                        THtmlPage &page)
        : table_(table), options_(options), today_(today), page_(page), palette_(Palette(options.colors)),
          size_(FontSizeAttribute(options.fontSize))
    {
        const QString plain = DataCellOpening(palette_.plain, size_);
        for (const TReportColumn &column : options.columns) {
            // An unknown field throws the table's own error.
            table.FieldByName(column.sourceField);
            const int field = table.FieldIndex(column.sourceField);
            TResolvedColumn resolved{field, column.kind, plain, plain};
            switch (column.kind) {
            case TCellKind::Severity:
                resolved.highlighted = DataCellOpening(palette_.severe, size_);
                severity_ = table.FieldIndex(QStringLiteral("SEVERITY"));
                break;
            case TCellKind::Finished:
                resolved.highlighted = DataCellOpening(palette_.finished, size_);
                finished_ = table.FieldIndex(QStringLiteral("DATE_FINISHED"));
                break;
            case TCellKind::DueDate:
                resolved.highlighted = DataCellOpening(palette_.overdue, size_);
                finished_ = table.FieldIndex(QStringLiteral("DATE_FINISHED"));
                status_ = table.FieldIndex(QStringLiteral("STATUS"));
                due_ = table.FieldIndex(QStringLiteral("DATE_DUE"));
                break;
            case TCellKind::Plain:
            case TCellKind::MailLink:
                break;
            }
            columns_.push_back(resolved);
        }
    }

    void Write()
    {
        const QString title = HtmlEncodeText(options_.title);
        const QString table = TableLine(options_.width);
        page_ << u"<HTML>" << u"<HEAD>";
        page_.Add({u"<TITLE>", title, u"</TITLE>"});
        page_ << u"</HEAD>";
        page_ << (options_.colors ? u"<BODY BGCOLOR=\"#FFFFCC\" TEXT=\"#000099\">"
                                  : u"<BODY BGCOLOR=\"#FFFFFF\" TEXT=\"#000000\">");
        page_ << table;
        switch (options_.align) {
        case TTitleAlign::Left:
            page_ << u"<TR ALIGN=\"LEFT\">";
            break;
        case TTitleAlign::Center:
            page_ << u"<TR ALIGN=\"CENTER\">";
            break;
        case TTitleAlign::Right:
            page_ << u"<TR ALIGN=\"RIGHT\">";
            break;
        }
        page_ << HeaderCell(palette_.title, size_, title) << kRowEnd << u"</TABLE>";
        page_ << table << kTopRow;
        for (const TReportColumn &column : options_.columns)
            page_ << HeaderCell(palette_.header, size_, column.headerCaption);
        page_ << kRowEnd;
        for (table_.First(); !table_.Eof(); table_.Next()) {
            page_ << kTopRow;
            for (const TResolvedColumn &column : columns_)
                DataCell(column);
            page_ << kRowEnd;
        }
        page_ << u"</TABLE>" << u"</BODY>" << u"</HTML>";
    }

private:
    QString Text(int field) const { return field < 0 ? QString() : table_.Fields(field).AsString(); }
    bool IsNull(int field) const { return field < 0 || table_.Fields(field).IsNull(); }

    bool Highlighted(TCellKind kind) const
    {
        switch (kind) {
        case TCellKind::Severity: {
            return IsSevere(TrimBlanks(Text(severity_)));
        }
        case TCellKind::Finished:
            return !IsNull(finished_);
        case TCellKind::DueDate:
            return !IsNull(due_) && IsNull(finished_) &&
                   IsActionOverdue(QDate(), Text(status_), table_.Fields(due_).AsDate(), today_);
        case TCellKind::Plain:
        case TCellKind::MailLink:
            break;
        }
        return false;
    }

    void DataCell(const TResolvedColumn &column)
    {
        const QString &opening = Highlighted(column.kind) ? column.highlighted : column.plain;
        const QString text = table_.Fields(column.field).AsString();
        if (column.kind != TCellKind::MailLink) {
            page_.Add({opening, HtmlCellText(text), kCellEnd});
            return;
        }
        if (IsBlankText(text)) {
            page_.Add({opening, u"&nbsp;", kCellEnd});
            return;
        }
        // The address keeps its blanks; in the link target a quote would end
        // the attribute, so it is escaped there.
        const QString address = HtmlEncodeText(text);
        QString target = address;
        target.replace(QLatin1Char('"'), QLatin1String("&quot;"));
        page_.Add({opening, u"<A HREF=\"MAILTO:", target, u"\">", address, u"</A>", kCellEnd});
    }

    TTable &table_;
    const TColumnReportOptions &options_;
    const QDate today_;
    THtmlPage &page_;
    const TPalette &palette_;
    const QString size_;
    std::vector<TResolvedColumn> columns_;
    int severity_ = -1;
    int finished_ = -1;
    int status_ = -1;
    int due_ = -1;
};

TReportColumn Column(const char *listCaption, const char *field, const char *header, TCellKind kind,
                     bool checked)
{
    return {QLatin1String(listCaption), QLatin1String(field), QLatin1String(header), kind, checked};
}

} // namespace

const QList<TReportColumn> &ActionReportColumns()
{
    using K = TCellKind;
    // The list shows "Attrbute" as it always has; the header spells it right.
    static const QList<TReportColumn> columns{
        Column("Attrbute", "ATTRIBUTE", "Attribute", K::Plain, true),
        Column("Action ID", "ID_ACTION", "Action ID", K::Plain, false),
        Column("Date Action", "DATE_ACTION", "Date Action", K::Plain, true),
        Column("Date Due", "DATE_DUE", "Date Due", K::DueDate, true),
        Column("Date Status", "DATE_STATUS", "Date Status", K::Plain, false),
        Column("Date Finished", "DATE_FINISHED", "Date Finished", K::Finished, false),
        Column("Synopsis", "SYNOPSIS", "Synopsis", K::Plain, true),
        Column("Description", "DESCRIPTION", "Description", K::Plain, false),
        Column("Owner", "ACTOR_OWNER", "Owner", K::Plain, true),
        Column("Organizor", "ACTOR_ORGANIZOR", "Organizor", K::Plain, false),
        Column("Status", "STATUS", "Status", K::Plain, false),
        Column("Severity", "SEVERITY", "Severity", K::Severity, false),
        Column("Relations", "RELATIONS", "Relations", K::Plain, false),
        Column("Functional Area", "FUNCTIONAL_AREA", "Functional Area", K::Plain, false),
        Column("Sign Off", "SIGN_OFF", "Sign Off", K::Plain, false)};
    return columns;
}

const QList<TReportColumn> &ContactReportColumns()
{
    using K = TCellKind;
    static const QList<TReportColumn> columns{
        Column("Contact ID", "ID", "Contact ID", K::Plain, true),
        Column("Company", "COMPANY", "Company", K::Plain, false),
        Column("Department", "DEPARTMENT", "Department", K::Plain, false),
        Column("Title", "TITLE", "Title", K::Plain, false),
        Column("Prefix", "PREFIX", "Prefix", K::Plain, false),
        Column("First Name", "FIRST_NAME", "First Name", K::Plain, true),
        Column("Insertion", "INSERTION", "Insertion", K::Plain, true),
        Column("Last Name", "LAST_NAME", "Last Name", K::Plain, true),
        Column("Suffix", "SUFFIX", "Suffix", K::Plain, false),
        Column("Gender", "GENDER", "Gender", K::Plain, false),
        Column("Phone #1", "PHONE_1", "Phone #1", K::Plain, false),
        Column("Phone #2", "PHONE_2", "Phone #2", K::Plain, false),
        Column("Cell Phone", "PHONE_MOBILE", "Cell Phone", K::Plain, false),
        Column("Email Address #1", "EMAIL_1", "Email Address #1", K::MailLink, true),
        Column("Email Address #2", "EMAIL_2", "Email Address #2", K::MailLink, false)};
    return columns;
}

QStringList ReportFontSizes()
{
    return {QStringLiteral("-2"), QStringLiteral("-1"), QStringLiteral("1"), QStringLiteral("+1"),
            QStringLiteral("+2")};
}

QString FontSizeAttribute(const QString &fontSize)
{
    if (fontSize == QLatin1String("1") || !ReportFontSizes().contains(fontSize))
        return {};
    return QStringLiteral(" SIZE=\"") + fontSize + QLatin1Char('"');
}

QString ActionListReportTitle(TDataModuleMain &data, const QDate &today)
{
    return QStringLiteral("Action List ") + HeaderTitle(data) + QStringLiteral(" on ") + FormatDate(today);
}

QString ContactsReportTitle(TDataModuleMain &data, const QDate &today)
{
    return QStringLiteral("Contacts of Action List ") + HeaderTitle(data) + QStringLiteral(" on ") +
           FormatDate(today);
}

void BuildColumnReport(TTable &table, const TColumnReportOptions &options, const QDate &today,
                       THtmlPage &page)
{
    if (table.RecordCount() == 0 || options.columns.isEmpty())
        return;
    TColumnReportWriter writer(table, options, today, page);
    const TBookmark bookmark = table.GetBookmark();
    TControlsDisabled disabled(&table);
    TryFinally([&] { writer.Write(); },
               [&] {
                   if (table.BookmarkValid(bookmark))
                       table.GotoBookmark(bookmark);
               });
}
