#pragma once

#include <QByteArray>

// What a complete frame from the program asks of the panel.
enum class FrameKind {
    Detection,       // FF 00 18
    Password,        // FF 01 02 + characters
    UploadRequest,   // FF 00 00
    ZoneUpload,      // FF 00 zone
    ReceivingNumber, // FF 02..07
    GsmNumber,       // FF 08..0A
    PasswordRelays,  // FF 0B
    Reminder,        // FF 0C, 10 bytes of flag values
    ZoneMessage,     // FF 0C..0E count text
    Unknown,         // ignored
};

struct ClassifiedFrame
{
    FrameKind kind = FrameKind::Unknown;
    int index = 0; // which receiving number, GSM number or zone, from 0
};

// FF 0C is both the reminder settings command and zone 1's message. The
// reminder frame is 10 bytes whose bytes 3..8 hold only the flag pairs
// 00, 01, 10, 11 and whose byte 9 is 00 or 01; any other FF 0C frame is
// zone 1's message, refused unless its length is 3 + its count byte. A
// 7-character zone 1 message made only of the characters 00, 01, 10, 11
// followed by 00 or 01 is therefore taken as settings.
ClassifiedFrame classifyFrame(const QByteArray &frame);
