#include "TextMatcher.h"

#include "FieldValue.h"
#include "Formats.h"

#include <QLocale>
#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool IsAsciiBytes(const char *text, qsizetype size)
{
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, text + i, 8);
        if (word & 0x8080808080808080ULL)
            return false;
    }
    for (; i < size; ++i)
        if (uchar(text[i]) & 0x80)
            return false;
    return true;
}

bool IsAsciiUtf16(const char16_t *text, qsizetype size)
{
    qsizetype i = 0;
    for (; i + 4 <= size; i += 4) {
        quint64 word;
        std::memcpy(&word, text + i, 8);
        if (word & 0xFF80FF80FF80FF80ULL)
            return false;
    }
    for (; i < size; ++i)
        if (text[i] & 0xFF80)
            return false;
    return true;
}

#if defined(__SSE2__)
// The count (under 16) bytes at from, then zeros, read without going beyond
// them: as two overlapping words of the largest size that fits.
__m128i LoadShort(const void *from, size_t count)
{
    const char *bytes = static_cast<const char *>(from);
    quint64 low = 0, high = 0;
    if (count >= 8) {
        std::memcpy(&low, bytes, 8);
        if (count > 8) {
            std::memcpy(&high, bytes + count - 8, 8);
            high >>= (16 - count) * 8;
        }
    } else if (count >= 4) {
        quint32 head, tail;
        std::memcpy(&head, bytes, 4);
        std::memcpy(&tail, bytes + count - 4, 4);
        low = head | quint64(tail) << (count - 4) * 8;
    } else if (count >= 2) {
        quint16 head, tail;
        std::memcpy(&head, bytes, 2);
        std::memcpy(&tail, bytes + count - 2, 2);
        low = head | quint64(tail) << (count - 2) * 8;
    } else if (count == 1) {
        low = uchar(bytes[0]);
    }
    return _mm_set_epi64x(qint64(high), qint64(low));
}
#endif

// The locale upper-cases every ASCII character to its ASCII capital (not so
// in Turkish, where i becomes a dotted capital I).
bool AsciiToAscii()
{
    for (char16_t c = 0; c < 0x80; ++c) {
        const char16_t capital = c >= u'a' && c <= u'z' ? char16_t(c - 0x20) : c;
        const QString upper = UpperCase(QString(QChar(c)));
        if (upper.size() != 1 || upper[0].unicode() != capital)
            return false;
    }
    return true;
}

bool LocaleKeepsAscii()
{
    // Asked once per locale: upper-casing may load the locale's data.
    static QString checkedLocale;
    static bool keeps = false;
    const QString locale = QLocale().name();
    if (locale == checkedLocale)
        return keeps;
    keeps = AsciiToAscii();
    checkedLocale = locale;
    return keeps;
}

struct TCivilDate {
    unsigned day, month, year;
};

// The day number of a date (days from civil), for the years that are not
// before the common era.
constexpr qint64 DayNumber(unsigned year, unsigned month, unsigned day)
{
    const unsigned shiftedYear = month <= 2 ? year - 1 : year;
    const unsigned era = shiftedYear / 400, yearOfEra = shiftedYear - era * 400;
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return qint64(era) * 146097 + dayOfEra + 1721120;
}
constexpr qint64 kFirstFourDigitDay = DayNumber(1000, 1, 1), kLastFourDigitDay = DayNumber(9999, 12, 31);

bool HasFourDigitYear(const QDate &date)
{
    const qint64 day = date.toJulianDay();
    return date.isValid() && day >= kFirstFourDigitDay && day <= kLastFourDigitDay;
}

// Day, month and year of a date with a four-digit year from its day number
// (days from civil, in reverse), which costs less than asking the calendar
// for each part.
TCivilDate CivilDate(const QDate &date)
{
    const unsigned z = unsigned(date.toJulianDay() - 1721120);
    const unsigned era = z / 146097;
    const unsigned dayOfEra = z - era * 146097;
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    const unsigned month = shifted < 10 ? shifted + 3 : shifted - 9;
    return {day, month, yearOfEra + era * 400 + (month <= 2 ? 1 : 0)};
}

// "dd/mm/yyyy" of a date with a four-digit year, as the date format gives it.
void DateText(const QDate &date, char *out)
{
    const TCivilDate civil = CivilDate(date);
    unsigned year = civil.year;
    out[0] = char('0' + civil.day / 10);
    out[1] = char('0' + civil.day % 10);
    out[2] = '/';
    out[3] = char('0' + civil.month / 10);
    out[4] = char('0' + civil.month % 10);
    out[5] = '/';
    for (int k = 9; k >= 6; --k, year /= 10)
        out[k] = char('0' + year % 10);
}

