// The technician's diagnostics through the main window: Setting > Compare
// with panel against the panel simulator, and Help > Protocol trace. How a
// comparison ends is the session's, tested without a window.
#include "comparedialog.h"
#include "protocoltrace.h"
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
        QVERIFY(!window.session().progress().isRunning());
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

    // A window of its own, not modal, kept up to date with the password masked; saved, cleared, and the
    // same window shown again when chosen again.
    void traceWindow()
    {
        frmmain window;
        window.InitialiseRecord();
        ProtocolTrace &session = window.session().trace();
        session.note("before");
        window.findChild<QAction *>("protocolTrace")->trigger();
        auto *trace = window.findChild<TraceWindow *>();
        QVERIFY(trace && trace->isVisible() && trace->isWindow() && !trace->isModal());
        session.frameSent("FF0102AABB");
        const QStringList shown = trace->text().split('\n');
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.at(0).endsWith("-- before") && shown.at(1).endsWith("-> FF0102****"));
        QTemporaryDir dir;
        QString error;
        QVERIFY(trace->saveTo(dir.filePath("saved.txt"), &error));
        QCOMPARE(readFile(dir.filePath("saved.txt")), (shown.join('\n') + '\n').toUtf8());
        trace->findChild<QPushButton *>("clear")->click();
        QVERIFY(trace->text().isEmpty() && session.lines().isEmpty());
        trace->close();
        session.note("after");
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
