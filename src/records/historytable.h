#pragma once

#include "historyentry.h"

#include <QSqlDatabase>
#include <QVariantList>

// The history's table, history4810, beside tb4810 in the same store and
// made by the first entry. Statements carry their values as literals of
// the connection's driver, so one string makes one round trip.
namespace HistoryTable {

inline constexpr char Name[] = "history4810";

// The statement that makes the table, unless it is there: an id counting
// up, the columns.
QString createSql(bool server);
// Adds the entry; on the server the server's user is filled in by itself,
// and the new id comes back as the only row.
QString insertSql(const HistoryEntry &entry, bool server, const QSqlDatabase &db);
// The entries the query asks for, newest first, id and columns in order.
// match: the condition "column %1 matches %2" under the letter-case rule.
QString selectSql(const HistoryQuery &query, const QString &match, const QSqlDatabase &db);
// How many values each row of selectSql holds.
int columnCount();
HistoryEntry entryFromRow(const QVariantList &row);

} // namespace HistoryTable
