#pragma once

// The throwaway server of scripts/test.sh (its address in KV4810G_TEST_POSTGRES); a database per suite.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace PgServer {

inline QString server() { return qEnvironmentVariable("KV4810G_TEST_POSTGRES"); }

// Why the PostgreSQL rows cannot run, or empty.
inline QString missing()
{
    return server().isEmpty() ? QStringLiteral("no test server: run scripts/test.sh, or set KV4810G_TEST_POSTGRES")
                              : QString();
}

// The address of a database on the test server, as another user.
inline QString address(const QString &database, const QString &user = QStringLiteral("postgres"))
{
    return QString(server() + '/' + database).replace("//postgres@", "//" + user + '@');
}

// A connection of this name to the database as postgres, not yet opened.
inline QSqlDatabase connection(const QString &name, const QString &database)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(QUrl::fromPercentEncoding(server().section('@', 1).section(':', 0, 0).toUtf8()));
    db.setPort(server().section(':', -1).toInt());
    db.setUserName(QStringLiteral("postgres"));
    db.setDatabaseName(database);
    return db;
}

// Runs the statements (separated by ";\n") in the database; the error text, or empty.
inline QString exec(const QString &database, const QString &sql)
{
    QString result;
    {
        QSqlDatabase db = connection(QStringLiteral("pgserver-exec"), database);
        if (!db.open())
            result = db.lastError().text();
        for (const QString &statement : sql.split(QStringLiteral(";\n"), Qt::SkipEmptyParts)) {
            QSqlQuery query(db);
            if (result.isEmpty() && !query.exec(statement))
                result = query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pgserver-exec"));
    return result;
}

// A fresh, empty database of this name.
inline QString recreate(const QString &database)
{
    return exec("postgres", QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE);\nCREATE DATABASE %1").arg(database));
}

} // namespace PgServer

// A row whose store (a name beginning with "postgresql") is on the server, when there is none: skipped, or failed
// where CI is set, whose run must not pass with those rows untried.
#define SKIP_WITHOUT_SERVER(store)                                                                           \
    if (!QString(store).startsWith("postgresql") || PgServer::missing().isEmpty()) {                         \
    } else if (qEnvironmentVariableIsEmpty("CI"))                                                            \
        QSKIP(qPrintable(PgServer::missing()));                                                              \
    else                                                                                                     \
        QFAIL(qPrintable("CI is set and there is " + PgServer::missing()))
