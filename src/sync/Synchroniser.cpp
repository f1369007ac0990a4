#include "Synchroniser.h"

#include "AppError.h"
#include "ConflictLog.h"
#include "SyncState.h"
#include "TodoMapping.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <limits>

namespace {

const QString kId = QStringLiteral("ID");
const QString kChain = QStringLiteral("ID_CHAIN");
const QString kStatus = QStringLiteral("STATUS");
const QString kStatusDate = QStringLiteral("DATE_STATUS");
const QString kFinished = QStringLiteral("DATE_FINISHED");
// The ID of no action: a pair without one, a state entry that names none.
constexpr int kNoAction = std::numeric_limits<int>::min();
// The key of a todo in the merge: its UID.
const QString kMergeKey = QStringLiteral("SYNC_UID");

// Rounds of one synchronisation: a todo changed on the server while it was
// written is read again and merged in the next round.
constexpr int kMaxRounds = 3;
// Writes between two saves of the state, so a stop redoes little.
constexpr int kSaveEvery = 1000;
// Refused writes in a row after which the server is taken to be failing.
constexpr int kMaxRefusedInARow = 5;

// The fields that travel, without ID, the file's own number of the action.
const QStringList &SyncedFields()
{
    static const QStringList fields = [] {
        QStringList names = TodoActionFields();
        names.removeAll(kId);
        return names;
    }();
    return fields;
}

bool IsSyncedField(const QString &name)
{
    static const QSet<QString> fields(SyncedFields().begin(), SyncedFields().end());
    return fields.contains(name);
}

// The fields of values that travel. A map that holds no others is passed on
// as it is, which spares copying the most of them.
TRecordValues Synced(TRecordValues values)
{
    if (values.contains(kId))
        values.remove(kId);
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (IsSyncedField(it.key()))
            continue;
        TRecordValues synced;
        for (const QString &field : SyncedFields())
            if (const auto found = values.constFind(field); found != values.constEnd())
                synced.insert(field, found.value());
        return synced;
    }
    return values;
}

// Equal field by field; a missing field is null. Both maps are walked in
// the order of their names, as most states compare thousands of them.
bool SameFields(const TRecordValues &a, const TRecordValues &b)
{
    const auto differs = [](const QString &field, const QVariant &x, const QVariant &y) {
        return !SameValue(x, y) && IsSyncedField(field);
    };
    auto i = a.cbegin(), j = b.cbegin();
    while (i != a.cend() || j != b.cend()) {
        if (i != a.cend() && j != b.cend() && i.key() == j.key()) {
            if (differs(i.key(), i.value(), j.value()))
                return false;
            ++i;
            ++j;
        } else if (j == b.cend() || (i != a.cend() && i.key() < j.key())) {
            if (differs(i.key(), i.value(), QVariant()))
                return false;
            ++i;
        } else {
            if (differs(j.key(), QVariant(), j.value()))
                return false;
            ++j;
        }
    }
    return true;
}

bool IsDate(const QVariant &value)
{
    return value.typeId() == QMetaType::QDate && value.toDate().isValid();
}

// What an action made from a todo and the todo have in common, whatever
// the defaults of a new action and the resolve rules set: the texts and
// dates the user gave and whether it is finished. Empty when the todo gives
// none of them, as such a todo cannot be told from another.
QString ContentKey(const TRecordValues &values)
{
    static const QStringList fields{QStringLiteral("ID_ACTION"),       QStringLiteral("SYNOPSIS"),
                                    QStringLiteral("DESCRIPTION"),     QStringLiteral("DATE_DUE"),
                                    QStringLiteral("FUNCTIONAL_AREA"), QStringLiteral("RELATIONS"),
                                    QStringLiteral("SIGN_OFF")};
    QString key;
    bool any = false;
    for (const QString &field : fields) {
        const QVariant value = values.value(field);
        key += QChar(0x1F);
        if (SameValue(value, QVariant()))
            continue;
        any = true;
        key += value.typeId() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate) : value.toString();
    }
    return any ? key + (IsDate(values.value(kFinished)) ? QLatin1Char('F') : QLatin1Char('O')) : QString();
}

int Id(const TRecordValues &values)
{
    const QVariant id = values.value(kId);
    return id.typeId() == QMetaType::Int ? id.toInt() : kNoAction;
}

