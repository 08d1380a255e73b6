#include "sqlcycle.h"

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
