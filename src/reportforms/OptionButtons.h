#pragma once

#include <QPushButton>
#include <QStyle>
#include <QWidget>

// The OK and Close buttons every report options window shows: OK builds the
// page and is the default, Close leaves the window.
inline void CreateOkCloseButtons(QWidget *window, QPushButton *&ok, QPushButton *&close)
{
    ok = new QPushButton(window->style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("&OK"),
                         window);
    ok->setObjectName(QStringLiteral("RzBitBtnOK"));
    ok->setDefault(true);
    close = new QPushButton(window->style()->standardIcon(QStyle::SP_DialogCloseButton),
                            QStringLiteral("&Close"), window);
    close->setObjectName(QStringLiteral("RzBitBtnCancel"));
    close->setAutoDefault(false);
}
