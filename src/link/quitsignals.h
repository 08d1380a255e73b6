#pragma once

#include <QObject>

class QSocketNotifier;

// A write to a pipe whose reader has gone fails with EPIPE instead of
// ending the process, standard error included: a program that drives
// panels checks its writes and finishes its work.
void ignoreBrokenPipes();

// Turns SIGINT (Ctrl+C), SIGTERM and SIGHUP (the terminal closed) into a Qt
// signal delivered by the event loop, nested loops included (the handler
// itself only writes a byte to a pipe), so that a program ends the way it
// chose: with its serial port closed and its lock file gone. POSIX only.
class QuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

signals:
    void quitRequested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};
