#include "frametext.h"

namespace FrameText {

static int digitValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

bool toBytes(const QString &frame, QByteArray *bytes, QString *error)
{
    bytes->clear();
    if (frame.size() % 2 != 0) {
        *error = QStringLiteral("frame \"%1\" has an odd number of digits").arg(frame);
        return false;
    }
    QByteArray out;
    out.reserve(frame.size() / 2);
    for (int i = 0; i < frame.size(); i += 2) {
        const int high = digitValue(frame.at(i));
        const int low = digitValue(frame.at(i + 1));
        if (high < 0 || low < 0) {
            *error = QStringLiteral("frame \"%1\" holds a character that is not a hexadecimal digit")
                         .arg(frame);
            return false;
        }
        out.append(char(high * 16 + low));
    }
    *bytes = out;
    return true;
}

QString fromBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

int replyStart(const QString &reply)
{
    const auto byteAt = [&reply](int at) { return QStringView(reply).mid(at, 2); };
    int at = 0;
    while (at + 2 <= reply.size() && byteAt(at) != QLatin1String("FF"))
        at += 2;
    while (at + 4 <= reply.size() && byteAt(at + 2) == QLatin1String("FF"))
        at += 2;
    return qMin(at, int(reply.size()));
}

} // namespace FrameText
