#pragma once

class QWidget;
class TDataModuleMain;

// File > "Synchronise" of the action list: the open Action File with its
// task list, a progress window while it runs (its Cancel stops at the next
// request, keeping what was done) and the summary, or the reason it did not
// complete, in a message at the end. True when it ran, so the list shows
// the file again.
bool SynchroniseActionFile(TDataModuleMain &data, QWidget *parent);
