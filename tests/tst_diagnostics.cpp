// The technician's diagnostics through the main window: Setting > Compare
// with panel, against the panel simulator or a pseudo-terminal played by the
// test, and Help > Protocol trace.
#include "comparedialog.h"
#include "protocoltrace.h"
#include "ptypair.h"
#include "simulatorprocess.h"
#include "tracewindow.h"
#include "windowtest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace WindowTest;

namespace {

// The labels of the rows the dialog marks `result` ("differs", "not received").
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

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestDiagnostics : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        logMessages(&m_shown);
        ProtocolTrace::instance().clear();
    }
    void cleanup() { Messages::setResponder(nullptr); }

    void againstSimulator()
    {
        // The panel holds settings other than the window's in seven places.
        QTemporaryDir dir;
        const QString stateFile = dir.filePath("panel.json");
        QJsonArray numbers{QJsonObject{{"number", "5550188"}, {"type", 2}}};
        for (int i = 1; i < 6; ++i)
            numbers.append(QJsonObject{{"number", ""}, {"type", 0}});
        const QJsonObject state{
            {"receivingNumbers", numbers},
            {"gsmNumbers", QJsonArray{QJsonObject{{"number", ""}}, QJsonObject{{"number", "12345"}},
                                      QJsonObject{{"number", ""}}}},
            {"wirelessPassword", "1111"}, {"relayNO", 2}, {"relayNC", 2}, {"interval", "15"},
            {"reportFlags", QJsonArray{0, 0, 1, 0, 0, 0}}, {"inside", 1}};
        QFile file(stateFile);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(state).toJson()) > 0);
        file.close();
        const QByteArray stateBefore = readFile(stateFile);
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
        QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
        QTRY_COMPARE(dialog->summary(), QString("7 settings differ."));
        QCOMPARE(markedRows(dialog, "differs"),
                 (QStringList{"the 1st alarm receiving number", "The second number to program GSM module",
                              "wireless module password", "N.C relay state", "remind interval (day)",
                              "send report to receiving number 3", "inside"}));
        const QTableWidget *table = dialog->table(); // the window's value, then the panel's
        QCOMPARE(table->item(0, 1)->text() + " | " + table->item(0, 2)->text(), QString("5550187 | 5550188"));
        // No control of the window written, no box shown, the panel only read.
        QCOMPARE(window.settings(), shown);
        QCOMPARE(m_shown, QStringList());
        QVERIFY(!window.progress().isRunning());
        QTest::qWait(200);
        QCOMPARE(readFile(stateFile), stateBefore);

        // Afterwards the replies go to the window again: an upload fills it,
        // and then the same dialog finds the panel holding the settings shown.
        dialog->close();
        window.findChild<QPushButton *>("CmdRead")->click();
        QTRY_COMPARE(m_shown, QStringList{"system information: finish Upload!"});
        QCOMPARE(window.findChild<QLineEdit *>("Txt1")->text(), QString("5550188"));
        QCOMPARE(compare(window), dialog);
        QVERIFY(dialog->isVisible());
        QTRY_COMPARE(dialog->summary(), QString("The panel holds the settings shown."));
    }

    // How a comparison on a pseudo-terminal ends: the panel's bytes, then the
    // window's action or button, give the summary; no box is shown.
    void ended_data()
    {
        QTest::addColumn<QByteArray>("panel");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QStringList>("differing");
        const QString none = " 32 settings were not received from the panel.";
        QTest::newRow("data error") // receiving number 1 "123", type 0, then the refusal
            << QByteArray::fromHex("FF5103010203" "0000000000000000000000000000" "0D0A" "FF50000D0A") << QString()
            << "Data Error! The panel refused the request (FF5000); the comparison has ended. "
               "1 setting differs. 30 settings were not received from the panel."
            << QStringList{"the 1st alarm receiving number"};
        QTest::newRow("silent panel") << QByteArray() << QString() << "The panel did not answer." + none
                                      << QStringList();
        QTest::newRow("port closed") << QByteArray() << "Close_com"
                                     << "The serial port was closed during the comparison." + none << QStringList();
        QTest::newRow("upload") << QByteArray() << "CmdRead"
                                << "The comparison ended when a settings upload began." + none << QStringList();
    }

    void ended()
    {
        QFETCH(QByteArray, panel);
        QFETCH(QString, control);
        QFETCH(QString, summary);
        QFETCH(QStringList, differing);
        PtyPair line;
        QVERIFY(line.isValid());
        frmmain window;
        openOn(window, line.devicePath());
        CompareDialog *dialog = compare(window);
        QCOMPARE(line.read(3).toHex().toUpper(), QByteArray("FF0000"));
        line.write(panel);
        if (control == "CmdRead")
            window.findChild<QPushButton *>(control)->click();
        else if (!control.isEmpty())
            window.findChild<QAction *>(control)->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(dialog->summary(), summary, 6000);
        QCOMPARE(markedRows(dialog, "differs"), differing);
        QCOMPARE(m_shown, QStringList());
        if (control == "CmdRead") {
            // The upload asks again, and the window receives the replies.
            QCOMPARE(line.read(3).toHex().toUpper(), QByteArray("FF0000"));
            line.write(QByteArray::fromHex("FF510404070101" "000000000000000000000000" "03" "0D0A"));
            QTRY_COMPARE(window.findChild<QLineEdit *>("Txt1")->text(), QString("4711"));
        }
    }

    // A window of its own, not modal, kept up to date with the password masked; saved, cleared, and the
    // same window shown again when chosen again.
    void traceWindow()
    {
        frmmain window;
        window.InitialiseRecord();
        ProtocolTrace::note("before");
        window.findChild<QAction *>("protocolTrace")->trigger();
        auto *trace = window.findChild<TraceWindow *>();
        QVERIFY(trace && trace->isVisible() && trace->isWindow() && !trace->isModal());
        ProtocolTrace::frameSent("FF0102AABB");
        const QStringList shown = trace->text().split('\n');
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.at(0).endsWith("-- before") && shown.at(1).endsWith("-> FF0102****"));
        QTemporaryDir dir;
        QString error;
        QVERIFY(TraceWindow::saveTo(dir.filePath("saved.txt"), &error));
        QCOMPARE(readFile(dir.filePath("saved.txt")), (shown.join('\n') + '\n').toUtf8());
        trace->findChild<QPushButton *>("clear")->click();
        QVERIFY(trace->text().isEmpty() && ProtocolTrace::instance().lines().isEmpty());
        trace->close();
        ProtocolTrace::note("after");
        window.findChild<QAction *>("protocolTrace")->trigger();
        QCOMPARE(window.findChild<TraceWindow *>(), trace);
        QVERIFY(trace->isVisible() && trace->text().endsWith("-- after"));
    }

private:
    CompareDialog *compare(frmmain &window)
    {
        window.findChild<QAction *>("compareWithPanel")->trigger();
        return window.findChild<CompareDialog *>();
    }
    QStringList m_shown; // "title: text" of every box shown
};

QTEST_MAIN(TestDiagnostics)
#include "tst_diagnostics.moc"
