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
    for (int port = PortCatalog::FirstPort; port <= PortCatalog::LastPort; ++port) {
        if (tryOpen(port)) {
            m_startDetect();
            QString error;
            const bool sent = m_link.SendFrame(QLatin1String(PanelFrames::Detect), &error);
            Delay(DetectWaitSeconds);
            if (m_panelAnswered()) {
                emit portTried(port, true, m_link.deviceName(), QStringLiteral("the panel answered"));
                return Found;
            }
            m_link.close();
            emit portTried(port, false, m_link.deviceName(),
                           sent ? QStringLiteral("opened, but no panel answered") : error);
        } else if (port == PortCatalog::LastPort) {
            return HardwareFail;
        }
        QCoreApplication::processEvents();
    }
    return NoPanel;
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