bool SameList(const QUrl &a, const QUrl &b)
{
    const auto options = QUrl::StripTrailingSlash | QUrl::NormalizePathSegments;
    return a.adjusted(options) == b.adjusted(options);
}

// Stops the synchronisation with the cause.
struct TStop {
    TDavOutcome outcome;
    QString message;
};

void Check(const TDavStatus &status)
{
    if (!status.Ok())
        throw TStop{status.outcome, status.message};
}

// An answer that says the connection or the account does not work: no
// further request would do better.
bool Fatal(TDavOutcome outcome)
{
    switch (outcome) {
    case TDavOutcome::Unauthorized:
    case TDavOutcome::Unreachable:
    case TDavOutcome::TimedOut:
    case TDavOutcome::CertificateError:
    case TDavOutcome::Insecure:
    case TDavOutcome::Cancelled:
        return true;
    default:
        return false;
    }
}

// One action and its todo during a synchronisation.
struct TPair {
    QString uid;
    QUrl href;
    QString key;        // TCalDavClient::TodoKey of href
    int id = kNoAction; // the action here
    QString etag;       // the server's version known; empty while none
    TRecordValues base; // the todo as the server had it at etag
    bool hasBase = false;
    TRecordValues sent; // a write whose answer never came
    bool dropped = false;

    // This round.
    bool onServer = false;
    bool fetched = false; // read this round: theirs and ical are the server's now
    bool skip = false;    // unreadable on the server: left as it is
    TRecordValues theirs; // the todo as the server has it
    QByteArray ical;
    // The action here is as the base says, known in Merge; false when not
    // known.
    bool sameAsBase = false;
    bool changedHere = false;
    bool deleteThere = false;
    bool deletedHere = false;
};

void SetHref(TPair &pair, const QUrl &href)
{
    pair.href = href;
    pair.key = TCalDavClient::TodoKey(href);
}

struct TPush {
    int pair = -1;
    bool remove = false;
    QString etag; // the version written over; empty for a new todo
    QByteArray ical;
};

} // namespace

class TSynchroniser::TRun {
public:
    explicit TRun(TSynchroniser &owner) : owner_(owner), client_(*owner.client_) {}

    TSyncResult Run()
    {
        TSyncResult result;
        try {
            Load();
            for (int round = 1;; ++round) {
                Round();
                if (refetch_.isEmpty())
                    break;
                if (round == kMaxRounds) {
                    summary_.notes.append(
                        QStringLiteral("%1 tasks were changed on the server while they were "
                                       "written; the next synchronisation brings them in")
                            .arg(refetch_.size()));
                    break;
                }
            }
            if (refused_ > 0)
                throw TStop{
                    TDavOutcome::ServerError,
                    QStringLiteral("%1 tasks could not be written: %2").arg(refused_).arg(firstRefusal_)};
        } catch (const TStop &stop) {
            result.ok = false;
            result.outcome = stop.outcome;
            result.error = stop.message;
            // What was merged and written so far is kept for the next time.
            if (consistent_) {
                try {
                    Save();
                } catch (const AppError &error) {
                    result.error += QLatin1Char('\n') + error.message();
                }
            }
        } catch (const AppError &error) {
            result.ok = false;
            result.error = error.message();
        }
        result.summary = summary_;
        result.requests = client_.RequestCount();
        return result;
    }

private:
    void Progress(TSyncStep step, qint64 done, qint64 total)
    {
        if (owner_.progress_)
            owner_.progress_(step, done, total);
    }

    // While it exists, the bytes of the client's answers are reported as
    // the reading of the server's changes.
    class TReadingProgress {
    public:
        explicit TReadingProgress(TRun &run) : client_(run.client_)
        {
            client_.SetProgress(
                [&run](qint64 received, qint64 total) { run.Progress(TSyncStep::Reading, received, total); });
        }
        ~TReadingProgress() { client_.SetProgress({}); }
        TReadingProgress(const TReadingProgress &) = delete;
        TReadingProgress &operator=(const TReadingProgress &) = delete;

    private:
        TCalDavClient &client_;
    };

    void CheckCancelled()
    {
        if (owner_.cancelled_)
            throw TStop{TDavOutcome::Cancelled, QStringLiteral("The synchronisation was cancelled")};
    }

