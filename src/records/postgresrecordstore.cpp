#include "postgresrecordstore.h"

#include "recordrow.h"
#include "sqlcycle.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {

using Server = PostgresRecordStore::Server;

QString decoded(const QString &part)
{
    return QUrl::fromPercentEncoding(part.toUtf8());
}

Server parse(const QString &address)
{
    static const QRegularExpression form(
        QStringLiteral("^postgres(?:ql)?://(?:([^@/?]*)@)?([^/?]*)(?:/([^?]*))?(?:\\?(.*))?$"));
    Server server;
    const QRegularExpressionMatch m = form.match(address);
    if (!m.hasMatch())
        return server;
    const QString user = m.captured(1);
    server.user = decoded(user.section(QLatin1Char(':'), 0, 0));
    if (user.contains(QLatin1Char(':')))
        server.password = decoded(user.section(QLatin1Char(':'), 1));
    QString host = m.captured(2);
    const int colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0 && !host.endsWith(QLatin1Char(']'))) {
        server.port = host.mid(colon + 1).toInt();
        host.truncate(colon);
    }
    server.host = decoded(host);
    server.database = decoded(m.captured(3));
    QStringList options;
    for (const QString &pair : m.captured(4).split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const QString key = decoded(pair.section(QLatin1Char('='), 0, 0));
        const QString value = decoded(pair.section(QLatin1Char('='), 1));
        if (key == QLatin1String("host"))
            server.host = value;
        else if (key == QLatin1String("port"))
            server.port = value.toInt();
        else if (key == QLatin1String("user"))
            server.user = value;
        else if (key == QLatin1String("dbname"))
            server.database = value;
        else if (!key.contains(QRegularExpression(QStringLiteral("[^a-z_]"))) && !value.contains(QLatin1Char('\'')))
            options << QStringLiteral("%1='%2'").arg(key, value); // sslmode and the like
    }
    options << QStringLiteral("connect_timeout=%1").arg(PostgresRecordStore::ConnectTimeoutS)
            << QStringLiteral("options='-c lock_timeout=%1'").arg(PostgresRecordStore::LockTimeoutMs);
    server.options = options.join(QLatin1Char(';'));
    return server;
}

bool connectionLost(const QSqlError &e)
{
    const QString code = e.nativeErrorCode();
    const QString text = e.databaseText() + e.driverText();
    return code.startsWith(QLatin1String("08")) || code.startsWith(QLatin1String("57P"))
        || text.contains(QLatin1String("server closed the connection"))
        || text.contains(QLatin1String("no connection to the server"))
        || text.contains(QLatin1String("terminating connection"));
}

// The message for a failed step, naming the server.
QString faultText(const QString &server, const QString &user, const QSqlError &e, bool connecting, bool creating)
{
    const QString text = e.databaseText().isEmpty() ? e.driverText() : e.databaseText();
    const QString code = e.nativeErrorCode();
    if (connecting) {
        if (text.contains(QLatin1String("authentication failed")) || text.contains(QLatin1String("no password supplied"))
            || text.contains(QLatin1String("pg_hba.conf")) || text.contains(QLatin1String("role \"")))
            return QStringLiteral("The record server %1 refused the login of %2: check the user and the password "
                                  "(PGPASSWORD or the password file)!")
                .arg(server, user.isEmpty() ? QStringLiteral("this user") : user);
        if (text.contains(QLatin1String("database \"")) && text.contains(QLatin1String("does not exist")))
            return QStringLiteral("The record server %1 has no such database!").arg(server);
        return QStringLiteral("The record server %1 cannot be reached: check the address and that the server "
                              "runs!")
            .arg(server);
    }
    if (connectionLost(e))
        return QStringLiteral("The connection to the record server %1 was lost, nothing was changed: try again!")
            .arg(server);
    if (code == QLatin1String("55P03"))
        return QStringLiteral("The records on the server %1 are in use by another program, try again!").arg(server);
    if (code == QLatin1String("42501"))
        return creating ? QStringLiteral("The record server %1 has no table tb4810, and this user may not create "
                                         "it!")
                              .arg(server)
                        : QStringLiteral("The record server %1 does not allow this user to change the records!")
                              .arg(server);
    return QStringLiteral("The record server %1 cannot be used: %2!").arg(server, text.trimmed());
}

// One operation on the server.
class Cycle : public SqlCycle
{
public:
    Cycle(const Server &address, const QString &server)
        : SqlCycle(QStringLiteral("kv4810g-shared"))
        , m_address(address)
        , m_server(server)
    {
    }

