#pragma once

#include "recordstore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

// The statements on tb4810 that the file and the server share, over an
// open connection and inside the caller's transaction. A failing statement
// returns false (or Outcome::Failed) and leaves its fault in error(), which
// each store words for the technician.
class LinkWatch;

// The value as the connection's driver writes it into a statement.
QString sqlLiteral(const QSqlDatabase &db, const QVariant &value);

class RecordStatements
{
public:
    // match: the condition "column %1 matches ?" under the letter-case rule;
    // order: the column that keeps the rows in the order they were added.
    RecordStatements(const QSqlDatabase &db, const QString &match, const QString &order);

    bool exec(const QString &sql);
    // The first row whose column (ID or name) matches the key.
    bool find(RecordStore::Key by, const QString &key, bool *found, PanelSettings *settings);
    bool readKeys(RecordStore::Keys *keys);
    bool readAll(QList<PanelSettings> *rows);
    // Added, Replaced, Exists (AddOnly, after finding out that the store
    // would take the write) or Failed; not committed.
    RecordStore::Outcome save(const PanelSettings &settings, RecordStore::SaveMode mode);
    // Removed, NotFound or Failed; not committed.
    RecordStore::Outcome remove(const QString &number);
    // Each record added unless its number is taken: Added, Exists, Failed.
    // With keepGoing each record is a savepoint, so a refused one leaves
    // the others; without, the first record not added ends it.
    enum class Batch { Done, RecordRefused, StoreFailed };
    Batch addAll(const QList<PanelSettings> &records, bool keepGoing, QList<RecordStore::Outcome> *outcomes,
                QList<QSqlError> *faults);

    const QSqlError &error() const { return m_error; }
    // Told of every answer of the server, when set.
    void setWatch(LinkWatch *watch) { m_watch = watch; }

private:
    bool prepare(QSqlQuery &query, const QString &sql);
    bool run(QSqlQuery &query);
    bool fail(const QSqlError &e);
    bool heard(bool answered);
    bool firstRow(const QString &number, bool *found, qint64 *row);
    bool writeRow(const PanelSettings &settings, bool found, qint64 row);

    QSqlDatabase m_db;
    LinkWatch *m_watch = nullptr;
    QString m_match;
    QString m_order;
    QSqlError m_error;
    QSqlQuery m_firstRow, m_insert, m_update;
};
