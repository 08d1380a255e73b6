// The panel session without a window, against the panel simulator or a pseudo-terminal played by the test.
#include "panelsession.h"
#include "ptypair.h"
#include "settingstransfer.h"
#include "simulatorprocess.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

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

// A session as a window sees it: the kinds of its messages, whether the line was open when each was said, how each
// operation ended; and a line for the tests that play the panel.
struct Watched
{
    explicit Watched(int frameGapMs = 20)
    {
        session.setFrameGapMs(frameGapMs);
        QObject::connect(&session, &PanelSession::message, [this](const SessionMessage &m) {
            said << m.kind;
            openWhenSaid << session.link().isOpen();
        });
        QObject::connect(&session, &PanelSession::operationEnded, [this](const OperationEnd &e) { ends << e; });
        QObject::connect(&session, &PanelSession::settingsReceived, [this](int group) { groups << group; });
        QObject::connect(&session, &PanelSession::zoneTextReceived, [this](const QString &t) { zoneText = t; });
        QObject::connect(&session, &PanelSession::portTried, [this](int, bool opened) { lamps << opened; });
    }
    // Opens `device`, or else the test's own pseudo-terminal.
    bool open(const QString &device = QString())
    {
        qputenv("KV4810G_PORTS", (device.isEmpty() ? line.devicePath() : device).toLocal8Bit());
        return session.openPort();
    }
    bool waitFor(PanelOutcome kind, int count = 1, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return said.count(kind) >= count; }, timeoutMs);
    }
    QList<OperationEnd> endsOf(Operation operation) const
    {
        QList<OperationEnd> of;
        for (const OperationEnd &end : ends)
            if (end.operation == operation)
                of << end;
        return of;
    }

    PtyPair line; // outlives the session's port
    PanelSession session;
    QList<PanelOutcome> said;
    QList<bool> openWhenSaid;
    QList<OperationEnd> ends;
    QList<int> groups;
    QString zoneText;
    QList<bool> lamps; // a port tried: opened or not
};

using Kinds = QList<PanelOutcome>;

} // namespace

