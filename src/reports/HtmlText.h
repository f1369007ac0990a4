#pragma once

#include <QString>

// The two transformations that make a field value safe and visible in a
// table cell of a page. Non-ASCII characters pass unchanged here; the page
// writer (HtmlPage.h) turns them into character references.

// "&", "<" and ">" as entities (the ampersand first, so the other entities
// are not escaped again), then every line feed as "<BR>". Carriage returns,
// quotes and every other character stay.
QString HtmlEncodeText(const QString &text);

// A blank of a page is a character from U+0000 to U+0020: the space and
// every control character. Every test for a blank value and every trim of a
// page uses this one rule.
bool IsBlankText(QStringView text);
// text without the blanks at either end.
QString TrimBlanks(const QString &text);

// "&nbsp;" when text holds nothing above U+0020, so the cell keeps its border
// and height; otherwise text unchanged, surrounding blanks included.
QString HtmlNonBlank(const QString &text);

// A field value as cell text: HtmlNonBlank over HtmlEncodeText.
QString HtmlCellText(const QString &text);
