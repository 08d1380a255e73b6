// The main window's transfer buttons against the panel simulator: a click reaches the session, the answers reach
// the controls, the messages appear as boxes. What the session decides is tested without a window.
#include "windowtest.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QProgressBar>

using namespace WindowTest;

const QString Downloaded = "System Information: finish download!";
const QString Uploaded = "system information: finish Upload!";

class TestTransfer : public QObject
{
    Q_OBJECT
private slots:
    void init() { logMessages(&m_shown); }
    void cleanup() { Messages::setResponder(nullptr); }

    void buttonsReachThePanel()
    {
        SimulatorProcess panel({"--trace"});
        frmmain window;
        openOn(window, panel);
        window.session().setFrameGapMs(20);
        PanelSettings shown = PanelSettings::startValues();
        shown.Txt[0] = "5550187";
        shown.Cmb[0] = SettingsLists::atPosition(SettingsLists::alarmTypes(), 3);
        shown.CmbChanKai = ListField{-1, "pull in"};
        shown.TxtTian = "15";
        window.setSettings(shown);
        click(window, "ComSend");
        QTRY_COMPARE_WITH_TIMEOUT(m_shown, QStringList{Downloaded}, 15000);
        QCOMPARE(window.settings().CmbChanKai.position, 0); // the relay list as it went out
        QVERIFY(panel.waitForFrame("FF0C1500000000000000")); // taken whole: an upload sent sooner would run into it
        window.setSettings(PanelSettings::cleared());
        click(window, "CmdRead");
        QCOMPARE(window.findChild<QProgressBar *>("ProgressBar1")->maximum(), 15);
        QTRY_COMPARE_WITH_TIMEOUT(m_shown, (QStringList{Downloaded, Uploaded}), 15000);
        const PanelSettings uploaded = window.settings();
        QCOMPARE(uploaded.Txt[0] + " " + uploaded.Cmb[0].text + " " + uploaded.TxtMiMa + " " + uploaded.CmbChanKai.text
                     + " " + uploaded.CmbChanBi.text + " " + uploaded.TxtTian,
                 QString("5550187 SMS alarm 5793 pull in pull in 15"));

        // Zone 2's message (the list's second item) there and back.
        auto *message = window.findChild<QPlainTextEdit *>("Text6");
        window.findChild<QComboBox *>("CmbFangQu")->setCurrentIndex(1);
        message->setPlainText("Back door");
        click(window, "CmdDXSend");
        QCOMPARE(m_shown.last(), Downloaded);
        QVERIFY(panel.waitForFrame("FF0D094261636B20646F6F72"));
        message->clear();
        click(window, "Command2");
        QTRY_COMPARE_WITH_TIMEOUT(m_shown, (QStringList{Downloaded, Uploaded, Downloaded, Uploaded}), 15000);
        QCOMPARE(message->toPlainText(), QString("Back door"));
    }

private:
    QStringList m_shown; // "title: text" of every box shown
};

QTEST_MAIN(TestTransfer)
#include "tst_transfer.moc"
