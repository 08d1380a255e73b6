// The record operations with 10,000 stored records: one save, one lookup,
// and the open dialog's lists. Run offscreen; the file lies in TMPDIR:
//   QT_QPA_PLATFORM=offscreen build/bench/bench_records
// With KV4810G_TEST_POSTGRES holding a PostgreSQL server's address (as
// scripts/test.sh sets it), the same figures come from the shared store in
// a fresh database kv_bench_records on that server instead. With
// KV4810G_BENCH_DELAY_MS as well, the store reaches the server's TCP port
// through a relay that delays every chunk by that much each way, a
// network's round trip of twice the delay.
#include "frmhistory.h"
#include "frmopen.h"
#include "pgserver.h"
#include "serverrecordstore.h"
#include "serverrelay.h"
#include "recordrow.h"
#include "sqliterecordstore.h"

#include <QComboBox>
#include <QTableWidget>
#include <QThread>

#include <atomic>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int Stored = 10000;

PanelSettings record(int i)
{
    PanelSettings s = PanelSettings::startValues();
    s.TxtAni = QString::number(100000 + i);
    s.TxtName = QStringLiteral("customer %1").arg(i);
    s.Txt[0] = QStringLiteral("555%1").arg(i);
    s.CkNX = i % 2;
    return s;
}

constexpr int HistoryStored = 100000;

HistoryEntry entry(int i)
{
    HistoryEntry e;
    e.at = QDateTime::currentDateTimeUtc();
    e.login = QStringLiteral("anna");
    e.host = QStringLiteral("laptop-7");
    e.program = QStringLiteral("kv4810g");
    e.device = QStringLiteral("/dev/ttyUSB0");
    e.port = 1;
    e.operation = HistoryEntry::Operations.at(i % 5);
    e.outcome = HistoryEntry::Outcomes.at(0);
    e.recordNumber = QString::number(100000 + i % Stored);
    e.hasSettings = true;
    e.settings = record(i % Stored);
    return e;
}

} // namespace

