// The panel simulator: its frame splitter and FF 0C classification on their
// own, then the program driven over its pseudo-terminal the way the
// programming tool drives a panel.

#include "fieldcodecs.h"
#include "framekind.h"
#include "framesplitter.h"
#include "frametext.h"
#include "panelframes.h"
#include "receiveassembler.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

QByteArray bytes(const QString &frameText)
{
    QByteArray out;
    QString error;
    if (!FrameText::toBytes(frameText, &out, &error))
        qFatal("bad frame text in a test: %s", qPrintable(error));
    return out;
}

QString hex(const QByteArray &data) { return FrameText::fromBytes(data); }
QString zeros(int digits) { return QString(digits, QLatin1Char('0')); }
QString reply(const char *code) { return QLatin1String(code) + QLatin1String(PanelFrames::Terminator); }

const QString Terminator = QLatin1String(PanelFrames::Terminator);
const QString Detect = QLatin1String(PanelFrames::Detect);
const QString Upload = QLatin1String(PanelFrames::UploadRequest);
const QString PanelAnswer = reply(PanelFrames::PanelAnswer);
const QString Accepted = reply(PanelFrames::PasswordAccepted);
const QString Refused = reply(PanelFrames::PasswordRefused);
const QString DataError = reply(PanelFrames::DataError);

// ---- Frames as the programming tool builds them ----------------------------

// The eleven download frames "FF02" to "FF0C"; passwordRelays and reminder
// are the frame text after the command.
QStringList downloadFrames(const QStringList &numbers, const QList<int> &types, const QStringList &gsm,
                           const QString &passwordRelays, const QString &reminder)
{
    auto number = [](const char *command, const QString &n) {
        return QLatin1String(command) + LenHex(n).text + TelBytes(n).text;
    };
    QStringList frames;
    for (int i = 0; i < 6; ++i)
        frames << number(PanelFrames::ReceivingNumberCommand[i], numbers.value(i))
                + NumHex(QString::number(types.value(i))).text;
    for (int i = 0; i < 3; ++i)
        frames << number(PanelFrames::GsmNumberCommand[i], gsm.value(i));
    return frames << QStringLiteral("FF0B") + passwordRelays << QStringLiteral("FF0C") + reminder;
}

// "000" goes out with count 00; wireless password 0420, N.O relay pull in,
// N.C relay disconnect; interval 15, report flags 101100, line-fault flags
// 010011, inside.
QStringList variedFrames()
{
    return downloadFrames({"5550187", "000", "1234567890123456", "0012", "", "9"}, {2, 0, 5, 1, 3, 4},
                          {"13800138000", "", "0"}, "000402000102", "1510110001001101");
}

// The upload replies "FF51" to "FF5B" of a panel holding what `frames` wrote.
QStringList repliesFor(const QStringList &frames)
{
    QStringList replies;
    for (int i = 0; i < frames.size(); ++i)
        replies << QStringLiteral("FF%1").arg(0x51 + i, 0, 16).toUpper() + frames[i].mid(4) + Terminator;
    return replies;
}

// Fresh from the factory: no numbers, wireless password 5793, N.O relay
// disconnect, N.C relay pull in, no flags.
QStringList factoryUpload()
{
    return repliesFor(downloadFrames({}, {}, {}, "050709030201", zeros(16)));
}

QString passwordFrame(const QString &chars) { return QStringLiteral("FF0102") + AscHex(chars).text; }
QString zoneUpload(int zone) { return QStringLiteral("FF000") + QString::number(zone); }
QString zoneFrame(int zone, const QString &text)
{
    return QStringLiteral("FF") + NumHex(QString::number(zone + 11)).text
        + NumHex(QString::number(text.size())).text + TextHex(text).text;
}

// ---- The simulator as a process, and the test's end of the line ------------

class Simulator
{
public:
    explicit Simulator(const QStringList &arguments)
    {
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { trace += QString::fromLocal8Bit(process.readAllStandardError()); });
        process.start(QStringLiteral(PANELSIM_PATH), QStringList{"--trace"} + arguments);
        if (process.waitForStarted(5000) && QTest::qWaitFor([this] { return process.canReadLine(); }, 5000))
            devicePath = QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    ~Simulator()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(3000); // ~QProcess kills it if it is still running
        }
    }
    // The simulator has taken `frameText` as one complete frame.
    bool waitForFrame(const QString &frameText)
    {
        const QString line = QStringLiteral(" <- ") + frameText + QLatin1Char('\n');
        return QTest::qWaitFor([&] { return trace.contains(line); }, 5000);
    }

    QString trace;
    QString devicePath;
    QProcess process;
};

