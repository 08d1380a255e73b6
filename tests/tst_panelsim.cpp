// The panel simulator: its pieces on their own, then the program itself
// driven over its pseudo-terminal the way the programming tool drives a panel.

#include "fieldcodecs.h"
#include "framekind.h"
#include "framesplitter.h"
#include "frametext.h"
#include "panelframes.h"
#include "panelresponder.h"
#include "panelstate.h"
#include "receiveassembler.h"
#include "replyplan.h"
#include "simoptions.h"
#include "statefile.h"
#include "uploadreplies.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

const QString Terminator = QLatin1String(PanelFrames::Terminator);

QByteArray bytes(const QString &frameText)
{
    QByteArray out;
    QString error;
    if (!FrameText::toBytes(frameText, &out, &error))
        qFatal("bad frame text in a test: %s", qPrintable(error));
    return out;
}

QString hex(const QByteArray &data)
{
    return FrameText::fromBytes(data);
}

// ---- Frames as the programming tool builds them ----------------------------

struct Settings
{
    QStringList numbers = QStringList(6, QString());
    QList<int> types = QList<int>(6, 0);
    QStringList gsm = QStringList(3, QString());
    QString password = QStringLiteral("0000");
    int relayNO = 0;
    int relayNC = 0;
    QString interval = QStringLiteral("00");
    QString reportFlags = QStringLiteral("000000");
    QString lineFaultFlags = QStringLiteral("000000");
    int inside = 0;
};

QString numberFrame(const char *command, const QString &number)
{
    return QLatin1String(command) + LenHex(number).text + TelBytes(number).text;
}

// The eleven download frames "FF02" to "FF0C".
QStringList downloadFrames(const Settings &s)
{
    QStringList frames;
    for (int i = 0; i < 6; ++i)
        frames << numberFrame(PanelFrames::ReceivingNumberCommand[i], s.numbers[i]) + NumHex(QString::number(s.types[i])).text;
    for (int i = 0; i < 3; ++i)
        frames << numberFrame(PanelFrames::GsmNumberCommand[i], s.gsm[i]);
    frames << QLatin1String(PanelFrames::PasswordRelaysCommand) + DigitBytes(s.password).text
            + DigitBytes(QString::number(s.relayNO)).text + DigitBytes(QString::number(s.relayNC)).text;
    frames << QLatin1String(PanelFrames::ReminderCommand) + s.interval + s.reportFlags + s.lineFaultFlags
            + QLatin1Char('0') + QString::number(s.inside);
    return frames;
}

QStringList uploadCodes()
{
    QStringList codes;
    for (const auto *code : PanelFrames::ReceivingNumberReply)
        codes << QLatin1String(code);
    for (const auto *code : PanelFrames::GsmNumberReply)
        codes << QLatin1String(code);
    return codes << QLatin1String(PanelFrames::PasswordRelaysReply) << QLatin1String(PanelFrames::ReminderReply);
}

// The upload replies a panel holding what `frames` wrote must give back.
QStringList repliesFor(const QStringList &frames)
{
    QStringList replies;
    const QStringList codes = uploadCodes();
    for (int i = 0; i < frames.size(); ++i)
        replies << codes[i] + frames[i].mid(4) + Terminator;
    return replies;
}

// What a panel fresh from the factory answers to "FF0000".
QStringList factoryUpload()
{
    const QString emptyNumber = QStringLiteral("00") + QString(32, QLatin1Char('0'));
    QStringList replies;
    for (const auto *code : PanelFrames::ReceivingNumberReply)
        replies << QLatin1String(code) + emptyNumber + QStringLiteral("00") + Terminator;
    for (const auto *code : PanelFrames::GsmNumberReply)
        replies << QLatin1String(code) + emptyNumber + Terminator;
    // Wireless password 5793, N.O relay "disconnect", N.C relay "pull in".
    replies << QLatin1String(PanelFrames::PasswordRelaysReply) + QStringLiteral("050709030201") + Terminator;
    replies << QLatin1String(PanelFrames::ReminderReply) + QString(16, QLatin1Char('0')) + Terminator;
    return replies;
}

QString passwordFrame(const QString &characters)
{
    return QLatin1String(PanelFrames::PasswordPrefix) + AscHex(characters).text;
}

QString zoneFrame(int zone, const QString &text)
{
    return QStringLiteral("FF") + NumHex(QString::number(zone + PanelFrames::ZoneCommandOffset)).text
        + NumHex(QString::number(text.size())).text + TextHex(text).text;
}

QString zoneUpload(int zone)
{
    return QLatin1String(PanelFrames::ZoneUploadPrefix) + NumHex(QString::number(zone)).text;
}

Settings variedSettings()
{
    Settings s;
    s.numbers = {QStringLiteral("5550187"), QStringLiteral("000"), QStringLiteral("1234567890123456"),
                 QStringLiteral("0012"), QString(), QStringLiteral("9")};
    s.types = {2, 0, 5, 1, 3, 4};
    s.gsm = {QStringLiteral("13800138000"), QString(), QStringLiteral("0")};
    s.password = QStringLiteral("0420");
    s.relayNO = 1;
    s.relayNC = 2;
    s.interval = QStringLiteral("15");
    s.reportFlags = QStringLiteral("101100");
    s.lineFaultFlags = QStringLiteral("010011");
    s.inside = 1;
    return s;
}

// ---- The simulator as a process, and the test's end of the line ------------

