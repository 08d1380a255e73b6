#pragma once

#include "panelstate.h"

#include <QJsonObject>
#include <QString>

// The panel's state as a JSON file. Keys (a missing key keeps the
// factory value):
//   "receivingNumbers": 6 objects {"number", "count", "digits", "type"}
//   "gsmNumbers":       3 objects {"number", "count", "digits"}
//   "wirelessPassword": four decimal digits, e.g. "5793"
//   "relayNO", "relayNC": 0 none, 1 pull in, 2 disconnect
//   "interval":         the interval byte as two hex digits, e.g. "15"
//   "reportFlags", "lineFaultFlags": 6 values 0 or 1, number 1 first
//   "inside":           0 or 1
//   "zoneTexts":        3 strings, one character per byte (Latin-1)
// A number object is written with all three of "number" (the digits the
// program reads back), "count" (the count byte) and "digits" (all sixteen
// digit bytes as '0'..'9'). When read, "number" alone stands for the
// number as the program would send it; "count" and "digits" override it.
namespace StateFile {

QJsonObject toJson(const PanelState &state);
// Starts from *state; false with the reason when a value is out of range.
bool fromJson(const QJsonObject &json, PanelState *state, QString *error);

bool load(const QString &path, PanelState *state, QString *error);
// Writes a temporary file and renames it over `path`.
bool save(const QString &path, const PanelState &state, QString *error);

} // namespace StateFile
