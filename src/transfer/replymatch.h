#pragma once

#include <QString>

// What a complete reply is, by its leading digits.
enum class ReplyKind {
    Unknown,         // dropped silently
    DataError,       // "FF5000"
    PanelAnswer,     // "FF6F"
    PasswordAccepted,
    PasswordRefused,
    ReceivingNumber, // "FF51".."FF56", index 1..6
    GsmNumber,       // "FF57".."FF59", index 1..3
    PasswordRelays,  // "FF5A"
    Reminder,        // "FF5B"
    Ignored,         // "FF5C"
};

struct ReplyMatch
{
    ReplyKind kind = ReplyKind::Unknown;
    int index = 0;
    int start = 0; // digit position of the code in the reply text
};

// Matches a reply code, in the order of the dispatch table, at the start of
// a reply text. Noise on the line (an adapter opening, say) can stand in
// front of a reply: bytes before its first FF byte, and repeated FF bytes,
// are passed over (FrameText::replyStart); the code is looked for there and
// nowhere further in.
ReplyMatch MatchReply(const QString &reply);
