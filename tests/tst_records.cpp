// The record store against real SQLite files in a temporary folder.
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

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void keys_data();
    void keys();
    void storedCheckState_data();
    void storedCheckState();
    void nullCells();
    void faults_data();
    void faults();
    void fileWithoutTableGetsOne();
    void twoWritersLoseNoRow();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestRecords::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("4810G.mdb"));
}

void TestRecords::keys_data()
{
    QTest::addColumn<Key>("by");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("searched");
    QTest::addColumn<bool>("found");
    QTest::newRow("double quote") << Key::Number << "17\"" << "17\"" << true;
    QTest::newRow("quotes and SQL words") << Key::Number << "1\" OR \"\"=\"" << "1\" OR \"\"=\"" << true;
    QTest::newRow("pasted condition matches nothing") << Key::Number << "17" << "x\" OR \"1\"=\"1" << false;
    QTest::newRow("semicolon, statement") << Key::Name << "a'; DROP TABLE tb4810; --"
                                          << "a'; DROP TABLE tb4810; --" << true;
    QTest::newRow("number, other case") << Key::Number << "AB12" << "ab12" << true;
    QTest::newRow("name, other case") << Key::Name << "Shop Nord" << "SHOP NORD" << true;
    QTest::newRow("leading blank kept") << Key::Number << " 17" << " 17" << true;
    QTest::newRow("leading blank needed") << Key::Number << " 17" << "17" << false;
    QTest::newRow("trailing blank counts") << Key::Name << "shop" << "shop " << false;
}

void TestRecords::keys()
{
    QFETCH(Key, by);
    QFETCH(QString, stored);
    QFETCH(QString, searched);
    QFETCH(bool, found);
    SqliteRecordStore store(m_path);
    const PanelSettings saved = by == Key::Number ? record(stored, "n") : record("9", stored);
    QString error;
    QCOMPARE(store.save(saved, RecordStore::SaveMode::AddOnly, &error), Outcome::Added);

    PanelSettings loaded;
    QCOMPARE(store.find(by, searched, &loaded, &error), found ? Outcome::Found : Outcome::NotFound);
    if (found)
        QCOMPARE(loaded, saved);
    // The same key again finds the row: no second one is added.
    QCOMPARE(store.save(saved, RecordStore::SaveMode::AddOnly, &error), Outcome::Exists);
    RecordStore::Keys keys;
    QVERIFY2(store.listKeys(&keys, &error), qPrintable(error));
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

void TestRecords::nullCells()
{
    SqliteRecordStore store(m_path);
    QString error;
    QCOMPARE(store.save(record("1", "first"), RecordStore::SaveMode::AddOnly, &error), Outcome::Added);
    // Rows of another tool: one without a number, one with nothing but a number.
    QCOMPARE(sqliteExec(m_path, "INSERT INTO tb4810 (name) VALUES ('nameless number');"
                                "INSERT INTO tb4810 (ID) VALUES ('2')"),
             QString());

    RecordStore::Keys keys;
    QVERIFY2(store.listKeys(&keys, &error), qPrintable(error));
    QCOMPARE(keys.numbers, (QStringList{"1", "2"}));
    QCOMPARE(keys.names, (QStringList{"first", "nameless number"}));

    PanelSettings loaded;
    QCOMPARE(store.find(Key::Number, "2", &loaded, &error), Outcome::Found);
    PanelSettings expected = PanelSettings::cleared();
    expected.TxtAni = "2";
    QCOMPARE(loaded, expected);
    QCOMPARE(store.find(Key::Name, "nameless number", &loaded, &error), Outcome::Found);
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

void TestRecords::twoWritersLoseNoRow()
{
    constexpr int PerWriter = 100;
    std::atomic<int> failures{0};
    const auto writer = [&](const QString &prefix) {
        return QThread::create([&, prefix] {
            SqliteRecordStore store(m_path); // a second copy of the program
            QString error;
            for (int i = 0; i < PerWriter; ++i)
                if (store.save(record(prefix + QString::number(i)), RecordStore::SaveMode::AddOnly, &error)
                    != Outcome::Added)
                    ++failures;
        });
    };
    std::unique_ptr<QThread> a(writer("A"));
    std::unique_ptr<QThread> b(writer("B"));
    a->start();
    b->start();
    QVERIFY(a->wait(60000) && b->wait(60000));
    QCOMPARE(failures.load(), 0);
    SqliteRecordStore store(m_path);
    RecordStore::Keys keys;
    QString error;
    QVERIFY2(store.listKeys(&keys, &error), qPrintable(error));
    QCOMPARE(keys.numbers.size(), 2 * PerWriter);
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
