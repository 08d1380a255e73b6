#include "pacedsender.h"

PacedSender::PacedSender(QObject *parent)
    : QObject(parent)
{
    m_gap.setSingleShot(true);
    m_gap.setTimerType(Qt::PreciseTimer);
    connect(&m_gap, &QTimer::timeout, this, &PacedSender::sendNext);
}

bool PacedSender::start(const QStringList &frames, int gapMs, Send send)
{
    if (m_running)
        return false;
    m_running = true;
    m_paused = false;
    m_frames = frames;
    m_send = std::move(send);
    m_result = Result{};
    m_result.frames = int(frames.size());
    m_gap.setInterval(gapMs);
    sendNext();
    return true;
}

void PacedSender::sendNext()
{
    if (m_result.framesSent == m_frames.size())
        return finish(Outcome::Sent);
    const bool sent = m_send(m_frames.at(m_result.framesSent), &m_result.error);
    // A failed send may have stopped the run already (a lost line is
    // reported before the send returns).
    if (!m_running)
        return;
    if (!sent)
        return finish(Outcome::SendFailed);
    ++m_result.framesSent;
    if (m_result.framesSent == m_frames.size())
        return finish(Outcome::Sent);
    m_gap.start();
}

void PacedSender::stop()
{
    if (m_running)
        finish(Outcome::Stopped);
}

void PacedSender::pause()
{
    if (!m_running)
        return;
    m_paused = true;
    m_gap.stop();
}

void PacedSender::resume()
{
    if (!m_running || !m_paused)
        return;
    m_paused = false;
    m_gap.start();
}

void PacedSender::finish(Outcome outcome)
{
    m_gap.stop();
    m_running = false;
    m_paused = false;
    m_result.outcome = outcome;
    emit finished(m_result);
}
