#pragma once

#include "sessionmessage.h"
#include "settingscomparison.h"

#include <QList>
#include <QString>

// What a panel session is doing: one value, entered and left one way each.
enum class Operation {
    Idle,
    Searching,       // the start-up search sends and waits port by port
    Downloading,     // the settings frames go out, paced
    Uploading,       // the settings replies are awaited
    ZoneDownloading, // one frame, over when it has been written
    ZoneUploading,   // a zone's text is awaited
    Comparing,       // the panel's settings are gathered for the comparison
};

// How one operation ended, with what it brought.
struct OperationEnd
{
    Operation operation = Operation::Idle;
    PanelOutcome outcome = PanelOutcome::None;
    EndCause cause = EndCause::Natural;
    SessionMessage message;      // what the technician is told; empty text: nothing
    int framesSent = 0;          // a download's
    int frames = 0;
    PanelReading reading;        // an upload's or a comparison's, what came
    QList<ComparisonRow> rows;   // a comparison's
    QString note;                // a comparison's early end, in words
    QString zoneText;            // a zone upload's answer, a zone download's text
    QString zone;                // a zone transfer's
    PanelSettings sent;          // a download's, its relay lists aligned as the frames carried them
    int refusedFrame = 0;        // a refused download's: the frame the panel answered "Data Error!" to
};
