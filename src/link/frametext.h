#pragma once

#include <QByteArray>
#include <QString>

// Conversions between frame text (hexadecimal digits, two per byte, high
// digit first) and the bytes on the line.
namespace FrameText {

// Bytes of a frame text; upper and lower case digits are accepted. An odd
// number of digits or any character that is not a hexadecimal digit refuses
// the whole text: returns false, leaves *bytes empty and says why in *error.
bool toBytes(const QString &frame, QByteArray *bytes, QString *error);

// Upper-case frame text of bytes, two digits for every byte.
QString fromBytes(const QByteArray &bytes);

// Where a reply's code begins, past the line noise that can stand in front
// of it: the bytes before its first FF, and all but the last of repeated FF
// bytes. The length of the text when it holds no FF byte.
int replyStart(const QString &reply);

} // namespace FrameText
