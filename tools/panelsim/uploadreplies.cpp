#include "uploadreplies.h"

#include "fieldcodecs.h"
#include "frametext.h"
#include "panelcommands.h"

namespace {

QString terminated(const QString &reply)
{
    return reply + QLatin1String(PanelAnswers::Terminator);
}

QString valueByte(int value)
{
    return NumHex(QString::number(value)).text;
}

QString numberBytes(const StoredNumber &number)
{
    return valueByte(number.count) + TelBytes(number.digits).text;
}

QString flagDigits(const std::array<bool, PanelState::ReceivingNumbers> &flags)
{
    QString digits;
    for (const bool flag : flags)
        digits += flag ? QLatin1Char('1') : QLatin1Char('0');
    return digits;
}

} // namespace

namespace UploadReplies {

QStringList settings(const PanelState &state)
{
    QStringList replies;
    for (int i = 0; i < PanelState::ReceivingNumbers; ++i) {
        replies << terminated(QLatin1String(PanelAnswers::ReceivingNumber[i])
                              + numberBytes(state.receivingNumbers[i]) + valueByte(state.reportTypes[i]));
    }
    for (int i = 0; i < PanelState::GsmNumbers; ++i)
        replies << terminated(QLatin1String(PanelAnswers::GsmNumber[i]) + numberBytes(state.gsmNumbers[i]));
    replies << terminated(QLatin1String(PanelAnswers::PasswordRelays)
                          + DigitBytes(state.wirelessPassword).text
                          + DigitBytes(QString::number(state.relayNO)).text
                          + DigitBytes(QString::number(state.relayNC)).text);
    replies << terminated(QLatin1String(PanelAnswers::Reminder) + state.interval
                          + flagDigits(state.reportFlags) + flagDigits(state.lineFaultFlags)
                          + valueByte(state.inside ? 1 : 0));
    return replies;
}

QString zoneText(const PanelState &state, int zone)
{
    return terminated(FrameText::fromBytes(state.zoneTexts[zone]));
}

} // namespace UploadReplies
