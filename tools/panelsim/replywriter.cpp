#include "replywriter.h"

#include <QRandomGenerator>
#include <cerrno>
#include <cmath>
#include <unistd.h>

ReplyWriter::ReplyWriter(int fd, const ReplyShape &shape, const Pacing &pacing, const TraceLog &trace,
                         QObject *parent)
    : QObject(parent)
    , m_fd(fd)
    , m_shape(shape)
    , m_pacing(pacing)
    , m_trace(trace)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ReplyWriter::releaseDue);
    m_clock.start();
}

void ReplyWriter::send(const QList<QByteArray> &replies)
{
    if (m_fd < 0 || replies.isEmpty())
        return;
    const bool wasIdle = isIdle();
    for (const WriteUnit &unit : planWrites(replies, m_shape, *QRandomGenerator::global())) {
        for (int i = 0; i < unit.size(); ++i)
            m_queue.append(Piece{unit.at(i), i == 0});
    }
    if (wasIdle)
        scheduleNext();
}

void ReplyWriter::stop()
{
    m_timer.stop();
    m_queue.clear();
    m_fd = -1;
}

void ReplyWriter::scheduleNext()
{
    if (!m_pacing.paced) {
        while (!m_queue.isEmpty())
            write(m_queue.takeFirst().bytes);
    }
    if (m_queue.isEmpty()) {
        emit idle();
        return;
    }
    const Piece &piece = m_queue.first();
    const double now = nowMs();
    const double pause = piece.startsReply ? m_pacing.replyGapMs : 0;
    const double start = std::max(now, m_lineFreeAtMs + pause);
    m_releaseAtMs = start + piece.bytes.size() * ByteMs;
    m_timer.start(int(std::ceil(m_releaseAtMs - now)));
}

void ReplyWriter::releaseDue()
{
    if (m_queue.isEmpty())
        return;
    const double early = m_releaseAtMs - nowMs();
    if (early > 0) {
        m_timer.start(int(std::ceil(early)));
        return;
    }
    m_lineFreeAtMs = m_releaseAtMs;
    write(m_queue.takeFirst().bytes);
    scheduleNext();
}

void ReplyWriter::write(const QByteArray &bytes)
{
    if (m_fd < 0)
        return;
    m_trace.bytesOut(bytes);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // Nobody is draining the line: the rest is lost, as on a real wire.
            m_trace.note(QStringLiteral("%1 bytes lost: the line is not being read").arg(bytes.size() - done));
            return;
        }
        done += n;
    }
}
