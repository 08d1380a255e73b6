#include "panelsession.h"

#include "fieldcodecs.h"
#include "panelcommands.h"
#include "panelframes.h"
#include "replymatch.h"
#include "settingstransfer.h"
#include "zonemessages.h"

#include <cstdio>
#include <utility>

namespace {

const QString SystemInformation = QLatin1String(SessionMessage::SystemInformation);
// The transfers' own messages carry this title in lower case.
const QString SystemInformationLower = QLatin1String(SessionMessage::SystemInformationLower);

// The window writes line breaks as "\n"; the panel's are carriage return and line feed.
QString toPanelLineBreaks(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

QString fromPanelLineBreaks(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
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
    connect(&m_search, &PanelSearch::detecting, this, [this] { ZoneTextMode = 0; });
    connect(&m_search, &PanelSearch::portTried, this, &PanelSession::reportPort);
    connect(&m_search, &PanelSearch::finished, this, &PanelSession::searchEnded);
    connect(&m_download, &PacedSender::finished, this, &PanelSession::downloadEnded);
    connect(&m_comparison, &SettingsCollector::finished, this, &PanelSession::comparisonEnded);
    m_zoneAnswer.setSingleShot(true);
    m_zoneAnswer.setInterval(ZoneAnswerQuietMs);
    connect(&m_zoneAnswer, &QTimer::timeout, this, &PanelSession::zoneTextEnded);
}

void PanelSession::inform(const QString &text, const QString &title, const QString &detail)
{
    emit message(SessionMessage{text, title, detail});
}

bool PanelSession::refuseWhileSending()
{
    if (m_download.isRunning())
        inform(QLatin1String(DownloadInProgress), SystemInformationLower);
    else if (m_search.isRunning())
        inform(QLatin1String(SearchInProgress), SystemInformationLower);
    else
        return false;
    return true;
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
        inform(QStringLiteral("Serial port not open!"), SystemInformation);
    return false;
}

// The search.

void PanelSession::search(int firstPort, int lastPort)
{
    if (refuseWhileSending())
        return;
    PanelFound = 0;
    m_searchReport.clear();
    m_search.start(firstPort, lastPort);
}

bool PanelSession::openDevice(const QString &device)
{
    if (refuseWhileSending())
        return false;
    QString error;
    if (!m_link.openPath(device, &error)) {
        inform(QStringLiteral("The serial port %1 cannot be opened: %2!").arg(device, error), SystemInformation);
        return false;
    }
    PanelFound = 0;
    ZoneTextMode = 0;
    return true;
}

void PanelSession::reportPort(int port, bool opened, const QString &device, const QString &detail)
{
    if (m_search.isRunning())
        m_searchReport << (device.isEmpty() ? QStringLiteral("Port %1: %2").arg(port).arg(detail)
                                            : QStringLiteral("Port %1 (%2): %3").arg(port).arg(device, detail));
    emit portTried(port, opened, device, detail);
}

void PanelSession::searchEnded(PanelSearch::Outcome outcome)
{
    if (outcome == PanelSearch::HardwareFail)
        inform(QStringLiteral("hardware testing fail!"), SystemInformation, m_searchReport.join(QLatin1Char('\n')));
    emit searchFinished(outcome);
}

bool PanelSession::openPort()
{
    if (refuseWhileSending())
        return false;
    switch (m_search.openFirstPort()) {
    case PanelSearch::Opened:
        PanelFound = 0;
        ZoneTextMode = 0; // the open emptied the receive buffer
        return true;
    case PanelSearch::AlreadyOpen:
        inform(QStringLiteral("Serial port is already open!"), SystemInformation);
        return false;
    default:
        inform(QStringLiteral("No detected hardware devices!"), SystemInformation);
        return false;
    }
}

void PanelSession::closePort()
{
    endComparison(QStringLiteral("The serial port was closed during the comparison."));
    m_download.stop();
    endUpload(QStringLiteral("the serial port was closed"));
    m_link.close();
}

void PanelSession::endProgram()
{
    if (m_download.isRunning()) {
        const QString note = QStringLiteral("download stopped after %1 of 11 frames: the program ended, "
                                            "the panel did not get all settings")
                                 .arg(m_download.framesSent());
        m_link.trace().note(note);
        std::fprintf(stderr, "kv4810g: %s\n", qPrintable(note));
        // Nothing more is shown on the way out.
        const QSignalBlocker quiet(m_download);
        m_download.stop();
    }
    m_progress.stop();
    m_link.close();
}

// The password test.

bool PanelSession::testPassword(const QString &password)
{
    if (refuseWhileSending())
        return false;
    // The line went away while the password dialog was open (a cable
    // pulled and plugged back): the device on which the panel was found is
    // opened again before the password goes out.
    QString error;
    if (!m_link.isOpen() && m_link.reopen(&error))
        emit portTried(m_link.portNumber(), true, m_link.deviceName(), QStringLiteral("opened again"));
    ZoneTextMode = 0;
    const Encoded frame = PasswordFrame(password);
    if (!frame.ok()) {
        inform(QStringLiteral("The password can only hold characters that fit in one byte!"), SystemInformation);
        return false;
    }
    return send(frame.text);
}

// The settings download.

bool PanelSession::download(const PanelSettings &settings, PanelSettings *sent)
{
    if (refuseWhileSending())
        return false;
    if (!m_link.isOpen()) {
        inform(QStringLiteral("Serial port not open!"), SystemInformationLower);
        return false;
    }
    // One reading of the settings: changes made during the sending do not count.
    const PanelSettings aligned = AlignRelayLists(settings);
    const DownloadFrames frames = SettingsDownloadFrames(aligned);
    if (!frames.ok()) {
        inform(frames.refusal, SystemInformationLower);
        return false;
    }
    if (sent)
        *sent = aligned;
    endComparison(QStringLiteral("The comparison ended when a settings download began."));
    m_progress.start(TransferProgress::DownloadMaximum);
    ZoneTextMode = 0;
    m_download.start(frames.frames, m_frameGapMs,
                     [this](const QString &frame, QString *error) { return m_link.SendFrame(frame, error); });
    return true;
}

void PanelSession::downloadEnded(const PacedSender::Result &result)
{
    m_progress.stop();
    const bool complete = result.outcome == PacedSender::Outcome::Sent;
    if (complete)
        inform(QStringLiteral("finish download!"), SystemInformation);
    else
        inform(QStringLiteral("download not complete: the serial port closed after %1 of %2 frames, "
                              "the panel did not get all settings!")
                   .arg(result.framesSent)
                   .arg(result.frames),
               SystemInformationLower);
    emit downloadFinished(complete);
}

// The settings upload.

bool PanelSession::upload()
{
    if (refuseWhileSending())
        return false;
    if (!m_link.isOpen()) {
        inform(QStringLiteral("Serial port not open!"), SystemInformationLower);
        return false;
    }
    endComparison(QStringLiteral("The comparison ended when a settings upload began."));
    ZoneTextMode = 0;
    m_link.clearReceiveBuffer();
    if (!send(QLatin1String(PanelFrames::UploadRequest)))
        return false;
    m_reading = PanelReading{};
    m_uploading = true;
    m_progress.start(TransferProgress::UploadMaximum);
    return true;
}

// An upload that awaits replies ends without its last one: the window
// keeps what came, and the message says what did not.
void PanelSession::endUpload(const QString &why)
{
    if (!m_uploading)
        return;
    m_uploading = false;
    m_progress.stop();
    emit uploadFinished(m_reading);
    inform(QStringLiteral("upload not complete: %1; not received: %2!").arg(why, MissingGroups(m_reading)),
           SystemInformationLower);
}

// Replies.

void PanelSession::takeReply(const QString &reply)
{
    if (m_comparison.isGathering())
        m_comparison.take(reply); // every reply goes to it until it ends
    else if (ZoneTextMode == 1)
        zoneTextPart(reply);
    else
        DispatchReply(reply);
}

void PanelSession::DispatchReply(const QString &reply)
{
    const ReplyMatch match = MatchReply(reply);
    switch (match.kind) {
    case ReplyKind::DataError:
        m_progress.stop();
        if (m_uploading) {
            m_uploading = false;
            emit uploadFinished(m_reading);
        }
        inform(QStringLiteral("Data Error!"), SystemInformation);
        break;
    case ReplyKind::PanelAnswer:
        PanelFound = 1;
        m_search.panelAnswered();
        break;
    case ReplyKind::PasswordAccepted:
        emit passwordAccepted();
        break;
    case ReplyKind::PasswordRefused:
        inform(QStringLiteral("Enter the password wrong operation"), QString());
        break;
    case ReplyKind::Ignored:
    case ReplyKind::Unknown:
        break;
    default:
        settingsReply(match, reply);
        break;
    }
}

void PanelSession::settingsReply(const ReplyMatch &match, const QString &reply)
{
    const int group = DecodeSettingsReply(match, reply, m_reading);
    emit settingsReceived(group, m_reading.settings);
    if (group != SettingsGroups::Reminder)
        return;
    // The panel's last reply; the bar stays where it is.
    m_progress.stop();
    if (m_uploading) {
        m_uploading = false;
        emit uploadFinished(m_reading);
    }
    inform(QStringLiteral("finish Upload!"), SystemInformationLower);
}

// Zone messages.

bool PanelSession::downloadZoneText(const QString &zone, const QString &text)
{
    if (refuseWhileSending())
        return false;
    const Encoded frame = ZoneMessageFrame(zone, toPanelLineBreaks(text));
    if (!frame.ok()) {
        inform(frame.error, SystemInformation);
        return false;
    }
    endComparison(QStringLiteral("The comparison ended when a zone message download began."));
    if (!send(frame.text))
        return false;
    inform(QStringLiteral("finish download!"), SystemInformation);
    return true;
}

bool PanelSession::uploadZoneText(const QString &zone)
{
    if (refuseWhileSending())
        return false;
    const Encoded frame = ZoneUploadFrame(zone);
    if (!frame.ok()) {
        inform(frame.error, SystemInformation);
        return false;
    }
    endComparison(QStringLiteral("The comparison ended when a zone message upload began."));
    // The answer is handled by a later receive event, never before this returns.
    if (!send(frame.text))
        return false;
    ZoneTextMode = 1;
    return true;
}

void PanelSession::zoneTextPart(const QString &reply)
{
    m_zoneReplies += reply;
    m_zoneAnswer.start();
}

void PanelSession::zoneTextEnded()
{
    const QString answer = std::exchange(m_zoneReplies, QString());
    emit zoneTextReceived(fromPanelLineBreaks(HexText(answer)));
    inform(QStringLiteral("finish Upload!"), SystemInformationLower);
}

// Compare with panel: the panel's settings are read into a reading of
// their own, never handed out as settings replies.

bool PanelSession::compare(const PanelSettings &window)
{
    if (m_comparison.isGathering() || refuseWhileSending())
        return false;
    if (!m_link.isOpen()) {
        inform(QStringLiteral("Serial port not open!"), SystemInformationLower);
        return false;
    }
    m_compared = AlignRelayLists(window);
    m_comparisonNote.clear();
    emit comparisonStarted(m_compared);
    // As an upload does: stray bytes go, and the answers are not zone text.
    ZoneTextMode = 0;
    m_link.clearReceiveBuffer();
    m_comparison.start();
    if (!send(QLatin1String(PanelFrames::UploadRequest)))
        endComparison(QStringLiteral("The request could not be sent to the panel."));
    return true;
}

// Another operation, a lost port or a failed request needs the replies
// back: the comparison ends now, with what has come so far.
void PanelSession::endComparison(const QString &note)
{
    if (!m_comparison.isGathering())
        return;
    m_comparisonNote = note;
    m_comparison.cancel();
}

void PanelSession::comparisonEnded(SettingsCollector::End end)
{
    const PanelReading &reading = m_comparison.reading();
    QString note;
    switch (end) {
    case SettingsCollector::End::Complete:
        break;
    case SettingsCollector::End::TimedOut:
        note = reading.receivedCount() == 0 ? QStringLiteral("The panel did not answer.")
                                            : QStringLiteral("The panel stopped answering before its last reply.");
        break;
    case SettingsCollector::End::DataError:
        note = QStringLiteral("Data Error! The panel refused the request (FF5000); the comparison has ended.");
        break;
    case SettingsCollector::End::Cancelled:
        note = m_comparisonNote;
        break;
    }
    emit comparisonFinished(CompareWithPanel(m_compared, reading), note);
}

// The line went away.

void PanelSession::lineLost(const QString &reason)
{
    if (m_search.isRunning())
        return; // the search counts the port as failed and goes on
    emit portTried(m_link.portNumber(), false, m_link.deviceName(),
                   QStringLiteral("the device went away: %1").arg(reason));
    endComparison(QStringLiteral("The serial port went away during the comparison."));
    if (m_download.isRunning()) {
        // The download's own message says what the panel did not get: the
        // one message of this loss.
        m_download.stop();
        if (m_uploading) {
            m_uploading = false;
            emit uploadFinished(m_reading);
        }
        return;
    }
    if (m_uploading)
        return endUpload(QStringLiteral("the serial port went away"));
    inform(QStringLiteral("Serial port disconnected!"), SystemInformation);
}
