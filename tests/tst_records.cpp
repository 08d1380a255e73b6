// The record store against real SQLite files in a temporary folder and,
// row by row, against the PostgreSQL server the test command starts.
#include "pgserver.h"
#include "postgresrecordstore.h"
#include "recordrow.h"
#include "sqliterecordstore.h"
#include "sqlitefiles.h"

#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using Outcome = RecordStore::Outcome;
using Key = RecordStore::Key;

Q_DECLARE_METATYPE(RecordStore::Key)

namespace {

PanelSettings record(const QString &number, const QString &name = QStringLiteral("shop"))
{
    PanelSettings s = PanelSettings::startValues();
    s.TxtAni = number;
    s.TxtName = name;
    return s;
}

// This suite's database on the test server.
const QString Database = QStringLiteral("kv_tst_records");

} // namespace

// The store of a data row ("sqlite" or "postgresql"), empty; skips the
// row when there is no test server.
#define STORE(variable)                                                                                      \
    QFETCH(QString, store);                                                                                  \
    if (store == "postgresql" && !PgServer::missing().isEmpty())                                             \
        QSKIP(qPrintable(PgServer::missing()));                                                              \
    const std::unique_ptr<RecordStore> variable = emptyStore(store);                                         \
    QVERIFY(variable)

class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void keys_data();
    void keys();
    void storedCheckState_data();
    void storedCheckState();
    void nullCells_data();
    void nullCells();
    void faults_data();
    void faults();
    void fileWithoutTableGetsOne();
    void twoWriters_data();
    void twoWriters();
    void serverFaults_data();
    void serverFaults();
    void serverLostDuringSave();

private:
    std::unique_ptr<RecordStore> emptyStore(const QString &store);
    QString exec(const QString &store, const QString &sql);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestRecords::initTestCase()
{
    if (!PgServer::missing().isEmpty())
        return;
    QCOMPARE(PgServer::recreate(Database), QString());
    // One role logs in only with its password, one may not create tables.
    QCOMPARE(PgServer::exec("postgres", "DROP ROLE IF EXISTS kvpassword;\nDROP ROLE IF EXISTS kvreader;\n"
                                        "CREATE ROLE kvpassword LOGIN PASSWORD 'right';\nCREATE ROLE kvreader LOGIN"),
             QString());
}

std::unique_ptr<RecordStore> TestRecords::emptyStore(const QString &store)
{
    if (store == "sqlite")
        return std::make_unique<SqliteRecordStore>(m_path);
    if (store == "postgresql-kept") // another copy of the program on the same table
        return std::make_unique<PostgresRecordStore>(PgServer::address(Database));
    if (!PgServer::exec(Database, "DROP TABLE IF EXISTS tb4810").isEmpty())
        return nullptr;
    return std::make_unique<PostgresRecordStore>(PgServer::address(Database));
}

// Runs the statements (separated by ";\n") as another tool would.
QString TestRecords::exec(const QString &store, const QString &sql)
{
    return store == "sqlite" ? sqliteExec(m_path, sql) : PgServer::exec(Database, sql);
}

void TestRecords::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("4810G.mdb"));
}

void TestRecords::keys_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<Key>("by");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("searched");
    QTest::addColumn<bool>("found");
    for (const char *store : {"sqlite", "postgresql"}) {
        QTest::addRow("%s, double quote", store) << store << Key::Number << "17\"" << "17\"" << true;
        QTest::addRow("%s, quotes and SQL words", store) << store << Key::Number << "1\" OR \"\"=\"" << "1\" OR \"\"=\"" << true;
        QTest::addRow("%s, pasted condition matches nothing", store) << store << Key::Number << "17" << "x\" OR \"1\"=\"1" << false;
        QTest::addRow("%s, semicolon, statement", store) << store << Key::Name << "a'; DROP TABLE tb4810; --"
                                              << "a'; DROP TABLE tb4810; --" << true;
        QTest::addRow("%s, number, other case", store) << store << Key::Number << "AB12" << "ab12" << true;
        QTest::addRow("%s, name, other case", store) << store << Key::Name << "Shop Nord" << "SHOP NORD" << true;
        QTest::addRow("%s, leading blank kept", store) << store << Key::Number << " 17" << " 17" << true;
        QTest::addRow("%s, leading blank needed", store) << store << Key::Number << " 17" << "17" << false;
        QTest::addRow("%s, trailing blank counts", store) << store << Key::Name << "shop" << "shop " << false;
    }
}

