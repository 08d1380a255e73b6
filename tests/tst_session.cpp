// The panel session without a window, against the panel simulator or a pseudo-terminal played by the test.
#include "panelsession.h"
#include "ptypair.h"
#include "settingstransfer.h"
#include "simulatorprocess.h"

#include <QtTest>

#include <functional>

namespace {

// The eleven frames of a download of a fresh window's settings.
const QByteArray StartValuesDownload = QByteArray::fromHex(
    QString("FF02%1FF03%1FF04%1FF05%1FF06%1FF07%1FF08%2FF09%2FF0A%2FF0B050709030201FF0C%3")
        .arg(QString(36, '0'), QString(34, '0'), QString(16, '0')).toLatin1());

const QString Downloaded = "System Information: finish download!";
const QString Uploaded = "system information: finish Upload!";
const QString Refused = "system information: download in progress, please wait!";
const QString Disconnected = "System Information: Serial port disconnected!";
const QString DownloadCut = "system information: download not complete: the serial port closed after %1 of 11 "
                            "frames, the panel did not get all settings!";

// What the technician can ask of a session, by name, with values of no consequence; each says whether it began.
const QHash<QString, std::function<bool(PanelSession &)>> Operations{
    {"download", [](PanelSession &s) { return s.download(PanelSettings::startValues()); }},
    {"upload", [](PanelSession &s) { return s.upload(); }},
    {"zone download", [](PanelSession &s) { return s.downloadZoneText("1", "Door"); }},
    {"zone upload", [](PanelSession &s) { return s.uploadZoneText("1"); }},
    {"compare", [](PanelSession &s) { return s.compare(PanelSettings::startValues()); }},
    {"open", [](PanelSession &s) { return s.openPort(); }},
    {"password", [](PanelSession &s) { return s.testPassword("1234"); }},
    {"close", [](PanelSession &s) { s.closePort(); return true; }},
    {"exit", [](PanelSession &s) { s.endProgram(); return true; }},
};

// Every report type and none, leading zeros, both relay states, the flag pairs 00, 01, 10 and 11 in both groups.
PanelSettings varied()
{
    PanelSettings a;
    a.Txt = {"0012", "5550187", "9999999999999999", "1", "0800", ""};
    for (int i = 0; i < 6; ++i) {
        a.Cmb[i] = SettingsLists::atPosition(SettingsLists::alarmTypes(), i < 5 ? i : -1);
        a.CkShangBao[i] = QString("100111")[i] == '1';
        a.CkTel[i] = QString("001101")[i] == '1';
    }
    a.TxtDuanXin = {"007", "", "1234567890123456"};
    a.CmbChanKai = SettingsLists::atPosition(SettingsLists::relayStates(), 0);
    a.CmbChanBi = SettingsLists::atPosition(SettingsLists::relayStates(), 1);
    a.TxtMiMa = "0123";
    a.TxtTian = "15";
    a.CkNX = true;
    return a;
}

// A session as a window sees it, messages as "title: text"; and a line for the tests that play the panel.
struct Watched
{
    explicit Watched(int frameGapMs = 20)
    {
        session.setFrameGapMs(frameGapMs);
        QObject::connect(&session, &PanelSession::message,
                         [this](const SessionMessage &m) { shown << m.title + ": " + m.text; });
        QObject::connect(&session, &PanelSession::settingsReceived, [this](int group) { groups << group; });
        QObject::connect(&session, &PanelSession::uploadFinished, [this](const PanelReading &r) { readings << r; });
        QObject::connect(&session, &PanelSession::zoneTextReceived, [this](const QString &t) { zoneText = t; });
        QObject::connect(&session, &PanelSession::comparisonFinished,
                         [this](const QList<ComparisonRow> &rows, const QString &note) {
                             compared = ComparisonSummary(rows);
                             comparisonNote = note;
                         });
    }
    // Opens `device`, or else the test's own pseudo-terminal.
    bool open(const QString &device = QString())
    {
        qputenv("KV4810G_PORTS", (device.isEmpty() ? line.devicePath() : device).toLocal8Bit());
        return session.openPort();
    }
    bool waitFor(const QString &message, int count = 1, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return shown.count(message) >= count; }, timeoutMs);
    }

    PtyPair line; // outlives the session's port
    PanelSession session;
    QStringList shown;
    QList<int> groups;
    QList<PanelReading> readings;
    QString zoneText;
    QString compared; // the last comparison's summary
    QString comparisonNote;
};

} // namespace

