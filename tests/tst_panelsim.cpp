// The panel simulator driven over its pseudo-terminal the way the
// programming tool drives a panel, kept to what the end-to-end suites rely
// on. Every frame and reply is written out in hex, as the panel sees it.

#include "seriallink.h"
#include "simulatorprocess.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

const QString Detect = QStringLiteral("FF0018");
const QString Upload = QStringLiteral("FF0000");
const QString PanelAnswer = QStringLiteral("FF6F0D0A");
const QString Accepted = QStringLiteral("FF50010D0A"), Refused = QStringLiteral("FF50020D0A");
const QString DataError = QStringLiteral("FF50000D0A");

// "5550187" type 2, "000" (count 00) type 0, sixteen digits type 5, "0012"
// type 1, none type 3, "9" type 4; GSM "13800138000", none, "0"; wireless
// password 0420, N.O relay pull in, N.C disconnect; interval 15, report
// flags 101100, line-fault flags 010011, inside.
const QStringList VariedFrames{
    "FF02070505050001080700000000000000000002", "FF03000000000000000000000000000000000000",
    "FF04100102030405060708090001020304050605", "FF05040000010200000000000000000000000001",
    "FF06000000000000000000000000000000000003", "FF07010900000000000000000000000000000004",
    "FF080B01030800000103080000000000000000",   "FF090000000000000000000000000000000000",
    "FF0A0000000000000000000000000000000000",   "FF0B000402000102",
    "FF0C1510110001001101"};

// The upload replies "FF51" to "FF5B" of a panel holding what `frames` wrote.
QStringList repliesFor(const QStringList &frames)
{
    QStringList replies;
    for (int i = 0; i < frames.size(); ++i)
        replies << QStringLiteral("FF%1").arg(0x51 + i, 0, 16).toUpper() + frames[i].mid(4) + "0D0A";
    return replies;
}

// Fresh from the factory: no numbers, wireless password 5793, N.O relay
// disconnect, N.C relay pull in, no flags.
QStringList factoryUpload()
{
    return repliesFor(QString("FF02%1 FF03%1 FF04%1 FF05%1 FF06%1 FF07%1 FF08%2 FF09%2 FF0A%2 FF0B050709030201 FF0C%3")
                          .arg(QString(36, '0'), QString(34, '0'), QString(16, '0'))
                          .split(' '));
}

// A simulator with the programming tool's serial line open on it.
struct Session
{
    explicit Session(const QStringList &arguments) : sim(QStringList{"--trace"} + arguments)
    {
        qputenv("KV4810G_PORTS", sim.device().toLocal8Bit());
        QString error;
        opened = sim.isReady() && link.selectPort(1, &error) && link.open(&error);
        QObject::connect(&link, &SerialLink::replyReceived, [this](const QString &reply) { replies << reply; });
    }
    void send(const QString &frameText)
    {
        QString error;
        QVERIFY2(link.SendFrame(frameText, &error), qPrintable(error));
    }
    bool waitForReplies(int count) { return QTest::qWaitFor([&] { return replies.size() >= count; }, 5000); }
    // Sends a frame and returns the one reply it gets.
    QString ask(const QString &frameText)
    {
        const int before = int(replies.size());
        send(frameText);
        return waitForReplies(before + 1) ? replies.at(before) : QString();
    }

    SimulatorProcess sim;
    SerialLink link;
    QStringList replies; // complete, with any stray bytes in front
    bool opened = false;
};

#define START_SESSION(name, ...)                                                                   \
    Session name(QStringList{__VA_ARGS__});                                                        \
    QVERIFY2(name.opened, "the simulator gave no line to open")

// Sends the upload request and returns the eleven replies after the `before` already received.
QStringList upload(Session &s, int before = 0)
{
    s.send(Upload);
    return s.waitForReplies(before + 11) ? s.replies.mid(before) : s.replies;
}

} // namespace

class PanelSimTest : public QObject
{
    Q_OBJECT
private slots:
    void answersFrames_data();
    void answersFrames();
    void storesToStateFile();
    void refusesBadStateFile_data();
    void refusesBadStateFile();
    void shapesReplies_data();
    void shapesReplies();
    void ends_data();
    void ends();
};

// What the panel answers to one frame, and that it stores nothing.
void PanelSimTest::answersFrames_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("replies");

    auto row = [](const char *name, const QString &frame, const QString &reply, const QStringList &options = {}) {
        QTest::newRow(name) << options << frame << (reply.isEmpty() ? QStringList() : QStringList{reply});
    };
    row("detection", Detect, PanelAnswer);
    row("password right", "FF010231323334", Accepted);
    row("password wrong", "FF010234333231", Refused);
    row("password too long", "FF01023132333435", Refused);
    row("own password right", "FF01023941307A", Accepted, {"--password", "9A0z"});
    row("settings refused", VariedFrames[9], DataError, {"--refuse"});
    row("digit byte 0A", QStringLiteral("FF0303010A03") + QString(26, '0') + "01", DataError);
    row("report type 6", QStringLiteral("FF0700") + QString(32, '0') + "06", DataError);
    row("N.O relay 3", "FF0B010203040301", DataError);
    row("FF0C neither reminder nor zone", "FF0C1520000000000000", DataError);
    row("zone count off", "FF0E09446F6F72", DataError);
    row("other request ignored", "FF0019", QString());
    row("unknown command ignored", "FF2000", QString());
}

