#include "postgresrecordstore.h"

#include "historytable.h"
#include "recordrow.h"
#include "recordstatements.h"
#include "serverlink.h"
#include "serverscript.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// Letters A to Z match in either case, whatever the database's locale:
// column %1 against the key %2.
const QString MatchKey = QStringLiteral("lower(%1 COLLATE \"C\") = lower(%2 COLLATE \"C\")");
const QString Match = MatchKey.arg(QStringLiteral("%1"), QStringLiteral("?"));
// Saves and deletes of every copy of the program take turns under this
// lock, held to the end of the transaction.
const QString TakeTurns = QStringLiteral("SELECT pg_advisory_xact_lock(4810)");
const QString UndefinedTable = QStringLiteral("42P01");

// The table's layout before the order column got its name: it is renamed
// (and the lookups indexed under the letter-case rule) when the user may.
const QStringList Upgrade{
    QStringLiteral("ALTER TABLE tb4810 RENAME COLUMN rowid TO record_order"),
    QStringLiteral("DROP INDEX IF EXISTS tb4810_id"),
    QStringLiteral("DROP INDEX IF EXISTS tb4810_name"),
    QStringLiteral("CREATE INDEX tb4810_id ON tb4810 (lower(ID COLLATE \"C\"))"),
    QStringLiteral("CREATE INDEX tb4810_name ON tb4810 (lower(name COLLATE \"C\"))"),
};

int connectSeconds(const ServerAddress &address)
{
    for (const auto &[key, value] : address.options) {
        if (key == QLatin1String("connect_timeout"))
            return value.toInt();
    }
    return ServerWaits::ConnectS;
}

// The server's words with their SQLSTATE in front, once: the driver puts it
// after them as "(code)".
QString detail(const QString &code, QString text)
{
    if (code.isEmpty())
        return text;
    const QString after = QLatin1Char('(') + code + QLatin1Char(')');
    if (text.endsWith(after))
        text = text.chopped(after.size()).trimmed();
    return code + QStringLiteral(": ") + text;
}

} // namespace

PostgresRecordStore::PostgresRecordStore(const QString &address, LinkWatch *watch)
    : m_connection(QStringLiteral("kv4810g-shared-%1").arg(quintptr(this)))
    , m_watch(watch)
{
    if (!parseServerAddress(address, &m_address, &m_addressFault))
        m_server = address.section(QLatin1Char('?'), 0, 0);
    else
        m_server = m_address.shown();
}

