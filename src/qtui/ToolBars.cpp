#include "ToolBars.h"

#include <QToolBar>

void KeepToolBarWhole(QToolBar *bar)
{
    bar->ensurePolished();
    if (bar->orientation() == Qt::Horizontal)
        bar->setMinimumWidth(bar->sizeHint().width());
    else
        bar->setMinimumHeight(bar->sizeHint().height());
}
