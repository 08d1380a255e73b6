#include "replydispatch.h"
#include "transferprogress.h"

#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(ReplyKind)

class TestReplyDispatch : public QObject
{
    Q_OBJECT
private slots:
    void matchAndRoute_data();
    void matchAndRoute();
    void zoneTextModeTakesEveryReply();
    void dataErrorStopsProgressWhereItStands();
    void progressFillsAndStaysFull();
};

// The reply's kind, number and start after noise, and the one action signal it reaches.
void TestReplyDispatch::matchAndRoute_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<ReplyKind>("kind");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("signal");
    QTest::newRow("data error") << "FF50000D0A" << ReplyKind::DataError << 0 << 0 << "dataError";
    QTest::newRow("panel answer with tail") << "FF6F12340D0A" << ReplyKind::PanelAnswer << 0 << 0 << "";
    QTest::newRow("FF6E") << "FF6E0D0A" << ReplyKind::Unknown << 0 << 0 << "";
    QTest::newRow("password refused") << "FF50020D0A" << ReplyKind::PasswordRefused << 0 << 0 << "passwordRefused";
    QTest::newRow("FF5003") << "FF50030D0A" << ReplyKind::Unknown << 0 << 0 << "";
    QTest::newRow("number 6") << "FF5600" << ReplyKind::ReceivingNumber << 6 << 0 << "receivingNumberReply 6";
    QTest::newRow("gsm 2") << "FF580D0A" << ReplyKind::GsmNumber << 2 << 0 << "gsmNumberReply 2";
    QTest::newRow("password relays") << "FF5A0D0A" << ReplyKind::PasswordRelays << 0 << 0 << "passwordRelaysReply";
    QTest::newRow("reminder") << "FF5B0D0A" << ReplyKind::Reminder << 0 << 0 << "reminderReply";
    QTest::newRow("ignored FF5C") << "FF5C0D0A" << ReplyKind::Ignored << 0 << 0 << "";
    QTest::newRow("FF5D") << "FF5D0D0A" << ReplyKind::Unknown << 0 << 0 << "";
    QTest::newRow("noise before password")
        << "3132FF50010D0A" << ReplyKind::PasswordAccepted << 0 << 4 << "passwordAccepted";
    QTest::newRow("noise before number") << "FFFF5301" << ReplyKind::ReceivingNumber << 3 << 2
                                         << "receivingNumberReply 3";
    QTest::newRow("code across bytes") << "0FF6F00D0A" << ReplyKind::Unknown << 0 << 0 << "";
    QTest::newRow("empty") << "" << ReplyKind::Unknown << 0 << 0 << "";
}

void TestReplyDispatch::matchAndRoute()
{
    QFETCH(QString, reply);
    QFETCH(ReplyKind, kind);
    QFETCH(int, index);
    QFETCH(int, start);
    QFETCH(QString, signal);
    const ReplyMatch match = MatchReply(reply);
    QCOMPARE(match.kind, kind);
    QCOMPARE(match.index, index);
    QCOMPARE(match.start, start);

    TransferProgress progress;
    ReplyDispatch dispatch(&progress);
    QStringList fired;
    connect(&dispatch, &ReplyDispatch::passwordAccepted, [&] { fired << "passwordAccepted"; });
    connect(&dispatch, &ReplyDispatch::passwordRefused, [&] { fired << "passwordRefused"; });
    connect(&dispatch, &ReplyDispatch::receivingNumberReply, [&](int n, const QString &r) {
        fired << QString("receivingNumberReply %1").arg(n);
        QCOMPARE(r, reply.mid(start)); // handed on from its code
    });
    connect(&dispatch, &ReplyDispatch::gsmNumberReply, [&](int n) { fired << QString("gsmNumberReply %1").arg(n); });
    connect(&dispatch, &ReplyDispatch::passwordRelaysReply, [&] { fired << "passwordRelaysReply"; });
    connect(&dispatch, &ReplyDispatch::reminderReply, [&] { fired << "reminderReply"; });
    connect(&dispatch, &ReplyDispatch::dataError, [&] { fired << "dataError"; });
    connect(&dispatch, &ReplyDispatch::zoneTextReceived, [&] { fired << "zoneTextReceived"; });
    dispatch.deliver(reply);
    QCOMPARE(fired, signal.isEmpty() ? QStringList() : QStringList{signal});
    QCOMPARE(dispatch.PanelFound, kind == ReplyKind::PanelAnswer ? 1 : 0);
}

void TestReplyDispatch::zoneTextModeTakesEveryReply()
{
    TransferProgress progress;
    ReplyDispatch dispatch(&progress);
    QSignalSpy zone(&dispatch, &ReplyDispatch::zoneTextReceived);
    QSignalSpy refused(&dispatch, &ReplyDispatch::passwordRefused);
    dispatch.ZoneTextMode = 1; // takes every reply, even the panel's answer
    dispatch.deliver("FF50020D0A");
    dispatch.deliver("FF6F0D0A");
    QCOMPARE(zone.count(), 2);
    QCOMPARE(zone.at(0).at(0).toString(), QString("FF50020D0A"));
    QCOMPARE(refused.count(), 0);
    QCOMPARE(dispatch.PanelFound, 0);

    dispatch.ZoneTextMode = 0;
    dispatch.deliver("FF50020D0A");
    QCOMPARE(refused.count(), 1);
    QCOMPARE(zone.count(), 2);
}

void TestReplyDispatch::dataErrorStopsProgressWhereItStands()
{
    TransferProgress progress;
    ReplyDispatch dispatch(&progress);
    QSignalSpy error(&dispatch, &ReplyDispatch::dataError);
    progress.start(TransferProgress::UploadMaximum);
    QTRY_VERIFY(progress.value() >= 3);
    dispatch.deliver("FF50000D0A");
    QCOMPARE(error.count(), 1);
    QVERIFY(!progress.isRunning());
    const int reached = progress.value();
    QTest::qWait(3 * TransferProgress::TickMs);
    QCOMPARE(progress.value(), reached);
}

void TestReplyDispatch::progressFillsAndStaysFull()
{
    TransferProgress progress;
    QSignalSpy changes(&progress, &TransferProgress::changed);
    progress.start(TransferProgress::UploadMaximum);
    QCOMPARE(progress.value(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(progress.value(), 15, 5000);
    QTest::qWait(3 * TransferProgress::TickMs);
    QCOMPARE(progress.value(), 15);
    QVERIFY(progress.isRunning());
    QCOMPARE(changes.last().at(0).toInt(), 15);
    progress.start(TransferProgress::DownloadMaximum); // starts over from 1
    QCOMPARE(progress.value(), 1);
    QCOMPARE(progress.maximum(), 18);
    progress.stop();
    QVERIFY(!progress.setValue(19));
    QVERIFY(!progress.setValue(-1));
    QVERIFY(progress.setValue(18));
    QCOMPARE(progress.value(), 18);
}

QTEST_GUILESS_MAIN(TestReplyDispatch)
#include "tst_replydispatch.moc"
