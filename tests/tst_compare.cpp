// Setting > Compare with panel through the main window, against the panel
// simulator or a pseudo-terminal played by the test.
#include "comparedialog.h"
#include "frmmain.h"
#include "messages.h"
#include "programend.h"
#include "ptypair.h"
#include "simulatorprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Shown
{
    QString text;
    QString title;
    bool operator==(const Shown &o) const { return text == o.text && title == o.title; }
};

char *toString(const Shown &shown)
{
    return QTest::toString(shown.title + ": " + shown.text);
}

const char Reading[] = "Reading the settings from the panel...";

// The labels of the rows the dialog marks "differs" or "not received".
QStringList markedRows(const CompareDialog *dialog, const QString &result)
{
    QStringList labels;
    const QTableWidget *table = dialog->table();
    for (int r = 0; r < table->rowCount(); ++r) {
        if (table->item(r, 3)->text() == result)
            labels << table->item(r, 0)->text();
    }
    return labels;
}

QString cell(const CompareDialog *dialog, const QString &label, int column)
{
    const QTableWidget *table = dialog->table();
    for (int r = 0; r < table->rowCount(); ++r) {
        if (table->item(r, 0)->text() == label)
            return table->item(r, column)->text();
    }
    return "no such row";
}

// A settings reply "FF51": receiving number 1 with count, digits and type.
QByteArray receivingNumberReply(const QByteArray &digits, int type)
{
    QByteArray bytes = QByteArray::fromHex("FF51");
    bytes.append(char(digits.size()));
    for (const char digit : digits)
        bytes.append(char(digit - '0'));
    bytes.append(QByteArray(16 - digits.size(), '\0'));
    bytes.append(char(type));
    return bytes + "\r\n";
}

bool writeJson(const QString &path, const QJsonObject &json)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(json).toJson()) > 0;
}

} // namespace

class TestCompare : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void againstSimulator();
    void dataErrorEndsComparison();
    void silentPanelIsNotReceived();
    void uploadEndsComparison();
    void closedPort();
    void closePortEndsComparison();

private:
    void openOn(frmmain &window, const QString &device);
    CompareDialog *compare(frmmain &window);
    QList<Shown> m_shown;
};

void TestCompare::init()
{
    m_shown.clear();
    Messages::setResponder([this](const QString &text, const QString &title, bool) {
        m_shown.append({text, title});
        return Messages::Answer::Ok;
    });
    ProgramEnd::setHandler([] { QFAIL("the program must not end"); });
}

void TestCompare::cleanup()
{
    Messages::setResponder(nullptr);
}

void TestCompare::openOn(frmmain &window, const QString &device)
{
    qputenv("KV4810G_PORTS", device.toLocal8Bit());
    window.InitialiseRecord();
    window.findChild<QAction *>("open_com")->trigger();
    QVERIFY(window.link().isOpen());
}

// Setting > Compare with panel; the dialog it shows.
CompareDialog *TestCompare::compare(frmmain &window)
{
    window.findChild<QAction *>("compareWithPanel")->trigger();
    return window.findChild<CompareDialog *>();
}

void TestCompare::againstSimulator()
{
    // The panel holds settings other than the window's in seven places.
    QTemporaryDir dir;
    const QString stateFile = dir.filePath("panel.json");
    QJsonArray numbers;
    numbers.append(QJsonObject{{"number", "5550188"}, {"type", 2}});
    for (int i = 1; i < 6; ++i)
        numbers.append(QJsonObject{{"number", ""}, {"type", 0}});
    QVERIFY(writeJson(stateFile, QJsonObject{
        {"receivingNumbers", numbers},
        {"gsmNumbers", QJsonArray{QJsonObject{{"number", ""}}, QJsonObject{{"number", "12345"}},
                                  QJsonObject{{"number", ""}}}},
        {"wirelessPassword", "1111"},
        {"relayNO", 2},
        {"relayNC", 2},
        {"interval", "15"},
        {"reportFlags", QJsonArray{0, 0, 1, 0, 0, 0}},
        {"inside", 1}}));
    const QByteArray stateBefore = [&] { QFile f(stateFile); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    SimulatorProcess panel({"--state", stateFile});
    QVERIFY(panel.isReady());
    frmmain window;
    openOn(window, panel.device());
    PanelSettings shown = PanelSettings::startValues();
    shown.TxtName = "shop";
    shown.Txt[0] = "5550187";
    shown.Cmb[0] = SettingsLists::atPosition(SettingsLists::alarmTypes(), 1);
    window.setSettings(shown);

    CompareDialog *dialog = compare(window);
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QTRY_VERIFY(dialog->summary() != Reading);
    QCOMPARE(dialog->summary(), QString("7 settings differ."));
    QCOMPARE(markedRows(dialog, "differs"),
             (QStringList{"the 1st alarm receiving number", "The second number to program GSM module",
                          "wireless module password", "N.C relay state", "remind interval (day)",
                          "send report to receiving number 3", "inside"}));
    QCOMPARE(markedRows(dialog, "not received"), QStringList());
    QCOMPARE(cell(dialog, "the 1st alarm receiving number", 1), QString("5550187"));
    QCOMPARE(cell(dialog, "the 1st alarm receiving number", 2), QString("5550188"));
    QCOMPARE(cell(dialog, "N.C relay state", 1), QString("pull in"));
    QCOMPARE(cell(dialog, "N.C relay state", 2), QString("disconnect"));
    // Not a control of the window was written, nothing was shown, and the
    // panel was only read.
    QCOMPARE(window.settings(), shown);
    QCOMPARE(m_shown, QList<Shown>());
    QVERIFY(!window.progress().isRunning());
    QTest::qWait(200);
    QCOMPARE([&] { QFile f(stateFile); f.open(QIODevice::ReadOnly); return f.readAll(); }(), stateBefore);

    // Afterwards the replies go to the window again: an upload fills it,
    // and then the panel holds the settings shown.
    dialog->close();
    window.findChild<QPushButton *>("CmdRead")->click();
    QTRY_COMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown.at(0), (Shown{"finish Upload!", "system information"}));
    QCOMPARE(window.findChild<QLineEdit *>("Txt1")->text(), QString("5550188"));
    QCOMPARE(compare(window), dialog); // the same dialog, shown again
    QVERIFY(dialog->isVisible());
    QTRY_VERIFY(dialog->summary() != Reading);
    QCOMPARE(dialog->summary(), QString("The panel holds the settings shown."));
}