    void Load()
    {
        TSyncState state = LoadSyncState(owner_.stateFile_);
        list_ = owner_.list_;
        // Another task list: its todos are new to this file, but each action
        // keeps its UID.
        const bool sameList = !state.collectionUrl.isEmpty() && SameList(QUrl(state.collectionUrl), list_);
        if (sameList) {
            token_ = state.syncToken;
            ctag_ = state.ctag;
        }
        dirty_ = !sameList;
        for (TSyncedAction &action : state.actions) {
            TPair pair;
            pair.uid = action.uid;
            pair.id = Id(action.base);
            if (sameList) {
                SetHref(pair, list_.resolved(QUrl(action.href)));
                pair.etag = action.etag;
                pair.hasBase = !action.etag.isEmpty();
                if (pair.hasBase)
                    pair.base = Synced(std::move(action.base));
                pair.sent = Synced(std::move(action.sent));
            } else if (pair.id != kNoAction) {
                SetHref(pair, TCalDavClient::TodoUrl(list_, pair.uid));
            } else {
                continue;
            }
            pairs_.push_back(std::move(pair));
        }
    }

    void Save()
    {
        TSyncState state;
        state.collectionUrl = list_.toString(QUrl::FullyEncoded);
        state.user = owner_.user_;
        state.syncToken = token_;
        state.ctag = ctag_;
        for (const TPair &pair : pairs_) {
            if (pair.dropped || pair.id == kNoAction)
                continue;
            TSyncedAction action{pair.uid, pair.href.toString(QUrl::FullyEncoded), pair.etag,
                                 pair.hasBase ? pair.base : TRecordValues(), pair.sent};
            action.base.insert(kId, pair.id);
            state.actions.append(std::move(action));
        }
        SaveSyncState(owner_.stateFile_, state);
        dirty_ = false;
    }

    void ReadLocal()
    {
        local_.clear();
        const QList<TRecordValues> actions = owner_.local_.ReadActions();
        local_.reserve(actions.size());
        for (const TRecordValues &action : actions) {
            // Saved actions have their number; one without is left out.
            if (const int id = Id(action); id != kNoAction)
                local_.insert(id, Synced(action));
        }
    }

    void Index()
    {
        byKey_.clear();
        byUid_.clear();
        byId_.clear();
        for (int i = 0; i < int(pairs_.size()); ++i) {
            const TPair &pair = pairs_[size_t(i)];
            if (pair.dropped)
                continue;
            byKey_.insert(pair.key, i);
            byUid_.insert(pair.uid, i);
            if (pair.id != kNoAction)
                byId_.insert(pair.id, i);
        }
    }

    void Round()
    {
        ReadLocal();
        Index();
        Fetch();
        PairByContent();
        PairNewActions();
        Merge();
        Push();
    }

    // The server's changes since the last synchronisation, and the todos
    // whose write failed for a change made meanwhile.
    void Fetch()
    {
        consistent_ = false;
        TListState since{token_, ctag_, {}};
        for (TPair &pair : pairs_) {
            pair.onServer = !pair.dropped && !pair.etag.isEmpty();
            pair.fetched = pair.skip = pair.changedHere = pair.deleteThere = pair.deletedHere = false;
            pair.theirs = pair.base;
            pair.ical.clear();
            if (pair.onServer)
                since.etags.insert(pair.key, pair.etag);
        }
        const TReadingProgress reading(*this);
        TTodoChanges changes;
        Check(client_.FetchChanges(list_, since, changes));
        if (!refetch_.isEmpty()) {
            QSet<QString> have;
            for (const TRemoteTodo &todo : changes.changed)
                have.insert(TCalDavClient::TodoKey(todo.url));
            QList<QUrl> again;
            for (const QUrl &url : std::as_const(refetch_))
                if (!have.contains(TCalDavClient::TodoKey(url)))
                    again.append(url);
            Check(client_.FetchTodos(list_, again, changes));
            refetch_.clear();
        }
        newToken_ = changes.syncToken;
        newCtag_ = changes.ctag;
        if (newToken_ != token_ || newCtag_ != ctag_)
            dirty_ = true;

        for (const QUrl &url : std::as_const(changes.removed))
            if (const int i = byKey_.value(TCalDavClient::TodoKey(url), -1); i >= 0)
                pairs_[size_t(i)].onServer = false;
        const QDate today = QDate::currentDate();
        for (const TRemoteTodo &todo : std::as_const(changes.changed))
            Received(todo, TodoToAction(todo.ical, today));
    }