class Simulator
{
public:
    explicit Simulator(const QStringList &arguments)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardError,
                         [this] { m_trace += QString::fromLocal8Bit(m_process.readAllStandardError()); });
        m_process.start(QStringLiteral(PANELSIM_PATH), QStringList{QStringLiteral("--trace")} + arguments);
        if (!m_process.waitForStarted(5000))
            return;
        if (!QTest::qWaitFor([this] { return m_process.canReadLine(); }, 5000))
            return;
        m_devicePath = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~Simulator()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

    QString devicePath() const { return m_devicePath; }
    QProcess &process() { return m_process; }
    QString trace() const { return m_trace; }

    // The simulator has taken `frameText` as one complete frame.
    bool waitForFrame(const QString &frameText)
    {
        const QString line = QStringLiteral(" <- ") + frameText + QLatin1Char('\n');
        return QTest::qWaitFor([&] { return m_trace.contains(line); }, 5000);
    }

private:
    QProcess m_process;
    QString m_devicePath;
    QString m_trace;
};

class LinePort
{
public:
    bool open(const QString &path)
    {
        m_port.setPortName(path);
        m_port.setBaudRate(QSerialPort::Baud9600);
        m_port.setDataBits(QSerialPort::Data8);
        m_port.setParity(QSerialPort::NoParity);
        m_port.setStopBits(QSerialPort::OneStop);
        m_port.setFlowControl(QSerialPort::NoFlowControl);
        QObject::connect(&m_port, &QSerialPort::readyRead, [this] {
            const QByteArray got = m_port.readAll();
            m_reads << got;
            m_replies << m_assembler.feed(got);
        });
        QObject::connect(&m_port, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError error) {
            // The error repeats until the port is closed.
            if (error != QSerialPort::NoError && m_port.isOpen()) {
                m_lost = true;
                m_port.close();
            }
        });
        return m_port.open(QIODevice::ReadWrite);
    }
    void close() { m_port.close(); }

    void send(const QString &frameText)
    {
        m_port.write(bytes(frameText));
        m_port.flush();
    }
    bool waitForReplies(int count, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return m_replies.size() >= count; }, timeoutMs);
    }
    // Sends a frame and returns the one reply it gets.
    QString ask(const QString &frameText)
    {
        const int before = m_replies.size();
        send(frameText);
        return waitForReplies(before + 1) ? m_replies.at(before) : QString();
    }
    bool waitForLoss() { return QTest::qWaitFor([this] { return m_lost; }, 5000); }

    QStringList replies() const { return m_replies; }
    QList<QByteArray> reads() const { return m_reads; }

private:
    QSerialPort m_port;
    ReceiveAssembler m_assembler;
    QStringList m_replies;
    QList<QByteArray> m_reads;
    bool m_lost = false;
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
    if (::write(fd, frame.constData(), size_t(frame.size())) == frame.size()) {
        QElapsedTimer clock;
        clock.start();
        while (got.size() < count && clock.elapsed() < 5000) {
            pollfd wait{fd, POLLIN, 0};
            char buffer[64];
            if (::poll(&wait, 1, 100) > 0) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                got.append(buffer, int(n));
            }
        }
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
    // Fields after the command name: state is the first, utime the 12th, stime the 13th.
    const QList<QByteArray> fields = stat.readAll().split(')').last().simplified().split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

// A simulator with the test's port open on it.
struct Session
{
    explicit Session(const QStringList &arguments) : sim(arguments)
    {
        opened = !sim.devicePath().isEmpty() && port.open(sim.devicePath());
    }
    Simulator sim;
    LinePort port;
    bool opened = false;
};

#define START_SESSION(name, ...)                                                              \
    Session name(QStringList{__VA_ARGS__});                                                   \
    QVERIFY2(name.opened, qPrintable(QStringLiteral("no device from the simulator: \"%1\"") \
                                         .arg(name.sim.devicePath())))

} // namespace

class PanelSimTest : public QObject
{
    Q_OBJECT
private slots:
    // The parts, on their own.
    void splitsByLengthOrQuiet_data();
    void splitsByLengthOrQuiet();
    void classifiesFrames_data();
    void classifiesFrames();
    void refusesMalformedSettings_data();
    void refusesMalformedSettings();
    void uploadGivesBackWhatWasStored_data();
    void uploadGivesBackWhatWasStored();
    void factoryStateUpload();
    void answersFrames_data();
    void answersFrames();
    void stateJsonRoundTrip();
    void stateJsonNumberShorthand();
    void stateJsonRejectsBadValues_data();
    void stateJsonRejectsBadValues();
    void plansWrites_data();
    void plansWrites();
    void splitsIntoPieces();
    void parsesOptions_data();
    void parsesOptions();

    // The program, over its pseudo-terminal.
    void answersDetection();
    void checksPassword_data();
    void checksPassword();
    void storesSettingsAndUploadsThemBack_data();
    void storesSettingsAndUploadsThemBack();
    void answersMalformedFrames_data();
    void answersMalformedFrames();
    void ignoresUnknownFrames_data();
    void ignoresUnknownFrames();
    void storesAndReturnsZoneTexts_data();
    void storesAndReturnsZoneTexts();
    void writesAndLoadsStateFile();
    void deviceCanBeReopened();
    void staysIdleWhileDeviceClosed();
    void linksAndEndsCleanly_data();
    void linksAndEndsCleanly();
    void listsOptions();
    void pacesReplies();
    void silentNeverAnswersDetection();
    void answersDetectionLate();
    void splitRepliesStayComplete();
    void coalescesReplies();
    void putsStrayBytesInFront();
    void refusesSettings();
    void hangsUpAfterFrames();
};

