#pragma once

// The panel's own table of what it reads and what it answers. Written out
// here, byte by byte, and never taken from the programming tool's
// constants: a tool that sends a wrong frame must find no panel.
namespace PanelCommands {

inline constexpr int FrameStart = 0xFF;
inline constexpr int RequestCommand = 0x00;  // detection and uploads
inline constexpr int DetectArgument = 0x18;
inline constexpr int UploadArgument = 0x00;
inline constexpr int RequestFrameBytes = 3;
inline constexpr int PasswordCommand = 0x01;
inline constexpr int PasswordArgument = 0x02;
inline constexpr int PasswordHeaderBytes = 3;
inline constexpr int FirstReceivingNumber = 0x02;
inline constexpr int LastReceivingNumber = 0x07;
inline constexpr int FirstGsmNumber = 0x08;
inline constexpr int LastGsmNumber = 0x0A;
inline constexpr int PasswordRelays = 0x0B;
inline constexpr int Reminder = 0x0C;

inline constexpr int ReceivingNumberFrameBytes = 20;
inline constexpr int GsmNumberFrameBytes = 19;
inline constexpr int PasswordRelaysFrameBytes = 8;
inline constexpr int ReminderFrameBytes = 10;

inline constexpr int ZoneCount = 3;
inline constexpr int FirstZoneMessage = 0x0C; // shared with Reminder
inline constexpr int LastZoneMessage = 0x0E;
inline constexpr int ZoneHeaderBytes = 3;     // FF, command, count
inline constexpr int MaxZoneTextBytes = 255;

} // namespace PanelCommands

// The panel's answers, in frame text.
namespace PanelAnswers {

inline constexpr char Terminator[] = "0D0A";
inline constexpr char Present[] = "FF6F";
inline constexpr char PasswordRight[] = "FF5001";
inline constexpr char PasswordWrong[] = "FF5002";
inline constexpr char Refused[] = "FF5000";
inline constexpr char ReceivingNumber[6][5] = {"FF51", "FF52", "FF53", "FF54", "FF55", "FF56"};
inline constexpr char GsmNumber[3][5] = {"FF57", "FF58", "FF59"};
inline constexpr char PasswordRelays[] = "FF5A";
inline constexpr char Reminder[] = "FF5B";

} // namespace PanelAnswers
