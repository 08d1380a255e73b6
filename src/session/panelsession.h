#pragma once

#include "pacedsender.h"
#include "panelsearch.h"
#include "seriallink.h"
#include "sessionmessage.h"
#include "settingscollector.h"
#include "settingscomparison.h"
#include "transferprogress.h"

#include <QObject>
#include <QTimer>

struct ReplyMatch;

// Everything the program does with one panel on one serial line: the
// search, the password test, the settings download and upload, the zone
// messages and the comparison. It owns the line, the reply dispatch, the
// progress and the paced sender, and decides in one place what may run:
// while a download (or the search) sends its frames nothing else goes on
// the line. Operations take and give values; refusals and the outcomes
// the technician must see come as messages. No state is shared between
// sessions: several can run side by side on several ports.
class PanelSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int DownloadFrameGapMs = 200;
    // The panel answers a zone upload request in one go, a character every
    // millisecond at 9600 baud; a text over several lines comes as several
    // replies, one per line. Replies that follow each other with less than
    // this quiet time between them are one answer. A USB adapter holds bytes
    // back for up to 16 ms; a second request by hand is seconds away.
    static constexpr int ZoneAnswerQuietMs = 100;
    static constexpr char DownloadInProgress[] = "download in progress, please wait!";
    static constexpr char SearchInProgress[] = "search for the panel in progress, please wait!";

    explicit PanelSession(QObject *parent = nullptr);

    // 1 while a zone message upload awaits its text; 0 otherwise.
    int ZoneTextMode = 0;
    // 1 once the panel has answered the detection frame.
    int PanelFound = 0;

    SerialLink &link() { return m_link; }
    const SerialLink &link() const { return m_link; }
    ProtocolTrace &trace() { return m_link.trace(); }
    const TransferProgress &progress() const { return m_progress; }
    // The pacing of a download's frames and the comparison's wait for the
    // next reply (tests may shorten them).
    void setFrameGapMs(int ms) { m_frameGapMs = ms; }
    void setReplyWaitMs(int ms) { m_comparison.setReplyWaitMs(ms); }
    void setZoneAnswerQuietMs(int ms) { m_zoneAnswer.setInterval(ms); }

    bool isSearching() const { return m_search.isRunning(); }
    bool isDownloading() const { return m_download.isRunning(); }
    bool isUploading() const { return m_uploading; }
    bool isComparing() const { return m_comparison.isGathering(); }

    // The start-up search over ports 1 to 16; searchFinished follows. When
    // port 16 cannot be opened, "hardware testing fail!" comes first, its
    // detail naming what became of every port.
    void search(int firstPort = 1, int lastPort = 16);
    // Opens the device at a path instead of a port by number (the console
    // program's --device); false, with a message, when it cannot.
    bool openDevice(const QString &device);
    // "Open port" and "Close port". Closing stops a running download and
    // ends a comparison or an upload that awaits replies.
    bool openPort();
    void closePort();
    // Exit: a running download is stopped (said on standard error and in
    // the trace, no message) and the port closed.
    void endProgram();

    // Each returns false, with a message, when refused; nothing is sent then.
    bool testPassword(const QString &password);
    // `sent` receives the settings as they go out (relay lists aligned).
    bool download(const PanelSettings &settings, PanelSettings *sent = nullptr);
    bool upload();
    // The text's line breaks may be "\n"; they travel as CR LF.
    bool downloadZoneText(const QString &zone, const QString &text);
    bool uploadZoneText(const QString &zone);
    // comparisonStarted, then comparisonFinished; a comparison that is
    // already running is left to run.
    bool compare(const PanelSettings &window);

    // A complete reply, as the link hands it out.
    void takeReply(const QString &reply);

signals:
    void message(const SessionMessage &message);
    void progressChanged(int value, int maximum);

    void searching(int port, int lastPort);
    void portTried(int port, bool opened, const QString &device, const QString &detail);
    void searchFinished(PanelSearch::Outcome outcome);

    void passwordAccepted();
    void downloadFinished(bool complete);
    // A settings reply, whenever it comes: `values` holds its group's fields.
    void settingsReceived(int group, const PanelSettings &values);
    // An upload has ended: with "FF5B", "FF5000", a lost line or a closed port.
    void uploadFinished(const PanelReading &reading);
    void zoneTextReceived(const QString &text);
    // `compared`: the window's settings as a download would send them.
    void comparisonStarted(const PanelSettings &compared);
    void comparisonFinished(const QList<ComparisonRow> &rows, const QString &note);

private:
    void DispatchReply(const QString &reply);
    void settingsReply(const ReplyMatch &match, const QString &reply);
    void zoneTextPart(const QString &reply);
    void zoneTextEnded();
    bool refuseWhileSending();
    bool send(const QString &frame);
    void inform(const QString &text, const QString &title, const QString &detail = QString());
    void reportPort(int port, bool opened, const QString &device, const QString &detail);
    void searchEnded(PanelSearch::Outcome outcome);
    void downloadEnded(const PacedSender::Result &result);
    void endUpload(const QString &why);
    void lineLost(const QString &reason);
    void endComparison(const QString &note);
    void comparisonEnded(SettingsCollector::End end);

    SerialLink m_link;
    PanelSearch m_search;
    TransferProgress m_progress;
    PacedSender m_download;
    SettingsCollector m_comparison;
    QTimer m_zoneAnswer;         // the quiet time that ends a zone text's answer
    QString m_zoneReplies;       // the answer so far
    int m_frameGapMs = DownloadFrameGapMs;
    QStringList m_searchReport;  // one line per port tried, for the failure's detail
    bool m_uploading = false;
    PanelReading m_reading;      // what the settings replies brought, since the last upload began
    PanelSettings m_compared;    // the window's settings when the comparison began
    QString m_comparisonNote;    // why it ended early
};
