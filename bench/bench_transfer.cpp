// Wall and CPU time of a settings download through the window against the
// unpaced panel simulator, and how soon "finish Upload!" follows the last
// byte of the "FF5B" reply. Prints its figures; asserts nothing.
#include "frmmain.h"
#include "messages.h"
#include "ptypair.h"
#include "simulatorprocess.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

double highest(const QList<double> &values)
{
    return *std::max_element(values.begin(), values.end());
}

void openOn(frmmain &window, const QString &device)
{
    qputenv("KV4810G_PORTS", device.toLocal8Bit());
    window.InitialiseRecord();
    window.findChild<QAction *>("open_com")->trigger();
}

QByteArray reply(const QString &text)
{
    return QByteArray::fromHex(text.toLatin1() + "0D0A");
}

} // namespace

class BenchTransfer : public QObject
{
    Q_OBJECT
private slots:
    void startupToPasswordDialog()
    {
        const int runs = 3;
        const double floor = 1.0; // the detection wait
        SimulatorProcess panel({"--no-pacing"});
        QVERIFY(panel.isReady());
        qputenv("KV4810G_PORTS", panel.device().toLocal8Bit());
        QList<double> walls;
        for (int i = 0; i < runs; ++i) {
            frmmain window;
            QElapsedTimer clock;
            double shownAt = 0;
            QTimer poll;
            connect(&poll, &QTimer::timeout, [&] {
                QWidget *modal = QApplication::activeModalWidget();
                if (!modal || modal->objectName() != QLatin1String("frmPassWord"))
                    return;
                shownAt = clock.nsecsElapsed() / 1e9;
                poll.stop();
                modal->close();
            });
            poll.start(1);
            clock.start();
            window.Form_Load();
            QVERIFY(shownAt > 0);
            walls << shownAt;
            window.session().link().close();
        }
        qInfo("start-up to the password dialog: median %.4f s (%.2f %% over the %.1f s floor)",
              median(walls), (median(walls) / floor - 1) * 100, floor);
    }

    void downloadWallAndCpu()
    {
        const int runs = 5;
        const double floor = 2.0; // ten waits of 0.2 s
        SimulatorProcess panel({"--no-pacing"});
        QVERIFY(panel.isReady());
        frmmain window;
        openOn(window, panel.device());
        QVERIFY(window.session().link().isOpen());

        QElapsedTimer clock;
        double finishedAt = 0;
        Messages::setResponder([&](const QString &text, const QString &, bool) {
            if (text == QLatin1String("finish download!"))
                finishedAt = clock.nsecsElapsed() / 1e9;
            return Messages::Answer::Ok;
        });
        QList<double> walls;
        QList<double> cpus;
        for (int i = 0; i < runs; ++i) {
            finishedAt = 0;
            const double cpuBefore = cpuSeconds();
            clock.start();
            window.findChild<QPushButton *>("ComSend")->click();
            cpus << cpuSeconds() - cpuBefore;
            QVERIFY(finishedAt > 0);
            walls << finishedAt;
            QTest::qWait(100); // lets the panel end the last frame
        }
        Messages::setResponder(nullptr);
        qInfo("download, click to \"finish download!\": median %.4f s (%.2f %% over the %.1f s floor), "
              "worst %.4f s (%.2f %%)",
              median(walls), (median(walls) / floor - 1) * 100, floor, highest(walls),
              (highest(walls) / floor - 1) * 100);
        qInfo("download, program CPU: median %.2f ms, worst %.2f ms", median(cpus) * 1000,
              highest(cpus) * 1000);
    }

    void uploadEndAfterLastByte()
    {
        const int runs = 20;
        PtyPair line;
        QVERIFY(line.isValid());
        frmmain window;
        openOn(window, line.devicePath());
        QVERIFY(window.session().link().isOpen());

        QElapsedTimer clock;
        double finishedAt = 0;
        Messages::setResponder([&](const QString &text, const QString &, bool) {
            if (text == QLatin1String("finish Upload!"))
                finishedAt = clock.nsecsElapsed() / 1e9;
            return Messages::Answer::Ok;
        });
        QByteArray leading;
        for (const char *code : {"FF51", "FF52", "FF53", "FF54", "FF55", "FF56"})
            leading += reply(QLatin1String(code) + "03010203" + QString(26, '0') + "02");
        for (const char *code : {"FF57", "FF58", "FF59"})
            leading += reply(QLatin1String(code) + "0400000102" + QString(24, '0'));
        leading += reply("FF5A050709030102");
        const QByteArray last = reply("FF5B15101101000000");

        QList<double> latencies;
        for (int i = 0; i < runs; ++i) {
            finishedAt = 0;
            window.findChild<QPushButton *>("CmdRead")->click();
            QVERIFY(line.read(3) == QByteArray::fromHex("FF0000"));
            line.write(leading);
            QTest::qWait(20); // the ten replies before it are handled
            clock.start();
            line.write(last);
            QVERIFY(QTest::qWaitFor([&] { return finishedAt > 0; }, 2000));
            latencies << finishedAt;
        }
        Messages::setResponder(nullptr);
        qInfo("upload, last byte of FF5B to \"finish Upload!\": median %.3f ms, worst %.3f ms",
              median(latencies) * 1000, highest(latencies) * 1000);
    }
};

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchTransfer bench;
    return QTest::qExec(&bench, argc, argv);
}

#include "bench_transfer.moc"