// ---- The parts ---------------------------------------------------------------

void PanelSimTest::splitsByLengthOrQuiet_data()
{
    QTest::addColumn<QStringList>("pieces");   // fed one after the other
    QTest::addColumn<QStringList>("byLength"); // frames the pieces complete
    QTest::addColumn<QString>("onQuiet");      // the frame the quiet gap ends

    const QString settings02 = QStringLiteral("FF02") + QString(36, QLatin1Char('0'));
    const QString settings08 = QStringLiteral("FF08") + QString(34, QLatin1Char('0'));
    const QString settings0B = QStringLiteral("FF0B050709030201");
    QTest::newRow("detection") << QStringList{"FF0018"} << QStringList{"FF0018"} << QString();
    QTest::newRow("in single bytes") << QStringList{"FF", "00", "18"} << QStringList{"FF0018"} << QString();
    QTest::newRow("leading bytes skipped") << QStringList{"31320D0AFF0000"} << QStringList{"FF0000"} << QString();
    QTest::newRow("zone upload") << QStringList{"FF0003"} << QStringList{"FF0003"} << QString();
    QTest::newRow("settings back to back")
        << QStringList{settings02 + settings08 + settings0B + "FF0018"}
        << QStringList{settings02, settings08, settings0B, "FF0018"} << QString();
    QTest::newRow("settings in pieces") << QStringList{settings02.left(10), settings02.mid(10)}
                                        << QStringList{settings02} << QString();
    QTest::newRow("password waits for quiet") << QStringList{"FF010231323334"} << QStringList{}
                                              << QStringLiteral("FF010231323334");
    QTest::newRow("reminder waits for quiet") << QStringList{"FF0C15101100010011", "01"} << QStringList{}
                                              << QStringLiteral("FF0C1510110001001101");
    QTest::newRow("zone message holding FF") << QStringList{"FF0D02FF00"} << QStringList{}
                                             << QStringLiteral("FF0D02FF00");
    QTest::newRow("truncated settings frame ends on quiet") << QStringList{"FF0201020304"} << QStringList{}
                                                            << QStringLiteral("FF0201020304");
    QTest::newRow("lone start byte") << QStringList{"FF"} << QStringList{} << QStringLiteral("FF");
    QTest::newRow("nothing but noise") << QStringList{"00112233"} << QStringList{} << QString();
    QTest::newRow("fixed frame then open one") << QStringList{"FF0018FF0102"} << QStringList{"FF0018"}
                                               << QStringLiteral("FF0102");
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

void PanelSimTest::classifiesFrames_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("index");

    auto row = [](const char *name, const QString &frame, FrameKind kind, int index = 0) {
        QTest::newRow(name) << frame << int(kind) << index;
    };
    row("detection", QStringLiteral("FF0018"), FrameKind::Detection);
    row("upload request", QStringLiteral("FF0000"), FrameKind::UploadRequest);
    row("zone 3 upload", QStringLiteral("FF0003"), FrameKind::ZoneUpload, 2);
    row("zone 4 upload", QStringLiteral("FF0004"), FrameKind::Unknown);
    row("password", passwordFrame(QStringLiteral("1234")), FrameKind::Password);
    row("empty password", QStringLiteral("FF0102"), FrameKind::Password);
    row("FF01 without 02", QStringLiteral("FF0103"), FrameKind::Unknown);
    row("receiving number 6", QStringLiteral("FF07") + QString(36, QLatin1Char('0')), FrameKind::ReceivingNumber, 5);
    row("GSM number 3", QStringLiteral("FF0A") + QString(34, QLatin1Char('0')), FrameKind::GsmNumber, 2);
    row("password and relays", QStringLiteral("FF0B050709030201"), FrameKind::PasswordRelays);
    row("reminder", QStringLiteral("FF0C15101101010010") + QStringLiteral("01"), FrameKind::Reminder);
    row("reminder with count byte 07", QStringLiteral("FF0C07000000000000") + QStringLiteral("00"), FrameKind::Reminder);
    row("zone 1 message of 7", zoneFrame(1, QStringLiteral("Kitchen")), FrameKind::ZoneMessage, 0);
    row("zone 1 message of 1", zoneFrame(1, QStringLiteral("A")), FrameKind::ZoneMessage, 0);
    row("zone 2 message", zoneFrame(2, QStringLiteral("Door")), FrameKind::ZoneMessage, 1);
    row("zone 3 message", zoneFrame(3, QStringLiteral("Hall")), FrameKind::ZoneMessage, 2);
    row("FF0C flag 02, count off", QStringLiteral("FF0C15020000000000") + QStringLiteral("00"), FrameKind::Malformed);
    row("FF0C too short", QStringLiteral("FF0C1510"), FrameKind::Malformed);
    row("unknown command", QStringLiteral("FF2000"), FrameKind::Unknown);
    row("lone start byte", QStringLiteral("FF"), FrameKind::Unknown);
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

void PanelSimTest::refusesMalformedSettings_data()
{
    QTest::addColumn<QString>("frame");

    const QString zeros15 = QString(30, QLatin1Char('0'));
    QTest::newRow("digit byte 0A") << QStringLiteral("FF0203010A03") + QString(26, QLatin1Char('0')) + "01";
    QTest::newRow("count 17") << QStringLiteral("FF0211") + QString(32, QLatin1Char('0')) + "01";
    QTest::newRow("report type 6") << QStringLiteral("FF0200") + QString(32, QLatin1Char('0')) + "06";
    QTest::newRow("receiving number one byte short") << QStringLiteral("FF0200") + QString(32, QLatin1Char('0'));
    QTest::newRow("GSM digit byte 10") << QStringLiteral("FF080110") + zeros15;
    QTest::newRow("GSM count 20") << QStringLiteral("FF0820") + QString(32, QLatin1Char('0'));
    QTest::newRow("GSM one byte long") << QStringLiteral("FF0800") + QString(34, QLatin1Char('0'));
    QTest::newRow("password digit 0A") << QStringLiteral("FF0B01020A040102");
    QTest::newRow("N.O relay 3") << QStringLiteral("FF0B010203040301");
    QTest::newRow("N.C relay 3") << QStringLiteral("FF0B010203040103");
    QTest::newRow("password and relays short") << QStringLiteral("FF0B0102030401");
    QTest::newRow("reminder inside 02") << QStringLiteral("FF0C15000000000000") + "02";
    QTest::newRow("reminder flag 2") << QStringLiteral("FF0C15200000000000") + "00";
}

void PanelSimTest::refusesMalformedSettings()
{
    QFETCH(QString, frame);

    PanelState state;
    const PanelResponder::Response response = PanelResponder("1234").respond(bytes(frame), &state);
    QCOMPARE(response.replies, QList<QByteArray>{bytes(QLatin1String(PanelFrames::DataError) + Terminator)});
    QVERIFY(!response.stateChanged);
    QVERIFY(state == PanelState());
}

void PanelSimTest::uploadGivesBackWhatWasStored_data()
{
    QTest::addColumn<QStringList>("frames");

    QTest::newRow("varied") << downloadFrames(variedSettings());
    QTest::newRow("all empty") << downloadFrames(Settings());
    Settings full;
    full.numbers = QStringList(6, QStringLiteral("9999999999999999"));
    full.types = {5, 5, 5, 5, 5, 5};
    full.gsm = QStringList(3, QStringLiteral("0000000000000001"));
    full.password = QStringLiteral("9999");
    full.relayNO = full.relayNC = 2;
    full.interval = QStringLiteral("99");
    full.reportFlags = full.lineFaultFlags = QStringLiteral("111111");
    full.inside = 1;
    QTest::newRow("everything at its largest") << downloadFrames(full);
}

void PanelSimTest::uploadGivesBackWhatWasStored()
{
    QFETCH(QStringList, frames);

    PanelState state;
    const PanelResponder panel("1234");
    for (const QString &frame : frames) {
        const PanelResponder::Response response = panel.respond(bytes(frame), &state);
        QVERIFY2(response.stateChanged, qPrintable(frame));
        QVERIFY2(response.replies.isEmpty(), qPrintable(frame));
    }
    QCOMPARE(UploadReplies::settings(state), repliesFor(frames));
}

void PanelSimTest::factoryStateUpload()
{
    QCOMPARE(UploadReplies::settings(PanelState()), factoryUpload());
    for (int zone = 0; zone < PanelState::Zones; ++zone)
        QCOMPARE(UploadReplies::zoneText(PanelState(), zone), Terminator);
}

void PanelSimTest::answersFrames_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<bool>("stored");

    const QString accepted = QLatin1String(PanelFrames::PasswordAccepted) + Terminator;
    const QString refused = QLatin1String(PanelFrames::PasswordRefused) + Terminator;
    const QString dataError = QLatin1String(PanelFrames::DataError) + Terminator;
    QTest::newRow("detection") << QStringLiteral("FF0018") << QStringList{"FF6F0D0A"} << false;
    QTest::newRow("right password") << passwordFrame(QStringLiteral("1234")) << QStringList{accepted} << false;
    QTest::newRow("wrong password") << passwordFrame(QStringLiteral("1235")) << QStringList{refused} << false;
    QTest::newRow("longer password") << passwordFrame(QStringLiteral("12345")) << QStringList{refused} << false;
    QTest::newRow("empty password") << QStringLiteral("FF0102") << QStringList{refused} << false;
    QTest::newRow("zone message") << zoneFrame(2, QStringLiteral("Door")) << QStringList{} << true;
    QTest::newRow("zone message count off") << QStringLiteral("FF0D05446F6F72") << QStringList{dataError} << false;
    QTest::newRow("unknown request") << QStringLiteral("FF0019") << QStringList{} << false;
    QTest::newRow("unknown command") << QStringLiteral("FF4000") << QStringList{} << false;
}

