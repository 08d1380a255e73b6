#pragma once

#include "panelsettings.h"

namespace Ui {
class frmmain;
}

// The main window's controls are the settings; these read them into a
// value and write a value back.
PanelSettings readSettings(const Ui::frmmain &ui);
void writeSettings(Ui::frmmain &ui, const PanelSettings &settings);
// Writes the controls of one group of settings (SettingsGroups), as one
// reply of the panel carries them.
void writeSettingsGroup(Ui::frmmain &ui, const PanelSettings &settings, int group);
