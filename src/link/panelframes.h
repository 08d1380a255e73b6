#pragma once

// Every frame literal exchanged with the KV-4810G, in frame text
// (upper-case hexadecimal digits, two per byte). The program, the panel
// simulator and the tests all take them from here.
namespace PanelFrames {

// Sent by the program.
inline constexpr char Detect[] = "FF0018";
inline constexpr char PasswordPrefix[] = "FF0102";   // + one character byte per password character
inline constexpr char UploadRequest[] = "FF0000";
inline constexpr char ZoneUploadPrefix[] = "FF00";   // + zone number as a value byte
inline constexpr char ReceivingNumberCommand[6][5] = {"FF02", "FF03", "FF04", "FF05", "FF06", "FF07"};
inline constexpr char GsmNumberCommand[3][5] = {"FF08", "FF09", "FF0A"};
inline constexpr char PasswordRelaysCommand[] = "FF0B";
inline constexpr char ReminderCommand[] = "FF0C";
inline constexpr int ZoneCommandOffset = 11;         // zone n is written with command byte n + 11

// Sent by the panel; every reply ends with Terminator.
inline constexpr char Terminator[] = "0D0A";
inline constexpr char DataError[] = "FF5000";
inline constexpr char PanelAnswer[] = "FF6F";
inline constexpr char PasswordAccepted[] = "FF5001";
inline constexpr char PasswordRefused[] = "FF5002";
inline constexpr char ReceivingNumberReply[6][5] = {"FF51", "FF52", "FF53", "FF54", "FF55", "FF56"};
inline constexpr char GsmNumberReply[3][5] = {"FF57", "FF58", "FF59"};
inline constexpr char PasswordRelaysReply[] = "FF5A";
inline constexpr char ReminderReply[] = "FF5B";
inline constexpr char IgnoredReply[] = "FF5C";

// Byte lengths of the settings frames, as the panel counts them.
inline constexpr int ReceivingNumberFrameBytes = 20;
inline constexpr int GsmNumberFrameBytes = 19;
inline constexpr int PasswordRelaysFrameBytes = 8;
inline constexpr int ReminderFrameBytes = 10;

} // namespace PanelFrames
