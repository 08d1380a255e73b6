#include "sqliterecordstore.h"

#include "historytable.h"
#include "recordrow.h"
#include "recordstatements.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <memory>

namespace {

// SQLite's primary result codes that get their own message.
enum SqliteCode {
    Busy = 5,
    Locked = 6,
    ReadOnly = 8,
    IoError = 10,
    Corrupt = 11,
    Full = 13,
    CantOpen = 14,
    NotADatabase = 26,
};
// The extended code of a write refused because the file's folder is not
// writable: the journal beside the file cannot be made.
constexpr int ReadOnlyDirectory = ReadOnly | (6 << 8);

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

bool folderWritable(const QString &path)
{
    const QFileInfo folder(QFileInfo(path).absolutePath());
    return folder.isDir() && folder.isWritable();
}

QString faultText(const QString &path, const QSqlError &e, bool writing)
{
    const QString file = shown(path);
    const int code = e.nativeErrorCode().toInt();
    const QString folderFault = QStringLiteral("The folder of the record file %1 is not writable: saving needs it "
                                               "for the journal that keeps the file whole!")
                                    .arg(file);
    if (code == ReadOnlyDirectory)
        return folderFault;
    switch (code & 0xff) {
    case Busy:
    case Locked:
        return QStringLiteral("The record file %1 is in use by another program, try again!").arg(file);
    case ReadOnly:
        return QStringLiteral("The record file %1 is read-only!").arg(file);
    case Full:
        return QStringLiteral("The disk of the record file %1 is full!").arg(file);
    case Corrupt:
    case NotADatabase:
        return QStringLiteral("The record file %1 is damaged!").arg(file);
    case CantOpen:
        if (writing && !folderWritable(path))
            return folderFault;
        return QStringLiteral("The record file %1 cannot be opened!").arg(file);
    case IoError:
        // A full disk or an exhausted quota, mostly.
        return writing ? QStringLiteral("The record file %1 cannot be written, the disk may be full!").arg(file)
                       : QStringLiteral("The record file %1 cannot be read!").arg(file);
    default:
        break;
    }
    QString detail = e.databaseText().isEmpty() ? e.driverText() : e.databaseText();
    return QStringLiteral("The record file %1 cannot be used: %2!").arg(file, detail);
}

// What lies at the path, judged by its first bytes before SQLite opens it.
enum class FileKind { Missing, Empty, Sqlite, Access, Foreign, Unreadable };

FileKind inspect(const QString &path)
{
    if (!QFileInfo::exists(path))
        return FileKind::Missing;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileKind::Unreadable;
    const QByteArray head = file.read(32);
    if (head.isEmpty())
        return file.size() == 0 ? FileKind::Empty : FileKind::Unreadable;
    if (head.startsWith(QByteArray("SQLite format 3\0", 16)))
        return FileKind::Sqlite;
    const QByteArray engine = head.mid(4, 15);
    if (engine == "Standard Jet DB" || engine == "Standard ACE DB")
        return FileKind::Access;
    return FileKind::Foreign;
}

// A file SQLite must not touch; the message for it.
QString refusal(const QString &path, FileKind kind)
{
    const QString file = shown(path);
    switch (kind) {
    case FileKind::Access:
        return QStringLiteral("The file %1 is an Access database of an earlier program and is left "
                              "as it is: move it away or name another file in KV4810G_RECORDS!")
            .arg(file);
    case FileKind::Foreign:
        return QStringLiteral("The file %1 is not a record file and is left as it is!").arg(file);
    case FileKind::Unreadable:
        return QStringLiteral("The record file %1 cannot be read!").arg(file);
    default:
        return QString();
    }
}

// The file opened for one call; an open transaction is rolled back and the
// file released when the call ends.
class FileConnection
{
public:
    FileConnection(const QString &path, bool writing)
        : m_name(QStringLiteral("kv4810g-records-%1").arg(nextConnection++))
        , m_path(path)
        , m_writing(writing)
    {
    }
    ~FileConnection()
    {
        if (m_begun && m_db.isOpen())
            QSqlQuery(QStringLiteral("ROLLBACK"), m_db);
        m_statements.reset();
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    FileConnection(const FileConnection &) = delete;
    FileConnection &operator=(const FileConnection &) = delete;

    // Opens the file; for a write, takes the write lock at once, so the row
    // looked up is still the row written when the transaction commits, and
    // creates the table when asked. *exists: whether the table is there.
    bool open(bool *exists, bool create = false)
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(m_path);
        // Reads open an existing file for writing too, so that a write another
        // copy left half done (its journal) is rolled back rather than
        // blocking them; SQLite falls back to reading a read-only file.
        m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(SqliteRecordStore::BusyTimeoutMs));
        if (!m_db.open())
            return fail(m_db.lastError());
        m_statements = std::make_unique<RecordStatements>(m_db, QStringLiteral("%1 = ? COLLATE NOCASE"),
                                                          QStringLiteral("rowid"));
        if (m_writing && !(m_begun = statements().exec(QStringLiteral("BEGIN IMMEDIATE"))))
            return fail(statements().error());
        QSqlQuery query(m_db);
        query.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"));
        query.addBindValue(QString::fromLatin1(RecordRow::Table));
        if (!query.exec())
            return fail(query.lastError());
        *exists = query.next();
        if (query.lastError().isValid())
            return fail(query.lastError());
        return *exists || !create || createTable();
    }

