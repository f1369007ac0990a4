#include "ScreenFit.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QWidget>
#include <algorithm>

QSize WindowFrameAllowance()
{
    // Borders of a few pixels each side and a title bar of up to 40 pixels,
    // as the frames of common window managers are.
    return {16, 48};
}

QRect AvailableScreenArea(const QWidget *window)
{
    const QWidget *parent = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    const QScreen *screen = parent ? parent->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QSize FittedWindowSize(QWidget *window, const QRect &available)
{
    window->ensurePolished();
    if (QLayout *layout = window->layout())
        layout->activate();
    // A size the window's code chose (a remembered size, say) stands for the
    // natural size.
    const QSize natural = (window->testAttribute(Qt::WA_Resized) ? window->size() : window->sizeHint())
                              .expandedTo(window->minimumSizeHint());
    if (available.isEmpty())
        return natural.expandedTo(window->minimumSize());
    const QSize room = available.size() - WindowFrameAllowance();
    return natural.boundedTo(room).expandedTo(window->minimumSize());
}

void FitWindowToScreen(QWidget *window, const QRect &available)
{
    window->resize(FittedWindowSize(window, available));
    if (available.isEmpty() || !window->testAttribute(Qt::WA_Moved))
        return;
    // A window placed by its code is moved back inside the free area, its
    // title bar first.
    const QSize frame = WindowFrameAllowance();
    QPoint at = window->pos();
    at.setX(std::clamp(at.x(), available.left(),
                       std::max(available.left(), available.right() + 1 - window->width() - frame.width())));
    at.setY(
        std::clamp(at.y(), available.top(),
                   std::max(available.top(), available.bottom() + 1 - window->height() - frame.height())));
    window->move(at);
}

void FitWindowToScreen(QWidget *window)
{
    FitWindowToScreen(window, AvailableScreenArea(window));
}

TScrollPage::TScrollPage(QWidget *page, QWidget *parent) : QScrollArea(parent)
{
    setObjectName(page->objectName() + QStringLiteral("Scroll"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidget(page);
}

QSize TScrollPage::sizeHint() const
{
    // QScrollArea caps its hint at a few dozen text lines; a page asks for
    // all it holds.
    const int frame = 2 * frameWidth();
    return widget() ? widget()->sizeHint() + QSize(frame, frame) : QScrollArea::sizeHint();
}

QSize TScrollPage::minimumSizeHint() const
{
    if (!widget())
        return QScrollArea::minimumSizeHint();
    // As wide as the page must be with the scroll bar beside it, so a page
    // that scrolls is never cut at its right; a few rows high.
    const QSize page = widget()->minimumSizeHint();
    const int frame = 2 * frameWidth();
    const int bar = verticalScrollBar()->sizeHint().width();
    const int rows = 4 * fontMetrics().height();
    return {page.width() + bar + frame, std::min(page.height(), rows) + frame};
}
