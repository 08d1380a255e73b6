// The protocol trace: the password masked in every trace, the lines kept,
// the logging category, the trace window, and the program's command line.
#include "frmmain.h"
#include "messages.h"
#include "programend.h"
#include "protocoltrace.h"
#include "ptypair.h"
#include "seriallink.h"
#include "simulatorprocess.h"
#include "tracewindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

QStringList traceLines()
{
    return ProtocolTrace::instance().lines();
}

// Every line logged to the category while it lives.
class CategoryCapture
{
public:
    CategoryCapture()
    {
        s_lines.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("kv4810g.trace=true"));
        m_previous = qInstallMessageHandler(&CategoryCapture::handle);
    }
    ~CategoryCapture()
    {
        qInstallMessageHandler(m_previous);
        QLoggingCategory::setFilterRules(QString());
    }
    QStringList lines() const { return s_lines; }

private:
    static void handle(QtMsgType, const QMessageLogContext &context, const QString &message)
    {
        if (QLatin1String(context.category) == QLatin1String("kv4810g.trace"))
            s_lines << message;
    }
    static inline QStringList s_lines;
    QtMessageHandler m_previous = nullptr;
};

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Types the password once the password dialog is up.
void whenPasswordDialogShows(const QString &password)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, password] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != QLatin1String("frmPassWord"))
            return;
        poll->stop();
        poll->deleteLater();
        modal->findChild<QLineEdit *>(QStringLiteral("Text1"))->insert(password);
        QTest::mouseClick(modal->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
    });
    poll->start(20);
}

} // namespace

class TestTrace : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void masked_data();
    void masked();
    void passwordMaskedInEveryTrace();
    void startUpAndPasswordTraced();
    void keepsLastLines();
    void traceWindow();
    void commandLineInformation_data();
    void commandLineInformation();
    void traceFileFromStartUp();

private:
    QList<QString> m_shown;
};

void TestTrace::init()
{
    m_shown.clear();
    Messages::setResponder([this](const QString &text, const QString &, bool) {
        m_shown.append(text);
        return Messages::Answer::Ok;
    });
    ProgramEnd::setHandler([] {});
    ProtocolTrace::instance().clear();
}

void TestTrace::cleanup()
{
    Messages::setResponder(nullptr);
    ProtocolTrace::instance().closeFile();
}

void TestTrace::masked_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("traced");
    QTest::newRow("four digits") << "FF010231323334" << "FF0102****";
    QTest::newRow("lower case") << "ff010261626364" << "FF0102****";
    QTest::newRow("one character") << "FF010239" << "FF0102****";
    QTest::newRow("empty password") << "FF0102" << "FF0102****";
    QTest::newRow("detection") << "FF0018" << "FF0018";
    QTest::newRow("upload request") << "ff0000" << "FF0000";
    QTest::newRow("password relays frame") << "FF0B0507090302" << "FF0B0507090302";
}

void TestTrace::masked()
{
    QFETCH(QString, frame);
    QFETCH(QString, traced);
    QCOMPARE(ProtocolTrace::masked(frame), traced);
}

// The password frame as it goes on the line, and the same frame refused
// by a closed port: the category, the lines kept and the file all show
// "****" and never the characters.
void TestTrace::passwordMaskedInEveryTrace()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("trace.txt");
    QString error;
    QVERIFY2(ProtocolTrace::instance().setFile(file, &error), qPrintable(error));
    CategoryCapture category;
    PtyPair line;
    QVERIFY(line.isValid());
    qputenv("KV4810G_PORTS", line.devicePath().toLocal8Bit());
    SerialLink link;
    QVERIFY(link.selectPort(1, &error));
    QVERIFY2(link.open(&error), qPrintable(error));
    QVERIFY(link.SendFrame("FF010231323334", &error));
    QCOMPARE(line.read(7).toHex().toUpper(), QByteArray("FF010231323334")); // the panel gets it whole
    line.write(QByteArray::fromHex("FF50010D0A"));
    QSignalSpy replies(&link, &SerialLink::replyReceived);
    QVERIFY(replies.wait(2000));
    link.close();
    QVERIFY(!link.SendFrame("ff010239393939", &error));

    const QStringList kept = traceLines();
    const QStringList logged = category.lines();
    const QString written = readFile(file);
    QCOMPARE(logged, kept);
    QVERIFY2(written.endsWith(kept.join('\n') + '\n'), qPrintable(written));
    QCOMPARE(kept.size(), 5);
    QVERIFY2(kept.at(1).endsWith(" -> FF0102****"), qPrintable(kept.at(1)));
    QVERIFY2(kept.at(2).endsWith(" <- FF50010D0A"), qPrintable(kept.at(2)));
    QVERIFY2(kept.at(4).endsWith("not sent, the serial port is not open: FF0102****"), qPrintable(kept.at(4)));
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d -> ").match(kept.at(1)).hasMatch());
    for (const QString &text : {written, logged.join('\n')}) {
        QVERIFY2(!text.contains("31323334") && !text.contains("39393939"), qPrintable(text));
    }
}

