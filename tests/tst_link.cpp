// The serial line: reply assembly, bytes over a real pseudo-terminal, the port's life, the trace, the port catalog.
#include "portcatalog.h"
#include "protocoltrace.h"
#include "ptypair.h"
#include "receiveassembler.h"
#include "seriallink.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

class TestLink : public QObject
{
    Q_OBJECT
    std::unique_ptr<PtyPair> m_pty; // port 1, for each test function
    static bool openLink(SerialLink &link)
    {
        QString error;
        return link.selectPort(1, &error) && link.open(&error);
    }

private slots:
    void init()
    {
        m_pty = std::make_unique<PtyPair>();
        QVERIFY(m_pty->isValid());
        qputenv("KV4810G_PORTS", m_pty->devicePath().toLocal8Bit());
    }
    void cleanup() { m_pty.reset(); }

    // Each piece is fed in turn; the replies completed, in order, and the text left over are compared. Babble
    // is kept to its newest bytes.
    void assembly_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<QString>("left");
        const int max = ReceiveAssembler::MaxPendingBytes;
        QTest::newRow("byte by byte, D0 A1 inside") << QList<QByteArray>{"\xFF", "\x50", "\xD0", "\xA1", "\r", "\n"}
                                                    << QStringList{"FF50D0A10D0A"} << "";
        QTest::newRow("replies in one read, the next begun")
            << QList<QByteArray>{"\xFF\x50\x01\r\n\xFF\x5C\r\n\xFF", "\x6F\r\n"}
            << QStringList{"FF50010D0A", "FF5C0D0A", "FF6F0D0A"} << "";
        QTest::newRow("incomplete, a lone line feed") << QList<QByteArray>{"\xFF\x51\n\r"} << QStringList{}
                                                      << "FF510A0D";
        QTest::newRow("babble stays bounded")
            << QList<QByteArray>(50, QByteArray(1000, 'x')) << QStringList{} << QString("78").repeated(max);
        QTest::newRow("a 0D kept last pairs with the next 0A")
            << QList<QByteArray>{QByteArray(max + 10, 'y') + "\r", "\n"}
            << QStringList{QString("79").repeated(max - 1) + "0D0A"} << "";
    }
    void assembly()
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

    // Exactly the frame's bytes in one write, or nothing at all.
    void sendFrame_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QByteArray>("bytes"); // empty: refused
        QTest::newRow("lower and mixed case") << "ff0102313aBc" << QByteArray("\xFF\x01\x02\x31\x3A\xBC", 6);
        QTest::newRow("odd digits") << "FF001" << QByteArray();
        QTest::newRow("not hexadecimal") << "FF0G18" << QByteArray();
    }
    void sendFrame()
    {
        QFETCH(QString, frame);
        QFETCH(QByteArray, bytes);
        SerialLink link;
        QString error;
        QVERIFY(openLink(link));
        QCOMPARE(link.SendFrame(frame, &error), !bytes.isEmpty());
        QCOMPARE(error.isEmpty(), !bytes.isEmpty());
        QCOMPARE(m_pty->read(qMax(1, int(bytes.size())), 300), bytes);
    }

    // A box opened from a reply nests an event loop: the link stops reading, so a babbling far end soon cannot
    // write any more; the replies completed meanwhile come afterwards, in order, never nested.
    void lineIsNotReadAheadWhileConsumerWaits()
    {
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
                for (QDeadlineTimer deadline(500); !deadline.hasExpired();) {
                    accepted += qMax<qint64>(0, m_pty->write(QByteArray(4096, '\x55')));
                    QTest::qWait(5);
                }
            }
            --depth;
        });
        m_pty->write(QByteArray("\xFF\x51\r\n", 4));
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 3, 3000);
        QCOMPARE(seen, (QStringList{"FF510D0A", "FF520D0A", "FF530D0A"}));
        QVERIFY2(accepted < 64 * 1024, qPrintable(QString::number(accepted)));
    }

    void closedPortDeliversNothingMore()
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
        // Open, it takes no other port or device, and is open already when asked to reopen.
        QVERIFY(!link.selectPort(1, &error) && !link.open(&error) && !link.openPath(m_pty->devicePath(), &error));
        QVERIFY(link.reopen(&error) && link.deviceName() == second.devicePath());
        second.write(QByteArray("\xFF\x53\r\n", 4));
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 2, 3000);
        QCOMPARE(seen, (QStringList{"FF510D0A", "FF530D0A"}));
    }

    void vanishedDeviceIsReportedOnce()
    {
        SerialLink link;
        QVERIFY(openLink(link));
        m_pty->releaseSlave();
        QSignalSpy lost(&link, &SerialLink::portLost);
        // The number now leads elsewhere; the link still names what it opened.
        qputenv("KV4810G_PORTS", QByteArray("/dev/kv4810g-other-adapter"));
        m_pty->closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 3000);
        QTest::qWait(300);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(link.deviceName(), m_pty->devicePath());
        QString error; // a device opened by its path keeps that name, whatever the number leads to
        QVERIFY(!link.openPath("/dev/kv4810g-by-path", &error) && link.deviceName() == "/dev/kv4810g-by-path");
        QVERIFY(!link.selectPort(0, &error) && !link.selectPort(17, &error) && link.selectPort(16, &error));
    }

    // The password frame sent, a reply, and the frame refused by a closed port: the category, the lines kept and
    // the file all show "****".
    void passwordMaskedInEveryTrace()
    {
        SerialLink link;
        QTemporaryDir dir;
        QFile file(dir.filePath("trace.txt"));
        QString error;
        const mode_t umaskBefore = ::umask(0);
        const bool opened = link.trace().setFile(file.fileName(), &error);
        ::umask(umaskBefore);
        QVERIFY2(opened, qPrintable(error));
        static QStringList category; // what the "kv4810g.trace" category logs meanwhile
        QLoggingCategory::setFilterRules("kv4810g.trace=true");
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &context,
                                                                    const QString &message) {
            if (QLatin1String(context.category) == QLatin1String("kv4810g.trace"))
                category << message;
        });
        QVERIFY(openLink(link));
        QVERIFY(link.SendFrame("FF010231323334", &error) && link.SendFrame("FF0B080706050102", &error));
        QSignalSpy replies(&link, &SerialLink::replyReceived);
        m_pty->write(QByteArray::fromHex("FF50010D0A" "00FF5A0807060501020D0A"));
        QTRY_COMPARE(replies.count(), 2);
        link.close();
        QVERIFY(!link.SendFrame("ff010239393939", &error));
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
        const QStringList kept = link.trace().lines();
        link.trace().closeFile();
        QCOMPARE(category, kept);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()).section('\n', 1), kept.join('\n') + '\n'); // after its header
        // Each line: the time, then what happened.
        QCOMPARE(QStringList(kept).replaceInStrings(QRegularExpression(R"(^\d\d:\d\d:\d\d\.\d\d\d )"), QString()),
                 (QStringList{"-- port 1 (" + m_pty->devicePath() + ") opened", "-> FF0102****", "-> FF0B****0102",
                              "<- FF50010D0A", "<- 00FF5A****01020D0A", "-- port 1 closed",
                              "-- not sent, the serial port is not open: FF0102****"}));
        // The trace holds the panel's settings: its owner's alone, whatever the umask.
        QVERIFY(file.permissions() == (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser));
    }

    // A trace file that cannot grow (a full disk) is given up, said once, and no line waits in memory for it;
    // the trace keeps its last lines.
    void traceLimits()
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
        for (int i = 0; i < ProtocolTrace::MaxLines; ++i)
            trace.note(QString("kept %1").arg(i));
        QCOMPARE(trace.lines().size(), ProtocolTrace::MaxLines);
        QVERIFY(trace.lines().first().endsWith("-- kept 0"));
        limit.rlim_cur = 10; // a new file that cannot take even its header is refused
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0 && !trace.setFile(dir.filePath("full.txt"), &error));
        setrlimit(RLIMIT_FSIZE, &before);
    }

    // USB adapters, then ACM, other ports, the built-in ttyS last; numbers by value. Port n is the nth named.
    void catalogPutsAdaptersFirst()
    {
        QCOMPARE(PortCatalog::searchOrder({"/dev/ttyS10", "/dev/rfcomm0", "/dev/ttyACM0", "/dev/ttyUSB10", "/dev/ttyS2",
                                           "/dev/ttyUSB2"}),
                 (QStringList{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/rfcomm0", "/dev/ttyS2",
                              "/dev/ttyS10"}));
        qputenv("KV4810G_PORTS", "/dev/a:/dev/b");
        for (const auto &[number, device] : {std::pair(0, ""), std::pair(1, "/dev/a"), std::pair(2, "/dev/b"), std::pair(3, "")})
            QCOMPARE(PortCatalog::deviceForPort(number), QString(device));
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
