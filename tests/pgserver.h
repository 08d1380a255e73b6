#pragma once

// The throwaway PostgreSQL server that scripts/test.sh starts: its address
// (postgresql://postgres@socket-folder:port, without a database) comes in
// KV4810G_TEST_POSTGRES. Each test suite gets a database of its own.
#include <QAtomicInteger>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QUrl>

namespace PgServer {

inline QString server()
{
    return qEnvironmentVariable("KV4810G_TEST_POSTGRES");
}

// Why the PostgreSQL rows cannot run, or empty.
inline QString missing()
{
    if (server().isEmpty())
        return QStringLiteral("no test server: run scripts/test.sh, or set KV4810G_TEST_POSTGRES");
    return QString();
}

// The address of a database on the test server, as another user.
inline QString address(const QString &database, const QString &user = QStringLiteral("postgres"))
{
    QString a = server() + QLatin1Char('/') + database;
    return a.replace(QStringLiteral("//postgres@"), QStringLiteral("//") + user + QLatin1Char('@'));
}

// Runs the statements (separated by ";\n") as postgres in the database;
// the error text, or empty.
inline QString exec(const QString &database, const QString &sql)
{
    static QAtomicInteger<int> next{0};
    const QString name = QStringLiteral("pgserver-%1").arg(next.fetchAndAddRelaxed(1));
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        const QString host = QUrl::fromPercentEncoding(server().section('@', 1).section(':', 0, 0).toUtf8());
        db.setHostName(host);
        db.setPort(server().section(':', -1).toInt());
        db.setUserName(QStringLiteral("postgres"));
        db.setDatabaseName(database);
        if (!db.open()) {
            result = db.lastError().text();
        } else {
            for (const QString &statement : sql.split(QStringLiteral(";\n"), Qt::SkipEmptyParts)) {
                QSqlQuery query(db);
                if (!query.exec(statement)) {
                    result = query.lastError().text();
                    break;
                }
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

// A fresh, empty database of this name.
inline QString recreate(const QString &database)
{
    return exec(QStringLiteral("postgres"),
                QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE);\nCREATE DATABASE %1").arg(database));
}

} // namespace PgServer
