#pragma once

#include <QLabel>
#include <QListWidget>

// The Workspace list: tells apart a change of the current entry made with the
// keyboard from one made by the program, since only the user's choice opens
// an Action File.
class TFileListBox : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;

Q_SIGNALS:
    void KeyboardSelectionChanged();
    // Return or Enter pressed on the current entry.
    void EntryConfirmed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// A picture that reacts to a click of the left mouse button.
class TClickableImage : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
