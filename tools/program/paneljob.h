#pragma once

#include "exitstatus.h"
#include "operationhistory.h"
#include "panelsession.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QTimer>

class RecordStore;

// What one panel is asked to do.
struct JobRequest
{
    enum class Operation { Detect, Download, Upload, Compare, ZoneDownload, ZoneUpload };

    Operation operation = Operation::Detect;
    QString device;     // a device path, resolved; empty: port `port`, or the search
    QString deviceName; // the device as the command line named it
    int port = 0;       // 1 to 16; 0: search ports firstPort to lastPort
    int firstPort = 1;
    int lastPort = 16;
    QString password;
    PanelSettings settings; // download, compare
    QString zone;
    QString text;           // zone download
    QString tracePath;
    RecordStore *history = nullptr; // where the operation's history entry goes
    HistorySource historySource;    // the record or file the settings came from
};

// One panel on its own line and session: found (or opened), its password
// tested, the operation run. Ends with finished(); result() then holds the
// status (ExitStatus), what was said and what came back. The status comes
// from the kind of the operation's end, never from a message's words.
class PanelJob : public QObject
{
    Q_OBJECT
public:
    // A panel that does not answer the password for this long has stopped answering.
    static constexpr int AnswerWaitMs = 3000;

    explicit PanelJob(const JobRequest &request, QObject *parent = nullptr);

    void start();
    // Ends the panel's work now: a download stops, the port closes.
    void stop(const QString &why) { finish(ExitStatus::Incomplete, why); }
    ProtocolTrace &trace() { return m_session.trace(); }
    // What an upload brought.
    PanelSettings uploaded() const { return m_reading.settings; }

    QString device() const;
    int status() const { return m_status; }
    // The last message, for the line of this panel's result.
    QString summary() const { return m_summary; }
    QJsonObject result() const;
    bool isFinished() const { return m_finished; }
    // What failed after the panel's work (a file, the record store): it
    // becomes this panel's result and message when it is worse.
    void failAfter(int status, const QString &why);

signals:
    // One short line on how far this panel has come.
    void progress(const QString &step, int done, int of);
    // A message the window would show as a box, word for word.
    void said(const QString &text);
    void finished();

private:
    void connected();
    void passwordAccepted();
    void runOperation();
    void operationEnded(const OperationEnd &end);
    void keepResult(const OperationEnd &end);
    void recordHistory(const OperationEnd &end);
    void portTried(int port, bool opened, const QString &device, const QString &detail);
    void finish(int status, const QString &summary);
    void message(const SessionMessage &message);

    JobRequest m_request;
    PanelSession m_session;
    QTimer m_answerWait;
    QJsonObject m_data;
    QJsonArray m_ports;
    QStringList m_messages;
    SessionMessage m_lastMessage;
    PanelReading m_reading; // an upload's
    QString m_summary;
    int m_status = ExitStatus::Done;
    bool m_passwordTested = false;
    bool m_finished = false;
    bool m_detecting = false; // the port being tried has opened
};