    void Received(const TRemoteTodo &todo, const TTodoReading &reading)
    {
        const QString where = todo.url.path();
        int i = byKey_.value(TCalDavClient::TodoKey(todo.url), -1);
        if (!reading.ok) {
            summary_.notes.append(
                QStringLiteral("The task %1 on the server cannot be read and was left alone: %2")
                    .arg(where, reading.error));
            if (i >= 0)
                pairs_[size_t(i)].skip = true;
            return;
        }
        if (i >= 0 && pairs_[size_t(i)].uid != reading.uid) {
            summary_.notes.append(
                QStringLiteral("The task %1 on the server has another UID now and was left alone")
                    .arg(where));
            pairs_[size_t(i)].skip = true;
            return;
        }
        if (i < 0) {
            i = byUid_.value(reading.uid, -1);
            // A todo of this UID elsewhere is another one; only a todo
            // this program has not seen on the server yet may have moved.
            if (i >= 0 && !(pairs_[size_t(i)].etag.isEmpty() && !pairs_[size_t(i)].onServer)) {
                summary_.notes.append(
                    QStringLiteral("The task %1 on the server has the UID of another task and was left alone")
                        .arg(where));
                return;
            }
            if (i < 0) {
                TPair pair;
                pair.uid = reading.uid;
                pairs_.push_back(std::move(pair));
                i = int(pairs_.size() - 1);
                byUid_.insert(reading.uid, i);
            }
            SetHref(pairs_[size_t(i)], todo.url);
            byKey_.insert(TCalDavClient::TodoKey(todo.url), i);
        }
        TPair &pair = pairs_[size_t(i)];
        for (const QString &note : reading.notes)
            summary_.notes.append(QStringLiteral("The task %1 on the server: %2").arg(where, note));
        // A program that drops the properties it does not know leaves the
        // fields only this program knows as they were.
        TRecordValues theirs = reading.foreign && pair.hasBase ? pair.base : TRecordValues();
        const TRecordValues read = Synced(reading.fields);
        for (auto it = read.begin(); it != read.end(); ++it)
            theirs.insert(it.key(), it.value());
        // The write whose answer never came went through.
        if (!pair.sent.isEmpty() && SameFields(theirs, pair.sent)) {
            pair.base = pair.sent;
            pair.hasBase = true;
        }
        pair.sent.clear();
        pair.theirs = std::move(theirs);
        pair.etag = todo.etag;
        pair.ical = todo.ical;
        pair.onServer = pair.fetched = true;
        dirty_ = true;
    }

    // Todos without an action here and actions without a todo that say the
    // same: a synchronisation stopped after it made the actions and before
    // it wrote down their todos, or the same task made on both sides. They
    // are one action, its todo's version the common ground.
    void PairByContent()
    {
        QList<int> candidates;
        for (int i = 0; i < int(pairs_.size()); ++i) {
            const TPair &pair = pairs_[size_t(i)];
            if (!pair.dropped && !pair.skip && pair.onServer && !local_.contains(pair.id))
                candidates.append(i);
        }
        if (candidates.isEmpty())
            return;
        QList<int> ids;
        for (auto it = local_.begin(); it != local_.end(); ++it)
            if (!byId_.contains(it.key()))
                ids.append(it.key());
        std::sort(ids.begin(), ids.end());
        QHash<QString, QList<int>> byContent;
        for (int id : std::as_const(ids))
            if (const QString key = ContentKey(local_.value(id)); !key.isEmpty())
                byContent[key].append(id);
        for (int i : std::as_const(candidates)) {
            TPair &pair = pairs_[size_t(i)];
            const auto found = byContent.find(ContentKey(pair.theirs));
            if (found == byContent.end() || found.value().isEmpty())
                continue;
            byId_.remove(pair.id);
            pair.id = found.value().takeFirst();
            byId_.insert(pair.id, i);
            pair.base = pair.theirs;
            pair.hasBase = true;
            dirty_ = true;
        }
    }

