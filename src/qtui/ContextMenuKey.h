#pragma once

#include <QObject>

class QCoreApplication;

// Shift+F10 opens the context menu of the widget with the keyboard focus,
// exactly as the Menu key does: a keyboard context-menu event at the focus
// widget's cursor (the current item of a list or grid, the text cursor of a
// field). Installed once on the application.
class TContextMenuKey : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    static void Install(QCoreApplication *application);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