// Opened as the programming tool opens it (QSerialPort's defaults: 9600 8N1).
class LinePort
{
public:
    bool open(const QString &path)
    {
        m_port.setPortName(path);
        QObject::connect(&m_port, &QSerialPort::readyRead, [this] {
            reads << m_port.readAll();
            replies << m_assembler.feed(reads.last());
        });
        QObject::connect(&m_port, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError error) {
            if (error != QSerialPort::NoError && m_port.isOpen()) { // repeats until closed
                lost = true;
                m_port.close();
            }
        });
        return m_port.open(QIODevice::ReadWrite);
    }
    void send(const QString &frameText)
    {
        m_port.write(bytes(frameText));
        m_port.flush();
    }
    bool waitForReplies(int count) { return QTest::qWaitFor([&] { return replies.size() >= count; }, 5000); }
    // Sends a frame and returns the one reply it gets.
    QString ask(const QString &frameText)
    {
        const int before = replies.size();
        send(frameText);
        return waitForReplies(before + 1) ? replies.at(before) : QString();
    }

    QStringList replies;     // complete, with any stray bytes in front
    QList<QByteArray> reads; // as the reads delivered them
    bool lost = false;

private:
    QSerialPort m_port;
    ReceiveAssembler m_assembler;
};

// Opens the device with plain POSIX calls, leaving its line settings as
// they are, sends a frame and reads until `count` bytes have come.
QByteArray askPlainly(const QString &path, const QString &frameText, int count)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return QByteArray();
    const QByteArray frame = bytes(frameText);
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    ssize_t n = ::write(fd, frame.constData(), size_t(frame.size()));
    while (n > 0 && got.size() < count && clock.elapsed() < 5000) {
        pollfd wait{fd, POLLIN, 0};
        char buffer[64];
        if (::poll(&wait, 1, 100) > 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0)
            got.append(buffer, int(n));
    }
    ::close(fd);
    return got;
}

// Processor time a process has used so far, in clock ticks (-1 if unknown).
qint64 cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // After the command name: state is field 1, utime field 12, stime field 13.
    const QList<QByteArray> fields = stat.readAll().split(')').last().simplified().split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

// A simulator with the test's port open on it.
struct Session
{
    explicit Session(const QStringList &arguments) : sim(arguments) {}
    Simulator sim;
    LinePort port;
    bool opened = !sim.devicePath.isEmpty() && port.open(sim.devicePath);
};

#define START_SESSION(name, ...)                                                                   \
    Session name(QStringList{__VA_ARGS__});                                                        \
    QVERIFY2(name.opened, qPrintable(QStringLiteral("no device from the simulator: \"%1\"")       \
                                         .arg(name.sim.devicePath)))

// Sends the upload request and returns the eleven replies after the `before` already received.
QStringList upload(Session &s, int before = 0)
{
    s.port.send(Upload);
    return s.port.waitForReplies(before + 11) ? s.port.replies.mid(before) : s.port.replies;
}

} // namespace

class PanelSimTest : public QObject
{
    Q_OBJECT
private slots:
    void splitsByLengthOrQuiet_data();
    void splitsByLengthOrQuiet();
    void classifiesFrames_data();
    void classifiesFrames();
    void answersFrames_data();
    void answersFrames();
    void storesSettingsAndUploadsThemBack_data();
    void storesSettingsAndUploadsThemBack();
    void storesAndReturnsZoneTexts_data();
    void storesAndReturnsZoneTexts();
    void writesAndLoadsStateFile();
    void refusesBadStart_data();
    void refusesBadStart();
    void reopensAndStaysIdleWhileClosed();
    void linksAndEndsCleanly_data();
    void linksAndEndsCleanly();
    void pacesReplies();
    void silentNeverAnswersDetection();
    void answersDetectionLate();
    void shapesReplies_data();
    void shapesReplies();
    void refusesSettings();
    void hangsUpAfterFrames();
};

// ---- The parts ---------------------------------------------------------------

