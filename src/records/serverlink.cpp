#include "serverlink.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QVariant>

#include <libpq-fe.h>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

namespace {

PGconn *nativeConnection(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

} // namespace

void LinkWatch::arm(int socket)
{
    const std::lock_guard<std::mutex> hold(m_mutex);
    m_socket = socket;
}

bool LinkWatch::cut()
{
    const std::lock_guard<std::mutex> hold(m_mutex);
    return m_socket >= 0 && ::shutdown(m_socket, SHUT_RDWR) == 0;
}

int ServerLink::socket(const QSqlDatabase &db)
{
    PGconn *connection = nativeConnection(db);
    return connection ? PQsocket(connection) : -1;
}

bool ServerLink::inTransaction(const QSqlDatabase &db)
{
    PGconn *connection = nativeConnection(db);
    if (!connection)
        return false;
    const PGTransactionStatusType status = PQtransactionStatus(connection);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

bool ServerLink::down(const QSqlDatabase &db)
{
    PGconn *connection = nativeConnection(db);
    if (!connection)
        return true;
    PQconsumeInput(connection);
    if (PQstatus(connection) == CONNECTION_BAD)
        return true;
    // A server that ends an idle connection sends its notice and closes;
    // libpq takes the notice and learns of the end only at the next query.
    char next = 0;
    const ssize_t peeked = ::recv(PQsocket(connection), &next, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

QString ServerLink::refusalCode(const ServerAddress &address, QString *text)
{
    QList<QByteArray> keys{"host", "port", "user", "password", "dbname"};
    QList<QByteArray> values{address.host.toUtf8(), address.port > 0 ? QByteArray::number(address.port) : QByteArray(),
                             address.user.toUtf8(), address.password.toUtf8(), address.database.toUtf8()};
    int connectS = 0;
    for (const auto &[key, value] : address.options) {
        keys << key.toUtf8();
        values << value.toUtf8();
        if (key == QLatin1String("connect_timeout"))
            connectS = value.toInt();
    }
    std::vector<const char *> keyList, valueList;
    for (int i = 0; i < keys.size(); ++i) {
        if (values.at(i).isEmpty())
            continue;
        keyList.push_back(keys.at(i).constData());
        valueList.push_back(values.at(i).constData());
    }
    keyList.push_back(nullptr);
    valueList.push_back(nullptr);

    PGconn *connection = PQconnectStartParams(keyList.data(), valueList.data(), 0);
    if (!connection)
        return QString();
    // The verbose form puts the SQLSTATE before the server's text.
    PQsetErrorVerbosity(connection, PQERRORS_VERBOSE);

    QDeadlineTimer deadline(connectS > 0 ? connectS * 1000 : ServerWaits::ConnectS * 1000);
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (state != PGRES_POLLING_OK && state != PGRES_POLLING_FAILED && PQstatus(connection) != CONNECTION_BAD) {
        pollfd wait{PQsocket(connection), short(state == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        if (wait.fd < 0 || poll(&wait, 1, int(deadline.remainingTime())) <= 0)
            break;
        state = PQconnectPoll(connection);
    }
    const QString said = QString::fromUtf8(PQerrorMessage(connection)).trimmed();
    // The server asked for a password that this side does not have.
    const bool passwordWanted = PQconnectionNeedsPassword(connection);
    PQfinish(connection);
    if (passwordWanted) {
        if (text)
            *text = said;
        return QStringLiteral("28P01");
    }
    // Every SQLSTATE holds a digit; the severity word before it does not.
    static const QRegularExpression code(QStringLiteral("\\b(?=[A-Z]{0,4}[0-9])([0-9A-Z]{5}): "));
    const QRegularExpressionMatch m = code.match(said);
    if (text) {
        *text = said;
        if (m.hasMatch()) // the line that holds the code, without the severity word
            *text = said.mid(m.capturedStart(1)).section(QLatin1Char('\n'), 0, 0);
    }
    return m.hasMatch() ? m.captured(1) : QString();
}
