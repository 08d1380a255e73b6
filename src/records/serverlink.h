#pragma once

#include "serveraddress.h"

#include <QSqlDatabase>
#include <QString>

// What the driver does not tell of a connection to the server, asked of
// libpq directly.
namespace ServerLink {

// Whether the connection's link to the server is gone. Reads what the
// server may have sent meanwhile (a shutdown notice, the end of the
// link) without waiting, so a connection the server dropped while idle
// shows up before it is used.
bool down(const QSqlDatabase &db);

// Tries the connection once more, directly, to learn why the server
// refused it: the SQLSTATE, or empty when the refusal came from this side
// (no route, no server, no answer in time); the server's (or libpq's)
// text in *text.
QString refusalCode(const ServerAddress &address, QString *text);

} // namespace ServerLink
