#include "paneljob.h"

#include "historyview.h"

#include "settingsfile.h"

#include <QJsonArray>

#include <utility>

namespace {

// The operation of the session that carries out a request.
Operation sessionOperation(JobRequest::Operation operation)
{
    switch (operation) {
    case JobRequest::Operation::Download:
        return Operation::Downloading;
    case JobRequest::Operation::Upload:
        return Operation::Uploading;
    case JobRequest::Operation::Compare:
        return Operation::Comparing;
    case JobRequest::Operation::ZoneDownload:
        return Operation::ZoneDownloading;
    case JobRequest::Operation::ZoneUpload:
        return Operation::ZoneUploading;
    case JobRequest::Operation::Detect:
        break;
    }
    return Operation::Searching;
}

} // namespace

PanelJob::PanelJob(const JobRequest &request, QObject *parent)
    : QObject(parent)
    , m_request(request)
{
    m_answerWait.setSingleShot(true);
    m_answerWait.setInterval(AnswerWaitMs);
    connect(&m_answerWait, &QTimer::timeout, this, [this] {
        finish(ExitStatus::Incomplete, QStringLiteral("the panel did not answer the password"));
    });
    connect(&m_session, &PanelSession::message, this, &PanelJob::message);
    connect(&m_session, &PanelSession::operationEnded, this, &PanelJob::operationEnded);
    connect(&m_session, &PanelSession::passwordAccepted, this, &PanelJob::passwordAccepted);
    connect(&m_session, &PanelSession::portTried, this, &PanelJob::portTried);
    connect(&m_session, &PanelSession::detecting, this, [this] { m_detecting = true; });
    connect(&m_session, &PanelSession::searching, this,
            [this](int port, int last) { emit progress(QStringLiteral("searching, port %1").arg(port), port, last); });
    connect(&m_session, &PanelSession::progressChanged, this,
            [this](int value, int maximum) { emit progress(QStringLiteral("transfer"), value, maximum); });
}

QString PanelJob::device() const
{
    if (!m_request.deviceName.isEmpty())
        return m_request.deviceName;
    return m_session.link().deviceName();
}

void PanelJob::start()
{
    emit progress(QStringLiteral("opening"), 0, 0);
    if (m_request.operation == JobRequest::Operation::Detect && !m_request.device.isEmpty())
        return m_session.searchDevice(m_request.device);
    if (m_request.operation == JobRequest::Operation::Detect || (m_request.device.isEmpty() && m_request.port == 0))
        return m_session.search(m_request.port ? m_request.port : m_request.firstPort,
                                m_request.port ? m_request.port : m_request.lastPort);
    if (!m_request.device.isEmpty()) {
        if (m_session.openDevice(m_request.device))
            connected();
        else
            finish(ExitStatus::of(m_lastMessage.kind), m_lastMessage.text);
        return;
    }
    QString error;
    if (m_session.link().selectPort(m_request.port, &error) && m_session.link().open(&error))
        return connected();
    finish(ExitStatus::NoPanel, QStringLiteral("port %1 cannot be opened: %2").arg(m_request.port).arg(error));
}

void PanelJob::portTried(int port, bool opened, const QString &device, const QString &detail)
{
    // The session's `opened` is the window's lamp (the port in use); a port
    // that opened and stayed silent opened all the same.
    opened |= std::exchange(m_detecting, false);
    m_ports.append(QJsonObject{{"port", port}, {"device", device}, {"opened", opened}, {"detail", detail}});
}

void PanelJob::connected()
{
    if (m_request.operation == JobRequest::Operation::Detect)
        return finish(ExitStatus::Done, m_request.device.isEmpty()
                                            ? QStringLiteral("panel found on port %1").arg(m_session.link().portNumber())
                                            : QStringLiteral("panel found"));
    emit progress(QStringLiteral("password"), 0, 0);
    m_answerWait.start();
    if (!m_session.testPassword(m_request.password))
        finish(ExitStatus::of(m_lastMessage.kind), m_lastMessage.text);
}