    bool open()
    {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
            error = QStringLiteral("The PostgreSQL driver of Qt is not installed, the record server %1 cannot be "
                                   "used!")
                        .arg(m_server);
            return false;
        }
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName());
        m_db.setHostName(m_address.host);
        m_db.setPort(m_address.port);
        m_db.setUserName(m_address.user);
        m_db.setPassword(m_address.password);
        m_db.setDatabaseName(m_address.database);
        m_db.setConnectOptions(m_address.options);
        if (m_db.open())
            return true;
        error = faultText(m_server, m_address.user, m_db.lastError(), true, false);
        return false;
    }

    // Saves and deletes of every copy of the program take turns, so the row
    // looked up is still the row written when the transaction commits, and
    // two first saves do not both create the table.
    bool beginWrite()
    {
        return beginWith(QStringLiteral("BEGIN")) && exec(QStringLiteral("SELECT pg_advisory_xact_lock(4810)"));
    }

    bool tableExists(bool *exists)
    {
        QSqlQuery query(m_db);
        if (!query.exec(QStringLiteral("SELECT to_regclass('tb4810') IS NOT NULL")) || !query.next())
            return fail(query.lastError());
        *exists = query.value(0).toBool();
        return true;
    }

    bool createTable()
    {
        QStringList definitions{QStringLiteral("rowid bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")};
        for (int c = 0; c < RecordRow::ColumnCount; ++c)
            definitions << RecordRow::columns().at(c)
                    + (RecordRow::isCheckColumn(c) ? QStringLiteral(" smallint") : QStringLiteral(" text"));
        m_creating = true;
        // Rows written by other tools may repeat a number or a name: the
        // indexes speed the lookups up but do not demand uniqueness.
        const bool made = exec(QStringLiteral("CREATE TABLE tb4810 (%1)").arg(definitions.join(QStringLiteral(", "))))
            && exec(QStringLiteral("CREATE INDEX tb4810_id ON tb4810 (lower(ID))"))
            && exec(QStringLiteral("CREATE INDEX tb4810_name ON tb4810 (lower(name))"));
        m_creating = false;
        return made;
    }

    bool fail(const QSqlError &e) override
    {
        // A missing table reads as an empty one.
        missingTable = e.nativeErrorCode() == QLatin1String("42P01");
        error = faultText(m_server, m_address.user, e, false, m_creating);
        return false;
    }

    bool missingTable = false;

private:
    const Server &m_address;
    QString m_server;
    bool m_creating = false;
};

// The first row with this number, in the store's order.
const QString firstWithNumber =
    QStringLiteral("SELECT rowid FROM tb4810 WHERE lower(ID) = lower(?) ORDER BY rowid LIMIT 1");

RecordStore::Outcome failed(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return RecordStore::Outcome::Failed;
}

} // namespace

PostgresRecordStore::PostgresRecordStore(const QString &address)
    : m_address(parse(address))
{
    const QString host = m_address.host.isEmpty() ? QStringLiteral("localhost") : m_address.host;
    m_server = m_address.database.isEmpty() ? host : host + QLatin1Char('/') + m_address.database;
}

bool PostgresRecordStore::isAddress(const QString &text)
{
    return text.startsWith(QLatin1String("postgresql://")) || text.startsWith(QLatin1String("postgres://"));
}

RecordStore::Outcome PostgresRecordStore::save(const PanelSettings &settings, SaveMode mode, QString *error)
{
    Cycle cycle(m_address, m_server);
    bool exists = false;
    if (!cycle.open() || !cycle.beginWrite() || !cycle.tableExists(&exists) || (!exists && !cycle.createTable()))
        return failed(error, cycle.error);

    const Outcome outcome = cycle.saveRow(firstWithNumber, settings, mode);
    return outcome == Outcome::Failed ? failed(error, cycle.error) : outcome;
}

RecordStore::Outcome PostgresRecordStore::remove(const QString &number, QString *error)
{
    Cycle cycle(m_address, m_server);
    bool exists = false;
    if (!cycle.open() || !cycle.beginWrite() || !cycle.tableExists(&exists))
        return failed(error, cycle.error);
    if (!exists)
        return Outcome::NotFound;
    const Outcome outcome = cycle.removeRow(firstWithNumber, number);
    return outcome == Outcome::Failed ? failed(error, cycle.error) : outcome;
}

RecordStore::Outcome PostgresRecordStore::find(Key by, const QString &key, PanelSettings *settings, QString *error)
{
    Cycle cycle(m_address, m_server);
    if (!cycle.open())
        return failed(error, cycle.error);
    QSqlQuery query;
    const QString column = by == Key::Name ? QStringLiteral("name") : QStringLiteral("ID");
    if (!cycle.prepare(query, QStringLiteral("SELECT %1 FROM tb4810 WHERE lower(%2) = lower(?) ORDER BY rowid LIMIT 1")
                                  .arg(RecordRow::columnList(), column))) {
        if (cycle.missingTable)
            return Outcome::NotFound;
        return failed(error, cycle.error);
    }
    query.addBindValue(key);
    if (!cycle.run(query)) {
        if (cycle.missingTable)
            return Outcome::NotFound;
        return failed(error, cycle.error);
    }
    bool found = false;
    if (!cycle.readSettings(query, &found, settings))
        return failed(error, cycle.error);
    return found ? Outcome::Found : Outcome::NotFound;
}

bool PostgresRecordStore::listKeys(Keys *keys, QString *error)
{
    *keys = Keys{};
    Cycle cycle(m_address, m_server);
    QSqlQuery query;
    if (!cycle.open() || !cycle.prepare(query, QStringLiteral("SELECT ID, name FROM tb4810 ORDER BY rowid"))
        || !cycle.run(query)) {
        if (cycle.missingTable)
            return true;
        failed(error, cycle.error);
        return false;
    }
    if (cycle.readKeys(query, keys))
        return true;
    failed(error, cycle.error);
    return false;
}