void PanelSimTest::answersFrames()
{
    QFETCH(QString, frame);
    QFETCH(QStringList, replies);
    QFETCH(bool, stored);

    PanelState state;
    const PanelResponder::Response response = PanelResponder("1234").respond(bytes(frame), &state);
    QStringList got;
    for (const QByteArray &reply : response.replies)
        got << hex(reply);
    QCOMPARE(got, replies);
    QCOMPARE(response.stateChanged, stored);
    QCOMPARE(state != PanelState(), stored);
}

void PanelSimTest::stateJsonRoundTrip()
{
    PanelState state;
    const PanelResponder panel("1234");
    for (const QString &frame : downloadFrames(variedSettings()))
        panel.respond(bytes(frame), &state);
    panel.respond(bytes(zoneFrame(3, QStringLiteral("Caf\u00e9"))), &state);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.json"));
    QString error;
    QVERIFY2(StateFile::save(path, state, &error), qPrintable(error));
    PanelState loaded;
    QVERIFY2(StateFile::load(path, &loaded, &error), qPrintable(error));
    QVERIFY(loaded == state);

    const QJsonObject json = StateFile::toJson(state);
    const QJsonObject second = json.value("receivingNumbers").toArray().at(1).toObject();
    QCOMPARE(second.value("count").toInt(), 0); // "000" goes out with count 00
    QCOMPARE(second.value("digits").toString(), QStringLiteral("0000000000000000"));
    QCOMPARE(json.value("receivingNumbers").toArray().at(0).toObject().value("number").toString(),
             QStringLiteral("5550187"));
    QCOMPARE(json.value("interval").toString(), QStringLiteral("15"));
    QCOMPARE(json.value("reportFlags").toArray(), (QJsonArray{1, 0, 1, 1, 0, 0}));
    QCOMPARE(json.value("zoneTexts").toArray().at(2).toString(), QStringLiteral("Caf\u00e9"));
}

