// The program's start against the panel simulator: the search over the
// ports, the lamps, the password test and the ways the program ends.
#include "frmmain.h"
#include "messages.h"
#include "portlamps.h"
#include "programend.h"
#include "simulatorprocess.h"

#include <QApplication>
#include <QPointer>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSerialPort>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

namespace {

struct Shown
{
    QString text;
    QString title;
    QString detail;
};

// Watches for the password dialog; a test that never shows it must not
// leave its watcher to act on the next test's dialog.
QPointer<QTimer> pendingPoll;

// Acts on the password dialog once it is up, from inside its modal loop.
void whenPasswordDialogShows(std::function<void(QWidget *)> act)
{
    auto *poll = new QTimer;
    pendingPoll = poll;
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

void typePassword(QWidget *dialog, const QString &password)
{
    auto *text = dialog->findChild<QLineEdit *>(QStringLiteral("Text1"));
    text->clear();
    // Key clicks carry ASCII only; other characters are pasted in.
    text->insert(password);
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void findsPanel_data();
    void findsPanel();
    void passwordDialog_data();
    void passwordDialog();
    void noPanelEndsProgram();
    void lineLostOnOnlyPort();
    void lineLostWhilePasswordDialogOpen();
    void boxBeforeMainWindowIsCentred();
    void openAndClosePort();
    void closeBoxEndsProgram();

private:
    void setPorts(const QStringList &devices) { qputenv("KV4810G_PORTS", devices.join(':').toLocal8Bit()); }
    QList<Shown> m_shown;
    int m_ended = 0;
};

void TestStartup::init()
{
    m_shown.clear();
    m_ended = 0;
    Messages::setResponder([this](const QString &text, const QString &title, bool) {
        m_shown.append({text, title, Messages::currentDetail()});
        return Messages::Answer::Ok;
    });
    ProgramEnd::setHandler([this] {
        ++m_ended;
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
}

void TestStartup::cleanup()
{
    delete pendingPoll;
    Messages::setResponder(nullptr);
}

// Where the panel is among the ports, and what stands before it. Ports are
// "panel", "silent", "lost" (answers, then its line goes within the second),
// "stray" (a noise byte before every reply) or a missing device.
void TestStartup::findsPanel_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<int>("found");
    QTest::addColumn<int>("searchingAt"); // the port the indicator names half a second in

    const QStringList eleven = QString("missing,").repeated(11).split(',', Qt::SkipEmptyParts);
    QTest::newRow("first port") << QStringList{"panel"} << 1 << 1;
    QTest::newRow("behind missing ports") << QStringList{"missing", "missing", "panel"} << 3 << 3;
    QTest::newRow("behind a silent port") << QStringList{"silent", "panel"} << 2 << 1;
    QTest::newRow("behind a lost port") << QStringList{"lost", "panel"} << 2 << 1;
    QTest::newRow("noise before replies") << QStringList{"stray"} << 1 << 1;
    QTest::newRow("port without a lamp") << (eleven + QStringList{"panel"}) << 12 << 12;
}

void TestStartup::findsPanel()
{
    QFETCH(QStringList, ports);
    QFETCH(int, found);
    QFETCH(int, searchingAt);
    std::vector<std::unique_ptr<SimulatorProcess>> panels;
    QStringList devices;
    for (const QString &port : ports) {
        static const QHash<QString, QStringList> options{
            {"panel", {}}, {"silent", {"--silent"}}, {"lost", {"--hangup-after", "1"}}, {"stray", {"--stray", "00"}}};
        if (!options.contains(port)) {
            devices << "/dev/kv4810g-missing-" + QString::number(devices.size() + 1);
            continue;
        }
        panels.push_back(std::make_unique<SimulatorProcess>(options.value(port)));
        QVERIFY(panels.back()->isReady());
        devices << panels.back()->device();
    }
    setPorts(devices);
    frmmain window;
    QString indicated;
    QTimer::singleShot(500, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "searchIndicator" && w->isVisible())
                indicated = w->findChild<QLabel *>()->text();
        }
    });
    bool indicatorGone = true;
    bool accepted = false;
    whenPasswordDialogShows([&](QWidget *dialog) {
        for (QWidget *w : QApplication::topLevelWidgets())
            indicatorGone &= !(w->objectName() == "searchIndicator" && w->isVisible());
        typePassword(dialog, "1234");
        accepted = QTest::qWaitFor([dialog] { return !dialog->isVisible(); }, 3000);
        dialog->close();
    });
    QVERIFY(window.Form_Load());
    QVERIFY(accepted);
    QCOMPARE(m_ended, 0);
    QVERIFY(m_shown.isEmpty());
    QCOMPARE(indicated, QString("Searching for the panel: port %1 of 16").arg(searchingAt));
    QVERIFY(indicatorGone);
    QCOMPARE(window.PortIndex(), found);
    QVERIFY(window.link().isOpen());
    QCOMPARE(window.dispatch().PanelFound, 1);
    for (int port = 1; port <= 10; ++port)
        QCOMPARE(window.lamps().colour(port), port == found ? PortLamps::InUse : PortLamps::Failed);
    QWidget *lamp1 = window.findChild<QWidget *>("Shape_0");
    QVERIFY2(lamp1->toolTip().contains(devices.at(0)), qPrintable(lamp1->toolTip()));
}