void TestRecords::keys()
{
    QFETCH(Key, by);
    QFETCH(QString, stored);
    QFETCH(QString, searched);
    QFETCH(bool, found);
    STORE(records);
    const PanelSettings saved = by == Key::Number ? record(stored, "n") : record("9", stored);
    QString error;
    QCOMPARE(records->save(saved, RecordStore::SaveMode::AddOnly, &error), Outcome::Added);

    PanelSettings loaded;
    QCOMPARE(records->find(by, searched, &loaded, &error), found ? Outcome::Found : Outcome::NotFound);
    if (found)
        QCOMPARE(loaded, saved);
    // The same key again finds the row: no second one is added.
    QCOMPARE(records->save(saved, RecordStore::SaveMode::AddOnly, &error), Outcome::Exists);
    RecordStore::Keys keys;
    QVERIFY2(records->listKeys(&keys, &error), qPrintable(error));
    QCOMPARE(keys.numbers, QStringList{saved.TxtAni});
}

void TestRecords::storedCheckState_data()
{
    QTest::addColumn<QString>("value"); // as SQL
    QTest::addColumn<bool>("checked");
    QTest::newRow("1") << "1" << true;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("text 1") << "'1'" << true;
    QTest::newRow("blanks before") << "'  1'" << true;
    QTest::newRow("number then text") << "'1 yes'" << true;
    QTest::newRow("no number") << "'yes'" << false;
    QTest::newRow("half rounds to even 0") << "0.5" << false;
    QTest::newRow("half rounds to even 2") << "1.5" << true;
    QTest::newRow("rounds to 0") << "'-0.4'" << false;
    QTest::newRow("Null") << "NULL" << false;
}

void TestRecords::storedCheckState()
{
    QFETCH(QString, value);
    QFETCH(bool, checked);
    SqliteRecordStore store(m_path);
    QString error;
    PanelSettings saved = record("1");
    saved.CkTel[3] = !checked;
    QCOMPARE(store.save(saved, RecordStore::SaveMode::AddOnly, &error), Outcome::Added);
    QCOMPARE(sqliteExec(m_path, "UPDATE tb4810 SET TelGZ4 = " + value), QString());
    PanelSettings loaded;
    QCOMPARE(store.find(Key::Number, "1", &loaded, &error), Outcome::Found);
    QCOMPARE(loaded.CkTel[3], checked);
}