    bool commit()
    {
        if (!statements().exec(QStringLiteral("COMMIT")))
            return fail(statements().error());
        m_begun = false;
        return true;
    }

    RecordStatements &statements() { return *m_statements; }
    const QSqlDatabase &db() const { return m_db; }
    // The rows of one statement, each with its first columns values.
    bool select(const QString &sql, int columns, QList<QVariantList> *rows)
    {
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        if (!query.exec(sql))
            return fail(query.lastError());
        while (query.next()) {
            QVariantList row;
            for (int c = 0; c < columns; ++c)
                row << query.value(c);
            *rows << row;
        }
        return !query.lastError().isValid() || fail(query.lastError());
    }
    // The last fault, worded for the technician.
    QString error() const { return m_error; }
    QString wordFault(const QSqlError &e) const { return faultText(m_path, e, m_writing); }
    bool fail(const QSqlError &e)
    {
        m_error = wordFault(e);
        return false;
    }

private:
    bool createTable()
    {
        QStringList definitions;
        for (int c = 0; c < RecordRow::ColumnCount; ++c)
            definitions << RecordRow::columns().at(c)
                    + (RecordRow::isCheckColumn(c) ? QStringLiteral(" INTEGER") : QStringLiteral(" TEXT"));
        // Rows written by other tools may repeat a number or a name: the
        // indexes speed the lookups up but do not demand uniqueness.
        const bool made = statements().exec(QStringLiteral("CREATE TABLE tb4810 (%1)").arg(definitions.join(", ")))
            && statements().exec(QStringLiteral("CREATE INDEX IF NOT EXISTS tb4810_ID ON tb4810 (ID COLLATE NOCASE)"))
            && statements().exec(
                QStringLiteral("CREATE INDEX IF NOT EXISTS tb4810_name ON tb4810 (name COLLATE NOCASE)"));
        return made || fail(statements().error());
    }

    static inline int nextConnection = 0;
    QString m_name;
    QString m_path;
    bool m_writing;
    bool m_begun = false;
    QSqlDatabase m_db;
    std::unique_ptr<RecordStatements> m_statements;
    QString m_error;
};

// Whether the file may be opened; an absent or empty file holds no rows.
bool usable(const QString &path, bool *holdsRows, QString *error)
{
    const FileKind kind = inspect(path);
    *holdsRows = kind == FileKind::Sqlite;
    return kind == FileKind::Missing || kind == FileKind::Empty || kind == FileKind::Sqlite
        || RecordStore::report(error, refusal(path, kind));
}

} // namespace

SqliteRecordStore::SqliteRecordStore(const QString &path)
    : m_path(path)
{
}

QString SqliteRecordStore::description() const
{
    return QFileInfo(m_path).fileName();
}

RecordStore::Outcome SqliteRecordStore::save(const PanelSettings &settings, SaveMode mode, QString *error)
{
    bool holdsRows = false, exists = false;
    if (!usable(m_path, &holdsRows, error))
        return Outcome::Failed;
    FileConnection file(m_path, true);
    if (!file.open(&exists, true))
        return failed(error, file.error());
    const Outcome outcome = file.statements().save(settings, mode);
    if (outcome == Outcome::Failed)
        return failed(error, file.wordFault(file.statements().error()));
    if (outcome != Outcome::Exists && !file.commit())
        return failed(error, file.error());
    return outcome;
}

RecordStore::Outcome SqliteRecordStore::remove(const QString &number, QString *error)
{
    bool holdsRows = false, exists = false;
    if (!usable(m_path, &holdsRows, error))
        return Outcome::Failed;
    if (!holdsRows)
        return Outcome::NotFound;
    FileConnection file(m_path, true);
    if (!file.open(&exists))
        return failed(error, file.error());
    if (!exists)
        return Outcome::NotFound;
    const Outcome outcome = file.statements().remove(number);
    if (outcome == Outcome::Failed)
        return failed(error, file.wordFault(file.statements().error()));
    if (outcome == Outcome::Removed && !file.commit())
        return failed(error, file.error());
    return outcome;
}

