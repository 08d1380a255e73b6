// Reply field decoders; the window's settings compared with a panel reading (differs, not received, summary).
#include "fieldcodecs.h"
#include "settingscomparison.h"

#include <QTest>

#include <functional>

Q_DECLARE_METATYPE(PanelSettings)
Q_DECLARE_METATYPE(PanelReading)

namespace {

using SettingsEdit = std::function<void(PanelSettings &)>;
using ReadingEdit = std::function<void(PanelReading &)>;

// Settings that use every kind of field.
PanelSettings sample()
{
    PanelSettings s = PanelSettings::startValues();
    s.TxtName = "shop";
    s.TxtAni = "17";
    s.Txt[0] = "5550187";
    s.Cmb[0] = SettingsLists::atPosition(SettingsLists::alarmTypes(), 1);
    s.Txt[5] = "0012";
    s.Cmb[5] = SettingsLists::atPosition(SettingsLists::alarmTypes(), 4);
    s.TxtDuanXin[1] = "1234567890123456";
    s.TxtTian = "15";
    s.CkShangBao = {true, false, true, true, false, true};
    s.CkTel[4] = s.CkNX = true;
    return s;
}

// The panel holding sample() changed by `edit`, its codes by `codes`, the groups `missing` not received.
PanelReading panel(const SettingsEdit &edit, const QList<int> &missing = {}, const ReadingEdit &codes = {})
{
    PanelReading reading;
    reading.settings = sample();
    edit(reading.settings);
    for (int i = 0; i < 6; ++i)
        reading.alarmTypeCodes[i] = reading.settings.Cmb[i].panelCode(SettingsLists::alarmTypes());
    reading.chanKaiCode = reading.settings.CmbChanKai.panelCode(SettingsLists::relayStates());
    reading.chanBiCode = reading.settings.CmbChanBi.panelCode(SettingsLists::relayStates());
    reading.received.fill(true);
    for (const int group : missing)
        reading.received[group] = false;
    if (codes)
        codes(reading);
    return reading;
}

const QString Same = "The panel holds the settings shown.";

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:

    void compare_data()
    {
        using namespace SettingsGroups;
        QTest::addColumn<PanelSettings>("window");
        QTest::addColumn<PanelReading>("panel");
        QTest::addColumn<QStringList>("differing");
        QTest::addColumn<QStringList>("notReceived");
        QTest::addColumn<QString>("summary");
        const PanelSettings w = sample();
        QStringList reminderRows = {"remind interval (day)"};
        for (const QString &label : {"send report to receiving number %1", "telephone line fault alarm %1"})
            for (int i = 1; i <= 6; ++i)
                reminderRows << label.arg(i);
        reminderRows << "inside";

        QTest::newRow("name and No. never travel, interval in any case")
            << panel([](PanelSettings &s) { s.TxtTian = "0a"; }).settings
            << panel([](PanelSettings &s) { s.TxtName = "other"; s.TxtAni = "9"; s.TxtTian = "0A"; })
            << QStringList() << QStringList() << Same;
        QTest::newRow("texts exactly, boxes")
            << w << panel([](PanelSettings &s) {
                   s.Txt[0] = "5550188"; s.Txt[5] = "12"; s.TxtMiMa = "5794"; s.TxtDuanXin[1] = ""; s.CkNX = false;
                   s.CkShangBao[1] = true; s.CkTel[4] = false; })
            << QStringList{"the 1st alarm receiving number", "the 6th alarm receiving number",
                           "The second number to program GSM module", "wireless module password",
                           "send report to receiving number 2", "telephone line fault alarm 5", "inside"}
            << QStringList() << "7 settings differ.";
        // A code the window has no item for equals nothing; -1 is a byte missing.
        QTest::newRow("lists by code")
            << w << panel([](PanelSettings &s) {
                   s.Cmb[5] = SettingsLists::atPosition(SettingsLists::alarmTypes(), 3);
                   s.CmbChanKai = SettingsLists::atPosition(SettingsLists::relayStates(), SettingsLists::RelayPullIn);
               }, {}, [](PanelReading &r) { r.alarmTypeCodes[2] = 7; r.chanBiCode = -1; })
            << QStringList{"the 3rd alarm receiving number, alarm type", "the 6th alarm receiving number, alarm type",
                           "N.O relay state", "N.C relay state"}
            << QStringList() << "4 settings differ.";
        // A reply that did not come is never equal, even holding the window's values.
        QTest::newRow("reminder reply missing")
            << w << panel([](PanelSettings &) {}, {Reminder}) << QStringList() << reminderRows
            << "14 settings were not received from the panel.";
        QTest::newRow("one number missing, one differs")
            << w << panel([](PanelSettings &s) { s.TxtMiMa = "0000"; }, {FirstReceivingNumber + 1})
            << QStringList{"wireless module password"}
            << QStringList{"the 2nd alarm receiving number", "the 2nd alarm receiving number, alarm type"}
            << "1 setting differs. 2 settings were not received from the panel.";
    }

