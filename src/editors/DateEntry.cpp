#include "DateEntry.h"

#include "AppIcon.h"
#include "Formats.h"

#include <QAction>
#include <QCalendarWidget>
#include <QIcon>
#include <QLineEdit>

namespace {

bool Fits(const QString &text, bool isDate)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return true;
    return isDate ? ParseDate(trimmed).isValid() : ParseTime(trimmed).isValid();
}

void ShowCalendar(QLineEdit *edit)
{
    if (edit->isReadOnly() || !edit->isEnabled())
        return;
    auto *calendar = new QCalendarWidget(edit);
    calendar->setObjectName(QStringLiteral("CalendarPopup"));
    calendar->setWindowFlags(Qt::Popup);
    calendar->setAttribute(Qt::WA_DeleteOnClose);
    calendar->setGridVisible(true);
    calendar->setDateRange(QDate(kMinYear, 1, 1), QDate(kMaxYear, 12, 31));
    const QDate typed = ParseDate(edit->text().trimmed());
    calendar->setSelectedDate(typed.isValid() ? typed : QDate::currentDate());
    QObject::connect(calendar, &QCalendarWidget::activated, edit, [edit, calendar](const QDate &date) {
        edit->setText(FormatDate(date));
        calendar->close();
        edit->setFocus();
    });
    QObject::connect(calendar, &QCalendarWidget::clicked, calendar, &QCalendarWidget::activated);
    calendar->adjustSize();
    calendar->move(edit->mapToGlobal(QPoint(0, edit->height())));
    calendar->show();
    calendar->setFocus();
}

} // namespace

void MarkInvalidEntries(QLineEdit *edit, bool isDate)
{
    const auto mark = [edit, isDate](const QString &text) {
        const bool invalid = !Fits(text, isDate);
        if (edit->property("invalid").toBool() == invalid)
            return;
        edit->setProperty("invalid", invalid);
        edit->setStyleSheet(invalid ? QStringLiteral("QLineEdit { border: 2px solid #d00000; }") : QString());
    };
    QObject::connect(edit, &QLineEdit::textChanged, edit, mark);
    edit->setProperty("invalid", false);
}

void AddCalendarDropDown(QLineEdit *edit)
{
    QAction *drop =
        edit->addAction(AppIcon(QStringLiteral("x-office-calendar")), QLineEdit::TrailingPosition);
    drop->setObjectName(QStringLiteral("ActionCalendar"));
    drop->setToolTip(QStringLiteral("Choose the Date from a calendar"));
    QObject::connect(drop, &QAction::triggered, edit, [edit] { ShowCalendar(edit); });
    // Alt+Down opens the calendar from the keyboard, as a drop-down list does.
    auto *keys = new QAction(edit);
    keys->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Down));
    keys->setShortcutContext(Qt::WidgetShortcut);
    edit->addAction(keys);
    QObject::connect(keys, &QAction::triggered, drop, &QAction::trigger);
}
