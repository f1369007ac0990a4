#pragma once

#include "ChangeHistory.h"
#include "TFormEditorBase.h"
#include "TTable.h"

#include <QDate>
#include <QVariant>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QTabWidget;
class QToolButton;
class TDecisionsPage;

// The window in which one action is created, edited or viewed. It works on
// the current record of cdsActions, which the caller has put into insert
// (emNew) or edit state (emEdit, emView), and posts into the table only.
// After it closes the current action of cdsActions is the one it showed
// last (Previous, Next and the jump to the follow-up move it).
class TFormAction : public TFormEditorBase {
    Q_OBJECT
public:
    TFormAction(TDataModuleMain &data, TEditorMode mode, QWidget *parent = nullptr,
                TEditorServices *services = nullptr);
    ~TFormAction() override;

    QAction *ActionClose = nullptr;
    QAction *ActionFinish = nullptr;
    QAction *ActionFollowUp = nullptr;
    QAction *ActionPrintDigest = nullptr;
    // The "Decisions" and "Statements" tabs with their commands.
    TDecisionsPage *DecisionsPage = nullptr;
    TDecisionsPage *StatementsPage = nullptr;

    // Validates nothing: gives a new action its ID, writes the pending
    // "Action Resolved" log entry and posts.
    void SaveAction();
    void UpdateDateColours();

protected:
    void OkClicked() override;
    void ApplyClicked() override;
    QString EditCaption() const override;
    void BeforeStep() override;
    void AfterStep() override;
    void EditorClosing() override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TTable *Actions() const;
    TField ActionField(const QString &name) const;
    void BuildWindow();
    void BuildRecordPages(QToolBar *topBar);
    // The tab guard: the decisions and statements of an action can be
    // changed only while the action itself is being edited.
    bool PageAllowed(int index) const;
    void PageChanged(int index);
    void ShowNewMode();
    void EnableRecordCommands(bool enabled);
    bool CheckActionId();
    void AddResolvedLogEntry();
    void ActionFinishExecute();
    void ActionFollowUpExecute();
    void JumpToFollowUp();
    void RemoveFollowUp();
    void UpdateFollowUpPanel();
    void EditCurrentAgain();
    void IdActionExit();
    void RestoreFollowedUpChain();

    // The action whose follow-up is being created, with its ID_CHAIN from
    // before, until the follow-up is saved; cancelling restores it. The
    // link and the new action are one step of the history, kept open by
    // group until the follow-up is saved or dropped.
    struct FollowedUp {
        TBookmark bookmark;
        QVariant chain;
        std::shared_ptr<THistoryGroup> group;
    };
    std::optional<FollowedUp> followedUp_;
    bool ResolvePending = false;
    bool shown_ = false;
    QTabWidget *pages_ = nullptr;
    int shownPage_ = 0;
    // The top toolbar's New, Edit and Delete, carrying the commands of the
    // tab in front, and the spacer before them.
    QList<QAction *> pageButtons_;
    QList<QToolButton *> pageTools_;
    QAction *pageSpacer_ = nullptr;
    QWidget *followUpPanel_ = nullptr;
    QPushButton *followUpLabel_ = nullptr;
    QToolButton *removeFollowUp_ = nullptr;
    QLabel *dateDueLabel_ = nullptr;
    QLabel *dateFinishedLabel_ = nullptr;
};