void PanelSimTest::stateJsonNumberShorthand()
{
    const QJsonObject json{
        {"gsmNumbers", QJsonArray{QJsonObject{{"number", "0012"}}, QJsonObject{{"number", "000"}},
                                  QJsonObject{{"number", "55"}, {"count", 5}}}},
        {"relayNO", 1},
        {"inside", true},
    };
    PanelState state;
    QString error;
    QVERIFY2(StateFile::fromJson(json, &state, &error), qPrintable(error));
    QCOMPARE(state.gsmNumbers[0].count, 4);
    QCOMPARE(state.gsmNumbers[0].digits, QStringLiteral("0012000000000000"));
    QCOMPARE(state.gsmNumbers[1].count, 0);
    QCOMPARE(state.gsmNumbers[2].count, 5);
    QCOMPARE(state.relayNO, 1);
    QCOMPARE(state.relayNC, PanelState::RelayPullIn); // untouched keys keep factory values
    QCOMPARE(state.wirelessPassword, QStringLiteral("5793"));
    QVERIFY(state.inside);
}

void PanelSimTest::stateJsonRejectsBadValues_data()
{
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("five receiving numbers") << QByteArray(R"({"receivingNumbers":[{},{},{},{},{}]})");
    QTest::newRow("report type 6") << QByteArray(R"({"receivingNumbers":[{"type":6},{},{},{},{},{}]})");
    QTest::newRow("count 17") << QByteArray(R"({"gsmNumbers":[{"count":17},{},{}]})");
    QTest::newRow("letter in digits") << QByteArray(R"({"gsmNumbers":[{"digits":"12a"},{},{}]})");
    QTest::newRow("17 digits") << QByteArray(R"({"gsmNumbers":[{"number":"12345678901234567"},{},{}]})");
    QTest::newRow("password of 3") << QByteArray(R"({"wirelessPassword":"123"})");
    QTest::newRow("relay 3") << QByteArray(R"({"relayNC":3})");
    QTest::newRow("interval of 3 digits") << QByteArray(R"({"interval":"150"})");
    QTest::newRow("flag 2") << QByteArray(R"({"lineFaultFlags":[0,0,2,0,0,0]})");
    QTest::newRow("inside 2") << QByteArray(R"({"inside":2})");
    QTest::newRow("zone text beyond Latin-1") << QByteArray(R"({"zoneTexts":["\u20ac","",""]})");
}

