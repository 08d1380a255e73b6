#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QStringList>
#include <QVariantList>

// Statements sent to the server together, as one string: one round trip
// however many there are. Values go in as literals the driver quotes (as
// its own prepared statements do), so nothing waits for a PREPARE or a
// DEALLOCATE. Inside a string without BEGIN the statements form one
// transaction, each with a fresh view of the table: a lock taken by the
// first is held while the next looks up and writes.
class LinkWatch;

class ServerScript
{
public:
    // watch, when given, hears of every answer.
    explicit ServerScript(const QSqlDatabase &db, LinkWatch *watch = nullptr);

    // The value as the driver writes it in a statement.
    QString literal(const QVariant &value) const;
    // Runs the statements; the rows of the last (each with its first
    // columns values) in rows(), its count of changed rows in changed().
    // False at the first statement that failed, its fault in error().
    bool run(const QStringList &statements, int columns = 0);

    const QList<QVariantList> &rows() const { return m_rows; }
    int changed() const { return m_changed; }
    const QSqlError &error() const { return m_error; }

private:
    void heard();

    QSqlDatabase m_db;
    LinkWatch *m_watch;
    QList<QVariantList> m_rows;
    int m_changed = 0;
    QSqlError m_error;
};
