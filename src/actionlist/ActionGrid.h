#pragma once

#include "TTableModel.h"

#include <QStyledItemDelegate>

// The actions grid's model: every cell's hint is the due-date text of the
// current action.
class TActionsGridModel : public TTableModel {
    Q_OBJECT
public:
    explicit TActionsGridModel(TTable *table, QObject *parent = nullptr);

    void SetHint(const QString &hint) { hint_ = hint; }
    const QString &Hint() const { return hint_; }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QString hint_;
};

// A grid model whose cell hints are left to the grid itself, so a cell does
// not repeat its text as a tooltip.
class TPlainHintModel : public TTableModel {
    Q_OBJECT
public:
    using TTableModel::TTableModel;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
};

// Draws a cell whose model gives row colours in exactly those colours, also
// when it is selected: the colour rule decides how a selected row looks.
class TRowColorDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
