#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <array>

// Compares versions of an Action File's records and plans how to bring them
// together, field by field against the version both came from. Records are
// maps of field name to stored value (null, int, QDate, QTime, QString); the
// engine knows no files and no tables.

// Parents before their children: the order of operations relies on it.
enum class TMergeKind { Header, Contact, Action, Log, Decision, Statement };
inline constexpr int kMergeKindCount = 6;

using TRecordValues = QVariantMap;

// One version of the records, per kind, each list in the table's order.
struct TRecordSet {
    std::array<QList<TRecordValues>, kMergeKindCount> records;

    QList<TRecordValues> &operator[](TMergeKind kind) { return records[size_t(kind)]; }
    const QList<TRecordValues> &operator[](TMergeKind kind) const { return records[size_t(kind)]; }
};

// Merge: the user answers the questions (a returned Dravelin File).
// Sync: nothing is asked; where both sides changed a field, mine stays and
// the other value is reported, and a deletion applies only to a record the
// other side left unchanged (CalDAV synchronisation).
enum class TMergeMode { Merge, Sync };

struct TMergeOptions {
    TMergeMode mode = TMergeMode::Merge;
    // The field that identifies an action; children name their action by the
    // value of that field in ID_ACTION. A synchroniser keys actions by the
    // todo's UID instead.
    QString actionKeyField = QStringLiteral("ID");
};

enum class TChoice { KeepMine, TakeTheirs };

// Who changed a field since the base: only they (taken without asking), only
// I (kept), or both to different values (asked in a merge; in a sync mine
// stays and theirs is reported). Without a base every difference is a
// conflict.
enum class TFieldClass { Theirs, Mine, Conflict };

struct TFieldDiff {
    QString field;
    QVariant base, mine, theirs;
    TFieldClass fieldClass = TFieldClass::Conflict;
    TChoice choice = TChoice::KeepMine;
    bool question = false;
};

enum class TRecordChange {
    Changed,     // on both sides, with different fields
    AddedByThem, // new on their side
    AddedByMe,
    // Both sides added a record under the same identifier and the records
    // differ: two records. Taking theirs inserts theirs as a further record.
    AddedByBoth,
    DeletedByThem, // I left it unchanged
    DeletedByMe,   // they left it unchanged
    DeletedByThemChangedByMe,
    DeletedByMeChangedByThem,
    OnlyTheirs, // without a base: added by them or deleted by me
    OnlyMine,   // without a base: added by me or deleted by them
};

struct TRecordDiff {
    TMergeKind kind = TMergeKind::Action;
    QString key;       // the record's identifier on its side
    QString actionKey; // the action it is listed under; empty for header and contacts
    TRecordChange change = TRecordChange::Changed;
    // A choice on the whole record (added, deleted); a changed record takes
    // its choices per field.
    TChoice choice = TChoice::KeepMine;
    bool question = false;
    // Sync: both sides changed the record; the caller records theirs.
    bool conflict = false;
    // A log entry, decision or statement that exists on one side only
    // together with its action follows the action's choice: index of the
    // action's difference, or -1.
    int follows = -1;
    TRecordValues base, mine, theirs; // empty where the side lacks the record
    // The record's place in each side's list, -1 where the side lacks it.
    int baseRow = -1, mineRow = -1, theirsRow = -1;
    bool InBase() const { return baseRow >= 0; }
    bool InMine() const { return mineRow >= 0; }
    bool InTheirs() const { return theirsRow >= 0; }
    QList<TFieldDiff> fields; // Changed only
};

// What to do to one side's records to make it the merged result.
struct TRecordOp {
    enum Type { Delete, Update, Insert };
    Type type = Update;
    TMergeKind kind = TMergeKind::Action;
    QString key; // the record's identifier
    // Update, Delete: the record's place in that side's list; Insert: its
    // place in the other side's list.
    int row = -1;
    TRecordValues values; // Insert: the whole record; Update: the fields to set
};

// A run of differences shown together: the header, the contacts, or one
// action with its log entries, decisions and statements.
struct TMergeGroup {
    TMergeKind kind = TMergeKind::Action; // Header, Contact or Action
    QString actionKey;
    QList<int> diffs;
};

class TMergePlan {
public:
    bool threeWay = false;
    TMergeMode mode = TMergeMode::Merge;
    // In group order: header, contacts, then each action (in the order of
    // its key) followed by its children.
    QList<TRecordDiff> diffs;

    QList<TMergeGroup> Groups() const;
    int QuestionCount() const; // records and fields still asked
    // Answers every question with choice (the command line's --theirs and
    // --mine).
    void DecideQuestions(TChoice choice);
    void SetChoice(int diff, TChoice choice);
    void SetFieldChoice(int diff, int field, TChoice choice);

    TChoice EffectiveChoice(int diff) const;
    // Whether the record exists after the merge.
    bool Kept(int diff) const;
    // The record as it is after the merge; empty when it is not kept.
    TRecordValues Merged(int diff) const;

    // The operations, in an order that runs as one transaction: deletions
    // (children before their actions), updates, insertions (actions before
    // their children). Inserted records carry the other side's identifiers;
    // a caller that hands out its own renumbers them and the children that
    // name them.
    QList<TRecordOp> OpsForMine() const { return OpsFor(true); }
    QList<TRecordOp> OpsForTheirs() const { return OpsFor(false); }

private:
    QList<TRecordOp> OpsFor(bool mineSide) const;
};

// Plans the merge of theirs into mine; without base the merge is two-way.
TMergePlan PlanMerge(const TRecordSet *base, const TRecordSet &mine, const TRecordSet &theirs,
                     const TMergeOptions &options = {});

// Whether two stored values are the same (null equals null only).
bool SameValue(const QVariant &a, const QVariant &b);
