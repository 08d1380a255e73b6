#include "panelsearch.h"

#include "delay.h"
#include "panelframes.h"
#include "portcatalog.h"
#include "seriallink.h"

#include <QCoreApplication>

PanelSearch::PanelSearch(SerialLink &link, std::function<void()> startDetect,
                         std::function<bool()> panelAnswered, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_startDetect(std::move(startDetect))
    , m_panelAnswered(std::move(panelAnswered))
{
}

bool PanelSearch::tryOpen(int port)
{
    m_port = port;
    QString error;
    if (m_link.selectPort(port, &error) && m_link.open(&error))
        return true;
    m_link.close();
    emit portTried(port, false, m_link.deviceName(), error);
    return false;
}

PanelSearch::Outcome PanelSearch::run()
{
    QString lostReason;
    const auto lost = connect(&m_link, &SerialLink::portLost, this,
                              [&lostReason](const QString &reason) { lostReason = reason; });
    Outcome outcome = NoPanel;
    for (int port = PortCatalog::FirstPort; port <= PortCatalog::LastPort; ++port) {
        emit searching(port, PortCatalog::LastPort);
        bool failed = !tryOpen(port);
        if (!failed) {
            m_startDetect();
            lostReason.clear();
            QString error;
            const bool sent = m_link.SendFrame(QLatin1String(PanelFrames::Detect), &error);
            Delay(DetectWaitSeconds);
            if (m_link.isOpen() && m_panelAnswered()) {
                emit portTried(port, true, m_link.deviceName(), QStringLiteral("the panel answered"));
                outcome = Found;
                break;
            }
            failed = !m_link.isOpen();
            m_link.close();
            QString detail = sent ? QStringLiteral("opened, but no panel answered") : error;
            if (failed)
                detail = QStringLiteral("the line was lost while waiting for the panel: %1").arg(lostReason);
            emit portTried(port, false, m_link.deviceName(), detail);
        }
        if (failed && port == PortCatalog::LastPort) {
            outcome = HardwareFail;
            break;
        }
        QCoreApplication::processEvents();
    }
    disconnect(lost);
    return outcome;
}

PanelSearch::Outcome PanelSearch::openFirstPort()
{
    if (m_link.isOpen())
        return AlreadyOpen;
    for (int port = PortCatalog::FirstPort; port <= PortCatalog::LastPort; ++port) {
        if (tryOpen(port)) {
            emit portTried(port, true, m_link.deviceName(), QStringLiteral("opened"));
            return Opened;
        }
    }
    return NoPortOpened;
}
