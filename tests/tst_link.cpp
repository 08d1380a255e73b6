// The serial line: replies assembled from the bytes as they come, then over a
// real pseudo-terminal bytes out, replies in, the port's life, the protocol
// trace, and the port catalog.
#include "receiveassembler.h"
#include "portcatalog.h"
#include "protocoltrace.h"
#include "ptypair.h"
#include "seriallink.h"

#include "delay.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

QStringList categoryLines; // logged to "kv4810g.trace" while captureCategory's handler is in

void captureCategory(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (QLatin1String(context.category) == QLatin1String("kv4810g.trace"))
        categoryLines << message;
}

} // namespace

class TestLink : public QObject
{
    Q_OBJECT
private slots:
    void assembly_data();
    void assembly();
    void init();
    void cleanup() { delete m_pty; }
    void sendFrame_data();
    void sendFrame();
    void lineIsNotReadAheadWhileConsumerWaits();
    void closedPortDeliversNothingMore();
    void vanishedDeviceIsReportedOnce();
    void passwordMaskedInEveryTrace();
    void traceKeepsLastLines();
    void traceFileOnFullDisk();
    void catalogPutsAdaptersFirst();

private:
    bool openLink(SerialLink &link)
    {
        QString error;
        return link.selectPort(1, &error) && link.open(&error);
    }
    PtyPair *m_pty = nullptr;
};

// Each piece is fed in turn; the replies completed, in order, and the text
// left over are compared. Babble is kept to its newest bytes.
void TestLink::assembly_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QString>("left");
    const int max = ReceiveAssembler::MaxPendingBytes;
    const QList<QByteArray> babble(50, QByteArray(1000, 'x'));
    QTest::newRow("byte by byte")
        << QList<QByteArray>{"\xFF", "\x50", "\x01", "\r", "\n"} << QStringList{"FF50010D0A"} << "";
    QTest::newRow("two replies in one read")
        << QList<QByteArray>{"\xFF\x50\x01\r\n\xFF\x5C\r\n"} << QStringList{"FF50010D0A", "FF5C0D0A"} << "";
    QTest::newRow("second reply starts in same read")
        << QList<QByteArray>{"\xFF\x6F\r\n\xFF\x50", "\x02\r\n"} << QStringList{"FF6F0D0A", "FF50020D0A"} << "";
    QTest::newRow("zone text with D0 completes only at terminator")
        << QList<QByteArray>{"\x30\xD0\xA1", "\r\n"} << QStringList{"30D0A10D0A"} << "";
    QTest::newRow("stray bytes stand in front")
        << QList<QByteArray>{"\x31\x32", "\xFF\x6F\r\n"} << QStringList{"3132FF6F0D0A"} << "";
    QTest::newRow("incomplete reply waits") << QList<QByteArray>{"\xFF\x51\x03"} << QStringList{} << "FF5103";
    QTest::newRow("lone line feed") << QList<QByteArray>{"\n\r"} << QStringList{} << "0A0D";
    QTest::newRow("low bytes keep two digits") << QList<QByteArray>{QByteArray("\x05\x0A", 2)} << QStringList{}
                                               << "050A";
    QTest::newRow("babble stays bounded") << babble << QStringList{} << QString("78").repeated(max);
    QTest::newRow("a reply after babble keeps its end")
        << babble + QList<QByteArray>{"\xFF\x5C\r\n"} << QStringList{QString("78").repeated(max) + "FF5C0D0A"} << "";
    QTest::newRow("a 0D kept last pairs with the next 0A")
        << QList<QByteArray>{QByteArray(max + 10, 'y') + "\r", "\n"}
        << QStringList{QString("79").repeated(max - 1) + "0D0A"} << "";
}

void TestLink::assembly()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QStringList, replies);
    QFETCH(QString, left);
    ReceiveAssembler assembler;
    QStringList got;
    for (const QByteArray &piece : pieces)
        got += assembler.feed(piece);
    QCOMPARE(got, replies);
    QCOMPARE(assembler.pendingText(), left);
}

void TestLink::init()
{
    m_pty = new PtyPair;
    QVERIFY(m_pty->isValid());
    qputenv("KV4810G_PORTS", m_pty->devicePath().toLocal8Bit());
}

