#pragma once

#include <QString>

// Conversions between the texts the window's fields hold and pieces of
// frame text. Pure functions; every digit written is upper case.

// An encoder's result: the frame text piece, or why the text cannot be
// encoded (error not empty, text empty). A refused text never reaches a frame.
struct Encoded
{
    QString text;
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// Where a telephone number stands in the frames and replies that carry
// one, in bytes from the frame's FF: its count byte (LenHex), then its
// digit bytes (TelBytes).
namespace CountedNumber {
inline constexpr int CountByte = 2;
inline constexpr int FirstDigitByte = 3;
inline constexpr int DigitBytes = 16;
} // namespace CountedNumber

// The number a text begins with, read as a decimal number with blanks
// ignored anywhere and an optional exponent after E or D ("1E3", "2d-1");
// 0 when the text does not begin with a number.
double NumericValue(const QString &s);

// One count byte: the number of characters, "00" when the numeric value is 0.
// More than 16 characters is refused.
Encoded LenHex(const QString &s);
// 16 digit bytes: "0" + each character, padded with "00". More than 16
// characters is refused.
Encoded TelBytes(const QString &s);
// One digit byte per decimal digit; any other character is refused.
Encoded DigitBytes(const QString &s);
// One value byte of a whole decimal number 0 to 255; anything else is refused.
Encoded NumHex(const QString &s);
// One character byte per character of a message text, its UTF-16 code 00
// to FF; a character with a higher code is refused.
Encoded TextHex(const QString &s);
// The password's character codes, one byte each, taken as Latin-1, whose
// codes are the UTF-16 codes 00 to FF: so this is TextHex.
Encoded AscHex(const QString &s);

// Decimal text of a reply's counted number (CountedNumber). A missing
// byte counts 0; a half byte counts its one digit.
QString ReplyDigits(const QString &r);
// Decimal text of the first n bytes of s; empty for n <= 0.
QString BytesDigits(const QString &s, int n);
// Text of a reply's character bytes. The terminator 0D 0A is left out
// whole, so a message read back and sent again does not grow; a text
// without it loses its last byte.
QString HexText(const QString &r);