void TestRecords::nullCells_data()
{
    QTest::addColumn<QString>("store");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

void TestRecords::nullCells()
{
    STORE(records);
    QString error;
    QCOMPARE(records->save(record("1", "first"), RecordStore::SaveMode::AddOnly, &error), Outcome::Added);
    // Rows of another tool: one without a number, one with nothing but a number.
    QCOMPARE(exec(store, "INSERT INTO tb4810 (name) VALUES ('nameless number');\n"
                          "INSERT INTO tb4810 (ID) VALUES ('2')"),
             QString());

    RecordStore::Keys keys;
    QVERIFY2(records->listKeys(&keys, &error), qPrintable(error));
    QCOMPARE(keys.numbers, (QStringList{"1", "2"}));
    QCOMPARE(keys.names, (QStringList{"first", "nameless number"}));

    PanelSettings loaded;
    QCOMPARE(records->find(Key::Number, "2", &loaded, &error), Outcome::Found);
    PanelSettings expected = PanelSettings::cleared();
    expected.TxtAni = "2";
    QCOMPARE(loaded, expected);
    QCOMPARE(records->find(Key::Name, "nameless number", &loaded, &error), Outcome::Found);
    QCOMPARE(loaded.TxtAni, QString());
}

enum class Fault { AccessFile, ForeignFile, Corrupt, ReadOnlyFile, ReadOnlyFolder, NoFolderAccess, DiskFull };
Q_DECLARE_METATYPE(Fault)

void TestRecords::faults_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QStringList>("failing"); // the operations that must fail
    QTest::addColumn<QString>("says");
    const QStringList all{"add", "replace", "remove", "find", "list"};
    const QStringList writes{"add", "replace", "remove"};
    QTest::newRow("Access file") << Fault::AccessFile << all << "Access database";
    QTest::newRow("other file") << Fault::ForeignFile << all << "not a record file";
    QTest::newRow("corrupt") << Fault::Corrupt << all << "damaged";
    QTest::newRow("read-only file") << Fault::ReadOnlyFile << writes << "read-only";
    QTest::newRow("folder not writable") << Fault::ReadOnlyFolder << writes << "folder";
    QTest::newRow("folder not writable, no file") << Fault::NoFolderAccess << QStringList{"add"} << "folder";
    QTest::newRow("disk full") << Fault::DiskFull << QStringList{"add", "replace"} << "full";
}

void TestRecords::faults()
{
    QFETCH(Fault, fault);
    QFETCH(QStringList, failing);
    QFETCH(QString, says);
    SqliteRecordStore store(m_path);
    QString error;
    if (fault == Fault::AccessFile || fault == Fault::ForeignFile) {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(fault == Fault::AccessFile ? QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(4076, '\0')
                                              : QByteArray("customer list\n"));
    } else if (fault != Fault::NoFolderAccess) {
        for (const char *number : {"1", "2", "3"})
            QCOMPARE(store.save(record(number), RecordStore::SaveMode::AddOnly, &error), Outcome::Added);
    }
    if (fault == Fault::Corrupt) {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qint64 size = file.size();
        file.seek(4096); // everything past the first page
        file.write(QByteArray(size - 4096, '\xA5'));
    }
    std::unique_ptr<WriteProtection> protection;
    if (fault == Fault::ReadOnlyFile)
        protection = std::make_unique<WriteProtection>(m_path);
    if (fault == Fault::ReadOnlyFolder || fault == Fault::NoFolderAccess)
        protection = std::make_unique<WriteProtection>(m_dir->path());
    if (protection && !protection->holds())
        QSKIP("this user writes whatever the permissions say");
    rlimit sizeLimit{};
    getrlimit(RLIMIT_FSIZE, &sizeLimit);
    const rlimit unlimited = sizeLimit;
    const auto lift = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &unlimited); });
    if (fault == Fault::DiskFull) {
        // Files may not grow: a write needing space fails as on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        sizeLimit.rlim_cur = QFileInfo(m_path).size();
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &sizeLimit), 0);
    }

    const QByteArray before = checksum(m_path);
    // Long enough to need new pages.
    const PanelSettings added = record("4", QString(20000, 'n'));
    const PanelSettings replacing = record("1", QString(20000, 'r'));
    for (const QString &operation : failing) {
        PanelSettings found;
        RecordStore::Keys keys;
        error.clear();
        if (operation == "add")
            QCOMPARE(store.save(added, RecordStore::SaveMode::AddOnly, &error), Outcome::Failed);
        else if (operation == "replace")
            QCOMPARE(store.save(replacing, RecordStore::SaveMode::Replace, &error), Outcome::Failed);
        else if (operation == "remove")
            QCOMPARE(store.remove("2", &error), Outcome::Failed);
        else if (operation == "find")
            QCOMPARE(store.find(Key::Number, "1", &found, &error), Outcome::Failed);
        else
            QVERIFY(!store.listKeys(&keys, &error));
        QVERIFY2(error.contains(says) && error.contains(m_path) && error.endsWith('!'),
                 qPrintable(operation + ": " + error));
    }
    setrlimit(RLIMIT_FSIZE, &unlimited);
    QCOMPARE(checksum(m_path), before);
    QVERIFY(!QFileInfo::exists(m_path + "-journal"));
    if (fault == Fault::ReadOnlyFile || fault == Fault::ReadOnlyFolder) {
        PanelSettings found;
        QCOMPARE(store.find(Key::Number, "1", &found, &error), Outcome::Found);
    }
}