// Exactly the frame's bytes in one write, or nothing at all.
void TestLink::sendFrame_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QByteArray>("bytes"); // empty: refused
    QTest::newRow("lower and mixed case") << "ff0102313aBc" << QByteArray("\xFF\x01\x02\x31\x3A\xBC", 6);
    QTest::newRow("odd digits") << "FF001" << QByteArray();
    QTest::newRow("not hexadecimal") << "FF0G18" << QByteArray();
    QTest::newRow("wide character") << QString("FF0") + QChar(0x4E2D) << QByteArray();
}

void TestLink::sendFrame()
{
    QFETCH(QString, frame);
    QFETCH(QByteArray, bytes);
    SerialLink link;
    QString error;
    QVERIFY(!link.SendFrame(frame, &error)); // closed port
    QVERIFY(openLink(link));
    error.clear();
    QCOMPARE(link.SendFrame(frame, &error), !bytes.isEmpty());
    QCOMPARE(error.isEmpty(), !bytes.isEmpty());
    QCOMPARE(m_pty->read(qMax(1, int(bytes.size())), 300), bytes);
}

void TestLink::lineIsNotReadAheadWhileConsumerWaits()
{
    // A box opened from a reply nests an event loop: the link stops reading, so a babbling far end
    // soon cannot write any more; the replies completed meanwhile come afterwards, in order, never nested.
    SerialLink link;
    QVERIFY(openLink(link));
    QStringList seen;
    qint64 accepted = 0;
    int depth = 0;
    connect(&link, &SerialLink::replyReceived, this, [&](const QString &reply) {
        QCOMPARE(++depth, 1);
        seen.append(reply);
        if (seen.size() == 1) {
            m_pty->write(QByteArray("\xFF\x52\r\n\xFF\x53\r\n", 8));
            const QByteArray babble(4096, '\x55');
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 500) {
                accepted += qMax<qint64>(0, m_pty->write(babble));
                Delay(0.005);
            }
        }
        --depth;
    });
    m_pty->write(QByteArray("\xFF\x51\r\n", 4));
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 3, 3000);
    QCOMPARE(seen, (QStringList{"FF510D0A", "FF520D0A", "FF530D0A"}));
    QVERIFY2(accepted < 64 * 1024, qPrintable(QString::number(accepted)));
}

void TestLink::closedPortDeliversNothingMore()
{
    PtyPair second;
    qputenv("KV4810G_PORTS", (m_pty->devicePath() + ':' + second.devicePath()).toLocal8Bit());
    SerialLink link;
    QVERIFY(openLink(link));
    QStringList seen;
    connect(&link, &SerialLink::replyReceived, this, [&](const QString &reply) {
        seen.append(reply);
        if (seen.size() == 1)
            link.close(); // while the first port's next reply waits to be handed out
    });
    m_pty->write(QByteArray("\xFF\x51\r\n\xFF\x52\r\n", 8));
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 1, 3000);
    QTest::qWait(100);
    QString error;
    QVERIFY(link.selectPort(2, &error) && link.open(&error));
    second.write(QByteArray("\xFF\x53\r\n", 4));
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 2, 3000);
    QCOMPARE(seen, (QStringList{"FF510D0A", "FF530D0A"}));
}

void TestLink::vanishedDeviceIsReportedOnce()
{
    SerialLink link;
    QVERIFY(openLink(link));
    m_pty->releaseSlave();
    QSignalSpy lost(&link, &SerialLink::portLost);
    // The number now leads elsewhere; the link still names what it opened.
    const QString opened = m_pty->devicePath();
    qputenv("KV4810G_PORTS", QByteArray("/dev/kv4810g-other-adapter"));
    auto cpu = [] {
        rusage used{};
        getrusage(RUSAGE_SELF, &used);
        return used.ru_utime.tv_sec + used.ru_stime.tv_sec + (used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
    };
    const double before = cpu();
    m_pty->closeMaster();
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 3000);
    QTest::qWait(300);
    QCOMPARE(lost.count(), 1);
    QVERIFY(!link.isOpen());
    QCOMPARE(link.deviceName(), opened);
    // A storm of errors would burn the whole wait on one core.
    QVERIFY2(cpu() - before < 0.25, "the vanished port kept the event loop busy");
}

