#include "CliPrinters.h"

#include "ActionExport.h"
#include "CliOutput.h"
#include "Formats.h"
#include "TTable.h"
#include "TextMatcher.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

namespace {

QString FieldText(TTable &table, int row, int field, bool iso)
{
    const QVariant value = table.ValueAt(row, field);
    if (!iso || !value.isValid())
        return DisplayText(table.FieldDefs()[field], value);
    if (table.FieldDefs()[field].type == ftDate)
        return value.toDate().toString(Qt::ISODate);
    return value.toString();
}

QString Cell(const QString &text, int width)
{
    QString flat = text;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    if (flat.size() > width)
        return flat.left(width - 1) + QChar(0x2026);
    return flat.leftJustified(width);
}

// Fits the columns into width: columns that do not fit at a short width
// each are left out from the right, then the widest is narrowed until the
// rest fits.
QList<int> FitWidths(QList<int> widths, int width)
{
    constexpr int kGap = 2, kShort = 10;
    if (width <= 0)
        return widths;
    const auto total = [&](auto widthOf) {
        int sum = -kGap;
        for (int w : widths)
            sum += widthOf(w) + kGap;
        return sum;
    };
    const auto shortWidth = [&](int w) { return std::min(w, kShort); };
    while (widths.size() > 1 && total(shortWidth) > width)
        widths.removeLast();
    const auto natural = [](int w) { return w; };
    while (total(natural) > width) {
        auto widest = std::max_element(widths.begin(), widths.end());
        if (*widest <= kShort)
            break;
        --*widest;
    }
    return widths;
}

} // namespace

void PrintTable(TTable &actions, const QList<int> &fields, const QStringList &titles)
{
    const int rows = actions.RecordCount();
    QList<QStringList> cells;
    cells.reserve(rows);
    QList<int> widths;
    for (const QString &title : titles)
        widths.append(int(title.size()));
    for (int row = 0; row < rows; ++row) {
        QStringList line;
        line.reserve(fields.size());
        for (int column = 0; column < fields.size(); ++column) {
            // Line breaks become blanks in a cell; other controls show.
            line.append(FieldText(actions, row, fields[column], false));
            if (OutputIsTerminal())
                line.last() = TerminalText(line.last(), u"\n\r");
            widths[column] = std::max(widths[column], int(line.last().size()));
        }
        cells.append(line);
    }
    widths = FitWidths(widths, TerminalWidth());
    QString out;
    const auto addLine = [&](const QStringList &line) {
        QStringList shown;
        shown.reserve(widths.size());
        for (int column = 0; column < widths.size(); ++column)
            shown.append(Cell(line[column], widths[column]));
        QString text = shown.join(QStringLiteral("  "));
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        out += text + QLatin1Char('\n');
    };
    addLine(titles);
    for (const QStringList &line : cells)
        addLine(line);
    WriteOut(out);
}

void PrintCsv(TTable &actions, const QList<int> &fields)
{
    QString out;
    const auto addLine = [&](const QStringList &line) {
        QStringList quoted;
        for (const QString &text : line)
            quoted.append(CsvField(text));
        out += quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    };
    QStringList names;
    for (int field : fields)
        names.append(actions.FieldDefs()[field].name);
    addLine(names);
    for (int row = 0; row < actions.RecordCount(); ++row) {
        QStringList line;
        for (int field : fields)
            line.append(FieldText(actions, row, field, true));
        addLine(line);
    }
    WriteOut(out);
}

void PrintJson(TTable &actions, const QList<int> &fields)
{
    QJsonArray list;
    for (int row = 0; row < actions.RecordCount(); ++row) {
        const QJsonObject record = RecordToJson(actions, row);
        QJsonObject shown;
        for (int field : fields)
            shown.insert(actions.FieldDefs()[field].name, record.value(actions.FieldDefs()[field].name));
        list.append(shown);
    }
    WriteOut(QJsonDocument(list).toJson(QJsonDocument::Indented));
}

void PrintRecord(TTable &table, int row, const QString &indent, QString &out)
{
    for (int field = 0; field < table.FieldCount(); ++field) {
        const QString text = table.DisplayTextAt(row, field);
        if (text.isEmpty())
            continue;
        QString value = OutputIsTerminal() ? TerminalText(text, u"\n\t") : text;
        value.replace(QLatin1Char('\n'), QLatin1Char('\n') + indent + QStringLiteral("    "));
        out += indent + table.FieldDefs()[field].name + QStringLiteral(": ") + value + QLatin1Char('\n');
    }
}