void PanelSimTest::splitsByLengthOrQuiet_data()
{
    QTest::addColumn<QStringList>("pieces");   // fed one after the other
    QTest::addColumn<QStringList>("byLength"); // frames the pieces complete
    QTest::addColumn<QString>("onQuiet");      // the frame the quiet gap ends

    auto row = [](const char *name, const QStringList &pieces, const QStringList &byLength,
                  const char *onQuiet = "") { QTest::newRow(name) << pieces << byLength << QString(onQuiet); };
    const QString number = QStringLiteral("FF02") + zeros(36), gsm = QStringLiteral("FF08") + zeros(34);
    const QString relays = QStringLiteral("FF0B050709030201");
    const QString longestZone = QStringLiteral("FF0DFF") + QStringLiteral("41").repeated(255);
    row("in single bytes", {"FF", "00", "18"}, {"FF0018"});
    row("leading bytes skipped", {"31320D0AFF0000"}, {"FF0000"});
    row("settings back to back", {number + gsm + relays + "FF0003"}, {number, gsm, relays, "FF0003"});
    row("settings in pieces", {number.left(10), number.mid(10)}, {number});
    row("longest zone message ends by size", {longestZone + "FF0018"}, {longestZone, "FF0018"});
    row("password waits for quiet", {"FF010231323334"}, {}, "FF010231323334");
    row("reminder waits for quiet", {"FF0C15101100010011", "01"}, {}, "FF0C1510110001001101");
    row("zone message holding FF", {"FF0D02FF00"}, {}, "FF0D02FF00");
    row("truncated settings frame", {"FF0201020304"}, {}, "FF0201020304");
    row("lone start byte", {"FF"}, {}, "FF");
    row("nothing but noise", {"00112233"}, {});
    row("fixed frame then open one", {"FF0018FF0102"}, {"FF0018"}, "FF0102");
}

void PanelSimTest::splitsByLengthOrQuiet()
{
    QFETCH(QStringList, pieces);
    QFETCH(QStringList, byLength);
    QFETCH(QString, onQuiet);

    FrameSplitter splitter;
    QStringList frames;
    for (const QString &piece : pieces) {
        for (const QByteArray &frame : splitter.feed(bytes(piece)))
            frames << hex(frame);
    }
    QCOMPARE(frames, byLength);
    QCOMPARE(splitter.hasOpenFrame(), !onQuiet.isEmpty());
    QCOMPARE(hex(splitter.lineQuiet()), onQuiet);
    QVERIFY(!splitter.hasOpenFrame());
}

// FF 0C is the reminder settings, zone 1's message, or neither.
void PanelSimTest::classifiesFrames_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("index");

    auto row = [](const char *name, const QString &frame, FrameKind kind, int index = 0) {
        QTest::newRow(name) << frame << int(kind) << index;
    };
    row("reminder", QStringLiteral("FF0C1510110101001001"), FrameKind::Reminder);
    row("reminder whose interval reads as count 07", QStringLiteral("FF0C0700000000000000"), FrameKind::Reminder);
    row("zone 1 message of 7", zoneFrame(1, QStringLiteral("Kitchen")), FrameKind::ZoneMessage, 0);
    row("zone 1 message of 7 ending in 02", QStringLiteral("FF0C0700000000000002"), FrameKind::ZoneMessage, 0);
    row("zone 1 message of 1", zoneFrame(1, QStringLiteral("A")), FrameKind::ZoneMessage, 0);
    row("FF0C flag 02, count off", QStringLiteral("FF0C1502000000000000"), FrameKind::Malformed);
    row("FF0C too short", QStringLiteral("FF0C1510"), FrameKind::Malformed);
    row("FF0C alone", QStringLiteral("FF0C"), FrameKind::Malformed);
}

void PanelSimTest::classifiesFrames()
{
    QFETCH(QString, frame);
    QFETCH(int, kind);
    QFETCH(int, index);

    const ClassifiedFrame classified = classifyFrame(bytes(frame));
    QCOMPARE(int(classified.kind), kind);
    QCOMPARE(classified.index, index);
}

