#include "fieldcodecs.h"

#include <QtTest>

using Encoder = Encoded (*)(const QString &);
Q_DECLARE_METATYPE(Encoder)

class TestFieldCodecs : public QObject
{
    Q_OBJECT
private slots:
    void encoders_data();
    void encoders();
    void decoders_data();
    void decoders();
};

// expected: the field's hex text, or "refused".
void TestFieldCodecs::encoders_data()
{
    QTest::addColumn<Encoder>("codec");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, Encoder codec, const QString &input, const QString &expected) {
        QTest::newRow(name) << codec << input << expected;
    };
    row("LenHex zeros", LenHex, "000", "00");
    row("LenHex leading zero", LenHex, "0123", "04");
    row("LenHex sixteen", LenHex, "1234567890123456", "10");
    row("LenHex blanks before number", LenHex, " 12", "03");
    row("LenHex not a number", LenHex, "abc", "00");
    row("LenHex 17 characters", LenHex, QString(17, '1'), "refused");
    row("TelBytes empty", TelBytes, "", QString(32, '0'));
    row("TelBytes 17 characters", TelBytes, QString(17, '1'), "refused");
    row("DigitBytes three", DigitBytes, "907", "090007");
    row("DigitBytes letter", DigitBytes, "12a4", "refused");
    row("DigitBytes blank", DigitBytes, "12 4", "refused");
    row("DigitBytes full-width digit", DigitBytes, QString(QChar(0xFF11)), "refused");
    row("NumHex 0", NumHex, "0", "00");
    row("NumHex 14", NumHex, "14", "0E");
    row("NumHex 255", NumHex, "255", "FF");
    row("NumHex empty", NumHex, "", "refused");
    row("NumHex word", NumHex, "one", "refused");
    row("NumHex negative", NumHex, "-1", "refused");
    row("NumHex 256", NumHex, "256", "refused");
    row("AscHex digits", AscHex, "1234", "31323334");
    row("AscHex Latin-1", AscHex, QString(QChar(0xE9)), "E9");
    row("AscHex euro sign", AscHex, QString("12") + QChar(0x20AC), "refused");
    row("TextHex line break", TextHex, "a\r\nb", "610D0A62");
    row("TextHex low code", TextHex, QString(QChar(0x07)), "07");
    row("TextHex above FF", TextHex, QString(QChar(0x100)), "refused");
}

void TestFieldCodecs::encoders()
{
    QFETCH(Encoder, codec);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const Encoded result = codec(input);
    QCOMPARE(result.ok(), expected != "refused");
    QCOMPARE(result.text, result.ok() ? expected : QString());
}

// decoder: "digits" ReplyDigits(reply), "bytes<n>" BytesDigits(reply, n), else HexText(reply).
void TestFieldCodecs::decoders_data()
{
    QTest::addColumn<QString>("decoder");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const char *decoder, const QString &reply, const QString &expected) {
        QTest::newRow(name) << QString(decoder) << reply << expected;
    };
    row("digits: count zero", "digits", "FF5100010203", "");
    row("digits: byte 0A gives 10", "digits", "FF5703010A02", "1102");
    row("digits: missing bytes count 0", "digits", "FF570301", "100");
    row("digits: half byte counts its digit", "digits", "FF5702010", "10");
    row("digits: short reply", "digits", "FF57", "");
    row("bytes: four", "bytes4", "09080706", "9876");
    row("bytes: zero count", "bytes0", "02", "");
    row("bytes: negative count", "bytes-3", "02", "");
    row("bytes: value byte", "bytes1", "0C", "12");
    row("text: terminator left out whole", "text", "446F6F720D0A", "Door");
    row("text: no terminator, last byte left out", "text", "4142", "A");
    row("text: one byte", "text", "41", "");
    row("text: high Latin-1", "text", "E90D0A", QString(QChar(0xE9)));
}

void TestFieldCodecs::decoders()
{
    QFETCH(QString, decoder);
    QFETCH(QString, reply);
    QFETCH(QString, expected);
    QString got;
    if (decoder == "digits")
        got = ReplyDigits(reply);
    else if (decoder.startsWith("bytes"))
        got = BytesDigits(reply, decoder.mid(5).toInt());
    else
        got = HexText(reply);
    QCOMPARE(got, expected);
}

QTEST_APPLESS_MAIN(TestFieldCodecs)
#include "tst_fieldcodecs.moc"