void TimeText(const QTime &time, char *out)
{
    const int parts[3] = {time.hour(), time.minute(), time.second()};
    for (int k = 0; k < 3; ++k) {
        out[3 * k] = char('0' + parts[k] / 10);
        out[3 * k + 1] = char('0' + parts[k] % 10);
        if (k < 2)
            out[3 * k + 2] = ':';
    }
}

// A display form of fixed width: three numbers written with leading zeros
// at fixed places, the separator everywhere else.
struct TFixedForm {
    int width;
    char separator;
    struct Part {
        int at, digits, highest;
    } parts[3];
};
constexpr TFixedForm kDateForm{10, '/', {{0, 2, 31}, {3, 2, 12}, {6, 4, 9999}}};
constexpr TFixedForm kTimeForm{8, ':', {{0, 2, 23}, {3, 2, 59}, {6, 2, 59}}};

// Each place of the form where the search text (ASCII) can stand, with the
// values of each part whose digits agree with it there.
std::vector<TTextMatcher::TPlaceFit> PlaceFits(const TFixedForm &form, const std::string &search)
{
    std::vector<TTextMatcher::TPlaceFit> fits;
    const int length = int(search.size());
    const auto partAt = [&](int position) -> const TFixedForm::Part * {
        for (const TFixedForm::Part &part : form.parts)
            if (position >= part.at && position < part.at + part.digits)
                return &part;
        return nullptr;
    };
    for (int place = 0; place + length <= form.width; ++place) {
        bool fitsHere = true;
        for (int k = 0; k < length && fitsHere; ++k)
            fitsHere = partAt(place + k) ? search[size_t(k)] >= '0' && search[size_t(k)] <= '9'
                                         : search[size_t(k)] == form.separator;
        if (!fitsHere)
            continue;
        TTextMatcher::TPlaceFit fit;
        fit.third.assign(size_t(form.parts[2].highest) / 64 + 1, 0);
        for (int p = 0; p < 3; ++p) {
            const TFixedForm::Part &part = form.parts[p];
            // A part the search text does not reach takes any value.
            const bool reached = part.at < place + length && place < part.at + part.digits;
            for (int value = 0; value <= part.highest; ++value) {
                bool agrees = true;
                int rest = value;
                for (int digit = part.digits - 1; digit >= 0 && reached; --digit, rest /= 10) {
                    const int k = part.at + digit - place;
                    if (k >= 0 && k < length && search[size_t(k)] != char('0' + rest % 10))
                        agrees = false;
                }
                if (!agrees)
                    continue;
                const quint64 bit = quint64(1) << value % 64;
                if (p == 0)
                    fit.first |= bit;
                else if (p == 1)
                    fit.second |= bit;
                else
                    fit.third[size_t(value) / 64] |= bit;
            }
        }
        fits.push_back(std::move(fit));
    }
    return fits;
}

} // namespace

QString DisplayText(const TFieldDef &field, const QVariant &value)
{
    char text[10];
    if (field.type == ftDate && value.typeId() == QMetaType::QDate) {
        const QDate date = *static_cast<const QDate *>(value.constData());
        if (HasFourDigitYear(date)) {
            DateText(date, text);
            return QString::fromLatin1(text, 10);
        }
    } else if (field.type == ftTime && value.typeId() == QMetaType::QTime) {
        const QTime time = *static_cast<const QTime *>(value.constData());
        if (time.isValid()) {
            TimeText(time, text);
            return QString::fromLatin1(text, 8);
        }
    }
    return FormatValue(field, value);
}

TTextMatcher::TTextMatcher(const QString &search) : upper_(UpperCase(search))
{
    asciiInPlace_ = LocaleKeepsAscii();
    searchAscii_ = true;
    for (QChar c : upper_) {
        if (c.unicode() >= 0x80) {
            searchAscii_ = false;
            break;
        }
        const char byte = char(c.unicode());
        const bool letter = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
        caseBits_.push_back(letter ? char(0x20) : char(0));
        folded_.push_back(char(byte | caseBits_.back()));
    }
    if (searchAscii_) {
        dateFits_ = PlaceFits(kDateForm, folded_);
        timeFits_ = PlaceFits(kTimeForm, folded_);
    }
}