// What the technician does in the password dialog, and what follows. The
// panel's password is 2468.
void TestStartup::passwordDialog_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("windowShown");
    QTest::addColumn<QStringList>("shown"); // "title: text" of every message
    QTest::newRow("wrong, then right") << "wrong" << true
                                       << QStringList{"7158K: Enter the password wrong operation"};
    // Two frames sent a few milliseconds apart reach the panel as one, which it refuses.
    QTest::newRow("double-click on OK") << "double" << true << QStringList{};
    QTest::newRow("unsendable, then right")
        << "unsendable" << true
        << QStringList{"System Information: The password can only hold characters that fit in one byte!"};
    QTest::newRow("close box skips the test") << "close" << true << QStringList{};
    QTest::newRow("Exit ends the program") << "exit" << false << QStringList{};
}

void TestStartup::passwordDialog()
{
    QFETCH(QString, action);
    QFETCH(bool, windowShown);
    QFETCH(QStringList, shown);
    SimulatorProcess panel({"--password", "2468"});
    QVERIFY(panel.isReady());
    setPorts({panel.device()});
    frmmain window;
    whenPasswordDialogShows([&](QWidget *dialog) {
        auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("Command1"));
        if (action == "close")
            return dialog->close(), void();
        if (action == "exit")
            return QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton);
        if (action != "double") {
            typePassword(dialog, action == "wrong" ? QString("1234") : QString("24") + QChar(0x20AC));
            (void)QTest::qWaitFor([this] { return !m_shown.isEmpty(); }, 3000);
            QTest::qWait(QApplication::doubleClickInterval());
        }
        dialog->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText("2468");
        QTest::mouseClick(ok, Qt::LeftButton);
        if (action == "double")
            QTest::mouseClick(ok, Qt::LeftButton);
        (void)QTest::qWaitFor([dialog] { return !dialog->isVisible(); }, 3000);
        dialog->close();
    });
    QCOMPARE(window.Form_Load(), windowShown);
    QCOMPARE(m_ended, windowShown ? 0 : 1);
    QCOMPARE(window.link().isOpen(), windowShown);
    QStringList said;
    for (const Shown &message : m_shown)
        said << message.title + ": " + message.text;
    QCOMPARE(said, shown);
}

void TestStartup::noPanelEndsProgram()
{
    // The real program, answering its own message box: its details say what
    // became of every port.
    SimulatorProcess panel;
    QVERIFY(panel.isReady());
    QSerialPort otherProgram(panel.device());
    QVERIFY(otherProgram.open(QIODevice::ReadWrite));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KV4810G_PORTS", "/dev/kv4810g-missing:" + panel.device());
    env.insert("KV4810G_AUTO_ANSWER", "1");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(PROGRAM_PATH), {});
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QStringList said = QString::fromLocal8Bit(program.readAllStandardOutput()).trimmed().split('\n');
    QCOMPARE(said.size(), 17);
    QCOMPARE(said.at(0), QString("System Information: hardware testing fail!"));
    QCOMPARE(said.at(1), QString("Port 1 (/dev/kv4810g-missing): no such device"));
    QCOMPARE(said.at(2), "Port 2 (" + panel.device() + "): busy, in use by another program");
}

