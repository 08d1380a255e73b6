// The record stores on real SQLite files and the test PostgreSQL server; the File menu's Save, Delete, Open.
#include "frmmain.h"
#include "frmopen.h"
#include "messages.h"
#include "pgserver.h"
#include "serverrecordstore.h"
#include "recordrow.h"
#include "recordsamples.h"
#include "sqliterecordstore.h"
#include "serverrelay.h"
#include "sqlitefiles.h"
#include "serveraddress.h"

#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <pwd.h>
#include <unistd.h>
#include <sys/resource.h>
#include <sys/stat.h>

using Outcome = RecordStore::Outcome;
using Key = RecordStore::Key;
constexpr auto AddOnly = RecordStore::SaveMode::AddOnly;
Q_DECLARE_METATYPE(RecordStore::Key)
enum class Fault { AccessFile, ForeignFile, Corrupt, ReadOnlyFile, ReadOnlyFolder, NoFolderAccess, DiskFull };
Q_DECLARE_METATYPE(Fault)

namespace {

// A database of this run's own: the suite's parts run side by side on one server.
const QString Database = QStringLiteral("kv_tst_records_%1").arg(QCoreApplication::applicationPid());

// The operations that did not fail with a message saying this, naming the store and ending in '!'.
QString notFailing(RecordStore &store, const QStringList &operations, const QString &says)
{
    QString wrong;
    for (const QString &op : operations) {
        QString error;
        PanelSettings found;
        RecordStore::Keys keys;
        QList<HistoryEntry> entries(1);
        entries[0].operation = HistoryEntry::Operations.first();
        entries[0].outcome = HistoryEntry::Outcomes.first();
        // Long names, to need new pages.
        const bool failed = op == "list" ? !store.listKeys(&keys, &error)
            : op == "history"              ? !store.addHistory(&entries, &error)
            : op == "read history"         ? !store.readHistory(HistoryQuery(), &entries, &error)
            : (op == "add"        ? store.save(record("4", QString(20000, 'n')), AddOnly, &error)
               : op == "add existing" ? store.save(record("1"), AddOnly, &error)
               : op == "replace" ? store.save(record("1", QString(20000, 'r')), RecordStore::SaveMode::Replace, &error)
               : op == "remove"  ? store.remove("2", &error)
                                 : store.find(Key::Number, "1", &found, &error)) == Outcome::Failed;
        if (!failed || !error.contains(says) || !error.contains(store.location()) || !error.endsWith('!'))
            wrong += op + ": " + error + '\n';
    }
    return wrong;
}

// Open(&O), the option ("Code:" is selected at first), the key typed into its list, OK (or another button).
void openThroughDialog(frmmain &window, int mode, const QString &key, const char *button = "CmdOK")
{
    window.findChild<QAction *>("File_open")->trigger();
    auto *dialog = window.findChild<frmOpen *>();
    QVERIFY(dialog && dialog->isVisible());
    QWidget other; // chosen again while open behind another window: the same dialog comes to the front
    other.show();
    QTRY_COMPARE(QApplication::activeWindow(), &other);
    window.findChild<QAction *>("File_open")->trigger();
    QTRY_COMPARE(QApplication::activeWindow(), dialog);
    auto *option = dialog->findChild<QRadioButton *>(mode == 0 ? "Option1" : "Option2");
    QVERIFY(mode == 1 || option->isChecked());
    QCOMPARE(dialog->findChild<QComboBox *>("Text1")->count(), dialog->findChild<QComboBox *>("Text2")->count());
    option->setChecked(true);
    auto *list = dialog->findChild<QComboBox *>(mode == 0 ? "Text1" : "Text2");
    list->setEditText(key);
    const int items = list->count();
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
        QTest::keyClick(list, key);
    QVERIFY(dialog->isVisible() && list->count() == items); // neither Esc nor Enter presses a button or adds an item
    QPointer<frmOpen> open = dialog;
    QTest::mouseClick(dialog->findChild<QPushButton *>(button), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!open); // OK always closes the dialog, as Exit does
}

} // namespace

// The empty store of the data row's "store" column; skips PostgreSQL rows without a server.
#define STORE(variable) QFETCH(QString, store); STORE_ROW(variable, store)
#define STORE_ROW(variable, store)                                                                           \
    SKIP_WITHOUT_SERVER(store);                                                                              \
    const std::unique_ptr<RecordStore> variable = emptyStore(store);                                         \
    QVERIFY(variable)

