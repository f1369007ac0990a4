#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

class QAction;
class QWidget;

// A command of a window, owned by owner: menuEntry is its text in the menu,
// caption its short text under a tool button, hint its tool and status tip.
// Its shortcuts work while owner's window is active.
QAction *NewWindowAction(QWidget *owner, const char *name, const QString &caption, const QString &menuEntry,
                         const QString &hint, const QList<QKeySequence> &shortcuts = {});