void PanelSimTest::stateJsonRejectsBadValues()
{
    QFETCH(QByteArray, json);

    PanelState state;
    QString error;
    QVERIFY(!StateFile::fromJson(QJsonDocument::fromJson(json).object(), &state, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(state == PanelState());
}

void PanelSimTest::plansWrites_data()
{
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<bool>("coalesce");
    QTest::addColumn<QString>("stray");
    QTest::addColumn<QStringList>("writes");

    const QStringList three{"FF510D0A", "FF520D0A", "FF530D0A"};
    QTest::newRow("plain") << three << false << QString() << three;
    QTest::newRow("coalesced pairs, odd one alone")
        << three << true << QString() << QStringList{"FF510D0AFF520D0A", "FF530D0A"};
    QTest::newRow("stray in front of each") << QStringList{"FF6F0D0A"} << false << QStringLiteral("3132")
                                            << QStringList{"3132FF6F0D0A"};
    QTest::newRow("stray and coalesced")
        << three.mid(0, 2) << true << QStringLiteral("AA") << QStringList{"AAFF510D0AAAFF520D0A"};
}

void PanelSimTest::plansWrites()
{
    QFETCH(QStringList, replies);
    QFETCH(bool, coalesce);
    QFETCH(QString, stray);
    QFETCH(QStringList, writes);

    QList<QByteArray> input;
    for (const QString &reply : replies)
        input << bytes(reply);
    ReplyShape shape;
    shape.coalesce = coalesce;
    shape.stray = bytes(stray);
    QRandomGenerator random(7);
    QStringList got;
    for (const WriteUnit &unit : planWrites(input, shape, random)) {
        QCOMPARE(unit.size(), 1);
        got << hex(unit.first());
    }
    QCOMPARE(got, writes);
}

void PanelSimTest::splitsIntoPieces()
{
    ReplyShape shape;
    shape.split = true;
    QRandomGenerator random(11);
    const QList<QByteArray> replies{bytes(factoryUpload().first()), bytes(QStringLiteral("0D0A")),
                                    bytes(QStringLiteral("0A"))};
    for (int round = 0; round < 50; ++round) {
        const QList<WriteUnit> units = planWrites(replies, shape, random);
        QCOMPARE(units.size(), replies.size());
        for (int i = 0; i < units.size(); ++i) {
            const int expected = replies[i].size() < 2 ? 1 : 2;
            QVERIFY(units[i].size() >= expected);
            QVERIFY(units[i].size() <= qMin(5, int(replies[i].size())));
            QByteArray joined;
            for (const QByteArray &piece : units[i]) {
                QVERIFY(!piece.isEmpty());
                joined += piece;
            }
            QCOMPARE(joined, replies[i]);
        }
    }
}

void PanelSimTest::parsesOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");

    QTest::newRow("none") << QStringList{} << true;
    QTest::newRow("all") << QStringList{"--link", "/tmp/x", "--state", "/tmp/s.json", "--password", "42",
                                        "--gap", "50", "--reply-gap", "0", "--no-pacing", "--silent",
                                        "--detect-delay", "100", "--split", "--coalesce", "--stray", "3132",
                                        "--refuse", "--hangup-after", "3", "--trace"}
                         << true;
    QTest::newRow("gap 0") << QStringList{"--gap", "0"} << false;
    QTest::newRow("gap not a number") << QStringList{"--gap", "soon"} << false;
    QTest::newRow("hang up after 0") << QStringList{"--hangup-after", "0"} << false;
    QTest::newRow("stray not hex") << QStringList{"--stray", "31G2"} << false;
    QTest::newRow("stray odd") << QStringList{"--stray", "313"} << false;
    QTest::newRow("unknown option") << QStringList{"--loud"} << false;
    QTest::newRow("stray argument") << QStringList{"extra"} << false;
}

void PanelSimTest::parsesOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);

    QCommandLineParser parser;
    SimOptions options;
    QString error;
    QCOMPARE(parseSimOptions(parser, QStringList{"kv4810g-panelsim"} + arguments, &options, &error), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (arguments.size() > 1 && valid) {
        QCOMPARE(options.linkPath, QStringLiteral("/tmp/x"));
        QCOMPARE(options.statePath, QStringLiteral("/tmp/s.json"));
        QCOMPARE(options.accessPassword, QByteArray("42"));
        QCOMPARE(options.gapMs, 50);
        QCOMPARE(options.pacing.replyGapMs, 0);
        QVERIFY(!options.pacing.paced);
        QVERIFY(options.silent && options.shape.split && options.shape.coalesce && options.refuse && options.trace);
        QCOMPARE(options.detectDelayMs, 100);
        QCOMPARE(options.shape.stray, QByteArray("12"));
        QCOMPARE(options.hangupAfter, 3);
    } else if (valid) {
        QCOMPARE(options.accessPassword, QByteArray("1234"));
        QCOMPARE(options.gapMs, 30);
        QCOMPARE(options.pacing.replyGapMs, 20);
        QVERIFY(options.pacing.paced);
        QCOMPARE(options.hangupAfter, 0);
    }
}

// ---- The program over its pseudo-terminal -----------------------------------

void PanelSimTest::answersDetection()
{
    START_SESSION(s, "--no-pacing");
    QCOMPARE(s.port.ask(QLatin1String(PanelFrames::Detect)), QLatin1String(PanelFrames::PanelAnswer) + Terminator);
}

void PanelSimTest::checksPassword_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("reply");

    const QString accepted = QLatin1String(PanelFrames::PasswordAccepted);
    const QString refused = QLatin1String(PanelFrames::PasswordRefused);
    QTest::newRow("default, right") << QStringList{} << QStringLiteral("1234") << accepted;
    QTest::newRow("default, wrong") << QStringList{} << QStringLiteral("4321") << refused;
    QTest::newRow("default, empty") << QStringList{} << QString() << refused;
    QTest::newRow("default, too short") << QStringList{} << QStringLiteral("123") << refused;
    QTest::newRow("own, right") << QStringList{"--password", "9A0z"} << QStringLiteral("9A0z") << accepted;
    QTest::newRow("own, default refused") << QStringList{"--password", "0000"} << QStringLiteral("1234") << refused;
}

void PanelSimTest::checksPassword()
{
    QFETCH(QStringList, options);
    QFETCH(QString, typed);
    QFETCH(QString, reply);

    START_SESSION(s, QStringList{"--no-pacing"} + options);
    QCOMPARE(s.port.ask(passwordFrame(typed)), reply + Terminator);
}

void PanelSimTest::storesSettingsAndUploadsThemBack_data()
{
    QTest::addColumn<QStringList>("frames");

    QTest::newRow("varied") << downloadFrames(variedSettings());
    QTest::newRow("all empty") << downloadFrames(Settings());
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
    QVERIFY(s.port.replies().isEmpty());

    s.port.send(QLatin1String(PanelFrames::UploadRequest));
    QVERIFY(s.port.waitForReplies(11));
    QCOMPARE(s.port.replies(), repliesFor(frames));
}

void PanelSimTest::answersMalformedFrames_data()
{
    QTest::addColumn<QString>("frame");

    QTest::newRow("digit byte 0A") << QStringLiteral("FF0303010A03") + QString(26, QLatin1Char('0')) + "01";
    QTest::newRow("report type 6") << QStringLiteral("FF0700") + QString(32, QLatin1Char('0')) + "06";
    QTest::newRow("GSM count 17") << QStringLiteral("FF0911") + QString(32, QLatin1Char('0'));
    QTest::newRow("relay 3") << QStringLiteral("FF0B010203040301");
    QTest::newRow("reminder flag 2") << QStringLiteral("FF0C15200000000000") + "00";
    QTest::newRow("reminder short") << QStringLiteral("FF0C1510");
    QTest::newRow("truncated number frame") << QStringLiteral("FF0405050505");
    QTest::newRow("zone count off") << QStringLiteral("FF0E09446F6F72");
}

