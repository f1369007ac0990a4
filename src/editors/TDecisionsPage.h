#pragma once

#include <QWidget>

class QAction;
class QTableView;
class TDataModuleMain;
class TEditorServices;
class TTableModel;
class TTitleSort;
struct TDecisionKind;

// The "Decisions" or "Statements" tab of the action editor: a read-only grid
// of the current action's records, sorted by a click on a column title, a
// navigator below it, and the New, Edit and Delete commands, which open the
// record editor of the kind. The commands start disabled; the action editor
// enables those of the tab in front.
class TDecisionsPage : public QWidget {
    Q_OBJECT
public:
    // window: where the commands and their shortcuts live, and the owner of
    // the editors opened; services are handed to those editors.
    TDecisionsPage(TDataModuleMain &data, const TDecisionKind &kind, QWidget *window,
                   TEditorServices *services);

    const TDecisionKind &Kind() const { return kind_; }
    QTableView *Grid = nullptr;
    QAction *ActionNew = nullptr;
    QAction *ActionEdit = nullptr;
    QAction *ActionDelete = nullptr;

    const TTitleSort &Sort() const { return *sort_; }
    void SetCommandsEnabled(bool enabled);

private:
    QAction *NewCommand(const char *name, const QString &caption, const QString &hint);
    QWidget *CreateNavigator();
    void NewRecord();
    void EditRecord();
    void DeleteRecord();

    TDataModuleMain &data_;
    const TDecisionKind &kind_;
    QWidget *window_;
    TEditorServices *services_;
    TTableModel *model_ = nullptr;
    TTitleSort *sort_ = nullptr;
};
