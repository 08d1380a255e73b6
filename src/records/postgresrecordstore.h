#pragma once

#include "recordstore.h"

// The records in a PostgreSQL database shared by several technicians,
// given as postgresql://user@host:port/dbname (the host may be a socket
// folder, written %2Fpath, or given as ?host=/path). The password comes
// from the usual PostgreSQL sources (PGPASSWORD, the password file); the
// program never keeps it. Each call connects, acts in one transaction and
// disconnects. Saves and deletes take one lock for the lookup and the
// write, so two copies saving the same new number at once leave one row.
// A missing table is created on the first save, when the user may.
class PostgresRecordStore : public RecordStore
{
public:
    explicit PostgresRecordStore(const QString &address);

    // Whether the text is a PostgreSQL address rather than a file path.
    static bool isAddress(const QString &text);

    // host/dbname, for messages.
    QString location() const override { return m_server; }
    QString description() const override { return QStringLiteral("shared, ") + m_server; }
    Outcome save(const PanelSettings &settings, SaveMode mode, QString *error) override;
    Outcome remove(const QString &number, QString *error) override;
    Outcome find(Key by, const QString &key, PanelSettings *settings, QString *error) override;
    bool listKeys(Keys *keys, QString *error) override;

    // How long a connection attempt and a wait for another copy's lock last.
    static constexpr int ConnectTimeoutS = 5;
    static constexpr int LockTimeoutMs = 5000;

    struct Server
    {
        QString host, user, password, database, options;
        int port = -1;
    };

private:
    Server m_address;
    QString m_server;
};
