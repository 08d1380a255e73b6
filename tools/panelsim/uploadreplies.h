#pragma once

#include "panelstate.h"

#include <QStringList>

// The panel's answers built from its state, as frame text ending with 0D0A.
namespace UploadReplies {

// "FF51" to "FF5B", in the order the panel sends them after "FF0000".
// Each carries the layout of its download frame, so an upload gives back
// byte for byte what a download wrote.
QStringList settings(const PanelState &state);

// The zone's text bytes followed by 0D0A.
QString zoneText(const PanelState &state, int zone);

} // namespace UploadReplies
