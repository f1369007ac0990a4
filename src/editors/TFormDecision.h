#pragma once

#include "TDataModuleMain.h"
#include "TFormEditorBase.h"
#include "TTableModel.h"

#include <QKeySequence>
#include <optional>

// What tells the decision editor and its tab from the statement editor and
// its tab: the table, the identifier kind and every text that names it.
// TFormStatement is TFormDecision with StatementKind().
struct TDecisionKind {
    // "Decision" or "Statement", as captions, hints and messages name it.
    QString noun;
    TTable *TDataModuleMain::*table;
    TRecordKind recordKind;
    QString dateLabel;
    QString contactLabel;
    QString contactField;
    // The grid of the action editor's tab, in the columns' defined order.
    QList<TColumn> columns;
    // Names of the tab's New, Edit and Delete commands, and their shortcuts.
    const char *newName;
    const char *editName;
    const char *deleteName;
    QKeySequence newShortcut;
    QList<QKeySequence> editShortcuts;
    QKeySequence deleteShortcut;

    TTable *Table(TDataModuleMain &data) const { return data.*table; }
};

const TDecisionKind &DecisionKind();
const TDecisionKind &StatementKind();

// The window in which one decision (or statement) of the current action is
// created, edited or viewed. It works on the current record of its table,
// which the caller has put into insert (emNew) or edit state (emEdit,
// emView) and which the action editor keeps restricted to the current
// action. OK saves into the table only and closes.
class TFormDecision : public TFormEditorBase {
    Q_OBJECT
public:
    TFormDecision(TDataModuleMain &data, const TDecisionKind &kind, TEditorMode mode,
                  QWidget *parent = nullptr, TEditorServices *services = nullptr);
    ~TFormDecision() override;

    const TDecisionKind &Kind() const { return kind_; }
    // Prints the decision or statement sheet of the current record (edit and
    // view); does nothing when the table holds no record.
    QAction *ActionPrint = nullptr;

    // In emView: the field to focus when the window shows, by the number the
    // search gives it (0 date, 1 synopsis, 2 contact, 3 backed by,
    // 4 description). Without it the number of the search hit that is
    // current in cdsActionsSearch is used.
    void SetSearchFieldNumber(int number) { searchFieldNumber_ = number; }

protected:
    void OkClicked() override;
    QString EditCaption() const override;
    void EditorClosing() override;
    void showEvent(QShowEvent *event) override;

private:
    QString Caption(const char *verb) const;
    bool Validate();
    void SaveRecord();

    const TDecisionKind &kind_;
    std::optional<int> searchFieldNumber_;
    bool shown_ = false;
};

// Opens the editor of kind modally on the current record of its table, as
// prepared by the caller for mode, and destroys it when it closes.
void ShowDecisionEditor(TDataModuleMain &data, const TDecisionKind &kind, TEditorMode mode, QWidget *parent,
                        TEditorServices *services);
