#pragma once

#include "historyentry.h"
#include "operationhistory.h"

#include <QJsonObject>

class RecordStore;

// The programming history as the console program shows and writes it.
namespace HistoryView {

// One entry on one line: id, local time, operation, device, No., name (or
// the source), outcome, detail, separated by tabs, each value kept on its
// line (oneLine).
QString line(const HistoryEntry &entry);
// Every member of the entry, its id and its settings included.
QJsonObject toJson(const HistoryEntry &entry);
// Adds the operation's entry to the store: empty, or why it was not written.
QString record(RecordStore &store, const OperationEnd &end, const HistorySource &source);
// A --since value: a date (from its midnight) or a date and time, in local
// time; invalid when it is neither.
QDateTime parseSince(const QString &text);

} // namespace HistoryView
