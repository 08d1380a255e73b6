#include "panelbytes.h"

#include "frametext.h"

namespace PanelBytes {

QString valueByte(int value)
{
    return FrameText::fromBytes(QByteArray(1, char(value)));
}

QString digitBytes(const QString &digits)
{
    QString text;
    for (const QChar digit : digits) {
        text += QLatin1Char('0');
        text += digit;
    }
    return text;
}

QString numberBytes(const StoredNumber &number)
{
    return valueByte(number.count) + digitBytes(number.digits);
}

QString digitsOf(const QByteArray &bytes)
{
    QString digits;
    for (const char byte : bytes)
        digits += QLatin1Char(char('0' + byte));
    return digits;
}

bool fitsBytes(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

} // namespace PanelBytes
