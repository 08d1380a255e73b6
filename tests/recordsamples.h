#pragma once

// Store suites' records: a plain one, and one whose every field tells it apart (list texts of items, none, empty).
#include "panelsettings.h"

inline PanelSettings record(const QString &number, const QString &name = QStringLiteral("shop"))
{
    PanelSettings s = PanelSettings::startValues();
    s.TxtAni = number;
    s.TxtName = name;
    return s;
}

inline PanelSettings stored(const QString &number, const QString &name)
{
    PanelSettings s = record(number, name); // every field set below
    const QStringList types{"ADEMCO 4+2", "pager", "alarm type", "", "voice alarm", "ADEMCO slow speed"};
    for (int i = 0; i < 6; ++i) {
        s.Txt[i] = QString("55501%1").arg(i) + number;
        s.Cmb[i] = SettingsLists::withText(SettingsLists::alarmTypes(), types[i]);
        s.CkShangBao[i] = i % 2 == 0;
        s.CkTel[i] = i % 3 == 0;
    }
    s.TxtDuanXin = {"1301", "", "1303" + number};
    s.CmbChanKai = SettingsLists::withText(SettingsLists::relayStates(), "pull in");
    s.CmbChanBi = SettingsLists::withText(SettingsLists::relayStates(), "half open");
    s.TxtMiMa = "1234";
    s.TxtTian = name.left(2);
    s.CkNX = true;
    return s;
}
