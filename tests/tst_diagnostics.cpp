// The technician's diagnostics through the main window: Setting > Compare with panel against the panel simulator,
// and Help > Protocol trace. How a comparison ends is the session's, tested without a window.
#include "comparedialog.h"
#include "protocoltrace.h"
#include "tracewindow.h"
#include "windowtest.h"

#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace WindowTest;

class TestDiagnostics : public QObject
{
    Q_OBJECT
private slots:
    void init() { logMessages(&m_shown); }
    void cleanup() { Messages::setResponder(nullptr); }

    // The dialog shows the window's values beside the panel's, marks what differs, leaves the window as it was,
    // and compares again when chosen again.
    void againstSimulator()
    {
        SimulatorProcess panel;
        frmmain window;
        openOn(window, panel);
        PanelSettings shown = PanelSettings::startValues();
        shown.TxtName = "shop"; // never compared: it does not travel
        shown.Txt[0] = "5550187";
        shown.CkNX = true;
        window.setSettings(shown);
        trigger(window, "compareWithPanel");
        auto *dialog = window.findChild<CompareDialog *>();
        QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
        QTRY_COMPARE_WITH_TIMEOUT(dialog->summary(), QString("2 settings differ."), 15000);
        const QTableWidget *table = dialog->table(); // the setting, the window's value, the panel's, the mark
        QStringList differing;
        for (const QTableWidgetItem *mark : table->findItems("differs", Qt::MatchExactly))
            differing << table->item(mark->row(), 0)->text();
        QCOMPARE(differing, (QStringList{"the 1st alarm receiving number", "inside"}));
        QCOMPARE(table->item(0, 1)->text() + " | " + table->item(0, 2)->text(), QString("5550187 | (empty)"));
        QCOMPARE(window.settings(), shown);
        QCOMPARE(m_shown, QStringList());
        window.setSettings(PanelSettings::startValues());
        dialog->close();
        trigger(window, "compareWithPanel");
        QCOMPARE(window.findChild<CompareDialog *>(), dialog);
        QVERIFY(dialog->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(dialog->summary(), QString("The panel holds the settings shown."), 15000);
    }

    // A window of its own, not modal, kept up to date; saved, cleared, and the same window shown again when
    // chosen again.
    void traceWindow()
    {
        frmmain window;
        window.InitialiseRecord();
        ProtocolTrace &session = window.session().trace();
        session.note("before");
        trigger(window, "protocolTrace");
        auto *trace = window.findChild<TraceWindow *>();
        QVERIFY(trace && trace->isVisible() && trace->isWindow() && !trace->isModal());
        session.frameSent("FF0102AABB");
        const QStringList shown = trace->text().split('\n');
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.at(0).endsWith("-- before") && shown.at(1).endsWith("-> FF0102****"));
        QTemporaryDir dir;
        QString error;
        QFile saved(dir.filePath("saved.txt"));
        QVERIFY2(trace->saveTo(saved.fileName(), &error) && saved.open(QIODevice::ReadOnly), qPrintable(error));
        QCOMPARE(saved.readAll(), (shown.join('\n') + '\n').toUtf8());
        click(*trace, "clear");
        QVERIFY(trace->text().isEmpty() && session.lines().isEmpty());
        // The window keeps what the trace keeps, the last lines, in a fixed-pitch font that lines frames up.
        for (int i = 0; i <= ProtocolTrace::MaxLines; ++i)
            session.note(QString::number(i));
        const auto *lines = trace->findChild<QPlainTextEdit *>("lines");
        QCOMPARE(lines->blockCount(), ProtocolTrace::MaxLines);
        QVERIFY(QFontInfo(lines->font()).fixedPitch());
        trace->close();
        session.note("after");
        trigger(window, "protocolTrace");
        QCOMPARE(window.findChild<TraceWindow *>(), trace);
        QVERIFY(trace->isVisible() && trace->text().endsWith("-- after"));
    }

private:
    QStringList m_shown; // "title: text" of every box shown
};

QTEST_MAIN(TestDiagnostics)
#include "tst_diagnostics.moc"
