#include "fieldcodecs.h"

#include <QtTest>

class TestFieldCodecs : public QObject
{
    Q_OBJECT
private slots:
    void encoders_data();
    void encoders();
    void refusals_data();
    void refusals();
    void replyDigits_data();
    void replyDigits();
    void bytesDigits_data();
    void bytesDigits();
    void hexText_data();
    void hexText();
    void numberRoundTrip_data();
    void numberRoundTrip();
};

using Encoder = Encoded (*)(const QString &);
Q_DECLARE_METATYPE(Encoder)

void TestFieldCodecs::encoders_data()
{
    QTest::addColumn<Encoder>("codec");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("LenHex empty") << Encoder(LenHex) << "" << "00";
    QTest::newRow("LenHex zeros") << Encoder(LenHex) << "000" << "00";
    QTest::newRow("LenHex seven") << Encoder(LenHex) << "5550187" << "07";
    QTest::newRow("LenHex leading zero") << Encoder(LenHex) << "0123" << "04";
    QTest::newRow("LenHex fifteen") << Encoder(LenHex) << "123456789012345" << "0F";
    QTest::newRow("LenHex sixteen") << Encoder(LenHex) << "1234567890123456" << "10";
    QTest::newRow("LenHex blanks before number") << Encoder(LenHex) << " 12" << "03";
    QTest::newRow("LenHex not a number") << Encoder(LenHex) << "abc" << "00";

    QTest::newRow("TelBytes seven") << Encoder(TelBytes) << "5550187"
                                    << QString("05050500010807") + QString(18, '0');
    QTest::newRow("TelBytes empty") << Encoder(TelBytes) << "" << QString(32, '0');
    QTest::newRow("TelBytes sixteen") << Encoder(TelBytes) << "1234567890123456"
                                      << "01020304050607080900010203040506";

    QTest::newRow("DigitBytes one") << Encoder(DigitBytes) << "2" << "02";
    QTest::newRow("DigitBytes three") << Encoder(DigitBytes) << "907" << "090007";
    QTest::newRow("DigitBytes empty") << Encoder(DigitBytes) << "" << "";

    QTest::newRow("NumHex 0") << Encoder(NumHex) << "0" << "00";
    QTest::newRow("NumHex 5") << Encoder(NumHex) << "5" << "05";
    QTest::newRow("NumHex 12") << Encoder(NumHex) << "12" << "0C";
    QTest::newRow("NumHex 14") << Encoder(NumHex) << "14" << "0E";
    QTest::newRow("NumHex 16") << Encoder(NumHex) << "16" << "10";
    QTest::newRow("NumHex 255") << Encoder(NumHex) << "255" << "FF";

    QTest::newRow("AscHex AB") << Encoder(AscHex) << "AB" << "4142";
    QTest::newRow("AscHex empty") << Encoder(AscHex) << "" << "";
    QTest::newRow("AscHex digits") << Encoder(AscHex) << "1234" << "31323334";
    QTest::newRow("AscHex Latin-1") << Encoder(AscHex) << QString(QChar(0xE9)) << "E9";

    QTest::newRow("TextHex Door") << Encoder(TextHex) << "Door" << "446F6F72";
    QTest::newRow("TextHex line break") << Encoder(TextHex) << "a\r\nb" << "610D0A62";
    QTest::newRow("TextHex low code") << Encoder(TextHex) << QString(QChar(0x07)) << "07";
}

void TestFieldCodecs::encoders()
{
    QFETCH(Encoder, codec);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const Encoded result = codec(input);
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.text, expected);
}