void TestRecords::fileWithoutTableGetsOne()
{
    QCOMPARE(sqliteExec(m_path, "CREATE TABLE customers (who TEXT); INSERT INTO customers VALUES ('kept')"),
             QString());
    SqliteRecordStore store(m_path);
    QString error;
    PanelSettings found;
    QCOMPARE(store.find(Key::Number, "1", &found, &error), Outcome::NotFound);
    QCOMPARE(store.save(record("1"), RecordStore::SaveMode::AddOnly, &error), Outcome::Added);
    QCOMPARE(store.find(Key::Number, "1", &found, &error), Outcome::Found);
    QCOMPARE(sqliteValue(m_path, "SELECT who FROM customers"), QString("kept"));
}

void TestRecords::twoWriters_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<bool>("sameNumbers");
    for (const char *store : {"sqlite", "postgresql"}) {
        QTest::addRow("%s, other numbers", store) << store << false;
        QTest::addRow("%s, same numbers at once", store) << store << true;
    }
}

// Two copies of the program save at the same time: no row is lost, and a
// number both save at once is stored once, the other copy told it exists.
void TestRecords::twoWriters()
{
    QFETCH(bool, sameNumbers);
    STORE(records);
    constexpr int PerWriter = 100;
    std::atomic<int> added{0};
    std::atomic<int> exists{0};
    std::atomic<int> ready{0};
    std::atomic<int> failed{0};
    const auto writer = [&](const QString &prefix) {
        return QThread::create([&, prefix] {
            std::unique_ptr<RecordStore> copy = emptyStore(store == "sqlite" ? "sqlite" : "postgresql-kept");
            QString error;
            ++ready;
            while (ready < 2) {
            }
            for (int i = 0; i < PerWriter; ++i) {
                const Outcome outcome = copy->save(record(prefix + QString::number(i)),
                                                   RecordStore::SaveMode::AddOnly, &error);
                ++(outcome == Outcome::Added ? added : outcome == Outcome::Exists ? exists : failed);
            }
        });
    };
    std::unique_ptr<QThread> a(writer("A"));
    std::unique_ptr<QThread> b(writer(sameNumbers ? "A" : "B"));
    a->start();
    b->start();
    QVERIFY(a->wait(60000) && b->wait(60000));
    QCOMPARE(added.load(), sameNumbers ? PerWriter : 2 * PerWriter);
    QCOMPARE(failed.load(), 0);
    QCOMPARE(exists.load(), sameNumbers ? PerWriter : 0);
    RecordStore::Keys keys;
    QString error;
    QVERIFY2(records->listKeys(&keys, &error), qPrintable(error));
    QCOMPARE(keys.numbers.size(), added.load());
}

void TestRecords::serverFaults_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("failing"); // the operations that must fail
    QTest::addColumn<QString>("says");
    const QStringList all{"add", "remove", "find", "list"};
    QTest::newRow("no server") << "postgresql://postgres@%2Fnonexistent%2Fkv4810g/kv" << all << "cannot be reached";
    QTest::newRow("wrong password") << PgServer::address(Database, "kvpassword:wrong") << all << "refused the login";
    QTest::newRow("no password") << PgServer::address(Database, "kvpassword") << all << "refused the login";
    QTest::newRow("unknown user") << PgServer::address(Database, "nobody") << all << "refused the login";
    QTest::newRow("no database") << PgServer::address("kv_absent") << all << "no such database";
    QTest::newRow("table not creatable") << PgServer::address(Database, "kvreader") << QStringList{"add"}
                                         << "may not create it";
}

