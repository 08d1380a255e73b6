#pragma once

#include <QObject>
#include <QString>
#include <functional>

class SerialLink;

// Looks for the panel on ports 1 to 16: every port that opens is sent the
// detection frame and given one second to answer. A port that stays silent
// is closed again before the next number is tried; a port whose line is
// lost during the wait counts as one that failed to open.
class PanelSearch : public QObject
{
    Q_OBJECT
public:
    enum Outcome {
        Found,        // the port that answered is open; port() is its number
        NoPanel,      // ports opened, none answered; no port is open
        HardwareFail, // port 16 could not be opened
        AlreadyOpen,  // "Open port" while a port is open; nothing changed
        NoPortOpened, // "Open port" found no port that opens
        Opened,       // "Open port" opened port()
    };

    static constexpr double DetectWaitSeconds = 1.0;

    // startDetect runs just before each detection frame (the reply flags
    // are reset there); panelAnswered is asked after each wait.
    PanelSearch(SerialLink &link, std::function<void()> startDetect,
                std::function<bool()> panelAnswered, QObject *parent = nullptr);

    // The start-up search.
    Outcome run();
    // Opens the first port that opens, without looking for the panel.
    Outcome openFirstPort();

    int port() const { return m_port; }

signals:
    // The search is about to try a port number.
    void searching(int port, int lastPort);
    // A port number was tried: opened or not, its device and what happened.
    void portTried(int port, bool opened, const QString &device, const QString &detail);

private:
    bool tryOpen(int port);

    SerialLink &m_link;
    std::function<void()> m_startDetect;
    std::function<bool()> m_panelAnswered;
    int m_port = 0;
};
