#include "recordstatements.h"

#include "recordrow.h"
#include "serverlink.h"

#include <QSqlDriver>
#include <QSqlField>
#include <QSqlQuery>

RecordStatements::RecordStatements(const QSqlDatabase &db, const QString &match, const QString &order)
    : m_db(db)
    , m_match(match)
    , m_order(order)
{
}

QString sqlLiteral(const QSqlDatabase &db, const QVariant &value)
{
    QSqlField field(QString(), value.metaType());
    field.setValue(value);
    return db.driver()->formatValue(field);
}

bool RecordStatements::heard(bool answered)
{
    if (m_watch)
        m_watch->heard();
    return answered;
}

bool RecordStatements::fail(const QSqlError &e)
{
    m_error = e;
    return false;
}

bool RecordStatements::exec(const QString &sql)
{
    QSqlQuery query(m_db);
    return heard(query.exec(sql)) || fail(query.lastError());
}

bool RecordStatements::prepare(QSqlQuery &query, const QString &sql)
{
    query = QSqlQuery(m_db);
    query.setForwardOnly(true);
    return query.prepare(sql) || fail(query.lastError());
}

bool RecordStatements::run(QSqlQuery &query)
{
    return heard(query.exec()) || fail(query.lastError());
}

bool RecordStatements::firstRow(const QString &number, bool *found, qint64 *row)
{
    // Prepared once per call of the store: a copy looks up thousands.
    if (m_firstRow.lastQuery().isEmpty() && !prepare(m_firstRow, QStringLiteral("SELECT %1 FROM tb4810 WHERE %2 ORDER BY %1 LIMIT 1")
                                                          .arg(m_order, m_match.arg(QStringLiteral("ID")))))
        return false;
    m_firstRow.bindValue(0, number);
    if (!run(m_firstRow))
        return false;
    *found = m_firstRow.next();
    *row = *found ? m_firstRow.value(0).toLongLong() : 0;
    const QSqlError fault = m_firstRow.lastError();
    m_firstRow.finish();
    return !fault.isValid() || fail(fault);
}

bool RecordStatements::find(RecordStore::Key by, const QString &key, bool *found, PanelSettings *settings)
{
    const QString column = by == RecordStore::Key::Name ? QStringLiteral("name") : QStringLiteral("ID");
    QSqlQuery query;
    if (!prepare(query, QStringLiteral("SELECT %1 FROM tb4810 WHERE %2 ORDER BY %3 LIMIT 1")
                            .arg(RecordRow::columnList(), m_match.arg(column), m_order)))
        return false;
    query.addBindValue(key);
    if (!run(query))
        return false;
    *found = query.next();
    if (!*found)
        return !query.lastError().isValid() || fail(query.lastError());
    QVariantList values;
    for (int c = 0; c < RecordRow::ColumnCount; ++c)
        values << query.value(c);
    if (settings)
        *settings = RecordRow::settingsFromRow(values);
    return true;
}

bool RecordStatements::readKeys(RecordStore::Keys *keys)
{
    QSqlQuery query;
    if (!prepare(query, QStringLiteral("SELECT ID, name FROM tb4810 ORDER BY %1").arg(m_order)) || !run(query))
        return false;
    RecordStore::Keys read;
    while (query.next()) {
        if (!query.value(0).isNull())
            read.numbers << query.value(0).toString();
        if (!query.value(1).isNull())
            read.names << query.value(1).toString();
    }
    if (query.lastError().isValid())
        return fail(query.lastError());
    *keys = read;
    return true;
}

bool RecordStatements::readAll(QList<PanelSettings> *rows)
{
    QSqlQuery query;
    if (!prepare(query, QStringLiteral("SELECT %1 FROM tb4810 ORDER BY %2").arg(RecordRow::columnList(), m_order))
        || !run(query))
        return false;
    QList<PanelSettings> read;
    QVariantList values;
    while (query.next()) {
        values.clear();
        for (int c = 0; c < RecordRow::ColumnCount; ++c)
            values << query.value(c);
        read << RecordRow::settingsFromRow(values);
    }
    if (query.lastError().isValid())
        return fail(query.lastError());
    *rows = read;
    return true;
}

