#pragma once

#include <QString>
#include <QStringList>

// What one synchronisation did, counted per record, for a window's message
// and the command line alike.
struct TSyncSummary {
    int sent = 0;         // todos written to the server with changes made here
    int received = 0;     // actions made or changed here from the server's todos
    int conflicts = 0;    // actions that got a conflict log entry
    int deletedHere = 0;  // actions deleted because their todo was deleted
    int deletedThere = 0; // todos deleted because their action was deleted
    // Todos left alone and values that did not fit, each a sentence.
    QStringList notes;

    // "12 sent, 3 received, 1 conflict": sent and received always, the
    // others when there are any.
    QString Text() const;
};
