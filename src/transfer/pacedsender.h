#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

// Sends frames one after another with a wait between them (none before
// the first or after the last). The wait keeps the event loop running, so
// replies, clicks and a lost port are handled meanwhile; stop() is the
// one way to end a run early, and the frames not yet sent are dropped.
class PacedSender : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Sent,       // every frame went out
        Stopped,    // stop() was called during a wait
        SendFailed, // a frame could not be written (the port closed)
        Busy,       // a run was already going on; nothing was sent
    };
    struct Result
    {
        Outcome outcome = Outcome::Sent;
        int framesSent = 0;
        QString error; // why the send failed
    };
    // Writes one frame; false, with the reason, when it could not.
    using Send = std::function<bool(const QString &frame, QString *error)>;

    explicit PacedSender(QObject *parent = nullptr);

    Result run(const QStringList &frames, double gapSeconds, const Send &send);
    void stop();
    bool isRunning() const { return m_running; }

private:
    bool m_running = false;
    bool m_stopRequested = false;
};
