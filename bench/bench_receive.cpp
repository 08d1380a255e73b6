// Cost of one receive event as the unterminated part of the buffer grows:
// the terminator search looks only at the new bytes, so it stays flat.
#include "receiveassembler.h"

#include <QtTest>

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
};

QTEST_GUILESS_MAIN(BenchReceive)
#include "bench_receive.moc"
