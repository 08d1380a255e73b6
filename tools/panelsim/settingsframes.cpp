#include "settingsframes.h"

#include "frametext.h"
#include "panelbytes.h"
#include "panelcommands.h"

namespace {

const int MaxCount = StoredNumber::Digits;

bool digitBytes(const QByteArray &bytes, int from, int count)
{
    for (int i = from; i < from + count; ++i) {
        if (quint8(bytes.at(i)) > 9)
            return false;
    }
    return true;
}

// Count byte at 2, sixteen digit bytes at 3..18.
bool readNumber(const QByteArray &bytes, StoredNumber *number)
{
    const int count = quint8(bytes.at(2));
    if (count > MaxCount || !digitBytes(bytes, 3, StoredNumber::Digits))
        return false;
    number->count = count;
    number->digits = PanelBytes::digitsOf(bytes.mid(3, StoredNumber::Digits));
    return true;
}

bool storeReceivingNumber(int index, const QByteArray &bytes, PanelState *state)
{
    if (bytes.size() != PanelCommands::ReceivingNumberFrameBytes)
        return false;
    StoredNumber number;
    const int type = quint8(bytes.at(19));
    if (type > PanelState::MaxReportType || !readNumber(bytes, &number))
        return false;
    state->receivingNumbers[index] = number;
    state->reportTypes[index] = type;
    return true;
}

bool storeGsmNumber(int index, const QByteArray &bytes, PanelState *state)
{
    StoredNumber number;
    if (bytes.size() != PanelCommands::GsmNumberFrameBytes || !readNumber(bytes, &number))
        return false;
    state->gsmNumbers[index] = number;
    return true;
}

// FF 0B, four password digit bytes, N.O relay, N.C relay.
bool storePasswordRelays(const QByteArray &bytes, PanelState *state)
{
    if (bytes.size() != PanelCommands::PasswordRelaysFrameBytes || !digitBytes(bytes, 2, 4))
        return false;
    const int relayNO = quint8(bytes.at(6));
    const int relayNC = quint8(bytes.at(7));
    if (relayNO > PanelState::RelayDisconnect || relayNC > PanelState::RelayDisconnect)
        return false;
    state->wirelessPassword = PanelBytes::digitsOf(bytes.mid(2, 4));
    state->relayNO = relayNO;
    state->relayNC = relayNC;
    return true;
}

// Six flags, one per half-byte, high half first.
void readFlags(const QString &digits, std::array<bool, PanelState::ReceivingNumbers> *flags)
{
    for (int i = 0; i < int(flags->size()); ++i)
        (*flags)[i] = digits.at(i) == QLatin1Char('1');
}

// FF 0C, interval byte, three report-flag bytes, three line-fault bytes, inside. A frame is a reminder only
// when its length fits and its flags and inside are 0 or 1, so it is stored as it is.
bool storeReminder(const QByteArray &bytes, PanelState *state)
{
    const QString text = FrameText::fromBytes(bytes);
    state->interval = text.mid(4, 2);
    readFlags(text.mid(6, 6), &state->reportFlags);
    readFlags(text.mid(12, 6), &state->lineFaultFlags);
    state->inside = bytes.at(9) == 1;
    return true;
}

} // namespace

namespace SettingsFrames {

bool store(const ClassifiedFrame &frame, const QByteArray &bytes, PanelState *state)
{
    switch (frame.kind) {
    case FrameKind::ReceivingNumber:
        return storeReceivingNumber(frame.index, bytes, state);
    case FrameKind::GsmNumber:
        return storeGsmNumber(frame.index, bytes, state);
    case FrameKind::PasswordRelays:
        return storePasswordRelays(bytes, state);
    case FrameKind::Reminder:
        return storeReminder(bytes, state);
    default:
        return false;
    }
}

bool storeZoneMessage(int zone, const QByteArray &bytes, PanelState *state)
{
    const int header = PanelCommands::ZoneHeaderBytes;
    if (bytes.size() < header || bytes.size() != header + quint8(bytes.at(2)))
        return false;
    state->zoneTexts[zone] = bytes.mid(header);
    return true;
}

} // namespace SettingsFrames
