// kv4810g-copy-records between real record files and the test server: what it copies, keeps, says and returns.
#include "pgserver.h"
#include "programrun.h"
#include "recordrow.h"
#include "recordsamples.h"
#include "recordstore.h"
#include "sqlitefiles.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A build folder's own: the plain and the sanitized suites run side by side on one server.
const QString Database = QStringLiteral("kv_tst_recordcopy_%1").arg(qHash(QStringLiteral(QT_TESTCASE_BUILDDIR)));

Run copyTool(const QStringList &arguments)
{
    return ProgramRun(COPY_TOOL_PATH, arguments).finished();
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

} // namespace

class TestRecordCopy : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (PgServer::missing().isEmpty())
            QCOMPARE(PgServer::recreate(Database), QString());
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        if (PgServer::missing().isEmpty())
            QCOMPARE(PgServer::exec(Database, "DROP TABLE IF EXISTS tb4810, history4810"), QString());
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("store"); // where the records go between the two files
        QTest::newRow("through a file") << "sqlite";
        QTest::newRow("through the server") << "postgresql";
    }
    // A file copied to the other store and back: every column of every row, in the file's order, and the history
    // with it, once however often it is copied; --no-history leaves it.
    void roundTrip()
    {
        QFETCH(QString, store);
        SKIP_WITHOUT_SERVER(store);
        const QList<PanelSettings> records{stored("k-17", "O'Brien \"Zoë\" Ærø"),
                                           stored("1", QString(200, QChar(0x00E9))), stored("Ë 9", "a'; --")};
        const QString source = m_dir->filePath("source.mdb"), back = m_dir->filePath("back.mdb");
        const QString between = where(store, "between.mdb"), recordsOnly = m_dir->filePath("records only.mdb");
        QVERIFY(saved(source, records));
        QList<HistoryEntry> history(2);
        for (int i = 0; i < 2; ++i) {
            history[i].at = QDateTime(QDate(2026, 12, 1), QTime(10, i), Qt::UTC);
            history[i].operation = HistoryEntry::Operations.at(i);
            history[i].hasSettings = true;
            history[i].settings = records.at(i);
        }
        QString error;
        QVERIFY(openRecordStore(source)->addHistory(&history, &error));
        for (const auto &[from, to] : {std::pair{source, between}, {between, back}}) {
            const Run run = copyTool({from, to});
            QVERIFY2(run.status == 0 && run.err.contains("3 of 3 records copied") && run.err.contains("2 history"),
                     qPrintable(run.err));
        }
        QVERIFY2(copyTool({"--keep-going", source, between}).err.contains("0 history entries"), "copied twice");
        QVERIFY(copyTool({"--no-history", source, recordsOnly}).status == 0);
        const auto key = [](const HistoryEntry &e) { return e.operation + e.at.toString() + e.settings.TxtName; };
        for (const QString &at : {between, back, recordsOnly}) {
            QCOMPARE(readAll(at), records);
            QList<HistoryEntry> read;
            QVERIFY(openRecordStore(at)->readHistory(HistoryQuery(), &read, &error));
            QCOMPARE(read.size(), at == recordsOnly ? 0 : 2);
            for (int i = 0; i < read.size(); ++i)
                QCOMPARE(key(read.at(i)), key(history.at(1 - i)));
        }
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("store");         // of the target
        QTest::addColumn<QString>("held");          // a number the target holds first
        QTest::addColumn<QStringList>("source");    // the numbers of source.mdb's rows, NULL for none
        QTest::addColumn<QStringList>("arguments"); // target.mdb the target; postgresql:NAME a database; else a file
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("after");     // the target's numbers
        QTest::addColumn<QStringList>("reported");  // the rows not copied, up to the number
        QTest::addColumn<QString>("says");          // SOURCE for the source's path; on standard output for status 0
        const QStringList copy{"source.mdb", "target.mdb"}, keepGoing{"--keep-going", "source.mdb", "target.mdb"};
        const QStringList ab{"ab", "7"}, heldAb{"Row 1 (No. \"ab\""}, none;
        // The same number in the other case, no number at all, two letters beyond Z.
        const QStringList mixed{"1", "", "a1", "A1", "NULL", "Ë", "ë"};
        const QStringList refused{"Row 2 (No. \"\"", "Row 4 (No. \"A1\"", "Row 5 (No. \"\""};
        for (const char *s : {"sqlite", "postgresql"}) {
            QTest::addRow("%s, held in other case", s) << s << "AB" << ab << copy << 1 << QStringList{"AB"} << heldAb
                                                       << "Nothing was copied (--keep-going";
            QTest::addRow("%s, held in other case, keep going", s) << s << "AB" << ab << keepGoing << 1
                                                                   << QStringList{"AB", "7"} << heldAb << "1 of 2";
            QTest::addRow("%s, source rows refused", s) << s << "" << mixed << copy << 1 << none << refused
                                                        << "row 3 of SOURCE has the same number";
            QTest::addRow("%s, source rows refused, keep going", s) << s << "" << mixed << keepGoing << 1
                                                                    << QStringList{"1", "a1", "Ë", "ë"} << refused
                                                                    << "4 of 7 records copied";
        }
        // Help, wrong arguments (status 2), a source that cannot be read (status 3, the reason and the file).
        QTest::newRow("help") << "sqlite" << "" << none << QStringList{"--help"} << 0 << none << none << "--keep-going";
        QTest::newRow("one path") << "sqlite" << "" << none << QStringList{"target.mdb"} << 2 << none << none
                                  << "give FROM and TO";
        QTest::newRow("missing file") << "sqlite" << "" << none << QStringList{"no such folder/4810G.mdb", "target.mdb"}
                                      << 3 << none << none << "SOURCE does not exist";
        QTest::newRow("folder") << "sqlite" << "1" << none << QStringList{"", "target.mdb"} << 3 << QStringList{"1"}
                                << none << "SOURCE is not a file";
        QTest::newRow("no record file") << "sqlite" << "1" << none << QStringList{"--no-history", COPY_TOOL_PATH,
                                        "target.mdb"} << 3 << QStringList{"1"} << none << "SOURCE is not a record file";
        QTest::newRow("server without the database") << "postgresql" << "1" << none
                                                     << QStringList{"postgresql:kv_absent", "target.mdb"} << 3
                                                     << QStringList{"1"} << none << "no such database";
    }
    // Rows that cannot go over (a number the target holds in either letter case, none, one the source holds
    // twice) are named, the target's row left as it was; without --keep-going nothing is written, as with
    // arguments or a source that are no use.
    void refusals()
    {
        QFETCH(QString, store);
        QFETCH(QString, held);
        QFETCH(QStringList, source);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, after);
        QFETCH(QStringList, reported);
        QFETCH(QString, says);
        SKIP_WITHOUT_SERVER(store);
        const QString target = where(store, "target.mdb");
        for (QString &argument : arguments)
            if (!argument.startsWith("--"))
                argument = argument == "target.mdb"             ? target
                    : argument.startsWith("postgresql:") ? PgServer::address(argument.mid(11))
                                                         : QDir(m_dir->path()).filePath(argument); // or absolute
        const PanelSettings kept = stored(held, "kept at the target");
        QVERIFY(held.isEmpty() || saved(target, {kept}));
        // The source as another tool writes it.
        QString rows = "CREATE TABLE tb4810 (" + RecordRow::columns().join(", ") + ");";
        for (const QString &number : source)
            rows += QString("INSERT INTO tb4810 (ID) VALUES (%1);").arg(number == "NULL" ? number : "'" + number + "'");
        QVERIFY(source.isEmpty() || sqliteExec(m_dir->filePath("source.mdb"), rows).isEmpty());
        const QByteArray before = checksum(target);

        const Run run = copyTool(arguments);
        says.replace("SOURCE", arguments.value(arguments.size() - 2));
        QVERIFY2(run.status == status && (status == 0 ? run.out : run.err).contains(says),
                 qPrintable(run.out + run.err));
        QVERIFY(status != 3 || run.err.trimmed().toLower().endsWith("nothing was copied.")); // and said so last
        QStringList reportedRows, numbers;
        for (const QString &line : run.err.split('\n', Qt::SkipEmptyParts))
            if (line.startsWith("Row "))
                reportedRows << line.section("\",", 0, 0) + '"';
        QCOMPARE(reportedRows, reported);
        const QList<PanelSettings> copied = readAll(target);
        for (const PanelSettings &row : copied)
            numbers << row.TxtAni;
        QCOMPARE(numbers, after);
        QVERIFY(held.isEmpty() || copied.first() == kept);
        if (store == "sqlite" && numbers.size() == int(!held.isEmpty())) // nothing written, not even the file
            QCOMPARE(checksum(target), before);
    }

    // What only the server's COMMIT refuses (a deferred check of another tool's) is told in the server's words,
    // with no notice of the server's printed beside them.
    void refusedAtCommit()
    {
        SKIP_WITHOUT_SERVER("postgresql");
        const QString target = where("postgresql", ""), source = m_dir->filePath("source.mdb");
        QVERIFY(saved(target, {stored("1", "twice")}) && saved(source, {stored("2", "twice")}));
        QCOMPARE(PgServer::exec(Database, "ALTER TABLE tb4810 ADD CONSTRAINT kv_names_once UNIQUE (name) "
                                          "DEFERRABLE INITIALLY DEFERRED"), QString());
        const Run run = copyTool({source, target});
        QVERIFY2(run.status == 4 && run.err.startsWith("The record server") && run.err.contains("kv_names_once")
                     && run.err.endsWith("Nothing was copied.\n"),
                 qPrintable(run.err));
        QCOMPARE(readAll(target).size(), 1);
    }

private:
    // A records file of this name in the test's folder, or the server's database.
    QString where(const QString &store, const QString &file)
    {
        return store == "postgresql" ? PgServer::address(Database) : m_dir->filePath(file);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestRecordCopy)
#include "tst_recordcopy.moc"
