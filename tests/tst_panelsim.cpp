// The panel simulator over its pseudo-terminal, driven as the programming tool drives a panel; bytes in hex.
#include "seriallink.h"
#include "simulatorprocess.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

const QString Detect = "FF0018", Upload = "FF0000", PanelAnswer = "FF6F0D0A";
const QString Accepted = "FF50010D0A", Refused = "FF50020D0A", DataError = "FF50000D0A";

// "5550187" type 2, "000" (count 00) type 0, 16 digits type 5, "0012" type 1, none type 3, "9" type 4; GSM
// "13800138000", none, "0"; password 0420, N.O pull in, N.C disconnect; interval 15, flags 101100 010011, inside.
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

// Fresh from the factory: no numbers, wireless password 5793, N.O relay disconnect, N.C relay pull in, no flags.
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
    // Sends a frame and returns the replies since, once `count` have come; all replies when they do not, the
    // reason when the frame was not sent.
    QStringList send(const QString &frameText, int count = 0)
    {
        const qsizetype before = replies.size();
        QString error;
        if (!link.SendFrame(frameText, &error))
            return {error};
        return QTest::qWaitFor([&] { return replies.size() >= before + count; }, 5000) ? replies.mid(before) : replies;
    }

    SimulatorProcess sim;
    SerialLink link;
    QStringList replies; // complete, with any stray bytes in front
    bool opened = false;
};

#define START_SESSION(name, ...)                                                                   \
    Session name(QStringList{__VA_ARGS__});                                                        \
    QVERIFY2(name.opened, "the simulator gave no line to open")

} // namespace