void PanelSimTest::answersMalformedFrames()
{
    QFETCH(QString, frame);

    START_SESSION(s, "--no-pacing");
    QCOMPARE(s.port.ask(frame), QLatin1String(PanelFrames::DataError) + Terminator);
    s.port.send(QLatin1String(PanelFrames::UploadRequest));
    QVERIFY(s.port.waitForReplies(12));
    QCOMPARE(s.port.replies().mid(1), factoryUpload());
}

void PanelSimTest::ignoresUnknownFrames_data()
{
    QTest::addColumn<QString>("frame");

    QTest::newRow("other request") << QStringLiteral("FF0019");
    QTest::newRow("zone 4 upload") << QStringLiteral("FF0004");
    QTest::newRow("FF01 without 02") << QStringLiteral("FF01033132");
    QTest::newRow("unknown command") << QStringLiteral("FF2000");
    QTest::newRow("lone start byte") << QStringLiteral("FF");
}

void PanelSimTest::ignoresUnknownFrames()
{
    QFETCH(QString, frame);

    START_SESSION(s, "--no-pacing");
    s.port.send(frame);
    QVERIFY(s.sim.waitForFrame(frame));
    // Bytes that start no frame are skipped on the way to the next one.
    QCOMPARE(s.port.ask(QStringLiteral("0D0A3132") + QLatin1String(PanelFrames::Detect)),
             QLatin1String(PanelFrames::PanelAnswer) + Terminator);
    QCOMPARE(s.port.replies().size(), 1);
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
    for (int z = 1; z <= 3; ++z)
        QCOMPARE(s.port.ask(zoneUpload(z)), (z == zone ? TextHex(text).text : QString()) + Terminator);
    // A zone 1 message is not the reminder settings frame.
    s.port.send(QLatin1String(PanelFrames::UploadRequest));
    QVERIFY(s.port.waitForReplies(3 + 11));
    QCOMPARE(s.port.replies().mid(3), factoryUpload());
}

void PanelSimTest::writesAndLoadsStateFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("panel.json"));
    const QStringList frames = downloadFrames(variedSettings());
    auto readJson = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    };
    {
        START_SESSION(s, "--no-pacing", "--state", path);
        QTRY_VERIFY_WITH_TIMEOUT(readJson().value("wirelessPassword").toString() == QLatin1String("5793"), 5000);
        for (const QString &frame : frames)
            s.port.send(frame);
        QVERIFY(s.sim.waitForFrame(frames.last())); // ended by the quiet gap
        s.port.send(zoneFrame(2, QStringLiteral("Door")));
        QVERIFY(s.sim.waitForFrame(zoneFrame(2, QStringLiteral("Door"))));
        QTRY_VERIFY_WITH_TIMEOUT(readJson().value("zoneTexts").toArray().at(1).toString() == QLatin1String("Door"), 5000);
        const QJsonObject json = readJson();
        const QJsonObject first = json.value("receivingNumbers").toArray().at(0).toObject();
        QCOMPARE(first.value("number").toString(), QStringLiteral("5550187"));
        QCOMPARE(first.value("type").toInt(), 2);
        QCOMPARE(json.value("gsmNumbers").toArray().at(0).toObject().value("number").toString(),
                 QStringLiteral("13800138000"));
        QCOMPARE(json.value("wirelessPassword").toString(), QStringLiteral("0420"));
        QCOMPARE(json.value("relayNO").toInt(), 1);
        QCOMPARE(json.value("relayNC").toInt(), 2);
        QCOMPARE(json.value("interval").toString(), QStringLiteral("15"));
        QCOMPARE(json.value("lineFaultFlags").toArray(), (QJsonArray{0, 1, 0, 0, 1, 1}));
        QCOMPARE(json.value("inside").toInt(), 1);
    }
    START_SESSION(s, "--no-pacing", "--state", path);
    s.port.send(QLatin1String(PanelFrames::UploadRequest));
    QVERIFY(s.port.waitForReplies(11));
    QCOMPARE(s.port.replies(), repliesFor(frames));
    QCOMPARE(s.port.ask(zoneUpload(2)), TextHex(QStringLiteral("Door")).text + Terminator);
}

void PanelSimTest::deviceCanBeReopened()
{
    // The line stays raw across opens: a carriage return would otherwise
    // arrive as a line feed, and the program's frames would be echoed.
    Simulator sim({"--no-pacing"});
    const QString answer = QLatin1String(PanelFrames::PanelAnswer) + Terminator;
    const QString detect = QLatin1String(PanelFrames::Detect);
    QCOMPARE(hex(askPlainly(sim.devicePath(), detect, 4)), answer);
    for (int round = 0; round < 2; ++round) {
        LinePort port;
        QVERIFY(port.open(sim.devicePath()));
        QCOMPARE(port.ask(detect), answer);
        port.close();
        QCOMPARE(hex(askPlainly(sim.devicePath(), detect, 4)), answer);
    }
    QVERIFY(sim.waitForFrame(detect));
    QVERIFY(!sim.trace().contains(QStringLiteral(" <- FF6F")));
}

