#pragma once

#include "TableMember.h"

#include <QString>
#include <QVariant>
#include <deque>
#include <optional>
#include <vector>

class TTables;

// The values of a row in field order, in their read form (texts as QString),
// independent of the table they were taken from.
using TRowImage = std::vector<QVariant>;

// One row a change touched: what it held before (none: the change added it)
// and after (none: the change removed it).
struct TChangedRow {
    TableMember member = TableMember::Header;
    std::optional<TRowImage> before;
    std::optional<TRowImage> after;
};

// Whether two images read the same, value by value.
bool SameImage(const TRowImage &a, const TRowImage &b);

// One command's changes to the table set, with what the command is called
// where the user is offered to take it back ("Delete Action "QUAY-4"").
struct TChangeStep {
    QString caption;
    std::vector<TChangedRow> rows;

    // Adds the rows of a later change made on top of these: a row the later
    // change found as this step left it is one row, from this step's before
    // to the later after; a row that ends as it began drops out.
    void Absorb(std::vector<TChangedRow> later);
    // Leaves out what `applied` (an undo or redo written late, with this
    // step's commit) did: a row it changed starts from where it left it.
    void Discount(const std::vector<TChangedRow> &applied);
};

// The steps of an open Action File that can be taken back and done again,
// oldest first. A new step drops what was undone before it; past the limit
// the oldest steps go. Steps recorded while a group is open become one.
class TChangeHistory {
public:
    static constexpr size_t kDefaultLimit = 1000;

    void Clear();
    void SetLimit(size_t limit);
    size_t Limit() const { return limit_; }

    // Records a command's changes as a step (nothing when there are none).
    void Record(TChangeStep step);

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    const TChangeStep &NextUndo() const { return undo_.back(); }
    const TChangeStep &NextRedo() const { return redo_.back(); }
    size_t UndoCount() const { return undo_.size(); }
    size_t RedoCount() const { return redo_.size(); }
    // "Undo <caption>", or "Undo" alone when there is nothing to undo; the
    // same for Redo.
    QString UndoCaption() const;
    QString RedoCaption() const;

    // The step moves to the other side once it has been applied.
    void Undone();
    void Redone();

    // While a group is open every step recorded joins the first one, under
    // the group's caption (when given). Groups nest; the outermost ends it.
    void BeginGroup(const QString &caption);
    void EndGroup();

private:
    void Trim();

    std::deque<TChangeStep> undo_;
    std::vector<TChangeStep> redo_;
    size_t limit_ = kDefaultLimit;
    int groupDepth_ = 0;
    QString groupCaption_;
    bool groupStarted_ = false;
};

// The caption a step gets when its command named none, from the row that
// tells most about it: an action before its children, its children before
// contacts and the properties ("New Action "QUAY-4"", "Edit Contact
// "Smith"", "Delete Log Entry "Called back"", "Edit Properties"); a row of
// lead, when given, before any other.
QString DerivedCaption(const TTables &tables, const std::vector<TChangedRow> &rows,
                       std::optional<TableMember> lead = std::nullopt);

// The ID of the action a step touched, as it is once the step is undone
// (undone) or done: the action's own, else that of the action a log entry,
// decision or statement belongs to; -1 when the step touched none.
int TouchedActionId(const TTables &tables, const TChangeStep &step, bool undone);

// Puts the step's images in place as one change of the table set: undone,
// each row goes back from its after image to its before image; else from
// before to after. Every row to change is found first, by its whole image;
// when one is not there as the step left it, AppError is thrown and nothing
// changes. The change is committed like any other (TNotSavedError when it
// could not be written, the change then pending in memory).
void ApplyStep(TTables &tables, const TChangeStep &step, bool undone);

// Keeps a history group open for its lifetime (see TChangeHistory).
class THistoryGroup {
public:
    THistoryGroup(TChangeHistory &history, const QString &caption) : history_(history)
    {
        history_.BeginGroup(caption);
    }
    ~THistoryGroup() { history_.EndGroup(); }
    THistoryGroup(const THistoryGroup &) = delete;
    THistoryGroup &operator=(const THistoryGroup &) = delete;

private:
    TChangeHistory &history_;
};
