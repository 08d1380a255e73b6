#include "receiveassembler.h"

#include <QtTest>

class TestReceiveAssembler : public QObject
{
    Q_OBJECT
private slots:
    void assembly_data();
    void assembly();
    void babblingLineStaysBounded();
};

// Each piece is fed in turn; the replies completed, in order, and the text left over are compared.
void TestReceiveAssembler::assembly_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QString>("left");
    QTest::newRow("terminator split between reads")
        << QList<QByteArray>{"\xFF\x6F\r", "\n"} << QStringList{"FF6F0D0A"} << "";
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
}

void TestReceiveAssembler::assembly()
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

void TestReceiveAssembler::babblingLineStaysBounded()
{
    ReceiveAssembler assembler;
    for (int i = 0; i < 50; ++i)
        QVERIFY(assembler.feed(QByteArray(1000, 'x')).isEmpty());
    QCOMPARE(assembler.pendingBytes(), ReceiveAssembler::MaxPendingBytes);
    // The newest bytes are kept: a reply completing now still carries its end.
    QStringList replies = assembler.feed("\xFF\x5C\r\n");
    QCOMPARE(replies.size(), 1);
    QVERIFY(replies.first().endsWith("FF5C0D0A"));
    QCOMPARE(replies.first().size(), 2 * ReceiveAssembler::MaxPendingBytes + 8);
    QCOMPARE(assembler.pendingBytes(), 0);
    // A 0D kept as the last byte of a trimmed buffer still pairs with the 0A of the next read.
    assembler.feed(QByteArray(ReceiveAssembler::MaxPendingBytes + 10, 'y') + "\r");
    replies = assembler.feed("\n");
    QCOMPARE(replies.size(), 1);
    QVERIFY(replies.first().endsWith("790D0A"));
}

QTEST_APPLESS_MAIN(TestReceiveAssembler)
#include "tst_receiveassembler.moc"
