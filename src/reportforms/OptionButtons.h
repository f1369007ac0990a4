#pragma once

#include "AppIcon.h"

#include <QPushButton>
#include <QWidget>

// The OK and Close buttons every report options window shows: OK builds the
// page and is the default, Close leaves the window.
inline void CreateOkCloseButtons(QWidget *window, QPushButton *&ok, QPushButton *&close)
{
    ok = new QPushButton(AppIcon(QStringLiteral("dialog-ok")), QStringLiteral("&OK"), window);
    ok->setObjectName(QStringLiteral("RzBitBtnOK"));
    ok->setDefault(true);
    close = new QPushButton(AppIcon(QStringLiteral("window-close")), QStringLiteral("&Close"), window);
    close->setObjectName(QStringLiteral("RzBitBtnCancel"));
    close->setAutoDefault(false);
}
