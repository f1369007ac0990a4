#pragma once

#include "ActionListEditors.h"

#include <QDialog>
#include <optional>

class QAction;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class TDataModuleMain;
class TTableModel;

// The results of a search (cdsActionsSearch, active): a grid of where the
// text was found, the found text and field of the selected result, Open,
// which shows the result's record read-only, Go to the Action, which
// closes the window and makes the result's action current in the list, and
// Search Again, which closes it to ask for another text. The found text
// shows every match highlighted.
class TFormSearch : public QDialog {
    Q_OBJECT
public:
    // file: whose search results (cdsActionsSearch) are shown; text: what
    // was searched for, shown in the caption.
    TFormSearch(const TActionListFile &file, const QString &text, QWidget *parent = nullptr);

    QTableView *DBGridSearch;
    QPlainTextEdit *DBMemoTextFound;
    QLineEdit *DBEditFieldName;
    QPushButton *ButtonOpen;
    QPushButton *ButtonGotoAction;
    QPushButton *ButtonSearchAgain;
    QPushButton *ButtonClose;
    QMenu *PopupMenu;
    QAction *ActionOpen;
    QAction *ActionGotoAction;
    QAction *ActionSearchAgain;

    // The ID of the action chosen with Go to the Action, once the window
    // closed for it.
    std::optional<int> ChosenAction() const { return chosenAction_; }
    // The window closed to search for another text.
    bool SearchAgainChosen() const { return searchAgain_; }

public Q_SLOTS:
    void ActionOpenExecute();
    void ActionGotoActionExecute();

private:
    QWidget *CreateNavigator();
    void ShowCurrent();
    void HighlightMatches();

    TActionListFile file_;
    TDataModuleMain &data_;
    TTableModel *model_ = nullptr;
    QString text_;
    std::optional<int> chosenAction_;
    bool searchAgain_ = false;
};
