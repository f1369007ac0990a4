#pragma once

class QToolBar;

// Keeps every command of a toolbar on it: the bar asks for the width of all
// its buttons as they show now, so its window never squeezes commands behind
// the overflow button. Call it once the bar holds all its buttons, with
// every button that can show visible.
void KeepToolBarWhole(QToolBar *bar);
