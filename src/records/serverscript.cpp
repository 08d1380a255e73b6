#include "serverscript.h"

#include "recordstatements.h"
#include "serverlink.h"

#include <QSqlQuery>

ServerScript::ServerScript(const QSqlDatabase &db, LinkWatch *watch)
    : m_db(db)
    , m_watch(watch)
{
}

void ServerScript::heard()
{
    if (m_watch)
        m_watch->heard();
}

QString ServerScript::literal(const QVariant &value) const
{
    return sqlLiteral(m_db, value);
}

bool ServerScript::run(const QStringList &statements, int columns)
{
    m_rows.clear();
    m_changed = 0;
    m_error = QSqlError();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    bool ok = query.exec(statements.join(QStringLiteral(";\n")));
    heard();
    // Each statement has a result of its own; a failed one ends the string.
    for (int i = 0; ok && i < statements.size(); ++i) {
        if (i == statements.size() - 1) {
            while (query.next()) {
                QVariantList row;
                for (int c = 0; c < columns; ++c)
                    row << query.value(c);
                m_rows << row;
                // A long list keeps arriving: the link is alive.
                if (m_rows.size() % 256 == 0)
                    heard();
            }
            m_changed = query.numRowsAffected();
        }
        ok = !query.lastError().isValid() && (query.nextResult() || i == statements.size() - 1);
    }
    if (!ok || query.lastError().isValid()) {
        m_error = query.lastError();
        if (!m_error.isValid())
            m_error = QSqlError(QStringLiteral("the server sent fewer results than statements"), QString(),
                                QSqlError::StatementError);
        return false;
    }
    return true;
}