// ---- The program over its pseudo-terminal -----------------------------------

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
    row("password right", passwordFrame("1234"), Accepted);
    row("password wrong", passwordFrame("4321"), Refused);
    row("password empty", passwordFrame(""), Refused);
    row("password too short", passwordFrame("123"), Refused);
    row("password too long", passwordFrame("12345"), Refused);
    row("own password right", passwordFrame("9A0z"), Accepted, {"--password", "9A0z"});
    row("own password, default refused", passwordFrame("1234"), Refused, {"--password", "0000"});
    row("digit byte 0A", QStringLiteral("FF0303010A03") + zeros(26) + "01", DataError);
    row("report type 6", QStringLiteral("FF0700") + zeros(32) + "06", DataError);
    row("GSM count 17", QStringLiteral("FF0911") + zeros(32), DataError);
    row("wireless password digit 0A", QStringLiteral("FF0B01020A040102"), DataError);
    row("N.O relay 3", QStringLiteral("FF0B010203040301"), DataError);
    row("N.C relay 3", QStringLiteral("FF0B010203040103"), DataError);
    row("password and relays short", QStringLiteral("FF0B0102030401"), DataError);
    row("truncated number frame", QStringLiteral("FF0405050505"), DataError);
    row("FF0C neither reminder nor zone", QStringLiteral("FF0C1520000000000000"), DataError);
    row("zone count off", QStringLiteral("FF0E09446F6F72"), DataError);
    row("other request ignored", QStringLiteral("FF0019"), QString());
    row("zone 4 upload ignored", QStringLiteral("FF0004"), QString());
    row("FF01 without 02 ignored", QStringLiteral("FF01033132"), QString());
    row("unknown command ignored", QStringLiteral("FF2000"), QString());
    row("lone start byte ignored", QStringLiteral("FF"), QString());
}

void PanelSimTest::answersFrames()
{
    QFETCH(QStringList, options);
    QFETCH(QString, frame);
    QFETCH(QStringList, replies);

    START_SESSION(s, QStringList{"--no-pacing"} + options);
    s.port.send(frame);
    QVERIFY(s.sim.waitForFrame(frame));
    // Bytes that start no frame are skipped on the way to the next one.
    s.port.send(QStringLiteral("0D0A3132") + Detect);
    const int answers = int(replies.size()) + 1;
    QCOMPARE(upload(s, answers), factoryUpload());
    QCOMPARE(s.port.replies.mid(0, answers), replies << PanelAnswer);
}

void PanelSimTest::storesSettingsAndUploadsThemBack_data()
{
    QTest::addColumn<QStringList>("frames");

    QTest::newRow("varied") << variedFrames();
    QTest::newRow("all empty") << downloadFrames({}, {}, {}, zeros(12), zeros(16));
    QTest::newRow("everything at its largest")
        << downloadFrames(QStringList(6, "9999999999999999"), {5, 5, 5, 5, 5, 5}, QStringList(3, "0000000000000001"),
                          "090909090202", "9911111111111101");
}

void PanelSimTest::storesSettingsAndUploadsThemBack()
{
    QFETCH(QStringList, frames);

    START_SESSION(s, "--no-pacing");
    // The fixed-length frames are told apart by length alone, even in one write.
    s.port.send(frames.mid(0, 10).join(QString()));
    QVERIFY(s.sim.waitForFrame(frames[9]));
    s.port.send(frames[10]);
    QVERIFY(s.sim.waitForFrame(frames[10]));
    QCOMPARE(upload(s), repliesFor(frames)); // and no reply to the settings frames
}

void PanelSimTest::storesAndReturnsZoneTexts_data()
{
    QTest::addColumn<int>("zone");
    QTest::addColumn<QString>("text");

    QTest::newRow("zone 1") << 1 << QStringLiteral("A");
    QTest::newRow("zone 1, seven characters") << 1 << QStringLiteral("Kitchen");
    QTest::newRow("zone 2") << 2 << QStringLiteral("Door");
    QTest::newRow("zone 3, sixteen characters") << 3 << QStringLiteral("Back window, 1st");
}

void PanelSimTest::storesAndReturnsZoneTexts()
{
    QFETCH(int, zone);
    QFETCH(QString, text);

    START_SESSION(s, "--no-pacing");
    const QString frame = zoneFrame(zone, text);
    s.port.send(frame);
    QVERIFY(s.sim.waitForFrame(frame));
    QCOMPARE(s.port.replies, QStringList()); // stored without a reply
    for (int z = 1; z <= 3; ++z)
        QCOMPARE(s.port.ask(zoneUpload(z)), (z == zone ? TextHex(text).text : QString()) + Terminator);
    QCOMPARE(upload(s, 3), factoryUpload()); // a zone 1 message is not the reminder frame
}

