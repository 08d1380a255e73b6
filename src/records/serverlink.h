#pragma once

#include "serveraddress.h"

#include <QSqlDatabase>
#include <QString>

#include <atomic>
#include <mutex>

// A connection as another thread watches it: how many answers came, and
// its socket, to cut it off. Shutting the socket down ends at once a call
// that waits on a link gone silent, whatever the network in between still
// acknowledges. The connection's own thread arms it once the connection
// is open, disarms it before it closes, and counts each answer.
class LinkWatch
{
public:
    void arm(int socket);
    void disarm() { arm(-1); }
    // Shuts the armed socket down; false when none was armed.
    bool cut();
    void heard() { ++m_answers; }
    int answers() const { return m_answers; }

private:
    std::mutex m_mutex;
    int m_socket = -1;
    std::atomic<int> m_answers{0};
};

// What the driver does not tell of a connection to the server, asked of
// libpq directly.
namespace ServerLink {

// Whether the connection's link to the server is gone. Reads what the
// server may have sent meanwhile (a shutdown notice, the end of the
// link) without waiting, so a connection the server dropped while idle
// shows up before it is used.
bool down(const QSqlDatabase &db);

// The connection's socket, or -1.
int socket(const QSqlDatabase &db);

// Whether a transaction is open on the connection, failed or not: a
// COMMIT the server refused has ended it already.
bool inTransaction(const QSqlDatabase &db);

// Tries the connection once more, directly, to learn why the server
// refused it: the SQLSTATE, or empty when the refusal came from this side
// (no route, no server, no answer in time); the server's (or libpq's)
// text in *text.
QString refusalCode(const ServerAddress &address, QString *text);

} // namespace ServerLink