void TestFieldCodecs::refusals_data()
{
    QTest::addColumn<Encoder>("codec");
    QTest::addColumn<QString>("input");

    QTest::newRow("LenHex 17 characters") << Encoder(LenHex) << QString(17, '1');
    QTest::newRow("TelBytes 17 characters") << Encoder(TelBytes) << QString(17, '1');
    QTest::newRow("DigitBytes letter") << Encoder(DigitBytes) << "12a4";
    QTest::newRow("DigitBytes blank") << Encoder(DigitBytes) << "12 4";
    QTest::newRow("DigitBytes full-width digit") << Encoder(DigitBytes) << QString(QChar(0xFF11));
    QTest::newRow("NumHex empty") << Encoder(NumHex) << "";
    QTest::newRow("NumHex word") << Encoder(NumHex) << "one";
    QTest::newRow("NumHex negative") << Encoder(NumHex) << "-1";
    QTest::newRow("NumHex 256") << Encoder(NumHex) << "256";
    QTest::newRow("NumHex 1000") << Encoder(NumHex) << "1000";
    QTest::newRow("AscHex euro sign") << Encoder(AscHex) << QString("12") + QChar(0x20AC);
    QTest::newRow("TextHex above FF") << Encoder(TextHex) << QString(QChar(0x100));
    QTest::newRow("TextHex CJK") << Encoder(TextHex) << QString(QChar(0x4E2D));
}

void TestFieldCodecs::refusals()
{
    QFETCH(Encoder, codec);
    QFETCH(QString, input);
    const Encoded result = codec(input);
    QVERIFY(!result.ok());
    QVERIFY(result.text.isEmpty());
}

void TestFieldCodecs::replyDigits_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("expected");
    QTest::newRow("three digits") << "FF5103010203" + QString(26, '0') + "020D0A" << "123";
    QTest::newRow("count zero") << "FF5100010203" << "";
    QTest::newRow("byte 0A gives 10") << "FF5703010A02" << "1102";
    QTest::newRow("missing bytes count 0") << "FF570301" << "100";
    QTest::newRow("half byte counts its digit") << "FF5702010" << "10";
    QTest::newRow("short reply") << "FF57" << "";
}

void TestFieldCodecs::replyDigits()
{
    QFETCH(QString, reply);
    QFETCH(QString, expected);
    QCOMPARE(ReplyDigits(reply), expected);
}

void TestFieldCodecs::bytesDigits_data()
{
    QTest::addColumn<QString>("piece");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("expected");
    QTest::newRow("four") << "09080706" << 4 << "9876";
    QTest::newRow("one") << "02" << 1 << "2";
    QTest::newRow("zero count") << "02" << 0 << "";
    QTest::newRow("negative count") << "02" << -3 << "";
    QTest::newRow("value byte") << "0C" << 1 << "12";
}

void TestFieldCodecs::bytesDigits()
{
    QFETCH(QString, piece);
    QFETCH(int, count);
    QFETCH(QString, expected);
    QCOMPARE(BytesDigits(piece, count), expected);
}

void TestFieldCodecs::hexText_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Door, terminator left out whole") << "446F6F720D0A" << "Door";
    QTest::newRow("no terminator: last byte left out") << "4142" << "A";
    QTest::newRow("one byte") << "41" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("high Latin-1") << "E90D0A" << QString(QChar(0xE9));
}

void TestFieldCodecs::hexText()
{
    QFETCH(QString, reply);
    QFETCH(QString, expected);
    QCOMPARE(HexText(reply), expected);
}

void TestFieldCodecs::numberRoundTrip_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("back");
    QTest::newRow("one digit") << "7" << "7";
    QTest::newRow("leading zeros") << "0012" << "0012";
    QTest::newRow("seven") << "5550187" << "5550187";
    QTest::newRow("sixteen") << "9876543210987654" << "9876543210987654";
    QTest::newRow("zeros only") << "000" << "";
}

void TestFieldCodecs::numberRoundTrip()
{
    QFETCH(QString, number);
    QFETCH(QString, back);
    const QString frame = "FF02" + LenHex(number).text + TelBytes(number).text;
    QCOMPARE(ReplyDigits(frame), back);
}

QTEST_APPLESS_MAIN(TestFieldCodecs)
#include "tst_fieldcodecs.moc"
