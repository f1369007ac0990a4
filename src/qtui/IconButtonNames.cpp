#include "IconButtonNames.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>

void TIconButtonNames::Install(QCoreApplication *application)
{
    application->installEventFilter(new TIconButtonNames(application));
}

bool TIconButtonNames::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::Polish && type != QEvent::ToolTipChange && type != QEvent::Show &&
        type != QEvent::ActionChanged)
        return QObject::eventFilter(watched, event);
    auto *button = qobject_cast<QAbstractButton *>(watched);
    if (!button)
        return QObject::eventFilter(watched, event);
    // A name given by the window itself is left alone.
    const bool ours = button->property("namedByHint").toBool();
    if (!ours && !button->accessibleName().isEmpty())
        return QObject::eventFilter(watched, event);
    const bool iconOnly = button->text().isEmpty() && !button->toolTip().isEmpty();
    button->setAccessibleName(iconOnly ? button->toolTip() : QString());
    button->setProperty("namedByHint", iconOnly);
    return QObject::eventFilter(watched, event);
}
