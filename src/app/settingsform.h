#pragma once

#include "panelsettings.h"

#include <QList>

class QLineEdit;

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

// A stored value longer than its field takes (a record of another copy of
// the program, say): the field shows it cut, and the settings read from
// the window carry it whole until the field is edited or written again, so
// that a download refuses it by name and a save keeps it.
struct CutValue
{
    QLineEdit *field = nullptr;
    QString label; // the setting, as the technician knows it
    QString value; // the whole stored value
};

// The text fields with a length limit.
QList<QLineEdit *> limitedTextFields(const Ui::frmmain &ui);
// The text fields of `settings` that the window cannot show whole.
QList<CutValue> cutValues(const Ui::frmmain &ui, const PanelSettings &settings);
// Puts the whole values back into settings read from the window.
void restoreCutValues(const Ui::frmmain &ui, PanelSettings &settings, const QList<CutValue> &cut);
