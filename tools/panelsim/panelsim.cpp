#include "panelsim.h"

#include "pseudoterminal.h"
#include "replywriter.h"
#include "statefile.h"

#include <QSocketNotifier>
#include <cerrno>
#include <unistd.h>

namespace {

// Closing the master discards what the program has not read yet, so a
// hang-up waits (up to a limit) until the line has been drained.
const int DrainCheckMs = 5;
const int DrainLimitChecks = 400;

} // namespace

PanelSim::PanelSim(const SimOptions &options, const PanelState &state, PseudoTerminal *line,
                   QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_state(state)
    , m_line(line)
    , m_responder(options.accessPassword, options.refuse, options.refuseCommand)
    , m_trace(options.trace)
    , m_writer(new ReplyWriter(line->masterFd(), options.shape, options.pacing, m_trace, this))
    , m_reader(new QSocketNotifier(line->masterFd(), QSocketNotifier::Read, this))
{
    m_quietTimer.setSingleShot(true);
    m_quietTimer.setTimerType(Qt::PreciseTimer);
    m_drainTimer.setInterval(DrainCheckMs);
    connect(&m_quietTimer, &QTimer::timeout, this, &PanelSim::lineQuiet);
    connect(&m_drainTimer, &QTimer::timeout, this, &PanelSim::checkDrained);
    connect(m_reader, &QSocketNotifier::activated, this, &PanelSim::readLine);
    // Queued: the writer may report idle from inside handleFrame.
    connect(m_writer, &ReplyWriter::idle, this, &PanelSim::hangUpWhenDrained, Qt::QueuedConnection);
}

void PanelSim::readLine()
{
    char buffer[4096];
    while (m_line->isOpen()) {
        const ssize_t n = ::read(m_line->masterFd(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (const QByteArray &frame : m_splitter.feed(QByteArray(buffer, int(n))))
            handleFrame(frame);
    }
    if (m_splitter.hasOpenFrame())
        m_quietTimer.start(m_options.gapMs);
    else
        m_quietTimer.stop();
}

void PanelSim::lineQuiet()
{
    const QByteArray frame = m_splitter.lineQuiet();
    if (!frame.isEmpty())
        handleFrame(frame);
}

void PanelSim::handleFrame(const QByteArray &frame)
{
    if (m_hangupDue)
        return;
    m_trace.frameIn(frame);
    const PanelResponder::Response response = m_responder.respond(frame, &m_state);
    if (response.stateChanged)
        saveState();
    if (response.kind == FrameKind::Detection)
        answerDetection(response.replies);
    else
        m_writer->send(response.replies);
    if (m_options.hangupAfter > 0 && ++m_frames >= m_options.hangupAfter) {
        m_hangupDue = true;
        QMetaObject::invokeMethod(this, &PanelSim::hangUpWhenDrained, Qt::QueuedConnection);
    }
}

void PanelSim::answerDetection(const QList<QByteArray> &replies)
{
    if (m_options.silent) {
        m_trace.note(QStringLiteral("detection left unanswered"));
        return;
    }
    if (m_options.detectDelayMs <= 0) {
        m_writer->send(replies);
        return;
    }
    ++m_delayedAnswers;
    QTimer::singleShot(m_options.detectDelayMs, Qt::PreciseTimer, this, [this, replies] {
        --m_delayedAnswers;
        m_writer->send(replies);
        hangUpWhenDrained();
    });
}

void PanelSim::saveState()
{
    QString error;
    if (!m_options.statePath.isEmpty() && !StateFile::save(m_options.statePath, m_state, &error))
        m_trace.note(error);
}

void PanelSim::hangUpWhenDrained()
{
    if (m_hangupDue && m_line->isOpen() && m_writer->isIdle() && m_delayedAnswers == 0
        && !m_drainTimer.isActive())
        m_drainTimer.start();
}

void PanelSim::checkDrained()
{
    // The kernel may still be moving bytes to the program's side: only an
    // empty queue seen on two checks in a row counts as drained.
    ++m_drainChecks;
    m_emptyChecks = m_line->unreadByProgram() == 0 ? m_emptyChecks + 1 : 0;
    if (m_emptyChecks < 2 && m_drainChecks < DrainLimitChecks)
        return;
    m_drainTimer.stop();
    m_quietTimer.stop();
    m_reader->setEnabled(false);
    m_writer->stop();
    m_line->close();
    m_trace.note(QStringLiteral("line hung up"));
    emit lineClosed();
}