void PanelJob::passwordAccepted()
{
    if (m_passwordTested || m_finished)
        return;
    m_passwordTested = true;
    m_answerWait.stop();
    runOperation();
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
        break;
    case Op::Compare:
        begun = m_session.compare(m_request.settings);
        break;
    case Op::ZoneDownload:
        begun = m_session.downloadZoneText(m_request.zone, m_request.text);
        break;
    case Op::ZoneUpload:
        begun = m_session.uploadZoneText(m_request.zone);
        break;
    case Op::Detect:
        break;
    }
    if (!begun)
        finish(ExitStatus::of(m_lastMessage.kind), m_lastMessage.text);
}

void PanelJob::operationEnded(const OperationEnd &end)
{
    recordHistory(end);
    if (m_finished)
        return;
    if (end.operation == Operation::Searching) {
        if (end.outcome == PanelOutcome::PanelFound)
            return connected();
        return finish(ExitStatus::of(end.outcome), QStringLiteral("no panel found"));
    }
    if (end.operation != sessionOperation(m_request.operation))
        return;
    keepResult(end);
    QString summary = end.message.text;
    const QString refused = SessionMessage::of(PanelOutcome::DataError).text;
    if (end.outcome == PanelOutcome::DownloadRefused) {
        QStringList frames;
        for (const int frame : end.refusedFrames)
            frames << QString::number(frame);
        summary = QStringLiteral("%1 The panel refused frame %2 of %3.").arg(refused, frames.join(", ")).arg(end.frames);
    } else if (end.outcome == PanelOutcome::ZoneDownloadRefused) {
        summary = QStringLiteral("%1 The panel refused zone %2's message text.").arg(refused, m_request.zone);
    } else if (end.operation == Operation::Comparing) {
        summary = end.note.isEmpty() ? ComparisonSummary(end.rows) : end.note + ' ' + ComparisonSummary(end.rows);
    }
    // A download's end comes after its refusal wait, a quiet line: the panel
    // has ended the last frame before a program started next sends.
    finish(ExitStatus::of(end.outcome), summary);
}

void PanelJob::recordHistory(const OperationEnd &end)
{
    if (!m_request.history)
        return;
    HistorySource source = m_request.historySource;
    source.device = m_session.link().deviceName();
    source.port = m_request.device.isEmpty() ? m_session.link().portNumber() : 0;
    // A failure is said, and leaves the panel's status as it is.
    if (const QString fault = HistoryView::record(*m_request.history, end, source); !fault.isEmpty()) {
        m_data.insert(QStringLiteral("history"), fault);
        m_messages.append(fault);
    }
}

void PanelJob::keepResult(const OperationEnd &end)
{
    switch (end.operation) {
    case Operation::Uploading:
        m_reading = end.reading;
        m_data.insert(QStringLiteral("settings"), SettingsFile::toJson(end.reading.settings));
        break;
    case Operation::ZoneUploading:
        if (end.outcome == PanelOutcome::ZoneUploadFinished)
            m_data.insert(QStringLiteral("text"), end.zoneText);
        break;
    case Operation::Comparing: {
        QJsonArray shown;
        for (const ComparisonRow &row : end.rows)
            shown.append(QJsonObject{{"setting", row.label},
                                     {"given", row.windowValue},
                                     {"panel", row.panelValue},
                                     {"same", row.state == ComparisonRow::State::Same}});
        m_data.insert(QStringLiteral("comparison"), shown);
        break;
    }
    default:
        break;
    }
}

void PanelJob::message(const SessionMessage &message)
{
    m_lastMessage = message;
    m_messages.append(message.text);
    emit said(message.text);
    if (m_finished)
        return;
    // What ends a panel's work outside an operation's own end.
    if (message.kind == PanelOutcome::PasswordRefused || message.kind == PanelOutcome::LineLost)
        finish(ExitStatus::of(message.kind), message.text);
}

void PanelJob::failAfter(int status, const QString &why)
{
    m_messages.append(why);
    if (status < m_status)
        return;
    m_status = status;
    m_summary = why;
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
