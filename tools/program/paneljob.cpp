#include "paneljob.h"

#include "settingsfile.h"
#include "settingstransfer.h"

#include <QJsonArray>

PanelJob::PanelJob(const JobRequest &request, QObject *parent)
    : QObject(parent)
    , m_request(request)
{
    m_answerWait.setSingleShot(true);
    m_answerWait.setInterval(AnswerWaitMs);
    connect(&m_answerWait, &QTimer::timeout, this, &PanelJob::answerTimedOut);
    connect(&m_session, &PanelSession::message, this, &PanelJob::message);
    connect(&m_session, &PanelSession::searching, this,
            [this](int port, int last) { emit progress(QStringLiteral("searching, port %1").arg(port), port, last); });
    connect(&m_session, &PanelSession::portTried, this,
            [this](int port, bool opened, const QString &device, const QString &detail) {
                m_ports.append(QJsonObject{{"port", port}, {"device", device}, {"opened", opened}, {"detail", detail}});
            });
    connect(&m_session, &PanelSession::searchFinished, this, [this](PanelSearch::Outcome outcome) {
        if (outcome == PanelSearch::Found)
            return connected();
        finish(ExitStatus::NoPanel, QStringLiteral("no panel found"));
    });
    connect(&m_session, &PanelSession::passwordAccepted, this, [this] {
        if (m_passwordTested || m_finished)
            return;
        m_passwordTested = true;
        m_answerWait.stop();
        runOperation();
    });
    connect(&m_session, &PanelSession::progressChanged, this,
            [this](int value, int maximum) { emit progress(QStringLiteral("transfer"), value, maximum); });
    connect(&m_session, &PanelSession::downloadFinished, this, [this](bool complete) {
        const int status = complete && !m_dataError ? ExitStatus::Done : ExitStatus::Incomplete;
        settleThenFinish(status, m_summary);
    });
    connect(&m_session, &PanelSession::settingsReceived, this, [this](int group) {
        m_reading.received[group] = true;
        if (m_session.isUploading())
            m_answerWait.start(); // the panel is still talking
    });
    connect(&m_session, &PanelSession::uploadFinished, this, [this](const PanelReading &reading) {
        if (m_request.operation != JobRequest::Operation::Upload)
            return;
        m_reading = reading;
        m_data.insert(QStringLiteral("settings"), SettingsFile::toJson(reading.settings));
        // A lost line or "Data Error!" has said what it is.
        if (reading.complete())
            finish(ExitStatus::Done, QStringLiteral("finish Upload!"));
    });
    connect(&m_session, &PanelSession::zoneTextReceived, this, [this](const QString &text) {
        m_data.insert(QStringLiteral("text"), text);
        finish(ExitStatus::Done, QStringLiteral("finish Upload!"));
    });
    connect(&m_session, &PanelSession::comparisonFinished, this,
            [this](const QList<ComparisonRow> &rows, const QString &note) {
                QJsonArray shown;
                bool differs = false;
                bool missing = false;
                for (const ComparisonRow &row : rows) {
                    const bool same = row.state == ComparisonRow::State::Same;
                    differs |= row.state == ComparisonRow::State::Differs;
                    missing |= row.state == ComparisonRow::State::NotReceived;
                    shown.append(QJsonObject{{"setting", row.label}, {"given", row.windowValue},
                                             {"panel", row.panelValue}, {"same", same}});
                }
                m_data.insert(QStringLiteral("comparison"), shown);
                const QString summary = note.isEmpty() ? ComparisonSummary(rows) : note + ' ' + ComparisonSummary(rows);
                finish(missing ? ExitStatus::Incomplete : differs ? ExitStatus::Differences : ExitStatus::Done,
                       summary);
            });
}

QString PanelJob::device() const
{
    if (!m_request.device.isEmpty())
        return m_request.device;
    return m_session.link().deviceName();
}

