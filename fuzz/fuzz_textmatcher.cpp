#include "FieldValue.h"
#include "Formats.h"
#include "TextMatcher.h"

#include <QDate>
#include <QLocale>
#include <QTime>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

// Compares the text search with the rule it stands for on arbitrary bytes:
// a text matches when, upper-cased, it contains the upper-cased search text.
// The text is given as UTF-8 bytes and as UTF-16 units, each in a block of
// exactly its size, so that a read beyond its end is caught; and the first
// bytes stand for a date and a time, matched in their display form.
//
// Input: byte 0 holds flags (bit 0: the Turkish locale, whose capital of
// i is not ASCII), byte 1 the length of the search text (UTF-8, the bytes
// after it); the rest is the text.

namespace {

[[noreturn]] void Finding(const char *what, const QString &search, const QString &text)
{
    std::fprintf(stderr, "finding: %s for search \"%s\" in \"%s\"\n", what, qPrintable(search),
                 qPrintable(text));
    __builtin_trap();
}

bool ByRule(const QString &text, const TTextMatcher &matcher)
{
    return UpperCase(text).contains(matcher.UpperSearch());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    QLocale::setDefault(QLocale(data[0] & 1 ? QLocale::Turkish : QLocale::English,
                                data[0] & 1 ? QLocale::Turkey : QLocale::UnitedStates));
    const size_t searchSize = std::min<size_t>(data[1], size - 2);
    const QString search = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(searchSize));
    data += 2 + searchSize;
    size -= 2 + searchSize;
    const TTextMatcher matcher(search);

    // UTF-8, in a block of its own size.
    const auto bytes = std::make_unique<char[]>(size);
    std::memcpy(bytes.get(), data, size);
    const QByteArrayView utf8(bytes.get(), qsizetype(size));
    const QString decoded = QString::fromUtf8(utf8);
    const bool expected = ByRule(decoded, matcher);
    if (matcher.MatchesUtf8(utf8) != expected)
        Finding("MatchesUtf8", search, decoded);
    const TFieldDef memo{QStringLiteral("NOTE"), ftMemo, 0};
    if (matcher.MatchesStored(memo, QVariant(QByteArray::fromRawData(bytes.get(), qsizetype(size)))) !=
        expected)
        Finding("MatchesStored of bytes", search, decoded);

    // UTF-16 units, unpaired surrogates included.
    const size_t units = size / 2;
    const auto utf16 = std::make_unique<char16_t[]>(units);
    std::memcpy(utf16.get(), data, units * 2);
    // The units as they are (a conversion would read a byte order mark).
    const QString wide(reinterpret_cast<const QChar *>(utf16.get()), qsizetype(units));
    const bool expectedWide = ByRule(wide, matcher);
    if (matcher.Matches(QStringView(utf16.get(), qsizetype(units))) != expectedWide)
        Finding("Matches", search, wide);
    if (matcher.MatchesStored(memo, QVariant(wide)) != expectedWide)
        Finding("MatchesStored of text", search, wide);

    // A date of any year the program stores and a time, in their display
    // form.
    if (size >= 6) {
        const TFieldDef date{QStringLiteral("DUE"), ftDate, 0}, time{QStringLiteral("AT"), ftTime, 0};
        const quint32 days = quint32(data[0]) | quint32(data[1]) << 8 | quint32(data[2]) << 16;
        const QVariant day(QDate(1, 1, 1).addDays(days % 3652059));
        if (matcher.MatchesStored(date, day) != ByRule(FormatValue(date, day), matcher))
            Finding("MatchesStored of a date", search, FormatValue(date, day));
        const quint32 seconds = quint32(data[3]) | quint32(data[4]) << 8 | quint32(data[5]) << 16;
        const QVariant moment(QTime::fromMSecsSinceStartOfDay(int(seconds % 86400) * 1000));
        if (matcher.MatchesStored(time, moment) != ByRule(FormatValue(time, moment), matcher))
            Finding("MatchesStored of a time", search, FormatValue(time, moment));
    }
    return 0;
}
