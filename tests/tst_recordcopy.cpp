// kv4810g-copy-records run as a program between real record files and the
// test PostgreSQL server: what it copies, what it leaves as it was, what it
// reports and its exit status.
#include "pgserver.h"
#include "recordsamples.h"
#include "recordstore.h"
#include "sqlitefiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Database = QStringLiteral("kv_tst_recordcopy");

struct Run
{
    int status = -1;
    QString out, err;
};

Run copyTool(const QStringList &arguments, bool keepGoing = false)
{
    QProcess tool;
    tool.start(QStringLiteral(COPY_TOOL_PATH), keepGoing ? QStringList{"--keep-going"} + arguments : arguments);
    Run run;
    if (tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit)
        run.status = tool.exitCode();
    run.out = QString::fromUtf8(tool.readAllStandardOutput());
    run.err = QString::fromUtf8(tool.readAllStandardError());
    return run;
}

// The beginnings of the "Row N (No. ...)" lines, up to the number.
QStringList reportedRows(const QString &said)
{
    QStringList rows;
    for (const QString &line : said.split('\n'))
        if (line.startsWith(QLatin1String("Row ")))
            rows << line.section(QLatin1String("\","), 0, 0) + '"';
    return rows;
}

// Adds the records to the store at this path or address, in this order.
bool saved(const QString &where, const QList<PanelSettings> &records)
{
    QString error;
    for (const PanelSettings &record : records)
        if (openRecordStore(where)->save(record, RecordStore::SaveMode::AddOnly, &error) != RecordStore::Outcome::Added)
            return qWarning("%s", qPrintable(error)), false;
    return true;
}

QList<PanelSettings> readAll(const QString &where)
{
    QList<PanelSettings> rows;
    QString error;
    if (!openRecordStore(where)->readAll(&rows, &error))
        qWarning("%s", qPrintable(error));
    return rows;
}

QStringList numbers(const QList<PanelSettings> &rows)
{
    QStringList list;
    for (const PanelSettings &row : rows)
        list << row.TxtAni;
    return list;
}

} // namespace

class TestRecordCopy : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void roundTrip_data();
    void roundTrip();
    void numberHeldAtTarget_data();
    void numberHeldAtTarget();
    void sourceRowsRefused_data();
    void sourceRowsRefused();
    void sourceUnreadable_data();
    void sourceUnreadable();
    void arguments_data();
    void arguments();

private:
    // A records file of this name in the test's folder, or the server's database.
    QString where(const QString &store, const QString &file)
    {
        // Over TLS by the IPv6 loopback address where there is one, as the
        // role kvtls of the test server must log in.
        const QString host = qEnvironmentVariableIsSet("KV4810G_TEST_POSTGRES_IPV6") ? "[::1]" : "127.0.0.1";
        if (store == "postgresql over TLS")
            return "postgresql://kvtls@" + host + ':' + PgServer::server().section(':', -1) + '/' + Database
                + "?sslmode=require";
        return store == "postgresql" ? PgServer::address(Database) : m_dir->filePath(file);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

#define SKIP_WITHOUT_SERVER(store)                                                                           \
    if (store.startsWith("postgresql") && !PgServer::missing().isEmpty())                                             \
    QSKIP(qPrintable(PgServer::missing()))

void TestRecordCopy::initTestCase()
{
    if (!PgServer::missing().isEmpty())
        return;
    QCOMPARE(PgServer::recreate(Database), QString());
    QCOMPARE(PgServer::exec("postgres", "DO $$ BEGIN CREATE ROLE kvtls LOGIN; EXCEPTION WHEN duplicate_object THEN "
                                        "NULL; END $$"),
             QString());
    QCOMPARE(PgServer::exec(Database, "GRANT ALL ON SCHEMA public TO kvtls"), QString());
}

void TestRecordCopy::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    if (PgServer::missing().isEmpty())
        QCOMPARE(PgServer::exec(Database, "SET client_min_messages = warning;\nDROP TABLE IF EXISTS tb4810"), QString());
}

void TestRecordCopy::roundTrip_data()
{
    QTest::addColumn<QString>("store"); // where the records go between the two files
    QTest::newRow("through a file") << "sqlite";
    QTest::newRow("through the server") << "postgresql";
    QTest::newRow("through the server over TLS") << "postgresql over TLS";
}

// A file copied to the other store and back: every column of every row, in the file's order.
void TestRecordCopy::roundTrip()
{
    QFETCH(QString, store);
    SKIP_WITHOUT_SERVER(store);
    const QList<PanelSettings> records{stored("k-17", "O'Brien \"Zoë\" Ærø"), stored("1", QString(200, QChar(0x00E9))),
                                       stored("Ë 9", "a'; --")};
    const QString source = m_dir->filePath("source.mdb"), back = m_dir->filePath("back.mdb");
    QVERIFY(saved(source, records));
    const QString between = where(store, "between.mdb");
    for (const auto &[from, to] : {std::pair{source, between}, {between, back}}) {
        const Run run = copyTool({from, to});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QVERIFY2(run.err.contains("3 of 3 records copied"), qPrintable(run.err));
    }
    QCOMPARE(readAll(between), records);
    QCOMPARE(readAll(back), records);
}

void TestRecordCopy::numberHeldAtTarget_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QString>("held"); // stored at the target first
    QTest::addColumn<bool>("keepGoing");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QStringList>("reported");
    for (const char *s : {"sqlite", "postgresql"}) {
        const QStringList refused{"Row 1 (No. \"ab\""};
        QTest::addRow("%s, other case", s) << s << "AB" << false << 1 << QStringList{"AB"} << refused;
        QTest::addRow("%s, other case, keep going", s) << s << "AB" << true << 1 << QStringList{"AB", "7"} << refused;
        // Only A to Z match in either case.
        QTest::addRow("%s, other case beyond Z", s) << s << "AË" << false << 0 << QStringList{"AË", "aë", "7"}
                                                    << QStringList();
    }
}