Q_DECLARE_METATYPE(PanelOutcome)
Q_DECLARE_METATYPE(EndCause)

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
        QFETCH(QStringList, simulator); QFETCH(int, finishes); QFETCH(QString, zone); QFETCH(QString, text);
        QTemporaryDir dir;
        SimulatorProcess panel(simulator + QStringList{"--state", dir.filePath("panel.json")});
        Watched w(simulator.isEmpty() ? PanelSession::DownloadFrameGapMs : 20);
        QVERIFY(w.open(panel.device()));
        const PanelSettings settings = varied();
        QVERIFY(w.session.download(settings));
        QVERIFY(w.session.progress().isRunning());
        QVERIFY(w.waitFor(PanelOutcome::DownloadFinished));
        QVERIFY(!w.session.progress().isRunning()); // a tick each 0.1 s: far from the end after a quick download
        QVERIFY(simulator.isEmpty() || w.session.progress().value() < TransferProgress::DownloadMaximum);
        // The panel ends the last frame when the line goes quiet; an upload sent sooner would run into it.
        QTRY_COMPARE(panel.state().value("interval").toString(), settings.TxtTian);
        QVERIFY(w.session.upload());
        QVERIFY(w.waitFor(PanelOutcome::UploadFinished, finishes, 15000));
        if (zone.isEmpty())
            QTest::qWait(300); // no further message follows; with a zone, the zone's steps give that time
        QCOMPARE(w.said, Kinds{PanelOutcome::DownloadFinished} + Kinds(finishes, PanelOutcome::UploadFinished));
        const QList<OperationEnd> uploads = w.endsOf(Operation::Uploading);
        QCOMPARE(uploads.size(), 1);
        QCOMPARE(uploads[0].outcome, PanelOutcome::UploadFinished);
        QCOMPARE(uploads[0].reading.settings, settings); // the name and No. never travel, and are empty
        QCOMPARE(w.groups.size(), 11 * finishes);
        QCOMPARE(w.session.progress().value(), TransferProgress::UploadMaximum); // complete: the bar full
        if (zone.isEmpty())
            return;
        const auto onPanel = [&] { return panel.state().value("zoneTexts").toArray().at(zone.toInt() - 1).toString(); };
        const QString panelText = QString(text).replace("\n", "\r\n");
        QVERIFY(w.session.downloadZoneText(zone, text));
        QVERIFY(w.waitFor(PanelOutcome::ZoneDownloadFinished));
        QTRY_COMPARE(onPanel(), panelText);
        QVERIFY(w.session.uploadZoneText(zone));
        QVERIFY(w.waitFor(PanelOutcome::ZoneUploadFinished));
        QCOMPARE(w.zoneText, text);
        QCOMPARE(w.endsOf(Operation::ZoneUploading).value(0).zoneText, text);
        QVERIFY(w.session.downloadZoneText(zone, "changed"));
        QTRY_COMPARE(onPanel(), QString("changed"));
        QVERIFY(w.session.downloadZoneText(zone, w.zoneText));
        QTRY_COMPARE(onPanel(), panelText);
        QTest::qWait(PanelSession::ZoneAnswerQuietMs + 100);
        using O = PanelOutcome; // one zone answer, one message; nothing late of the settings
        QCOMPARE(w.said.mid(1 + finishes), (Kinds{O::ZoneDownloadFinished, O::ZoneUploadFinished, O::ZoneDownloadFinished,
                                                  O::ZoneDownloadFinished}));
    }

    // Refused before anything is sent: a device that is not there; a zone text counts what is sent, line breaks as
    // CR LF (254 characters and one line break are 256); settings the panel cannot take; a password not of bytes, no zone.
    void zoneTextLimit()
    {
        Watched w;
        QVERIFY(!w.session.openDevice("/nonexistent/tty"));
        QVERIFY(w.open());
        QVERIFY(!w.session.downloadZoneText("1", QString(254, 'A') + "\n"));
        PanelSettings longPassword = PanelSettings::startValues();
        longPassword.TxtMiMa = "123456";
        QVERIFY(!w.session.download(longPassword));
        QVERIFY(!w.session.openPort());
        QVERIFY(!w.session.testPassword("€") && !w.session.uploadZoneText("0"));
        using O = PanelOutcome;
        QCOMPARE(w.said, (Kinds{O::DeviceUnavailable, O::TextRefused, O::InputRefused, O::AlreadyOpen, O::TextRefused, O::TextRefused}));
        QCOMPARE(w.line.read(0), QByteArray());
    }

    // Closed while it waits on a port, the search tries no other; the next search runs.
    void searchClosed()
    {
        Watched w;
        qputenv("KV4810G_PORTS", (w.line.devicePath() + ":/dev/kv4810g-missing").toLocal8Bit());
        w.session.search(1, 2);
        QCOMPARE(w.line.read(3).toHex(), QByteArray("ff0018")); // the detection frame: the answer awaited
        w.session.closePort();
        QTest::qWait(PanelSearch::DetectWaitMs + 200);
        w.session.search(2, 2);
        QTRY_COMPARE(w.lamps, QList<bool>{false}); // port 2's alone
    }

    // Whatever is tried after the first frame, the line gets the eleven frames once, in order, with nothing
    // between them, unless the port is closed.
    void duringDownload_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<Kinds>("said");
        QTest::addColumn<PanelOutcome>("outcome");
        for (const char *op : {"download", "upload", "zone download", "zone upload", "compare", "open", "password"})
            QTest::newRow(op) << op << Kinds{PanelOutcome::DownloadInProgress, PanelOutcome::DownloadFinished}
                              << PanelOutcome::DownloadFinished;
        QTest::newRow("answered FF5000") << "data error" << Kinds{PanelOutcome::DataError, PanelOutcome::DownloadRefused}
                                         << PanelOutcome::DownloadRefused;
        QTest::newRow("close") << "close" << Kinds{PanelOutcome::DownloadIncomplete} << PanelOutcome::DownloadIncomplete;
        QTest::newRow("exit") << "exit" << Kinds() << PanelOutcome::DownloadIncomplete;
    }
    void duringDownload()
    {
        QFETCH(QString, action); QFETCH(Kinds, said); QFETCH(PanelOutcome, outcome);
        const bool stops = action == "close" || action == "exit"; // the download, after two frames
        Watched w;
        QVERIFY(w.open());

        QVERIFY(w.session.download(PanelSettings::startValues()));
        QByteArray received = w.line.read(40); // frames 1 and 2 have gone out
        QCOMPARE(received.size(), 40);
        if (action == "data error") { // the bar stops where it stands; the frames go on
            w.line.write(QByteArray::fromHex("FF50000D0A"));
            QTRY_VERIFY(!w.said.isEmpty());
            QVERIFY(!w.session.progress().isRunning() && w.session.operation() == Operation::Downloading);
        } else {
            QCOMPARE(Operations.value(action)(w.session), stops);
        }
        if (action == "close") // over at once, not at the next frame; the port opened again hears no more frames
            QVERIFY(w.session.operation() == Operation::Idle && w.session.openPort());
        QTRY_COMPARE(w.ends.size(), 1);
        QTest::qWait(100); // no frame follows
        received += w.line.read(0);

        // Stopped early, the download says how many went out: two, or a third when a loaded machine was slow.
        const int sent = stops ? int(received.size() / 20) : 11;
        const QStringList frames = SettingsDownloadFrames(PanelSettings::startValues()).frames;
        QCOMPARE(QString(received.toHex().toUpper()), frames.mid(0, sent).join(QString()));
        QCOMPARE(w.said, said);
        QCOMPARE(w.ends.size(), 1);
        QCOMPARE(w.ends[0].outcome, outcome);
        QVERIFY(w.ends[0].framesSent == sent && w.ends[0].frames == 11);
        QVERIFY(w.session.operation() == Operation::Idle && !w.session.progress().isRunning());
        QCOMPARE(w.session.link().isOpen(), action != "exit");
        const QString stopped = "-- download stopped after %1 of 11 frames: the program ended, the panel did not "
                                "get all settings";
        QCOMPARE(w.session.trace().lines().filter(stopped.arg(sent)).size(), action == "exit" ? 1 : 0);
    }

    // Close port and Exit end what awaits replies with their own outcome, the line closed before anything is
    // said; an operation that begins ends the one that awaited replies; a second request of the same kind
    // while the first awaits its answer is not sent.
    void endedEarly_data()
    {
        QTest::addColumn<QString>("running");
        QTest::addColumn<QString>("then");
        QTest::addColumn<PanelOutcome>("outcome");
        QTest::addColumn<EndCause>("cause");
        QTest::addColumn<QByteArray>("sent"); // what went on the line
        const QByteArray upload = QByteArray::fromHex("FF0000");
        using O = PanelOutcome;
        QTest::newRow("upload, close") << "upload" << "close" << O::UploadIncomplete << EndCause::PortClosed << upload;
        QTest::newRow("upload, exit") << "upload" << "exit" << O::UploadIncomplete << EndCause::ProgramEnded << upload;
        QTest::newRow("compare, exit") << "compare" << "exit" << O::ComparisonIncomplete << EndCause::ProgramEnded
                                       << upload;
        QTest::newRow("upload twice") << "upload" << "upload" << O::UploadIncomplete << EndCause::PanelSilent << upload;
        QTest::newRow("zone, then upload") << "zone upload" << "upload" << O::ZoneUploadIncomplete
                                           << EndCause::UploadBegan << QByteArray::fromHex("FF0001FF0000");
        QTest::newRow("zone upload twice") << "zone upload" << "zone upload" << O::ZoneUploadIncomplete
                                           << EndCause::PanelSilent << QByteArray::fromHex("FF0001");
    }
    void endedEarly()
    {
        QFETCH(QString, running); QFETCH(QString, then); QFETCH(PanelOutcome, outcome);
        QFETCH(EndCause, cause); QFETCH(QByteArray, sent);
        // Exit says nothing; a comparison shows its end in its own window.
        const Kinds said = then == "exit" || running == "compare" ? Kinds() : Kinds{outcome};
        Watched w;
        w.session.setReplyWaitMs(500);
        QVERIFY(w.open());
        // The first settings reply: the number 123, type 02.
        const QByteArray number = QByteArray::fromHex("FF5103010203" "00000000000000000000000000" "020D0A");
        QVERIFY(Operations.value(running)(w.session));
        if (running == "zone upload") // before the request: not part of the answer
            w.line.write("noise");
        QCOMPARE(w.line.read(3).size(), 3);
        if (running != "zone upload") {
            w.line.write(number);
            if (running == "upload")
                QTRY_COMPARE(w.groups.size(), 1);
            else
                QTest::qWait(200); // the comparison takes it in silence
        }
        QVERIFY(Operations.value(then)(w.session));
        QTRY_COMPARE_WITH_TIMEOUT(w.ends.size(), 1, 3000);
        QTest::qWait(100);
        QCOMPARE(w.line.read(0), sent.mid(3));
        QCOMPARE(w.ends[0].outcome, outcome);
        QCOMPARE(w.ends[0].cause, cause);
        QCOMPARE(w.said, said);
        QCOMPARE(w.ends.size(), 1);
        QCOMPARE(w.session.progress().isRunning(), w.session.operation() == Operation::Uploading);
        if (then == "close" || then == "exit")
            QCOMPARE(w.openWhenSaid, QList<bool>(said.size(), false));
        if (running != "zone upload")
            QCOMPARE(w.ends[0].reading.settings.Txt[0], QString("123"));
        QCOMPARE(w.session.ZoneTextMode(), then == "zone upload" ? 1 : 0); // an upload takes replies as settings
        if (then == "zone upload") { // a late answer is the zone's text all the same, told once
            w.line.write(QByteArray::fromHex("446F6F720D0A"));
            QVERIFY(w.waitFor(PanelOutcome::ZoneUploadFinished));
            QCOMPARE(w.zoneText, QString("Door"));
            QTest::qWait(300);
            QCOMPARE(w.said.count(PanelOutcome::ZoneUploadFinished), 1);
        }
        QCOMPARE(w.session.operation(), then == "upload" && running == "zone upload" ? Operation::Uploading
                                                                                      : Operation::Idle);
    }

    // The far end hangs up in the middle of an operation: one message says what did not complete, none that it did.
    void lineLost_data()
    {
        QTest::addColumn<QString>("during");
        QTest::addColumn<Kinds>("said");
        QTest::newRow("a download") << "download" << Kinds{PanelOutcome::DownloadIncomplete};
        QTest::newRow("an upload, write refused") << "write upload" << Kinds{PanelOutcome::LineLost};
        QTest::newRow("a download, write refused") << "write download" << Kinds{PanelOutcome::DownloadIncomplete};
        QTest::newRow("an upload") << "upload" << Kinds{PanelOutcome::UploadIncomplete};
        QTest::newRow("a comparison") << "compare" << Kinds{PanelOutcome::LineLost};
        QTest::newRow("an upload, then a download")
            << "upload, download" << Kinds{PanelOutcome::UploadIncomplete, PanelOutcome::DownloadIncomplete};
    }
    void lineLost()
    {
        QFETCH(QString, during); QFETCH(Kinds, said);
        Watched w(50);
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
        QVERIFY(w.waitFor(said.last()));
        QTest::qWait(150); // three frame gaps: no message follows
        QCOMPARE(w.said, said);
        QVERIFY(!w.session.link().isOpen() && !w.session.progress().isRunning());
        QCOMPARE(w.lamps.last(), false); // the lost port's lamp: failed
        QCOMPARE(w.session.operation(), Operation::Idle);
        if (during == "upload") {
            const OperationEnd upload = w.endsOf(Operation::Uploading).value(0);
            QCOMPARE(upload.cause, EndCause::LineLost);
            QCOMPARE(upload.reading.receivedCount(), 1);
        }
        if (during == "compare")
            QCOMPARE(w.endsOf(Operation::Comparing).value(0).cause, EndCause::LineLost);
        // Nothing is begun on the lost line.
        for (const char *operation : {"upload", "compare", "download", "zone upload", "zone download"})
            QVERIFY(!Operations.value(operation)(w.session));
        QCOMPARE(w.said.mid(said.size()), Kinds(5, PanelOutcome::NotOpen));
        const SessionMessage notOpen = SessionMessage::of(PanelOutcome::NotOpen); // the words the technician knows
        QCOMPARE(notOpen.title + ": " + notOpen.text, QString("system information: Serial port not open!"));
    }

    // How a comparison on a pseudo-terminal ends: the panel's bytes, then what the session is asked, give the
    // cause; no message.
    void comparison_data()
    {
        QTest::addColumn<QByteArray>("panel");
        QTest::addColumn<QString>("then");
        QTest::addColumn<EndCause>("cause");
        // Receiving number 1 "123", type 0; the window holds none.
        const QByteArray number = QByteArray::fromHex("FF5103010203" "0000000000000000000000000000" "0D0A");
        QTest::newRow("data error") << number + QByteArray::fromHex("FF50000D0A") << "" << EndCause::PanelRefused;
        QTest::newRow("silent panel") << QByteArray() << "" << EndCause::PanelSilent;
        QTest::newRow("panel stops") << number << "" << EndCause::PanelSilent;
        QTest::newRow("port closed") << QByteArray() << "close" << EndCause::PortClosed;
        QTest::newRow("upload") << QByteArray() << "upload" << EndCause::UploadBegan;
        QTest::newRow("zone download") << QByteArray() << "zone download" << EndCause::ZoneDownloadBegan;
        QTest::newRow("zone upload") << QByteArray() << "zone upload" << EndCause::ZoneUploadBegan;
    }
    void comparison()
    {
        QFETCH(QByteArray, panel); QFETCH(QString, then); QFETCH(EndCause, cause);
        Watched w;
        w.session.setReplyWaitMs(500);
        QVERIFY(w.open());
        // Bytes left over from before go: a comparison starts on an empty buffer.
        w.line.write(QByteArray::fromHex("FF00"));
        QTRY_COMPARE(w.session.link().ReceiveBuffer(), QString("FF00"));
        QVERIFY(w.session.compare(PanelSettings::startValues()));
        QCOMPARE(w.line.read(3).toHex().toUpper(), QByteArray("FF0000"));
        w.line.write(panel);
        if (!then.isEmpty())
            QVERIFY(Operations.value(then)(w.session));
        QTRY_COMPARE_WITH_TIMEOUT(w.endsOf(Operation::Comparing).size(), 1, 6000);
        const OperationEnd end = w.endsOf(Operation::Comparing).at(0);
        QCOMPARE(end.cause, cause);
        QCOMPARE(end.outcome, PanelOutcome::ComparisonIncomplete);
        QCOMPARE(end.note, ComparisonNote(cause, !panel.isEmpty()));
        // The summary counts what came before the end.
        QCOMPARE(ComparisonSummary(end.rows), panel.isEmpty() ? "32 settings were not received from the panel."
                                                              : "1 setting differs. 30 settings were not received "
                                                                "from the panel.");
        QTRY_COMPARE(w.said, then == "zone download" ? Kinds{PanelOutcome::ZoneDownloadFinished} : Kinds());
        QCOMPARE(w.groups, QList<int>()); // the panel's answers went to the comparison alone
    }

    // Right after a download the panel holds the settings shown, whatever edge values they take (numbers of zeros,
    // full length, nothing chosen, a relay chosen by its text); one field changed afterwards is the one difference.
    void compareAfterDownload()
    {
        SimulatorProcess panel({"--no-pacing", "--trace"});
        Watched w(5);
        QVERIFY(w.open(panel.device()));
        const QStringList numbers{"", "0", "000", "0012", "1", "5550187", "9999999999999999", "0000000000000000"};
        QRandomGenerator random(4810);
        const auto pick = [&random](const QStringList &from) { return from.at(random.bounded(int(from.size()))); };
        const auto list = [&random](const QStringList &items) {
            return SettingsLists::atPosition(items, random.bounded(-1, int(items.size())));
        };
        const auto compared = [&w](const PanelSettings &s) {
            const qsizetype before = w.endsOf(Operation::Comparing).size();
            return w.session.compare(s) && QTest::qWaitFor([&] { return w.endsOf(Operation::Comparing).size() > before; })
                ? ComparisonSummary(w.endsOf(Operation::Comparing).last().rows) : QString();
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
            QVERIFY(w.waitFor(PanelOutcome::DownloadFinished, n + 1));
            QVERIFY(panel.waitForFrame(SettingsDownloadFrames(AlignRelayLists(s)).frames.last()));
            QCOMPARE(compared(s), QString("The panel holds the settings shown."));
            const int changed = random.bounded(6);
            s.Txt[changed] = s.Txt[changed].toInt() == 4711 ? "4712" : "4711";
            QCOMPARE(compared(s), QString("1 setting differs."));
        }
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
