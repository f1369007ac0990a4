#include "TChoiceBox.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

TChoiceBox::TChoiceBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

void TChoiceBox::SetReadOnly(bool readOnly)
{
    readOnly_ = readOnly;
    if (lineEdit())
        lineEdit()->setReadOnly(readOnly);
}

void TChoiceBox::showPopup()
{
    if (!readOnly_)
        QComboBox::showPopup();
}

void TChoiceBox::keyPressEvent(QKeyEvent *event)
{
    // The keys that pick another entry without the list (Home and End move
    // the text cursor of an editable drop-down).
    static constexpr int kChoosing[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown};
    if (readOnly_) {
        for (const int key : kChoosing) {
            if (event->key() == key && !(event->modifiers() & Qt::ControlModifier)) {
                event->ignore();
                return;
            }
        }
    }
    QComboBox::keyPressEvent(event);
}

void TChoiceBox::wheelEvent(QWheelEvent *event)
{
    if (readOnly_)
        event->ignore();
    else
        QComboBox::wheelEvent(event);
}
