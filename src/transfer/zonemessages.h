#pragma once

#include "fieldcodecs.h"

// Zone message frames and replies. A message travels as one character
// byte per character; its line breaks are the panel's carriage return and
// line feed. A refused frame carries the message for the user in `error`.
namespace ZoneMessages {
inline constexpr int MaxTextBytes = 255; // the count is one byte
}

// "FF", zone + 11, count, the characters. Refused: an empty text
// ("Please input message content!"), a zone other than "1", "2", "3",
// more than 255 characters, a character whose code does not fit one byte.
Encoded ZoneMessageFrame(const QString &zone, const QString &text);

// "FF00" + the zone as a value byte; a zone other than "1", "2", "3" is refused.
Encoded ZoneUploadFrame(const QString &zone);
