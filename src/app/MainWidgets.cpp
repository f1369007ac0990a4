#include "MainWidgets.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

void TFileListBox::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentRow() >= 0) {
        event->accept();
        Q_EMIT EntryConfirmed();
        return;
    }
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before && currentRow() >= 0)
        Q_EMIT KeyboardSelectionChanged();
}

void TFileListBox::SetEmptyHint(const QString &hint)
{
    emptyHint_ = hint;
    viewport()->update();
}

void TFileListBox::paintEvent(QPaintEvent *event)
{
    QListWidget::paintEvent(event);
    if (!HintShown())
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const int margin = fontMetrics().height();
    painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                     Qt::AlignTop | Qt::AlignLeft | Qt::TextWordWrap, emptyHint_);
}

void TClickableImage::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT Clicked();
}
