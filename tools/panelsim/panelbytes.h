#pragma once

#include "panelstate.h"

#include <QByteArray>
#include <QString>

// The panel's own encodings of what it keeps, written here and never taken
// from the programming tool's codecs: a fault in those must show up as an
// answer that differs, not be copied into the answers.
namespace PanelBytes {

// Frame text of one byte 00..FF.
QString valueByte(int value);
// Frame text of one digit byte per decimal digit: "57" gives "0507".
QString digitBytes(const QString &digits);
// A stored number as the panel sends it: its count byte, its sixteen digit bytes.
QString numberBytes(const StoredNumber &number);
// The decimal digits that digit bytes 00..09 hold, one per byte.
QString digitsOf(const QByteArray &bytes);
// Whether every character of a text fits one byte (Latin-1).
bool fitsBytes(const QString &text);

} // namespace PanelBytes
