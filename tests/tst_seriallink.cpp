#include "delay.h"
#include "portcatalog.h"
#include "ptypair.h"
#include "seriallink.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

class TestSerialLink : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sendFrameWritesExactBytes_data();
    void sendFrameWritesExactBytes();
    void malformedFrameWritesNothing_data();
    void malformedFrameWritesNothing();
    void sendOnClosedPortIsAnError();
    void repliesArriveInOrder();
    void replyCompletedInsideConsumerWaitsItsTurn();
    void lineIsNotReadAheadWhileConsumerWaits();
    void closedPortDeliversNothingMore();
    void portNumberIsFixedWhileOpen();
    void missingPortFailsToOpen();
    void secondOpenOfBusyDeviceFails();
    void vanishedDeviceIsReportedOnce();
    void delayZeroReturnsAtOnce();
    void delayHandlesEventsWhileSleeping();
    void catalogFollowsEnvironment();
    void catalogPutsAdaptersFirst_data();
    void catalogPutsAdaptersFirst();

private:
    bool openLink(SerialLink &link);
    PtyPair *m_pty = nullptr;
};

void TestSerialLink::init()
{
    m_pty = new PtyPair;
    QVERIFY(m_pty->isValid());
    qputenv("KV4810G_PORTS", m_pty->devicePath().toLocal8Bit());
}

void TestSerialLink::cleanup()
{
    delete m_pty;
    m_pty = nullptr;
}

bool TestSerialLink::openLink(SerialLink &link)
{
    QString error;
    const bool opened = link.selectPort(1, &error) && link.open(&error);
    if (!opened)
        qWarning() << "open failed:" << error;
    return opened;
}

void TestSerialLink::sendFrameWritesExactBytes_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("detection") << "FF0018" << QByteArray("\xFF\x00\x18", 3);
    QTest::newRow("lower case") << "ff0102313233" << QByteArray("\xFF\x01\x02\x31\x32\x33", 6);
    QTest::newRow("mixed case") << "Ff0DaB" << QByteArray("\xFF\x0D\xAB", 3);
    QTest::newRow("bare password prefix") << "FF0102" << QByteArray("\xFF\x01\x02", 3);
}

void TestSerialLink::sendFrameWritesExactBytes()
{
    QFETCH(QString, frame);
    QFETCH(QByteArray, bytes);
    SerialLink link;
    QVERIFY(openLink(link));
    QString error;
    QVERIFY2(link.SendFrame(frame, &error), qPrintable(error));
    QCOMPARE(m_pty->read(bytes.size()), bytes);
    QCOMPARE(m_pty->read(1, 100), QByteArray());
}

void TestSerialLink::malformedFrameWritesNothing_data()
{
    QTest::addColumn<QString>("frame");
    QTest::newRow("odd digits") << "FF001";
    QTest::newRow("not hexadecimal") << "FF0G18";
    QTest::newRow("blank inside") << "FF 018";
    QTest::newRow("wide character") << QString("FF0") + QChar(0x4E2D);
}