// The password frame sent, a reply, and the frame refused by a closed port:
// the category, the lines kept and the file all show "****".
void TestLink::passwordMaskedInEveryTrace()
{
    SerialLink link;
    QTemporaryDir dir;
    QFile file(dir.filePath("trace.txt"));
    QString error;
    const mode_t umaskBefore = ::umask(0);
    const bool opened = link.trace().setFile(file.fileName(), &error);
    ::umask(umaskBefore);
    QVERIFY2(opened, qPrintable(error));
    categoryLines.clear();
    QLoggingCategory::setFilterRules("kv4810g.trace=true");
    const QtMessageHandler previous = qInstallMessageHandler(&captureCategory);
    QVERIFY(openLink(link));
    for (const QByteArray frame : {"FF010231323334", "FF0B080706050102"}) {
        QVERIFY(link.SendFrame(frame, &error));
        QCOMPARE(m_pty->read(frame.size() / 2).toHex().toUpper(), frame); // the panel gets it whole
    }
    QSignalSpy replies(&link, &SerialLink::replyReceived);
    m_pty->write(QByteArray::fromHex("FF50010D0A" "00FF5A0807060501020D0A"));
    QTRY_COMPARE(replies.count(), 2);
    link.close();
    QVERIFY(!link.SendFrame("ff010239393939", &error));
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());

    const QStringList kept = link.trace().lines();
    link.trace().closeFile();
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(file.readAll());
    QCOMPARE(categoryLines, kept);
    QVERIFY2(written.endsWith(kept.join('\n') + '\n'), qPrintable(written));
    QVERIFY2(!written.contains("31323334") && !written.contains("39393939") && !written.contains("08070605"),
             qPrintable(written));
    // Each line: the time, then what happened.
    QStringList events;
    for (const QString &line : kept) {
        QVERIFY2(QRegularExpression(R"(^\d\d:\d\d:\d\d\.\d\d\d )").match(line).hasMatch(), qPrintable(line));
        events << line.mid(13);
    }
    QCOMPARE(events, (QStringList{"-- port 1 (" + m_pty->devicePath() + ") opened", "-> FF0102****", "-> FF0B****0102",
                                  "<- FF50010D0A", "<- 00FF5A****01020D0A", "-- port 1 closed",
                                  "-- not sent, the serial port is not open: FF0102****"}));
    // The trace holds the panel's settings: its owner's alone, whatever the umask.
    struct stat status{};
    QCOMPARE(::stat(QFile::encodeName(file.fileName()).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, mode_t(0600));
}

void TestLink::traceKeepsLastLines()
{
    ProtocolTrace trace;
    for (int i = 0; i < ProtocolTrace::MaxLines + 5; ++i)
        trace.note(QString("line %1").arg(i));
    const QStringList lines = trace.lines();
    QCOMPARE(lines.size(), ProtocolTrace::MaxLines);
    QVERIFY(lines.first().endsWith("-- line 5"));
    QVERIFY(lines.last().endsWith(QString("-- line %1").arg(ProtocolTrace::MaxLines + 4)));
}

// A trace file that cannot grow (a full disk) is given up, said once, and no
// line waits in memory for it.
void TestLink::traceFileOnFullDisk()
{
    QTemporaryDir dir;
    ProtocolTrace trace;
    QString error;
    QVERIFY(trace.setFile(dir.filePath("trace.txt"), &error));
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit before = limit;
    std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = QFileInfo(dir.filePath("trace.txt")).size() + 100;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    for (int i = 0; i < 50; ++i)
        trace.note(QString("line %1 ").arg(i).repeated(4));
    setrlimit(RLIMIT_FSIZE, &before);
    QCOMPARE(trace.lines().filter(" is incomplete from here on: ").size(), 1);
    QCOMPARE(trace.filePath(), QString());
    QCOMPARE(trace.lines().size(), 51);
}

// USB adapters, then ACM, other ports, the built-in ttyS last; numbers by value.
void TestLink::catalogPutsAdaptersFirst()
{
    QCOMPARE(PortCatalog::searchOrder({"/dev/ttyS4", "/dev/ttyAMA0", "/dev/ttyACM0", "/dev/ttyUSB1", "/dev/ttyUSB0"}),
             (QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyAMA0", "/dev/ttyS4"}));
    QCOMPARE(PortCatalog::searchOrder({"/dev/ttyS10", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/ttyUSB2"}),
             (QStringList{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/ttyS10"}));
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
