#pragma once

#include <QRect>
#include <QScrollArea>
#include <QSize>

class QWidget;

// Windows sized to the screen they open on. A window opens at its natural
// size (its size hint, or the size its code gave it) where the screen has room
// for that and its frame; on a smaller screen it opens as large as the screen's
// free area allows, its pages scrolling (TScrollPage) so that the row of
// buttons at its foot stays on the screen.

// The room a desktop's title bar and borders take around a window, used before
// the window is shown, when the window manager has not told its frame yet.
QSize WindowFrameAllowance();

// The free area (without panels) of the screen the window opens on: that of
// its parent window, else of the primary screen.
QRect AvailableScreenArea(const QWidget *window);

// The size window opens at within the free area available: its natural size,
// bounded to the area less the frame allowance, never below the window's
// minimum size.
QSize FittedWindowSize(QWidget *window, const QRect &available);

// Resizes a window that is not shown yet to its fitted size and, for a window
// larger than the area, keeps it inside the area.
void FitWindowToScreen(QWidget *window, const QRect &available);
void FitWindowToScreen(QWidget *window);

// A scroll area around a page of fields that asks for the page's whole size,
// so the page shows whole where the window has room and scrolls where the
// screen is small; it can shrink to a few rows.
class TScrollPage : public QScrollArea {
    Q_OBJECT
public:
    // Takes page over as the area's widget.
    explicit TScrollPage(QWidget *page, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};