void PanelSimTest::staysIdleWhileDeviceClosed()
{
    // With nobody holding the device the master would report hang-up on
    // every poll; the simulator must not spin on it.
    Simulator sim({"--no-pacing"});
    QCOMPARE(hex(askPlainly(sim.devicePath(), QLatin1String(PanelFrames::Detect), 4)),
             QLatin1String(PanelFrames::PanelAnswer) + Terminator);
    const qint64 before = cpuTicks(sim.process().processId());
    QTest::qWait(1000);
    const qint64 used = cpuTicks(sim.process().processId()) - before;
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
    QVERIFY(!sim.devicePath().isEmpty());
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.devicePath());
    LinePort port;
    QVERIFY(port.open(link));
    QCOMPARE(port.ask(QLatin1String(PanelFrames::Detect)), QLatin1String(PanelFrames::PanelAnswer) + Terminator);

    ::kill(pid_t(sim.process().processId()), signalNumber);
    QVERIFY(sim.process().waitForFinished(5000));
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

void PanelSimTest::listsOptions()
{
    QProcess process;
    process.start(QStringLiteral(PANELSIM_PATH), {"--help"});
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(process.readAllStandardOutput());
    for (const char *option : {"--link", "--state", "--password", "--gap", "--reply-gap", "--no-pacing", "--silent",
                               "--detect-delay", "--split", "--coalesce", "--stray", "--refuse", "--hangup-after",
                               "--trace"})
        QVERIFY2(help.contains(QLatin1String(option)), option);
}

void PanelSimTest::pacesReplies()
{
    START_SESSION(s, "--reply-gap", "0");
    QElapsedTimer clock;
    clock.start();
    s.port.send(QLatin1String(PanelFrames::UploadRequest));
    QVERIFY(s.port.waitForReplies(11));
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(s.port.replies(), factoryUpload());
    const int lineBytes = factoryUpload().join(QString()).size() / 2;
    QVERIFY2(elapsed >= lineBytes, qPrintable(QStringLiteral("%1 bytes in %2 ms").arg(lineBytes).arg(elapsed)));
}

void PanelSimTest::silentNeverAnswersDetection()
{
    START_SESSION(s, "--no-pacing", "--silent");
    s.port.send(QLatin1String(PanelFrames::Detect));
    QVERIFY(s.sim.waitForFrame(QLatin1String(PanelFrames::Detect)));
    QTest::qWait(1500);
    QVERIFY(s.port.reads().isEmpty());
    QCOMPARE(s.port.ask(passwordFrame(QStringLiteral("1234"))),
             QLatin1String(PanelFrames::PasswordAccepted) + Terminator);
}

void PanelSimTest::answersDetectionLate()
{
    START_SESSION(s, "--no-pacing", "--detect-delay", "400");
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(s.port.ask(QLatin1String(PanelFrames::Detect)), QLatin1String(PanelFrames::PanelAnswer) + Terminator);
    QVERIFY(clock.elapsed() >= 400);
}

void PanelSimTest::splitRepliesStayComplete()
{
    START_SESSION(s, "--split", "--reply-gap", "5");
    s.port.send(QLatin1String(PanelFrames::UploadRequest));
    QVERIFY(s.port.waitForReplies(11));
    QCOMPARE(s.port.replies(), factoryUpload());
    // Some read ended inside a reply.
    bool cut = false;
    for (const QByteArray &read : s.port.reads())
        cut = cut || !read.endsWith("\r\n");
    QVERIFY(cut);
}

void PanelSimTest::coalescesReplies()
{
    START_SESSION(s, "--coalesce");
    s.port.send(QLatin1String(PanelFrames::UploadRequest));
    QVERIFY(s.port.waitForReplies(11));
    QCOMPARE(s.port.replies(), factoryUpload());
    bool twoInOne = false;
    for (const QByteArray &read : s.port.reads())
        twoInOne = twoInOne || read.count("\r\n") >= 2;
    QVERIFY(twoInOne);
}

void PanelSimTest::putsStrayBytesInFront()
{
    START_SESSION(s, "--no-pacing", "--stray", "3132");
    QCOMPARE(s.port.ask(QLatin1String(PanelFrames::Detect)),
             QStringLiteral("3132") + QLatin1String(PanelFrames::PanelAnswer) + Terminator);
    QCOMPARE(s.port.ask(passwordFrame(QStringLiteral("1234"))),
             QStringLiteral("3132") + QLatin1String(PanelFrames::PasswordAccepted) + Terminator);
}

void PanelSimTest::refusesSettings()
{
    START_SESSION(s, "--no-pacing", "--refuse");
    const QString dataError = QLatin1String(PanelFrames::DataError) + Terminator;
    const QStringList frames = downloadFrames(variedSettings());
    for (const QString &frame : {frames[0], frames[6], frames[9], frames[10]})
        QCOMPARE(s.port.ask(frame), dataError);
    s.port.send(QLatin1String(PanelFrames::UploadRequest));
    QVERIFY(s.port.waitForReplies(4 + 11));
    QCOMPARE(s.port.replies().mid(4), factoryUpload());
    QCOMPARE(s.port.ask(passwordFrame(QStringLiteral("1234"))),
             QLatin1String(PanelFrames::PasswordAccepted) + Terminator);
}

void PanelSimTest::hangsUpAfterFrames()
{
    START_SESSION(s, "--no-pacing", "--hangup-after", "2");
    const QString answer = QLatin1String(PanelFrames::PanelAnswer) + Terminator;
    QCOMPARE(s.port.ask(QLatin1String(PanelFrames::Detect)), answer);
    QCOMPARE(s.port.ask(QLatin1String(PanelFrames::Detect)), answer);
    QVERIFY(s.port.waitForLoss());
    QTRY_COMPARE_WITH_TIMEOUT(s.sim.process().state(), QProcess::NotRunning, 5000);
    QCOMPARE(s.sim.process().exitCode(), 0);
}

QTEST_GUILESS_MAIN(PanelSimTest)

#include "tst_panelsim.moc"