void PanelSimTest::answersFrames()
{
    QFETCH(QStringList, options);
    QFETCH(QString, frame);
    QFETCH(QStringList, replies);

    START_SESSION(s, QStringList{"--no-pacing"} + options);
    s.send(frame);
    QVERIFY(s.sim.waitForFrame(frame));
    // Bytes that start no frame are skipped on the way to the next one.
    s.send(QStringLiteral("0D0A3132") + Detect);
    const int answers = int(replies.size()) + 1;
    QCOMPARE(upload(s, answers), factoryUpload());
    QCOMPARE(s.replies.mid(0, answers), replies << PanelAnswer);
}

// Settings and zone texts are stored without a reply, written to the state
// file at once, and a simulator started on that file answers with them.
void PanelSimTest::storesToStateFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("panel.json"));
    const QString cafe = QStringLiteral("Caf\u00e9"); // a Latin-1 character beyond ASCII
    {
        START_SESSION(s, "--no-pacing", "--state", path);
        QTRY_COMPARE_WITH_TIMEOUT(s.sim.state().value("wirelessPassword").toString(), QStringLiteral("5793"), 5000);
        // The fixed-length frames are told apart by length alone, even in one write.
        s.send(VariedFrames.mid(0, 10).join(QString()));
        QVERIFY(s.sim.waitForFrame(VariedFrames[9]));
        // Zone 1's message shares its command byte with the reminder frame.
        // Zone 2's longest message ends by its size.
        for (const QString &frame : {VariedFrames[10], QString("FF0C074B69746368656E"), QString("FF0E04436166E9"),
                                     "FF0DFF" + QString("41").repeated(255)}) {
            s.send(frame);
            QVERIFY(s.sim.waitForFrame(frame));
        }
        QCOMPARE(s.replies, QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(s.sim.state().value("zoneTexts").toArray().at(2).toString(), cafe, 5000);
        const QJsonObject json = s.sim.state();
        QCOMPARE(json.value("receivingNumbers").toArray().at(0).toObject(),
                 (QJsonObject{{"number", "5550187"}, {"count", 7}, {"digits", "5550187000000000"}, {"type", 2}}));
        QCOMPARE(json.value("reportFlags").toArray(), (QJsonArray{1, 0, 1, 1, 0, 0}));
    }
    START_SESSION(s, "--no-pacing", "--state", path);
    QCOMPARE(upload(s), repliesFor(VariedFrames));
    QCOMPARE(s.ask("FF0001"), QString("4B69746368656E0D0A"));
    QCOMPARE(s.ask("FF0002"), QString("41").repeated(255) + "0D0A");
    QCOMPARE(s.ask("FF0003"), QString("436166E90D0A"));
}

void PanelSimTest::refusesBadStateFile_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("flag");
    QTest::newRow("report flag 2") << "reportFlags" << QJsonValue(2);
    QTest::newRow("line fault flag as text") << "lineFaultFlags" << QJsonValue("1");
}

// A state file that a person edited wrongly stops the simulator with the
// value named, rather than a panel with other settings than the file's.
void PanelSimTest::refusesBadStateFile()
{
    QFETCH(QString, key);
    QFETCH(QJsonValue, flag);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("panel.json"));
    QJsonObject json;
    {
        START_SESSION(s, "--no-pacing", "--state", path);
        QTRY_VERIFY_WITH_TIMEOUT(!(json = s.sim.state()).isEmpty(), 5000);
    }
    QJsonArray flags = json.value(key).toArray();
    flags[3] = flag;
    json.insert(key, flags);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(json).toJson());
    file.close();
    QProcess sim;
    sim.start(QStringLiteral(PANELSIM_PATH), {"--state", path});
    QVERIFY(sim.waitForFinished(10000));
    QVERIFY(sim.exitCode() != 0);
    const QString said = QString::fromLocal8Bit(sim.readAllStandardError());
    QVERIFY2(said.contains(key + "[3]"), qPrintable(said));
}

// ---- Fault modes the other suites rely on ------------------------------------

void PanelSimTest::shapesReplies_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("stray"); // expected in front of every reply
    QTest::addColumn<bool>("paired");   // some write holds two replies, or else some write ends inside one

    QTest::newRow("split") << QStringList{"--split", "--reply-gap", "5"} << QString() << false;
    QTest::newRow("stray, coalesced") << QStringList{"--stray", "3132", "--coalesce"} << QStringLiteral("3132") << true;
}

void PanelSimTest::shapesReplies()
{
    QFETCH(QStringList, options);
    QFETCH(QString, stray);
    QFETCH(bool, paired);

    START_SESSION(s, options);
    QCOMPARE(s.ask(Detect), stray + PanelAnswer);
    QStringList expected;
    for (const QString &reply : factoryUpload())
        expected << stray + reply;
    QCOMPARE(upload(s, 1), expected);
    // The simulator's trace shows each write to the line as " -> bytes".
    const QRegularExpression shape(paired ? " -> [0-9A-F]*0D0A[0-9A-F]+0D0A\n" : " -> [0-9A-F]*(?<!0D0A)\n");
    QVERIFY2(shape.match(s.sim.trace()).hasMatch(), qPrintable(s.sim.trace()));
}

void PanelSimTest::ends_data()
{
    addQuitSignalRows();
    QTest::newRow("hung up after a frame") << 0;
}

// Each signal ends the simulator in order, its link removed; so does
// --hangup-after, closing the line like a pulled cable once its reply is out.
void PanelSimTest::ends()
{
    QFETCH(int, signalNumber);
    QTemporaryDir dir;
    const QString link = dir.filePath("panel");
    START_SESSION(s, "--link", link, "--hangup-after", "1");
    QVERIFY(QFileInfo(link).isSymLink());
    if (signalNumber)
        ::kill(s.sim.processId(), signalNumber);
    else
        QCOMPARE(s.ask(Detect), PanelAnswer);
    QCOMPARE(s.sim.waitForEnd(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(PanelSimTest)

#include "tst_panelsim.moc"
