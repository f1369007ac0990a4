#pragma once

#include <QLabel>
#include <QListWidget>

// The Workspace list: tells apart a change of the current entry made with the
// keyboard from one made by the program, since only the user's choice opens
// an Action File. While it is empty it shows a hint of how to begin in its
// own area.
class TFileListBox : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;

    void SetEmptyHint(const QString &hint);
    const QString &EmptyHint() const { return emptyHint_; }
    // The hint shows: the list is empty.
    bool HintShown() const { return count() == 0 && !emptyHint_.isEmpty(); }

Q_SIGNALS:
    void KeyboardSelectionChanged();
    // Return or Enter pressed on the current entry.
    void EntryConfirmed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString emptyHint_;
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