// Each fault fails the operation with a message naming the server; the
// next operation with a usable address works.
void TestRecords::serverFaults()
{
    QFETCH(QString, address);
    QFETCH(QStringList, failing);
    QFETCH(QString, says);
    if (!PgServer::missing().isEmpty())
        QSKIP(qPrintable(PgServer::missing()));
    QCOMPARE(PgServer::exec(Database, "DROP TABLE IF EXISTS tb4810"), QString());
    qunsetenv("PGPASSWORD");
    PostgresRecordStore store(address);
    for (const QString &operation : failing) {
        PanelSettings found;
        RecordStore::Keys keys;
        QString error;
        if (operation == "add")
            QCOMPARE(store.save(record("1"), RecordStore::SaveMode::AddOnly, &error), Outcome::Failed);
        else if (operation == "remove")
            QCOMPARE(store.remove("1", &error), Outcome::Failed);
        else if (operation == "find")
            QCOMPARE(store.find(Key::Number, "1", &found, &error), Outcome::Failed);
        else
            QVERIFY(!store.listKeys(&keys, &error));
        QVERIFY2(error.contains(says) && error.contains(store.location()) && error.endsWith('!'),
                 qPrintable(operation + ": " + error));
    }
    QString error;
    PostgresRecordStore good(PgServer::address(Database));
    QCOMPARE(good.save(record("1"), RecordStore::SaveMode::AddOnly, &error), Outcome::Added);
}

// The server ends the connection while a save waits inside its
// transaction: a clear message, no row, and the next save works.
void TestRecords::serverLostDuringSave()
{
    if (!PgServer::missing().isEmpty())
        QSKIP(qPrintable(PgServer::missing()));
    const std::unique_ptr<RecordStore> store = emptyStore("postgresql");
    QString error;
    QCOMPARE(store->save(record("1"), RecordStore::SaveMode::AddOnly, &error), Outcome::Added);

    // Another session holds the table, so the save stops at its lookup.
    QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", "admin");
    admin.setHostName(QUrl::fromPercentEncoding(PgServer::server().section('@', 1).section(':', 0, 0).toUtf8()));
    admin.setPort(PgServer::server().section(':', -1).toInt());
    admin.setUserName("postgres");
    admin.setDatabaseName(Database);
    QVERIFY(admin.open());
    QSqlQuery lock(admin);
    QVERIFY(lock.exec("BEGIN") && lock.exec("LOCK TABLE tb4810 IN ACCESS EXCLUSIVE MODE"));

    Outcome outcome = Outcome::Found;
    QString lost;
    std::unique_ptr<QThread> saving(QThread::create([&] {
        outcome = store->save(record("2"), RecordStore::SaveMode::AddOnly, &lost);
    }));
    saving->start();
    QSqlQuery waiting(admin);
    // The activity view holds still within a transaction unless told.
    QTRY_VERIFY(waiting.exec("SELECT pg_stat_clear_snapshot()")
                && waiting.exec("SELECT pid FROM pg_stat_activity WHERE wait_event_type = 'Lock' AND datname = '"
                             + Database + "'")
                && waiting.next());
    QSqlQuery terminate(admin);
    QVERIFY(terminate.exec("SELECT pg_terminate_backend(" + waiting.value(0).toString() + ")"));
    QVERIFY(saving->wait(30000));
    QVERIFY(lock.exec("COMMIT"));
    admin.close();
    admin = QSqlDatabase();
    QSqlDatabase::removeDatabase("admin");

    QCOMPARE(outcome, Outcome::Failed);
    QVERIFY2(lost.contains("connection") && lost.contains(store->location()) && lost.endsWith('!'),
             qPrintable(lost));
    RecordStore::Keys keys;
    QVERIFY2(store->listKeys(&keys, &error), qPrintable(error));
    QCOMPARE(keys.numbers, QStringList{"1"});
    QCOMPARE(store->save(record("2"), RecordStore::SaveMode::AddOnly, &error), Outcome::Added);
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
