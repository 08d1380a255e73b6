#pragma once

#include "historyentry.h"
#include "operationend.h"

#include <optional>

// What the view knows of an operation that the session does not: the
// record shown (or the console's source) and the line's name.
struct HistorySource
{
    QString recordNumber, recordName;
    QString source;
    QString device;
    int port = 0;
    QString program; // empty: the application's name
};

// The history entry of an operation that reached the panel's line: a
// download, an upload, a comparison, a zone transfer; none for a search or
// an operation refused before the line was used. Stamped now, with this
// computer's login and name and this program's name and version.
std::optional<HistoryEntry> HistoryEntryOf(const OperationEnd &end, const HistorySource &source);
