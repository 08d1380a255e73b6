// The download and zone frames, and the settings replies decoded, against the panel's byte layouts; reply routing.
#include "replymatch.h"
#include "settingstransfer.h"
#include "zonemessages.h"

#include <QTest>

Q_DECLARE_METATYPE(PanelSettings)
Q_DECLARE_METATYPE(ReplyKind)

namespace {

ListField item(const QStringList &items, int position) { return SettingsLists::atPosition(items, position); }

// What a settings reply writes, control by control, through the one decoder.
QStringList fieldsOf(const QString &reply)
{
    const auto flags = [](const std::array<bool, 6> &values) {
        QString digits;
        for (const bool v : values)
            digits += v ? '1' : '0';
        return digits;
    };
    PanelReading reading;
    const int group = DecodeSettingsReply(MatchReply(reply), reply, reading);
    const PanelSettings &s = reading.settings;
    if (group < SettingsGroups::FirstGsmNumber)
        return {QString("Txt%1=%2").arg(group + 1).arg(s.Txt[group]),
                QString("Cmb%1=%2").arg(group + 1).arg(s.Cmb[group].position)};
    if (const int n = group - SettingsGroups::FirstGsmNumber; group < SettingsGroups::PasswordRelays)
        return {QString("TxtDuanXin%1=%2").arg(n + 1).arg(s.TxtDuanXin[n])};
    if (group == SettingsGroups::PasswordRelays)
        return {"TxtMiMa=" + s.TxtMiMa, QString("CmbChanKai=%1").arg(s.CmbChanKai.position),
                QString("CmbChanBi=%1").arg(s.CmbChanBi.position)};
    return {"TxtTian=" + s.TxtTian, "CkShangBao=" + flags(s.CkShangBao), "CkTel=" + flags(s.CkTel),
            QString("CkNX=%1").arg(s.CkNX)};
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT
private slots:
    // frame: 1..11 for the frame expected, 0 when the download is refused with the message `expected`.
    void downloadFrames_data()
    {
        QTest::addColumn<PanelSettings>("settings");
        QTest::addColumn<int>("frame");
        QTest::addColumn<QString>("expected");
        const QStringList types = SettingsLists::alarmTypes();
        const auto row = [](const char *name, const std::function<void(PanelSettings &)> &edit, int frame,
                            const QString &expected) {
            PanelSettings s = PanelSettings::startValues();
            edit(s);
            QTest::newRow(name) << s << frame << expected;
        };
        row("Txt1 5550187, SMS alarm", [&](PanelSettings &s) { s.Txt[0] = "5550187"; s.Cmb[0] = item(types, 3); }, 1,
            "FF02070505050001080700000000000000000004");
        row("Txt2 000: count 00, digits sent", [&](PanelSettings &s) { s.Txt[1] = "000"; s.Cmb[1] = item(types, 4); },
            2, "FF03000000000000000000000000000000000005");
        row("Txt6 of 16 digits, leading zero",
            [&](PanelSettings &s) { s.Txt[5] = "0123456789012345"; s.Cmb[5] = item(types, 0); }, 6,
            "FF07100001020304050607080900010203040501");
        row("TxtDuanXin3 0012", [](PanelSettings &s) { s.TxtDuanXin[2] = "0012"; }, 9,
            "FF0A0400000102000000000000000000000000");
        row("CmbChanKai text disconnect, nothing selected",
            [](PanelSettings &s) { s.CmbChanKai = ListField{-1, "disconnect"}; }, 10, "FF0B050709030201");
        row("CmbChanBi text pull in over position 1",
            [](PanelSettings &s) { s.CmbChanBi = ListField{1, "pull in"}; s.TxtMiMa = "0000"; }, 10,
            "FF0B000000000201");
        row("relay text of no item, nothing selected", [](PanelSettings &s) {
                s.CmbChanKai = ListField{-1, "Disconnect"};
                s.CmbChanBi = item(SettingsLists::relayStates(), 1);
            }, 10, "FF0B050709030002");
        row("interval 15, report 1, line fault 2, inside",
            [](PanelSettings &s) { s.TxtTian = "15"; s.CkShangBao[0] = s.CkTel[1] = s.CkNX = true; }, 11,
            "FF0C1510000001000001");
        row("password of 3", [](PanelSettings &s) { s.TxtMiMa = "579"; }, 0, "password format error!");
        row("password with a colon", [](PanelSettings &s) { s.TxtMiMa = "57:3"; }, 0, "password format error!");
        for (const char *interval : {"7", "1G", "1F", "ab", "fF", "1 "})
            row(qPrintable(QString("interval %1").arg(interval)), [&](PanelSettings &s) { s.TxtTian = interval; }, 0,
                "remind interval format error!");
        row("receiving number with a dash", [](PanelSettings &s) { s.Txt[2] = "555-0187"; }, 0,
            "the 3rd alarm receiving number format error!");
        row("receiving number of 17 digits", [](PanelSettings &s) { s.Txt[0] = QString(17, '1'); }, 0,
            "the 1st alarm receiving number format error!");
        row("full-width digit", [](PanelSettings &s) { s.Txt[3] = QString(QChar(0xFF11)); }, 0,
            "the 4th alarm receiving number format error!");
        row("GSM number with a blank", [](PanelSettings &s) { s.TxtDuanXin[1] = "12 34"; }, 0,
            "The second number to program GSM module format error!");
    }

    void downloadFrames()
    {
        QFETCH(PanelSettings, settings);
        QFETCH(int, frame);
        QFETCH(QString, expected);
        const DownloadFrames download = SettingsDownloadFrames(AlignRelayLists(settings));
        QCOMPARE(download.refusal, frame ? QString() : expected);
        QCOMPARE(download.frames.size(), frame ? 11 : 0); // a refused download sends nothing
        if (frame)
            QCOMPARE(download.frames.at(frame - 1), expected);
    }

    // download: true for the frame of CmdDXSend, false for that of Command2.
    void zoneFrames_data()
    {
        QTest::addColumn<bool>("download");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("refusal");

        const QString zoneRefusal = "Please choose zone number 1, 2 or 3!";
        QTest::newRow("zone 2 Door") << true << "2" << "Door" << "FF0D04446F6F72" << "";
        QTest::newRow("255 characters, Latin-1") << true << "1" << QString(255, QChar(0xE9))
                                                 << "FF0CFF" + QString("E9").repeated(255) << "";
        QTest::newRow("line break, low code") << true << "3" << "a\r\n\x07" << "FF0E04610D0A07" << "";
        QTest::newRow("empty text") << true << "1" << "" << "" << "Please input message content!";
        QTest::newRow("zone 4") << true << "4" << "Door" << "" << zoneRefusal;
        QTest::newRow("euro sign") << true << "1" << QString("5 ") + QChar(0x20AC) << ""
                                   << "Message content can only hold characters that fit in one byte!";
        QTest::newRow("upload zone 3") << false << "3" << "" << "FF0003" << "";
    }

    void zoneFrames()
    {
        QFETCH(bool, download);
        QFETCH(QString, zone);
        QFETCH(QString, text);
        QFETCH(QString, frame);
        QFETCH(QString, refusal);
        const Encoded built = download ? ZoneMessageFrame(zone, text) : ZoneUploadFrame(zone);
        QCOMPARE(built.text, frame);
        QCOMPARE(built.error, refusal);
    }

    void settingsReplies_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QStringList>("fields");
        const auto row = [](const char *name, const QString &reply, const QStringList &fields) {
            QTest::newRow(name) << reply << fields;
        };
        row("FF51 123, Contact ID", "FF5103010203" + QString(26, '0') + "020D0A", {"Txt1=123", "Cmb1=1"});
        row("FF56 byte 0A, slow speed", "FF56020A01" + QString(28, '0') + "050D0A", {"Txt6=101", "Cmb6=4"});
        row("FF53 type 06 fits no item", "FF530109000000000000000000000000000000060D0A", {"Txt3=9", "Cmb3=-1"});
        row("FF57 0012", "FF570400000102" + QString(24, '0') + "0D0A", {"TxtDuanXin1=0012"});
        row("FF5A pull in, disconnect", "FF5A050709030102" "0D0A", {"TxtMiMa=5793", "CmbChanKai=0", "CmbChanBi=1"});
        row("FF5A relays 00 and 03", "FF5A000102030003" "0D0A", {"TxtMiMa=0123", "CmbChanKai=-1", "CmbChanBi=-1"});
        row("FF5B line faults, inside", "FF5B07000000011001010D0A",
            {"TxtTian=07", "CkShangBao=000000", "CkTel=011001", "CkNX=1"});
        row("FF5B half-bytes A and 2, inside 02 fit no box", "FF5B001A2111000000020D0A",
            {"TxtTian=00", "CkShangBao=100111", "CkTel=000000", "CkNX=0"});
    }

