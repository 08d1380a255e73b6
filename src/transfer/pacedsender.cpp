#include "pacedsender.h"

#include "delay.h"

PacedSender::PacedSender(QObject *parent)
    : QObject(parent)
{
}

PacedSender::Result PacedSender::run(const QStringList &frames, double gapSeconds, const Send &send)
{
    Result result;
    if (m_running) {
        result.outcome = Outcome::Busy;
        return result;
    }
    m_running = true;
    m_stopRequested = false;
    for (const QString &frame : frames) {
        if (result.framesSent > 0)
            Delay(gapSeconds);
        // Anything may have happened during the wait.
        if (m_stopRequested) {
            result.outcome = Outcome::Stopped;
            break;
        }
        if (!send(frame, &result.error)) {
            result.outcome = Outcome::SendFailed;
            break;
        }
        ++result.framesSent;
    }
    m_running = false;
    return result;
}

void PacedSender::stop()
{
    if (m_running)
        m_stopRequested = true;
}
