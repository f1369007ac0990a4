#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// The rules that turn an action's status, severity and dates into what the
// user sees: which actions are listed, indicator colours and texts, the
// due-date text and the row colours. Words are compared upper-cased,
// exactly and untrimmed.

inline const QStringList &StatusWords()
{
    static const QStringList words{"Void",    "Assigned", "Transmitted",  "Active",
                                   "Pending", "On Hold",  "Reintroduced", "Resolved"};
    return words;
}

inline const QStringList &SeverityWords()
{
    static const QStringList words{"Cosmetic", "Low",      "Medium",   "Medium to High",
                                   "High",     "Blocking", "Red Alert"};
    return words;
}

// A column of the action list: the field it shows and its title.
struct TActionListColumn {
    QString field;
    QString title;
};
// The columns of the action list in their order, the same for the window's
// grid and every other listing of the actions.
const QList<TActionListColumn> &ActionListColumns();

// A colour as red, green and blue, so the rules need no GUI library; the
// windows turn it into a QColor (ToQColor). The default value is no colour,
// which leaves the window's own.
struct TRgb {
    constexpr TRgb() = default;
    constexpr TRgb(int r, int g, int b) : red(r), green(g), blue(b), valid(true) {}
    constexpr bool isValid() const { return valid; }
    bool operator==(const TRgb &) const = default;

    int red = 0;
    int green = 0;
    int blue = 0;
    bool valid = false;
};

// The background of a selected row that no other rule colours, in the
// action list and in the search results.
inline constexpr TRgb kSelectedRowColor(166, 202, 240);

// The status "On Hold" (upper-cased): such an action is never overdue.
bool IsOnHold(const QString &status);
// The severities the reports highlight: "High", "Blocking" and "Red Alert"
// (upper-cased).
bool IsSevere(const QString &severity);

// The action identifier that no action has: the log, decisions and
// statements filtered by it show none of their rows.
inline constexpr int kNoActionId = -1000;

// Resolved when the finished date is set, whatever the status word says.
inline bool IsResolved(const QDate &dateFinished)
{
    return dateFinished.isValid();
}

// Owner equals the home actor, both trimmed and upper-cased.
bool IsMine(const QString &actorOwner, const QString &actorHome);

// True when an open action (no finished date) that is not on hold is past
// its due date; the status is compared upper-cased and untrimmed.
bool IsActionOverdue(const QDate &dateFinished, const QString &status, const QDate &dateDue,
                     const QDate &today);

// The list filter. `filter` is the setting Actions.Filter, a TActionFilter
// value (any other number: all, "mine" ignored); showMine is the state of
// the action list's "Show Mine" (off while no list is open) and is only
// honoured with a non-blank home actor.
struct TActionFilterInput {
    int filter = 0;
    bool showMine = false;
    QString actorHome; // header ACTOR_HOME
};
// "Show Mine" takes effect only with a non-blank home actor.
inline bool MineApplies(const QString &actorHome)
{
    return !actorHome.trimmed().isEmpty();
}
// Whether the filter keeps only the actions owned by the home actor.
bool FiltersMine(const TActionFilterInput &input);
bool AcceptAction(const TActionFilterInput &input, bool resolved, const QString &actorOwner);

struct TSeverityIndicator {
    bool visible = false;
    TRgb color;
    QString hint; // Severity is "<SEVERITY>"
};
TSeverityIndicator SeverityIndicator(bool hasRecord, const QString &severity);

struct TStatusIndicator {
    bool visible = false;
    TRgb background;
    TRgb textColor;
    QString text;
    QString hint; // Action Status is "<STATUS>" / Log Status is "<STATUS>"
};
enum class TStatusOf { Action, Log };
TStatusIndicator StatusIndicator(bool hasRecord, const QString &status, TStatusOf of);

// "" when resolved, without due date or overdue; else the days-left text.
QString DueDateText(const QDate &dateDue, const QDate &dateFinished, const QDate &today);

struct TRowColors {
    TRgb text;
    TRgb background;
    bool operator==(const TRowColors &) const = default;
};
// Colours of every cell of an action's row; dueDateIndicator is the setting
// Actions.DueDateIndicator in whole days.
TRowColors ActionRowColors(const QDate &dateFinished, const QString &status, const QDate &dateDue,
                           int dueDateIndicator, const QDate &today, bool selected);