bool TTextMatcher::ByRule(const QString &text) const
{
    return UpperCase(text).contains(upper_);
}

template <typename Char> TTextMatcher::TScan TTextMatcher::Scan(const Char *text, qsizetype size) const
{
    const auto isAscii = [](const Char *from, qsizetype count) {
        if constexpr (sizeof(Char) == 1)
            return IsAsciiBytes(from, count);
        else
            return IsAsciiUtf16(from, count);
    };
    const qsizetype length = qsizetype(folded_.size());
    if (length == 0)
        return isAscii(text, size) ? TScan::Found : TScan::NotAscii;
    const auto equalAt = [&](qsizetype at) {
        for (qsizetype k = 0; k < length; ++k)
            if ((unsigned(text[at + k]) | uchar(caseBits_[size_t(k)])) != uchar(folded_[size_t(k)]))
                return false;
        return true;
    };
#if defined(__SSE2__)
    // Sixteen bytes at a time, each checked for being ASCII; the places
    // where the first two characters fit are compared in full.
    constexpr qsizetype lanes = 16 / qsizetype(sizeof(Char));
    const qsizetype second = length > 1 ? 1 : 0;
    const auto splat = [](char byte) {
        if constexpr (sizeof(Char) == 1)
            return _mm_set1_epi8(byte);
        else
            return _mm_set1_epi16(short(uchar(byte)));
    };
    const auto equal = [](__m128i a, __m128i b) {
        if constexpr (sizeof(Char) == 1)
            return _mm_cmpeq_epi8(a, b);
        else
            return _mm_cmpeq_epi16(a, b);
    };
    const __m128i first = splat(folded_[0]), firstBits = splat(caseBits_[0]);
    const __m128i next = splat(folded_[size_t(second)]), nextBits = splat(caseBits_[size_t(second)]);
    const __m128i beyondAscii = _mm_set1_epi16(short(0xFF80)), zero = _mm_setzero_si128();
    // Whether a block (or blocks or-ed together) holds a character beyond
    // ASCII.
    const auto beyond = [&](__m128i raw) {
        if constexpr (sizeof(Char) == 1)
            return _mm_movemask_epi8(raw) != 0;
        else
            return _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(raw, beyondAscii), zero)) != 0xFFFF;
    };
    // The places in a block of text (raw) where the first two characters
    // fit, given the block one character on (along), one bit per byte.
    const auto candidates = [&](__m128i raw, __m128i along) -> unsigned {
        return unsigned(_mm_movemask_epi8(_mm_and_si128(equal(_mm_or_si128(raw, firstBits), first),
                                                        equal(_mm_or_si128(along, nextBits), next))));
    };
    // Character positions only: a UTF-16 character sets two bits.
    constexpr unsigned everyChar = sizeof(Char) == 1 ? ~0u : 0x55555555u;
    const auto load = [](const Char *from) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(from));
    };
    // The places in bits (one per byte from text + from) compared in full;
    // ASCII up to from + blocks * lanes, so must the rest be.
    const auto foundAmong = [&](unsigned bits, qsizetype from, qsizetype blocks) {
        for (; bits; bits &= bits - 1) {
            const qsizetype at = from + qsizetype(__builtin_ctz(bits)) / qsizetype(sizeof(Char));
            if (at + length <= size && equalAt(at))
                return isAscii(text + from + blocks * lanes, size - from - blocks * lanes) ? TScan::Found
                                                                                           : TScan::NotAscii;
        }
        return TScan::NotFound;
    };
    qsizetype i = 0;
    // Two blocks at a time, with one test for both.
    for (; i + 2 * lanes + second <= size; i += 2 * lanes) {
        const __m128i low = load(text + i), high = load(text + i + lanes);
        if (beyond(_mm_or_si128(low, high)))
            return TScan::NotAscii;
        const unsigned bits = (candidates(low, load(text + i + second)) |
                               candidates(high, load(text + i + lanes + second)) << 16) &
                              everyChar;
        if (bits) {
            const TScan scan = foundAmong(bits, i, 2);
            if (scan != TScan::NotFound)
                return scan;
        }
    }
    if (i + lanes + second <= size) {
        const __m128i raw = load(text + i);
        if (beyond(raw))
            return TScan::NotAscii;
        const TScan scan = foundAmong(candidates(raw, load(text + i + second)) & everyChar, i, 1);
        if (scan != TScan::NotFound)
            return scan;
        i += lanes;
    }
    if (i == size)
        return TScan::NotFound;
    // The rest, less than a block and a character, as the last block of the
    // text (or the whole short text padded with zeros), without reading
    // beyond it: the places before i were seen, and the search text must
    // fit before the end.
    const qsizetype start = size >= lanes ? size - lanes : 0;
    const __m128i raw = size >= lanes ? load(text + start) : LoadShort(text, size_t(size) * sizeof(Char));
    if (beyond(raw))
        return TScan::NotAscii;
    for (unsigned bits = candidates(raw, second ? _mm_srli_si128(raw, sizeof(Char)) : raw) & everyChar; bits;
         bits &= bits - 1) {
        const qsizetype at = start + qsizetype(__builtin_ctz(bits)) / qsizetype(sizeof(Char));
        if (at >= i && at + length <= size && equalAt(at))
            return TScan::Found;
    }
    return TScan::NotFound;