void TestSerialLink::malformedFrameWritesNothing()
{
    QFETCH(QString, frame);
    SerialLink link;
    QVERIFY(openLink(link));
    QString error;
    QVERIFY(!link.SendFrame(frame, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(m_pty->read(1, 150), QByteArray());
    QVERIFY(link.isOpen());
}

void TestSerialLink::sendOnClosedPortIsAnError()
{
    SerialLink link;
    QString error;
    QVERIFY(!link.SendFrame("FF0018", &error));
    QVERIFY(!error.isEmpty());
}

void TestSerialLink::repliesArriveInOrder()
{
    SerialLink link;
    QVERIFY(openLink(link));
    QSignalSpy spy(&link, &SerialLink::replyReceived);
    m_pty->write(QByteArray("\x31\xFF\x6F", 3));
    m_pty->write(QByteArray("\r\n\xFF\x50\x01\r\n\xFF\x5B\x00", 10));
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 3000);
    QCOMPARE(spy.at(0).at(0).toString(), QString("31FF6F0D0A"));
    QCOMPARE(spy.at(1).at(0).toString(), QString("FF50010D0A"));
    QCOMPARE(link.ReceiveBuffer(), QString("FF5B00"));
    m_pty->write("\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 3, 3000);
    QCOMPARE(spy.at(2).at(0).toString(), QString("FF5B000D0A"));
}

void TestSerialLink::replyCompletedInsideConsumerWaitsItsTurn()
{
    // A consumer that waits (as a message box does) while more replies come
    // in still sees them one after the other, in order, never nested.
    SerialLink link;
    QVERIFY(openLink(link));
    QStringList seen;
    int depth = 0;
    int deepest = 0;
    connect(&link, &SerialLink::replyReceived, this, [&](const QString &reply) {
        deepest = qMax(deepest, ++depth);
        seen.append(reply);
        if (seen.size() == 1) {
            m_pty->write(QByteArray("\xFF\x52\r\n\xFF\x53\r\n", 8));
            Delay(0.3);
        }
        --depth;
    });
    m_pty->write(QByteArray("\xFF\x51\r\n", 4));
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 3, 3000);
    QCOMPARE(seen, (QStringList{"FF510D0A", "FF520D0A", "FF530D0A"}));
    QCOMPARE(deepest, 1);
}

void TestSerialLink::lineIsNotReadAheadWhileConsumerWaits()
{
    // A message box opened from a reply is a nested event loop; a line that
    // keeps sending meanwhile must not grow the program's memory. The link
    // stops reading, so the far end soon cannot write any more.
    SerialLink link;
    QVERIFY(openLink(link));
    QStringList seen;
    qint64 accepted = 0;
    connect(&link, &SerialLink::replyReceived, this, [&](const QString &reply) {
        seen.append(reply);
        if (seen.size() > 1)
            return;
        m_pty->write(QByteArray("\xFF\x52\r\n\xFF\x53\r\n", 8));
        const QByteArray babble(4096, '\x55');
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 500) {
            accepted += qMax<qint64>(0, m_pty->tryWrite(babble));
            Delay(0.005);
        }
    });
    m_pty->write(QByteArray("\xFF\x51\r\n", 4));
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 3, 3000);
    QCOMPARE(seen, (QStringList{"FF510D0A", "FF520D0A", "FF530D0A"}));
    QVERIFY2(accepted < 64 * 1024, qPrintable(QString::number(accepted)));
}