PostgresRecordStore::~PostgresRecordStore()
{
    if (m_db.isValid()) {
        disconnect();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

void PostgresRecordStore::disconnect()
{
    if (m_watch)
        m_watch->disarm();
    m_db.close();
}

QString PostgresRecordStore::matches(const QString &column, const QString &key) const
{
    return MatchKey.arg(column, ServerScript(m_db).literal(key));
}

bool PostgresRecordStore::connect(QString *error)
{
    if (!m_addressFault.isEmpty())
        return report(error, m_addressFault);
    if (m_db.isOpen() && !ServerLink::down(m_db))
        return true;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return report(error, QStringLiteral("The PostgreSQL driver of Qt is not installed, the record server %1 "
                                            "cannot be used!")
                                 .arg(m_server));
    if (!m_db.isValid()) {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
        m_db.setHostName(m_address.host);
        m_db.setPort(m_address.port);
        m_db.setUserName(m_address.user);
        m_db.setPassword(m_address.password);
        m_db.setDatabaseName(m_address.database);
        m_db.setConnectOptions(m_address.connectOptions());
    }
    disconnect();
    QElapsedTimer waited;
    waited.start();
    const bool opened = m_db.open();
    if (opened && m_watch) {
        m_watch->arm(ServerLink::socket(m_db));
        m_watch->heard();
    }
    if (!opened) {
        const int bound = connectSeconds(m_address);
        if (waited.elapsed() >= bound * 1000 - 250)
            return report(error, QStringLiteral("The record server %1 did not answer within %2 seconds: check the "
                                                "network (a VPN, say) and that the server runs!")
                                     .arg(m_server)
                                     .arg(bound));
        QString said;
        const QString code = ServerLink::refusalCode(m_address, &said);
        if (said.isEmpty())
            said = m_db.lastError().text().trimmed();
        if (code.startsWith(QLatin1String("28")))
            return report(error, QStringLiteral("The record server %1 refused the login of %2 (%3): check the user "
                                                "and the password (PGPASSWORD or the password file)!")
                                     .arg(m_server, m_address.user.isEmpty() ? QStringLiteral("this user")
                                                                              : m_address.user,
                                          said));
        if (code == QLatin1String("3D000"))
            return report(error, QStringLiteral("The record server %1 has no such database (%2)!").arg(m_server, said));
        if (code.isEmpty())
            return report(error, QStringLiteral("The record server %1 cannot be reached (%2): check the address and "
                                                "that the server runs!")
                                     .arg(m_server, said));
        return report(error, QStringLiteral("The record server %1 cannot be used: %2!").arg(m_server, said));
    }
    // A table of the earlier layout keeps its order column's old name
    // until a user who may alter it connects.
    m_order = QStringLiteral("record_order");
    QSqlQuery layout(m_db);
    if (layout.exec(QStringLiteral("SELECT 1 FROM pg_attribute WHERE attrelid = to_regclass('tb4810') "
                                   "AND attname = 'rowid' AND NOT attisdropped"))
        && layout.next()) {
        RecordStatements statements(m_db, Match, m_order);
        statements.setWatch(m_watch);
        bool upgraded = statements.exec(QStringLiteral("BEGIN"));
        for (const QString &step : Upgrade)
            upgraded = upgraded && statements.exec(step);
        upgraded = upgraded && statements.exec(QStringLiteral("COMMIT"));
        if (!upgraded) {
            rollBack();
            m_order = QStringLiteral("rowid");
        }
    }
    return true;
}

void PostgresRecordStore::rollBack()
{
    // Asked only within a transaction: the server answers a ROLLBACK
    // outside one with a warning that libpq prints on standard error.
    if (m_db.isOpen() && ServerLink::inTransaction(m_db))
        QSqlQuery(QStringLiteral("ROLLBACK"), m_db);
}

QString PostgresRecordStore::faultText(const QSqlError &e, Step step) const
{
    const QString code = e.nativeErrorCode();
    const QString said = detail(code, (e.databaseText().isEmpty() ? e.driverText() : e.databaseText()).trimmed());
    if (code == QLatin1String("57014"))
        return QStringLiteral("The record server %1 did not answer within %2 seconds, nothing was changed: try "
                              "again!")
            .arg(m_server)
            .arg(ServerWaits::StatementMs / 1000);
    if (code == QLatin1String("55P03"))
        return QStringLiteral("The records on the server %1 are in use by another program, try again!").arg(m_server);
    if (ServerLink::down(m_db) || code.startsWith(QLatin1String("08")) || code.startsWith(QLatin1String("57P")))
        return QStringLiteral("The connection to the record server %1 was lost, nothing was changed: try again!")
            .arg(m_server);
    if (code == QLatin1String("42501"))
        return step == Step::Creating
            ? QStringLiteral("The record server %1 has no table tb4810, and this user may not create it (%2)!")
                  .arg(m_server, said)
            : QStringLiteral("The record server %1 does not allow this user to change the records (%2)!")
                  .arg(m_server, said);
    if (code == QLatin1String("23505"))
        return QStringLiteral("The record server %1 takes no second record with the same value in a column its "
                              "table keeps unique (%2)!")
            .arg(m_server, said);
    return QStringLiteral("The record server %1 cannot be used: %2!").arg(m_server, said);
}

bool PostgresRecordStore::beginWrite(RecordStatements &statements, QString *error)
{
    // Saves and deletes of every copy of the program take turns, so the row
    // looked up is still the row written when the transaction commits, and
    // two first saves do not both create the table.
    QSqlQuery table(m_db);
    if (!statements.exec(QStringLiteral("BEGIN")) || !statements.exec(QStringLiteral("SELECT pg_advisory_xact_lock(4810)")))
        return report(error, faultText(statements.error(), Step::Writing));
    // Read from pg_class itself: a name looked up earlier on this connection
    // may be cached as missing although another copy has made the table.
    if (!table.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM pg_catalog.pg_class WHERE relname = 'tb4810' "
                                   "AND relnamespace = current_schema()::regnamespace)"))
        || !table.next())
        return report(error, faultText(table.lastError(), Step::Writing));
    if (table.value(0).toBool())
        return true;
    QStringList definitions{QStringLiteral("record_order bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")};
    for (int c = 0; c < RecordRow::ColumnCount; ++c)
        definitions << RecordRow::columns().at(c)
                + (RecordRow::isCheckColumn(c) ? QStringLiteral(" smallint") : QStringLiteral(" text"));
    // Rows written by other tools may repeat a number or a name: the
    // indexes speed the lookups up but do not demand uniqueness.
    if (!statements.exec(QStringLiteral("CREATE TABLE tb4810 (%1)").arg(definitions.join(QStringLiteral(", "))))
        || !statements.exec(Upgrade.at(3)) || !statements.exec(Upgrade.at(4)))
        return report(error, faultText(statements.error(), Step::Creating));
    m_order = QStringLiteral("record_order");
    return true;
}

