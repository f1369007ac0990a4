#pragma once

#include "TTable.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <string>
#include <vector>

// The text FormatValue gives for a stored value, without its cost for the
// dates and times a search shows by the thousand.
QString DisplayText(const TFieldDef &field, const QVariant &value);

// Whether a text, upper-cased the locale-aware way (UpperCase), contains a
// search text upper-cased the same way. Gives exactly the answer of
// UpperCase(text).contains(UpperCase(search)), but texts made of ASCII
// characters only, in a locale that upper-cases ASCII letters to ASCII
// letters, are compared in place without being converted; any other text
// is converted and compared as the rule says.
class TTextMatcher {
public:
    explicit TTextMatcher(const QString &search);

    const QString &UpperSearch() const { return upper_; }

    bool Matches(QStringView text) const;
    bool MatchesUtf8(QByteArrayView text) const;
    // A stored value of the field in its display form (dates "dd/mm/yyyy",
    // times "hh:mm:ss"); texts may still be their undecoded UTF-8 bytes.
    // Null never matches.
    bool MatchesStored(const TFieldDef &field, const QVariant &value) const;
    // False when no value of a field of this type can match, so a walk over
    // many records need not read those values at all.
    bool CanMatchType(TFieldType type) const
    {
        return !asciiInPlace_ ||
               ((type != ftDate || !dateFits_.empty()) && (type != ftTime || !timeFits_.empty()));
    }

    // The values of the three parts of a fixed display form ("dd/mm/yyyy":
    // day, month, year; "hh:mm:ss": hour, minute, second) that fit the
    // search text standing at one place of the form, one bit per value.
    struct TPlaceFit {
        quint64 first = 0, second = 0;
        std::vector<quint64> third;
        bool Holds(unsigned a, unsigned b, unsigned c) const
        {
            return (first >> a & second >> b & third[c / 64] >> c % 64) & 1;
        }
    };

private:
    bool ByRule(const QString &text) const;
    enum class TScan { NotFound, Found, NotAscii };
    // Compares an ASCII text in place; NotAscii when it is not one.
    template <typename Char> TScan Scan(const Char *text, qsizetype size) const;

    QString upper_;
    // The search text upper-cased, as ASCII bytes, and per byte 0x20 where it
    // is a letter (which matches either case) or 0 where it must be equal.
    std::string folded_;
    std::string caseBits_;
    // ASCII texts can be compared in place: the locale upper-cases every
    // ASCII character to its ASCII capital.
    bool asciiInPlace_ = false;
    bool searchAscii_ = false;
    // Where the search text can stand in the display form of a date, of a
    // time, so a date or time is matched from its parts without being
    // written out; empty when nowhere.
    std::vector<TPlaceFit> dateFits_;
    std::vector<TPlaceFit> timeFits_;
    // The answers for the dates last seen, by day number modulo the size.
    struct TDayAnswer {
        qint64 day = -1;
        bool found = false;
    };
    mutable std::vector<TDayAnswer> dayAnswers_;
};