    void compare()
    {
        QFETCH(PanelSettings, window);
        QFETCH(PanelReading, panel);
        QFETCH(QStringList, differing);
        QFETCH(QStringList, notReceived);
        QFETCH(QString, summary);
        const QList<ComparisonRow> rows = CompareSettings(window, panel);
        QCOMPARE(rows.size(), 32);
        QStringList differs, missing;
        for (const ComparisonRow &row : rows) {
            if (row.state == ComparisonRow::State::Differs)
                differs << row.label;
            if (row.state == ComparisonRow::State::NotReceived) {
                missing << row.label;
                QCOMPARE(row.panelValue, QString("not received"));
            }
        }
        QCOMPARE(missing, notReceived);
        QCOMPARE(differs, differing);
        QCOMPARE(ComparisonSummary(rows), summary);
    }

    // Two settings that differ in any one field are not equal.
    void equalityFieldByField()
    {
        const PanelSettings start = PanelSettings::startValues();
        const QList<std::function<void(PanelSettings &)>> edits{
            [](PanelSettings &s) { s.TxtName = "x"; },       [](PanelSettings &s) { s.TxtAni = "x"; },
            [](PanelSettings &s) { s.Txt[5] = "1"; },        [](PanelSettings &s) { s.Cmb[0].position = 2; },
            [](PanelSettings &s) { s.TxtDuanXin[2] = "1"; }, [](PanelSettings &s) { s.CmbChanKai.text = "x"; },
            [](PanelSettings &s) { s.CmbChanBi.position = 1; }, [](PanelSettings &s) { s.TxtMiMa = "1111"; },
            [](PanelSettings &s) { s.TxtTian = "15"; },      [](PanelSettings &s) { s.CkShangBao[3] = true; },
            [](PanelSettings &s) { s.CkTel[5] = true; },     [](PanelSettings &s) { s.CkNX = true; }};
        for (const auto &edit : edits) {
            PanelSettings changed = start;
            edit(changed);
            QVERIFY(!(changed == start));
        }
    }

    // decoder: "digits" ReplyDigits(reply), "bytes<n>" BytesDigits(reply, n), else HexText(reply).
    void decoders_data()
    {
        QTest::addColumn<QString>("decoder");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *decoder, const QString &reply, const QString &expected) {
            QTest::newRow(name) << QString(decoder) << reply << expected;
        };
        row("digits: missing bytes count 0", "digits", "FF570301", "100");
        row("bytes: zero count", "bytes0", "02", "");
        row("bytes: value byte", "bytes1", "0C", "12");
        row("text: no terminator, last byte left out", "text", "4142", "A");
    }

    void decoders()
    {
        QFETCH(QString, decoder);
        QFETCH(QString, reply);
        QFETCH(QString, expected);
        QCOMPARE(decoder == "digits"              ? ReplyDigits(reply)
                 : decoder.startsWith("bytes") ? BytesDigits(reply, decoder.mid(5).toInt())
                                               : HexText(reply),
                 expected);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
