#include "HtmlText.h"

#include <algorithm>

QString HtmlEncodeText(const QString &text)
{
    // Most values hold none of the four characters; they are returned shared.
    const auto special = [](QChar c) { return c == u'&' || c == u'<' || c == u'>' || c == u'\n'; };
    if (std::none_of(text.begin(), text.end(), special))
        return text;
    QString encoded;
    encoded.reserve(text.size() + 16);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            encoded += QLatin1String("&amp;");
            break;
        case u'<':
            encoded += QLatin1String("&lt;");
            break;
        case u'>':
            encoded += QLatin1String("&gt;");
            break;
        case u'\n':
            encoded += QLatin1String("<BR>");
            break;
        default:
            encoded += c;
        }
    }
    return encoded;
}

namespace {
bool IsBlank(QChar c)
{
    return c.unicode() <= 0x20;
}
} // namespace

bool IsBlankText(QStringView text)
{
    return std::all_of(text.begin(), text.end(), IsBlank);
}

QString TrimBlanks(const QString &text)
{
    qsizetype start = 0, end = text.size();
    while (start < end && IsBlank(text[start]))
        ++start;
    while (end > start && IsBlank(text[end - 1]))
        --end;
    return start == 0 && end == text.size() ? text : text.mid(start, end - start);
}

QString HtmlNonBlank(const QString &text)
{
    return IsBlankText(text) ? QStringLiteral("&nbsp;") : text;
}

QString HtmlCellText(const QString &text)
{
    return HtmlNonBlank(HtmlEncodeText(text));
}
