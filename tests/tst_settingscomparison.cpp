// The comparison of the window's settings with a reading of the panel, as
// a table of cases: the rows that differ, those not received, the summary.
#include "settingscomparison.h"

#include <QtTest>

#include <functional>

Q_DECLARE_METATYPE(PanelSettings)
Q_DECLARE_METATYPE(PanelReading)

namespace {

using Edit = std::function<void(PanelSettings &)>;

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
    s.CkTel[4] = true;
    s.CkNX = true;
    return s;
}

// The panel holding `settings`, with the groups `missing` not received.
PanelReading readingOf(const PanelSettings &settings, const QList<int> &missing = {})
{
    PanelReading reading;
    reading.settings = settings;
    for (int i = 0; i < 6; ++i)
        reading.alarmTypeCodes[i] = settings.Cmb[i].panelCode();
    reading.chanKaiCode = settings.CmbChanKai.panelCode();
    reading.chanBiCode = settings.CmbChanBi.panelCode();
    reading.received.fill(true);
    for (const int group : missing)
        reading.received[group] = false;
    return reading;
}

PanelSettings edited(PanelSettings s, const Edit &edit)
{
    edit(s);
    return s;
}

PanelReading withCodes(PanelReading reading, const std::function<void(PanelReading &)> &edit)
{
    edit(reading);
    return reading;
}

} // namespace

class TestSettingsComparison : public QObject
{
    Q_OBJECT
private slots:
    void compare_data();
    void compare();
    void rowsShowValues();
};

void TestSettingsComparison::compare_data()
{
    QTest::addColumn<PanelSettings>("window");
    QTest::addColumn<PanelReading>("panel");
    QTest::addColumn<QStringList>("differing");   // labels of the rows that differ
    QTest::addColumn<QStringList>("notReceived"); // labels of the rows not received
    QTest::addColumn<QString>("summary");

    const PanelSettings w = sample();
    const QStringList reminderRows = {
        "remind interval (day)", "send report to receiving number 1", "send report to receiving number 2",
        "send report to receiving number 3", "send report to receiving number 4",
        "send report to receiving number 5", "send report to receiving number 6",
        "telephone line fault alarm 1", "telephone line fault alarm 2", "telephone line fault alarm 3",
        "telephone line fault alarm 4", "telephone line fault alarm 5", "telephone line fault alarm 6", "inside"};

    QTest::newRow("equal") << w << readingOf(w) << QStringList() << QStringList()
                           << "The panel holds the settings shown.";
    QTest::newRow("name and No. never travel")
        << w << readingOf(edited(w, [](PanelSettings &s) { s.TxtName = "other"; s.TxtAni = "9"; }))
        << QStringList() << QStringList() << "The panel holds the settings shown.";
    QTest::newRow("a number differs")
        << w << readingOf(edited(w, [](PanelSettings &s) { s.Txt[0] = "5550188"; }))
        << QStringList{"the 1st alarm receiving number"} << QStringList() << "1 setting differs.";
    QTest::newRow("leading zero counts")
        << w << readingOf(edited(w, [](PanelSettings &s) { s.Txt[5] = "12"; }))
        << QStringList{"the 6th alarm receiving number"} << QStringList() << "1 setting differs.";
    QTest::newRow("an alarm type differs")
        << w << readingOf(edited(w, [](PanelSettings &s) { s.Cmb[5] = SettingsLists::atPosition(SettingsLists::alarmTypes(), 3); }))
        << QStringList{"the 6th alarm receiving number, alarm type"} << QStringList() << "1 setting differs.";
    QTest::newRow("alarm type: the prompt text is none")
        << w << withCodes(readingOf(w), [](PanelReading &r) { r.alarmTypeCodes[2] = 0; })
        << QStringList() << QStringList() << "The panel holds the settings shown.";
    QTest::newRow("a code the window has no item for")
        << w << withCodes(readingOf(w), [](PanelReading &r) { r.alarmTypeCodes[2] = 7; })
        << QStringList{"the 3rd alarm receiving number, alarm type"} << QStringList() << "1 setting differs.";
    QTest::newRow("a relay byte missing")
        << w << withCodes(readingOf(w), [](PanelReading &r) { r.chanBiCode = -1; })
        << QStringList{"N.C relay state"} << QStringList() << "1 setting differs.";
    QTest::newRow("a relay differs")
        << w << readingOf(edited(w, [](PanelSettings &s) { s.CmbChanBi = SettingsLists::atPosition(SettingsLists::relayStates(), 1); }))
        << QStringList{"N.C relay state"} << QStringList() << "1 setting differs.";
    QTest::newRow("the password differs")
        << w << readingOf(edited(w, [](PanelSettings &s) { s.TxtMiMa = "5794"; }))
        << QStringList{"wireless module password"} << QStringList() << "1 setting differs.";
    QTest::newRow("interval in either case")
        << edited(w, [](PanelSettings &s) { s.TxtTian = "0a"; })
        << readingOf(edited(w, [](PanelSettings &s) { s.TxtTian = "0A"; })) << QStringList() << QStringList()
        << "The panel holds the settings shown.";
    QTest::newRow("a box differs")
        << w << readingOf(edited(w, [](PanelSettings &s) { s.CkTel[4] = false; }))
        << QStringList{"telephone line fault alarm 5"} << QStringList() << "1 setting differs.";
    QTest::newRow("three differ")
        << w << readingOf(edited(w, [](PanelSettings &s) { s.TxtDuanXin[1] = ""; s.CkNX = false; s.CkShangBao[1] = true; }))
        << QStringList{"The second number to program GSM module", "send report to receiving number 2", "inside"}
        << QStringList() << "3 settings differ.";
    // A reply that did not come is never taken as equal, even where the
    // reading holds the window's values.
    QTest::newRow("reminder reply missing")
        << w << readingOf(w, {SettingsGroups::Reminder}) << QStringList() << reminderRows
        << "14 settings were not received from the panel.";
    QTest::newRow("one number missing, one differs")
        << w << readingOf(edited(w, [](PanelSettings &s) { s.TxtMiMa = "0000"; }), {SettingsGroups::FirstReceivingNumber + 1})
        << QStringList{"wireless module password"}
        << QStringList{"the 2nd alarm receiving number", "the 2nd alarm receiving number, alarm type"}
        << "1 setting differs. 2 settings were not received from the panel.";
    QTest::newRow("a GSM number missing")
        << w << readingOf(w, {SettingsGroups::FirstGsmNumber + 2}) << QStringList()
        << QStringList{"The third number to program GSM module"} << "1 setting was not received from the panel.";
    QStringList everyRow;
    for (const ComparisonRow &row : CompareSettings(w, readingOf(w)))
        everyRow << row.label;
    QTest::newRow("nothing received")
        << w << PanelReading{} << QStringList() << everyRow << "32 settings were not received from the panel.";
}

