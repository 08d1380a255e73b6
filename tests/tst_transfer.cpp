// Settings download, settings upload and zone messages, through the main
// window against the panel simulator or a pseudo-terminal played by the test,
// also when the panel answers badly or the line is lost.
#include "ptypair.h"
#include "simulatorprocess.h"
#include "windowtest.h"

#include <QComboBox>
#include <QLineEdit>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

Q_DECLARE_METATYPE(PanelSettings)

using namespace WindowTest;

namespace {

// The panel's settings file as the simulator last wrote it.
QJsonObject panelState(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

// The eleven frames of a download of a fresh window's settings.
const QByteArray StartValuesDownload = QByteArray::fromHex(
    QString("FF02%1FF03%1FF04%1FF05%1FF06%1FF07%1FF08%2FF09%2FF0A%2FF0B050709030201FF0C%3")
        .arg(QString(36, '0'), QString(34, '0'), QString(16, '0')).toLatin1());

const QString Downloaded = "System Information: finish download!";
const QString Uploaded = "system information: finish Upload!";

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { Messages::setResponder(nullptr); }
    void downloadThenUpload_data();
    void downloadThenUpload();
    void duringDownload_data();
    void duringDownload();
    void panelHangsUpDuringDownload();
    void lineLost_data();
    void lineLost();

private:
    QStringList m_shown; // "title: text" of every box shown
};

void TestTransfer::init()
{
    logMessages(&m_shown);
}

void TestTransfer::downloadThenUpload_data()
{
    QTest::addColumn<QStringList>("simulator");
    QTest::addColumn<PanelSettings>("settings");
    QTest::addColumn<int>("finishes"); // every "FF5B" ends an upload for the user
    QTest::addColumn<int>("zone");     // 0: no zone message
    QTest::addColumn<QString>("text"); // the zone's message
    // Every report type and none; leading zeros; both relay states each
    // way; the flag pairs 00, 01, 10 and 11 in both flag groups.
    PanelSettings a;
    a.TxtName = "shop";
    a.TxtAni = "17";
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
    PanelSettings b = a;
    std::reverse(b.Txt.begin(), b.Txt.end());
    std::reverse(b.Cmb.begin(), b.Cmb.end());
    std::swap(b.CmbChanKai, b.CmbChanBi);
    std::swap(b.CkShangBao, b.CkTel);
    b.TxtDuanXin = {"", "10", "5550187"};
    b.TxtMiMa = "9876";
    b.TxtTian = "07";
    b.CkNX = false;
    const QString latin1 = QString("Garage, c%1t%2 rue").arg(QChar(0xF4)).arg(QChar(0xE9));
    QTest::newRow("replies one by one") << QStringList() << a << 1 << 1 << "Kitchen window";
    QTest::newRow("replies in pieces") << QStringList{"--split"} << b << 1 << 3 << latin1;
    QTest::newRow("two replies a read") << QStringList{"--coalesce"} << a << 1 << 2 << "Door";
    QTest::newRow("stray bytes in front") << QStringList{"--stray", "31320D"} << b << 1 << 0 << "";
    QTest::newRow("every reply twice") << QStringList{"--twice"} << a << 2 << 0 << "";
    QTest::newRow("late, in pieces") << QStringList{"--reply-gap", "400", "--split"} << b << 1 << 0 << "";
}

// Settings there and back, then a zone's message there and back.
void TestTransfer::downloadThenUpload()
{
    QFETCH(QStringList, simulator);
    QFETCH(PanelSettings, settings);
    QFETCH(int, finishes);
    QFETCH(int, zone);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString stateFile = dir.filePath("panel.json");
    SimulatorProcess panel(simulator + QStringList{"--state", stateFile});
    QVERIFY(panel.isReady());
    frmmain window;
    openOn(window, panel.device());
    window.setSettings(settings);

    click(window, "ComSend");
    QCOMPARE(m_shown, QStringList{Downloaded});
    QVERIFY(!window.progress().isRunning());
    // The panel ends the last frame when the line goes quiet; an upload sent sooner would run into it.
    QTRY_COMPARE(panelState(stateFile).value("interval").toString(), settings.TxtTian);

    PanelSettings wiped = PanelSettings::startValues();
    wiped.TxtName = settings.TxtName;
    wiped.TxtAni = settings.TxtAni;
    window.setSettings(wiped);
    click(window, "CmdRead");
    QVERIFY(window.progress().isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(m_shown.count(Uploaded), finishes, 15000);
    QTest::qWait(300); // no further box follows
    QCOMPARE(m_shown.size(), 1 + finishes);
    QCOMPARE(window.settings(), settings);
    QVERIFY(!window.progress().isRunning());
    if (zone == 0)
        return;

    auto *message = window.findChild<QPlainTextEdit *>("Text6");
    window.findChild<QComboBox *>("CmbFangQu")->setCurrentIndex(zone - 1);
    message->setPlainText(text);
    click(window, "CmdDXSend");
    QCOMPARE(m_shown.size(), 3);
    QCOMPARE(m_shown.last(), Downloaded);
    QTRY_COMPARE(panelState(stateFile).value("zoneTexts").toArray().at(zone - 1).toString(), text);
    message->clear();
    click(window, "Command2");
    QTRY_COMPARE(m_shown.size(), 4);
    QCOMPARE(m_shown.last(), Uploaded);
    QCOMPARE(message->toPlainText(), text);
}

// Whatever happens after the first frame, exactly the eleven frames go out once, in order.
void TestTransfer::duringDownload_data()
{
    QTest::addColumn<bool>("dataError"); // else Download is clicked again
    QTest::addColumn<QString>("first");
    QTest::newRow("panel answers FF5000") << true << "System Information: Data Error!";
    QTest::newRow("Download clicked again") << false << "system information: download in progress, please wait!";
}

void TestTransfer::duringDownload()
{
    QFETCH(bool, dataError);
    QFETCH(QString, first);
    PtyPair line;
    QVERIFY(line.isValid());
    frmmain window;
    openOn(window, line.devicePath());

    // Plays the panel from inside the download's waits.
    QByteArray received;
    bool happened = false;
    QTimer panel;
    connect(&panel, &QTimer::timeout, [&] {
        received += line.readAvailable();
        if (happened || received.size() < 20)
            return;
        happened = true;
        if (dataError)
            line.write(QByteArray::fromHex("FF50000D0A"));
        else
            click(window, "ComSend");
    });
    panel.start(5);
    click(window, "ComSend");
    panel.stop();
    received += line.read(int(StartValuesDownload.size() - received.size()), 1000);

    QVERIFY(happened);
    QCOMPARE(received.toHex().toUpper(), StartValuesDownload.toHex().toUpper());
    QCOMPARE(m_shown, (QStringList{first, Downloaded}));
    QVERIFY(!window.progress().isRunning());
}

void TestTransfer::panelHangsUpDuringDownload()
{
    SimulatorProcess panel({"--no-pacing", "--hangup-after", "3"});
    QVERIFY(panel.isReady());
    frmmain window;
    openOn(window, panel.device());

    click(window, "ComSend");
    QCOMPARE(m_shown.size(), 1); // the lost line has no box of its own here
    QVERIFY2(m_shown.last().contains(": download not complete") && m_shown.last().contains("did not get all settings"),
             qPrintable(m_shown.last()));
    QVERIFY(!window.progress().isRunning());
    QVERIFY(!window.link().isOpen());
}

void TestTransfer::lineLost_data()
{
    QTest::addColumn<bool>("uploading");
    QTest::newRow("while idle") << false;
    QTest::newRow("during an upload") << true;
}

// The window says so once, keeps what arrived, and a port opens again.
void TestTransfer::lineLost()
{
    QFETCH(bool, uploading);
    PtyPair line;
    frmmain window;
    openOn(window, line.devicePath());
    if (uploading) {
        click(window, "CmdRead");
        QCOMPARE(line.read(3).toHex().toUpper(), QByteArray("FF0000"));
        // "FF51" with the number 123 and type 02, then half of "FF52".
        line.write(QByteArray::fromHex("FF5103010203" "00000000000000000000000000" "020D0A" "FF5203"));
        QTRY_COMPARE(window.findChild<QLineEdit *>("Txt1")->text(), QString("123"));
    }
    line.releaseSlave();
    line.closeMaster();
    QTRY_COMPARE(m_shown, QStringList{"System Information: Serial port disconnected!"});
    QTest::qWait(300);
    QCOMPARE(m_shown.size(), 1);
    QVERIFY(!window.link().isOpen());
    QCOMPARE(window.findChild<QLineEdit *>("Txt1")->text(), QString(uploading ? "123" : ""));
    PtyPair next;
    openOn(window, next.devicePath());
    QCOMPARE(m_shown.size(), 1);
}

QTEST_MAIN(TestTransfer)
#include "tst_transfer.moc"
