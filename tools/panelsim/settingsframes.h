#pragma once

#include "framekind.h"
#include "panelstate.h"

#include <QByteArray>

// Storing the program's download frames. Each frame is checked whole
// before anything is stored: its length, digit bytes 00..09, counts up to
// 16, report type up to 5, relay states up to 2, flag half-bytes 0 or 1.
// A frame that fails returns false and leaves the state untouched.
namespace SettingsFrames {

// For the kinds ReceivingNumber, GsmNumber, PasswordRelays and Reminder.
bool store(const ClassifiedFrame &frame, const QByteArray &bytes, PanelState *state);

// FF, zone command, count, text: the count must match the text's length.
bool storeZoneMessage(int zone, const QByteArray &bytes, PanelState *state);

} // namespace SettingsFrames
