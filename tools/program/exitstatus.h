#pragma once

#include "sessionmessage.h"

// Exit statuses of kv4810g-program, the same for every sub-command.
namespace ExitStatus {
inline constexpr int Done = 0;
inline constexpr int Usage = 1;
inline constexpr int NoPanel = 2;
inline constexpr int PasswordRefused = 3;
inline constexpr int Incomplete = 4; // the line lost, the panel refused or stopped answering
inline constexpr int RecordStore = 5;
inline constexpr int Differences = 6;
inline constexpr int BadSettingsFile = 7;
inline constexpr int Unwritten = 8; // a file or the standard output could not be written

// The status that an operation's end, or a message that ends a panel's
// work, stands for.
int of(PanelOutcome outcome);
} // namespace ExitStatus