RecordStore::Outcome PostgresRecordStore::save(const PanelSettings &settings, SaveMode mode, QString *error)
{
    m_writeSent = false;
    if (!connect(error))
        return Outcome::Failed;
    // First round trip: the transaction, the turn, the row to replace.
    ServerScript script(m_db, m_watch);
    const QString firstRow = QStringLiteral("SELECT %1 FROM tb4810 WHERE %2 ORDER BY %1 LIMIT 1")
                                 .arg(m_order, matches(QStringLiteral("ID"), settings.TxtAni));
    if (!script.run({QStringLiteral("BEGIN"), TakeTurns, firstRow}, 1)) {
        const QSqlError fault = script.error();
        rollBack();
        if (fault.nativeErrorCode() != UndefinedTable)
            return failed(error, faultText(fault, Step::Writing));
        // The first save of all: the table is made, unless another copy
        // made it while this one waited for its turn.
        RecordStatements statements(m_db, Match, m_order);
        statements.setWatch(m_watch);
        if (!beginWrite(statements, error))
            return rollBack(), Outcome::Failed;
        if (!script.run({firstRow}, 1))
            return rollBack(), failed(error, faultText(script.error(), Step::Writing));
    }
    const bool found = !script.rows().isEmpty();
    const qint64 row = found ? script.rows().first().first().toLongLong() : 0;
    // Second round trip: the write and the COMMIT. "Replace it?" is asked
    // only when a replace can be carried out: a write that changes nothing
    // finds out first whether the store takes writes (a login without the
    // right to update, say).
    if (found && mode == SaveMode::AddOnly) {
        if (script.run({QStringLiteral("UPDATE tb4810 SET ID = ID WHERE %1 = %2").arg(m_order).arg(row),
                        QStringLiteral("ROLLBACK")}))
            return Outcome::Exists;
        const QSqlError fault = script.error();
        return rollBack(), failed(error, faultText(fault, Step::Writing));
    }
    QStringList cells;
    for (const QVariant &value : RecordRow::rowValues(settings))
        cells << script.literal(value);
    QString write;
    if (found) {
        for (int c = 0; c < cells.size(); ++c)
            cells[c] = RecordRow::columns().at(c) + QStringLiteral(" = ") + cells.at(c);
        write = QStringLiteral("UPDATE tb4810 SET %1 WHERE %2 = %3").arg(cells.join(QStringLiteral(", ")), m_order).arg(row);
    } else {
        write = QStringLiteral("INSERT INTO tb4810 (%1) VALUES (%2)")
                    .arg(RecordRow::columnList(), cells.join(QStringLiteral(", ")));
    }
    const Outcome outcome = found ? Outcome::Replaced : Outcome::Added;
    m_writeMeant = outcome;
    m_writeSent = true;
    if (script.run({write, QStringLiteral("COMMIT")}))
        return outcome;
    const QSqlError fault = script.error();
    if (!ServerLink::down(m_db)) {
        m_writeSent = false;
        return rollBack(), failed(error, faultText(fault, Step::Writing));
    }
    // The link broke while the server committed: whether it did, a new
    // connection tells (ServerRecordStore asks it).
    return failed(error, QStringLiteral("The connection to the record server %1 was lost while the record was "
                                        "saved: open the record to see whether it was!")
                             .arg(m_server));
}

RecordStore::Outcome PostgresRecordStore::remove(const QString &number, QString *error)
{
    m_writeSent = false;
    if (!connect(error))
        return Outcome::Failed;
    ServerScript script(m_db, m_watch);
    m_writeSent = true;
    // One round trip, one transaction: the turn and the delete.
    if (script.run({TakeTurns, QStringLiteral("DELETE FROM tb4810 WHERE %1 = (SELECT %1 FROM tb4810 WHERE %2 "
                                              "ORDER BY %1 LIMIT 1)")
                                   .arg(m_order, matches(QStringLiteral("ID"), number))}))
        return script.changed() > 0 ? Outcome::Removed : Outcome::NotFound;
    if (!ServerLink::down(m_db))
        m_writeSent = false;
    if (script.error().nativeErrorCode() == UndefinedTable)
        return Outcome::NotFound;
    return failed(error, faultText(script.error(), Step::Writing));
}

RecordStore::Outcome PostgresRecordStore::find(Key by, const QString &key, PanelSettings *settings, QString *error)
{
    if (!connect(error))
        return Outcome::Failed;
    const QString column = by == Key::Name ? QStringLiteral("name") : QStringLiteral("ID");
    ServerScript script(m_db, m_watch);
    if (script.run({QStringLiteral("SELECT %1 FROM tb4810 WHERE %2 ORDER BY %3 LIMIT 1")
                        .arg(RecordRow::columnList(), matches(column, key), m_order)},
                   RecordRow::ColumnCount)) {
        if (script.rows().isEmpty())
            return Outcome::NotFound;
        if (settings)
            *settings = RecordRow::settingsFromRow(script.rows().first());
        return Outcome::Found;
    }
    // A missing table reads as an empty one.
    if (script.error().nativeErrorCode() == UndefinedTable)
        return Outcome::NotFound;
    return failed(error, faultText(script.error(), Step::Reading));
}