class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!PgServer::missing().isEmpty())
            return;
        QCOMPARE(PgServer::recreate(Database), QString());
        // One role logs in only with its password, one may not create tables, one only over TLS (scripts/test.sh).
        // The parts of this suite set them up in turn: two changes of one role at once fail.
        QString roles = "SELECT pg_advisory_lock(4810);\n";
        for (const char *role : {"kvpassword LOGIN", "kvreader LOGIN", "kvtls LOGIN"})
            roles += QString("DO $$ BEGIN CREATE ROLE %1; EXCEPTION WHEN duplicate_object THEN NULL; END $$;\n").arg(role);
        QCOMPARE(PgServer::exec("postgres", roles + "ALTER ROLE kvpassword PASSWORD 'right'"), QString());
        QCOMPARE(PgServer::exec(Database, "GRANT ALL ON SCHEMA public TO kvtls"), QString());
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath(QStringLiteral("4810G.mdb"));
    }
    void cleanup() { Messages::setResponder(nullptr); }
    void cleanupTestCase()
    {
        if (PgServer::missing().isEmpty())
            PgServer::exec("postgres", "DROP DATABASE IF EXISTS " + Database + " WITH (FORCE)");
    }

    void emptyStore_data()
    {
        twoWriters_data();
        QTest::newRow("sqlite, other table") << "sqlite";
    }
    // A store before its first save finds and creates nothing, not even its table beside another tool's; then
    // rows another tool wrote, Null cells and all.
    void emptyStore()
    {
        STORE(records);
        const bool otherTable = QTest::currentDataTag() == QLatin1String("sqlite, other table");
        if (otherTable)
            QCOMPARE(sqliteExec(m_path, "CREATE TABLE customers (who TEXT); INSERT INTO customers VALUES ('kept')"),
                     QString());
        const QByteArray before = checksum(m_path);
        PanelSettings found, expected = PanelSettings::cleared();
        QString error;
        RecordStore::Keys keys;
        QCOMPARE(records->find(Key::Number, "1", &found, &error), Outcome::NotFound);
        QCOMPARE(records->remove("1", &error), Outcome::NotFound);
        QVERIFY2(records->listKeys(&keys, &error) && keys.numbers.isEmpty(), qPrintable(error));
        QCOMPARE(checksum(m_path), before);
        QCOMPARE(QFileInfo::exists(m_path), otherTable);
        QCOMPARE(records->save(record("1", "first"), AddOnly, &error), Outcome::Added);
        // One without a number, one with nothing but a number.
        const QString rows = "INSERT INTO tb4810 (name) VALUES ('nameless number');\n"
                             "INSERT INTO tb4810 (ID) VALUES ('2')";
        QCOMPARE(store == "sqlite" ? sqliteExec(m_path, rows) : PgServer::exec(Database, rows), QString());
        QVERIFY2(records->listKeys(&keys, &error), qPrintable(error));
        QCOMPARE(keys.numbers, (QStringList{"1", "2"}));
        QCOMPARE(keys.names, (QStringList{"first", "nameless number"}));
        expected.TxtAni = "2";
        QCOMPARE(records->find(Key::Number, "2", &found, &error), Outcome::Found);
        QCOMPARE(found, expected);
        QCOMPARE(records->find(Key::Name, "nameless number", &found, &error), Outcome::Found);
        QCOMPARE(found.TxtAni, QString());
        QVERIFY(!otherTable || sqliteExec(m_path, "SELECT who FROM customers").isEmpty());
    }

    void keys_data()
    {
        QTest::addColumn<QString>("store");
        QTest::addColumn<Key>("by");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("searched");
        QTest::addColumn<bool>("found");
        const QString statement = "a'; DROP TABLE tb4810; --";
        for (const char *s : {"sqlite", "postgresql"}) {
            QTest::addRow("%s, statement", s) << s << Key::Name << statement << statement << true;
            QTest::addRow("%s, name, other case", s) << s << Key::Name << "Shop Nord" << "SHOP NORD" << true;
            QTest::addRow("%s, leading blank kept", s) << s << Key::Number << " 17" << " 17" << true;
            QTest::addRow("%s, leading blank needed", s) << s << Key::Number << " 17" << "17" << false;
            // Only A to Z match in either case, on both stores alike.
            QTest::addRow("%s, A-Z folded beside other letters", s) << s << Key::Number << "ZOË" << "zoË" << true;
            QTest::addRow("%s, other letters keep their case", s) << s << Key::Name << "ZOË" << "Zoë" << false;
        }
    }
    void keys()
    {
        QFETCH(Key, by); QFETCH(QString, stored); QFETCH(QString, searched); QFETCH(bool, found);
        STORE(records);
        const PanelSettings saved = by == Key::Number ? record(stored, "n") : record("9", stored);
        QString error;
        QCOMPARE(records->save(saved, AddOnly, &error), Outcome::Added);
        PanelSettings loaded;
        QCOMPARE(records->find(by, searched, &loaded, &error), found ? Outcome::Found : Outcome::NotFound);
        if (found)
            QCOMPARE(loaded, saved);
    }

    void storedCheckState_data()
    {
        QTest::addColumn<QString>("value"); // as SQL
        QTest::addColumn<bool>("checked");
        for (const auto &[sql, checked] : {std::pair{"1", true}, {"0", false}, {"'- 1'", true}, {"'1 yes'", true},
                                           {"'yes'", false}, {"0.5", false}, {"0.6", true}, {"'.7'", true},
                                           {"1.5", true}, {"'5e-1 x'", false}, {"NULL", false}})
            QTest::newRow(sql) << QString(sql) << checked;
    }
    // Another tool's value in a check column: a number rounded half to even, else unchecked.
    void storedCheckState()
    {
        QFETCH(QString, value); QFETCH(bool, checked);
        SqliteRecordStore store(m_path);
        QString error;
        PanelSettings saved = record("1"), loaded;
        saved.CkTel[3] = !checked;
        QCOMPARE(store.save(saved, AddOnly, &error), Outcome::Added);
        QCOMPARE(sqliteExec(m_path, "UPDATE tb4810 SET TelGZ4 = " + value), QString());
        QCOMPARE(store.find(Key::Number, "1", &loaded, &error), Outcome::Found);
        QCOMPARE(loaded.CkTel[3], checked);
    }

    void faults_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QStringList>("failing"); // the operations that must fail
        QTest::addColumn<QString>("says");
        const QStringList records{"add", "replace", "remove", "find", "list"}, history{"history", "read history"};
        const QStringList all = records + history, writes{"add", "replace", "remove", "history"};
        QTest::newRow("Access file") << Fault::AccessFile << all << "Access database";
        QTest::newRow("other file") << Fault::ForeignFile << all << "not a record file";
        QTest::newRow("corrupt") << Fault::Corrupt << records << "damaged"; // history: pages of its own
        QTest::newRow("read-only file") << Fault::ReadOnlyFile << writes + QStringList{"add existing"} << "read-only";
        QTest::newRow("folder not writable, file is") << Fault::ReadOnlyFolder << writes << "for the journal";
        QTest::newRow("folder not writable, no file") << Fault::NoFolderAccess << QStringList{"add", "history"}
                                                      << "folder";
        QTest::newRow("disk full") << Fault::DiskFull << QStringList{"add", "replace"} << "full";
    }
    // Each fault fails the operations with its message and leaves the file as it was.
    void faults()
    {
        QFETCH(Fault, fault); QFETCH(QStringList, failing); QFETCH(QString, says);
        SqliteRecordStore store(m_path);
        QString error;
        QFile file(m_path);
        if (fault == Fault::AccessFile || fault == Fault::ForeignFile) {
            const QByteArray jet = QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(4076, '\0');
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(fault == Fault::AccessFile ? jet : "list\n") > 0);
            file.close();
        } else if (fault != Fault::NoFolderAccess) {
            for (const char *number : {"1", "2", "3"})
                QCOMPARE(store.save(record(number), AddOnly, &error), Outcome::Added);
        }
        if (fault == Fault::Corrupt) { // everything past the first page
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(4096));
            file.write(QByteArray(file.size() - 4096, '\xA5'));
            file.close();
        }
        // Permissions bind every user but root: root runs the operations as nobody, whose file it is.
        const bool protect =
            fault == Fault::ReadOnlyFile || fault == Fault::ReadOnlyFolder || fault == Fault::NoFolderAccess;
        const QByteArray folder = QFile::encodeName(m_dir->path()), path = QFile::encodeName(m_path);
        const passwd *nobody = protect && ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
        QVERIFY(!nobody || fault == Fault::NoFolderAccess || ::chown(path, nobody->pw_uid, -1) == 0);
        QVERIFY(!protect || ::chmod(folder, fault == Fault::ReadOnlyFile ? 0777 : 0555) == 0);
        QVERIFY(fault != Fault::ReadOnlyFile || ::chmod(path, 0444) == 0);
        const auto restore = qScopeGuard([&] {
            if (nobody && ::setresuid(0, 0, 0) != 0)
                qFatal("cannot become root again");
            ::chmod(folder, 0700);
        });
        QVERIFY(!nobody || ::setresuid(nobody->pw_uid, nobody->pw_uid, 0) == 0); // root kept to come back
        rlimit sizeLimit{};
        getrlimit(RLIMIT_FSIZE, &sizeLimit);
        const auto lift = qScopeGuard([unlimited = sizeLimit] { setrlimit(RLIMIT_FSIZE, &unlimited); });
        if (fault == Fault::DiskFull) { // files may not grow, as on a full disk
            std::signal(SIGXFSZ, SIG_IGN);
            sizeLimit.rlim_cur = QFileInfo(m_path).size();
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &sizeLimit), 0);
        }
        const QByteArray before = checksum(m_path);
        const QString wrong = notFailing(store, failing, says);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(checksum(m_path), before);
        QVERIFY(!QFileInfo::exists(m_path + "-journal"));
        if (fault == Fault::ReadOnlyFile || fault == Fault::ReadOnlyFolder)
            QCOMPARE(store.find(Key::Number, "1", nullptr, &error), Outcome::Found);
    }

    void twoWriters_data()
    {
        QTest::addColumn<QString>("store");
        QTest::newRow("sqlite") << "sqlite";
        QTest::newRow("postgresql") << "postgresql";
    }
    // Two copies save at once, own numbers and shared ones: no row is lost, a shared number is stored once.
    void twoWriters()
    {
        STORE(records);
        constexpr int PerWriter = 100;
        std::atomic<int> added{0}, exists{0}, failed{0}, ready{0};
        const auto writer = [&](const QString &own) {
            return std::unique_ptr<QThread>(QThread::create([&, own] {
                const std::unique_ptr<RecordStore> copy = emptyStore(store == "sqlite" ? "sqlite" : "postgresql-kept");
                QString error;
                for (++ready; ready < 2;) {
                }
                for (int i = 0; i < PerWriter; ++i) {
                    const Outcome saved = copy->save(record((i % 2 ? own : "S") + QString::number(i)), AddOnly, &error);
                    ++(saved == Outcome::Added ? added : saved == Outcome::Exists ? exists : failed);
                }
            }));
        };
        const auto a = writer("A"), b = writer("B");
        a->start();
        b->start();
        QVERIFY(a->wait(60000) && b->wait(60000));
        QCOMPARE(added.load(), PerWriter * 3 / 2); // and so none failed
        QCOMPARE(exists.load(), PerWriter / 2);
        RecordStore::Keys keys;
        QString error;
        QVERIFY2(records->listKeys(&keys, &error), qPrintable(error));
        QCOMPARE(keys.numbers.size(), added.load());
    }

    // Each fault fails the operations with a message naming the server; a usable address (by IPv4, IPv6, over
    // TLS with the certificate scripts/test.sh made) stores and finds a record.
    // The history beside tb4810: entries come back newest first, whole, as asked for (a No. under the letter-case
    // rule, a device, a time, a limit, an id); the server fills in its user; tb4810 is left alone.
    void history_data() { twoWriters_data(); }
    void history()
    {
        STORE(records);
        QString error;
        const auto ids = [&](const HistoryQuery &query) {
            QList<HistoryEntry> read;
            QStringList found;
            if (!records->readHistory(query, &read, &error))
                return QStringList{error};
            for (const HistoryEntry &e : read)
                found << e.operation;
            return found;
        };
        QCOMPARE(ids(HistoryQuery()), QStringList());
        QList<HistoryEntry> entries;
        for (int i = 0; i < 3; ++i) {
            HistoryEntry e;
            e.at = QDateTime(QDate(2026, 12, 1 + i), QTime(10, 0), Qt::UTC);
            e.device = i == 2 ? "/dev/ttyUSB1" : "/dev/ttyS0";
            e.port = 1 + i;
            e.operation = HistoryEntry::Operations.at(i);
            e.recordNumber = i == 1 ? "a7" : "A7";
            e.recordName = "O'Brien\n" + QString::number(i);
            e.outcome = HistoryEntry::Outcomes.at(i);
            e.hasSettings = i != 2;
            e.settings = stored(e.recordNumber, e.recordName);
            e.missing = i == 1 ? QStringList{"alarm numbers", "relays"} : QStringList();
            entries << e;
        }
        QList<HistoryEntry> batch = entries.mid(0, 2), last = entries.mid(2);
        QVERIFY2(records->addHistory(&batch, &error) && records->addHistory(&last, &error), qPrintable(error));
        QVERIFY(last.first().id > 0);
        sqlite3 *writer = nullptr; // reads go on while another copy of the program holds the write lock
        QVERIFY(store != "sqlite"
                || (sqlite3_open(QFile::encodeName(m_path).constData(), &writer) == SQLITE_OK
                    && sqlite3_exec(writer, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK));
        QCOMPARE(ids(HistoryQuery()), (QStringList{"compare", "upload", "download"}));
        RecordStore::Keys keys; // the entries are no records
        QVERIFY(records->listKeys(&keys, &error) && keys.numbers.isEmpty());
        QCOMPARE(records->find(Key::Number, "A7", nullptr, &error), Outcome::NotFound);
        sqlite3_close(writer);
        QCOMPARE(ids(HistoryQuery{0, "a7"}), (QStringList{"compare", "upload", "download"}));
        const HistoryQuery since{0, QString(), "/dev/ttyS0", entries[1].at, 5}; // from the second entry's time on
        QCOMPARE(ids(since), QStringList{"upload"});
        QCOMPARE(ids(HistoryQuery{last.first().id, QString(), QString(), QDateTime(), 1}), QStringList{"compare"});
        QList<HistoryEntry> read;
        QVERIFY(records->readHistory(HistoryQuery{0, {}, {}, {}, 2}, &read, &error) && read.size() == 2);
        const HistoryEntry &upload = read.last();
        QCOMPARE(upload.at, entries.at(1).at);
        QCOMPARE(upload.recordName + upload.device + QString::number(upload.port) + upload.missing.join('|'),
                 QString("O'Brien\n1/dev/ttyS02alarm numbers|relays"));
        QCOMPARE(upload.settings, entries.at(1).settings);
        QVERIFY(!read.first().hasSettings);
        QCOMPARE(read.first().serverUser, QString(store == "sqlite" ? "" : "postgres"));
    }

    void serverConnects_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QStringList>("failing"); // the operations that must fail; none: the address works
        QTest::addColumn<QString>("says");
        const QStringList all{"add", "remove", "find", "list", "history", "read history"};
        const QString at = ":" + PgServer::server().section(':', -1) + '/' + Database;
        const QString cert = QUrl::toPercentEncoding(qEnvironmentVariable("KV4810G_TEST_POSTGRES_CERT"));
        QTest::newRow("no server") << "postgresql://postgres@%2Fnonexistent%2Fkv4810g/kv" << all << "cannot be reached";
        // One that takes the connection and never answers (a dead VPN): a call waits only the connection's bound.
        QTest::newRow("silent server") << "postgresql://kv@127.0.0.1:SILENT/shop" << QStringList{"add"}
                                       << QString("did not answer within %1 seconds").arg(ServerWaits::ConnectS);
        QTest::newRow("address refused") << "postgresql://h:54x2/db" << all << "the port \"54x2\"";
        QTest::newRow("bad password") << PgServer::address(Database, "kvpassword:wrong") << all << "refused the login";
        QTest::newRow("no password") << PgServer::address(Database, "kvpassword") << all << "refused the login";
        QTest::newRow("no database") << PgServer::address("kv_absent") << all << "no such database";
        QTest::newRow("table not creatable") << PgServer::address(Database, "kvreader") << QStringList{"add"}
                                             << "may not create it";
        QTest::newRow("TLS refused by the address") << "postgresql://kvtls@127.0.0.1" + at + "?sslmode=disable"
                                                    << QStringList{"add"} << "refused the login of kvtls";
        QTest::newRow("IPv4, option with quote and backslash")
            << "postgresql://postgres@127.0.0.1" + at + "?application_name=O'Brien%5Cs" << QStringList() << "";
        if (qEnvironmentVariableIsSet("KV4810G_TEST_POSTGRES_IPV6"))
            QTest::newRow("IPv6") << "postgresql://postgres@[::1]" + at << QStringList() << "";
        QTest::newRow("TLS, server verified")
            << "POSTGRES://kvtls@localhost" + at + "?sslmode=verify-full&sslrootcert=" + cert << QStringList() << "";
    }
    void serverConnects()
    {
        QFETCH(QString, address); QFETCH(QStringList, failing); QFETCH(QString, says);
        STORE_ROW(usable, "postgresql");
        qunsetenv("PGPASSWORD");
        QTcpServer listener; // takes connections, never answers
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        const std::unique_ptr<RecordStore> store =
            openRecordStore(QString(address).replace("SILENT", QString::number(listener.serverPort())));
        const QString wrong = notFailing(*store, failing, says);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        RecordStore &works = failing.isEmpty() ? *store : *usable;
        PanelSettings found;
        QString error;
        QCOMPARE(works.save(stored("17", "shop"), AddOnly, &error), Outcome::Added);
        QCOMPARE(works.find(Key::Number, "17", &found, &error), Outcome::Found);
        QCOMPARE(found, stored("17", "shop"));
    }

    // The server ends the connection between calls (a restart, an idle timeout) and while a save waits in its
    // transaction: the next call connects anew; the save fails clearly and leaves no row.
    void serverConnectionLost()
    {
        STORE_ROW(records, "postgresql");
        QString error, lost;
        QCOMPARE(records->save(record("1"), AddOnly, &error), Outcome::Added);
        // The call returns once the store's server process has ended.
        QCOMPARE(PgServer::exec(Database, "SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE "
                                          "datname = '" + Database + "' AND pid <> pg_backend_pid()"), QString());
        QCOMPARE(records->save(record("2"), AddOnly, &error), Outcome::Added);
        {
            // Another session holds the table, so the save stops at its lookup, where the server ends it.
            QSqlDatabase admin = PgServer::connection("admin", Database);
            QSqlQuery lock(admin);
            QVERIFY(admin.open() && lock.exec("BEGIN") && lock.exec("LOCK TABLE tb4810 IN ACCESS EXCLUSIVE MODE"));
            const QString waiting = "FROM pg_stat_activity WHERE wait_event_type = 'Lock' AND datname = '" + Database
                + "'";
            QString ended = "not run";
            const std::unique_ptr<QThread> ending(QThread::create([&] {
                ended = PgServer::exec(Database, "DO $$ BEGIN FOR i IN 1..2000 LOOP PERFORM pg_stat_clear_snapshot(); "
                                                 "EXIT WHEN EXISTS (SELECT 1 " + waiting + "); PERFORM pg_sleep(0.01); "
                                                 "END LOOP; PERFORM pg_terminate_backend(pid) " + waiting + "; END $$");
            }));
            ending->start();
            QCOMPARE(records->save(record("3"), AddOnly, &lost), Outcome::Failed);
            QVERIFY(ending->wait(30000) && lock.exec("COMMIT"));
            QCOMPARE(ended, QString());
        }
        QSqlDatabase::removeDatabase("admin");
        QVERIFY2(lost.contains("connection") && lost.contains("nothing was changed") && lost.endsWith('!'),
                 qPrintable(lost));
        RecordStore::Keys keys;
        QVERIFY2(records->listKeys(&keys, &error), qPrintable(error));
        QCOMPARE(keys.numbers, (QStringList{"1", "2"}));
        QCOMPARE(records->save(record("3"), AddOnly, &error), Outcome::Added);
    }

    // A link that goes silent while the connections stay open: a save in the window, the console's records
    // show and a copy each end within the bound with a message, store nothing, and work once the link is back.
    // The window repaints meanwhile. The window's rows and the others are two functions, which CTest runs side by side.
    void silentLink_data()
    {
        QTest::addColumn<QString>("by");
        QTest::newRow("window save") << "window";
        QTest::newRow("window save, its answer lost") << "window, answer lost";
    }
    void silentLinkOutsideWindow_data()
    {
        QTest::addColumn<QString>("by");
        QTest::newRow("records show and a copy, side by side") << "tools";
        QTest::newRow("slow, but answering") << "slow";
    }
    void silentLinkOutsideWindow() { silentLink(); }
    void silentLink()
    {
        QFETCH(QString, by);
        STORE_ROW(records, "postgresql");
        QString error;
        QCOMPARE(records->save(record("1"), AddOnly, &error), Outcome::Added);
        ServerRelay relay(PgServer::server().section(':', -1).toUShort());
        // Without TLS, so that the relay sees the COMMIT go by.
        const QString address = QString("postgresql://postgres@127.0.0.1:%1/%2?sslmode=disable").arg(relay.port()).arg(Database);
        if (by == "slow") { // the bound is on silence, not on the whole call
            ServerRecordStore store(address);
            store.setSilentMs(1000);
            QList<bool> notices;
            store.setWaitNotice([&notices](bool waiting) { notices << waiting; });
            RecordStore::Keys keys;
            QVERIFY2(store.listKeys(&keys, &error), qPrintable(error)); // connected at full speed
            relay.setDelayMs(300); // a save's two round trips take 1.2 s, each answer 0.6 s
            QCOMPARE(store.save(record("2"), AddOnly, &error), Outcome::Added);
            QCOMPARE(relay.connections(), 1); // not cut off and read back on another
            QCOMPARE(notices, QList<bool>({true, false})); // the wait shown, then taken away
            return;
        }
        qputenv("KV4810G_RECORDS", address.toLocal8Bit());
        frmmain window;
        QStringList said;
        Messages::setResponder([&](const QString &text, const QString &, bool) {
            said << text;
            return Messages::Answer::Ok;
        });
        window.setSettings(record("2"));
        const QString source = m_dir->filePath("copied.mdb");
        QVERIFY(SqliteRecordStore(source).save(record("3"), AddOnly, &error) == Outcome::Added);
        // The run of each, and what it said: the exit statuses and their error output, or the window's boxes.
        const auto attempt = [&] {
            said.clear();
            if (by.startsWith("window"))
                return window.findChild<QAction *>("File_save")->trigger(), QList<int>{0};
            QProcess show, copy;
            show.start(PROGRAM_PATH, {"records", "show", "1", "--records", address});
            copy.start(COPY_TOOL_PATH, {source, address});
            if (!QTest::qWaitFor([&] { return show.state() == QProcess::NotRunning && copy.state() == QProcess::NotRunning; },
                                 30000))
                return QList<int>{-1, -1};
            said << show.readAllStandardError() << copy.readAllStandardError();
            return QList<int>{show.exitCode(), copy.exitCode()};
        };
        const QList<int> done = by == "tools" ? QList<int>{0, 0} : QList<int>{0};
        if (by.startsWith("window"))
            QCOMPARE((attempt(), said), QStringList{"add success!"});
        QVERIFY(records->remove("2", &error) != Outcome::Failed);
        if (by.endsWith("answer lost")) {
            // The save's COMMIT reaches the server, its answer never comes: the record read back says it was saved.
            relay.holdAnswersAfter("COMMIT");
            QCOMPARE(attempt(), done);
            QCOMPARE(said, QStringList{"add success!"});
            QVERIFY(records->find(Key::Number, "2", nullptr, &error) == Outcome::Found);
            return;
        }
        relay.setForwarding(false);
        int turns = 0;
        QTimer turning;
        connect(&turning, &QTimer::timeout, [&] { ++turns; });
        turning.start(50);
        QElapsedTimer took;
        took.start();
        const QList<int> statuses = attempt();
        QVERIFY2(took.elapsed() < 12000, qPrintable(QString::number(took.elapsed())));
        QVERIFY(!said.isEmpty());
        // A tool slow to start (a loaded machine) may meet the silence in its connection or after it.
        const QRegularExpression silent(by == "window" ? "stopped answering" : "did not answer|stopped answering");
        for (const QString &words : said)
            QVERIFY2(words.contains(silent), qPrintable(said.join('|')));
        QCOMPARE(statuses, by == "window" ? QList<int>({0}) : QList<int>({5, 4}));
        QVERIFY2(turns > 20, qPrintable(QString::number(turns)));
        RecordStore::Keys keys;
        QVERIFY(records->listKeys(&keys, &error));
        QCOMPARE(keys.numbers, QStringList{"1"});
        relay.setForwarding(true);
        QCOMPARE(attempt(), done);
        if (by == "window")
            QCOMPARE(said, QStringList{"add success!"});
    }

    void serverAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("shown"); // or the fault's words
        QTest::addColumn<int>("port");      // 0: refused
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("option"); // one of the connect options, as QPSQL gets it
        QTest::newRow("IPv6") << "postgresql://kv@[::1]:5433/shop" << "[::1]/shop" << 5433 << "kv" << "";
        QTest::newRow("short scheme") << "postgres://kv@10.0.0.5:6000/shop" << "10.0.0.5/shop" << 6000 << "kv" << "";
        QTest::newRow("socket folder") << "postgresql://kv@%2Frun%2Fpg:5432/db" << "/run/pg/db" << 5432 << "kv" << "";
        QTest::newRow("host as option") << "postgresql:///db?host=/run/pg&port=5440&user=kv" << "/run/pg/db" << 5440
                                        << "kv" << "";
        QTest::newRow("encoded user") << "postgresql://k%40v:p%3Aw@h/db" << "h/db" << -1 << "k@v" << "";
        QTest::newRow("quote in a value") << "postgresql://h/db?application_name=O'Brien%5C1" << "h/db" << -1 << ""
                                          << "application_name='O\\'Brien\\\\1'";
        QTest::newRow("bound overridden") << "postgresql://h/db?connect_timeout=10" << "h/db" << -1 << ""
                                          << "connect_timeout='10'";
        QTest::newRow("own server options after the bounds")
            << "postgresql://h/db?options=-c%20search_path%3Dkv" << "h/db" << -1 << ""
            << "options='-c statement_timeout=5000 -c lock_timeout=4000 -c search_path=kv'";
        QTest::newRow("port too large") << "postgresql://h:70000/db" << "from 1 to 65535" << 0 << "" << "";
        QTest::newRow("port zero") << "postgresql://h/db?port=0" << "the port \"0\"" << 0 << "" << "";
        QTest::newRow("IPv6 without brackets") << "postgresql://::1/db" << "in brackets" << 0 << "" << "";
        QTest::newRow("unknown option") << "postgresql://h/db?sslmod=require" << "\"sslmod\"" << 0 << "" << "";
        QTest::newRow("value with ;") << "postgresql://h/db?application_name=a%3Bb" << "hold ';'" << 0 << "" << "";
    }
    void serverAddresses()
    {
        QFETCH(QString, address); QFETCH(QString, shown); QFETCH(int, port); QFETCH(QString, user);
        QFETCH(QString, option);
        ServerAddress parsed;
        QString error;
        QCOMPARE(parseServerAddress(address, &parsed, &error), port != 0);
        if (port == 0) { // the store says the same at every call (serverConnects)
            QVERIFY2(error.contains(shown) && error.contains(address) && error.endsWith('!'), qPrintable(error));
            return;
        }
        QCOMPARE(parsed.shown(), shown);
        QCOMPARE(parsed.port, port);
        QCOMPARE(parsed.user, user);
        const QString options = parsed.connectOptions();
        QVERIFY2(options.contains("connect_timeout=") && (option.isEmpty() || options.split(';').contains(option)),
                 qPrintable(options));
    }

    // Tables an administrator made: the earlier layout (order column rowid) is renamed and keeps its rows; a
    // unique column refuses a second record with its value.
    void serverTableOfOthers()
    {
        STORE_ROW(records, "postgresql");
        QCOMPARE(PgServer::exec(Database, "CREATE TABLE tb4810 (rowid bigint GENERATED BY DEFAULT AS IDENTITY "
                                          "PRIMARY KEY, " + RecordRow::columns().join(" text, ") + " text);\n"
                                          "CREATE INDEX tb4810_id ON tb4810 (lower(ID));\n"
                                          "INSERT INTO tb4810 (ID, name) VALUES ('B', 'second');\n"
                                          "INSERT INTO tb4810 (ID, name) VALUES ('b', 'first added later')"),
                 QString());
        PanelSettings found;
        QString error;
        QCOMPARE(records->find(Key::Number, "b", &found, &error), Outcome::Found);
        QCOMPARE(found.TxtName, QString("second"));
        QCOMPARE(records->save(record("C"), AddOnly, &error), Outcome::Added);
        QCOMPARE(PgServer::exec(Database, "SELECT record_order FROM tb4810;\n"
                                          "CREATE UNIQUE INDEX tb4810_unique_name ON tb4810 (name)"), QString());
        QCOMPARE(records->save(record("D", "second"), AddOnly, &error), Outcome::Failed);
        QVERIFY2(error.contains("no second record") && error.contains("(23505: ERROR:  duplicate key")
                     && error.count("23505") == 1, qPrintable(error));
    }

    // A stored value longer than its field: said when opened, shown cut, kept and saved whole.
    void recordLongerThanFields()
    {
        PanelSettings longer = record("17");
        longer.Txt[0] = "12345678901234567890";
        longer.TxtMiMa = "123456";
        longer.TxtTian = "123";
        QString error;
        QCOMPARE(SqliteRecordStore(m_path).save(longer, AddOnly, &error), Outcome::Added);
        qputenv("KV4810G_RECORDS", m_path.toLocal8Bit());
        frmmain window;
        window.InitialiseRecord();
        QStringList said;
        Messages::setResponder([&](const QString &text, const QString &, bool question) {
            said << text;
            return question ? Messages::Answer::Yes : Messages::Answer::Ok;
        });
        openThroughDialog(window, 0, "17");
        QCOMPARE(said.size(), 1);
        for (const char *held : {"the 1st alarm receiving number: 12345678901234567890",
                                 "wireless module password: 123456", "remind interval: 123"})
            QVERIFY2(said.first().contains(held), qPrintable(said.first()));
        auto *number = window.findChild<QLineEdit *>("Txt1");
        QCOMPARE(number->text(), QString("1234567890123456"));
        QCOMPARE(window.settings(), longer);
        window.findChild<QAction *>("File_save")->trigger();
        PanelSettings found;
        QCOMPARE(SqliteRecordStore(m_path).find(Key::Number, "17", &found, &error), Outcome::Found);
        QCOMPARE(found, longer);
        // Typed over, a field holds what was typed.
        number->selectAll();
        QTest::keyClicks(number, "5550187");
        QCOMPARE(window.settings().Txt[0], QString("5550187"));
        QCOMPARE(window.settings().TxtMiMa, QString("123456"));
        // Other settings written into the window replace the record's whole values.
        window.ClearSettings();
        QCOMPARE(window.settings(), PanelSettings::cleared());
    }

    void fileMenu_data()
    {
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("before");   // number/name rows stored first, comma-separated
        QTest::addColumn<QString>("number");   // "No.:" in the window
        QTest::addColumn<QString>("action");   // save, delete, open number:KEY, open name:KEY; ", No" answers No
        QTest::addColumn<QString>("messages"); // |-separated
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("shown");    // number of the record the window shows after
        const QString add = "7158K: add success!", replace = "inquire: this No. is existed, replace it?";
        const QString noNumber = "7158K: Please input No!", noMatch = "7158K: No this No, please check!";
        const QString edited = replace + "|7158K: edit success!", removed = "7158K: Delete success!";
        const QString noName = "7158K: Please input Name!", one = "17/old", two = "17/old,18/other";
        for (const char *s : {"sqlite", "postgresql"}) {
            QTest::addRow("%s, save new", s) << s << "" << "17" << "save" << add << "17/window" << "17";
            QTest::addRow("%s, save blanks as number", s) << s << "" << "  " << "save" << noNumber << "" << "  ";
            QTest::addRow("%s, delete blanks as number", s) << s << one << " " << "delete" << noNumber << one << " ";
            QTest::addRow("%s, save existing, Yes", s) << s << one << "17" << "save" << edited << "17/window" << "17";
            QTest::addRow("%s, save existing, No", s) << s << one << "17" << "save, No" << replace << one << "17";
            QTest::addRow("%s, delete present", s) << s << two << "17" << "delete" << removed << "18/other" << "17";
            QTest::addRow("%s, delete absent", s) << s << "18/other" << "17" << "delete" << "" << "18/other" << "17";
            QTest::addRow("%s, open by number", s) << s << two << "" << "open number:18" << "" << two << "18";
            QTest::addRow("%s, open by name", s) << s << two << "" << "open name:old" << "" << two << "17";
            QTest::addRow("%s, open absent number", s) << s << one << "5" << "open number:18" << noMatch << one << "5";
            QTest::addRow("%s, open empty number", s) << s << one << "5" << "open number:" << noNumber << one << "5";
            QTest::addRow("%s, open empty name", s) << s << one << "5" << "open name:" << noName << one << "5";
            QTest::addRow("%s, open, Exit", s) << s << two << "5" << "open name, Exit:old" << "" << two << "5";
        }
    }
    void fileMenu()
    {
        QFETCH(QString, before); QFETCH(QString, number); QFETCH(QString, action); QFETCH(QString, messages);
        QFETCH(QString, after); QFETCH(QString, shown);
        STORE(records);
        qputenv("KV4810G_RECORDS", (store == "sqlite" ? m_path : PgServer::address(Database)).toLocal8Bit());
        frmmain window;
        window.InitialiseRecord();
        QCOMPARE(window.findChild<QAction *>("recordsInUse")->text(),
                 store == "sqlite" ? QString("Records: 4810G.mdb") : "Records: shared, " + records->location());
        QStringList menu; // History, a line, Exit; a line, and the records in use: a name, not a command
        for (const QAction *item : window.findChild<QMenu *>("File")->actions())
            menu << (item->isSeparator() ? "|" : item->isEnabled() ? item->objectName() : "(" + item->objectName() + ")");
        QVERIFY2(menu.join(' ').endsWith(" File_history | eqit | (recordsInUse)"), qPrintable(menu.join(' ')));
        QString error;
        // Every control shows what the window held, or the record opened, field by field.
        const PanelSettings inWindow = stored(number, "window");
        PanelSettings expected = inWindow;
        for (const QString &row : before.split(',', Qt::SkipEmptyParts)) {
            const PanelSettings saved = stored(row.section('/', 0, 0), row.section('/', 1));
            QCOMPARE(records->save(saved, AddOnly, &error), Outcome::Added);
            if (action.startsWith("open") && saved.TxtAni == shown)
                expected = saved;
        }
        window.setSettings(inWindow);
        QStringList said;
        const Messages::Answer answer = action.endsWith(", No") ? Messages::Answer::No : Messages::Answer::Yes;
        Messages::setResponder([&](const QString &text, const QString &title, bool question) {
            said << title + ": " + text;
            return question ? answer : Messages::Answer::Ok;
        });
        if (action.startsWith("open"))
            openThroughDialog(window, action.startsWith("open number") ? 0 : 1, action.section(':', 1),
                              action.contains("Exit") ? "CmdExit" : "CmdOK");
        else
            window.findChild<QAction *>(action == "delete" ? "File_del" : "File_save")->trigger();

        QCOMPARE(said, messages.split('|', Qt::SkipEmptyParts));
        RecordStore::Keys keys;
        QVERIFY2(records->listKeys(&keys, &error), qPrintable(error));
        QStringList rows;
        for (int i = 0; i < keys.numbers.size(); ++i)
            rows << keys.numbers[i] + "/" + keys.names.value(i);
        QCOMPARE(rows.join(','), after);
        QCOMPARE(window.settings(), expected);
    }

    // On a file that holds no records, Save, Delete and Open each say why; no dialog opens.
    void fileMenuOnForeignFile()
    {
        QFile foreign(m_path);
        QVERIFY(foreign.open(QIODevice::WriteOnly) && foreign.write("not records") == 11 && foreign.flush());
        qputenv("KV4810G_RECORDS", m_path.toLocal8Bit());
        frmmain window;
        window.InitialiseRecord();
        window.setSettings(record("17"));
        QStringList said;
        Messages::setResponder([&](const QString &text, const QString &, bool) { return said << text, Messages::Answer::Yes; });
        for (const char *item : {"File_save", "File_del", "File_open"})
            window.findChild<QAction *>(item)->trigger();
        QCOMPARE(said, QStringList(3, "The file " + m_path + " is not a record file and is left as it is!"));
        QVERIFY(!window.findChild<frmOpen *>());
    }

private:
    // "postgresql-kept": another copy of the program on the same table.
    std::unique_ptr<RecordStore> emptyStore(const QString &store)
    {
        if (store == "sqlite")
            return std::make_unique<SqliteRecordStore>(m_path);
        if (store == "postgresql" && !PgServer::exec(Database, "DROP TABLE IF EXISTS tb4810").isEmpty())
            return nullptr;
        return std::make_unique<ServerRecordStore>(PgServer::address(Database));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
