#include "serveraddress.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace {

// The connection options of libpq that an address may carry besides host,
// port, user, password and dbname. client_encoding is the driver's own.
const QStringList &libpqOptions()
{
    static const QStringList known{
        QStringLiteral("application_name"), QStringLiteral("channel_binding"), QStringLiteral("connect_timeout"),
        QStringLiteral("fallback_application_name"), QStringLiteral("gssencmode"), QStringLiteral("gsslib"),
        QStringLiteral("hostaddr"), QStringLiteral("keepalives"), QStringLiteral("keepalives_count"),
        QStringLiteral("keepalives_idle"), QStringLiteral("keepalives_interval"), QStringLiteral("krbsrvname"),
        QStringLiteral("load_balance_hosts"), QStringLiteral("options"), QStringLiteral("passfile"),
        QStringLiteral("requirepeer"), QStringLiteral("service"), QStringLiteral("ssl_max_protocol_version"),
        QStringLiteral("ssl_min_protocol_version"), QStringLiteral("sslcert"), QStringLiteral("sslcompression"),
        QStringLiteral("sslcrl"), QStringLiteral("sslcrldir"), QStringLiteral("sslkey"), QStringLiteral("sslmode"),
        QStringLiteral("sslpassword"), QStringLiteral("sslrootcert"), QStringLiteral("sslsni"),
        QStringLiteral("target_session_attrs"), QStringLiteral("tcp_user_timeout")};
    return known;
}

// The program's bounds on every wait; an address naming one of these
// options replaces the value, and its own "options" come after these.
QList<QPair<QString, QString>> boundedWaits()
{
    using namespace ServerWaits;
    return {{QStringLiteral("connect_timeout"), QString::number(ConnectS)},
            {QStringLiteral("keepalives"), QStringLiteral("1")},
            {QStringLiteral("keepalives_idle"), QStringLiteral("3")},
            {QStringLiteral("keepalives_interval"), QStringLiteral("1")},
            {QStringLiteral("keepalives_count"), QStringLiteral("2")},
            {QStringLiteral("tcp_user_timeout"), QString::number(SilentLinkMs)},
            {QStringLiteral("options"),
             QStringLiteral("-c statement_timeout=%1 -c lock_timeout=%2").arg(StatementMs).arg(LockMs)}};
}

void setOption(QList<QPair<QString, QString>> &options, const QString &key, const QString &value)
{
    for (auto &option : options) {
        if (option.first == key) {
            option.second = key == QLatin1String("options") ? option.second + QLatin1Char(' ') + value : value;
            return;
        }
    }
    options.append({key, value});
}

bool refuse(QString *error, const QString &text, const QString &why)
{
    *error = QStringLiteral("The record server address %1 cannot be used: %2!").arg(text, why);
    return false;
}

} // namespace

QString ServerAddress::shown() const
{
    QString where = host.isEmpty() ? QStringLiteral("localhost") : host;
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('/')))
        where = QLatin1Char('[') + where + QLatin1Char(']');
    return database.isEmpty() ? where : where + QLatin1Char('/') + database;
}

QString ServerAddress::connectOptions() const
{
    // QPSQL hands these to libpq with every ';' turned into a blank; values
    // are quoted as libpq reads them.
    QStringList pairs;
    for (const auto &[key, value] : options) {
        QString quoted = value;
        quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
        pairs << key + QStringLiteral("='") + quoted + QLatin1Char('\'');
    }
    return pairs.join(QLatin1Char(';'));
}

bool isServerAddress(const QString &text)
{
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

bool parseServerAddress(const QString &text, ServerAddress *address, QString *error)
{
    if (!isServerAddress(text))
        return refuse(error, text, QStringLiteral("it does not begin with postgresql://"));
    const int schemeEnd = text.indexOf(QLatin1String("://"));
    QString rest = text.mid(schemeEnd + 3);
    const int authorityEnd = rest.indexOf(QRegularExpression(QStringLiteral("[/?]")));
    const QString authority = authorityEnd < 0 ? rest : rest.left(authorityEnd);
    const int at = authority.lastIndexOf(QLatin1Char('@'));
    QString hostPort = authority.mid(at + 1);

    // The port is checked here, so that the message can name it.
    const int close = hostPort.lastIndexOf(QLatin1Char(']'));
    const int colon = hostPort.lastIndexOf(QLatin1Char(':'));
    if (colon > close && (close >= 0 || hostPort.count(QLatin1Char(':')) == 1)) {
        const QString port = hostPort.mid(colon + 1);
        bool number = false;
        const int value = port.toInt(&number);
        if (!number || !port.contains(QRegularExpression(QStringLiteral("^[0-9]+$"))) || value < 1 || value > 65535)
            return refuse(error, text, QStringLiteral("the port \"%1\" is not a number from 1 to 65535").arg(port));
    } else if (close < 0 && hostPort.count(QLatin1Char(':')) > 1) {
        return refuse(error, text, QStringLiteral("an IPv6 address is written in brackets, as [::1]"));
    }

    // A socket folder is no host name to QUrl: it stands in for it there.
    QString socketFolder;
    const QString hostOnly = colon > close ? hostPort.left(colon) : hostPort;
    if (hostOnly.startsWith(QLatin1String("%2F"), Qt::CaseInsensitive)) {
        socketFolder = QUrl::fromPercentEncoding(hostOnly.toUtf8());
        hostPort.replace(0, hostOnly.size(), QStringLiteral("socket.invalid"));
    }
    rest.replace(at + 1, authority.size() - at - 1, hostPort);
    const QUrl url(QStringLiteral("postgresql://") + rest, QUrl::StrictMode);
    if (!url.isValid())
        return refuse(error, text, url.errorString());

    ServerAddress parsed;
    parsed.host = socketFolder.isEmpty() ? url.host(QUrl::FullyDecoded) : socketFolder;
    parsed.port = url.port(-1);
    parsed.user = url.userName(QUrl::FullyDecoded);
    parsed.password = url.password(QUrl::FullyDecoded);
    parsed.database = url.path(QUrl::FullyDecoded).mid(1);
    parsed.options = boundedWaits();
    for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host")) {
            parsed.host = value;
        } else if (key == QLatin1String("port")) {
            bool number = false;
            parsed.port = value.toInt(&number);
            if (!number || parsed.port < 1 || parsed.port > 65535)
                return refuse(error, text, QStringLiteral("the port \"%1\" is not a number from 1 to 65535").arg(value));
        } else if (key == QLatin1String("user")) {
            parsed.user = value;
        } else if (key == QLatin1String("password")) {
            parsed.password = value;
        } else if (key == QLatin1String("dbname")) {
            parsed.database = value;
        } else if (!libpqOptions().contains(key)) {
            return refuse(error, text, QStringLiteral("the option \"%1\" is not one that PostgreSQL knows").arg(key));
        } else if (value.contains(QLatin1Char(';'))) {
            return refuse(error, text, QStringLiteral("the value of the option \"%1\" may not hold ';'").arg(key));
        } else {
            setOption(parsed.options, key, value);
        }
    }
    *address = parsed;
    return true;
}
