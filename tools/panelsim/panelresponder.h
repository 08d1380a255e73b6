#pragma once

#include "framekind.h"
#include "panelstate.h"

#include <QByteArray>
#include <QList>

// The panel's behaviour: what it answers to one complete frame and what
// it stores. Timing and fault modes of the line are not its business.
class PanelResponder
{
public:
    struct Response
    {
        FrameKind kind = FrameKind::Unknown;
        QList<QByteArray> replies; // each ends with 0D 0A
        bool stateChanged = false;
    };

    // accessPassword: the characters the password frame must carry.
    // refuseSettings: answer every settings frame "FF5000" and store nothing;
    // refuseCommand: the same for the settings and zone frames of this command byte alone.
    explicit PanelResponder(const QByteArray &accessPassword, bool refuseSettings = false, int refuseCommand = -1);

    Response respond(const QByteArray &frame, PanelState *state) const;

private:
    QByteArray m_accessPassword;
    bool m_refuseSettings;
    int m_refuseCommand;
};
