#include "replydispatch.h"
#include "transferprogress.h"

#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(ReplyKind)

class TestReplyDispatch : public QObject
{
    Q_OBJECT
private slots:
    void matchByCode_data();
    void matchByCode();
    void routesToActions_data();
    void routesToActions();
    void zoneTextModeTakesEveryReply();
    void panelAnswerSetsPanelFound();
    void dataErrorStopsProgressWhereItStands();
    void progressFillsAndStaysFull();
    void valueAboveMaximumRefused();
};

void TestReplyDispatch::matchByCode_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<ReplyKind>("kind");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("start");

    QTest::newRow("data error") << "FF50000D0A" << ReplyKind::DataError << 0 << 0;
    QTest::newRow("panel answer") << "FF6F0D0A" << ReplyKind::PanelAnswer << 0 << 0;
    QTest::newRow("panel answer with tail") << "FF6F12340D0A" << ReplyKind::PanelAnswer << 0 << 0;
    QTest::newRow("FF6E") << "FF6E0D0A" << ReplyKind::Unknown << 0 << 0;
    QTest::newRow("password accepted") << "FF50010D0A" << ReplyKind::PasswordAccepted << 0 << 0;
    QTest::newRow("password refused") << "FF50020D0A" << ReplyKind::PasswordRefused << 0 << 0;
    QTest::newRow("FF5003") << "FF50030D0A" << ReplyKind::Unknown << 0 << 0;
    QTest::newRow("number 1") << "FF5103" << ReplyKind::ReceivingNumber << 1 << 0;
    QTest::newRow("number 6") << "FF5600" << ReplyKind::ReceivingNumber << 6 << 0;
    QTest::newRow("gsm 1") << "FF5700" << ReplyKind::GsmNumber << 1 << 0;
    QTest::newRow("gsm 3") << "FF5900" << ReplyKind::GsmNumber << 3 << 0;
    QTest::newRow("password relays") << "FF5A05" << ReplyKind::PasswordRelays << 0 << 0;
    QTest::newRow("reminder") << "FF5B00" << ReplyKind::Reminder << 0 << 0;
    QTest::newRow("ignored FF5C") << "FF5C0D0A" << ReplyKind::Ignored << 0 << 0;
    QTest::newRow("FF5D") << "FF5D0D0A" << ReplyKind::Unknown << 0 << 0;
    QTest::newRow("AA51") << "AA510D0A" << ReplyKind::Unknown << 0 << 0;
    QTest::newRow("noise byte before code") << "00FF6F0D0A" << ReplyKind::PanelAnswer << 0 << 2;
    QTest::newRow("noise before password") << "3132FF50010D0A" << ReplyKind::PasswordAccepted << 0 << 4;
    QTest::newRow("noise before number") << "FFFF5301" << ReplyKind::ReceivingNumber << 3 << 2;
    QTest::newRow("code across bytes") << "0FF6F00D0A" << ReplyKind::Unknown << 0 << 0;
    QTest::newRow("empty") << "" << ReplyKind::Unknown << 0 << 0;
}

void TestReplyDispatch::matchByCode()
{
    QFETCH(QString, reply);
    QFETCH(ReplyKind, kind);
    QFETCH(int, index);
    QFETCH(int, start);
    const ReplyMatch match = MatchReply(reply);
    QCOMPARE(match.kind, kind);
    QCOMPARE(match.index, index);
    QCOMPARE(match.start, start);
}

// Each reply reaches exactly one action signal, with its number where it has one.
void TestReplyDispatch::routesToActions_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("signal");
    QTest::addColumn<int>("number");
    QTest::newRow("accepted") << "FF50010D0A" << "passwordAccepted" << -1;
    QTest::newRow("refused") << "FF50020D0A" << "passwordRefused" << -1;
    QTest::newRow("number 4") << "FF540D0A" << "receivingNumberReply" << 4;
    QTest::newRow("number 4 behind noise") << "31FF540D0A" << "receivingNumberReply" << 4;
    QTest::newRow("gsm 2") << "FF580D0A" << "gsmNumberReply" << 2;
    QTest::newRow("password relays") << "FF5A0D0A" << "passwordRelaysReply" << -1;
    QTest::newRow("reminder") << "FF5B0D0A" << "reminderReply" << -1;
    QTest::newRow("data error") << "FF50000D0A" << "dataError" << -1;
    QTest::newRow("FF5C") << "FF5C0D0A" << "" << -1;
    QTest::newRow("unknown") << "FF5D0D0A" << "" << -1;
}

