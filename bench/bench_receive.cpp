// Cost of one receive event as the unterminated part of the buffer grows:
// the terminator search looks only at the new bytes, so it stays flat.
#include "delay.h"
#include "receiveassembler.h"

#include <QtTest>

#include <sys/resource.h>

class BenchReceive : public QObject
{
    Q_OBJECT
private slots:
    void oneByteOnPending_data()
    {
        QTest::addColumn<int>("pending");
        for (int pending : {0, 512, 2048, 4000})
            QTest::addRow("%d pending bytes", pending) << pending;
    }

    void oneByteOnPending()
    {
        QFETCH(int, pending);
        ReceiveAssembler assembler;
        assembler.feed(QByteArray(pending, 'x'));
        const QByteArray piece(1, 'y');
        QBENCHMARK {
            // Feeding keeps the buffer at its cap, so every round is alike.
            assembler.feed(piece);
        }
    }

    void wholeSettingsUpload()
    {
        // The eleven replies of an upload, as one read.
        QByteArray upload;
        for (int i = 0; i < 11; ++i)
            upload += QByteArray("\xFF\x51", 2) + QByteArray(18, '\x01') + "\r\n";
        ReceiveAssembler assembler;
        QBENCHMARK {
            assembler.feed(upload);
        }
    }

    void delayCpu()
    {
        // CPU spent by ten 0.2 s waits; a spinning wait would spend 2 s.
        rusage before{};
        rusage after{};
        getrusage(RUSAGE_SELF, &before);
        for (int i = 0; i < 10; ++i)
            Delay(0.2);
        getrusage(RUSAGE_SELF, &after);
        const auto micros = [](const rusage &u) {
            return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000LL + u.ru_utime.tv_usec
                + u.ru_stime.tv_usec;
        };
        qInfo("CPU for 10 x Delay(0.2): %.3f ms", (micros(after) - micros(before)) / 1000.0);
    }
};

QTEST_GUILESS_MAIN(BenchReceive)
#include "bench_receive.moc"
