#include "settingstransfer.h"

#include "fieldcodecs.h"
#include "panelframes.h"

namespace {

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

// Count byte and sixteen digit bytes of a number already checked to be
// at most 16 decimal digits.
QString numberBytes(const QString &number)
{
    return LenHex(number).text + TelBytes(number).text;
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

// Value of the reply byte at digits at+1, at+2 (0-based index `at`);
// -1 when the reply ends before it or the digits are not hexadecimal.
int byteAt(const QString &reply, int at)
{
    bool ok = false;
    const int value = reply.mid(at, 2).toInt(&ok, 16);
    return ok && reply.size() >= at + 2 ? value : -1;
}

std::array<bool, 6> flagsAt(const QString &reply, int at)
{
    std::array<bool, 6> flags{};
    for (int i = 0; i < 6; ++i)
        flags[i] = reply.mid(at + i, 1) == QLatin1String("1");
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
        frames << QLatin1String(ReceivingNumberCommand[i]) + numberBytes(s.Txt[i])
                + codeByte(s.Cmb[i].panelCode(alarmTypes));
    }
    for (int i = 0; i < 3; ++i)
        frames << QLatin1String(GsmNumberCommand[i]) + numberBytes(s.TxtDuanXin[i]);
    frames << QLatin1String(PasswordRelaysCommand) + DigitBytes(s.TxtMiMa).text
            + codeByte(s.CmbChanKai.panelCode(relayStates)) + codeByte(s.CmbChanBi.panelCode(relayStates));
    frames << QLatin1String(ReminderCommand) + s.TxtTian + flagDigits(s.CkShangBao)
            + flagDigits(s.CkTel) + codeByte(s.CkNX ? 1 : 0);
    return {frames, {}};
}

// Reply digits are counted from 0 here: byte k is at digits 2k, 2k+1.

ReceivingNumberFields DecodeReceivingNumber(int number, const QString &reply)
{
    const int type = byteAt(reply, 38);
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
    const int chanKai = byteAt(reply, 12);
    const int chanBi = byteAt(reply, 14);
    return {BytesDigits(reply.mid(4, 8), 4), atPanelCode(relayStates, chanKai).position,
            atPanelCode(relayStates, chanBi).position, chanKai, chanBi};
}

ReminderFields DecodeReminder(const QString &reply)
{
    ReminderFields fields;
    fields.TxtTian = reply.mid(4, 2);
    fields.CkShangBao = flagsAt(reply, 6);
    fields.CkTel = flagsAt(reply, 12);
    fields.CkNX = byteAt(reply, 18) == 1;
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
        const QString reply = replyCode(group) + frames.at(group).mid(4) + QLatin1String(PanelFrames::Terminator);
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