#else
    if (!isAscii(text, size))
        return TScan::NotAscii;
    for (qsizetype i = 0; i + length <= size; ++i)
        if (equalAt(i))
            return TScan::Found;
    return TScan::NotFound;
#endif
}

bool TTextMatcher::Matches(QStringView text) const
{
    if (asciiInPlace_) {
        // An ASCII text upper-cases to ASCII, which cannot hold anything else.
        if (!searchAscii_ && IsAsciiUtf16(text.utf16(), text.size()))
            return false;
        if (searchAscii_) {
            const TScan scan = Scan(text.utf16(), text.size());
            if (scan != TScan::NotAscii)
                return scan == TScan::Found;
        }
    }
    return ByRule(text.toString());
}

bool TTextMatcher::MatchesUtf8(QByteArrayView text) const
{
    if (asciiInPlace_) {
        if (!searchAscii_ && IsAsciiBytes(text.data(), text.size()))
            return false;
        if (searchAscii_) {
            const TScan scan = Scan(text.data(), text.size());
            if (scan != TScan::NotAscii)
                return scan == TScan::Found;
        }
    }
    return ByRule(QString::fromUtf8(text));
}

bool TTextMatcher::MatchesStored(const TFieldDef &field, const QVariant &value) const
{
    // Texts first, most of them still their stored bytes.
    const int type = value.typeId();
    if (type == QMetaType::QByteArray) {
        const QByteArray &bytes = *static_cast<const QByteArray *>(value.constData());
        if (asciiInPlace_ && searchAscii_) {
            const TScan scan = Scan(bytes.constData(), bytes.size());
            if (scan != TScan::NotAscii)
                return scan == TScan::Found;
        }
        return MatchesUtf8(bytes);
    }
    if (type == QMetaType::QString)
        return Matches(*static_cast<const QString *>(value.constData()));
    if (type == QMetaType::UnknownType)
        return false;
    // The display form of a date holds digits and slashes only, that of a
    // time digits and colons: most search texts cannot be in it.
    if (!CanMatchType(field.type))
        return false;
    if (field.type == ftDate && type == QMetaType::QDate) {
        const QDate date = *static_cast<const QDate *>(value.constData());
        if (HasFourDigitYear(date)) {
            if (!asciiInPlace_) {
                char text[10];
                DateText(date, text);
                return ByRule(QString::fromLatin1(text, 10));
            }
            // A file's dates gather on few days: each day is worked out
            // once and its answer kept.
            const qint64 day = date.toJulianDay();
            if (dayAnswers_.empty())
                dayAnswers_.resize(1024);
            TDayAnswer &answer = dayAnswers_[size_t(day) % dayAnswers_.size()];
            if (answer.day != day) {
                const TCivilDate civil = CivilDate(date);
                answer.day = day;
                answer.found = std::any_of(dateFits_.begin(), dateFits_.end(), [&](const TPlaceFit &fit) {
                    return fit.Holds(civil.day, civil.month, civil.year);
                });
            }
            return answer.found;
        }
    } else if (field.type == ftTime && type == QMetaType::QTime) {
        const QTime time = *static_cast<const QTime *>(value.constData());
        if (time.isValid()) {
            if (!asciiInPlace_) {
                char text[8];
                TimeText(time, text);
                return ByRule(QString::fromLatin1(text, 8));
            }
            const unsigned seconds = unsigned(time.msecsSinceStartOfDay()) / 1000;
            return std::any_of(timeFits_.begin(), timeFits_.end(), [&](const TPlaceFit &fit) {
                return fit.Holds(seconds / 3600, seconds / 60 % 60, seconds % 60);
            });
        }
    }
    return Matches(FormatValue(field, value));
}