    // Every action without a todo gets its UID now, kept before anything is
    // written, so a stopped synchronisation sends it under that UID again.
    void PairNewActions()
    {
        QList<int> ids;
        for (auto it = local_.begin(); it != local_.end(); ++it)
            if (!byId_.contains(it.key()))
                ids.append(it.key());
        std::sort(ids.begin(), ids.end());
        for (int id : std::as_const(ids)) {
            TPair pair;
            pair.uid = NewTodoUid();
            SetHref(pair, TCalDavClient::TodoUrl(list_, pair.uid));
            pair.id = id;
            byUid_.insert(pair.uid, int(pairs_.size()));
            byId_.insert(id, int(pairs_.size()));
            pairs_.push_back(std::move(pair));
            dirty_ = true;
        }
    }

    // The action as its todo would say it, where it differs from the base:
    // a value the todo cannot carry exactly is no change made here.
    TRecordValues MineView(const TPair &pair) const
    {
        const TRecordValues &action = *local_.constFind(pair.id);
        if (!pair.hasBase || SameFields(action, pair.base))
            return action;
        const TTodoWriting writing = ActionToTodo(action, pair.uid);
        if (!writing.ok)
            return action;
        const TTodoReading reading = TodoToAction(writing.ical);
        return reading.ok ? Synced(reading.fields) : action;
    }

    // Neither side changed the todo since the last synchronisation: the
    // merge would find nothing in it, and most todos are such.
    bool Unchanged(TPair &pair) const
    {
        if (!pair.hasBase || !pair.onServer || pair.fetched)
            return false;
        const auto action = local_.constFind(pair.id);
        pair.sameAsBase = action != local_.constEnd() && SameFields(*action, pair.base);
        return pair.sameAsBase;
    }

    void Merge()
    {
        TRecordSet base, mine, theirs;
        QHash<QString, int> byUid;
        const auto keyed = [](TRecordValues values, const QString &uid) {
            values.insert(kMergeKey, uid);
            return values;
        };
        for (int i = 0; i < int(pairs_.size()); ++i) {
            TPair &pair = pairs_[size_t(i)];
            pair.sameAsBase = false;
            if (pair.dropped || pair.skip || Unchanged(pair))
                continue;
            byUid.insert(pair.uid, i);
            if (pair.hasBase)
                base[TMergeKind::Action].append(keyed(pair.base, pair.uid));
            if (local_.contains(pair.id))
                mine[TMergeKind::Action].append(keyed(MineView(pair), pair.uid));
            if (pair.onServer)
                theirs[TMergeKind::Action].append(keyed(pair.theirs, pair.uid));
        }
        TMergeOptions options;
        options.mode = TMergeMode::Sync;
        options.actionKeyField = kMergeKey;
        const TMergePlan plan = PlanMerge(&base, mine, theirs, options);

        QList<TActionChange> changes;
        QList<int> inserted; // the pair of each insert
        planned_ = {};
        for (const TRecordDiff &diff : plan.diffs) {
            const int index = byUid.value(diff.key);
            TPair &pair = pairs_[size_t(index)];
            switch (diff.change) {
            case TRecordChange::Changed:
                Changed(pair, diff, changes);
                break;
            case TRecordChange::AddedByThem:
            case TRecordChange::DeletedByMeChangedByThem: {
                TActionChange change{
                    TActionChange::Insert, 0, pair.theirs, IsDate(pair.theirs.value(kFinished)), {}};
                // Made anew, it starts a chain of its own.
                change.fields.remove(kChain);
                if (diff.change == TRecordChange::DeletedByMeChangedByThem) {
                    change.log.append(ChangedOnServerEntry());
                    ++planned_.conflicts;
                }
                changes.append(change);
                inserted.append(index);
                ++planned_.received;
                break;
            }
            case TRecordChange::AddedByMe:
                pair.changedHere = true;
                break;
            case TRecordChange::DeletedByThem:
                changes.append({TActionChange::Delete, pair.id, {}, false, {}});
                pair.deletedHere = true;
                ++planned_.deletedHere;
                break;
            case TRecordChange::DeletedByMe:
                pair.deleteThere = true;
                break;
            case TRecordChange::DeletedByThemChangedByMe:
                changes.append({TActionChange::Update, pair.id, {}, false, {DeletedOnServerEntry()}});
                pair.changedHere = true;
                ++planned_.conflicts;
                break;
            default:
                break;
            }
        }
        CheckCancelled();
        if (!changes.isEmpty()) {
            Progress(TSyncStep::Applying, 0, changes.size());
            const QList<int> ids = owner_.local_.ApplyChanges(changes);
            if (ids.size() != inserted.size())
                throw AppError(QStringLiteral("The Action File gave %1 numbers to %2 new actions")
                                   .arg(ids.size())
                                   .arg(inserted.size()));
            for (int k = 0; k < ids.size(); ++k)
                pairs_[size_t(inserted[k])].id = ids[k];
            Progress(TSyncStep::Applying, changes.size(), changes.size());
            ReadLocal();
            // The changes may have touched other actions too.
            for (TPair &pair : pairs_)
                pair.sameAsBase = false;
            dirty_ = true;
        }
        summary_.received += planned_.received;
        summary_.conflicts += planned_.conflicts;
        summary_.deletedHere += planned_.deletedHere;
        // What the server has is merged here now: it is the new base.
        for (TPair &pair : pairs_) {
            if (pair.dropped || pair.skip)
                continue;
            if (pair.deletedHere || (!pair.onServer && !local_.contains(pair.id))) {
                pair.dropped = true;
                dirty_ = true;
            } else if (pair.fetched) {
                pair.base = pair.theirs;
                pair.hasBase = true;
            } else if (!pair.onServer) {
                pair.etag.clear();
                pair.base.clear();
                pair.hasBase = false;
            }
        }
        token_ = newToken_;
        ctag_ = newCtag_;
        consistent_ = true;
    }

