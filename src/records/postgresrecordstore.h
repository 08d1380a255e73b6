#pragma once

#include "recordstore.h"
#include "serveraddress.h"

#include <QSqlDatabase>

#include <atomic>

class LinkWatch;
class QSqlError;
class RecordStatements;

// The records in a PostgreSQL database shared by several technicians (see
// ServerAddress for the address). The password comes from the address or
// the usual PostgreSQL sources (PGPASSWORD, the password file); the
// program never keeps it. One connection serves every call, made at the
// first and again only when the server dropped it; each call is one
// transaction in as few round trips as it can: one for an open, a list or
// a delete, two for a save. Saves and deletes take one lock for the lookup
// and the write, so two copies saving the same new number at once leave
// one row. A missing table is created on the first save, when the user
// may. The store is used by the thread that made it, and blocks it while
// the server answers: ServerRecordStore runs it on a thread of its own.
class PostgresRecordStore : public RecordStore
{
public:
    // watch, when given, gets the connection's socket while it is open.
    explicit PostgresRecordStore(const QString &address, LinkWatch *watch = nullptr);
    ~PostgresRecordStore() override;

    // host/dbname, for messages.
    QString location() const override { return m_server; }
    QString description() const override { return QStringLiteral("shared, ") + m_server; }
    Outcome save(const PanelSettings &settings, SaveMode mode, QString *error) override;
    Outcome remove(const QString &number, QString *error) override;
    Outcome find(Key by, const QString &key, PanelSettings *settings, QString *error) override;
    bool listKeys(Keys *keys, QString *error) override;
    bool readAll(QList<PanelSettings> *rows, QString *error) override;
    bool addAll(const QList<PanelSettings> &records, bool keepGoing, QList<Outcome> *outcomes, QStringList *reasons,
                QString *error) override;
    bool addHistory(QList<HistoryEntry> *entries, QString *error) override;
    bool readHistory(const HistoryQuery &query, QList<HistoryEntry> *entries, QString *error) override;

    // Whether the write of the last save or delete went out, the COMMIT
    // with it; safe to ask from another thread while the call runs.
    bool writeSent() const { return m_writeSent; }
    // The outcome the last save's write would have had, when it went out.
    Outcome writeMeant() const { return m_writeMeant; }

private:
    enum class Step { Reading, Writing, Creating };
    // The open connection, made when there is none or the server dropped
    // it; false with the reason in *error.
    bool connect(QString *error);
    // Begins a write: the transaction, the lock, and the table made when
    // missing.
    bool beginWrite(RecordStatements &statements, QString *error);
    QString faultText(const QSqlError &e, Step step) const;
    // Ends the transaction of a write that failed.
    void rollBack();
    // The condition "column matches the key" under the letter-case rule.
    QString matches(const QString &column, const QString &key) const;
    // Closes the connection, the watch told first.
    void disconnect();

    ServerAddress m_address;
    QString m_addressFault;
    QString m_server;
    QString m_connection;
    QSqlDatabase m_db;
    LinkWatch *m_watch;
    std::atomic<bool> m_writeSent{false};
    std::atomic<Outcome> m_writeMeant{Outcome::Failed};
    // The column that keeps the rows in the order they were added.
    QString m_order = QStringLiteral("record_order");
};
