// The protocol trace: the password masked in every trace, the lines kept,
// and the trace window.
#include "frmmain.h"
#include "messages.h"
#include "programend.h"
#include "protocoltrace.h"
#include "ptypair.h"
#include "seriallink.h"
#include "tracewindow.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList categoryLines; // logged to "kv4810g.trace" while captureCategory's handler is in

void captureCategory(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (QLatin1String(context.category) == QLatin1String("kv4810g.trace"))
        categoryLines << message;
}

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestTrace : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        Messages::setResponder([](const QString &, const QString &, bool) { return Messages::Answer::Ok; });
        ProgramEnd::setHandler([] {});
        ProtocolTrace::instance().clear();
    }

    void cleanup()
    {
        Messages::setResponder(nullptr);
        ProtocolTrace::instance().closeFile();
    }

    // The password frame sent, a reply, and the frame refused by a closed port:
    // the category, the lines kept and the file all show "****".
    void passwordMaskedInEveryTrace()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("trace.txt");
        QString error;
        QVERIFY2(ProtocolTrace::instance().setFile(file, &error), qPrintable(error));
        categoryLines.clear();
        QLoggingCategory::setFilterRules("kv4810g.trace=true");
        const QtMessageHandler previous = qInstallMessageHandler(&captureCategory);
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
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());

        const QStringList kept = ProtocolTrace::instance().lines();
        const QString written = readFile(file);
        QCOMPARE(categoryLines, kept);
        QVERIFY2(written.endsWith(kept.join('\n') + '\n'), qPrintable(written));
        QCOMPARE(kept.size(), 5);
        QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d -> FF0102\\*\\*\\*\\*$").match(kept.at(1)).hasMatch());
        QVERIFY2(kept.at(2).endsWith(" <- FF50010D0A"), qPrintable(kept.at(2)));
        QVERIFY2(kept.at(4).endsWith("not sent, the serial port is not open: FF0102****"), qPrintable(kept.at(4)));
        QVERIFY2(!written.contains("31323334") && !written.contains("39393939"), qPrintable(written));
    }

    void keepsLastLines()
    {
        for (int i = 0; i < ProtocolTrace::MaxLines + 5; ++i)
            ProtocolTrace::note(QString("line %1").arg(i));
        const QStringList lines = ProtocolTrace::instance().lines();
        QCOMPARE(lines.size(), ProtocolTrace::MaxLines);
        QVERIFY(lines.first().endsWith("-- line 5"));
        QVERIFY(lines.last().endsWith(QString("-- line %1").arg(ProtocolTrace::MaxLines + 4)));
    }

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
        QVERIFY(shown.at(0).endsWith("-- before"));
        QVERIFY(shown.at(1).endsWith("-> FF0102****"));

        QTemporaryDir dir;
        QString error;
        QVERIFY(TraceWindow::saveTo(dir.filePath("saved.txt"), &error));
        QCOMPARE(readFile(dir.filePath("saved.txt")), shown.join('\n') + '\n');
        QVERIFY(!TraceWindow::saveTo(dir.filePath("no/such/folder/saved.txt"), &error));

        trace->findChild<QPushButton *>("clear")->click();
        QCOMPARE(trace->text(), QString());
        QVERIFY(ProtocolTrace::instance().lines().isEmpty());

        // Closed and chosen again: the same window, still up to date.
        trace->close();
        ProtocolTrace::note("after");
        window.findChild<QAction *>("protocolTrace")->trigger();
        QCOMPARE(window.findChild<TraceWindow *>(), trace);
        QVERIFY(trace->isVisible());
        QVERIFY(trace->text().endsWith("-- after"));
    }
};

QTEST_MAIN(TestTrace)
#include "tst_trace.moc"