void PanelSimTest::writesAndLoadsStateFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("panel.json"));
    auto readJson = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    };
    const QStringList frames = variedFrames();
    const QString cafe = QStringLiteral("Caf\u00e9"); // a Latin-1 character beyond ASCII
    {
        START_SESSION(s, "--no-pacing", "--state", path);
        // Created with the factory state, then rewritten with every change.
        QTRY_COMPARE_WITH_TIMEOUT(readJson().value("wirelessPassword").toString(), QStringLiteral("5793"), 5000);
        s.port.send(frames.join(QString()));
        QVERIFY(s.sim.waitForFrame(frames.last()));
        s.port.send(zoneFrame(3, cafe));
        QTRY_COMPARE_WITH_TIMEOUT(readJson().value("zoneTexts").toArray().at(2).toString(), cafe, 5000);
        const QJsonObject json = readJson();
        const QJsonArray receiving = json.value("receivingNumbers").toArray();
        QCOMPARE(receiving.at(0).toObject(),
                 (QJsonObject{{"number", "5550187"}, {"count", 7}, {"digits", "5550187000000000"}, {"type", 2}}));
        QCOMPARE(receiving.at(1).toObject(), // "000" went out with count 00
                 (QJsonObject{{"number", ""}, {"count", 0}, {"digits", zeros(16)}, {"type", 0}}));
        const QJsonObject rest{{"wirelessPassword", "0420"}, {"relayNO", 1}, {"relayNC", 2}, {"interval", "15"},
                               {"reportFlags", QJsonArray{1, 0, 1, 1, 0, 0}},
                               {"lineFaultFlags", QJsonArray{0, 1, 0, 0, 1, 1}}, {"inside", 1}};
        for (auto it = rest.begin(); it != rest.end(); ++it)
            QVERIFY2(json.value(it.key()) == it.value(), qPrintable(it.key()));
    }
    START_SESSION(s, "--no-pacing", "--state", path);
    QCOMPARE(upload(s), repliesFor(frames));
    QCOMPARE(s.port.ask(zoneUpload(3)), TextHex(cafe).text + Terminator);
}

// A bad state file (exit code 1) or option (2) stops the simulator before it offers a device.
void PanelSimTest::refusesBadStart_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("stateFile"); // given with --state when not empty
    QTest::addColumn<int>("exitCode");

    auto state = [](const char *json) { QTest::newRow(json) << QStringList() << QByteArray(json) << 1; };
    state("{");
    state(R"({"receivingNumbers":[{},{},{},{},{}]})");
    state(R"({"receivingNumbers":[{"type":6},{},{},{},{},{}]})");
    state(R"({"gsmNumbers":[{"count":17},{},{}]})");
    state(R"({"gsmNumbers":[{"digits":"12a"},{},{}]})");
    state(R"({"gsmNumbers":[{"number":"12345678901234567"},{},{}]})");
    state(R"({"wirelessPassword":"123"})");
    state(R"({"relayNC":3})");
    state(R"({"interval":"150"})");
    state(R"({"lineFaultFlags":[0,0,2,0,0,0]})");
    state(R"({"zoneTexts":["\u20ac","",""]})");
    QTest::newRow("--gap 0") << QStringList{"--gap", "0"} << QByteArray() << 2;
    QTest::newRow("--stray 31G2") << QStringList{"--stray", "31G2"} << QByteArray() << 2;
}

void PanelSimTest::refusesBadStart()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, stateFile);
    QFETCH(int, exitCode);

    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("panel.json")));
    if (!stateFile.isEmpty()) {
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(stateFile) == stateFile.size());
        file.close();
        arguments << "--state" << file.fileName();
    }
    QProcess process;
    process.start(QStringLiteral(PANELSIM_PATH), arguments);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), exitCode);
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

void PanelSimTest::reopensAndStaysIdleWhileClosed()
{
    // The line stays raw across opens: a carriage return would otherwise
    // arrive as a line feed, and the program's frames would be echoed.
    Simulator sim({"--no-pacing"});
    QCOMPARE(hex(askPlainly(sim.devicePath, Detect, 4)), PanelAnswer);
    for (int round = 0; round < 2; ++round) {
        {
            LinePort port;
            QVERIFY(port.open(sim.devicePath));
            QCOMPARE(port.ask(Detect), PanelAnswer);
        }
        QCOMPARE(hex(askPlainly(sim.devicePath, Detect, 4)), PanelAnswer);
    }
    QVERIFY(!sim.trace.contains(QStringLiteral(" <- FF6F")));

    // With nobody holding the device the master would report hang-up on
    // every poll; the simulator must not spin on it.
    const qint64 before = cpuTicks(sim.process.processId());
    QTest::qWait(1000);
    const qint64 used = cpuTicks(sim.process.processId()) - before;
    QVERIFY(before >= 0);
    QVERIFY2(used < ::sysconf(_SC_CLK_TCK) / 2, qPrintable(QStringLiteral("%1 ticks").arg(used)));
}

