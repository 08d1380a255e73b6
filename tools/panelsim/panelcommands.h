#pragma once

#include "panelframes.h"

// Byte values the panel reads from the program's frames, taken from the
// frame literals so that there is one source for them.
namespace PanelCommands {

constexpr int hexDigit(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c - 'a' + 10;
}

// Byte `index` of a frame literal.
constexpr int byteOf(const char *literal, int index)
{
    return hexDigit(literal[2 * index]) * 16 + hexDigit(literal[2 * index + 1]);
}

constexpr int bytesOf(const char *literal)
{
    int digits = 0;
    while (literal[digits] != '\0')
        ++digits;
    return digits / 2;
}

inline constexpr int FrameStart = byteOf(PanelFrames::Detect, 0);            // FF
inline constexpr int RequestCommand = byteOf(PanelFrames::Detect, 1);        // 00: detection and uploads
inline constexpr int DetectArgument = byteOf(PanelFrames::Detect, 2);        // 18
inline constexpr int UploadArgument = byteOf(PanelFrames::UploadRequest, 2); // 00
inline constexpr int RequestFrameBytes = bytesOf(PanelFrames::Detect);       // 3
inline constexpr int PasswordCommand = byteOf(PanelFrames::PasswordPrefix, 1);
inline constexpr int PasswordArgument = byteOf(PanelFrames::PasswordPrefix, 2);
inline constexpr int PasswordHeaderBytes = bytesOf(PanelFrames::PasswordPrefix);
inline constexpr int FirstReceivingNumber = byteOf(PanelFrames::ReceivingNumberCommand[0], 1);
inline constexpr int LastReceivingNumber = byteOf(PanelFrames::ReceivingNumberCommand[5], 1);
inline constexpr int FirstGsmNumber = byteOf(PanelFrames::GsmNumberCommand[0], 1);
inline constexpr int LastGsmNumber = byteOf(PanelFrames::GsmNumberCommand[2], 1);
inline constexpr int PasswordRelays = byteOf(PanelFrames::PasswordRelaysCommand, 1);
inline constexpr int Reminder = byteOf(PanelFrames::ReminderCommand, 1);

inline constexpr int ZoneCount = 3;
inline constexpr int FirstZoneMessage = 1 + PanelFrames::ZoneCommandOffset; // 0C, shared with Reminder
inline constexpr int LastZoneMessage = ZoneCount + PanelFrames::ZoneCommandOffset;
inline constexpr int ZoneHeaderBytes = 3;                                   // FF, command, count
inline constexpr int MaxZoneTextBytes = 255;

} // namespace PanelCommands
