#pragma once

#include <QByteArray>
#include <QString>
#include <array>

// A telephone number exactly as the program wrote it: its count byte and
// all sixteen digit bytes (as the characters '0'..'9'). The program sends
// count 00 for a number like "000" while still sending its digits, so both
// are kept to give the same bytes back on upload.
struct StoredNumber
{
    static constexpr int Digits = 16;

    int count = 0;
    QString digits = QString(Digits, QLatin1Char('0'));

    // A number of up to 16 decimal digits as the program sends it: its
    // digits padded with zeros, announced by their count, or by 0 for a
    // number of zeros only.
    static StoredNumber asSent(const QString &number)
    {
        StoredNumber stored;
        stored.count = number.count(QLatin1Char('0')) == number.size() ? 0 : int(number.size());
        stored.digits = number.leftJustified(Digits, QLatin1Char('0'));
        return stored;
    }

    // The number the program reads back: the first `count` digits.
    QString number() const { return digits.left(count); }
    bool operator==(const StoredNumber &o) const { return count == o.count && digits == o.digits; }
};

// Everything the panel remembers.
struct PanelState
{
    static constexpr int ReceivingNumbers = 6;
    static constexpr int GsmNumbers = 3;
    static constexpr int Zones = 3;
    static constexpr int MaxReportType = 5;
    static constexpr int RelayPullIn = 1;
    static constexpr int RelayDisconnect = 2;

    std::array<StoredNumber, ReceivingNumbers> receivingNumbers;
    std::array<int, ReceivingNumbers> reportTypes{}; // 0 none, 1..5
    std::array<StoredNumber, GsmNumbers> gsmNumbers;
    QString wirelessPassword = QStringLiteral("5793"); // four decimal digits
    int relayNO = RelayDisconnect;                     // 0 none, 1 pull in, 2 disconnect
    int relayNC = RelayPullIn;
    QString interval = QStringLiteral("00"); // the interval byte as two hex digits ("15" is byte 15)
    std::array<bool, ReceivingNumbers> reportFlags{};
    std::array<bool, ReceivingNumbers> lineFaultFlags{};
    bool inside = false;
    std::array<QByteArray, Zones> zoneTexts; // character bytes as sent
};
