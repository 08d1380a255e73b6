#pragma once

#include "historyentry.h"

#include <QVariantList>
#include <functional>

// The history's table, history4810, beside tb4810 in the same store and
// made by the first entry. Statements carry their values as literals of
// the store's driver (literal), so one string makes one round trip.
namespace HistoryTable {

inline constexpr char Name[] = "history4810";

using Literal = std::function<QString(const QVariant &)>;

// The statement that makes the table: an id counting up, the columns.
QString createSql(bool server);
// Adds the entry; on the server the server's user is filled in by itself,
// and the new id comes back as the only row.
QString insertSql(const HistoryEntry &entry, bool server, const Literal &literal);
// The entries the query asks for, newest first, id and columns in order.
// match: the condition "column %1 matches %2" under the letter-case rule.
QString selectSql(const HistoryQuery &query, const QString &match, const Literal &literal);
// How many values each row of selectSql holds.
int columnCount();
HistoryEntry entryFromRow(const QVariantList &row);

} // namespace HistoryTable
