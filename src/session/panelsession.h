#pragma once

#include "operationend.h"
#include "pacedsender.h"
#include "panelsearch.h"
#include "seriallink.h"
#include "sessionmessage.h"
#include "settingscollector.h"
#include "transferprogress.h"

#include <QObject>
#include <QTimer>

#include <functional>

struct ReplyMatch;

// Everything the program does with one panel on one serial line: the
// search, the password test, the settings download and upload, the zone
// messages and the comparison. It owns the line, the reply dispatch, the
// progress and the paced sender, and holds one Operation: mayUseLine()
// refuses what may not run now, enter() is the one way in, endRunning()
// the one way out (operationEnded says how, then the message). While a download or the
// search sends nothing else goes on the line; an operation that awaits
// replies gives way to the next. No state is shared between sessions:
// several can run side by side on several ports.
class PanelSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int DownloadFrameGapMs = 200;
    // The panel answers a frame it refuses ("FF5000") within the gap that
    // paces the frames, which is how the refusal of every frame but the
    // last is caught before the next one goes out. The last frame of a
    // download and a zone message frame get the same time, counted from
    // when their last byte has left at 9600 baud (a zone text of 255
    // characters is on the line for 269 ms), before they count as taken.
    static constexpr int RefusalWaitMs = DownloadFrameGapMs;
    // The panel answers a zone upload request in one go, a character every
    // millisecond at 9600 baud: the text, then CR LF. The text's own line
    // breaks are CR LF as well, so a text over several lines comes as
    // several replies, and only quiet ends the answer: this long with no
    // byte and no reply half-received. It is the panel's pacing with room
    // to spare: the panel pauses 20 ms between two replies, a USB adapter
    // holds bytes back for up to 16 ms, a loaded computer reads late; a
    // second request by hand is seconds away. The request itself goes out
    // once the line has been this quiet, so that late or repeated answers
    // to earlier frames are not taken for the text.
    static constexpr int ZoneAnswerQuietMs = 250;
    // An upload or a zone upload whose panel says nothing for this long
    // has ended without its answer.
    static constexpr int ReplyWaitMs = SettingsCollector::ReplyWaitMs;

    explicit PanelSession(QObject *parent = nullptr);

    Operation operation() const { return m_operation; }
    // 1 while complete replies are taken as a zone's text; 0 otherwise. It
    // stays 1 after the text has come, until an operation takes the
    // replies as settings again.
    int ZoneTextMode() const { return m_zoneTextMode; }
    // 1 once the panel has answered the detection frame; 0 after the search
    // began or a port was opened.
    int PanelFound() const { return m_panelFound; }

    SerialLink &link() { return m_link; }
    const SerialLink &link() const { return m_link; }
    ProtocolTrace &trace() { return m_link.trace(); }
    const TransferProgress &progress() const { return m_progress; }
    // The pacing of a download's frames and the waits for the panel's
    // replies (tests may shorten them).
    void setFrameGapMs(int ms) { m_frameGapMs = ms; }
    void setReplyWaitMs(int ms);
    void setZoneAnswerQuietMs(int ms) { m_zoneAnswer.setInterval(ms); }

    // The start-up search over ports first to last. When the last cannot be
    // opened, it ends HardwareFail with "hardware testing fail!", its detail
    // naming what became of every port.
    void search(int firstPort = 1, int lastPort = 16);
    // The same search on one device named by its path.
    void searchDevice(const QString &device);
    // Opens the device at a path instead of a port by number (the console
    // program's --device); false, with a message, when it cannot.
    bool openDevice(const QString &device);
    // "Open port" and "Close port". Closing ends what runs, once the line is closed.
    bool openPort();
    void closePort();
    // Exit: the line closed, what runs ended quietly (a download's stop is
    // noted in the trace and on standard error).
    void endProgram();

    // Each returns false, with a message, when refused; nothing is sent then.
    bool testPassword(const QString &password);
    // `sent` receives the settings as they go out (relay lists aligned).
    // A "Data Error!" holds the remaining frames until its message has
    // been answered (the window's box closed).
    bool download(const PanelSettings &settings, PanelSettings *sent = nullptr);
    // An upload already awaiting its replies is left to run.
    bool upload();
    // The text's line breaks may be "\n"; they travel as CR LF.
    // Why downloadZoneText would refuse the text, in its words; empty: it would not.
    static QString zoneTextRefusal(const QString &zone, const QString &text);
    bool downloadZoneText(const QString &zone, const QString &text);
    bool uploadZoneText(const QString &zone);
    // comparisonStarted, then the end; a comparison already running is left to run.
    bool compare(const PanelSettings &window);

    // A complete reply, as the link hands it out.
    void takeReply(const QString &reply);

