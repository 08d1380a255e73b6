#pragma once

#include <QString>
#include <QStringList>

// How an operation with the panel ended, or what else the session has to
// tell. Callers decide by this, never by a message's words.
enum class PanelOutcome {
    None,                 // nothing to tell
    // The ends of operations.
    PanelFound,           // the search: the panel answered, its port is open
    NoPanel,              // the search: ports opened, no panel answered
    HardwareFail,         // the search: the last port could not be opened
    DownloadFinished,     // every frame went out
    DownloadRefused,      // every frame went out; the panel answered "FF5000" to one or more
    DownloadIncomplete,   // the line closed or went away before the last frame
    UploadFinished,       // the last settings reply came
    UploadRefused,        // the panel answered "FF5000"
    UploadIncomplete,     // the line closed or went away, or the panel went quiet
    ZoneDownloadFinished, // the frame went out and was not refused in time
    ZoneDownloadRefused,  // the panel answered "FF5000"
    ZoneDownloadIncomplete, // the line closed or went away before a refusal could come
    ZoneUploadFinished,   // the zone's text came
    ZoneUploadIncomplete, // another operation took the line, the line ended, or no answer
    ComparisonSame,       // every setting came and equals the window's
    ComparisonDiffers,    // every setting came; some differ
    ComparisonIncomplete, // settings did not come
    // Said while no operation ends.
    PasswordRefused,
    DataError,            // "FF5000" outside an upload or a comparison
    LineLost,             // the line went away with nothing running that says so
    DownloadInProgress,   // refused: a download is sending
    SearchInProgress,     // refused: the search is running
    NotOpen,              // refused: no port open
    AlreadyOpen,          // "Open port" with a port open
    NoHardware,           // "Open port" found no port that opens
    DeviceUnavailable,    // a device named by its path cannot be opened
    InputRefused,         // settings that cannot go to the panel; the encoder's words
    TextRefused,          // a zone text, zone or password that cannot; the encoder's words
};

// Why an operation ended before its natural end.
enum class EndCause {
    Natural,         // it ran to its end
    PortClosed,
    LineLost,
    ProgramEnded,
    PanelSilent,     // no answer within the wait
    PanelRefused,    // the panel answered "FF5000"
    LastReplyEarly,  // the last settings reply came, replies before it did not
    SendFailed,      // its request could not be written
    DownloadBegan,   // another operation needed the line's replies
    UploadBegan,
    ZoneDownloadBegan,
    ZoneUploadBegan,
    ComparisonBegan,
    PasswordSent,
};

// A message for the technician in the system's own words. The window shows
// it as a modal box with an OK button, the console program prints it.
struct SessionMessage
{
    static constexpr char SystemInformation[] = "System Information";
    static constexpr char SystemInformationLower[] = "system information";

    PanelOutcome kind = PanelOutcome::None;
    QString text;   // empty: nothing to show
    QString title;  // empty: no title of its own (the window shows "7158K")
    QString detail; // shown on request ("Show Details...")

    // The words and title of `kind`, its %1, %2... filled from `arguments`.
    static SessionMessage of(PanelOutcome kind, const QStringList &arguments = {}, const QString &detail = {});
};

// An early end in words, for the messages of the transfers ("the serial
// port was closed") and for the comparison's note.
QString EndCausePhrase(EndCause cause);
// `answered`: some reply had come before the end.
QString ComparisonNote(EndCause cause, bool answered);