class BenchRecords : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("4810G.mdb"));
        const bool shared = PgServer::missing().isEmpty();
        if (shared) {
            QCOMPARE(PgServer::recreate("kv_bench_records"), QString());
            m_address = PgServer::address("kv_bench_records");
            if (const int delay = qEnvironmentVariableIntValue("KV4810G_BENCH_DELAY_MS"); delay > 0) {
                m_relay = std::make_unique<ServerRelay>(PgServer::server().section(':', -1).toUShort(), delay);
                m_address = QString("postgresql://postgres@127.0.0.1:%1/kv_bench_records").arg(m_relay->port());
            }
            m_store = std::make_unique<ServerRecordStore>(m_address);
        } else {
            m_store = std::make_unique<SqliteRecordStore>(m_path);
        }
        QString error;
        // The first save creates the table; the rest go in at once.
        QCOMPARE(m_store->save(record(0), RecordStore::SaveMode::AddOnly, &error), RecordStore::Outcome::Added);
        if (shared) {
            // The rows of record(i), made by the server itself.
            QStringList values;
            const QVariantList constant = RecordRow::rowValues(record(1));
            for (int c = 0; c < RecordRow::ColumnCount; ++c) {
                const QString column = RecordRow::columns().at(c);
                if (column == "name")
                    values << "'customer ' || i";
                else if (column == "ID")
                    values << "(100000 + i)::text";
                else if (column == "JieTel1")
                    values << "'555' || i";
                else if (column == "NeiXian")
                    values << "i % 2";
                else if (RecordRow::isCheckColumn(c))
                    values << constant.at(c).toString();
                else
                    values << "'" + constant.at(c).toString().replace("'", "''") + "'";
            }
            QCOMPARE(PgServer::exec("kv_bench_records",
                                    QStringLiteral("INSERT INTO tb4810 (%1) SELECT %2 FROM generate_series(1, %3) AS i;\n"
                                                   "ANALYZE tb4810")
                                        .arg(RecordRow::columns().join(','), values.join(','))
                                        .arg(Stored - 1)),
                     QString());
        } else {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
            db.setDatabaseName(m_path);
            QVERIFY(db.open());
            db.transaction();
            QStringList marks;
            for (int c = 0; c < RecordRow::ColumnCount; ++c)
                marks << QStringLiteral("?");
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral("INSERT INTO tb4810 (%1) VALUES (%2)")
                               .arg(RecordRow::columns().join(','), marks.join(',')));
            for (int i = 1; i < Stored; ++i) {
                for (const QVariant &value : RecordRow::rowValues(record(i)))
                    insert.addBindValue(value);
                QVERIFY(insert.exec());
            }
            db.commit();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    }

    void saveNew()
    {
        QString error;
        QBENCHMARK {
            if (m_store->save(record(m_next++), RecordStore::SaveMode::AddOnly, &error) != RecordStore::Outcome::Added)
                QFAIL(qPrintable(error));
        }
    }

    void saveReplacing()
    {
        QString error;
        QBENCHMARK {
            if (m_store->save(record(5000), RecordStore::SaveMode::Replace, &error) != RecordStore::Outcome::Replaced)
                QFAIL(qPrintable(error));
        }
    }

    void deleteRecord()
    {
        QString error;
        QBENCHMARK {
            if (m_store->remove(QString::number(100000 + m_nextRemoved++), &error) != RecordStore::Outcome::Removed)
                QFAIL(qPrintable(error));
        }
    }

    // The console program, its start and its connection included.
    void consoleRecordsShow()
    {
        if (m_address.isEmpty())
            QSKIP("the shared store only");
        QBENCHMARK {
            QProcess program;
            program.start(PROGRAM_PATH, {"records", "show", "105000", "--records", m_address});
            QSignalSpy ended(&program, &QProcess::finished);
            QVERIFY(ended.wait(30000) && program.exitCode() == 0);
        }
    }

    void openByNumber()
    {
        PanelSettings found;
        QString error;
        QBENCHMARK {
            m_store->find(RecordStore::Key::Number, QStringLiteral("105000"), &found, &error);
        }
        QCOMPARE(found.TxtName, QStringLiteral("customer 5000"));
    }

    void openByName()
    {
        PanelSettings found;
        QString error;
        QBENCHMARK {
            m_store->find(RecordStore::Key::Name, QStringLiteral("CUSTOMER 7000"), &found, &error);
        }
        QCOMPARE(found.TxtAni, QStringLiteral("107000"));
    }

    // The history with 100,000 entries: one more written, the History window's newest 1,000 listed.
    void historyWrite()
    {
        QString error;
        if (m_historyFilled == 0) {
            for (int chunk = 0; chunk < HistoryStored / 5000; ++chunk) {
                QList<HistoryEntry> entries;
                for (int i = 0; i < 5000; ++i)
                    entries << entry(chunk * 5000 + i);
                QVERIFY2(m_store->addHistory(&entries, &error), qPrintable(error));
            }
            m_historyFilled = HistoryStored;
        }
        QBENCHMARK {
            QList<HistoryEntry> one{entry(m_historyFilled++)};
            if (!m_store->addHistory(&one, &error))
                QFAIL(qPrintable(error));
        }
    }

    void historyWindowList()
    {
        QBENCHMARK {
            frmHistory window(*m_store);
            QVERIFY(window.Form_Load(QString()));
            window.show();
            QCOMPARE(window.findChild<QTableWidget *>()->rowCount(), frmHistory::Listed);
        }
    }

    // Two technicians writing at once: no entry lost.
    void historyTwoWriters()
    {
        QString error;
        QList<HistoryEntry> before;
        HistoryQuery all;
        all.limit = 10 * HistoryStored;
        QVERIFY(m_store->readHistory(all, &before, &error));
        const QString where = m_address.isEmpty() ? m_path : m_address;
        std::atomic<int> failed{0};
        QElapsedTimer took;
        took.start();
        const auto writer = [&] {
            const std::unique_ptr<RecordStore> own = openRecordStore(where);
            for (int i = 0; i < 500; ++i) {
                QList<HistoryEntry> one{entry(i)};
                QString fault;
                failed += !own->addHistory(&one, &fault);
            }
        };
        const std::unique_ptr<QThread> a(QThread::create(writer)), b(QThread::create(writer));
        a->start();
        b->start();
        QVERIFY(a->wait(600000) && b->wait(600000));
        QList<HistoryEntry> after;
        QVERIFY(m_store->readHistory(all, &after, &error));
        qInfo("two writers, 500 entries each: %d failed, %lld added, %lld ms", failed.load(),
              qlonglong(after.size() - before.size()), qlonglong(took.elapsed()));
        QCOMPARE(after.size() - before.size(), 1000);
    }

    void openDialogLists()
    {
        QBENCHMARK {
            frmOpen dialog;
            QVERIFY(dialog.Form_Load(*m_store));
            dialog.show();
            QVERIFY(dialog.findChild<QComboBox *>(QStringLiteral("Text1"))->count() > Stored / 2);
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<ServerRelay> m_relay;
    QString m_address;
    std::unique_ptr<RecordStore> m_store;
    // The benchmark runs its function more than once.
    int m_next = Stored;
    int m_nextRemoved = 1;
    int m_historyFilled = 0;
};

QTEST_MAIN(BenchRecords)
#include "bench_records.moc"