signals:
    void operationEnded(const OperationEnd &end);
    void message(const SessionMessage &message);
    void progressChanged(int value, int maximum);

    void searching(int port, int lastPort);
    // The port tried has opened; the detection frame goes out.
    void detecting();
    void portTried(int port, bool opened, const QString &device, const QString &detail);

    void passwordAccepted();
    // A settings reply, whenever it comes: `values` holds its group's fields.
    void settingsReceived(int group, const PanelSettings &values);
    // A zone's text, whenever it comes.
    void zoneTextReceived(const QString &text);
    // `compared`: the window's settings as a download would send them.
    void comparisonStarted(const PanelSettings &compared);

private:
    bool mayUseLine(bool needsPort = true);
    void beginSearch(const std::function<void()> &start);
    void enter(Operation next, const std::function<void()> &setUp);
    void resetZoneText();
    void takeRepliesAsSettings(EndCause cause);
    OperationEnd endRunning(EndCause cause);
    void finish(EndCause cause);
    void announce(const OperationEnd &end);
    void say(PanelOutcome kind, const QStringList &arguments = {}, const QString &detail = {});
    bool send(const QString &frame);

    void DispatchReply(const QString &reply);
    void dataError();
    void settingsReply(const ReplyMatch &match, const QString &reply);
    void zoneTextPart(const QString &reply);
    void zoneTextEnded();
    void reportPort(int port, bool opened, const QString &device, const QString &detail);
    void searchEnded(PanelSearch::Outcome outcome);
    void downloadEnded(const PacedSender::Result &result);
    void awaitRefusal(const QString &frame);
    void lineLost(const QString &reason);

    Operation m_operation = Operation::Idle;
    int m_zoneTextMode = 0;
    int m_panelFound = 0;
    bool m_ending = false;       // the program ends: nothing more is said
    SerialLink m_link;
    PanelSearch m_search;
    TransferProgress m_progress;
    PacedSender m_download;
    bool m_downloadRefused = false; // "FF5000" came during this download
    PanelSettings m_sent;           // what this download sends
    QString m_zone, m_zoneSent;     // the zone of this zone transfer, the text a zone download sent
    SettingsCollector m_comparison;
    PanelSettings m_compared;    // the window's settings when the comparison began
    PanelReading m_reading;      // what the settings replies brought, since the last upload began
    QTimer m_replyWait;          // an upload's or a zone upload's wait for the panel
    QTimer m_zoneAnswer;         // the quiet time that ends a zone text's answer
    QTimer m_refusalWait;        // after a download's last frame or a zone frame
    QList<int> m_refusedFrames;  // this download's, by number from 1
    QString m_lastFrame;         // this download's
    QString m_zoneReplies;       // the answer so far
    QString m_zoneRequest;       // a zone upload's request, until the line is quiet
    int m_frameGapMs = DownloadFrameGapMs;
    QStringList m_searchReport;  // one line per port tried, for the failure's detail
    PanelSearch::Outcome m_searchOutcome = PanelSearch::NoPanel;
    QString m_zoneText;          // the last zone text that came
};
