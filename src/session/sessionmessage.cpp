#include "sessionmessage.h"

#include <array>

namespace {

struct Wording
{
    PanelOutcome kind;
    const char *text;
    const char *title;
};

constexpr const char *Upper = SessionMessage::SystemInformation;
// The transfers' own messages carry this title in lower case.
constexpr const char *Lower = SessionMessage::SystemInformationLower;

// Every message the session gives, by kind. A kind that is not here says nothing.
constexpr std::array Wordings{
    Wording{PanelOutcome::HardwareFail, "hardware testing fail!", Upper},
    Wording{PanelOutcome::DownloadFinished, "finish download!", Upper},
    Wording{PanelOutcome::DownloadRefused, "finish download!", Upper},
    Wording{PanelOutcome::DownloadIncomplete,
            "download not complete: the serial port closed after %1 of %2 frames, the panel did not get all settings!",
            Lower},
    Wording{PanelOutcome::UploadFinished, "finish Upload!", Lower},
    Wording{PanelOutcome::UploadRefused, "Data Error!", Upper},
    Wording{PanelOutcome::UploadIncomplete, "upload not complete: %1; not received: %2!", Lower},
    Wording{PanelOutcome::ZoneDownloadFinished, "finish download!", Upper},
    Wording{PanelOutcome::ZoneDownloadRefused, "finish download!", Upper},
    Wording{PanelOutcome::ZoneDownloadIncomplete, "zone message download not complete: %1!", Lower},
    Wording{PanelOutcome::ZoneUploadFinished, "finish Upload!", Lower},
    Wording{PanelOutcome::ZoneUploadIncomplete, "zone message upload not complete: %1!", Lower},
    Wording{PanelOutcome::PasswordRefused, "Enter the password wrong operation", ""},
    Wording{PanelOutcome::DataError, "Data Error!", Upper},
    Wording{PanelOutcome::LineLost, "Serial port disconnected!", Upper},
    Wording{PanelOutcome::DownloadInProgress, "download in progress, please wait!", Lower},
    Wording{PanelOutcome::SearchInProgress, "search for the panel in progress, please wait!", Lower},
    Wording{PanelOutcome::NotOpen, "Serial port not open!", Lower},
    Wording{PanelOutcome::AlreadyOpen, "Serial port is already open!", Upper},
    Wording{PanelOutcome::NoHardware, "No detected hardware devices!", Upper},
    Wording{PanelOutcome::DeviceUnavailable, "The serial port %1 cannot be opened: %2!", Upper},
    Wording{PanelOutcome::InputRefused, "%1", Lower},
    Wording{PanelOutcome::TextRefused, "%1", Upper},
};

} // namespace

SessionMessage SessionMessage::of(PanelOutcome kind, const QStringList &arguments, const QString &detail)
{
    SessionMessage message{kind, {}, {}, detail};
    for (const Wording &wording : Wordings) {
        if (wording.kind != kind)
            continue;
        message.text = QLatin1String(wording.text);
        // Arguments beyond the wording's own places are not for it.
        const int places = int(message.text.count(QLatin1Char('%')));
        for (const QString &argument : arguments.mid(0, places))
            message.text = message.text.arg(argument);
        message.title = QLatin1String(wording.title);
    }
    return message;
}

QString EndCausePhrase(EndCause cause)
{
    switch (cause) {
    case EndCause::PortClosed:
        return QStringLiteral("the serial port was closed");
    case EndCause::LineLost:
        return QStringLiteral("the serial port went away");
    case EndCause::ProgramEnded:
        return QStringLiteral("the program ended");
    case EndCause::PanelSilent:
        return QStringLiteral("the panel stopped answering");
    case EndCause::PanelRefused:
        return QStringLiteral("the panel refused the request (FF5000)");
    case EndCause::LastReplyEarly:
        return QStringLiteral("the panel's last reply came, replies before it were lost");
    case EndCause::SendFailed:
        return QStringLiteral("a frame could not be sent to the panel");
    case EndCause::DownloadBegan:
        return QStringLiteral("a settings download began");
    case EndCause::UploadBegan:
        return QStringLiteral("a settings upload began");
    case EndCause::ZoneDownloadBegan:
        return QStringLiteral("a zone message download began");
    case EndCause::ZoneUploadBegan:
        return QStringLiteral("a zone message upload began");
    case EndCause::ComparisonBegan:
        return QStringLiteral("a comparison with the panel began");
    case EndCause::PasswordSent:
        return QStringLiteral("the password was sent");
    case EndCause::Natural:
        break;
    }
    return QString();
}

QString ComparisonNote(EndCause cause, bool answered)
{
    switch (cause) {
    case EndCause::Natural:
        return QString();
    case EndCause::PanelSilent:
        return answered ? QStringLiteral("The panel stopped answering before its last reply.")
                        : QStringLiteral("The panel did not answer.");
    case EndCause::PanelRefused:
        return QStringLiteral("Data Error! The panel refused the request (FF5000); the comparison has ended.");
    case EndCause::PortClosed:
        return QStringLiteral("The serial port was closed during the comparison.");
    case EndCause::LineLost:
        return QStringLiteral("The serial port went away during the comparison.");
    default:
        return QStringLiteral("The comparison ended when %1.").arg(EndCausePhrase(cause));
    }
}
