#pragma once

#include "TTableModel.h"

#include <QDialog>

class QAction;
class QTableView;
class QToolBar;
class TDataModuleMain;
class TTitleSort;

// The contacts grid: its fifteen columns, fields ID to EMAIL_2, with bold
// titles. A click on a title sorts by the index named after its field with
// "_ASC" or "_DESC" appended (see TTitleSort).
const QList<TColumn> &ActorGridColumns();

// The list of the open Action File's contacts, with the commands to create,
// edit, delete and step through them. It works on cdsActor in the order its
// caller set; nothing is written to disk here.
class TFormActors : public QDialog {
    Q_OBJECT
public:
    explicit TFormActors(TDataModuleMain &data, QWidget *parent = nullptr);

    QTableView *RzDBGridActors = nullptr;
    QToolBar *ToolBar = nullptr;
    const TTitleSort &Sort() const { return *sort_; }

    QAction *ActionNew = nullptr;
    QAction *ActionEdit = nullptr;
    QAction *ActionDelete = nullptr;
    QAction *ActionFirst = nullptr;
    QAction *ActionPrior = nullptr;
    QAction *ActionNext = nullptr;
    QAction *ActionLast = nullptr;
    QAction *ActionPrint = nullptr;
    QAction *ActionClose = nullptr;

public Q_SLOTS:
    void ActionNewExecute();
    void ActionEditExecute();
    void ActionDeleteExecute();
    void ActionPrintExecute();

private:
    QAction *CreateAction(const char *name, const QString &caption, const QString &hint,
                          const QList<QKeySequence> &shortcuts = {});

    TDataModuleMain &data_;
    TTable *actors_;
    TTableModel *model_ = nullptr;
    TTitleSort *sort_ = nullptr;
};
