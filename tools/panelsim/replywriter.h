#pragma once

#include "replyplan.h"
#include "tracelog.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Writes the panel's replies to the line. Paced, a write leaves no
// earlier than a 9600-baud line would have carried its bytes (8N1: ten
// bits a byte), and each reply starts a pause after the one before;
// unpaced, everything is written at once.
class ReplyWriter : public QObject
{
    Q_OBJECT
public:
    static constexpr double ByteMs = 10.0 / 9.6;

    struct Pacing
    {
        bool paced = true;
        int replyGapMs = 20;
    };

    ReplyWriter(int fd, const ReplyShape &shape, const Pacing &pacing, const TraceLog &trace,
                QObject *parent = nullptr);

    void send(const QList<QByteArray> &replies);
    bool isIdle() const { return m_queue.isEmpty(); }
    // Drops what is still queued; nothing more is written.
    void stop();

signals:
    // Everything queued has been written.
    void idle();

private:
    struct Piece
    {
        QByteArray bytes;
        bool startsReply;
    };

    double nowMs() const { return m_clock.nsecsElapsed() / 1e6; }
    void scheduleNext();
    void releaseDue();
    void write(const QByteArray &bytes);

    int m_fd;
    ReplyShape m_shape;
    Pacing m_pacing;
    TraceLog m_trace;
    QList<Piece> m_queue;
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_lineFreeAtMs = -1e9;
    double m_releaseAtMs = 0;
};