// A number the target holds already, in any letter case, is left there as it is.
void TestRecordCopy::numberHeldAtTarget()
{
    QFETCH(QString, store);
    QFETCH(QString, held);
    QFETCH(bool, keepGoing);
    QFETCH(int, status);
    QFETCH(QStringList, after);
    QFETCH(QStringList, reported);
    SKIP_WITHOUT_SERVER(store);
    const QString source = m_dir->filePath("source.mdb"), target = where(store, "target.mdb");
    const PanelSettings kept = stored(held, "kept at the target");
    QVERIFY(saved(target, {kept}));
    QVERIFY(saved(source, {record(held.toLower(), "from the source"), record("7", "seven")}));

    const Run run = copyTool({source, target}, keepGoing);
    QVERIFY2(run.status == status, qPrintable(run.err));
    QCOMPARE(reportedRows(run.err), reported);
    const QList<PanelSettings> rows = readAll(target);
    QCOMPARE(numbers(rows), after);
    QCOMPARE(rows.first(), kept);
    if (after.contains("7"))
        QCOMPARE(rows.last(), record("7", "seven"));
}

void TestRecordCopy::sourceRowsRefused_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<bool>("keepGoing");
    for (const char *s : {"sqlite", "postgresql"}) {
        QTest::addRow("%s", s) << s << false;
        QTest::addRow("%s, keep going", s) << s << true;
    }
}

// Rows without a number and a number the source holds twice are refused whatever the target holds.
void TestRecordCopy::sourceRowsRefused()
{
    QFETCH(QString, store);
    QFETCH(bool, keepGoing);
    SKIP_WITHOUT_SERVER(store);
    const QString source = m_dir->filePath("source.mdb"), target = where(store, "target.mdb");
    QVERIFY(saved(source, {record("1", "good"), record("", "empty number"), record("k1", "first k1")}));
    // As another tool writes them: the same number in the other case, no number at all, two letters beyond Z.
    QCOMPARE(sqliteExec(source, "INSERT INTO tb4810 (ID, name) VALUES ('K1', 'second k1');"
                                "INSERT INTO tb4810 (name) VALUES ('null number');"
                                "INSERT INTO tb4810 (ID, name) VALUES ('Ë', 'upper'), ('ë', 'lower')"),
             QString());

    const Run run = copyTool({source, target}, keepGoing);
    QVERIFY2(run.status == 1, qPrintable(run.err));
    QCOMPARE(reportedRows(run.err), (QStringList{"Row 2 (No. \"\"", "Row 4 (No. \"K1\"", "Row 5 (No. \"\""}));
    QVERIFY2(run.err.contains("row 3 of " + source), qPrintable(run.err));
    if (store == "sqlite")
        QCOMPARE(QFileInfo::exists(target), keepGoing);
    const QList<PanelSettings> rows = readAll(target);
    QCOMPARE(numbers(rows), (keepGoing ? QStringList{"1", "k1", "Ë", "ë"} : QStringList()));
    if (keepGoing)
        QCOMPARE(rows.at(1), record("k1", "first k1"));
}

void TestRecordCopy::sourceUnreadable_data()
{
    QTest::addColumn<QString>("store"); // of the source
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("says"); // besides the file's path
    QTest::addColumn<bool>("targetHeld"); // the target holds a record before
    const QString missing = "no such folder/4810G.mdb";
    QTest::newRow("missing file") << "sqlite" << missing << "does not exist" << false;
    QTest::newRow("missing file, target held") << "sqlite" << missing << "does not exist" << true;
    QTest::newRow("folder") << "sqlite" << "" << "is not a file" << true;
    QTest::newRow("server without the database") << "postgresql" << "kv_absent" << "no such database" << true;
}

// A source that cannot be read: exit status 3, the reason, and the target as it was.
void TestRecordCopy::sourceUnreadable()
{
    QFETCH(QString, store);
    QFETCH(QString, source);
    QFETCH(QString, says);
    QFETCH(bool, targetHeld);
    SKIP_WITHOUT_SERVER(store);
    const QString from = store == "postgresql" ? PgServer::address(source) : m_dir->filePath(source);
    const QString target = m_dir->filePath("target.mdb");
    if (targetHeld)
        QVERIFY(saved(target, {record("1", "kept")}));
    const QByteArray before = checksum(target);

    const Run run = copyTool({from, target});
    QVERIFY2(run.status == 3, qPrintable(run.err));
    QVERIFY2(run.err.contains(says) && (store != "sqlite" || run.err.contains(from)), qPrintable(run.err));
    QCOMPARE(checksum(target), before);
    QCOMPARE(QFileInfo::exists(target), targetHeld);
}

void TestRecordCopy::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says"); // on standard output for status 0, else on standard error
    QTest::newRow("one path") << QStringList{"a.mdb"} << 2 << "give FROM and TO";
    QTest::newRow("help") << QStringList{"--help"} << 0 << "--keep-going";
}

void TestRecordCopy::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, says);
    for (QString &argument : arguments)
        if (argument.endsWith(".mdb"))
            argument = m_dir->filePath(argument);
    const Run run = copyTool(arguments);
    QCOMPARE(run.status, status);
    QVERIFY2((status == 0 ? run.out : run.err).contains(says), qPrintable(run.out + run.err));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("b.mdb")) && !QFileInfo::exists(m_dir->filePath("c.mdb")));
}

QTEST_GUILESS_MAIN(TestRecordCopy)
#include "tst_recordcopy.moc"
