#pragma once

#include "RecordMerge.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The merge window: every difference between the open Action File and a
// returned Dravelin File, grouped by action (the header and the contacts
// first), each with its choice as a check mark in "Take theirs". A record
// added or deleted on one side is one row; a changed record lists each
// changed field with both values side by side. A log entry, decision or
// statement that comes or goes with its action follows the action's choice.
// Questions (both sides changed it, or nothing is known of the state packed)
// are in bold. The check marks are the plan's choices at once; OK accepts,
// Cancel rejects, and the caller applies or drops the plan.
class TFormMerge : public QDialog {
    Q_OBJECT
public:
    enum Column { ColumnDifference, ColumnHere, ColumnThere, ColumnTakeTheirs, ColumnCount };

    TFormMerge(TMergePlan &plan, const QString &returnedFile, QWidget *parent = nullptr);

    QLabel *LabelSummary;
    QTreeWidget *TreeDifferences;
    QPushButton *ButtonDefaults;
    QPushButton *ButtonAllTheirs;
    QPushButton *ButtonAllMine;
    QPushButton *ButtonOK;
    QPushButton *ButtonCancel;

    // Roles of a row that carries a choice: its difference, and its field
    // (-1 for the whole record).
    static constexpr int DiffRole = Qt::UserRole;
    static constexpr int FieldRole = Qt::UserRole + 1;

private:
    void Fill();
    void AddDifference(QTreeWidgetItem *group, int diff);
    QTreeWidgetItem *AddRow(QTreeWidgetItem *parent, const QStringList &texts, int diff, int field,
                            bool question);
    // Shows the plan's choices in the check marks.
    void ShowChoices();
    void ItemChanged(QTreeWidgetItem *item, int column);
    void SetAll(TChoice choice);

    TMergePlan &plan_;
    const TMergePlan defaults_;
    QList<QTreeWidgetItem *> choiceRows_;
    bool showing_ = false;
};
