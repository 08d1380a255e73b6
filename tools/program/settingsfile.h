#pragma once

#include "panelsettings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The settings file of kv4810g-program: one JSON object whose members are
// the record's fields by their column names in tb4810 ("name", "ID",
// "JieTel1", ...), the values as the window shows them (texts, list items
// by their text, check boxes as true or false), and "format": 1.
namespace SettingsFile {

inline constexpr int Format = 1;

QJsonObject toJson(const PanelSettings &settings);

// False, with the reason naming the member, for an unknown member, a wrong
// type, a list text that is no item of its list, or a value a download
// would refuse. Members left out keep the values of a fresh window.
bool fromJson(const QJsonObject &json, PanelSettings *settings, QString *error);

bool read(const QString &path, PanelSettings *settings, QString *error);
bool write(const QString &path, const PanelSettings &settings, QString *error);

} // namespace SettingsFile
