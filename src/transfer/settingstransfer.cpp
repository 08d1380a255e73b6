#include "settingstransfer.h"

#include "fieldcodecs.h"
#include "panelframes.h"

namespace {

// Where each setting stands, in bytes from the FF, in its download frame
// and in the reply that carries it back; the number frames hold a counted
// number (CountedNumber) behind the code.
namespace Layout {
inline constexpr int CodeBytes = 2; // FF and the command or reply byte
inline constexpr int AlarmTypeByte = CountedNumber::FirstDigitByte + CountedNumber::DigitBytes;
inline constexpr int PasswordByte = 2; // one digit byte per password digit
inline constexpr int ChanKaiByte = 6;
inline constexpr int ChanBiByte = 7;
inline constexpr int IntervalByte = 2; // two decimal digits, one per half-byte
inline constexpr int ReportFlagsByte = 3; // six flags, one per half-byte, high half first
inline constexpr int LineFaultFlagsByte = 6;
inline constexpr int InsideByte = 9;
} // namespace Layout

constexpr int digitOf(int byte)
{
    return 2 * byte;
}

// A frame of `bytes` bytes, the command in front, for the settings to be
// put in at their places.
QString blankFrame(const char *command, int bytes)
{
    return QString(QLatin1String(command)).leftJustified(digitOf(bytes), QLatin1Char('0'));
}

void put(QString &frame, int byte, const QString &digits)
{
    Q_ASSERT(digitOf(byte) + digits.size() <= frame.size());
    frame.replace(digitOf(byte), digits.size(), digits);
}

bool allOf(const QString &s, bool (*accept)(QChar))
{
    for (const QChar c : s) {
        if (!accept(c))
            return false;
    }
    return true;
}

bool isDecimal(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

QString formatError(int group)
{
    return QStringLiteral("%1 format error!").arg(SettingsGroupName(group));
}

// The frame of a number already checked to be at most 16 decimal digits.
QString numberFrame(const char *command, int bytes, const QString &number)
{
    QString frame = blankFrame(command, bytes);
    put(frame, CountedNumber::CountByte, LenHex(number).text);
    put(frame, CountedNumber::FirstDigitByte, TelBytes(number).text);
    return frame;
}

// A panel code 0..9 as one digit byte.
QString codeByte(int code)
{
    return DigitBytes(QString::number(code)).text;
}

QString flagDigits(const std::array<bool, 6> &flags)
{
    QString digits;
    for (const bool flag : flags)
        digits += flag ? QLatin1Char('1') : QLatin1Char('0');
    return digits;
}

// Value of a reply's byte; -1 when the reply ends before it or its digits
// are not hexadecimal.
int byteAt(const QString &reply, int byte)
{
    bool ok = false;
    const int value = reply.mid(digitOf(byte), 2).toInt(&ok, 16);
    return ok && reply.size() >= digitOf(byte + 1) ? value : -1;
}

// Six flags from the half-bytes starting at a byte: ticked for "1".
std::array<bool, 6> flagsAt(const QString &reply, int byte)
{
    std::array<bool, 6> flags{};
    for (int i = 0; i < 6; ++i)
        flags[i] = reply.mid(digitOf(byte) + i, 1) == QLatin1String("1");
    return flags;
}

// The reply that carries a group back, from the reply table.
QLatin1String replyCode(int group)
{
    using namespace PanelFrames;
    using namespace SettingsGroups;
    if (group < FirstGsmNumber)
        return QLatin1String(ReceivingNumberReply[group - FirstReceivingNumber]);
    if (group < PasswordRelays)
        return QLatin1String(GsmNumberReply[group - FirstGsmNumber]);
    return QLatin1String(group == PasswordRelays ? PasswordRelaysReply : ReminderReply);
}

} // namespace

ListField AlignRelayList(const ListField &relay)
{
    ListField aligned = relay;
    if (relay.text == QLatin1String("disconnect"))
        aligned.position = SettingsLists::RelayDisconnect;
    if (relay.text == QLatin1String("pull in"))
        aligned.position = SettingsLists::RelayPullIn;
    return aligned;
}

PanelSettings AlignRelayLists(PanelSettings settings)
{
    settings.CmbChanKai = AlignRelayList(settings.CmbChanKai);
    settings.CmbChanBi = AlignRelayList(settings.CmbChanBi);
    return settings;
}

DownloadFrames SettingsDownloadFrames(const PanelSettings &s)
{
    using namespace PanelFrames;
    if (s.TxtMiMa.size() != FieldLimits::WirelessPassword || !allOf(s.TxtMiMa, isDecimal))
        return {{}, QStringLiteral("password format error!")};
    // The panel reads the interval as two decimal digits, one per half-byte.
    if (s.TxtTian.size() != FieldLimits::RemindInterval || !allOf(s.TxtTian, isDecimal))
        return {{}, QStringLiteral("remind interval format error!")};
    for (int i = 0; i < 6; ++i) {
        if (s.Txt[i].size() > FieldLimits::TelephoneNumber || !allOf(s.Txt[i], isDecimal))
            return {{}, formatError(SettingsGroups::FirstReceivingNumber + i)};
    }
    for (int i = 0; i < 3; ++i) {
        if (s.TxtDuanXin[i].size() > FieldLimits::TelephoneNumber || !allOf(s.TxtDuanXin[i], isDecimal))
            return {{}, formatError(SettingsGroups::FirstGsmNumber + i)};
    }

    const QStringList &alarmTypes = SettingsLists::alarmTypes();
    const QStringList &relayStates = SettingsLists::relayStates();
    QStringList frames;
    for (int i = 0; i < 6; ++i) {
        QString frame = numberFrame(ReceivingNumberCommand[i], ReceivingNumberFrameBytes, s.Txt[i]);
        put(frame, Layout::AlarmTypeByte, codeByte(s.Cmb[i].panelCode(alarmTypes)));
        frames << frame;
    }
    for (int i = 0; i < 3; ++i)
        frames << numberFrame(GsmNumberCommand[i], GsmNumberFrameBytes, s.TxtDuanXin[i]);
    QString passwordRelays = blankFrame(PasswordRelaysCommand, PasswordRelaysFrameBytes);
    put(passwordRelays, Layout::PasswordByte, DigitBytes(s.TxtMiMa).text);
    put(passwordRelays, Layout::ChanKaiByte, codeByte(s.CmbChanKai.panelCode(relayStates)));
    put(passwordRelays, Layout::ChanBiByte, codeByte(s.CmbChanBi.panelCode(relayStates)));
    QString reminder = blankFrame(ReminderCommand, ReminderFrameBytes);
    put(reminder, Layout::IntervalByte, s.TxtTian);
    put(reminder, Layout::ReportFlagsByte, flagDigits(s.CkShangBao));
    put(reminder, Layout::LineFaultFlagsByte, flagDigits(s.CkTel));
    put(reminder, Layout::InsideByte, codeByte(s.CkNX ? 1 : 0));
    return {frames << passwordRelays << reminder, {}};
}

ReceivingNumberFields DecodeReceivingNumber(int number, const QString &reply)
{
    const int type = byteAt(reply, Layout::AlarmTypeByte);
    return {number, ReplyDigits(reply), SettingsLists::atPanelCode(SettingsLists::alarmTypes(), type).position, type};
}

GsmNumberFields DecodeGsmNumber(int number, const QString &reply)
{
    return {number, ReplyDigits(reply)};
}

PasswordRelaysFields DecodePasswordRelays(const QString &reply)
{
    using SettingsLists::atPanelCode;
    const QStringList &relayStates = SettingsLists::relayStates();
    const int chanKai = byteAt(reply, Layout::ChanKaiByte);
    const int chanBi = byteAt(reply, Layout::ChanBiByte);
    const int passwordDigits = FieldLimits::WirelessPassword;
    const QString password = reply.mid(digitOf(Layout::PasswordByte), digitOf(passwordDigits));
    return {BytesDigits(password, passwordDigits), atPanelCode(relayStates, chanKai).position,
            atPanelCode(relayStates, chanBi).position, chanKai, chanBi};
}

ReminderFields DecodeReminder(const QString &reply)
{
    ReminderFields fields;
    fields.TxtTian = reply.mid(digitOf(Layout::IntervalByte), FieldLimits::RemindInterval);
    fields.CkShangBao = flagsAt(reply, Layout::ReportFlagsByte);
    fields.CkTel = flagsAt(reply, Layout::LineFaultFlagsByte);
    fields.CkNX = byteAt(reply, Layout::InsideByte) == 1;
    return fields;
}

int DecodeSettingsReply(const ReplyMatch &match, const QString &text, PanelReading &reading)
{
    using namespace SettingsLists;
    const QString reply = text.mid(match.start);
    PanelSettings &s = reading.settings;
    int group = -1;
    switch (match.kind) {
    case ReplyKind::ReceivingNumber: {
        const ReceivingNumberFields f = DecodeReceivingNumber(match.index, reply);
        s.Txt[f.number - 1] = f.Txt;
        s.Cmb[f.number - 1] = atPosition(alarmTypes(), f.Cmb);
        reading.alarmTypeCodes[f.number - 1] = f.typeCode;
        group = SettingsGroups::FirstReceivingNumber + f.number - 1;
        break;
    }
    case ReplyKind::GsmNumber: {
        const GsmNumberFields f = DecodeGsmNumber(match.index, reply);
        s.TxtDuanXin[f.number - 1] = f.TxtDuanXin;
        group = SettingsGroups::FirstGsmNumber + f.number - 1;
        break;
    }
    case ReplyKind::PasswordRelays: {
        const PasswordRelaysFields f = DecodePasswordRelays(reply);
        s.TxtMiMa = f.TxtMiMa;
        s.CmbChanKai = atPosition(relayStates(), f.CmbChanKai);
        s.CmbChanBi = atPosition(relayStates(), f.CmbChanBi);
        reading.chanKaiCode = f.chanKaiCode;
        reading.chanBiCode = f.chanBiCode;
        group = SettingsGroups::PasswordRelays;
        break;
    }
    case ReplyKind::Reminder: {
        const ReminderFields f = DecodeReminder(reply);
        s.TxtTian = f.TxtTian;
        s.CkShangBao = f.CkShangBao;
        s.CkTel = f.CkTel;
        s.CkNX = f.CkNX;
        group = SettingsGroups::Reminder;
        break;
    }
    default:
        return -1;
    }
    reading.received[group] = true;
    return group;
}

PanelReading HeldAfterDownload(const PanelSettings &settings)
{
    PanelReading held;
    const QStringList frames = SettingsDownloadFrames(AlignRelayLists(settings)).frames;
    for (int group = 0; group < frames.size(); ++group) {
        const QString reply = replyCode(group) + frames.at(group).mid(digitOf(Layout::CodeBytes))
            + QLatin1String(PanelFrames::Terminator);
        DecodeSettingsReply(MatchReply(reply), reply, held);
    }
    return held;
}

QList<ComparisonRow> CompareWithPanel(const PanelSettings &window, const PanelReading &panel)
{
    const PanelSettings aligned = AlignRelayLists(window);
    const PanelReading held = HeldAfterDownload(aligned);
    if (!held.complete())
        return CompareSettings(aligned, panel);
    QList<ComparisonRow> rows = CompareSettings(held.settings, panel);
    const QList<ComparisonRow> shown = CompareSettings(aligned, panel);
    for (int i = 0; i < rows.size(); ++i)
        rows[i].windowValue = shown.at(i).windowValue;
    return rows;
}
