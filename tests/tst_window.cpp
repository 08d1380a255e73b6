// The main window on the panel simulator: transfer buttons, Compare with panel, the trace window; no session logic.
#include "comparedialog.h"
#include "frmhistory.h"
#include "sqliterecordstore.h"
#include "ptypair.h"
#include "protocoltrace.h"
#include "tracewindow.h"
#include "windowtest.h"

#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace WindowTest;

const QString Downloaded = "System Information: finish download!";
const QString Uploaded = "system information: finish Upload!";

class TestWindow : public QObject
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
        QTRY_COMPARE(m_shown.last(), Downloaded); // once the panel has not refused it in time
        QVERIFY(panel.waitForFrame("FF0D094261636B20646F6F72"));
        message->clear();
        click(window, "Command2");
        QTRY_COMPARE_WITH_TIMEOUT(m_shown, (QStringList{Downloaded, Uploaded, Downloaded, Uploaded}), 15000);
        QCOMPARE(message->toPlainText(), QString("Back door"));
    }

    // While the "Data Error!" box is open no frame goes out; once it is closed the rest follow, then "finish
    // download!".
    void dataErrorPause()
    {
        PtyPair line;
        qputenv("KV4810G_PORTS", line.devicePath().toLocal8Bit());
        frmmain window;
        window.InitialiseRecord();
        trigger(window, "open_com");
        window.session().setFrameGapMs(40);
        QByteArray whileOpen;
        Messages::setResponder([&](const QString &text, const QString &title, bool) {
            m_shown << title + ": " + text;
            if (m_shown.size() == 1) {
                line.read(0);
                QTest::qWait(400);
                whileOpen = line.read(0);
            }
            return Messages::Answer::Ok;
        });
        click(window, "ComSend");
        line.read(40); // two frames
        line.write(QByteArray::fromHex("FF50000D0A"));
        QTRY_COMPARE(m_shown, (QStringList{"System Information: Data Error!", Downloaded}));
        QCOMPARE(whileOpen, QByteArray());
    }

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
        auto *dialog = window.findChild<CompareDialog *>(); // open at once, nothing marked while it reads
        QVERIFY(dialog && dialog->isVisible() && !dialog->isModal() && dialog->table()->item(0, 3)->text().isEmpty());
        dialog->close(); // closed while the panel answers, and chosen again: the same comparison's dialog is back
        trigger(window, "compareWithPanel");
        QVERIFY(dialog->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(dialog->summary(), QString("2 settings differ."), 15000);
        const QTableWidget *table = dialog->table(); // the setting, the window's value, the panel's, the mark
        QVERIFY(dialog->findChild<QLabel *>("summary")->wordWrap());
        QVERIFY(table->horizontalHeader()->length() >= table->viewport()->width()); // the last column takes the rest
        QStringList differing;
        for (const QTableWidgetItem *mark : table->findItems("differs", Qt::MatchExactly))
            differing << table->item(mark->row(), 0)->text();
        QCOMPARE(differing, (QStringList{"the 1st alarm receiving number", "inside"}));
        QCOMPARE(table->item(0, 1)->text() + " | " + table->item(0, 2)->text(), QString("5550187 | (empty)"));
        QCOMPARE(window.settings(), shown);
        QCOMPARE(m_shown, QStringList());
        window.setSettings(PanelSettings::startValues());
        QWidget other; // the dialog, still open behind another window, comes to the front
        other.show();
        QTRY_COMPARE(QApplication::activeWindow(), &other);
        trigger(window, "compareWithPanel");
        QTRY_COMPARE(QApplication::activeWindow(), dialog);
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
        QVERIFY(trace->findChild<QPlainTextEdit *>("lines")->textCursor().atEnd()); // the newest lines in view
        session.frameSent("FF0102AABB");
        const QStringList shown = trace->text().split('\n');
        QVERIFY(shown.size() == 2 && shown.at(0).endsWith("-- before") && shown.at(1).endsWith("-> FF0102****"));
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
        QCOMPARE(lines->lineWrapMode(), QPlainTextEdit::NoWrap); // a long frame on one line
        const QFontMetrics metrics(lines->font()); // every character a trace line uses takes the same width
        for (const QChar c : QString("0123456789ABCDEF:.-<>* "))
            QCOMPARE(metrics.horizontalAdvance(c), metrics.horizontalAdvance('0'));
        trace->close();
        session.note("after");
        trigger(window, "protocolTrace");
        QCOMPARE(window.findChild<TraceWindow *>(), trace);
        QVERIFY(trace->isVisible() && trace->text().endsWith("-- after"));
    }

    // Each operation on the line leaves one entry in the history, with its end and what it carried; a download's
    // entry, shown in the window and downloaded again, sends the same frames. An entry the store cannot take
    // leaves the operation's message as it was and is told once.
    void history_data()
    {
        QTest::addColumn<QStringList>("panel");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("entry"); // operation, outcome, detail (its start)
        QTest::newRow("download") << QStringList() << "ComSend" << "download, complete, 11 of 11 frames";
        QTest::newRow("refused") << QStringList{"--refuse"} << "ComSend" << "download, refused, Data Error! after frame ";
        QTest::newRow("line lost") << QStringList{"--hangup-after", "3"} << "ComSend"
                                   << "download, line lost, stopped after ";
        QTest::newRow("upload, port closed") << QStringList() << "CmdRead,Close_com" << "upload, incomplete, ";
        QTest::newRow("compare") << QStringList() << "compareWithPanel" << "compare, differs, 2 differences";
        QTest::newRow("zone download") << QStringList() << "CmdDXSend" << "zone download, complete, ";
        QTest::newRow("zone upload") << QStringList() << "Command2" << "zone upload, complete, ";
        QTest::newRow("store refuses") << QStringList() << "CmdDXSend" << "";
    }
    void history()
    {
        QFETCH(QStringList, panel);
        QFETCH(QString, button);
        QFETCH(QString, entry);
        QTemporaryDir dir;
        const QString file = dir.filePath("4810G.mdb");
        qputenv("KV4810G_RECORDS", file.toLocal8Bit());
        SqliteRecordStore records(file);
        QFile foreign(file); // a file of another tool, which the store leaves as it is
        QVERIFY(!entry.isEmpty() || (foreign.open(QIODevice::WriteOnly) && foreign.write("not records") > 0));
        foreign.close();
        SimulatorProcess simulator(panel << "--trace");
        frmmain window;
        openOn(window, simulator);
        window.session().setFrameGapMs(20);
        PanelSettings shown = PanelSettings::startValues();
        shown.TxtAni = "17";
        shown.Txt[0] = "5550187";
        shown.CmbChanKai = ListField{-1, "pull in"};
        window.setSettings(shown);
        window.findChild<QPlainTextEdit *>("Text6")->setPlainText("Back door");
        for (const QString &name : button.split(',')) // buttons and actions, in turn
            window.findChild<QAction *>(name) ? trigger(window, qPrintable(name)) : click(window, qPrintable(name));
        QList<HistoryEntry> entries;
        const auto read = [&] { return records.readHistory(HistoryQuery(), &entries, nullptr), entries.size(); };
        if (entry.isEmpty()) {
            QTRY_COMPARE(m_shown.size(), 2);
            QCOMPARE(m_shown.first(), Downloaded);
            QVERIFY2(m_shown.last().contains("history") && m_shown.last().contains("not a record file"),
                     qPrintable(m_shown.last()));
            click(window, "CmdDXSend");
            QTRY_COMPARE(m_shown.last(), Downloaded);
            QTest::qWait(300); // the history's fault told once: no box after this download's
            trigger(window, "File_history"); // nor can it be read: said, and no window
            QVERIFY(m_shown.size() == 4 && m_shown.last().contains("not a record file") && !window.findChild<frmHistory *>());
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(read(), 1, 15000);
        QTest::qWait(100);
        QCOMPARE(read(), 1);
        const HistoryEntry &e = entries.first();
        QVERIFY2((e.operation + ", " + e.outcome + ", " + e.detail).startsWith(entry),
                 qPrintable(e.operation + ", " + e.outcome + ", " + e.detail));
        QCOMPARE(e.device, simulator.device());
        QCOMPARE(e.recordNumber, QString("17"));
        QVERIFY(!e.login.isEmpty() && !e.host.isEmpty() && qAbs(e.at.secsTo(QDateTime::currentDateTimeUtc())) < 60);
        if (e.operation.startsWith("zone"))
            QCOMPARE(e.zone + ": " + e.zoneText, QString(e.operation == "zone download" ? "1: Back door" : "1: "));
        else
            QCOMPARE(e.settings.Txt[0], QString(e.operation == "download" ? "5550187" : ""));
        if (entry != "download, complete, 11 of 11 frames")
            return;
        QCOMPARE(e.settings.CmbChanKai.position, 0); // as the frames carried it
        window.setSettings(PanelSettings::cleared());
        trigger(window, "File_history");
        auto *historyWindow = window.findChild<frmHistory *>();
        QVERIFY(historyWindow && historyWindow->isVisible() && !historyWindow->isModal());
        auto *list = historyWindow->findChild<QTableWidget *>("Entries");
        QCOMPARE(list->item(0, 1)->text() + " " + list->item(0, 5)->text(), QString("download complete"));
        for (int c = 0; c < list->columnCount(); ++c) // every cell shown whole
            QVERIFY(list->columnWidth(c) >= list->fontMetrics().horizontalAdvance(list->item(0, c)->text()));
        list->selectRow(0);
        const QString details = historyWindow->findChild<QPlainTextEdit *>("Details")->toPlainText();
        QVERIFY2(details.startsWith("download, complete on " + simulator.device() + " (port 1), kv4810g ")
                     && details.contains("\n11 of 11 frames\n") && details.contains("\nthe 1st alarm receiving number: 5550187"),
                 qPrintable(details));
        click(*historyWindow, "CmdShow");
        list->clearSelection(); // the entry shown stays current, but is no longer chosen
        QVERIFY(!historyWindow->findChild<QPushButton *>("CmdShow")->isEnabled());
        click(window, "ComSend");
        QTRY_COMPARE_WITH_TIMEOUT(read(), 2, 15000);
        QTRY_COMPARE(simulator.trace().count(" <- "), 22);
        QStringList frames = simulator.trace().split('\n').filter(" <- ");
        frames.replaceInStrings(QRegularExpression("^.* <- "), QString());
        QCOMPARE(frames.mid(11), frames.mid(0, 11));
        click(*historyWindow, "CmdExit"); // gone with its entries; the next one reads them anew
        QTRY_VERIFY(!window.findChild<frmHistory *>());
    }

private:
    QStringList m_shown; // "title: text" of every box shown
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
