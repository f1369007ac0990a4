#pragma once

class QLineEdit;

// A typed date or time entry as the editors show it. The text stays the
// value (empty is allowed); a text that is no valid date or time gets a red
// frame as soon as it is typed, and its "invalid" property is true.
void MarkInvalidEntries(QLineEdit *edit, bool isDate);

// Gives a date entry a calendar drop-down button at its end: the calendar
// opens on the typed date (today when there is none) and a chosen day
// replaces the text. The popup is a QCalendarWidget named "CalendarPopup".
void AddCalendarDropDown(QLineEdit *edit);
