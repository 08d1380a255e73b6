#pragma once

#include "panelsettings.h"

#include <QString>
#include <memory>

class RecordStore;

// The record store named by --records (a file or a postgresql:// address);
// empty: the one of KV4810G_RECORDS, or the default file.
std::unique_ptr<RecordStore> openRecords(const QString &where);

// False, with *error saying why, when the store fails or has no such number.
bool findRecord(RecordStore &store, const QString &number, PanelSettings *settings, QString *error);

// Saves the settings as record `number`, replacing one of that number.
bool saveRecord(const QString &where, const QString &number, PanelSettings settings, QString *error);