RecordStore::Outcome SqliteRecordStore::find(Key by, const QString &key, PanelSettings *settings, QString *error)
{
    bool holdsRows = false, exists = false, found = false;
    if (!usable(m_path, &holdsRows, error))
        return Outcome::Failed;
    if (!holdsRows)
        return Outcome::NotFound;
    FileConnection file(m_path, false);
    if (!file.open(&exists))
        return failed(error, file.error());
    if (exists && !file.statements().find(by, key, &found, settings))
        return failed(error, file.wordFault(file.statements().error()));
    return found ? Outcome::Found : Outcome::NotFound;
}

bool SqliteRecordStore::listKeys(Keys *keys, QString *error)
{
    *keys = Keys{};
    bool holdsRows = false, exists = false;
    if (!usable(m_path, &holdsRows, error))
        return false;
    if (!holdsRows)
        return true;
    FileConnection file(m_path, false);
    if (!file.open(&exists))
        return report(error, file.error());
    return !exists || file.statements().readKeys(keys)
        || report(error, file.wordFault(file.statements().error()));
}

bool SqliteRecordStore::readAll(QList<PanelSettings> *rows, QString *error)
{
    rows->clear();
    bool holdsRows = false, exists = false;
    if (!usable(m_path, &holdsRows, error))
        return false;
    if (!holdsRows)
        return true;
    FileConnection file(m_path, false);
    if (!file.open(&exists))
        return report(error, file.error());
    return !exists || file.statements().readAll(rows) || report(error, file.wordFault(file.statements().error()));
}

bool SqliteRecordStore::addAll(const QList<PanelSettings> &records, bool keepGoing, QList<Outcome> *outcomes,
                               QStringList *reasons, QString *error)
{
    outcomes->clear();
    reasons->clear();
    bool holdsRows = false, exists = false;
    if (!usable(m_path, &holdsRows, error))
        return false;
    FileConnection file(m_path, true);
    if (!file.open(&exists, true))
        return report(error, file.error());
    QList<QSqlError> faults;
    const auto batch = file.statements().addAll(records, keepGoing, outcomes, &faults);
    for (const QSqlError &fault : faults)
        *reasons << (fault.isValid() ? file.wordFault(fault) : QString());
    if (batch == RecordStatements::Batch::StoreFailed)
        return report(error, file.wordFault(file.statements().error()));
    if (batch == RecordStatements::Batch::RecordRefused)
        return report(error, QStringLiteral("Nothing was written to the record file %1.").arg(shown(m_path)));
    return file.commit() || report(error, file.error());
}

bool SqliteRecordStore::addHistory(QList<HistoryEntry> *entries, QString *error)
{
    bool holdsRows = false, exists = false;
    if (!usable(m_path, &holdsRows, error))
        return false;
    FileConnection file(m_path, true);
    if (!file.open(&exists))
        return report(error, file.error());
    if (!file.statements().exec(HistoryTable::createSql(false)))
        return report(error, file.wordFault(file.statements().error()));
    QList<QVariantList> id;
    for (HistoryEntry &entry : *entries) {
        id.clear();
        if (!file.statements().exec(HistoryTable::insertSql(entry, false, file.db()))
            || !file.select(QStringLiteral("SELECT last_insert_rowid()"), 1, &id) || id.isEmpty())
            return report(error, file.wordFault(file.statements().error()));
        entry.id = id.first().first().toLongLong();
    }
    return file.commit() || report(error, file.error());
}

bool SqliteRecordStore::readHistory(const HistoryQuery &query, QList<HistoryEntry> *entries, QString *error)
{
    entries->clear();
    bool holdsRows = false, exists = false;
    if (!usable(m_path, &holdsRows, error))
        return false;
    if (!holdsRows)
        return true;
    FileConnection file(m_path, false);
    QList<QVariantList> table, rows;
    if (!file.open(&exists)
        || !file.select(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = '%1'")
                            .arg(QLatin1String(HistoryTable::Name)),
                        1, &table))
        return report(error, file.error());
    if (!table.isEmpty()
        && !file.select(HistoryTable::selectSql(query, QStringLiteral("%1 = %2 COLLATE NOCASE"), file.db()),
                        HistoryTable::columnCount(), &rows))
        return report(error, file.error());
    for (const QVariantList &row : rows)
        *entries << HistoryTable::entryFromRow(row);
    return true;
}
