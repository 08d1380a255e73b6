#include "uploadreplies.h"

#include "frametext.h"
#include "panelbytes.h"
#include "panelcommands.h"

namespace {

QString terminated(const QString &reply)
{
    return reply + QLatin1String(PanelAnswers::Terminator);
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

using namespace PanelBytes;

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
                          + digitBytes(state.wirelessPassword) + valueByte(state.relayNO)
                          + valueByte(state.relayNC));
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