bool RecordStatements::writeRow(const PanelSettings &settings, bool found, qint64 row)
{
    QSqlQuery &write = found ? m_update : m_insert;
    if (write.lastQuery().isEmpty()) {
        QStringList cells;
        for (const QString &column : RecordRow::columns())
            cells << (found ? column + QStringLiteral(" = ?") : QStringLiteral("?"));
        const QString list = cells.join(QStringLiteral(", "));
        if (!prepare(write, found ? QStringLiteral("UPDATE tb4810 SET %1 WHERE %2 = ?").arg(list, m_order)
                                  : QStringLiteral("INSERT INTO tb4810 (%1) VALUES (%2)")
                                        .arg(RecordRow::columnList(), list)))
            return false;
    }
    int position = 0;
    for (const QVariant &value : RecordRow::rowValues(settings))
        write.bindValue(position++, value);
    if (found)
        write.bindValue(position, row);
    return run(write);
}

RecordStore::Outcome RecordStatements::save(const PanelSettings &settings, RecordStore::SaveMode mode)
{
    bool found = false;
    qint64 row = 0;
    if (!firstRow(settings.TxtAni, &found, &row))
        return RecordStore::Outcome::Failed;
    if (found && mode == RecordStore::SaveMode::AddOnly) {
        // "Replace it?" is asked only when a replace can be carried out: a
        // write that changes nothing finds out first whether the store takes
        // writes (a read-only file, a login without the right to update).
        QSqlQuery probe;
        if (!prepare(probe, QStringLiteral("UPDATE tb4810 SET ID = ID WHERE %1 = ?").arg(m_order)))
            return RecordStore::Outcome::Failed;
        probe.addBindValue(row);
        return run(probe) ? RecordStore::Outcome::Exists : RecordStore::Outcome::Failed;
    }
    if (!writeRow(settings, found, row))
        return RecordStore::Outcome::Failed;
    return found ? RecordStore::Outcome::Replaced : RecordStore::Outcome::Added;
}

RecordStore::Outcome RecordStatements::remove(const QString &number)
{
    bool found = false;
    qint64 row = 0;
    if (!firstRow(number, &found, &row))
        return RecordStore::Outcome::Failed;
    if (!found)
        return RecordStore::Outcome::NotFound;
    QSqlQuery del;
    if (!prepare(del, QStringLiteral("DELETE FROM tb4810 WHERE %1 = ?").arg(m_order)))
        return RecordStore::Outcome::Failed;
    del.addBindValue(row);
    return run(del) ? RecordStore::Outcome::Removed : RecordStore::Outcome::Failed;
}

RecordStatements::Batch RecordStatements::addAll(const QList<PanelSettings> &records, bool keepGoing,
                                                 QList<RecordStore::Outcome> *outcomes, QList<QSqlError> *faults)
{
    using Outcome = RecordStore::Outcome;
    for (const PanelSettings &record : records) {
        if (keepGoing && !exec(QStringLiteral("SAVEPOINT kv_record")))
            return Batch::StoreFailed;
        bool found = false;
        qint64 row = 0;
        Outcome outcome = Outcome::Failed;
        if (firstRow(record.TxtAni, &found, &row))
            outcome = found ? Outcome::Exists : writeRow(record, false, 0) ? Outcome::Added : Outcome::Failed;
        *outcomes << outcome;
        *faults << (outcome == Outcome::Failed ? m_error : QSqlError());
        if (outcome != Outcome::Added && !keepGoing)
            return Batch::RecordRefused;
        if (keepGoing && outcome == Outcome::Failed && !exec(QStringLiteral("ROLLBACK TO SAVEPOINT kv_record")))
            return Batch::StoreFailed;
        if (keepGoing && !exec(QStringLiteral("RELEASE SAVEPOINT kv_record")))
            return Batch::StoreFailed;
    }
    return Batch::Done;
}