class PanelSimTest : public QObject
{
    Q_OBJECT
private slots:
    // What the panel answers to one frame, and that it stores nothing.
    void answersFrames_data()
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
        row("digit byte 0A", "FF0303010A03" + QString(26, '0') + "01", DataError);
        row("report type 6", "FF0700" + QString(32, '0') + "06", DataError);
        row("N.O relay 3", "FF0B010203040301", DataError);
        row("FF0C neither reminder nor zone", "FF0C1520000000000000", DataError);
        row("zone count off", "FF0E09446F6F72", DataError);
        row("other request ignored", "FF0019", QString());
        row("unknown command ignored", "FF2000", QString());
    }
    void answersFrames()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, frame);
        QFETCH(QStringList, replies);
        START_SESSION(s, QStringList{"--no-pacing"} + options);
        s.send(frame);
        QVERIFY(s.sim.waitForFrame(frame));
        // Bytes that start no frame are skipped on the way to the next one.
        s.send("0D0A3132" + Detect);
        s.send(Upload);
        QTRY_COMPARE(s.replies, replies + QStringList{PanelAnswer} + factoryUpload());
    }

    // Nobody reads the line: what does not fit is lost and said, and the simulator goes on answering.
    void lineNotRead()
    {
        START_SESSION(s, "--no-pacing");
        QVERIFY(s.link.SendFrame("FF0DFF" + QString("41").repeated(255), nullptr));
        for (int i = 0; i < 400; ++i) // 100 KB of zone 2's text, more than the line holds
            QVERIFY(s.link.SendFrame("FF0002", nullptr));
        QVERIFY(s.sim.waitForTraceUnread("bytes lost: the line is not being read"));
        // Asked again until the line has room for the answer behind what it still held.
        QTRY_VERIFY(s.link.SendFrame(Detect, nullptr) && s.replies.value(s.replies.size() - 1).endsWith(PanelAnswer));
    }

    // Settings and zone texts are stored without a reply, written to the state file at once, and a simulator
    // started on that file answers with them.
    void storesToStateFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("panel.json");
        QJsonObject json;
        {
            START_SESSION(s, "--no-pacing", "--state", path);
            // The fixed-length frames are told apart by length alone, even in one write.
            s.send(VariedFrames.mid(0, 10).join(QString()));
            QVERIFY(s.sim.waitForFrame(VariedFrames[9]));
            // Zone 1 shares its command byte with the reminder frame; zone 2's longest ends by size; zone 3's is Latin-1.
            for (const QString &frame : {VariedFrames[10], QString("FF0C074B69746368656E"), QString("FF0E04436166E9"),
                                         "FF0DFF" + QString("41").repeated(255)}) {
                s.send(frame);
                QVERIFY(s.sim.waitForFrame(frame));
            }
            QCOMPARE(s.replies, QStringList());
            QTRY_COMPARE(s.sim.state().value("zoneTexts").toArray().at(2).toString(), QString("Caf\u00e9"));
            json = s.sim.state();
            QCOMPARE(json.value("receivingNumbers").toArray().at(0).toObject(),
                     (QJsonObject{{"number", "5550187"}, {"count", 7}, {"digits", "5550187000000000"}, {"type", 2}}));
            QCOMPARE(json.value("reportFlags").toArray(), (QJsonArray{1, 0, 1, 1, 0, 0}));
        }
        START_SESSION(s, "--no-pacing", "--state", path);
        QCOMPARE(s.send(Upload, 11), repliesFor(VariedFrames));
        QCOMPARE(s.send("FF0001", 1), QStringList{"4B69746368656E0D0A"});
        QCOMPARE(s.send("FF0002", 1), QStringList{QString("41").repeated(255) + "0D0A"});
        QCOMPARE(s.send("FF0003", 1), QStringList{"436166E90D0A"});

        // A state file edited wrongly stops the simulator with the value named, rather than a panel unlike the file.
        const auto edited = [&json](const QString &key, int index, const QJsonValue &value) { // index -1: the whole
            QJsonObject copy = json;
            QJsonArray array = copy.value(key).toArray();
            if (index >= 0)
                array[index] = value;
            copy.insert(key, index >= 0 ? QJsonValue(array) : value);
            return QJsonDocument(copy).toJson();
        };
        QJsonObject letters = json.value("receivingNumbers").toArray().at(3).toObject(), tooLong = letters, count = letters;
        letters.insert("digits", "12ab");
        tooLong.insert("number", QString(17, '1'));
        count.insert("count", 17);
        const QList<std::pair<QByteArray, QString>> wrong{
            {edited("reportFlags", 3, 2), "\"reportFlags[3]\""}, {edited("lineFaultFlags", 3, "1"), "lineFaultFlags[3]"},
            {edited("receivingNumbers", 3, letters), "[3].digits"}, {edited("receivingNumbers", 3, tooLong), "[3].number"},
            {edited("receivingNumbers", 3, count), "[3].count"}, {edited("receivingNumbers", -1, 6), "\"receivingNumbers\""},
            {edited("gsmNumbers", 2, QJsonObject{{"number", "5a"}}), "gsmNumbers[2].number"},
            {edited("gsmNumbers", -1, 1), "\"gsmNumbers\""}, {edited("lineFaultFlags", -1, "x"), "\"lineFaultFlags\""},
            {edited("zoneTexts", -1, QJsonArray()), "\"zoneTexts\""}, {edited("wirelessPassword", -1, "12345"), "wirelessPassword"},
            {edited("zoneTexts", 1, "\u20ac"), "zoneTexts[1]"}, {"[1]", "is not a JSON object"}};
        for (const auto &[content, named] : wrong) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) > 0 && file.flush());
            SimulatorProcess sim({"--trace", "--state", path});
            QVERIFY(sim.waitForEnd() > 0);
            QVERIFY2(sim.trace().contains(named), qPrintable(sim.trace()));
        }
        for (const auto &[argument, says] : std::initializer_list<std::pair<QStringList, QString>>{ // so does an argument
                 {{"--stray", "zz"}, "--stray needs bytes in hex"}, {{"--reply-gap", "-1"}, "--reply-gap needs"},
                 {{"--refuse-command", "100"}, "one byte"}, {{"--bogus"}, "bogus"}, {{"panel"}, "\"panel\""}}) {
            SimulatorProcess sim(QStringList{"--trace"} + argument);
            QVERIFY2(sim.waitForEnd() == 2 && sim.trace().contains(says), qPrintable(sim.trace()));
        }
    }

    void shapesReplies_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("stray"); // expected in front of every reply
        QTest::addColumn<bool>("paired");   // some write holds two replies, or else some write ends inside one
        QTest::newRow("split") << QStringList{"--split", "--reply-gap", "5"} << QString() << false;
        QTest::newRow("stray, coalesced") << QStringList{"--stray", "3132", "--coalesce"} << QString("3132") << true;
    }
    void shapesReplies()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, stray);
        QFETCH(bool, paired);
        START_SESSION(s, options);
        QCOMPARE(s.send(Detect, 1), QStringList{stray + PanelAnswer});
        QCOMPARE(s.send(Upload, 11), factoryUpload().replaceInStrings(QRegularExpression("^"), stray));
        // The simulator's trace shows each write to the line as " -> bytes".
        const QRegularExpression shape(paired ? " -> [0-9A-F]*0D0A[0-9A-F]+0D0A\n" : " -> [0-9A-F]*(?<!0D0A)\n");
        QVERIFY2(shape.match(s.sim.trace()).hasMatch(), qPrintable(s.sim.trace()));
    }

    // Each signal ends the simulator in order, its link removed; so does --hangup-after, closing the line like a
    // pulled cable once its reply is out.
    void ends_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("Ctrl+C") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("terminal closed") << int(SIGHUP);
        QTest::newRow("hung up after a frame") << 0;
    }
    void ends()
    {
        QFETCH(int, signalNumber);
        QTemporaryDir dir;
        const QString link = dir.filePath("panel");
        START_SESSION(s, "--link", link, "--hangup-after", "1");
        QVERIFY(QFileInfo(link).isSymLink());
        if (signalNumber)
            ::kill(s.sim.processId(), signalNumber);
        else
            QCOMPARE(s.send(Detect, 1), QStringList{PanelAnswer});
        QCOMPARE(s.sim.waitForEnd(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
        if (signalNumber)
            return;
        QProcess help; // and it tells what it takes
        help.start(PANELSIM_PATH, {"--help"});
        QVERIFY(help.waitForFinished(10000) && help.exitCode() == 0 && help.readAll().contains("--refuse-command"));
    }
};

QTEST_GUILESS_MAIN(PanelSimTest)
#include "tst_panelsim.moc"
