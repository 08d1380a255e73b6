#pragma once

#include "panelsettings.h"

#include <QList>
#include <QString>
#include <array>

// The groups of settings that the panel answers "FF0000" with, one reply
// each, in the order of the replies "FF51" to "FF5B".
namespace SettingsGroups {
inline constexpr int Count = 11;
inline constexpr int FirstReceivingNumber = 0; // "FF51" .. "FF56": 0 .. 5
inline constexpr int FirstGsmNumber = 6;       // "FF57" .. "FF59": 6 .. 8
inline constexpr int PasswordRelays = 9;       // "FF5A"
inline constexpr int Reminder = 10;            // "FF5B"
} // namespace SettingsGroups

// A group of settings as the technician knows it ("the 1st alarm
// receiving number", ..., "the remind interval and report routing"); empty
// for a number that is no group.
QString SettingsGroupName(int group);

// What a reading of the panel got. The settings of a group whose reply did
// not come are unknown, whatever the reading holds for them. The lists are
// compared by the codes the panel sent (0 none, 1 the first item, ...; a
// code the window has no item for equals nothing; -1 a byte missing from
// the reply), the other settings by `settings`.
struct PanelReading
{
    PanelSettings settings = PanelSettings::cleared();
    std::array<int, 6> alarmTypeCodes{}; // Cmb1 .. Cmb6
    int chanKaiCode = 0;
    int chanBiCode = 0;
    std::array<bool, SettingsGroups::Count> received{};

    int receivedCount() const;
    bool complete() const { return receivedCount() == SettingsGroups::Count; }
};

// The groups a reading lacks, by name, separated by ", ".
QString MissingGroups(const PanelReading &reading);

// One setting that travels to the panel: its label as the window shows it
// (without the colon), its value in the window and in the panel as text.
struct ComparisonRow
{
    enum class State { Same, Differs, NotReceived };

    QString label;
    QString windowValue;
    QString panelValue; // "not received" for a group whose reply did not come
    State state = State::Same;
};

// One row per setting that a download writes (32: name and record number
// never travel), in the order of the replies. `window` is the settings as
// a download would send them (relay lists aligned with their texts). Lists
// compare by the item chosen, since only its code travels; the interval by
// its hexadecimal digits in any case; other texts exactly; boxes by state.
QList<ComparisonRow> CompareSettings(const PanelSettings &window, const PanelReading &panel);

// "The panel holds the settings shown." when every row is the same;
// otherwise how many settings differ and how many were not received.
QString ComparisonSummary(const QList<ComparisonRow> &rows);
