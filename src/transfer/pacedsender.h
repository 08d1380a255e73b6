#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

// Sends frames one after another with a wait between them (none before
// the first or after the last). It runs on the event loop: start() sends
// the first frame, a timer the others, and finished() reports the end, so
// replies, clicks, a lost port and other senders on other lines go on
// meanwhile. stop() ends a run early; the frames not yet sent are dropped.
class PacedSender : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Sent,       // every frame went out
        Stopped,    // stop() was called during a wait
        SendFailed, // a frame could not be written (the port closed)
    };
    struct Result
    {
        Outcome outcome = Outcome::Sent;
        int framesSent = 0;
        int frames = 0;
        QString error; // why the send failed
    };
    // Writes one frame; false, with the reason, when it could not.
    using Send = std::function<bool(const QString &frame, QString *error)>;

    explicit PacedSender(QObject *parent = nullptr);

    // False, and nothing is sent, while a run is going on. The first frame
    // goes out before this returns; finished may be emitted before too.
    bool start(const QStringList &frames, int gapMs, Send send);
    void stop();
    // Holds the frames not yet sent until resume(), which waits one gap
    // before the next; a run stopped meanwhile stays stopped.
    void pause();
    void resume();
    bool isRunning() const { return m_running; }
    bool isPaused() const { return m_paused; }
    int framesSent() const { return m_result.framesSent; }
    int frameCount() const { return m_result.frames; }

signals:
    void finished(const PacedSender::Result &result);

private:
    void sendNext();
    void finish(Outcome outcome);

    QTimer m_gap;
    QStringList m_frames;
    Send m_send;
    Result m_result;
    bool m_running = false;
    bool m_paused = false;
};
