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
        HardwareFail, // the last port of the search could not be opened
    };
    Q_ENUM(Outcome)
    // What "Open port" did.
    enum class Opening {
        Opened,       // port() is open
        AlreadyOpen,  // a port was open; nothing changed
        NoPortOpened, // no port opens
    };

    static constexpr int DetectWaitMs = 1000;

    explicit PanelSearch(SerialLink &link, QObject *parent = nullptr);

    // The start-up search over ports first to last (1 to 16 unless said);
    // finished follows, never before this returns.
    void start(int first = 1, int last = 16);
    // The same on one device named by its path, under the selected number.
    void startOn(const QString &device);
    bool isRunning() const { return m_running; }
    // Ends a running search now, its port closed; finished is not emitted.
    void cancel();
    // The panel answered the detection frame: the wait ends now. Outside
    // the wait of a search this does nothing.
    void panelAnswered();

    // Opens the first port that opens, without looking for the panel.
    Opening openFirstPort();

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
    int m_run = 0; // which start() the ports waiting their turn belong to
    bool m_answered = false;
    bool m_sent = false;
    QString m_sendError;
    QString m_lostReason;
    int m_port = 0;
    int m_last = 16;
    QString m_device; // startOn's; empty: ports by number
};
