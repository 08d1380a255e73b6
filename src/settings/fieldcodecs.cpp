#include "fieldcodecs.h"

#include <array>

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')
        || c == QLatin1Char('\r');
}

bool isSign(QChar c)
{
    return c == QLatin1Char('+') || c == QLatin1Char('-');
}

// Where the run of decimal digits that starts at `at` ends.
int digitsEnd(const QString &s, int at)
{
    while (at < s.size() && s.at(at) >= QLatin1Char('0') && s.at(at) <= QLatin1Char('9'))
        ++at;
    return at;
}

// Two upper-case digits of a code 0..FF.
QString byteDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

// The value of each hexadecimal digit; any other character counts 0.
constexpr std::array<quint8, 128> DigitValues = [] {
    std::array<quint8, 128> values{};
    for (int c = 0; c < 10; ++c)
        values[std::size_t('0' + c)] = quint8(c);
    for (int c = 0; c < 6; ++c)
        values[std::size_t('A' + c)] = values[std::size_t('a' + c)] = quint8(10 + c);
    return values;
}();

// Value of up to two hexadecimal digits starting at index `at` (0-based);
// missing digits are not counted, so a lone digit gives its own value.
int pairValue(const QString &s, int at)
{
    // Replies are read a byte at a time, so this is a table lookup rather
    // than a number conversion per digit.
    int value = 0;
    for (int i = qMax(at, 0); i < at + 2 && i < s.size(); ++i) {
        const char16_t u = s.at(i).unicode();
        value = value * 16 + (u < DigitValues.size() ? DigitValues[u] : 0);
    }
    return value;
}

Encoded refused(const QString &why)
{
    return Encoded{QString(), why};
}

// Decimal values of consecutive bytes starting at index `at`.
QString bytesAsDecimal(const QString &s, int at, int count)
{
    QString out;
    out.reserve(qMax(count, 0) * 3);
    for (int k = 0; k < count; ++k) {
        const int value = pairValue(s, at + 2 * k);
        if (value >= 100)
            out += QLatin1Char(char('0' + value / 100));
        if (value >= 10)
            out += QLatin1Char(char('0' + value / 10 % 10));
        out += QLatin1Char(char('0' + value % 10));
    }
    return out;
}

} // namespace

double NumericValue(const QString &s)
{
    QString text = s;
    text.removeIf(isBlank);
    int end = !text.isEmpty() && isSign(text.at(0)) ? 1 : 0;
    const int integerEnd = digitsEnd(text, end);
    bool hasDigits = integerEnd > end;
    end = integerEnd;
    if (end < text.size() && text.at(end) == QLatin1Char('.')) {
        const int fractionEnd = digitsEnd(text, end + 1);
        hasDigits = hasDigits || fractionEnd > end + 1;
        end = fractionEnd;
    }
    if (!hasDigits)
        return 0;
    // An exponent counts only with its digits: "2e" is 2.
    if (end < text.size() && QLatin1String("eEdD").contains(text.at(end))) {
        int exponent = end + 1;
        if (exponent < text.size() && isSign(text.at(exponent)))
            ++exponent;
        const int exponentEnd = digitsEnd(text, exponent);
        if (exponentEnd > exponent)
            end = exponentEnd;
    }
    QString number = text.left(end);
    number.replace(QLatin1Char('d'), QLatin1Char('e')).replace(QLatin1Char('D'), QLatin1Char('e'));
    return number.toDouble();
}

Encoded LenHex(const QString &s)
{
    if (s.size() > CountedNumber::DigitBytes)
        return refused(QStringLiteral("\"%1\" is longer than 16 characters").arg(s));
    if (NumericValue(s) == 0)
        return Encoded{QStringLiteral("00"), {}};
    return Encoded{byteDigits(s.size()), {}};
}

Encoded TelBytes(const QString &s)
{
    if (s.size() > CountedNumber::DigitBytes)
        return refused(QStringLiteral("\"%1\" is longer than 16 characters").arg(s));
    QString out;
    for (const QChar c : s) {
        out += QLatin1Char('0');
        out += c;
    }
    for (int i = s.size(); i < CountedNumber::DigitBytes; ++i)
        out += QLatin1String("00");
    return Encoded{out, {}};
}

Encoded DigitBytes(const QString &s)
{
    QString out;
    for (const QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return refused(QStringLiteral("\"%1\" holds a character that is not a decimal digit").arg(s));
        out += QLatin1Char('0');
        out += c;
    }
    return Encoded{out, {}};
}

Encoded NumHex(const QString &s)
{
    const QString digits = s.trimmed();
    bool isNumber = !digits.isEmpty();
    for (const QChar c : digits)
        isNumber = isNumber && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (!isNumber)
        return refused(QStringLiteral("\"%1\" is not a whole number").arg(s));
    const int value = digits.size() > 3 ? 256 : digits.toInt();
    if (value > 255)
        return refused(QStringLiteral("%1 does not fit in one byte (0 to 255)").arg(digits));
    return Encoded{byteDigits(value), {}};
}

Encoded TextHex(const QString &s)
{
    QString out;
    out.reserve(s.size() * 2);
    for (const QChar c : s) {
        if (c.unicode() > 0xFF)
            return refused(QStringLiteral("the character \"%1\" cannot be sent as one byte").arg(c));
        out += byteDigits(c.unicode());
    }
    return Encoded{out, {}};
}

Encoded AscHex(const QString &s)
{
    return TextHex(s);
}

QString ReplyDigits(const QString &r)
{
    const int count = pairValue(r, 2 * CountedNumber::CountByte);
    return bytesAsDecimal(r, 2 * CountedNumber::FirstDigitByte, count);
}

QString BytesDigits(const QString &s, int n)
{
    return n <= 0 ? QString() : bytesAsDecimal(s, 0, n);
}

QString HexText(const QString &r)
{
    QString out;
    const bool terminated = r.size() % 2 == 0 && r.endsWith(QLatin1String("0D0A"));
    const int characters = int(r.size() / 2) - (terminated ? 2 : 1);
    out.reserve(qMax(characters, 0));
    for (int j = 0; j < characters; ++j)
        out += QChar(pairValue(r, 2 * j));
    return out;
}