class TestSession : public QObject
{
    Q_OBJECT
private slots:
    // Settings there and back; then a zone's message there, back, and there again unchanged: a text over several
    // lines (each a reply of its own, an empty one too) is one answer.
    void roundTrip_data()
    {
        QTest::addColumn<QStringList>("simulator"); // none: the panel's own pacing and the program's frame gap
        QTest::addColumn<int>("finishes"); // every "FF5B" ends an upload for the user
        QTest::addColumn<QString>("zone"); // empty: no zone message
        QTest::addColumn<QString>("text"); // the zone's message
        // Latin-1, and a start like the panel's refusal FF5002: still the text.
        const QString likeRefusal = QString("%1P%2, c%3t%4 rue").arg(QChar(0xFF), QChar(2), QChar(0xF4), QChar(0xE9));
        QTest::newRow("the panel's own pacing") << QStringList() << 1 << "1" << "Kitchen\n\nwindow";
        QTest::newRow("replies in pieces") << QStringList{"--split"} << 1 << "3" << likeRefusal;
        QTest::newRow("two replies a read") << QStringList{"--coalesce"} << 1 << "2" << "Back\ndoor\n";
        QTest::newRow("every reply twice") << QStringList{"--twice"} << 2 << "" << "";
    }
    void roundTrip()
    {
        QFETCH(QStringList, simulator);
        QFETCH(int, finishes);
        QFETCH(QString, zone);
        QFETCH(QString, text);
        QTemporaryDir dir;
        SimulatorProcess panel(simulator + QStringList{"--state", dir.filePath("panel.json")});
        QVERIFY(panel.isReady());
        Watched w(simulator.isEmpty() ? PanelSession::DownloadFrameGapMs : 20);
        QVERIFY(w.open(panel.device()));
        const PanelSettings settings = varied();
        QVERIFY(w.session.download(settings));
        QVERIFY(w.session.progress().isRunning());
        QVERIFY(w.waitFor(Downloaded));
        QVERIFY(!w.session.progress().isRunning()); // a tick each 0.1 s: far from the end after a quick download
        QVERIFY(simulator.isEmpty() || w.session.progress().value() < TransferProgress::DownloadMaximum);
        // The panel ends the last frame when the line goes quiet; an upload sent sooner would run into it.
        QTRY_COMPARE(panel.state().value("interval").toString(), settings.TxtTian);
        QVERIFY(w.session.upload());
        QVERIFY(w.session.progress().isRunning());
        QVERIFY(w.waitFor(Uploaded, finishes, 15000));
        QTest::qWait(300); // no further message follows
        QCOMPARE(w.shown, QStringList{Downloaded} + QStringList(finishes, Uploaded));
        QCOMPARE(w.readings.size(), 1);
        QVERIFY(w.readings[0].complete());
        QCOMPARE(w.readings[0].settings, settings); // the name and No. never travel, and are empty
        QCOMPARE(w.groups.size(), 11 * finishes);
        QVERIFY(!w.session.progress().isRunning());
        if (zone.isEmpty())
            return;
        const auto onPanel = [&] { return panel.state().value("zoneTexts").toArray().at(zone.toInt() - 1).toString(); };
        const QString panelText = QString(text).replace("\n", "\r\n");
        QVERIFY(w.session.downloadZoneText(zone, text));
        QCOMPARE(w.shown.last(), Downloaded);
        QTRY_COMPARE(onPanel(), panelText);
        QVERIFY(w.session.uploadZoneText(zone));
        QVERIFY(w.waitFor(Uploaded, finishes + 1));
        QCOMPARE(w.zoneText, text);
        QVERIFY(w.session.downloadZoneText(zone, "changed"));
        QTRY_COMPARE(onPanel(), QString("changed"));
        QVERIFY(w.session.downloadZoneText(zone, w.zoneText));
        QTRY_COMPARE(onPanel(), panelText);
        QTest::qWait(PanelSession::ZoneAnswerQuietMs + 100);
        QCOMPARE(w.shown.count(Uploaded), finishes + 1); // one answer, one message
    }

