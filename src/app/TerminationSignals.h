#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGHUP (logout, shutdown, `kill`) into a Qt signal in
// the event loop. The handler only writes a byte into a pipe; everything
// else runs later, in the loop, where the program may do its work.
class TTerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one object per program.
    explicit TTerminationSignals(QObject *parent = nullptr);
    ~TTerminationSignals() override;

Q_SIGNALS:
    void Received(int signalNumber);

private:
    void ReadPipe();

    QSocketNotifier *notifier_ = nullptr;
};