bool PostgresRecordStore::listKeys(Keys *keys, QString *error)
{
    *keys = Keys{};
    if (!connect(error))
        return false;
    ServerScript script(m_db, m_watch);
    if (!script.run({QStringLiteral("SELECT ID, name FROM tb4810 ORDER BY %1").arg(m_order)}, 2))
        return script.error().nativeErrorCode() == UndefinedTable
            || report(error, faultText(script.error(), Step::Reading));
    for (const QVariantList &row : script.rows()) {
        if (!row.at(0).isNull())
            keys->numbers << row.at(0).toString();
        if (!row.at(1).isNull())
            keys->names << row.at(1).toString();
    }
    return true;
}

bool PostgresRecordStore::readAll(QList<PanelSettings> *rows, QString *error)
{
    rows->clear();
    if (!connect(error))
        return false;
    ServerScript script(m_db, m_watch);
    if (!script.run({QStringLiteral("SELECT %1 FROM tb4810 ORDER BY %2").arg(RecordRow::columnList(), m_order)},
                    RecordRow::ColumnCount))
        return script.error().nativeErrorCode() == UndefinedTable
            || report(error, faultText(script.error(), Step::Reading));
    for (const QVariantList &row : script.rows())
        *rows << RecordRow::settingsFromRow(row);
    return true;
}

bool PostgresRecordStore::addAll(const QList<PanelSettings> &records, bool keepGoing, QList<Outcome> *outcomes,
                                 QStringList *reasons, QString *error)
{
    outcomes->clear();
    reasons->clear();
    if (!connect(error))
        return false;
    RecordStatements statements(m_db, Match, m_order);
    statements.setWatch(m_watch);
    if (!beginWrite(statements, error))
        return rollBack(), false;
    QList<QSqlError> faults;
    const auto batch = statements.addAll(records, keepGoing, outcomes, &faults);
    for (const QSqlError &fault : faults)
        *reasons << (fault.isValid() ? faultText(fault, Step::Writing) : QString());
    if (batch == RecordStatements::Batch::Done && statements.exec(QStringLiteral("COMMIT")))
        return true;
    rollBack();
    if (batch == RecordStatements::Batch::RecordRefused)
        return report(error, QStringLiteral("Nothing was written to the record server %1.").arg(m_server));
    return report(error, faultText(statements.error(), Step::Writing));
}

bool PostgresRecordStore::addHistory(QList<HistoryEntry> *entries, QString *error)
{
    if (!connect(error))
        return false;
    ServerScript script(m_db, m_watch);
    QStringList inserts;
    for (const HistoryEntry &entry : *entries)
        inserts << HistoryTable::insertSql(entry, true, m_db);
    const auto takeId = [&] {
        if (inserts.size() == 1 && !script.rows().isEmpty())
            entries->first().id = script.rows().first().first().toLongLong();
        return true;
    };
    // One entry is one statement, one round trip.
    const QStringList batch = QStringList{QStringLiteral("BEGIN")} + inserts + QStringList{QStringLiteral("COMMIT")};
    if (script.run(inserts.size() == 1 ? inserts : batch, 1))
        return takeId();
    if (script.error().nativeErrorCode() != UndefinedTable)
        return rollBack(), report(error, faultText(script.error(), Step::Writing));
    // The first entry of all makes the table, unless another copy made it
    // while this one waited for its turn.
    rollBack();
    if (!script.run(QStringList{QStringLiteral("BEGIN"), TakeTurns, HistoryTable::createSql(true)} + inserts, 1))
        return rollBack(), report(error, faultText(script.error(), Step::Creating));
    takeId();
    return script.run({QStringLiteral("COMMIT")}) || (rollBack(), report(error, faultText(script.error(), Step::Writing)));
}

bool PostgresRecordStore::readHistory(const HistoryQuery &query, QList<HistoryEntry> *entries, QString *error)
{
    entries->clear();
    if (!connect(error))
        return false;
    ServerScript script(m_db, m_watch);
    if (!script.run({HistoryTable::selectSql(query, MatchKey, m_db)}, HistoryTable::columnCount()))
        return script.error().nativeErrorCode() == UndefinedTable
            || report(error, faultText(script.error(), Step::Reading));
    for (const QVariantList &row : script.rows())
        *entries << HistoryTable::entryFromRow(row);
    return true;
}
