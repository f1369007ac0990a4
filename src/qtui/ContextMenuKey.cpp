#include "ContextMenuKey.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QWidget>

void TContextMenuKey::Install(QCoreApplication *application)
{
    application->installEventFilter(new TContextMenuKey(application));
}

bool TContextMenuKey::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() != Qt::Key_F10 || modifiers != Qt::ShiftModifier || QApplication::activePopupWidget())
        return QObject::eventFilter(watched, event);
    QWidget *focus = QApplication::focusWidget();
    if (!focus || !focus->isEnabled())
        return QObject::eventFilter(watched, event);
    // Where the Menu key puts the menu: the focus widget's cursor.
    QRect cursor = focus->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    if (!cursor.isValid())
        cursor = focus->rect();
    const QPoint at = cursor.center();
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, focus->mapToGlobal(at), key->modifiers());
    QCoreApplication::sendEvent(focus, &menu);
    return true;
}