void TestStartup::lineLostOnOnlyPort()
{
    // The panel answers, then its line goes within the detection second:
    // the port counts as failed, with no message of its own.
    SimulatorProcess lost({"--hangup-after", "1"});
    QVERIFY(lost.isReady());
    setPorts({lost.device()});
    frmmain window;
    whenPasswordDialogShows([](QWidget *dialog) { dialog->close(); });
    QVERIFY(!window.Form_Load());
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown.at(0).text, QString("hardware testing fail!"));
    QCOMPARE(window.lamps().colour(1), PortLamps::Failed);
}

void TestStartup::lineLostWhilePasswordDialogOpen()
{
    // The cable is pulled and plugged back while the dialog is open: OK
    // opens the panel's device again and the test goes on.
    const QString line = QDir::temp().filePath(QStringLiteral("kv4810g-replug-%1").arg(QCoreApplication::applicationPid()));
    auto panel = std::make_unique<SimulatorProcess>(QStringList{"--link", line});
    QVERIFY(panel->isReady());
    setPorts({line});
    frmmain window;
    bool accepted = false;
    whenPasswordDialogShows([&](QWidget *dialog) {
        panel.reset();
        QTRY_COMPARE_WITH_TIMEOUT(m_shown.size(), 1, 3000);
        panel = std::make_unique<SimulatorProcess>(QStringList{"--link", line});
        typePassword(dialog, "1234");
        accepted = QTest::qWaitFor([dialog] { return !dialog->isVisible(); }, 3000);
        dialog->close();
    });
    QVERIFY(window.Form_Load());
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown.at(0).text, QString("Serial port disconnected!"));
    QVERIFY(accepted);
    QVERIFY(window.link().isOpen());
    QCOMPARE(window.lamps().colour(1), PortLamps::InUse);
}

void TestStartup::boxBeforeMainWindowIsCentred()
{
    // A box owned by the main window before it is shown is centred on the
    // screen, not placed against the hidden window.
    Messages::setResponder(nullptr);
    frmmain window;
    window.setGeometry(0, 0, 200, 100);
    QRect placed;
    QTimer::singleShot(100, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        placed = box->frameGeometry();
        box->accept();
    });
    Messages::inform(&window, "Serial port disconnected!", "System Information");
    const QPoint off = placed.center() - window.screen()->availableGeometry().center();
    QVERIFY2(off.manhattanLength() < 40, qPrintable(QString("%1,%2").arg(off.x()).arg(off.y())));
}

void TestStartup::openAndClosePort()
{
    SimulatorProcess panel;
    QVERIFY(panel.isReady());
    setPorts({"/dev/kv4810g-missing", panel.device()});
    frmmain window;
    window.InitialiseRecord();
    auto *openPort = window.findChild<QAction *>("open_com");
    auto *closePort = window.findChild<QAction *>("Close_com");

    closePort->trigger(); // nothing open: nothing happens
    QVERIFY(m_shown.isEmpty());

    openPort->trigger();
    QVERIFY(window.link().isOpen());
    QCOMPARE(window.PortIndex(), 2);
    QCOMPARE(window.lamps().colour(1), PortLamps::Failed);
    QCOMPARE(window.lamps().colour(2), PortLamps::InUse);
    QCOMPARE(window.dispatch().PanelFound, 0);
    QVERIFY(m_shown.isEmpty());

    openPort->trigger(); // already open: said so, the port stays as it is
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown.at(0).text, QString("Serial port is already open!"));
    QCOMPARE(m_shown.at(0).title, QString("System Information"));
    QVERIFY(window.link().isOpen());
    QCOMPARE(window.PortIndex(), 2);

    closePort->trigger();
    QVERIFY(!window.link().isOpen());
    QCOMPARE(window.lamps().colour(2), PortLamps::InUse);

    setPorts({"/dev/kv4810g-missing"});
    openPort->trigger();
    QCOMPARE(m_shown.size(), 2);
    QCOMPARE(m_shown.at(1).text, QString("No detected hardware devices!"));
    QVERIFY(!window.link().isOpen());

    // File > Exit ends the program and frees the port; nothing more is shown.
    setPorts({panel.device()});
    openPort->trigger();
    QVERIFY(window.link().isOpen());
    window.findChild<QAction *>("eqit")->trigger();
    QCOMPARE(m_ended, 1);
    QVERIFY(!window.link().isOpen());
    Messages::inform(&window, "late");
    QCOMPARE(m_shown.size(), 2);
}

void TestStartup::closeBoxEndsProgram()
{
    frmmain window;
    window.InitialiseRecord();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.close();
    QCOMPARE(m_ended, 1);
    QVERIFY(m_shown.isEmpty());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
