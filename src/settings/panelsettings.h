#pragma once

#include <QString>
#include <QStringList>
#include <array>

// A drop-down list's value: the selected item's position (-1 for none) and
// the text it shows, which may be no item at all.
struct ListField
{
    int position = -1;
    QString text;

    // The panel's code for it among `items`: position + 1, 0 when no item
    // of them is selected.
    int panelCode(const QStringList &items) const;
    bool operator==(const ListField &o) const { return position == o.position && text == o.text; }
};

namespace SettingsLists {

const QStringList &alarmTypes();  // "ADEMCO 4+2" .. "ADEMCO slow speed"
const QStringList &relayStates(); // "pull in", "disconnect"
const QStringList &zoneNumbers(); // "1", "2", "3"

inline constexpr char AlarmTypePrompt[] = "alarm type";
inline constexpr int RelayPullIn = 0;
inline constexpr int RelayDisconnect = 1;

// The item at a position (nothing selected, empty text, when out of range).
ListField atPosition(const QStringList &items, int position);
// The item a panel code selects; nothing selected for 0 or a code of no item.
ListField atPanelCode(const QStringList &items, int code);
// Shows the text and selects the item of exactly that text, if there is one.
ListField withText(const QStringList &items, const QString &text);

} // namespace SettingsLists

// Most characters each text field takes while typing (0: no limit).
namespace FieldLimits {
inline constexpr int TelephoneNumber = 16;
inline constexpr int WirelessPassword = 4;
inline constexpr int RemindInterval = 2;
} // namespace FieldLimits

// The panel settings the main window shows, one member per control.
struct PanelSettings
{
    QString TxtName;
    QString TxtAni;
    std::array<QString, 6> Txt;     // Txt1 .. Txt6
    std::array<ListField, 6> Cmb;   // Cmb1 .. Cmb6
    std::array<QString, 3> TxtDuanXin;
    ListField CmbChanKai;
    ListField CmbChanBi;
    QString TxtMiMa;
    QString TxtTian;
    std::array<bool, 6> CkShangBao{};
    std::array<bool, 6> CkTel{};
    bool CkNX = false;

    // The values of a freshly started window.
    static PanelSettings startValues();
    // Every field empty or unchecked.
    static PanelSettings cleared();

    bool operator==(const PanelSettings &o) const;
    bool operator!=(const PanelSettings &o) const { return !(*this == o); }
};
