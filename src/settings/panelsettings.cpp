#include "panelsettings.h"

namespace SettingsLists {

const QStringList &alarmTypes()
{
    static const QStringList list{QStringLiteral("ADEMCO 4+2"), QStringLiteral("ADEMCO Contact ID"),
            QStringLiteral("voice alarm"), QStringLiteral("SMS alarm"),
            QStringLiteral("ADEMCO slow speed")};
    return list;
}

const QStringList &relayStates()
{
    static const QStringList list{QStringLiteral("pull in"), QStringLiteral("disconnect")};
    return list;
}

const QStringList &zoneNumbers()
{
    static const QStringList list{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
    return list;
}

ListField atPosition(const QStringList &items, int position)
{
    if (position < 0 || position >= items.size())
        return ListField{};
    return ListField{position, items.at(position)};
}

ListField atPanelCode(const QStringList &items, int code)
{
    return code > 0 ? atPosition(items, code - 1) : ListField{};
}

ListField withText(const QStringList &items, const QString &text)
{
    return ListField{int(items.indexOf(text)), text};
}

} // namespace SettingsLists

int ListField::panelCode(const QStringList &items) const
{
    return position >= 0 && position < items.size() ? position + 1 : 0;
}

PanelSettings PanelSettings::startValues()
{
    PanelSettings s;
    for (ListField &type : s.Cmb)
        type = ListField{-1, QString::fromLatin1(SettingsLists::AlarmTypePrompt)};
    s.CmbChanKai = SettingsLists::atPosition(SettingsLists::relayStates(), SettingsLists::RelayDisconnect);
    s.CmbChanBi = SettingsLists::atPosition(SettingsLists::relayStates(), SettingsLists::RelayPullIn);
    s.TxtMiMa = QStringLiteral("5793");
    s.TxtTian = QStringLiteral("00");
    return s;
}

PanelSettings PanelSettings::cleared()
{
    return PanelSettings{};
}

bool PanelSettings::operator==(const PanelSettings &o) const
{
    return TxtName == o.TxtName && TxtAni == o.TxtAni && Txt == o.Txt && Cmb == o.Cmb
        && TxtDuanXin == o.TxtDuanXin && CmbChanKai == o.CmbChanKai && CmbChanBi == o.CmbChanBi
        && TxtMiMa == o.TxtMiMa && TxtTian == o.TxtTian && CkShangBao == o.CkShangBao
        && CkTel == o.CkTel && CkNX == o.CkNX;
}
