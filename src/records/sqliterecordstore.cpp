#include "sqliterecordstore.h"

#include "recordrow.h"
#include "sqlcycle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

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

// One operation on the file.
class Cycle : public SqlCycle
{
public:
    Cycle(const QString &path, bool writing)
        : SqlCycle(QStringLiteral("kv4810g-records"))
        , m_path(path)
        , m_writing(writing)
    {
    }

    bool open()
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName());
        m_db.setDatabaseName(m_path);
        // Reads open an existing file for writing too, so that a write another
        // copy left half done (its journal) is rolled back rather than
        // blocking them; SQLite falls back to reading a read-only file.
        m_db.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(SqliteRecordStore::BusyTimeoutMs));
        if (m_db.open())
            return true;
        return fail(m_db.lastError());
    }

    // Takes the write lock at once, so the row looked up is still the row
    // written when the transaction commits.
    bool begin() { return beginWith(QStringLiteral("BEGIN IMMEDIATE")); }

    bool tableExists(bool *exists)
    {
        QSqlQuery query;
        if (!prepare(query, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND "
                                           "name = ? COLLATE NOCASE")))
            return false;
        query.addBindValue(QString::fromLatin1(RecordRow::Table));
        if (!run(query))
            return false;
        *exists = query.next();
        return query.lastError().isValid() ? fail(query.lastError()) : true;
    }

    bool createTable()
    {
        QStringList definitions;
        for (int c = 0; c < RecordRow::ColumnCount; ++c)
            definitions << RecordRow::columns().at(c)
                    + (RecordRow::isCheckColumn(c) ? QStringLiteral(" INTEGER") : QStringLiteral(" TEXT"));
        // Rows written by other tools may repeat a number or a name: the
        // indexes speed the lookups up but do not demand uniqueness.
        return exec(QStringLiteral("CREATE TABLE %1 (%2)")
                        .arg(QLatin1String(RecordRow::Table), definitions.join(QStringLiteral(", "))))
            && exec(QStringLiteral("CREATE INDEX IF NOT EXISTS tb4810_ID ON tb4810 (ID COLLATE NOCASE)"))
            && exec(QStringLiteral("CREATE INDEX IF NOT EXISTS tb4810_name ON tb4810 (name COLLATE NOCASE)"));
    }

    bool fail(const QSqlError &e) override
    {
        error = faultText(m_path, e, m_writing);
        return false;
    }

private:
    QString m_path;
    bool m_writing;
};

QString keyColumn(RecordStore::Key by)
{
    return by == RecordStore::Key::Name ? QStringLiteral("name") : QStringLiteral("ID");
}

// The first row with this number, in the store's order.
const QString firstWithNumber = QStringLiteral(
    "SELECT rowid FROM tb4810 WHERE ID = ? COLLATE NOCASE ORDER BY rowid LIMIT 1");

bool report(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

RecordStore::Outcome failed(QString *error, const QString &text)
{
    report(error, text);
    return RecordStore::Outcome::Failed;
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
    const FileKind kind = inspect(m_path);
    if (kind != FileKind::Missing && kind != FileKind::Empty && kind != FileKind::Sqlite)
        return failed(error, refusal(m_path, kind));

    Cycle cycle(m_path, true);
    bool exists = false;
    if (!cycle.open() || !cycle.begin() || !cycle.tableExists(&exists)
        || (!exists && !cycle.createTable()))
        return failed(error, cycle.error);

    const Outcome outcome = cycle.saveRow(firstWithNumber, settings, mode);
    return outcome == Outcome::Failed ? failed(error, cycle.error) : outcome;
}

RecordStore::Outcome SqliteRecordStore::remove(const QString &number, QString *error)
{
    const FileKind kind = inspect(m_path);
    if (kind == FileKind::Missing || kind == FileKind::Empty)
        return Outcome::NotFound;
    if (kind != FileKind::Sqlite)
        return failed(error, refusal(m_path, kind));

    Cycle cycle(m_path, true);
    bool exists = false;
    if (!cycle.open() || !cycle.begin() || !cycle.tableExists(&exists))
        return failed(error, cycle.error);
    if (!exists)
        return Outcome::NotFound;

    const Outcome outcome = cycle.removeRow(firstWithNumber, number);
    return outcome == Outcome::Failed ? failed(error, cycle.error) : outcome;
}

RecordStore::Outcome SqliteRecordStore::find(Key by, const QString &key, PanelSettings *settings,
                                             QString *error)
{
    const FileKind kind = inspect(m_path);
    if (kind == FileKind::Missing || kind == FileKind::Empty)
        return Outcome::NotFound;
    if (kind != FileKind::Sqlite)
        return failed(error, refusal(m_path, kind));

    Cycle cycle(m_path, false);
    bool exists = false;
    if (!cycle.open() || !cycle.tableExists(&exists))
        return failed(error, cycle.error);
    if (!exists)
        return Outcome::NotFound;

    QSqlQuery query;
    if (!cycle.prepare(query, QStringLiteral("SELECT %1 FROM tb4810 WHERE %2 = ? COLLATE NOCASE "
                                             "ORDER BY rowid LIMIT 1")
                                  .arg(RecordRow::columnList(), keyColumn(by))))
        return failed(error, cycle.error);
    query.addBindValue(key);
    bool found = false;
    if (!cycle.run(query) || !cycle.readSettings(query, &found, settings))
        return failed(error, cycle.error);
    return found ? Outcome::Found : Outcome::NotFound;
}

bool SqliteRecordStore::listKeys(Keys *keys, QString *error)
{
    *keys = Keys{};
    const FileKind kind = inspect(m_path);
    if (kind == FileKind::Missing || kind == FileKind::Empty)
        return true;
    if (kind != FileKind::Sqlite)
        return report(error, refusal(m_path, kind));

    Cycle cycle(m_path, false);
    bool exists = false;
    if (!cycle.open() || !cycle.tableExists(&exists))
        return report(error, cycle.error);
    if (!exists)
        return true;

    QSqlQuery query;
    if (!cycle.prepare(query, QStringLiteral("SELECT ID, name FROM tb4810 ORDER BY rowid"))
        || !cycle.run(query))
        return report(error, cycle.error);
    return cycle.readKeys(query, keys) || report(error, cycle.error);
}