void TestCompare::dataErrorEndsComparison()
{
    PtyPair line;
    QVERIFY(line.isValid());
    frmmain window;
    openOn(window, line.devicePath());
    CompareDialog *dialog = compare(window);
    QCOMPARE(line.read(3).toHex().toUpper(), QByteArray("FF0000"));
    line.write(receivingNumberReply("123", 0));
    line.write(QByteArray::fromHex("FF50000D0A"));
    QTRY_VERIFY(dialog->summary() != Reading);
    QCOMPARE(dialog->summary(),
             QString("Data Error! The panel refused the request (FF5000); the comparison has ended. "
                     "1 setting differs. 30 settings were not received from the panel."));
    QCOMPARE(markedRows(dialog, "differs"), QStringList{"the 1st alarm receiving number"});
    // The comparison's, not the window's: no "Data Error!" box.
    QCOMPARE(m_shown, QList<Shown>());
}

void TestCompare::silentPanelIsNotReceived()
{
    PtyPair line;
    QVERIFY(line.isValid());
    frmmain window;
    openOn(window, line.devicePath());
    QElapsedTimer clock;
    clock.start();
    CompareDialog *dialog = compare(window);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->summary() != Reading, 6000);
    QVERIFY(clock.elapsed() >= 2900);
    QCOMPARE(dialog->summary(),
             QString("The panel did not answer. 32 settings were not received from the panel."));
    QCOMPARE(markedRows(dialog, "not received").size(), 32);
    QCOMPARE(markedRows(dialog, "differs"), QStringList());
}

void TestCompare::uploadEndsComparison()
{
    PtyPair line;
    QVERIFY(line.isValid());
    frmmain window;
    openOn(window, line.devicePath());
    CompareDialog *dialog = compare(window);
    QCOMPARE(line.read(3).toHex().toUpper(), QByteArray("FF0000"));
    window.findChild<QPushButton *>("CmdRead")->click();
    QVERIFY(dialog->summary().startsWith("The comparison ended when a settings upload began. "));
    QCOMPARE(line.read(3).toHex().toUpper(), QByteArray("FF0000"));
    // The window receives the replies again.
    line.write(receivingNumberReply("4711", 3));
    QTRY_COMPARE(window.findChild<QLineEdit *>("Txt1")->text(), QString("4711"));
}

void TestCompare::closedPort()
{
    frmmain window;
    window.InitialiseRecord();
    QVERIFY(!window.link().isOpen());
    QVERIFY(!compare(window));
    QCOMPARE(m_shown, (QList<Shown>{{"Serial port not open!", "system information"}}));
}

void TestCompare::closePortEndsComparison()
{
    PtyPair line;
    QVERIFY(line.isValid());
    frmmain window;
    openOn(window, line.devicePath());
    CompareDialog *dialog = compare(window);
    window.findChild<QAction *>("Close_com")->trigger();
    QCOMPARE(dialog->summary(), QString("The serial port was closed during the comparison. "
                                        "32 settings were not received from the panel."));
    QCOMPARE(m_shown, QList<Shown>());
}

QTEST_MAIN(TestCompare)
#include "tst_compare.moc"