void PanelJob::start()
{
    emit progress(QStringLiteral("opening"), 0, 0);
    if (m_request.operation == JobRequest::Operation::Detect || (m_request.device.isEmpty() && m_request.port == 0))
        return m_session.search(m_request.port ? m_request.port : m_request.firstPort,
                                m_request.port ? m_request.port : m_request.lastPort);
    if (!m_request.device.isEmpty()) {
        if (m_session.openDevice(m_request.device))
            connected();
        else
            finish(ExitStatus::NoPanel, m_summary);
        return;
    }
    QString error;
    if (m_session.link().selectPort(m_request.port, &error) && m_session.link().open(&error))
        return connected();
    finish(ExitStatus::NoPanel, QStringLiteral("port %1 cannot be opened: %2").arg(m_request.port).arg(error));
}

void PanelJob::connected()
{
    if (m_request.operation == JobRequest::Operation::Detect)
        return finish(ExitStatus::Done, QStringLiteral("panel found on port %1").arg(m_session.link().portNumber()));
    emit progress(QStringLiteral("password"), 0, 0);
    m_answerWait.start();
    if (!m_session.testPassword(m_request.password))
        finish(ExitStatus::Incomplete, m_summary);
}

void PanelJob::runOperation()
{
    using Op = JobRequest::Operation;
    bool begun = false;
    switch (m_request.operation) {
    case Op::Download:
        begun = m_session.download(m_request.settings);
        break;
    case Op::Upload:
        begun = m_session.upload();
        if (begun)
            m_answerWait.start();
        break;
    case Op::Compare:
        begun = m_session.compare(m_request.settings);
        break;
    case Op::ZoneDownload:
        if (m_session.downloadZoneText(m_request.zone, m_request.text))
            return settleThenFinish(ExitStatus::Done, m_summary);
        break;
    case Op::ZoneUpload:
        begun = m_session.uploadZoneText(m_request.zone);
        if (begun)
            m_answerWait.start();
        break;
    case Op::Detect:
        break;
    }
    if (!begun)
        finish(ExitStatus::Incomplete, m_summary);
}

void PanelJob::message(const SessionMessage &message)
{
    m_summary = message.text;
    m_messages.append(message.text);
    emit said(message.text);
    if (m_finished)
        return;
    if (message.text == QLatin1String("Enter the password wrong operation"))
        return finish(ExitStatus::PasswordRefused, message.text);
    if (message.text == QLatin1String("Data Error!")) {
        m_dataError = true;
        if (m_request.operation == JobRequest::Operation::Upload)
            finish(ExitStatus::Incomplete, message.text);
        return;
    }
    // A line lost outside a transfer's own report, or an upload that
    // did not complete.
    if (message.text == QLatin1String("Serial port disconnected!") || message.text.startsWith("upload not complete"))
        finish(ExitStatus::Incomplete, message.text);
}

void PanelJob::answerTimedOut()
{
    if (!m_passwordTested)
        return finish(ExitStatus::Incomplete, QStringLiteral("the panel did not answer the password"));
    finish(ExitStatus::Incomplete,
           m_request.operation == JobRequest::Operation::Upload
               ? QStringLiteral("upload not complete: the panel stopped answering; not received: %1!")
                     .arg(MissingGroups(m_reading))
               : QStringLiteral("the panel did not answer"));
}

// The panel ends the last frame of a download when the line has been quiet
// for a moment; a program started right after this one must not run its
// first frame into it.
void PanelJob::settleThenFinish(int status, const QString &summary)
{
    QTimer::singleShot(SettleMs, this, [this, status, summary] { finish(status, summary); });
}

void PanelJob::finish(int status, const QString &summary)
{
    if (m_finished)
        return;
    m_finished = true;
    m_status = status;
    m_summary = summary;
    m_answerWait.stop();
    m_session.endProgram(); // the port closed, nothing more said
    emit finished();
}

QJsonObject PanelJob::result() const
{
    QJsonObject result = m_data;
    result.insert(QStringLiteral("device"), device());
    result.insert(QStringLiteral("status"), m_status);
    result.insert(QStringLiteral("message"), m_summary);
    result.insert(QStringLiteral("messages"), QJsonArray::fromStringList(m_messages));
    if (m_request.operation == JobRequest::Operation::Detect)
        result.insert(QStringLiteral("ports"), m_ports);
    return result;
}
