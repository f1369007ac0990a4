#pragma once

#include <QObject>

class QCoreApplication;

// Gives every button that shows only an icon the accessible name of its
// hint, as it is polished for showing: a screen reader then names it as the
// hint does for the mouse. A button with a caption keeps the caption as its
// name, and a name set by its window stays. Installed once on the
// application.
class TIconButtonNames : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    static void Install(QCoreApplication *application);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
