// Through the window against the panel simulator: start-up to the password
// dialog with the panel on port 1 and on port 3, a settings download (the
// simulator unpaced) and an upload, each with the program's CPU time; and
// how soon "finish Upload!" follows the last byte of the "FF5B" reply.
// Prints its figures; asserts nothing.
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
#include <functional>
#include <memory>
#include <vector>
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

// Calls `shown` when the password dialog is shown.
class DialogWatch : public QObject
{
public:
    explicit DialogWatch(std::function<void(QWidget *)> shown) : m_shown(std::move(shown))
    {
        qApp->installEventFilter(this);
    }
    ~DialogWatch() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("frmPassWord"))
            m_shown(static_cast<QWidget *>(watched));
        return false;
    }

private:
    std::function<void(QWidget *)> m_shown;
};

struct Timings
{
    QList<double> walls;
    QList<double> cpus;
};

// Clicks the button `runs` times, each time until the message `finish`
// is shown: the wall and CPU time of each run.
Timings timeClicks(frmmain &window, const char *button, const char *finish, int runs)
{
    Timings t;
    QElapsedTimer clock;
    double finishedAt = 0;
    // Waited for in an event loop the message ends, as the program's own
    // loop runs: a polling wait would hand timers out late.
    QEventLoop waiting;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &waiting, &QEventLoop::quit);
    Messages::setResponder([&](const QString &text, const QString &, bool) {
        if (text == QLatin1String(finish)) {
            finishedAt = clock.nsecsElapsed() / 1e9;
            waiting.quit();
        }
        return Messages::Answer::Ok;
    });
    for (int i = 0; i < runs; ++i) {
        finishedAt = 0;
        const double cpuBefore = cpuSeconds();
        clock.start();
        window.findChild<QPushButton *>(button)->click();
        limit.start(5000);
        waiting.exec();
        if (finishedAt == 0)
            break;
        t.cpus << cpuSeconds() - cpuBefore;
        t.walls << finishedAt;
        QTest::qWait(100); // lets the panel end the last frame
    }
    Messages::setResponder(nullptr);
    return t;
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
    // The panel on port 1, and on port 3 behind two ports that open but
    // never answer (each gets its full second).
    void startupToPasswordDialog_data()
    {
        QTest::addColumn<int>("silentPorts");
        QTest::newRow("panel on port 1") << 0;
        QTest::newRow("panel on port 3") << 2;
    }

    void startupToPasswordDialog()
    {
        QFETCH(int, silentPorts);
        const int runs = 3;
        std::vector<std::unique_ptr<SimulatorProcess>> silent;
        QStringList devices;
        for (int i = 0; i < silentPorts; ++i) {
            silent.push_back(std::make_unique<SimulatorProcess>(QStringList{"--silent"}));
            devices << silent.back()->device();
        }
        SimulatorProcess panel;
        QVERIFY(panel.isReady());
        devices << panel.device();
        qputenv("KV4810G_PORTS", devices.join(':').toLocal8Bit());
        QList<double> walls;
        QList<double> cpus;
        for (int i = 0; i < runs; ++i) {
            frmmain window;
            QElapsedTimer clock;
            double shownAt = 0;
            double cpuAtShow = 0;
            // Told by the dialog's show event: polling would cost CPU of its own.
            DialogWatch watch([&](QWidget *dialog) {
                shownAt = clock.nsecsElapsed() / 1e9;
                cpuAtShow = cpuSeconds();
                QTimer::singleShot(0, dialog, &QWidget::close);
            });
            const double cpuBefore = cpuSeconds();
            clock.start();
            window.Form_Load();
            QVERIFY(shownAt > 0);
            walls << shownAt;
            cpus << cpuAtShow - cpuBefore;
            window.session().link().close();
        }
        qInfo("start-up to the password dialog, %d silent ports first: median %.4f s, program CPU median %.2f ms",
              silentPorts, median(walls), median(cpus) * 1000);
    }

    void downloadWallAndCpu()
    {
        const double floor = 2.0; // ten waits of 0.2 s
        SimulatorProcess panel({"--no-pacing"});
        QVERIFY(panel.isReady());
        frmmain window;
        openOn(window, panel.device());
        QVERIFY(window.session().link().isOpen());
        const Timings t = timeClicks(window, "ComSend", "finish download!", 5);
        QCOMPARE(t.walls.size(), 5);
        qInfo("download, click to \"finish download!\": median %.4f s (%.2f %% over the %.1f s floor), "
              "worst %.4f s (%.2f %%)",
              median(t.walls), (median(t.walls) / floor - 1) * 100, floor, highest(t.walls),
              (highest(t.walls) / floor - 1) * 100);
        qInfo("download, program CPU: median %.2f ms, worst %.2f ms", median(t.cpus) * 1000,
              highest(t.cpus) * 1000);
    }

    // Click on Upload to "finish Upload!" against the simulator, which
    // paces its eleven replies like a 9600-baud line.
    void uploadWallAndCpu()
    {
        SimulatorProcess panel;
        QVERIFY(panel.isReady());
        frmmain window;
        openOn(window, panel.device());
        QVERIFY(window.session().link().isOpen());
        const Timings t = timeClicks(window, "CmdRead", "finish Upload!", 5);
        QCOMPARE(t.walls.size(), 5);
        qInfo("upload, click to \"finish Upload!\": median %.4f s, program CPU median %.2f ms", median(t.walls),
              median(t.cpus) * 1000);
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
