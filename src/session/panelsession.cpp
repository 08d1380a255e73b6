#include "panelsession.h"

#include "fieldcodecs.h"
#include "panelcommands.h"
#include "panelframes.h"
#include "replymatch.h"
#include "settingstransfer.h"
#include "zonemessages.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <utility>

namespace {

// The window writes line breaks as "\n"; the panel's are carriage return and line feed.
QString toPanelLineBreaks(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

QString fromPanelLineBreaks(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

// A zone's answer, as frame text, is one reply: the text and CR LF. The
// same reply twice over (a line or panel that repeats what it sends) is
// that reply once. A text made of one line twice ("Door", line break,
// "Door") cannot be told from it and is read as one line.
QString oneAnswer(const QString &answer)
{
    const qsizetype half = answer.size() / 2;
    if (half % 2 == 0 && answer.size() == 2 * half && answer.endsWith(QLatin1String("0D0A"))
        && QStringView(answer).first(half) == QStringView(answer).sliced(half))
        return answer.first(half);
    return answer;
}

// What an operation that awaits replies is told when `next` takes the line.
EndCause givenWayTo(Operation next)
{
    switch (next) {
    case Operation::Downloading:
        return EndCause::DownloadBegan;
    case Operation::Uploading:
        return EndCause::UploadBegan;
    case Operation::ZoneDownloading:
        return EndCause::ZoneDownloadBegan;
    case Operation::ZoneUploading:
        return EndCause::ZoneUploadBegan;
    case Operation::Comparing:
        return EndCause::ComparisonBegan;
    case Operation::Searching:
    case Operation::Idle:
        break;
    }
    return EndCause::PortClosed;
}

// How long a frame of `bytes` is on the line at 9600 baud, 8N1: ten bits a byte.
int lineTimeMs(int bytes)
{
    return (bytes * 10 * 1000 + 9599) / 9600;
}

bool lineEnded(EndCause cause)
{
    return cause == EndCause::PortClosed || cause == EndCause::LineLost || cause == EndCause::ProgramEnded;
}

PanelOutcome comparisonOutcome(const QList<ComparisonRow> &rows)
{
    bool differs = false;
    for (const ComparisonRow &row : rows) {
        if (row.state == ComparisonRow::State::NotReceived)
            return PanelOutcome::ComparisonIncomplete;
        differs |= row.state == ComparisonRow::State::Differs;
    }
    return differs ? PanelOutcome::ComparisonDiffers : PanelOutcome::ComparisonSame;
}

} // namespace

PanelSession::PanelSession(QObject *parent)
    : QObject(parent)
    , m_search(m_link)
{
    connect(&m_link, &SerialLink::replyReceived, this, &PanelSession::takeReply);
    connect(&m_link, &SerialLink::portLost, this, &PanelSession::lineLost);
    connect(&m_progress, &TransferProgress::changed, this, &PanelSession::progressChanged);
    connect(&m_search, &PanelSearch::searching, this, &PanelSession::searching);
    connect(&m_search, &PanelSearch::portTried, this, &PanelSession::reportPort);
    connect(&m_search, &PanelSearch::detecting, this, &PanelSession::detecting);
    connect(&m_search, &PanelSearch::finished, this, &PanelSession::searchEnded);
    connect(&m_download, &PacedSender::finished, this, &PanelSession::downloadEnded);
    connect(&m_comparison, &SettingsCollector::finished, this, [this](SettingsCollector::End end) {
        switch (end) {
        case SettingsCollector::End::Complete:
            return finish(EndCause::Natural);
        case SettingsCollector::End::TimedOut:
            return finish(EndCause::PanelSilent);
        case SettingsCollector::End::DataError:
            return finish(EndCause::PanelRefused);
        case SettingsCollector::End::Cancelled:
            return; // by endRunning, which tells the end itself
        }
    });
    m_replyWait.setSingleShot(true);
    m_replyWait.setInterval(ReplyWaitMs);
    connect(&m_replyWait, &QTimer::timeout, this, [this] { finish(EndCause::PanelSilent); });
    m_zoneAnswer.setSingleShot(true);
    m_zoneAnswer.setInterval(ZoneAnswerQuietMs);
    connect(&m_zoneAnswer, &QTimer::timeout, this, &PanelSession::zoneTextEnded);
    m_refusalWait.setSingleShot(true);
    connect(&m_refusalWait, &QTimer::timeout, this, [this] { finish(EndCause::Natural); });
}

void PanelSession::setReplyWaitMs(int ms)
{
    m_comparison.setReplyWaitMs(ms);
    m_replyWait.setInterval(ms);
}

// The state path.

void PanelSession::say(PanelOutcome kind, const QStringList &arguments, const QString &detail)
{
    const SessionMessage said = SessionMessage::of(kind, arguments, detail);
    if (!m_ending && !said.text.isEmpty())
        emit message(said);
}

// The one check before anything goes on the line: nothing while a download
// or the search sends, and most need an open port.
bool PanelSession::mayUseLine(bool needsPort)
{
    if (m_operation == Operation::Downloading)
        say(PanelOutcome::DownloadInProgress);
    else if (m_operation == Operation::Searching)
        say(PanelOutcome::SearchInProgress);
    else if (needsPort && !m_link.isOpen())
        say(PanelOutcome::NotOpen);
    else
        return true;
    return false;
}

// The one way in. What awaited replies gives way first; its end is told
// once `setUp` has made the next ready for the replies that may come
// while a message about it is open.
void PanelSession::enter(Operation next, const std::function<void()> &setUp)
{
    const OperationEnd givenWay = endRunning(givenWayTo(next));
    if (next != Operation::ZoneDownloading)
        resetZoneText();
    m_operation = next;
    if (setUp)
        setUp();
    announce(givenWay);
}

void PanelSession::resetZoneText()
{
    m_zoneTextMode = 0;
    m_zoneAnswer.stop();
    m_zoneReplies.clear();
    m_zoneRequest.clear();
}

// From now on complete replies go to the dispatch; a zone upload that
// awaited its text has ended.
void PanelSession::takeRepliesAsSettings(EndCause cause)
{
    const OperationEnd ended = m_operation == Operation::ZoneUploading ? endRunning(cause) : OperationEnd{};
    resetZoneText();
    announce(ended);
}

void PanelSession::finish(EndCause cause)
{
    announce(endRunning(cause));
}

// The one way out: the running operation's machinery stopped, the progress
// and the waits stopped, the state idle, and how it ended. Nothing is told
// here; announce() tells it.
OperationEnd PanelSession::endRunning(EndCause cause)
{
    OperationEnd end;
    end.operation = std::exchange(m_operation, Operation::Idle);
    end.cause = cause;
    m_progress.stop();
    m_replyWait.stop();
    // Cut short, the wait leaves a refusal of the last frame unknown.
    const bool refusalUnknown = m_refusalWait.isActive() && cause != EndCause::Natural;
    m_refusalWait.stop();
    switch (end.operation) {
    case Operation::Idle:
        return end;
    case Operation::Searching:
        m_search.cancel();
        end.outcome = m_searchOutcome == PanelSearch::Found          ? PanelOutcome::PanelFound
                      : m_searchOutcome == PanelSearch::HardwareFail ? PanelOutcome::HardwareFail
                                                                     : PanelOutcome::NoPanel;
        end.message = SessionMessage::of(end.outcome, {}, m_searchReport.join(QLatin1Char('\n')));
        return end;
    case Operation::Downloading: {
        const QSignalBlocker quiet(m_download);
        m_download.stop();
        end.framesSent = m_download.framesSent();
        end.frames = m_download.frameCount();
        end.sent = m_sent;
        end.refusedFrames = m_refusedFrames;
        if (end.framesSent == end.frames && !refusalUnknown) {
            end.outcome = m_downloadRefused ? PanelOutcome::DownloadRefused : PanelOutcome::DownloadFinished;
            end.message = SessionMessage::of(end.outcome);
            return end;
        }
        end.outcome = PanelOutcome::DownloadIncomplete;
        end.message = SessionMessage::of(end.outcome, {QString::number(end.framesSent), QString::number(end.frames)});
        if (cause == EndCause::ProgramEnded) {
            const QString note = QStringLiteral("download stopped after %1 of %2 frames: the program ended, "
                                                "the panel did not get all settings")
                                     .arg(end.framesSent)
                                     .arg(end.frames);
            m_link.trace().note(note);
            // Said by whichever program runs the session, for its panel.
            std::fprintf(stderr, "%s: %s: %s\n",
                         qPrintable(QFileInfo(QCoreApplication::applicationFilePath()).fileName()),
                         qPrintable(m_link.deviceName()), qPrintable(note));
        }
        return end;
    }
    case Operation::Uploading:
        end.reading = m_reading;
        if (cause == EndCause::Natural) {
            end.outcome = PanelOutcome::UploadFinished;
            m_progress.setValue(m_progress.maximum());
        } else {
            end.outcome = cause == EndCause::PanelRefused ? PanelOutcome::UploadRefused : PanelOutcome::UploadIncomplete;
        }
        end.message = SessionMessage::of(end.outcome, {EndCausePhrase(cause), MissingGroups(m_reading)});
        return end;
    case Operation::ZoneDownloading:
        end.zone = m_zone;
        end.zoneText = m_zoneSent;
        end.outcome = cause == EndCause::PanelRefused ? PanelOutcome::ZoneDownloadRefused
            // Another operation taking the line ends the wait as it always ended it.
            : refusalUnknown && lineEnded(cause) ? PanelOutcome::ZoneDownloadIncomplete
                                                 : PanelOutcome::ZoneDownloadFinished;
        end.message = SessionMessage::of(end.outcome, {EndCausePhrase(cause)});
        return end;
    case Operation::ZoneUploading:
        end.zone = m_zone;
        m_zoneAnswer.stop();
        m_zoneRequest.clear();
        if (cause == EndCause::Natural) {
            end.outcome = PanelOutcome::ZoneUploadFinished;
            end.zoneText = m_zoneText;
        } else {
            end.outcome = PanelOutcome::ZoneUploadIncomplete;
            m_zoneReplies.clear(); // what came is not the whole text
        }
        end.message = SessionMessage::of(end.outcome, {EndCausePhrase(cause)});
        return end;
    case Operation::Comparing: {
        {
            const QSignalBlocker quiet(m_comparison);
            m_comparison.cancel();
        }
        end.reading = m_comparison.reading();
        end.rows = CompareWithPanel(m_compared, end.reading);
        end.note = ComparisonNote(cause, end.reading.receivedCount() > 0);
        end.outcome = comparisonOutcome(end.rows);
        return end;
    }
    }
    return end;
}

void PanelSession::announce(const OperationEnd &end)
{
    if (end.operation == Operation::Idle)
        return;
    // An end that came before the program's is told even when a receiver
    // of operationEnded ends the program.
    const bool quiet = m_ending;
    emit operationEnded(end);
    if (!quiet && !end.message.text.isEmpty())
        emit message(end.message);
}

bool PanelSession::send(const QString &frame)
{
    const bool wasOpen = m_link.isOpen();
    QString error;
    if (m_link.SendFrame(frame, &error))
        return true;
    // Frames are built by the encoders, which refuse what cannot travel: a
    // send fails on a closed port, or on a line that went away while sending
    // (and that has been said).
    if (!wasOpen)
        say(PanelOutcome::NotOpen);
    return false;
}

// The search.

void PanelSession::search(int firstPort, int lastPort)
{
    beginSearch([=] { m_search.start(firstPort, lastPort); });
}

void PanelSession::searchDevice(const QString &device)
{
    beginSearch([=] { m_search.startOn(device); });
}

void PanelSession::beginSearch(const std::function<void()> &start)
{
    if (!mayUseLine(false))
        return;
    enter(Operation::Searching, [&] {
        m_panelFound = 0;
        m_searchReport.clear();
        m_searchOutcome = PanelSearch::NoPanel;
        start();
    });
}

void PanelSession::reportPort(int port, bool opened, const QString &device, const QString &detail)
{
    if (m_operation == Operation::Searching)
        m_searchReport << (device.isEmpty() ? QStringLiteral("Port %1: %2").arg(port).arg(detail)
                                            : QStringLiteral("Port %1 (%2): %3").arg(port).arg(device, detail));
    emit portTried(port, opened, device, detail);
}

void PanelSession::searchEnded(PanelSearch::Outcome outcome)
{
    m_searchOutcome = outcome;
    finish(EndCause::Natural);
}

bool PanelSession::openDevice(const QString &device)
{
    if (!mayUseLine(false))
        return false;
    QString error;
    if (!m_link.openPath(device, &error)) {
        say(PanelOutcome::DeviceUnavailable, {device, error});
        return false;
    }
    m_panelFound = 0;
    takeRepliesAsSettings(EndCause::PortClosed);
    return true;
}

bool PanelSession::openPort()
{
    if (!mayUseLine(false))
        return false;
    switch (m_search.openFirstPort()) {
    case PanelSearch::Opening::Opened:
        m_panelFound = 0;
        takeRepliesAsSettings(EndCause::PortClosed); // the open emptied the receive buffer
        return true;
    case PanelSearch::Opening::AlreadyOpen:
        say(PanelOutcome::AlreadyOpen);
        return false;
    case PanelSearch::Opening::NoPortOpened:
        break;
    }
    say(PanelOutcome::NoHardware);
    return false;
}

// The line is closed before anything is told, so no reply comes in while
// a message about the end is open.
void PanelSession::closePort()
{
    m_link.close();
    finish(EndCause::PortClosed);
}

void PanelSession::endProgram()
{
    m_ending = true;
    m_link.close();
    finish(EndCause::ProgramEnded);
}

void PanelSession::lineLost(const QString &reason)
{
    if (m_operation == Operation::Searching)
        return; // the search counts the port as failed and goes on
    emit portTried(m_link.portNumber(), false, m_link.deviceName(),
                   QStringLiteral("the device went away: %1").arg(reason));
    const OperationEnd ended = endRunning(EndCause::LineLost);
    announce(ended);
    // A transfer's own message says what did not arrive: the one message of this loss.
    if (ended.message.text.isEmpty())
        say(PanelOutcome::LineLost);
}

// The password test.

bool PanelSession::testPassword(const QString &password)
{
    if (!mayUseLine(false))
        return false;
    // The line went away while the password dialog was open (a cable
    // pulled and plugged back): the device on which the panel was found is
    // opened again before the password goes out.
    QString error;
    if (!m_link.isOpen() && m_link.reopen(&error))
        emit portTried(m_link.portNumber(), true, m_link.deviceName(), QStringLiteral("opened again"));
    const Encoded frame = PasswordFrame(password);
    if (!frame.ok()) {
        say(PanelOutcome::TextRefused, {QStringLiteral("The password can only hold characters that fit in one byte!")});
        return false;
    }
    takeRepliesAsSettings(EndCause::PasswordSent);
    return send(frame.text);
}

// The settings download.

bool PanelSession::download(const PanelSettings &settings, PanelSettings *sent)
{
    if (!mayUseLine())
        return false;
    // One reading of the settings: changes made during the sending do not count.
    const PanelSettings aligned = AlignRelayLists(settings);
    const DownloadFrames frames = SettingsDownloadFrames(aligned);
    if (!frames.ok()) {
        say(PanelOutcome::InputRefused, {frames.refusal});
        return false;
    }
    if (sent)
        *sent = aligned;
    enter(Operation::Downloading, [&] {
        m_downloadRefused = false;
        m_refusedFrames.clear();
        m_sent = aligned;
        m_lastFrame = frames.frames.last();
        m_progress.start(TransferProgress::DownloadMaximum);
        m_download.start(frames.frames, m_frameGapMs,
                         [this](const QString &frame, QString *error) { return m_link.SendFrame(frame, error); });
    });
    return true;
}

void PanelSession::downloadEnded(const PacedSender::Result &result)
{
    if (result.outcome == PacedSender::Outcome::SendFailed)
        return finish(EndCause::SendFailed);
    awaitRefusal(m_lastFrame);
}

// The frame just written counts as taken once the panel has had its time
// to refuse it; the operation goes on until then.
void PanelSession::awaitRefusal(const QString &frame)
{
    m_refusalWait.start(RefusalWaitMs + lineTimeMs(int(frame.size()) / 2));
}

// The settings upload.

bool PanelSession::upload()
{
    if (m_operation == Operation::Uploading)
        return true; // a double click: the replies are on their way
    if (!mayUseLine())
        return false;
    m_link.clearReceiveBuffer();
    if (!send(QLatin1String(PanelFrames::UploadRequest)))
        return false;
    enter(Operation::Uploading, [this] {
        m_reading = PanelReading{};
        m_progress.start(TransferProgress::UploadMaximum);
        m_replyWait.start();
    });
    return true;
}

// Replies.

void PanelSession::takeReply(const QString &reply)
{
    if (m_operation == Operation::Comparing)
        m_comparison.take(reply); // every reply goes to it until it ends
    else if (m_operation == Operation::ZoneDownloading && MatchReply(reply).kind == ReplyKind::DataError)
        dataError(); // the zone frame's refusal, whoever else takes replies now
    else if (m_zoneTextMode == 1)
        zoneTextPart(reply);
    else
        DispatchReply(reply);
}

void PanelSession::DispatchReply(const QString &reply)
{
    const ReplyMatch match = MatchReply(reply);
    switch (match.kind) {
    case ReplyKind::DataError:
        return dataError();
    case ReplyKind::PanelAnswer:
        m_panelFound = 1;
        m_search.panelAnswered();
        return;
    case ReplyKind::PasswordAccepted:
        emit passwordAccepted();
        return;
    case ReplyKind::PasswordRefused:
        return say(PanelOutcome::PasswordRefused);
    case ReplyKind::Ignored:
    case ReplyKind::Unknown:
        return;
    default:
        return settingsReply(match, reply);
    }
}

void PanelSession::dataError()
{
    if (m_operation == Operation::Uploading)
        return finish(EndCause::PanelRefused);
    m_progress.stop(); // the bar stays where it stands
    if (m_operation == Operation::Downloading) {
        m_downloadRefused = true;
        // Replies are not matched to frames: a refusal is the last sent frame's.
        if (!m_refusedFrames.contains(m_download.framesSent()))
            m_refusedFrames << m_download.framesSent();
    }
    if (m_operation == Operation::Downloading && m_download.isRunning()) {
        // The remaining frames wait until the message has been answered; a
        // download stopped meanwhile stays stopped.
        m_download.pause();
        say(PanelOutcome::DataError);
        m_download.resume();
        return;
    }
    const Operation refused = m_operation;
    const bool awaited = m_refusalWait.isActive();
    m_refusalWait.stop(); // the answer has come; a message open meanwhile does not end it
    say(PanelOutcome::DataError);
    // The last frame or a zone message refused: the operation ends so, once
    // the message has been answered, unless something else ended it meanwhile.
    if (awaited && m_operation == refused)
        finish(EndCause::PanelRefused);
}

void PanelSession::settingsReply(const ReplyMatch &match, const QString &reply)
{
    const int group = DecodeSettingsReply(match, reply, m_reading);
    emit settingsReceived(group, m_reading.settings);
    const bool uploading = m_operation == Operation::Uploading;
    if (uploading)
        m_replyWait.start(); // the panel is still talking
    if (group != SettingsGroups::Reminder)
        return;
    // The panel's last reply.
    if (!uploading)
        return say(PanelOutcome::UploadFinished);
    finish(m_reading.complete() ? EndCause::Natural : EndCause::LastReplyEarly);
}

// Zone messages.

QString PanelSession::zoneTextRefusal(const QString &zone, const QString &text)
{
    return ZoneMessageFrame(zone, toPanelLineBreaks(text)).error;
}

bool PanelSession::downloadZoneText(const QString &zone, const QString &text)
{
    if (!mayUseLine())
        return false;
    const Encoded frame = ZoneMessageFrame(zone, toPanelLineBreaks(text));
    if (!frame.ok()) {
        say(PanelOutcome::TextRefused, {frame.error});
        return false;
    }
    if (!send(frame.text))
        return false;
    enter(Operation::ZoneDownloading, [&] {
        m_zone = zone;
        m_zoneSent = text;
        awaitRefusal(frame.text);
    });
    return true;
}

bool PanelSession::uploadZoneText(const QString &zone)
{
    if (m_operation == Operation::ZoneUploading)
        return true; // a double click: the answer is on its way
    if (!mayUseLine())
        return false;
    const Encoded frame = ZoneUploadFrame(zone);
    if (!frame.ok()) {
        say(PanelOutcome::TextRefused, {frame.error});
        return false;
    }
    enter(Operation::ZoneUploading, [&] {
        m_zone = zone;
        m_zoneTextMode = 1;
        m_zoneRequest = frame.text;
        m_zoneAnswer.start(); // the request goes out when the line is quiet
        m_replyWait.start();
    });
    return true;
}

void PanelSession::zoneTextPart(const QString &reply)
{
    m_zoneAnswer.start();
    if (!m_zoneRequest.isEmpty())
        return; // before the request: not the answer
    if (m_operation == Operation::ZoneUploading)
        m_replyWait.start(); // the panel is still talking
    m_zoneReplies += reply;
}

// The line has been quiet: the request goes out, or the answer is over.
// Outside a zone upload (a late answer) it is shown all the same, as it
// always was.
void PanelSession::zoneTextEnded()
{
    if (!m_zoneRequest.isEmpty()) {
        m_link.clearReceiveBuffer();
        if (!send(std::exchange(m_zoneRequest, QString())) && m_operation == Operation::ZoneUploading)
            finish(EndCause::SendFailed);
        return;
    }
    if (!m_link.ReceiveBuffer().isEmpty())
        return m_zoneAnswer.start(); // a reply half-received: the answer goes on
    m_zoneText = fromPanelLineBreaks(HexText(oneAnswer(std::exchange(m_zoneReplies, QString()))));
    emit zoneTextReceived(m_zoneText);
    if (m_operation == Operation::ZoneUploading)
        finish(EndCause::Natural);
    else
        say(PanelOutcome::ZoneUploadFinished);
}

// Compare with panel: the panel's settings are read into a reading of
// their own, never handed out as settings replies.

bool PanelSession::compare(const PanelSettings &window)
{
    if (m_operation == Operation::Comparing || !mayUseLine())
        return false;
    // As an upload does: stray bytes go, and the answers are not zone text.
    m_link.clearReceiveBuffer();
    if (!send(QLatin1String(PanelFrames::UploadRequest)))
        return false;
    enter(Operation::Comparing, [&] {
        m_compared = AlignRelayLists(window);
        m_comparison.start();
        emit comparisonStarted(m_compared);
    });
    return true;
}