void TestSerialLink::closedPortDeliversNothingMore()
{
    PtyPair second;
    qputenv("KV4810G_PORTS", (m_pty->devicePath() + ':' + second.devicePath()).toLocal8Bit());
    SerialLink link;
    QVERIFY(openLink(link));
    QStringList seen;
    connect(&link, &SerialLink::replyReceived, this, [&](const QString &reply) {
        seen.append(reply);
        if (seen.size() > 1)
            return;
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

void TestSerialLink::portNumberIsFixedWhileOpen()
{
    SerialLink link;
    QVERIFY(openLink(link));
    QString error;
    QVERIFY(!link.selectPort(2, &error));
    QCOMPARE(link.portNumber(), 1);
    QVERIFY(!link.open(&error));
    QVERIFY(link.isOpen());
    link.close();
    link.close();
    QVERIFY(!link.isOpen());
    QVERIFY(link.selectPort(2, &error));
}

void TestSerialLink::missingPortFailsToOpen()
{
    qputenv("KV4810G_PORTS", QByteArray(":/dev/kv4810g-no-such-device"));
    SerialLink link;
    QString error;
    for (int number : {1, 2, 3, 16}) {
        QVERIFY(link.selectPort(number, &error));
        QVERIFY(!link.open(&error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!link.isOpen());
    }
    QVERIFY(!link.selectPort(17, &error));
    QVERIFY(!link.selectPort(0, &error));
}

void TestSerialLink::secondOpenOfBusyDeviceFails()
{
    SerialLink first;
    SerialLink second;
    QVERIFY(openLink(first));
    QString error;
    QVERIFY(second.selectPort(1, &error));
    QVERIFY(!second.open(&error));
    QVERIFY(!error.isEmpty());
}

void TestSerialLink::vanishedDeviceIsReportedOnce()
{
    SerialLink link;
    QVERIFY(openLink(link));
    m_pty->releaseSlave();
    QSignalSpy lost(&link, &SerialLink::portLost);
    // The number now leads elsewhere; the link still names what it opened.
    const QString opened = m_pty->devicePath();
    qputenv("KV4810G_PORTS", QByteArray("/dev/kv4810g-other-adapter"));
    const double cpuBefore = cpuSeconds();
    m_pty->closeMaster();
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 3000);
    QTest::qWait(300);
    QCOMPARE(lost.count(), 1);
    QVERIFY(!link.isOpen());
    QCOMPARE(link.deviceName(), opened);
    // A storm of errors would have burnt the whole wait on one core.
    QVERIFY2(cpuSeconds() - cpuBefore < 0.25, "the vanished port kept the event loop busy");
    QString error;
    QVERIFY(!link.SendFrame("FF0018", &error));
}

void TestSerialLink::delayZeroReturnsAtOnce()
{
    // Returning at once means not even pending events are handled.
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    Delay(0);
    Delay(-1);
    QVERIFY(!ran);
    QTRY_VERIFY(ran);
}

void TestSerialLink::delayHandlesEventsWhileSleeping()
{
    SerialLink link;
    QVERIFY(openLink(link));
    QSignalSpy replies(&link, &SerialLink::replyReceived);
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    QTimer::singleShot(50, [&] { m_pty->write(QByteArray("\xFF\x6F\r\n", 4)); });

    QElapsedTimer clock;
    clock.start();
    Delay(0.2);
    // Never shorter than asked; its CPU cost is measured in bench/.
    QVERIFY2(clock.elapsed() >= 195, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(ticks >= 1);
    QCOMPARE(replies.count(), 1);
}

void TestSerialLink::catalogFollowsEnvironment()
{
    qputenv("KV4810G_PORTS", QByteArray("/dev/a:/dev/b::/dev/d"));
    QCOMPARE(PortCatalog::deviceForPort(1), QString("/dev/a"));
    QCOMPARE(PortCatalog::deviceForPort(2), QString("/dev/b"));
    QCOMPARE(PortCatalog::deviceForPort(3), QString());
    QCOMPARE(PortCatalog::deviceForPort(4), QString("/dev/d"));
    QCOMPARE(PortCatalog::deviceForPort(5), QString());
    QCOMPARE(PortCatalog::deviceForPort(17), QString());
}

void TestSerialLink::catalogPutsAdaptersFirst_data()
{
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("numbered");
    QTest::newRow("adapter before built-in ports")
        << QStringList{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0"}
        << QStringList{"/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyS1"};
    QTest::newRow("USB, ACM, others, then ttyS")
        << QStringList{"/dev/ttyS4", "/dev/ttyAMA0", "/dev/ttyACM0", "/dev/ttyUSB1", "/dev/ttyUSB0"}
        << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyAMA0", "/dev/ttyS4"};
    QTest::newRow("numbers by value")
        << QStringList{"/dev/ttyS10", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/ttyUSB2"}
        << QStringList{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/ttyS10"};
    QTest::newRow("nothing") << QStringList{} << QStringList{};
}

void TestSerialLink::catalogPutsAdaptersFirst()
{
    QFETCH(QStringList, listed);
    QFETCH(QStringList, numbered);
    QCOMPARE(PortCatalog::searchOrder(listed), numbered);
}

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
