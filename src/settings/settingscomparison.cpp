#include "settingscomparison.h"

namespace {

using State = ComparisonRow::State;

// In the order of SettingsGroups.
const char *const GroupNames[SettingsGroups::Count] = {
    "the 1st alarm receiving number", "the 2nd alarm receiving number",
    "the 3rd alarm receiving number", "the 4th alarm receiving number",
    "the 5th alarm receiving number", "the 6th alarm receiving number",
    "The first number to program GSM module", "The second number to program GSM module",
    "The third number to program GSM module",
    "the wireless module password and relay states",
    "the remind interval and report routing"};

QString textValue(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("(empty)") : text;
}

QString flagValue(bool ticked)
{
    return ticked ? QStringLiteral("ticked") : QStringLiteral("not ticked");
}

QString codeValue(int code, const QStringList &items)
{
    if (code == 0)
        return QStringLiteral("(none)");
    if (code < 0)
        return QStringLiteral("(unreadable)");
    const ListField item = SettingsLists::atPanelCode(items, code);
    return item.position >= 0 ? item.text : QStringLiteral("code %1").arg(code);
}

class Rows
{
public:
    explicit Rows(const PanelReading &panel) : m_panel(panel) {}

    void add(int group, const QString &label, const QString &window, const QString &panel, bool same)
    {
        ComparisonRow row{label, window, panel, same ? State::Same : State::Differs};
        if (!m_panel.received[group]) {
            row.panelValue = QStringLiteral("not received");
            row.state = State::NotReceived;
        }
        m_rows.append(row);
    }
    void addText(int group, const QString &label, const QString &window, const QString &panel)
    {
        add(group, label, textValue(window), textValue(panel), window == panel);
    }
    void addList(int group, const QString &label, const ListField &window, int panelCode, const QStringList &items)
    {
        // The window's code is always one it has an item for (or 0), so a
        // code the window has no item for equals nothing.
        const int code = window.panelCode(items);
        add(group, label, codeValue(code, items), codeValue(panelCode, items), code == panelCode);
    }
    void addFlag(int group, const QString &label, bool window, bool panel)
    {
        add(group, label, flagValue(window), flagValue(panel), window == panel);
    }
    QList<ComparisonRow> rows() const { return m_rows; }

private:
    const PanelReading &m_panel;
    QList<ComparisonRow> m_rows;
};

} // namespace

QString SettingsGroupName(int group)
{
    return group >= 0 && group < SettingsGroups::Count ? QLatin1String(GroupNames[group]) : QString();
}

int PanelReading::receivedCount() const
{
    int count = 0;
    for (const bool got : received)
        count += got ? 1 : 0;
    return count;
}

QString MissingGroups(const PanelReading &reading)
{
    QStringList missing;
    for (int group = 0; group < SettingsGroups::Count; ++group) {
        if (!reading.received[group])
            missing << SettingsGroupName(group);
    }
    return missing.join(QLatin1String(", "));
}

QList<ComparisonRow> CompareSettings(const PanelSettings &w, const PanelReading &panel)
{
    using namespace SettingsGroups;
    const PanelSettings &p = panel.settings;
    const QStringList alarmTypes = SettingsLists::alarmTypes();
    const QStringList relayStates = SettingsLists::relayStates();
    Rows rows(panel);
    for (int i = 0; i < 6; ++i) {
        const QString number = SettingsGroupName(FirstReceivingNumber + i);
        rows.addText(FirstReceivingNumber + i, number, w.Txt[i], p.Txt[i]);
        rows.addList(FirstReceivingNumber + i, number + QStringLiteral(", alarm type"), w.Cmb[i],
                     panel.alarmTypeCodes[i], alarmTypes);
    }
    for (int i = 0; i < 3; ++i) {
        rows.addText(FirstGsmNumber + i, SettingsGroupName(FirstGsmNumber + i), w.TxtDuanXin[i], p.TxtDuanXin[i]);
    }
    rows.addText(PasswordRelays, QStringLiteral("wireless module password"), w.TxtMiMa, p.TxtMiMa);
    rows.addList(PasswordRelays, QStringLiteral("N.O relay state"), w.CmbChanKai, panel.chanKaiCode, relayStates);
    rows.addList(PasswordRelays, QStringLiteral("N.C relay state"), w.CmbChanBi, panel.chanBiCode, relayStates);
    // The download sends the interval's digits in upper case.
    rows.add(Reminder, QStringLiteral("remind interval (day)"), textValue(w.TxtTian), textValue(p.TxtTian),
             w.TxtTian.toUpper() == p.TxtTian.toUpper());
    for (int i = 0; i < 6; ++i)
        rows.addFlag(Reminder, QStringLiteral("send report to receiving number %1").arg(i + 1), w.CkShangBao[i],
                     p.CkShangBao[i]);
    for (int i = 0; i < 6; ++i)
        rows.addFlag(Reminder, QStringLiteral("telephone line fault alarm %1").arg(i + 1), w.CkTel[i], p.CkTel[i]);
    rows.addFlag(Reminder, QStringLiteral("inside"), w.CkNX, p.CkNX);
    return rows.rows();
}

QString ComparisonSummary(const QList<ComparisonRow> &rows)
{
    int differ = 0;
    int missing = 0;
    for (const ComparisonRow &row : rows) {
        differ += row.state == State::Differs ? 1 : 0;
        missing += row.state == State::NotReceived ? 1 : 0;
    }
    if (differ == 0 && missing == 0)
        return QStringLiteral("The panel holds the settings shown.");
    QStringList parts;
    if (differ == 1)
        parts << QStringLiteral("1 setting differs.");
    else if (differ > 1)
        parts << QStringLiteral("%1 settings differ.").arg(differ);
    if (missing == 1)
        parts << QStringLiteral("1 setting was not received from the panel.");
    else if (missing > 1)
        parts << QStringLiteral("%1 settings were not received from the panel.").arg(missing);
    return parts.join(QLatin1Char(' '));
}
