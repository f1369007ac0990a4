#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// The program shows, parses, compares and writes every date as day/month/year
// and every time as hours:minutes:seconds, whatever the desktop's locale says.
inline constexpr const char *kDateFormat = "dd/MM/yyyy";
inline constexpr const char *kTimeFormat = "hh:mm:ss";

QString FormatDate(const QDate &date);         // "" for a null date
QString FormatTime(const QTime &time);         // "" for a null time
QString FormatDateTime(const QDateTime &when); // "dd/mm/yyyy hh:mm:ss"
// Dates the program keeps have four-digit years: 1 to 9999.
inline constexpr int kMinYear = 1;
inline constexpr int kMaxYear = 9999;
bool IsStorableDate(const QDate &date); // valid and within those years
QDate ParseDate(const QString &text);   // null when not a valid date in those years
QTime ParseTime(const QString &text);   // null when not a valid time

// Locale-aware upper case; the one way the program folds text for
// case-insensitive comparisons of status words, file and folder names.
QString UpperCase(const QString &text);
bool SameText(const QString &a, const QString &b);
