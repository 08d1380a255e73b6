// The program's start against the panel simulator: the search over the
// ports, the lamps, the password dialog, the ways the program ends, and the
// real program run with its command line; then the forms themselves: start
// values, the password dialog's keys, captions that fit.
#include "frmopen.h"
#include "frmpassword.h"
#include "portlamps.h"
#include "simulatorprocess.h"
#include "windowtest.h"

#include <QSerialPort>
#include <QtWidgets>

#include <functional>
#include <memory>
#include <tuple>
#include <vector>

using namespace WindowTest;

namespace {

// Acts on the password dialog once it is up, from inside its modal loop;
// the watch goes with the window.
void whenPasswordDialogShows(frmmain &window, std::function<void(QWidget *)> act)
{
    auto *poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != QLatin1String("frmPassWord"))
            return;
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    poll->start(20);
}

// Types the password (pasted, as key clicks carry ASCII only) and presses
// OK, `presses` times in a row.
void submit(QWidget *dialog, const QString &password, int presses = 1)
{
    auto *text = dialog->findChild<QLineEdit *>(QStringLiteral("Text1"));
    text->clear();
    text->insert(password);
    for (int i = 0; i < presses; ++i)
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
}

// Starts the real program without a display, with `env` ("NAME=value") added.
void startProgram(QProcess &program, const QStringList &arguments, const QStringList &env)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    for (const QString &setting : env)
        environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(PROGRAM_PATH), arguments);
}

// The real program run to its end: its exit code (-1 when it did not end by
// itself) and what it printed.
QPair<int, QStringList> runProgram(const QStringList &arguments, const QStringList &env)
{
    QProcess program;
    startProgram(program, arguments, env);
    const bool ended = program.waitForFinished(30000) && program.exitStatus() == QProcess::NormalExit;
    return {ended ? program.exitCode() : -1,
            QString::fromLocal8Bit(program.readAllStandardOutput()).trimmed().split('\n')};
}

