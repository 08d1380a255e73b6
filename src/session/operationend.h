#pragma once

#include "sessionmessage.h"
#include "settingscomparison.h"

#include <QList>
#include <QString>

// What a panel session is doing: one value, entered and left one way each.
enum class Operation {
    Idle,
    Searching,       // the start-up search sends and waits port by port
    Downloading,     // the settings frames go out, paced; then a refusal of the last is awaited
    Uploading,       // the settings replies are awaited
    ZoneDownloading, // one frame, taken when the panel has not refused it in time
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
    QList<int> refusedFrames;    // a download's frames the panel answered "FF5000", by number from 1
    PanelReading reading;        // an upload's or a comparison's, what came
    QList<ComparisonRow> rows;   // a comparison's
    QString note;                // a comparison's early end, in words
    QString zoneText;            // a zone upload's answer, a zone download's text
    QString zone;                // a zone transfer's
    PanelSettings sent;          // a download's, its relay lists aligned as the frames carried them
};
