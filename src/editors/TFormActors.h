#pragma once

#include "TTableModel.h"

#include <QDialog>

class QAction;
class QTableView;
class QToolBar;

// The contacts grid: its fifteen columns, fields ID to EMAIL_2. Each column
// sorts by the index named after its field with "_ASC" or "_DESC" appended.
const QList<TColumn> &ActorGridColumns();

// The contacts grid's model: bold titles, "Contact ID" (the order the list
// starts in, ascending) in black and the others in blue.
class TActorsGridModel : public TTableModel {
    Q_OBJECT
public:
    explicit TActorsGridModel(TTable *table, QObject *parent = nullptr);
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
};

// The list of the open Action File's contacts, with the commands to create,
// edit, delete and step through them. It works on cdsActor in the order its
// caller set; nothing is written to disk here.
class TFormActors : public QDialog {
    Q_OBJECT
public:
    explicit TFormActors(QWidget *parent = nullptr);

    QTableView *RzDBGridActors = nullptr;
    QToolBar *ToolBar = nullptr;

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

    TTable *actors_;
    TActorsGridModel *model_ = nullptr;
};
