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

// A settings file is read only up to this size.
inline constexpr qint64 MaxFileBytes = 64 * 1024;

// False, with the reason naming the members, for an unknown member, a wrong
// type, a list text that is no item of its list, a value a download would
// refuse, or members left out: every one a download sends must be there
// (the record's "name" and "ID" may be left out).
bool fromJson(const QJsonObject &json, PanelSettings *settings, QString *error);

// As fromJson, and a member that stands twice is refused by name.
bool read(const QString &path, PanelSettings *settings, QString *error);
// The whole file or, on failure, the old one left as it was; readable by
// its owner only, for it holds the wireless module password.
bool write(const QString &path, const PanelSettings &settings, QString *error);

} // namespace SettingsFile