// Through the window: the start-up search and the password test.
void TestTrace::startUpAndPasswordTraced()
{
    SimulatorProcess panel;
    QVERIFY(panel.isReady());
    qputenv("KV4810G_PORTS", panel.device().toLocal8Bit());
    frmmain window;
    whenPasswordDialogShows("1234");
    QVERIFY(window.Form_Load());
    QVERIFY(window.link().isOpen());
    const QStringList lines = traceLines();
    const QString text = lines.join('\n');
    QVERIFY2(lines.at(0).endsWith(QString("-- port 1 (%1) opened").arg(panel.device())), qPrintable(text));
    QVERIFY2(lines.at(1).endsWith("-> FF0018"), qPrintable(text));
    QVERIFY2(lines.at(2).endsWith("<- FF6F0D0A"), qPrintable(text));
    QVERIFY2(lines.at(3).endsWith("-> FF0102****"), qPrintable(text));
    QVERIFY2(lines.at(4).endsWith("<- FF50010D0A"), qPrintable(text));
    QVERIFY2(!text.contains("31323334"), qPrintable(text));
}

void TestTrace::keepsLastLines()
{
    for (int i = 0; i < ProtocolTrace::MaxLines + 5; ++i)
        ProtocolTrace::note(QString("line %1").arg(i));
    const QStringList lines = traceLines();
    QCOMPARE(lines.size(), ProtocolTrace::MaxLines);
    QVERIFY(lines.first().endsWith("-- line 5"));
    QVERIFY(lines.last().endsWith(QString("-- line %1").arg(ProtocolTrace::MaxLines + 4)));
}

void TestTrace::traceWindow()
{
    frmmain window;
    window.InitialiseRecord();
    ProtocolTrace::note("before");
    window.findChild<QAction *>("protocolTrace")->trigger();
    auto *trace = window.findChild<TraceWindow *>();
    QVERIFY(trace);
    QVERIFY(trace->isVisible());
    QVERIFY(trace->isWindow());
    QVERIFY(!trace->isModal());
    ProtocolTrace::frameSent("FF0102AABB");
    QStringList shown = trace->text().split('\n');
    QCOMPARE(shown.size(), 2);
    QVERIFY(shown.at(0).endsWith("-- before"));
    QVERIFY(shown.at(1).endsWith("-> FF0102****"));

    QTemporaryDir dir;
    QString error;
    QVERIFY(TraceWindow::saveTo(dir.filePath("saved.txt"), &error));
    QCOMPARE(readFile(dir.filePath("saved.txt")), shown.join('\n') + '\n');
    QVERIFY(!TraceWindow::saveTo(dir.filePath("no/such/folder/saved.txt"), &error));

    trace->findChild<QPushButton *>("clear")->click();
    QCOMPARE(trace->text(), QString());
    QVERIFY(traceLines().isEmpty());

    // Closed and chosen again: the same window, still up to date.
    trace->close();
    ProtocolTrace::note("after");
    window.findChild<QAction *>("protocolTrace")->trigger();
    QCOMPARE(window.findChild<TraceWindow *>(), trace);
    QVERIFY(trace->isVisible());
    QVERIFY(trace->text().endsWith("-- after"));
}

void TestTrace::commandLineInformation_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "kv4810g 1.0\n";
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "--trace <file>";
    QTest::newRow("-h") << QStringList{"-h"} << 0 << "Usage: ";
}

// Answered without a display: the platform named cannot be loaded, so a
// window would end the program with an error.
void TestTrace::commandLineInformation()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "no-such-platform");
    env.remove("DISPLAY");
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(PROGRAM_PATH), arguments);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    const QString said = QString::fromLocal8Bit(program.readAllStandardOutput());
    QVERIFY2(said.contains(output), qPrintable(said));
}

// kv4810g --trace FILE: the search is in the file from its first port on,
// also when the program ends at once ("hardware testing fail!").
void TestTrace::traceFileFromStartUp()
{
    SimulatorProcess panel({"--silent"});
    QVERIFY(panel.isReady());
    QTemporaryDir dir;
    const QString file = dir.filePath("support.txt");
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KV4810G_PORTS", panel.device());
    env.insert("KV4810G_AUTO_ANSWER", "1");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(PROGRAM_PATH), {"--trace", file});
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(program.readAllStandardOutput().startsWith("System Information: hardware testing fail!"));
    const QStringList lines = readFile(file).split('\n');
    QVERIFY2(lines.size() > 4, qPrintable(lines.join('\n')));
    QVERIFY(lines.at(0).startsWith("# KV-4810G programming software 1.0, protocol trace started "));
    QVERIFY(lines.at(1).endsWith(QString("-- port 1 (%1) opened").arg(panel.device())));
    QVERIFY(lines.at(2).endsWith("-> FF0018"));
    QVERIFY(lines.at(3).endsWith("-- port 1 closed"));
    QVERIFY(lines.at(4).endsWith("-- port 2 not opened: no serial port has this number on this computer"));
}

QTEST_MAIN(TestTrace)
#include "tst_trace.moc"