void TestReplyDispatch::routesToActions()
{
    QFETCH(QString, reply);
    QFETCH(QString, signal);
    QFETCH(int, number);

    TransferProgress progress;
    ReplyDispatch dispatch(&progress);
    QStringList fired;
    int firedNumber = -1;
    connect(&dispatch, &ReplyDispatch::passwordAccepted, [&] { fired << "passwordAccepted"; });
    connect(&dispatch, &ReplyDispatch::passwordRefused, [&] { fired << "passwordRefused"; });
    connect(&dispatch, &ReplyDispatch::receivingNumberReply, [&](int n, const QString &r) {
        fired << "receivingNumberReply";
        firedNumber = n;
        // Handed on from its code, for the fields at fixed positions.
        QCOMPARE(r, QString("FF540D0A"));
    });
    connect(&dispatch, &ReplyDispatch::gsmNumberReply, [&](int n) {
        fired << "gsmNumberReply";
        firedNumber = n;
    });
    connect(&dispatch, &ReplyDispatch::passwordRelaysReply, [&] { fired << "passwordRelaysReply"; });
    connect(&dispatch, &ReplyDispatch::reminderReply, [&] { fired << "reminderReply"; });
    connect(&dispatch, &ReplyDispatch::dataError, [&] { fired << "dataError"; });
    connect(&dispatch, &ReplyDispatch::zoneTextReceived, [&] { fired << "zoneTextReceived"; });

    dispatch.deliver(reply);
    QCOMPARE(fired, signal.isEmpty() ? QStringList() : QStringList{signal});
    QCOMPARE(firedNumber, number);
    QCOMPARE(dispatch.PanelFound, 0);
}

void TestReplyDispatch::zoneTextModeTakesEveryReply()
{
    TransferProgress progress;
    ReplyDispatch dispatch(&progress);
    QSignalSpy zone(&dispatch, &ReplyDispatch::zoneTextReceived);
    QSignalSpy refused(&dispatch, &ReplyDispatch::passwordRefused);
    dispatch.ZoneTextMode = 1;
    dispatch.deliver("FF50020D0A");
    dispatch.deliver("FF6F0D0A");
    QCOMPARE(zone.count(), 2);
    QCOMPARE(zone.at(0).at(0).toString(), QString("FF50020D0A"));
    QCOMPARE(refused.count(), 0);
    QCOMPARE(dispatch.PanelFound, 0);
    QCOMPARE(dispatch.ZoneTextMode, 1);

    dispatch.ZoneTextMode = 0;
    dispatch.deliver("FF50020D0A");
    QCOMPARE(refused.count(), 1);
    QCOMPARE(zone.count(), 2);
}

void TestReplyDispatch::panelAnswerSetsPanelFound()
{
    TransferProgress progress;
    ReplyDispatch dispatch(&progress);
    dispatch.deliver("FF6E0D0A");
    QCOMPARE(dispatch.PanelFound, 0);
    dispatch.deliver("FF6F0D0A");
    QCOMPARE(dispatch.PanelFound, 1);
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
    QCOMPARE(progress.maximum(), 15);
    QTRY_COMPARE_WITH_TIMEOUT(progress.value(), 15, 5000);
    QTest::qWait(3 * TransferProgress::TickMs);
    QCOMPARE(progress.value(), 15);
    QVERIFY(progress.isRunning());
    QCOMPARE(changes.last().at(0).toInt(), 15);

    // A new transfer starts over from 1 with its own maximum.
    progress.start(TransferProgress::DownloadMaximum);
    QCOMPARE(progress.value(), 1);
    QCOMPARE(progress.maximum(), 18);
}

void TestReplyDispatch::valueAboveMaximumRefused()
{
    TransferProgress progress;
    progress.start(TransferProgress::UploadMaximum);
    progress.stop();
    QVERIFY(!progress.setValue(16));
    QCOMPARE(progress.value(), 1);
    QVERIFY(progress.setValue(15));
    QVERIFY(!progress.setValue(-1));
    QCOMPARE(progress.value(), 15);
}

QTEST_GUILESS_MAIN(TestReplyDispatch)
#include "tst_replydispatch.moc"
