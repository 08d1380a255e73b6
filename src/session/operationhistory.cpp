#include "operationhistory.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace {

QString login()
{
    if (const passwd *user = getpwuid(geteuid()))
        return QString::fromLocal8Bit(user->pw_name);
    return qEnvironmentVariable("USER");
}

QString operationWord(Operation operation)
{
    switch (operation) {
    case Operation::Downloading:
        return HistoryEntry::Operations.at(0);
    case Operation::Uploading:
        return HistoryEntry::Operations.at(1);
    case Operation::Comparing:
        return HistoryEntry::Operations.at(2);
    case Operation::ZoneDownloading:
        return HistoryEntry::Operations.at(3);
    case Operation::ZoneUploading:
        return HistoryEntry::Operations.at(4);
    case Operation::Idle:
    case Operation::Searching:
        break;
    }
    return QString();
}

enum Word { Complete, Stopped, Refused, LineLost, Incomplete, Differs };

// An end that is not the panel's answer: the line lost, or stopped.
int earlyEnd(EndCause cause)
{
    return cause == EndCause::LineLost || cause == EndCause::SendFailed ? LineLost : Stopped;
}

} // namespace

std::optional<HistoryEntry> HistoryEntryOf(const OperationEnd &end, const HistorySource &source)
{
    HistoryEntry e;
    e.operation = operationWord(end.operation);
    if (e.operation.isEmpty())
        return std::nullopt;
    e.at = QDateTime::currentDateTimeUtc();
    e.login = login();
    e.host = QSysInfo::machineHostName();
    e.program = source.program.isEmpty() ? QCoreApplication::applicationName() : source.program;
    e.version = QCoreApplication::applicationVersion();
    e.device = source.device;
    e.port = source.port;
    e.recordNumber = source.recordNumber;
    e.recordName = source.recordName;
    e.source = source.source;

    int word = Complete;
    switch (end.outcome) {
    case PanelOutcome::DownloadFinished:
        e.detail = QStringLiteral("%1 of %2 frames").arg(end.framesSent).arg(end.frames);
        break;
    case PanelOutcome::DownloadRefused: {
        word = Refused;
        QStringList frames;
        for (int frame : end.refusedFrames)
            frames << QString::number(frame);
        e.detail = QStringLiteral("Data Error! after frame %1 of %2").arg(frames.join(QStringLiteral(", "))).arg(end.frames);
        break;
    }
    case PanelOutcome::ZoneDownloadRefused:
        word = Refused;
        e.detail = QStringLiteral("Data Error!");
        break;
    case PanelOutcome::DownloadIncomplete:
        word = earlyEnd(end.cause);
        e.detail = QStringLiteral("stopped after %1 of %2 frames: %3")
                       .arg(end.framesSent)
                       .arg(end.frames)
                       .arg(EndCausePhrase(end.cause));
        break;
    case PanelOutcome::UploadRefused:
        word = Refused;
        e.detail = QStringLiteral("Data Error!");
        break;
    case PanelOutcome::UploadIncomplete:
    case PanelOutcome::ZoneDownloadIncomplete:
    case PanelOutcome::ZoneUploadIncomplete:
    case PanelOutcome::ComparisonIncomplete:
        word = end.cause == EndCause::LineLost ? LineLost : Incomplete;
        e.detail = EndCausePhrase(end.cause);
        break;
    case PanelOutcome::ComparisonDiffers: {
        word = Differs;
        qsizetype differences = 0;
        for (const ComparisonRow &row : end.rows)
            differences += row.state == ComparisonRow::State::Differs;
        e.detail = QStringLiteral("%1 differences").arg(differences);
        break;
    }
    case PanelOutcome::ComparisonSame:
        e.detail = QStringLiteral("no differences");
        break;
    default:
        break;
    }
    e.outcome = HistoryEntry::Outcomes.at(word);

    switch (end.operation) {
    case Operation::Downloading:
        e.hasSettings = true;
        e.settings = end.sent;
        break;
    case Operation::Uploading:
    case Operation::Comparing:
        e.hasSettings = end.reading.receivedCount() > 0;
        e.settings = end.reading.settings;
        if (!end.reading.complete())
            e.missing = MissingGroups(end.reading).split(QStringLiteral(", "), Qt::SkipEmptyParts);
        break;
    default:
        e.zone = end.zone;
        e.zoneText = end.zoneText;
        break;
    }
    return e;
}