    void Changed(TPair &pair, const TRecordDiff &diff, QList<TActionChange> &changes)
    {
        TActionChange change{TActionChange::Update, pair.id, {}, false, {}};
        QList<std::pair<QString, QVariant>> conflicts;
        bool statusChangedHere = false;
        for (const TFieldDiff &field : diff.fields) {
            if (field.choice == TChoice::TakeTheirs) {
                change.fields.insert(field.field, field.theirs);
                continue;
            }
            pair.changedHere = true;
            statusChangedHere = statusChangedHere || field.field == kStatus || field.field == kStatusDate;
            if (field.fieldClass == TFieldClass::Conflict)
                conflicts.append({field.field, field.theirs});
        }
        if (!conflicts.isEmpty()) {
            change.log.append(FieldConflictEntry(conflicts));
            ++planned_.conflicts;
        }
        // Completed there: resolved here by the program's rules, unless the
        // status was changed here, which the rules would write over.
        change.resolve = IsDate(change.fields.value(kFinished)) && !IsDate(diff.mine.value(kFinished)) &&
                         !statusChangedHere;
        if (!change.fields.isEmpty())
            ++planned_.received;
        if (!change.fields.isEmpty() || !change.log.isEmpty())
            changes.append(change);
    }

    QList<TPush> PlanPushes()
    {
        QList<TPush> pushes;
        QList<QUrl> unread;
        for (int i = 0; i < int(pairs_.size()); ++i) {
            TPair &pair = pairs_[size_t(i)];
            if (pair.dropped || pair.skip)
                continue;
            if (!local_.contains(pair.id)) {
                if (pair.deleteThere)
                    pushes.append({i, true, pair.etag, {}});
            } else if (!pair.onServer) {
                pushes.append({i, false, QString(), {}});
            } else if (!pair.sameAsBase && !SameFields(MineView(pair), pair.base)) {
                pushes.append({i, false, pair.etag, {}});
                if (pair.ical.isEmpty())
                    unread.append(pair.href);
            }
        }
        // A todo is written over as the server has it, so what other
        // programs keep in it stays.
        if (!unread.isEmpty()) {
            TTodoChanges current;
            Check(client_.FetchTodos(list_, unread, current));
            for (const TRemoteTodo &todo : std::as_const(current.changed)) {
                const int i = byKey_.value(TCalDavClient::TodoKey(todo.url), -1);
                if (i >= 0 && pairs_[size_t(i)].etag == todo.etag)
                    pairs_[size_t(i)].ical = todo.ical;
            }
        }
        QList<TPush> ready;
        for (TPush &push : pushes) {
            TPair &pair = pairs_[size_t(push.pair)];
            if (!push.remove) {
                if (!push.etag.isEmpty() && pair.ical.isEmpty()) {
                    // Changed or gone since it was read: merged again next round.
                    refetch_.append(pair.href);
                    continue;
                }
                TRecordValues action = local_[pair.id];
                action.insert(kId, pair.id);
                TTodoWriting writing = ActionToTodo(action, pair.uid, pair.ical);
                const TTodoReading reading = TodoToAction(writing.ical);
                if (!writing.ok || !reading.ok) {
                    summary_.notes.append(QStringLiteral("The action %1 cannot be sent: %2")
                                              .arg(action.value(QStringLiteral("ID_ACTION")).toString(),
                                                   writing.ok ? reading.error : writing.error));
                    continue;
                }
                push.ical = std::move(writing.ical);
                pair.sent = Synced(reading.fields);
            }
            ready.append(std::move(push));
        }
        return ready;
    }

