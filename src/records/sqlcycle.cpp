#include "sqlcycle.h"

#include "recordrow.h"

#include <QAtomicInteger>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QAtomicInteger<quint64> nextConnection{0};
}

SqlCycle::SqlCycle(const QString &namePrefix)
    : m_name(QStringLiteral("%1-%2").arg(namePrefix).arg(nextConnection.fetchAndAddRelaxed(1)))
{
}

SqlCycle::~SqlCycle()
{
    if (m_inTransaction && m_db.isOpen())
        QSqlQuery(QStringLiteral("ROLLBACK"), m_db);
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool SqlCycle::beginWith(const QString &sql)
{
    if (!exec(sql))
        return false;
    m_inTransaction = true;
    return true;
}

bool SqlCycle::commit()
{
    if (!exec(QStringLiteral("COMMIT")))
        return false;
    m_inTransaction = false;
    return true;
}

bool SqlCycle::exec(const QString &sql)
{
    QSqlQuery query(m_db);
    return query.exec(sql) || fail(query.lastError());
}

bool SqlCycle::prepare(QSqlQuery &query, const QString &sql)
{
    query = QSqlQuery(m_db);
    query.setForwardOnly(true);
    return query.prepare(sql) || fail(query.lastError());
}

bool SqlCycle::run(QSqlQuery &query)
{
    return query.exec() || fail(query.lastError());
}

bool SqlCycle::firstRowid(const QString &sql, const QString &number, bool *found, qint64 *rowid)
{
    QSqlQuery query;
    if (!prepare(query, sql))
        return false;
    query.addBindValue(number);
    if (!run(query))
        return false;
    *found = query.next();
    *rowid = *found ? query.value(0).toLongLong() : 0;
    return !query.lastError().isValid() || fail(query.lastError());
}

bool SqlCycle::readSettings(QSqlQuery &query, bool *found, PanelSettings *settings)
{
    *found = query.next();
    if (!*found)
        return !query.lastError().isValid() || fail(query.lastError());
    QVariantList values;
    values.reserve(RecordRow::ColumnCount);
    for (int c = 0; c < RecordRow::ColumnCount; ++c)
        values << query.value(c);
    if (settings)
        *settings = RecordRow::settingsFromRow(values);
    return true;
}

bool SqlCycle::readKeys(QSqlQuery &query, RecordStore::Keys *keys)
{
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

bool SqlCycle::writeRow(const PanelSettings &settings, bool found, qint64 rowid)
{
    QStringList cells;
    for (const QString &column : RecordRow::columns())
        cells << (found ? column + QStringLiteral(" = ?") : QStringLiteral("?"));
    const QString list = cells.join(QStringLiteral(", "));
    const QString sql = found ? QStringLiteral("UPDATE tb4810 SET %1 WHERE rowid = ?").arg(list)
                              : QStringLiteral("INSERT INTO tb4810 (%1) VALUES (%2)").arg(RecordRow::columnList(), list);
    QSqlQuery write;
    if (!prepare(write, sql))
        return false;
    for (const QVariant &value : RecordRow::rowValues(settings))
        write.addBindValue(value);
    if (found)
        write.addBindValue(rowid);
    return run(write);
}

RecordStore::Outcome SqlCycle::saveRow(const QString &firstWithNumber, const PanelSettings &settings,
                                       RecordStore::SaveMode mode)
{
    bool found = false;
    qint64 rowid = 0;
    if (!firstRowid(firstWithNumber, settings.TxtAni, &found, &rowid))
        return RecordStore::Outcome::Failed;
    if (found && mode == RecordStore::SaveMode::AddOnly) {
        // "Replace it?" is asked only when a replace can be carried out: a
        // write that changes nothing finds out first whether the store takes
        // writes (a read-only file, a login without the right to update).
        QSqlQuery probe;
        if (!prepare(probe, QStringLiteral("UPDATE tb4810 SET ID = ID WHERE rowid = ?")))
            return RecordStore::Outcome::Failed;
        probe.addBindValue(rowid);
        if (!run(probe))
            return RecordStore::Outcome::Failed;
        return RecordStore::Outcome::Exists; // the transaction is rolled back at the end
    }
    if (!writeRow(settings, found, rowid) || !commit())
        return RecordStore::Outcome::Failed;
    return found ? RecordStore::Outcome::Replaced : RecordStore::Outcome::Added;
}

RecordStore::Outcome SqlCycle::removeRow(const QString &firstWithNumber, const QString &number)
{
    bool found = false;
    qint64 rowid = 0;
    if (!firstRowid(firstWithNumber, number, &found, &rowid))
        return RecordStore::Outcome::Failed;
    if (!found)
        return RecordStore::Outcome::NotFound;
    QSqlQuery del;
    if (!prepare(del, QStringLiteral("DELETE FROM tb4810 WHERE rowid = ?")))
        return RecordStore::Outcome::Failed;
    del.addBindValue(rowid);
    if (!run(del))
        return RecordStore::Outcome::Failed;
    del.finish();
    return commit() ? RecordStore::Outcome::Removed : RecordStore::Outcome::Failed;
}
