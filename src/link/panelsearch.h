#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class SerialLink;

// Looks for the panel on ports 1 to 16: every port that opens is sent the
// detection frame and given one second to answer. The wait ends as soon as
// the panel has answered; a port that stays silent is closed again before
// the next number is tried; a port whose line is lost during the wait
// counts as one that failed to open. The search runs on the event loop
// (start, then finished), so several searches on several links can run
// side by side.
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
    Q_ENUM(Outcome)

    static constexpr int DetectWaitMs = 1000;

    explicit PanelSearch(SerialLink &link, QObject *parent = nullptr);

    // The start-up search over ports first to last (1 to 16 unless said);
    // finished follows, never before this returns.
    void start(int first = 1, int last = 16);
    bool isRunning() const { return m_running; }
    // The panel answered the detection frame: the wait ends now. Outside
    // the wait of a search this does nothing.
    void panelAnswered();

    // Opens the first port that opens, without looking for the panel.
    Outcome openFirstPort();

    int port() const { return m_port; }

signals:
    // The search is about to try a port number.
    void searching(int port, int lastPort);
    // Just before a detection frame goes out.
    void detecting();
    // A port number was tried: opened or not, its device and what happened.
    void portTried(int port, bool opened, const QString &device, const QString &detail);
    void finished(PanelSearch::Outcome outcome);

private:
    bool tryOpen(int port);
    void tryPort(int port);
    void waitEnded();
    void next(bool failed);
    void finish(Outcome outcome);

    SerialLink &m_link;
    QTimer m_wait;
    bool m_running = false;
    bool m_answered = false;
    bool m_sent = false;
    QString m_sendError;
    QString m_lostReason;
    int m_port = 0;
    int m_last = 16;
};