void PanelSimTest::linksAndEndsCleanly_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void PanelSimTest::linksAndEndsCleanly()
{
    QFETCH(int, signalNumber);

    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("kv4810g-panel"));
    Simulator sim({"--no-pacing", "--link", link});
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.devicePath);
    LinePort port;
    QVERIFY(port.open(link));
    QCOMPARE(port.ask(Detect), PanelAnswer);

    ::kill(pid_t(sim.process.processId()), signalNumber);
    QVERIFY(sim.process.waitForFinished(5000));
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(!QFileInfo(link).exists() && !QFileInfo(link).isSymLink());
}

// ---- Timing and fault modes -------------------------------------------------

void PanelSimTest::pacesReplies()
{
    START_SESSION(s, "--reply-gap", "40");
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(upload(s), factoryUpload());
    const qint64 elapsed = clock.elapsed();
    // At 9600 baud a byte takes over a millisecond; ten pauses come between eleven replies.
    const int lineBytes = factoryUpload().join(QString()).size() / 2;
    QVERIFY2(elapsed >= lineBytes + 10 * 40,
             qPrintable(QStringLiteral("%1 bytes in %2 ms").arg(lineBytes).arg(elapsed)));
}

void PanelSimTest::silentNeverAnswersDetection()
{
    START_SESSION(s, "--no-pacing", "--silent");
    s.port.send(Detect);
    QVERIFY(s.sim.waitForFrame(Detect));
    QTest::qWait(1500);
    QVERIFY(s.port.reads.isEmpty());
    QCOMPARE(s.port.ask(passwordFrame("1234")), Accepted);
}

void PanelSimTest::answersDetectionLate()
{
    START_SESSION(s, "--no-pacing", "--detect-delay", "400");
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(s.port.ask(Detect), PanelAnswer);
    QVERIFY(clock.elapsed() >= 400);
    QCOMPARE(s.port.ask(passwordFrame("1234")), Accepted); // and goes on answering
}

void PanelSimTest::shapesReplies_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("stray"); // expected in front of every reply
    QTest::addColumn<bool>("paired");   // some read holds two replies, or else some read ends inside one

    QTest::newRow("split") << QStringList{"--split", "--reply-gap", "5"} << QString() << false;
    QTest::newRow("coalesce") << QStringList{"--coalesce"} << QString() << true;
    QTest::newRow("stray, coalesced") << QStringList{"--stray", "3132", "--coalesce"} << QStringLiteral("3132") << true;
}

void PanelSimTest::shapesReplies()
{
    QFETCH(QStringList, options);
    QFETCH(QString, stray);
    QFETCH(bool, paired);

    START_SESSION(s, options);
    QCOMPARE(s.port.ask(Detect), stray + PanelAnswer);
    QStringList expected;
    for (const QString &reply : factoryUpload())
        expected << stray + reply;
    QCOMPARE(upload(s, 1), expected);
    bool seen = false;
    for (const QByteArray &read : s.port.reads)
        seen = seen || (paired ? read.count("\r\n") >= 2 : !read.endsWith("\r\n"));
    QVERIFY(seen);
}

void PanelSimTest::refusesSettings()
{
    START_SESSION(s, "--no-pacing", "--refuse");
    for (const QString &frame : variedFrames())
        QCOMPARE(s.port.ask(frame), DataError);
    QCOMPARE(upload(s, 11), factoryUpload());
    QCOMPARE(s.port.ask(passwordFrame("1234")), Accepted);
}

void PanelSimTest::hangsUpAfterFrames()
{
    START_SESSION(s, "--no-pacing", "--hangup-after", "2");
    QCOMPARE(s.port.ask(Detect), PanelAnswer);
    QCOMPARE(s.port.ask(Detect), PanelAnswer);
    QTRY_VERIFY_WITH_TIMEOUT(s.port.lost, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(s.sim.process.state(), QProcess::NotRunning, 5000);
    QCOMPARE(s.sim.process.exitCode(), 0);
}

QTEST_GUILESS_MAIN(PanelSimTest)

#include "tst_panelsim.moc"