    void Push()
    {
        const QList<TPush> pushes = PlanPushes();
        if (pushes.isEmpty() && !dirty_)
            return;
        // What is about to be written is on the disk first.
        Save();
        int done = 0, refusedInARow = 0;
        for (const TPush &push : pushes) {
            CheckCancelled();
            Progress(TSyncStep::Sending, done, pushes.size());
            TPair &pair = pairs_[size_t(push.pair)];
            TDavStatus status;
            if (push.remove) {
                status = client_.Remove(pair.href, push.etag);
                if (status.Ok())
                    ++summary_.deletedThere;
                if (status.Ok() || status.outcome == TDavOutcome::NotFound) {
                    pair.dropped = true;
                    status = {};
                }
            } else {
                QString etag;
                status = client_.Put(pair.href, push.ical, push.etag, etag);
                if (status.Ok()) {
                    if (pair.changedHere)
                        ++summary_.sent;
                    pair.onServer = true;
                    pair.etag = etag;
                    // A server that does not tell the version is asked by
                    // what was sent next time.
                    pair.hasBase = !etag.isEmpty();
                    pair.base = pair.hasBase ? pair.sent : TRecordValues();
                    if (pair.hasBase)
                        pair.sent.clear();
                }
            }
            dirty_ = true;
            if (!status.Ok()) {
                if (status.outcome == TDavOutcome::PreconditionFailed ||
                    status.outcome == TDavOutcome::NotFound) {
                    // Changed or made meanwhile: nothing was written.
                    pair.sent.clear();
                    refetch_.append(pair.href);
                } else if (Fatal(status.outcome) || ++refusedInARow == kMaxRefusedInARow) {
                    throw TStop{status.outcome, status.message};
                } else {
                    if (refused_++ == 0)
                        firstRefusal_ = status.message;
                    continue;
                }
            }
            refusedInARow = 0;
            if (++done % kSaveEvery == 0)
                Save();
        }
        Progress(TSyncStep::Sending, pushes.size(), pushes.size());
        if (dirty_)
            Save();
    }

    TSynchroniser &owner_;
    TCalDavClient &client_;
    QUrl list_;
    QString token_, ctag_, newToken_, newCtag_;
    std::vector<TPair> pairs_;
    QHash<QString, int> byKey_, byUid_;
    QHash<int, int> byId_;
    QHash<int, TRecordValues> local_;
    QList<QUrl> refetch_;
    TSyncSummary summary_;
    TSyncSummary planned_; // counted as planned, added once applied
    bool dirty_ = false;
    // The pairs say what both sides have: merged, and each write done or
    // kept as sent.
    bool consistent_ = false;
    int refused_ = 0;
    QString firstRefusal_;
};

TSynchroniser::TSynchroniser(TDavAccount account, QString stateFile, TLocalActions &local,
                             TDavOptions options)
    : list_(account.url), user_(account.user), stateFile_(std::move(stateFile)), local_(local),
      client_(std::make_unique<TCalDavClient>(std::move(account), std::move(options)))
{
}

TSynchroniser::~TSynchroniser() = default;

void TSynchroniser::SetProgress(std::function<void(TSyncStep, qint64, qint64)> progress)
{
    progress_ = std::move(progress);
}

void TSynchroniser::Cancel()
{
    cancelled_ = true;
    client_->Cancel();
}

TSyncResult TSynchroniser::Run()
{
    return TRun(*this).Run();
}