    // Refused before anything is sent: a zone text counts what is sent, line breaks as CR LF (254 characters and
    // one line break are 256); settings the panel cannot take.
    void zoneTextLimit()
    {
        Watched w;
        QVERIFY(w.open());
        QVERIFY(!w.session.downloadZoneText("1", QString(254, 'A') + "\n"));
        PanelSettings longPassword = PanelSettings::startValues();
        longPassword.TxtMiMa = "123456";
        QVERIFY(!w.session.download(longPassword));
        QVERIFY(!w.session.openPort());
        QCOMPARE(w.shown, (QStringList{"System Information: Message content is longer than 255 characters (a line "
                                       "break counts as two)!",
                                       "system information: password format error!",
                                       "System Information: Serial port is already open!"}));
        QCOMPARE(w.line.read(0), QByteArray());
    }

    // Whatever is tried after the first frame, the line gets the eleven frames once, in order, with nothing
    // between them, unless the port is closed.
    void duringDownload_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("shown");
        for (const char *op : {"download", "upload", "zone download", "zone upload", "compare", "open", "password"})
            QTest::newRow(op) << op << QStringList{Refused, Downloaded};
        QTest::newRow("answered FF5000") << "data error" << QStringList{"System Information: Data Error!", Downloaded};
        QTest::newRow("close") << "close" << QStringList{DownloadCut};
        QTest::newRow("exit") << "exit" << QStringList();
    }
    void duringDownload()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, shown);
        const bool stops = action == "close" || action == "exit"; // the download, after two frames
        Watched w(40);
        QVERIFY(w.open());
        QSignalSpy ended(&w.session, &PanelSession::downloadFinished);

        QVERIFY(w.session.download(PanelSettings::startValues()));
        QByteArray received = w.line.read(40); // frames 1 and 2 have gone out
        QCOMPARE(received.size(), 40);
        if (action == "data error") { // the bar stops where it stands; the frames go on
            w.line.write(QByteArray::fromHex("FF50000D0A"));
            QTRY_VERIFY(!w.shown.isEmpty());
            QVERIFY(!w.session.progress().isRunning() && w.session.isDownloading());
        } else {
            QCOMPARE(Operations.value(action)(w.session), stops);
        }
        if (action == "close") // over at once, not at the next frame; the port opened again hears no more frames
            QVERIFY(!w.session.isDownloading() && w.session.openPort());
        if (action != "exit")
            QTRY_COMPARE(ended.count(), 1);
        QTest::qWait(100); // no frame follows
        received += w.line.read(0);

        // Stopped early, the download says how many went out: two, or a third when a loaded machine was slow.
        const int sent = stops ? int(received.size() / 20) : 11;
        QCOMPARE(received.toHex().toUpper(), StartValuesDownload.left(20 * sent).toHex().toUpper());
        QCOMPARE(w.shown, shown.replaceInStrings("%1", QString::number(sent)));
        QCOMPARE(ended.count(), action == "exit" ? 0 : 1);
        QVERIFY(!w.session.isDownloading());
        QVERIFY(!w.session.progress().isRunning());
        QCOMPARE(w.session.link().isOpen(), action != "exit");
        const QString stopped = "-- download stopped after %1 of 11 frames: the program ended, the panel did not "
                                "get all settings";
        QCOMPARE(w.session.trace().lines().filter(stopped.arg(sent)).size(), action == "exit" ? 1 : 0);
    }

    // The far end hangs up in the middle of an operation: one message says what did not complete, none that it did.
    void lineLost_data()
    {
        QTest::addColumn<QString>("during");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a download") << "download" << DownloadCut.arg(1);
        QTest::newRow("an upload, write refused") << "write upload" << Disconnected;
        QTest::newRow("a download, write refused") << "write download" << DownloadCut.arg(0);
        QTest::newRow("an upload")
            << "upload"
            << "system information: upload not complete: the serial port went away; not received: "
               "the 2nd alarm receiving number, the 3rd alarm receiving number, the 4th alarm receiving number, "
               "the 5th alarm receiving number, the 6th alarm receiving number, The first number to program GSM "
               "module, The second number to program GSM module, The third number to program GSM module, the "
               "wireless module password and relay states, the remind interval and report routing!";
        QTest::newRow("a comparison") << "compare" << Disconnected;
        QTest::newRow("an upload, then a download") << "upload, download" << DownloadCut.arg(1);
    }
    void lineLost()
    {
        QFETCH(QString, during);
        QFETCH(QString, shown);
        Watched w(100);
        QVERIFY(w.open());
        w.line.releaseSlave();
        if (during == "download" || during == "compare") {
            QVERIFY(Operations.value(during)(w.session));
        } else if (during == "upload, download") {
            QVERIFY(w.session.upload() && w.session.download(PanelSettings::startValues()));
        } else if (during == "upload") {
            QVERIFY(w.session.upload());
            QCOMPARE(w.line.read(3).toHex().toUpper(), QByteArray("FF0000"));
            // "FF51" with the number 123 and type 02, then half of "FF52".
            w.line.write(QByteArray::fromHex("FF5103010203" "00000000000000000000000000" "020D0A" "FF5203"));
            QTRY_COMPARE(w.groups, QList<int>{0});
        }
        w.line.closeMaster();
        // Gone before the read side has noticed: the first write fails. A download begins and ends; an upload not.
        if (during == "write download")
            QVERIFY(w.session.download(PanelSettings::startValues()));
        else if (during == "write upload")
            QVERIFY(!w.session.upload());
        QVERIFY(w.waitFor(shown));
        QTest::qWait(300);
        QCOMPARE(w.shown, QStringList{shown});
        QVERIFY(!w.session.link().isOpen());
        QVERIFY(!w.session.progress().isRunning());
        QVERIFY(!w.session.isDownloading() && !w.session.isUploading() && !w.session.isComparing());
        if (during == "upload") {
            QCOMPARE(w.readings.size(), 1);
            QCOMPARE(w.readings[0].receivedCount(), 1);
            QCOMPARE(w.readings[0].settings.Txt[0], QString("123"));
        }
        if (during == "compare")
            QCOMPARE(w.comparisonNote, QString("The serial port went away during the comparison."));
        // Nothing is begun on the lost line.
        for (const char *operation : {"upload", "compare", "download", "zone upload", "zone download"})
            QVERIFY(!Operations.value(operation)(w.session));
        QCOMPARE(w.shown.mid(1), QStringList(3, "system information: Serial port not open!")
                                     + QStringList(2, "System Information: Serial port not open!"));
    }

    // How a comparison on a pseudo-terminal ends: the panel's bytes, then what the session is asked, give the note;
    // no message.
    void comparison_data()
    {
        QTest::addColumn<QByteArray>("panel");
        QTest::addColumn<QString>("then");
        QTest::addColumn<QString>("note");
        // Receiving number 1 "123", type 0; the window holds none.
        const QByteArray number = QByteArray::fromHex("FF5103010203" "0000000000000000000000000000" "0D0A");
        QTest::newRow("data error") << number + QByteArray::fromHex("FF50000D0A") << ""
                                    << "Data Error! The panel refused the request (FF5000); the comparison has ended.";
        QTest::newRow("silent panel") << QByteArray() << "" << "The panel did not answer.";
        QTest::newRow("panel stops") << number << "" << "The panel stopped answering before its last reply.";
        QTest::newRow("port closed") << QByteArray() << "close" << "The serial port was closed during the comparison.";
        QTest::newRow("upload") << QByteArray() << "upload" << "The comparison ended when a settings upload began.";
        for (const char *zone : {"download", "upload"})
            QTest::newRow(zone) << QByteArray() << QString("zone ") + zone
                                << QString("The comparison ended when a zone message %1 began.").arg(zone);
    }
    void comparison()
    {
        QFETCH(QByteArray, panel);
        QFETCH(QString, then);
        QFETCH(QString, note);
        Watched w;
        w.session.setReplyWaitMs(1000);
        QVERIFY(w.open());
        // Bytes left over from before go: a comparison starts on an empty buffer.
        w.line.write(QByteArray::fromHex("FF00"));
        QTRY_COMPARE(w.session.link().ReceiveBuffer(), QString("FF00"));
        QVERIFY(w.session.compare(PanelSettings::startValues()));
        QCOMPARE(w.line.read(3).toHex().toUpper(), QByteArray("FF0000"));
        w.line.write(panel);
        if (!then.isEmpty())
            QVERIFY(Operations.value(then)(w.session));
        QTRY_COMPARE_WITH_TIMEOUT(w.comparisonNote, note, 6000);
        // The summary counts what came before the end.
        QCOMPARE(w.compared, panel.isEmpty() ? "32 settings were not received from the panel."
                                             : "1 setting differs. 30 settings were not received from the panel.");
        QCOMPARE(w.shown, then == "zone download" ? QStringList{Downloaded} : QStringList());
        QCOMPARE(w.groups, QList<int>()); // the panel's answers went to the comparison alone
    }

    // Right after a download the panel holds the settings shown, whatever edge values they take (numbers of zeros,
    // full length, nothing chosen, a relay chosen by its text); one field changed afterwards is the one difference.
    void compareAfterDownload()
    {
        SimulatorProcess panel({"--no-pacing", "--trace"});
        QVERIFY(panel.isReady());
        Watched w(5);
        QVERIFY(w.open(panel.device()));
        const QStringList numbers{"", "0", "000", "0012", "1", "5550187", "9999999999999999", "0000000000000000"};
        QRandomGenerator random(4810);
        const auto pick = [&random](const QStringList &from) { return from.at(random.bounded(int(from.size()))); };
        const auto list = [&random](const QStringList &items) {
            return SettingsLists::atPosition(items, random.bounded(-1, int(items.size())));
        };
        for (int n = 0; n < 8; ++n) {
            PanelSettings s;
            for (int i = 0; i < 6; ++i) {
                s.Txt[i] = pick(numbers);
                s.Cmb[i] = list(SettingsLists::alarmTypes());
                s.CkShangBao[i] = random.bounded(2);
                s.CkTel[i] = random.bounded(2);
            }
            for (QString &number : s.TxtDuanXin)
                number = pick(numbers);
            s.TxtMiMa = pick({"0000", "9999", "0123", "5793"});
            s.CmbChanKai = n % 3 ? list(SettingsLists::relayStates()) : ListField{-1, "disconnect"};
            s.CmbChanBi = list(SettingsLists::relayStates());
            s.TxtTian = pick({"00", "99", "15", "07"});
            s.CkNX = random.bounded(2);

            QVERIFY(w.session.download(s));
            QVERIFY(w.waitFor(Downloaded, n + 1));
            QVERIFY(panel.waitForFrame(SettingsDownloadFrames(AlignRelayLists(s)).frames.last()));
            QVERIFY(w.session.compare(s)); // the summaries alternate: each wait is for this comparison's
            QTRY_COMPARE(w.compared, QString("The panel holds the settings shown."));
            const int changed = random.bounded(6);
            s.Txt[changed] = s.Txt[changed].toInt() == 4711 ? "4712" : "4711";
            QVERIFY(w.session.compare(s));
            QTRY_COMPARE(w.compared, QString("1 setting differs."));
        }
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
