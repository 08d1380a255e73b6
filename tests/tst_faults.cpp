// The main window under a faulty line: the panel answering an upload with stray bytes, twice or
// late, and the line hung up during an upload or while idle (other faults: tst_transfer, tst_startup).
#include "ptypair.h"
#include "simulatorprocess.h"
#include "windowtest.h"

#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace WindowTest;

class TestFaults : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { Messages::setResponder(nullptr); }
    void uploadAnswered_data();
    void uploadAnswered();
    void lineLost_data();
    void lineLost();

private:
    QStringList m_shown; // "title: text" of every box shown
};

void TestFaults::init()
{
    logMessages(&m_shown);
}

void TestFaults::uploadAnswered_data()
{
    QTest::addColumn<QStringList>("simulator");
    QTest::addColumn<int>("finishes"); // every "FF5B" ends an upload for the user
    QTest::newRow("stray bytes in front") << QStringList{"--stray", "31320D"} << 1;
    QTest::newRow("every reply twice") << QStringList{"--twice"} << 2;
    QTest::newRow("late, in pieces") << QStringList{"--reply-gap", "400", "--split"} << 1;
}

// What a download put into the panel comes back whole.
void TestFaults::uploadAnswered()
{
    QFETCH(QStringList, simulator);
    QFETCH(int, finishes);
    QTemporaryDir dir;
    const QString state = dir.filePath("panel.json");
    SimulatorProcess panel(simulator + QStringList{"--state", state});
    QVERIFY(panel.isReady());
    frmmain window;
    openOn(window, panel.device());
    PanelSettings sent = PanelSettings::startValues();
    sent.Txt[1] = "5550187";
    for (int i = 0; i < 6; ++i) // a report type of 0 comes back as no selection
        sent.Cmb[i] = SettingsLists::atPosition(SettingsLists::alarmTypes(), i == 1 ? 3 : -1);
    sent.TxtDuanXin[2] = "0123456789012345";
    sent.TxtMiMa = "9876";
    sent.TxtTian = "15";
    sent.CkShangBao[2] = sent.CkTel[5] = sent.CkNX = true;
    window.setSettings(sent);
    window.findChild<QPushButton *>("ComSend")->click();
    QCOMPARE(m_shown, QStringList{"System Information: finish download!"});
    // The panel takes the last frame when the line goes quiet.
    QTRY_COMPARE([&] {
        QFile file(state);
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll())["interval"].toString() : "";
    }(), QString("15"));

    window.setSettings(PanelSettings::startValues());
    window.findChild<QPushButton *>("CmdRead")->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_shown.count("system information: finish Upload!"), finishes, 15000);
    QTest::qWait(300); // no further box follows
    QCOMPARE(m_shown.size(), 1 + finishes);
    QCOMPARE(window.settings(), sent);
}

void TestFaults::lineLost_data()
{
    QTest::addColumn<bool>("uploading");
    QTest::newRow("while idle") << false;
    QTest::newRow("during an upload") << true;
}

// The window says so once, keeps what arrived, and a port opens again.
void TestFaults::lineLost()
{
    QFETCH(bool, uploading);
    PtyPair line;
    frmmain window;
    openOn(window, line.devicePath());
    if (uploading) {
        window.findChild<QPushButton *>("CmdRead")->click();
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

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
