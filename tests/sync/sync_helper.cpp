#include "MemoryActions.h"
#include "Synchroniser.h"

#include <QCoreApplication>
#include <QTextStream>

// One synchronisation in a process of its own, for the tests that kill it:
// the file's side is a JSON file written durably, as the Action File is.
// Prints a line at every report of its progress and the summary at the end;
// exit code 0 when it completed, 1 when it did not.
// Usage: sync_helper ACTIONS STATE LIST_URL USER PASSWORD
int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 6)
        return 2;
    MemoryActions local(arguments[1]);
    TSynchroniser synchroniser({QUrl(arguments[3]), arguments[4], arguments[5], false}, arguments[2], local);
    QTextStream out(stdout);
    synchroniser.SetProgress([&](TSyncStep step, qint64 done, qint64 total) {
        out << "progress " << int(step) << ' ' << done << ' ' << total << Qt::endl;
    });
    const TSyncResult result = synchroniser.Run();
    out << result.summary.Text() << Qt::endl;
    if (!result.ok) {
        QTextStream(stderr) << result.error << Qt::endl;
        return 1;
    }
    return 0;
}
