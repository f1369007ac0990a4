#include "WindowActions.h"

#include <QAction>
#include <QWidget>

QAction *NewWindowAction(QWidget *owner, const char *name, const QString &caption, const QString &menuEntry,
                         const QString &hint, const QList<QKeySequence> &shortcuts)
{
    auto *action = new QAction(menuEntry, owner);
    action->setObjectName(QLatin1String(name));
    action->setIconText(caption);
    action->setToolTip(hint);
    action->setStatusTip(hint);
    action->setShortcuts(shortcuts);
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}
