#pragma once

#include "recordstore.h"

#include <QSqlDatabase>
#include <QString>

class QSqlError;
class QSqlQuery;

// One record operation: a connection of its own, opened by the back end,
// used, and closed and removed again when the operation ends; an open
// transaction is rolled back then. Every failing statement goes through
// fail(), which each back end words for the technician.
class SqlCycle
{
public:
    explicit SqlCycle(const QString &namePrefix);
    virtual ~SqlCycle();
    SqlCycle(const SqlCycle &) = delete;
    SqlCycle &operator=(const SqlCycle &) = delete;

    bool commit();
    bool exec(const QString &sql);
    bool prepare(QSqlQuery &query, const QString &sql);
    bool run(QSqlQuery &query);
    // Within the open transaction, `firstWithNumber` selecting rowids by a
    // number: the settings saved under their number (Added, Replaced, or
    // Exists when the mode forbids replacing), or that row removed (Removed,
    // NotFound); committed. Failed sets error.
    RecordStore::Outcome saveRow(const QString &firstWithNumber, const PanelSettings &settings,
                                 RecordStore::SaveMode mode);
    RecordStore::Outcome removeRow(const QString &firstWithNumber, const QString &number);
    // The settings of the query's next row, its columns in the order of
    // RecordRow::columns(); *found says whether there is one.
    bool readSettings(QSqlQuery &query, bool *found, PanelSettings *settings);
    // The numbers and names of the rows the query selects as (ID, name),
    // Null cells left out.
    bool readKeys(QSqlQuery &query, RecordStore::Keys *keys);
    // Sets error and returns false.
    virtual bool fail(const QSqlError &e) = 0;

    QString error;

protected:
    // Runs the statement that opens a transaction.
    bool beginWith(const QString &sql);
    QString connectionName() const { return m_name; }

    QSqlDatabase m_db;

private:
    // The rowid of the first row `sql` selects for the number.
    bool firstRowid(const QString &sql, const QString &number, bool *found, qint64 *rowid);
    // Over the row `rowid`, or as a new row when found is false.
    bool writeRow(const PanelSettings &settings, bool found, qint64 rowid);

    QString m_name;
    bool m_inTransaction = false;
};