    void settingsReplies()
    {
        QFETCH(QString, reply);
        QFETCH(QStringList, fields);
        QCOMPARE(fieldsOf(reply), fields);
    }

    // The reply's kind, number and, after noise, where its code starts.
    void matchReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<ReplyKind>("kind");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("start");
        QTest::newRow("data error") << "FF50000D0A" << ReplyKind::DataError << 0 << 0;
        QTest::newRow("panel answer with tail") << "FF6F12340D0A" << ReplyKind::PanelAnswer << 0 << 0;
        QTest::newRow("FF6E") << "FF6E0D0A" << ReplyKind::Unknown << 0 << 0;
        QTest::newRow("password refused") << "FF50020D0A" << ReplyKind::PasswordRefused << 0 << 0;
        QTest::newRow("FF5003") << "FF50030D0A" << ReplyKind::Unknown << 0 << 0;
        QTest::newRow("gsm 2") << "FF580D0A" << ReplyKind::GsmNumber << 2 << 0;
        QTest::newRow("ignored FF5C") << "FF5C0D0A" << ReplyKind::Ignored << 0 << 0;
        QTest::newRow("noise before password") << "3132FF50010D0A" << ReplyKind::PasswordAccepted << 0 << 4;
        QTest::newRow("noise before number") << "FFFF5301" << ReplyKind::ReceivingNumber << 3 << 2;
        QTest::newRow("a code inside a reply") << "FF5D00FF5B0D0A" << ReplyKind::Unknown << 0 << 0;
        QTest::newRow("a code behind another byte") << "FF00FF5A0D0A" << ReplyKind::Unknown << 0 << 0;
        QTest::newRow("code across bytes") << "0FF6F00D0A" << ReplyKind::Unknown << 0 << 0;
    }

    void matchReply()
    {
        QFETCH(QString, reply);
        QFETCH(ReplyKind, kind);
        QFETCH(int, index);
        QFETCH(int, start);
        const ReplyMatch match = MatchReply(reply);
        QCOMPARE(match.kind, kind);
        QCOMPARE(match.index, index);
        QCOMPARE(match.start, start);
    }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
