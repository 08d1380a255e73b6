// Start-up on the panel simulator: port search, lamps, password dialog, endings, command line; the forms.
#include "frmopen.h"
#include "frmpassword.h"
#include "portlamps.h"
#include "programrun.h"
#include "windowtest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

#include <memory>
#include <tuple>
#include <vector>

using namespace WindowTest;

namespace {

// Types the password (pasted: key clicks carry ASCII only) and presses OK, `presses` times in a row.
void submit(QWidget *dialog, const QString &password, int presses = 1)
{
    auto *text = dialog->findChild<QLineEdit *>(QStringLiteral("Text1"));
    text->clear();
    text->insert(password);
    for (int i = 0; i < presses; ++i)
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void init() { logMessages(&m_shown, &m_ended); }
    void cleanup() { Messages::setResponder(nullptr); }

    // Where the panel is among the ports, and what the technician does in the password dialog. Ports: "panel" (2468),
    // "silent", "lost" (hangs up within the second), "replug" (unplugged and back while the dialog is open), missing.
    void startUp_data()
    {
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("found"); // the panel's port
        QTest::addColumn<QStringList>("shown"); // "title: text" of every message
        const auto row = [](const char *name, const QStringList &ports, const char *answer, int found,
                            const QStringList &shown = {}) {
            QTest::newRow(name) << ports << QString(answer) << found << shown;
        };
        row("behind a silent port", {"silent", "panel"}, "right", 2);
        row("behind a lost port", {"lost", "panel"}, "right", 2);
        row("port without a lamp", QStringList(11, "missing") << "panel", "right", 12);
        row("wrong, then right", {"panel"}, "wrong", 1, {"7158K: Enter the password wrong operation"});
        // Two frames sent a few milliseconds apart reach the panel as one, which it refuses.
        row("double-click on OK", {"panel"}, "double", 1);
        row("unsendable, then right", {"panel"}, "unsendable", 1,
            {"System Information: The password can only hold characters that fit in one byte!"});
        row("close box skips the test", {"panel"}, "close", 1);
        row("Exit ends the program", {"panel"}, "exit", 1);
        // OK opens the panel's device again and the test goes on.
        row("line lost, then plugged back", {"replug"}, "replug", 1, {"System Information: Serial port disconnected!"});
    }
    void startUp()
    {
        QFETCH(QStringList, ports);
        QFETCH(QString, answer);
        QFETCH(int, found);
        QFETCH(QStringList, shown);
        const QString line = QDir::temp().filePath(QString("kv4810g-replug-%1").arg(QCoreApplication::applicationPid()));
        const QHash<QString, QStringList> options{{"panel", {"--password", "2468"}}, {"silent", {"--silent"}},
                                                  {"lost", {"--silent", "--hangup-after", "1"}},
                                                  {"replug", {"--password", "2468", "--link", line}}};
        std::vector<std::unique_ptr<SimulatorProcess>> panels;
        QStringList devices;
        for (const QString &port : ports) {
            const bool simulated = options.contains(port);
            if (simulated)
                panels.push_back(std::make_unique<SimulatorProcess>(options.value(port)));
            QVERIFY(!simulated || panels.back()->isReady());
            devices << (!simulated ? QString("/dev/kv4810g-missing") : port == "replug" ? line : panels.back()->device());
        }
        qputenv("KV4810G_PORTS", devices.join(':').toLocal8Bit());
        frmmain window;
        QString indicated; // the search indicator's text when first seen
        bool indicatorGone = true;
        bool accepted = false;
        auto *poll = new QTimer(&window); // watches the search, then acts on the password dialog from inside its loop
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            QWidget *indicator = nullptr;
            for (QWidget *w : QApplication::topLevelWidgets())
                indicator = w->objectName() == "searchIndicator" && w->isVisible() ? w : indicator;
            if (indicator && indicated.isEmpty()) { // centred, as the main window is not shown yet
                const QPoint off = indicator->geometry().center() - indicator->screen()->availableGeometry().center();
                const QLabel *label = indicator->findChild<QLabel *>(); // sized for the longest text
                indicated = label->text() + (off.manhattanLength() > 10 ? " off centre" : "")
                    + (label->width() < label->sizeHint().width() ? " cut" : "")
                    + (indicator->windowTitle() == Messages::AppTitle ? "" : " untitled");
            }
            QWidget *dialog = QApplication::activeModalWidget();
            if (!dialog || dialog->objectName() != QLatin1String("frmPassWord"))
                return;
            poll->stop();
            indicatorGone = !indicator;
            if (answer == "close")
                return void(dialog->close());
            if (answer == "exit")
                return click(*dialog, "Command2");
            if (answer == "replug") {
                panels.front().reset();
                QTRY_COMPARE_WITH_TIMEOUT(m_shown.size(), 1, 10000);
                panels.front() = std::make_unique<SimulatorProcess>(options.value("replug"));
                QVERIFY(panels.front()->isReady()); // its link in place
            }
            if (answer == "wrong" || answer == "unsendable") {
                submit(dialog, answer == "wrong" ? QString("1234") : QString("24") + QChar(0x20AC));
                QTRY_VERIFY_WITH_TIMEOUT(!m_shown.isEmpty(), 10000);
                QTest::qWait(QApplication::doubleClickInterval()); // the next press is no double-click
            }
            submit(dialog, "2468", answer == "double" ? 2 : 1);
            accepted = QTest::qWaitFor([dialog] { return !dialog->isVisible(); }, 10000);
            dialog->close();
        });
        poll->start(20);
        const bool ends = answer == "exit";
        QCOMPARE(window.Form_Load(), !ends);
        QCOMPARE(m_ended, ends ? 1 : 0);
        QCOMPARE(m_shown, shown);
        QCOMPARE(accepted, !ends && answer != "close");
        QCOMPARE(window.session().link().isOpen(), !ends);
        // Only a silent port holds the search for its full second; elsewhere how far it has come depends on load.
        if (ports.first() == "silent")
            QCOMPARE(indicated, QString("Searching for the panel: port 1 of 16"));
        QVERIFY(indicatorGone);
        for (int port = 1; port <= 10; ++port)
            QCOMPARE(window.lamps().colour(port), port == found ? PortLamps::InUse : PortLamps::Failed);
        // A lamp paints itself in its colour; its tool tip, naming the device, is the widget's as any other event.
        QWidget *lamp1 = window.findChild<QWidget *>("Shape_0");
        QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), lamp1->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(lamp1, &hover);
        QVERIFY2(QToolTip::text().contains(devices.at(0)), qPrintable(QToolTip::text()));
        QToolTip::hideText();
        QCOMPARE(lamp1->grab().toImage().pixelColor(lamp1->rect().center()), window.lamps().colour(1));
        QCOMPARE(window.session().PanelFound(), 1);
        QCOMPARE(window.PortIndex(), found);
    }

    // A box owned by the hidden main window is centred on the screen; File > Open and Close; Help > About with no
    // manual in the suite's folder; File > Exit ends the program and frees the port, and nothing more is shown.
    void menus()
    {
        frmmain window;
        window.setGeometry(0, 0, 200, 100);
        Messages::setResponder(nullptr);
        QPoint off(1000, 1000); // from the middle of the screen
        QTimer::singleShot(100, &window, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            off = box->frameGeometry().center() - window.screen()->availableGeometry().center();
            box->accept();
        });
        Messages::inform(&window, "Serial port disconnected!", "System Information");
        QVERIFY2(off.manhattanLength() < 40, qPrintable(QString("%1,%2").arg(off.x()).arg(off.y())));
        // A question: Enter (on Yes, its default) answers yes, Esc (No) no.
        for (const auto &[key, yes] : {std::pair{Qt::Key_Return, true}, {Qt::Key_Escape, false}}) {
            QTimer::singleShot(0, &window, [key = key] { QTest::keyClick(QApplication::activeModalWidget(), key); });
            QCOMPARE(Messages::ask(&window, "Save?", "System Information"), yes);
        }
        logMessages(&m_shown, &m_ended);
        SimulatorProcess panel;
        qputenv("KV4810G_PORTS", ("/dev/kv4810g-missing:" + panel.device()).toLocal8Bit());
        window.InitialiseRecord();
        trigger(window, "Close_com"); // nothing open: nothing happens
        trigger(window, "open_com");
        QVERIFY(window.session().link().isOpen());
        QCOMPARE(window.PortIndex(), 2);
        QCOMPARE(window.session().PanelFound(), 0);
        trigger(window, "Close_com");
        QVERIFY(!window.session().link().isOpen());
        QCOMPARE(window.lamps().colour(2), PortLamps::InUse);

        qputenv("KV4810G_PORTS", "/dev/kv4810g-missing");
        trigger(window, "open_com");
        trigger(window, "About");
        const QString manual = QDir(QCoreApplication::applicationDirPath()).filePath("HELP.doc");
        QCOMPARE(m_shown, (QStringList{"System Information: No detected hardware devices!",
                                       "System Information: The manual " + QDir::toNativeSeparators(manual)
                                           + " cannot be found: install the program again!"}));
        openOn(window, panel);
        trigger(window, "eqit");
        QCOMPARE(m_ended, 1);
        QVERIFY(!window.session().link().isOpen());
        Messages::inform(&window, "late");
        QCOMPARE(m_shown.size(), 2);
    }

    // The real program with --trace, answering its own box: the box's details say what became of every port, and
    // the trace holds the search from its first port on, until the disk fills, which is said on standard error.
    void programWithoutPanel()
    {
        SimulatorProcess silent({"--silent"}), busy;
        QVERIFY(silent.isReady() && busy.isReady());
        QSerialPort otherProgram(busy.device());
        QVERIFY(otherProgram.open(QIODevice::ReadWrite));
        QTemporaryDir dir;
        const QString trace = dir.filePath("support.txt");
        const QStringList env{"KV4810G_PORTS=" + silent.device() + ":/dev/kv4810g-missing:" + busy.device(),
                              "KV4810G_AUTO_ANSWER=1", "QT_QPA_PLATFORM=offscreen"};
        const Run run = ProgramRun(PROGRAM_PATH, {"--trace", trace}, env, fileSizeBound(400)).finished();
        QCOMPARE(run.err.count("kv4810g: the trace file " + trace + " is incomplete from here on: "), 1);
        const QStringList said = run.out.trimmed().split('\n');
        QCOMPARE(run.status, 0);
        QCOMPARE(said.size(), 17);
        QCOMPARE(said.at(0), QString("System Information: hardware testing fail!"));
        QCOMPARE(said.at(2), QString("Port 2 (/dev/kv4810g-missing): no such device"));
        QCOMPARE(said.at(3), "Port 3 (" + busy.device() + "): busy, in use by another program");
        QFile file(trace);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        QVERIFY2(lines.size() > 4, qPrintable(lines.join('\n')));
        QVERIFY(lines.at(0).startsWith("# KV-4810G programming software 1.0, protocol trace started "));
        QVERIFY(lines.at(2).endsWith("-> FF0018"));
        QVERIFY(lines.at(4).endsWith("-- port 2 (/dev/kv4810g-missing) not opened: no such device"));
    }

    // Information and refusals answered without a display: a window would fail on the platform named. A toolkit
    // option is the toolkit's, not an unknown one.
    void commandLineInformation()
    {
        // The arguments, whether the toolkit starts (else the platform "none" would fail it), the status, the words.
        const QList<std::tuple<QStringList, bool, int, QString>> cases{
            {{"-h", "-style", "fusion"}, false, 0, "postgresql://"},
            {{"-reverse", "--version"}, false, 0, "kv4810g 1.0"},
            {{"-vx"}, false, 2, ""},
            // Refused once the toolkit has started, before any port is opened.
            {{"stray"}, true, 2, "unexpected argument 'stray'"},
            {{"--trace", "/dev/kv4810g-missing/trace.txt"}, true, 1, "The trace file /dev/kv4810g-missing/trace.txt"},
        };
        const QStringList window{"QT_QPA_PLATFORM=offscreen", "KV4810G_AUTO_ANSWER=1", "KV4810G_PORTS=/dev/kv4810g-missing"};
        for (const auto &[arguments, started, status, output] : cases) {
            const Run run = ProgramRun(PROGRAM_PATH, arguments, started ? window : QStringList{"QT_QPA_PLATFORM=none"})
                                .finished();
            QVERIFY2(run.status == status && (run.out + run.err).contains(output),
                     qPrintable(arguments.join(' ') + ": " + run.out + run.err));
        }
    }

    // Ended by Ctrl+C, the program closes its port as Exit does: no lock file stays to make the port busy.
    void signalEndsProgram()
    {
        SimulatorProcess panel;
        ProgramRun program(PROGRAM_PATH, {}, {"KV4810G_PORTS=" + panel.device(), "QT_QPA_PLATFORM=offscreen"});
        // QSerialPort locks a device in the first lock folder it may write; the first line is the holder's process.
        const QString name = "LCK.." + panel.device().remove(QRegularExpression("^/dev/")).replace('/', '_');
        const auto held = [&program](const QString &path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) && file.readLine().trimmed().toLongLong() == program.pid();
        };
        QString lock;
        QTRY_VERIFY_WITH_TIMEOUT(held(lock = "/var/lock/" + name) || held(lock = "/tmp/" + name), 20000);
        ::kill(pid_t(program.pid()), SIGINT);
        QCOMPARE(program.finished().status, 0);
        QVERIFY2(!QFile::exists(lock), qPrintable(lock));
    }

    // What a fresh window shows, control by control; the password dialog masked, Esc pressing nothing and Enter
    // pressing OK with at most four characters; every caption whole in its control; the close box ends the program.
    void forms()
    {
        frmmain mainWindow;
        mainWindow.InitialiseRecord();
        const PanelSettings shown = mainWindow.settings(); // read from the controls
        QCOMPARE(shown, PanelSettings::startValues());
        QCOMPARE(QStringList({shown.TxtMiMa, shown.TxtTian, shown.Cmb[0].text, shown.Cmb[5].text, shown.CmbChanKai.text,
                              shown.CmbChanBi.text, mainWindow.findChild<QComboBox *>("CmbFangQu")->currentText()}),
                 QStringList({"5793", "00", "alarm type", "alarm type", "disconnect", "pull in", "1"}));
        QVERIFY(!mainWindow.windowIcon().pixmap(16).isNull()); // the images are registered
        QCOMPARE(mainWindow.findChild<QWidget *>("Shape_9")->toolTip(), QString("Port 10: not tried yet"));
        mainWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
        frmPassWord password;
        password.show();
        QVERIFY(QTest::qWaitForWindowExposed(&password));
        auto *text = password.findChild<QLineEdit *>("Text1");
        QTest::keyClicks(text, "12");
        QCOMPARE(text->displayText(), QString("**"));
        QTRY_VERIFY(text->hasFocus());
        QTest::keyClick(text, Qt::Key_Escape);
        QVERIFY(password.isVisible());
        QSignalSpy entered(&password, &frmPassWord::passwordEntered);
        QTest::keyClicks(text, "3456");
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(QList<QVariantList>(entered), QList<QVariantList>{{QString("1234")}}); // once, the first four
        QVERIFY(password.isVisible());

        frmOpen open; // every caption fits on one line at its control's fixed size, in the font the form gives it
        for (QWidget *window : QList<QWidget *>{&mainWindow, &password, &open}) {
            for (QLabel *label : window->findChildren<QLabel *>()) {
                const QSize room = label->contentsRect().size();
                const QSize text = label->fontMetrics().size(Qt::TextSingleLine, label->text());
                QVERIFY2(label->objectName().startsWith("qt_") || room.expandedTo(text) == room, qPrintable(label->text()));
            }
            for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
                const int needed = !qobject_cast<QPushButton *>(button) ? button->sizeHint().width()
                    : button->fontMetrics().horizontalAdvance(button->text())
                        + (button->icon().isNull() ? 8 : button->iconSize().width() + 12);
                QVERIFY2(button->text().isEmpty() || needed <= button->width(), qPrintable(button->text()));
            }
            for (QGroupBox *group : window->findChildren<QGroupBox *>())
                QVERIFY2(group->fontMetrics().horizontalAdvance(group->title()) <= group->width(),
                         qPrintable(group->title()));
        }
        mainWindow.close();
        QCOMPARE(m_ended, 1);
        QVERIFY(m_shown.isEmpty());
    }

private:
    QStringList m_shown; // "title: text" of every box shown
    int m_ended = 0;
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
