#include "settingscollector.h"

#include "replydispatch.h"
#include "settingstransfer.h"

SettingsCollector::SettingsCollector(QObject *parent)
    : QObject(parent)
{
    m_wait.setSingleShot(true);
    m_wait.setInterval(ReplyWaitMs);
    connect(&m_wait, &QTimer::timeout, this, [this] { finish(End::TimedOut); });
}

void SettingsCollector::start()
{
    m_reading = PanelReading{};
    m_gathering = true;
    m_wait.start();
}

void SettingsCollector::cancel()
{
    if (m_gathering)
        finish(End::Cancelled);
}

void SettingsCollector::take(const QString &text)
{
    if (!m_gathering)
        return;
    m_wait.start(); // the panel is still talking
    const ReplyMatch match = MatchReply(text);
    const QString reply = text.mid(match.start);
    PanelSettings &s = m_reading.settings;
    switch (match.kind) {
    case ReplyKind::ReceivingNumber: {
        const ReceivingNumberFields f = DecodeReceivingNumber(match.index, reply);
        s.Txt[f.number - 1] = f.Txt;
        s.Cmb[f.number - 1] = SettingsLists::atPosition(SettingsLists::alarmTypes(), f.Cmb);
        m_reading.alarmTypeCodes[f.number - 1] = f.typeCode;
        m_reading.received[SettingsGroups::FirstReceivingNumber + f.number - 1] = true;
        break;
    }
    case ReplyKind::GsmNumber: {
        const GsmNumberFields f = DecodeGsmNumber(match.index, reply);
        s.TxtDuanXin[f.number - 1] = f.TxtDuanXin;
        m_reading.received[SettingsGroups::FirstGsmNumber + f.number - 1] = true;
        break;
    }
    case ReplyKind::PasswordRelays: {
        const PasswordRelaysFields f = DecodePasswordRelays(reply);
        s.TxtMiMa = f.TxtMiMa;
        s.CmbChanKai = SettingsLists::atPosition(SettingsLists::relayStates(), f.CmbChanKai);
        s.CmbChanBi = SettingsLists::atPosition(SettingsLists::relayStates(), f.CmbChanBi);
        m_reading.chanKaiCode = f.chanKaiCode;
        m_reading.chanBiCode = f.chanBiCode;
        m_reading.received[SettingsGroups::PasswordRelays] = true;
        break;
    }
    case ReplyKind::Reminder: {
        const ReminderFields f = DecodeReminder(reply);
        s.TxtTian = f.TxtTian;
        s.CkShangBao = f.CkShangBao;
        s.CkTel = f.CkTel;
        s.CkNX = f.CkNX;
        m_reading.received[SettingsGroups::Reminder] = true;
        finish(End::Complete); // the panel's last reply
        break;
    }
    case ReplyKind::DataError:
        finish(End::DataError);
        break;
    default:
        break; // detection, password, zone text, noise: not the comparison's
    }
}

void SettingsCollector::finish(End end)
{
    m_wait.stop();
    m_gathering = false;
    emit finished(end);
}
