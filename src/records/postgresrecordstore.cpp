#include "postgresrecordstore.h"

#include "recordrow.h"
#include "recordstatements.h"
#include "serverlink.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// Letters A to Z match in either case, whatever the database's locale.
const QString Match = QStringLiteral("lower(%1 COLLATE \"C\") = lower(? COLLATE \"C\")");

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

QString detail(const QString &code, const QString &text)
{
    return code.isEmpty() || text.startsWith(code) ? text : code + QStringLiteral(": ") + text;
}

} // namespace

PostgresRecordStore::PostgresRecordStore(const QString &address)
    : m_connection(QStringLiteral("kv4810g-shared-%1").arg(quintptr(this)))
{
    if (!parseServerAddress(address, &m_address, &m_addressFault))
        m_server = address.section(QLatin1Char('?'), 0, 0);
    else
        m_server = m_address.shown();
}

PostgresRecordStore::~PostgresRecordStore()
{
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
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
    m_db.close();
    QElapsedTimer waited;
    waited.start();
    if (!m_db.open()) {
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
    if (m_db.isOpen())
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
    if (!connect(error))
        return Outcome::Failed;
    RecordStatements statements(m_db, Match, m_order);
    if (!beginWrite(statements, error))
        return rollBack(), Outcome::Failed;
    const Outcome outcome = statements.save(settings, mode);
    if (outcome == Outcome::Failed)
        report(error, faultText(statements.error(), Step::Writing));
    if (outcome == Outcome::Failed || outcome == Outcome::Exists)
        return rollBack(), outcome;
    if (statements.exec(QStringLiteral("COMMIT")))
        return outcome;
    if (!ServerLink::down(m_db))
        return rollBack(), failed(error, faultText(statements.error(), Step::Writing));
    // The link broke while the server committed: whether it did, a new
    // connection tells.
    PanelSettings stored;
    QString unused;
    const Outcome after = find(Key::Number, settings.TxtAni, &stored, &unused);
    if (after == Outcome::Found && stored == settings)
        return outcome;
    if (after == Outcome::Failed)
        return failed(error, QStringLiteral("The connection to the record server %1 was lost while the record was "
                                            "saved: open the record to see whether it was!")
                                 .arg(m_server));
    return failed(error, QStringLiteral("The connection to the record server %1 was lost while the record was "
                                        "saved, it was not saved: try again!")
                             .arg(m_server));
}

RecordStore::Outcome PostgresRecordStore::remove(const QString &number, QString *error)
{
    if (!connect(error))
        return Outcome::Failed;
    RecordStatements statements(m_db, Match, m_order);
    if (!beginWrite(statements, error))
        return rollBack(), Outcome::Failed;
    const Outcome outcome = statements.remove(number);
    if (outcome == Outcome::Removed && statements.exec(QStringLiteral("COMMIT")))
        return outcome;
    rollBack();
    return outcome == Outcome::NotFound ? outcome : failed(error, faultText(statements.error(), Step::Writing));
}

RecordStore::Outcome PostgresRecordStore::find(Key by, const QString &key, PanelSettings *settings, QString *error)
{
    if (!connect(error))
        return Outcome::Failed;
    RecordStatements statements(m_db, Match, m_order);
    bool found = false;
    if (statements.find(by, key, &found, settings))
        return found ? Outcome::Found : Outcome::NotFound;
    // A missing table reads as an empty one.
    if (statements.error().nativeErrorCode() == QLatin1String("42P01"))
        return Outcome::NotFound;
    return failed(error, faultText(statements.error(), Step::Reading));
}

bool PostgresRecordStore::listKeys(Keys *keys, QString *error)
{
    *keys = Keys{};
    if (!connect(error))
        return false;
    RecordStatements statements(m_db, Match, m_order);
    return statements.readKeys(keys) || statements.error().nativeErrorCode() == QLatin1String("42P01")
        || report(error, faultText(statements.error(), Step::Reading));
}

bool PostgresRecordStore::readAll(QList<PanelSettings> *rows, QString *error)
{
    rows->clear();
    if (!connect(error))
        return false;
    RecordStatements statements(m_db, Match, m_order);
    return statements.readAll(rows) || statements.error().nativeErrorCode() == QLatin1String("42P01")
        || report(error, faultText(statements.error(), Step::Reading));
}

bool PostgresRecordStore::addAll(const QList<PanelSettings> &records, bool keepGoing, QList<Outcome> *outcomes,
                                 QStringList *reasons, QString *error)
{
    outcomes->clear();
    reasons->clear();
    if (!connect(error))
        return false;
    RecordStatements statements(m_db, Match, m_order);
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