void TestSettingsComparison::compare()
{
    QFETCH(PanelSettings, window);
    QFETCH(PanelReading, panel);
    QFETCH(QStringList, differing);
    QFETCH(QStringList, notReceived);
    QFETCH(QString, summary);

    const QList<ComparisonRow> rows = CompareSettings(window, panel);
    QCOMPARE(rows.size(), 32);
    QStringList differs;
    QStringList missing;
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

void TestSettingsComparison::rowsShowValues()
{
    PanelSettings window = sample();
    PanelSettings panel = sample();
    panel.Txt[1] = "42";
    panel.CkNX = false;
    PanelReading reading = readingOf(panel);
    reading.chanKaiCode = 9;
    const QList<ComparisonRow> rows = CompareSettings(window, reading);
    const auto row = [&rows](const QString &label) {
        for (const ComparisonRow &r : rows) {
            if (r.label == label)
                return r;
        }
        return ComparisonRow{};
    };
    QCOMPARE(rows.first().label, QString("the 1st alarm receiving number"));
    QCOMPARE(rows.last().label, QString("inside"));
    QCOMPARE(row("the 2nd alarm receiving number").windowValue, QString("(empty)"));
    QCOMPARE(row("the 2nd alarm receiving number").panelValue, QString("42"));
    QCOMPARE(row("the 1st alarm receiving number, alarm type").windowValue, QString("ADEMCO Contact ID"));
    QCOMPARE(row("the 2nd alarm receiving number, alarm type").windowValue, QString("(none)"));
    QCOMPARE(row("N.O relay state").windowValue, QString("disconnect"));
    QCOMPARE(row("N.O relay state").panelValue, QString("code 9"));
    QCOMPARE(row("N.O relay state").state, ComparisonRow::State::Differs);
    QCOMPARE(row("inside").windowValue, QString("ticked"));
    QCOMPARE(row("inside").panelValue, QString("not ticked"));
    QCOMPARE(row("remind interval (day)").windowValue, QString("15"));
}

QTEST_MAIN(TestSettingsComparison)
#include "tst_settingscomparison.moc"