const QString HardwareFail = QStringLiteral("System Information: hardware testing fail!");

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_ended = 0;
        logMessages(&m_shown, &m_ended);
    }
    void cleanup() { Messages::setResponder(nullptr); }

    // Where the panel is among the ports, and what the technician does in the
    // password dialog. Ports are "panel" (its password 2468), "silent",
    // "lost" (its line goes within the second, unanswered), "replug" (a
    // panel whose cable is pulled and plugged back while the dialog is open)
    // or a missing device.
    void startUp_data()
    {
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("found"); // 0: the search fails
        QTest::addColumn<QStringList>("shown"); // "title: text" of every message
        const QStringList panel{"panel"};
        QTest::newRow("first port") << panel << "right" << 1 << QStringList{};
        QTest::newRow("behind a silent port") << QStringList{"silent", "panel"} << "right" << 2 << QStringList{};
        QTest::newRow("behind a lost port") << QStringList{"lost", "panel"} << "right" << 2 << QStringList{};
        QTest::newRow("port without a lamp") << QStringList(11, "missing") + panel << "right" << 12 << QStringList{};
        // A lost port counts as failed, with no message of its own.
        QTest::newRow("only port lost") << QStringList{"lost"} << "" << 0 << QStringList{HardwareFail};
        QTest::newRow("wrong, then right")
            << panel << "wrong" << 1 << QStringList{"7158K: Enter the password wrong operation"};
        // Two frames sent a few milliseconds apart reach the panel as one, which it refuses.
        QTest::newRow("double-click on OK") << panel << "double" << 1 << QStringList{};
        QTest::newRow("unsendable, then right")
            << panel << "unsendable" << 1
            << QStringList{"System Information: The password can only hold characters that fit in one byte!"};
        QTest::newRow("close box skips the test") << panel << "close" << 1 << QStringList{};
        QTest::newRow("Exit ends the program") << panel << "exit" << 1 << QStringList{};
        // OK opens the panel's device again and the test goes on.
        QTest::newRow("line lost, then plugged back")
            << QStringList{"replug"} << "replug" << 1 << QStringList{"System Information: Serial port disconnected!"};
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
            if (!options.contains(port)) {
                devices << "/dev/kv4810g-missing-" + QString::number(devices.size() + 1);
                continue;
            }
            panels.push_back(std::make_unique<SimulatorProcess>(options.value(port)));
            QVERIFY(panels.back()->isReady());
            devices << (port == "replug" ? line : panels.back()->device());
        }
        qputenv("KV4810G_PORTS", devices.join(':').toLocal8Bit());
        frmmain window;
        QString indicated;
        QTimer::singleShot(500, &window, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (w->objectName() == "searchIndicator" && w->isVisible()) {
                    indicated = w->findChild<QLabel *>()->text();
                    // In the middle of the screen, the main window not shown yet.
                    const QPoint off = w->geometry().center() - w->screen()->availableGeometry().center();
                    if (off.manhattanLength() > 10)
                        indicated += QString(" (off centre by %1,%2)").arg(off.x()).arg(off.y());
                }
            }
        });
        bool indicatorGone = true;
        bool accepted = false;
        whenPasswordDialogShows(window, [&](QWidget *dialog) {
            for (QWidget *w : QApplication::topLevelWidgets())
                indicatorGone &= !(w->objectName() == "searchIndicator" && w->isVisible());
            if (answer == "close") {
                dialog->close();
                return;
            }
            if (answer == "exit")
                return click(*dialog, "Command2");
            if (answer == "replug") {
                panels.front().reset();
                QTRY_COMPARE_WITH_TIMEOUT(m_shown.size(), 1, 10000);
                panels.front() = std::make_unique<SimulatorProcess>(options.value("replug"));
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
        const bool ends = found == 0 || answer == "exit";
        QCOMPARE(window.Form_Load(), !ends);
        QCOMPARE(m_ended, ends ? 1 : 0);
        QCOMPARE(m_shown, shown);
        QCOMPARE(accepted, !ends && answer != "close");
        QCOMPARE(window.session().link().isOpen(), !ends);
        // Only a silent port holds the search for its full second; elsewhere
        // how far it has come half a second in depends on the machine's load.
        if (ports.first() == "silent")
            QCOMPARE(indicated, QString("Searching for the panel: port 1 of 16"));
        QVERIFY(indicatorGone);
        for (int port = 1; port <= 10; ++port)
            QCOMPARE(window.lamps().colour(port), port == found ? PortLamps::InUse : PortLamps::Failed);
        QWidget *lamp1 = window.findChild<QWidget *>("Shape_0");
        QVERIFY2(lamp1->toolTip().contains(devices.at(0)), qPrintable(lamp1->toolTip()));
        // The lamps paint themselves and leave every other event, their tool tips too, to the widget.
        QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), lamp1->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(lamp1, &hover);
        QCOMPARE(QToolTip::text(), lamp1->toolTip());
        QToolTip::hideText();
        if (found > 0) {
            QCOMPARE(window.PortIndex(), found);
            QCOMPARE(window.session().PanelFound, 1);
        }
    }

    // A box owned by the main window before it is shown is centred on the
    // screen, not placed against the hidden window.
    void boxBeforeMainWindowIsCentred()
    {
        Messages::setResponder(nullptr);
        frmmain window;
        window.setGeometry(0, 0, 200, 100);
        QRect placed;
        QTimer::singleShot(100, &window, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            placed = box->frameGeometry();
            box->accept();
        });
        Messages::inform(&window, "Serial port disconnected!", "System Information");
        const QPoint off = placed.center() - window.screen()->availableGeometry().center();
        QVERIFY2(off.manhattanLength() < 40, qPrintable(QString("%1,%2").arg(off.x()).arg(off.y())));
    }

    void openAndClosePort()
    {
        SimulatorProcess panel;
        QVERIFY(panel.isReady());
        qputenv("KV4810G_PORTS", ("/dev/kv4810g-missing:" + panel.device()).toLocal8Bit());
        frmmain window;
        window.InitialiseRecord();
        trigger(window, "Close_com"); // nothing open: nothing happens
        trigger(window, "open_com");
        QVERIFY(window.session().link().isOpen());
        QCOMPARE(window.PortIndex(), 2);
        QCOMPARE(window.lamps().colour(1), PortLamps::Failed);
        QCOMPARE(window.lamps().colour(2), PortLamps::InUse);
        QCOMPARE(window.session().PanelFound, 0);
        QVERIFY(m_shown.isEmpty());

        trigger(window, "open_com"); // already open: said so, the port stays as it is
        QCOMPARE(m_shown, QStringList{"System Information: Serial port is already open!"});
        QVERIFY(window.session().link().isOpen());
        QCOMPARE(window.PortIndex(), 2);

        trigger(window, "Close_com");
        QVERIFY(!window.session().link().isOpen());
        QCOMPARE(window.lamps().colour(2), PortLamps::InUse);

        qputenv("KV4810G_PORTS", "/dev/kv4810g-missing");
        trigger(window, "open_com");
        QCOMPARE(m_shown.last(), QString("System Information: No detected hardware devices!"));
        QVERIFY(!window.session().link().isOpen());

        // File > Exit ends the program and frees the port; nothing more is shown.
        openOn(window, panel.device());
        trigger(window, "eqit");
        QCOMPARE(m_ended, 1);
        QVERIFY(!window.session().link().isOpen());
        Messages::inform(&window, "late");
        QCOMPARE(m_shown.size(), 2);
    }

    // The suite's folder holds no manual: Help > About says so and names where it looked.
    void manualMissingIsSaid()
    {
        frmmain window;
        trigger(window, "About");
        const QString expected = QDir::toNativeSeparators(QDir(QCoreApplication::applicationDirPath()).filePath("HELP.doc"));
        QCOMPARE(m_shown, QStringList{"System Information: The manual " + expected
                                      + " cannot be found: install the program again!"});
    }

    void closeBoxEndsProgram()
    {
        frmmain window;
        window.InitialiseRecord();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.close();
        QCOMPARE(m_ended, 1);
        QVERIFY(m_shown.isEmpty());
    }

    // The real program with --trace, answering its own box: the box's details
    // say what became of every port, and the trace holds the search from its
    // first port on.
    void programWithoutPanel()
    {
        SimulatorProcess silent({"--silent"}), busy;
        QVERIFY(silent.isReady() && busy.isReady());
        QSerialPort otherProgram(busy.device());
        QVERIFY(otherProgram.open(QIODevice::ReadWrite));
        QTemporaryDir dir;
        const QString trace = dir.filePath("support.txt");
        const auto [exitCode, said] = runProgram({"--trace", trace},
            {"KV4810G_PORTS=" + silent.device() + ":/dev/kv4810g-missing:" + busy.device(), "KV4810G_AUTO_ANSWER=1",
             "QT_QPA_PLATFORM=offscreen"});
        QCOMPARE(exitCode, 0);
        QCOMPARE(said.size(), 17);
        QCOMPARE(said.at(0), HardwareFail);
        QCOMPARE(said.at(2), QString("Port 2 (/dev/kv4810g-missing): no such device"));
        QCOMPARE(said.at(3), "Port 3 (" + busy.device() + "): busy, in use by another program");
        QFile file(trace);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        QVERIFY2(lines.size() > 4, qPrintable(lines.join('\n')));
        QVERIFY(lines.at(0).startsWith("# KV-4810G programming software 1.0, protocol trace started "));
        QVERIFY(lines.at(1).endsWith(QString("-- port 1 (%1) opened").arg(silent.device())));
        QVERIFY(lines.at(2).endsWith("-> FF0018"));
        QVERIFY(lines.at(3).endsWith("-- port 1 closed"));
        QVERIFY(lines.at(4).endsWith("-- port 2 (/dev/kv4810g-missing) not opened: no such device"));
    }

    // Information and refusals answered without a display: a window would fail on the platform named.
    // A toolkit option is the toolkit's, not an unknown one.
    void commandLineInformation()
    {
        const QList<std::tuple<QStringList, int, QString>> cases{
            {{"--version"}, 0, "kv4810g 1.0"},
            {{"--help"}, 0, "postgresql://"},
            {{"-h", "-style", "fusion"}, 0, "--trace <file>"},
            {{"-hv"}, 0, "kv4810g 1.0"},
            {{"-vx"}, 2, ""},
            {{"--no-such-option"}, 2, ""},
        };
        for (const auto &[arguments, status, output] : cases) {
            const auto [exitCode, said] = runProgram(arguments, {"QT_QPA_PLATFORM=no-such-platform"});
            QCOMPARE(exitCode, status);
            QVERIFY2(said.join('\n').contains(output), qPrintable(arguments.join(' ') + ": " + said.join('\n')));
        }
    }

    // Ended by Ctrl+C, the program closes its port as Exit does: no lock file
    // stays behind to make the port busy for everyone else.
    void signalEndsProgram()
    {
        SimulatorProcess panel;
        QVERIFY(panel.isReady());
        QProcess program;
        startProgram(program, {}, {"KV4810G_PORTS=" + panel.device(), "QT_QPA_PLATFORM=offscreen"});
        // QSerialPort locks a device in the first lock folder it may write.
        // Its first line is the process number of the program that holds it.
        const auto lockFile = [&program, name = "LCK.." + panel.device().remove(QRegularExpression("^/dev/")).replace('/', '_')] {
            for (const QString folder : {"/var/lock/", "/tmp/"}) {
                QFile file(folder + name);
                if (file.open(QIODevice::ReadOnly) && file.readLine().trimmed().toLongLong() == program.processId())
                    return file.fileName();
            }
            return QString();
        };
        QString lock;
        QTRY_VERIFY_WITH_TIMEOUT(!(lock = lockFile()).isEmpty(), 20000);
        ::kill(program.processId(), SIGINT);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY2(!QFile::exists(lock), qPrintable(lock));
    }

    // What a fresh window shows, control by control.
    void startValues()
    {
        frmmain window;
        window.InitialiseRecord();
        for (const auto &[name, text] : QList<QPair<QString, QString>>{{"TxtMiMa", "5793"}, {"TxtTian", "00"},
                 {"Cmb1", "alarm type"}, {"Cmb6", "alarm type"}, {"CmbChanKai", "disconnect"},
                 {"CmbChanBi", "pull in"}, {"CmbFangQu", "1"}}) {
            auto *edit = window.findChild<QLineEdit *>(name);
            auto *list = window.findChild<QComboBox *>(name);
            QCOMPARE(edit ? edit->text() : list ? list->currentText() : "no control " + name, text);
        }
        QCOMPARE(window.findChild<QComboBox *>("Cmb1")->currentIndex(), -1);
        for (QCheckBox *box : window.findChildren<QCheckBox *>())
            QVERIFY(!box->isChecked());
        QCOMPARE(window.settings(), PanelSettings::startValues());
    }

    // Masked; Esc presses nothing; Enter presses OK with at most four characters.
    void passwordDialogKeys()
    {
        frmPassWord dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *text = dialog.findChild<QLineEdit *>("Text1");
        QTest::keyClicks(text, "12");
        QCOMPARE(text->displayText(), QString("**"));
        QTRY_VERIFY(text->hasFocus());
        QTest::keyClick(text, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QSignalSpy entered(&dialog, &frmPassWord::passwordEntered);
        QTest::keyClicks(text, "3456");
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(entered.count(), 1);
        QCOMPARE(entered.at(0).at(0).toString(), QString("1234"));
        QVERIFY(dialog.isVisible());
    }

    // Every caption fits on one line in its control's fixed size, in the font the form gives it.
    void captionsShownWhole()
    {
        frmmain mainWindow;
        mainWindow.InitialiseRecord();
        mainWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
        frmPassWord password;
        frmOpen open;
        for (QWidget *window : QList<QWidget *>{&mainWindow, &password, &open}) {
            for (QLabel *label : window->findChildren<QLabel *>()) {
                const QSize text = label->fontMetrics().size(Qt::TextSingleLine, label->text());
                QVERIFY2(label->objectName().startsWith("qt_") || (text.width() <= label->contentsRect().width()
                                                                   && text.height() <= label->contentsRect().height()),
                         qPrintable(label->text()));
            }
            for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
                if (button->text().isEmpty())
                    continue;
                int needed = button->fontMetrics().horizontalAdvance(button->text());
                if (!qobject_cast<QPushButton *>(button))
                    needed = button->sizeHint().width();
                else
                    needed += button->icon().isNull() ? 8 : button->iconSize().width() + 12;
                QVERIFY2(needed <= button->width(), qPrintable(button->text()));
            }
            for (QGroupBox *group : window->findChildren<QGroupBox *>())
                QVERIFY2(group->fontMetrics().horizontalAdvance(group->title()) <= group->width(),
                         qPrintable(group->title()));
        }
    }

private:
    QStringList m_shown; // "title: text" of every box shown
    int m_ended = 0;
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
