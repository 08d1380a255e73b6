#include "panelsearch.h"

#include "panelframes.h"
#include "portcatalog.h"
#include "seriallink.h"

PanelSearch::PanelSearch(SerialLink &link, QObject *parent)
    : QObject(parent)
    , m_link(link)
{
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &PanelSearch::waitEnded);
    connect(&m_link, &SerialLink::portLost, this, [this](const QString &reason) {
        if (!m_wait.isActive())
            return;
        m_lostReason = reason;
        m_wait.start(0); // nothing more can come on this port
    });
}

bool PanelSearch::tryOpen(int port)
{
    m_port = port;
    QString error;
    if (m_device.isEmpty() ? m_link.selectPort(port, &error) && m_link.open(&error)
                           : m_link.openPath(m_device, &error))
        return true;
    m_link.close();
    emit portTried(port, false, m_link.deviceName(), error);
    return false;
}

void PanelSearch::startOn(const QString &device)
{
    if (m_running)
        return;
    start(m_link.portNumber(), m_link.portNumber());
    m_device = device;
}

void PanelSearch::start(int first, int last)
{
    if (m_running)
        return;
    m_device.clear();
    m_running = true;
    m_last = last;
    // The first port is tried from the event loop, so that whoever started
    // the search is ready for its signals.
    const int run = ++m_run;
    QTimer::singleShot(0, this, [this, first, run] {
        if (run == m_run)
            tryPort(first);
    });
}

void PanelSearch::cancel()
{
    if (!m_running)
        return;
    m_running = false;
    ++m_run; // a port waiting its turn is not tried
    m_wait.stop();
    m_link.close();
}

void PanelSearch::tryPort(int port)
{
    emit searching(port, m_last);
    if (!tryOpen(port))
        return next(true);
    m_answered = false;
    m_lostReason.clear();
    m_sendError.clear();
    emit detecting();
    m_sent = m_link.SendFrame(QLatin1String(PanelFrames::Detect), &m_sendError);
    m_wait.start(m_link.isOpen() ? DetectWaitMs : 0);
}

void PanelSearch::panelAnswered()
{
    if (!m_wait.isActive())
        return;
    m_answered = true;
    m_wait.start(0); // the rest of the second is not needed
}

void PanelSearch::waitEnded()
{
    if (m_link.isOpen() && m_answered) {
        emit portTried(m_port, true, m_link.deviceName(), QStringLiteral("the panel answered"));
        return finish(Found);
    }
    const bool lost = !m_link.isOpen();
    m_link.close();
    QString detail = m_sent ? QStringLiteral("opened, but no panel answered") : m_sendError;
    if (lost)
        detail = QStringLiteral("the line was lost while waiting for the panel: %1").arg(m_lostReason);
    emit portTried(m_port, false, m_link.deviceName(), detail);
    next(lost);
}

void PanelSearch::next(bool failed)
{
    if (m_port >= m_last)
        return finish(failed ? HardwareFail : NoPanel);
    const int port = m_port + 1;
    // Events waiting since the last port are handled before the next one.
    QTimer::singleShot(0, this, [this, port, run = m_run] {
        if (run == m_run)
            tryPort(port);
    });
}

void PanelSearch::finish(Outcome outcome)
{
    m_running = false;
    emit finished(outcome);
}

PanelSearch::Opening PanelSearch::openFirstPort()
{
    if (m_link.isOpen())
        return Opening::AlreadyOpen;
    for (int port = PortCatalog::FirstPort; port <= PortCatalog::LastPort; ++port) {
        if (tryOpen(port)) {
            emit portTried(port, true, m_link.deviceName(), QStringLiteral("opened"));
            return Opening::Opened;
        }
    }
    return Opening::NoPortOpened;
}
