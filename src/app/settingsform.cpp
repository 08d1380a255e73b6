#include "settingsform.h"

#include "settingscomparison.h"
#include "settingstransfer.h"
#include "ui_frmmain.h"

namespace {

ListField readList(const QComboBox *box)
{
    return ListField{box->currentIndex(), box->currentText()};
}

void writeList(QComboBox *box, const ListField &value)
{
    box->setCurrentIndex(value.position < box->count() ? value.position : -1);
    box->setEditText(value.text);
}

std::array<QLineEdit *, 6> numberFields(const Ui::frmmain &ui)
{
    return {ui.Txt1, ui.Txt2, ui.Txt3, ui.Txt4, ui.Txt5, ui.Txt6};
}

std::array<QComboBox *, 6> typeLists(const Ui::frmmain &ui)
{
    return {ui.Cmb1, ui.Cmb2, ui.Cmb3, ui.Cmb4, ui.Cmb5, ui.Cmb6};
}

std::array<QLineEdit *, 3> gsmFields(const Ui::frmmain &ui)
{
    return {ui.TxtDuanXin1, ui.TxtDuanXin2, ui.TxtDuanXin3};
}

std::array<QCheckBox *, 6> reportBoxes(const Ui::frmmain &ui)
{
    return {ui.CkShangBao1, ui.CkShangBao2, ui.CkShangBao3,
            ui.CkShangBao4, ui.CkShangBao5, ui.CkShangBao6};
}

std::array<QCheckBox *, 6> lineFaultBoxes(const Ui::frmmain &ui)
{
    return {ui.CkTel1, ui.CkTel2, ui.CkTel3, ui.CkTel4, ui.CkTel5, ui.CkTel6};
}

} // namespace

PanelSettings readSettings(const Ui::frmmain &ui)
{
    PanelSettings s;
    s.TxtName = ui.TxtName->text();
    s.TxtAni = ui.TxtAni->text();
    for (int i = 0; i < 6; ++i) {
        s.Txt[i] = numberFields(ui)[i]->text();
        s.Cmb[i] = readList(typeLists(ui)[i]);
        s.CkShangBao[i] = reportBoxes(ui)[i]->isChecked();
        s.CkTel[i] = lineFaultBoxes(ui)[i]->isChecked();
    }
    for (int i = 0; i < 3; ++i)
        s.TxtDuanXin[i] = gsmFields(ui)[i]->text();
    s.CmbChanKai = readList(ui.CmbChanKai);
    s.CmbChanBi = readList(ui.CmbChanBi);
    s.TxtMiMa = ui.TxtMiMa->text();
    s.TxtTian = ui.TxtTian->text();
    s.CkNX = ui.CkNX->isChecked();
    return s;
}

void writeSettingsGroup(Ui::frmmain &ui, const PanelSettings &s, int group)
{
    using namespace SettingsGroups;
    if (group >= FirstReceivingNumber && group < FirstGsmNumber) {
        const int i = group - FirstReceivingNumber;
        numberFields(ui)[i]->setText(s.Txt[i]);
        writeList(typeLists(ui)[i], s.Cmb[i]);
    } else if (group >= FirstGsmNumber && group < PasswordRelays) {
        gsmFields(ui)[group - FirstGsmNumber]->setText(s.TxtDuanXin[group - FirstGsmNumber]);
    } else if (group == PasswordRelays) {
        ui.TxtMiMa->setText(s.TxtMiMa);
        writeList(ui.CmbChanKai, s.CmbChanKai);
        writeList(ui.CmbChanBi, s.CmbChanBi);
    } else if (group == Reminder) {
        ui.TxtTian->setText(s.TxtTian);
        for (int i = 0; i < 6; ++i) {
            reportBoxes(ui)[i]->setChecked(s.CkShangBao[i]);
            lineFaultBoxes(ui)[i]->setChecked(s.CkTel[i]);
        }
        ui.CkNX->setChecked(s.CkNX);
    }
}

void writeSettings(Ui::frmmain &ui, const PanelSettings &s)
{
    ui.TxtName->setText(s.TxtName);
    ui.TxtAni->setText(s.TxtAni);
    for (int group = 0; group < SettingsGroups::Count; ++group)
        writeSettingsGroup(ui, s, group);
}

namespace {

// The text fields with a length limit, each with the setting it shows.
struct LimitedField
{
    QLineEdit *field;
    QString label;
    QString &(*value)(PanelSettings &, int);
    int index;
};

QList<LimitedField> limitedFields(const Ui::frmmain &ui)
{
    QList<LimitedField> fields;
    for (int i = 0; i < 6; ++i)
        fields.append({numberFields(ui)[i], SettingsGroupName(SettingsGroups::FirstReceivingNumber + i),
                       [](PanelSettings &s, int n) -> QString & { return s.Txt[n]; }, i});
    for (int i = 0; i < 3; ++i)
        fields.append({gsmFields(ui)[i], SettingsGroupName(SettingsGroups::FirstGsmNumber + i),
                       [](PanelSettings &s, int n) -> QString & { return s.TxtDuanXin[n]; }, i});
    fields.append({ui.TxtMiMa, QStringLiteral("wireless module password"),
                   [](PanelSettings &s, int) -> QString & { return s.TxtMiMa; }, 0});
    fields.append({ui.TxtTian, QStringLiteral("remind interval"),
                   [](PanelSettings &s, int) -> QString & { return s.TxtTian; }, 0});
    return fields;
}

} // namespace

QList<QLineEdit *> limitedTextFields(const Ui::frmmain &ui)
{
    QList<QLineEdit *> fields;
    for (const LimitedField &f : limitedFields(ui))
        fields << f.field;
    return fields;
}

QList<CutValue> cutValues(const Ui::frmmain &ui, const PanelSettings &settings)
{
    PanelSettings s = settings;
    QList<CutValue> cut;
    for (const LimitedField &f : limitedFields(ui)) {
        const QString &value = f.value(s, f.index);
        if (value.size() > f.field->maxLength())
            cut.append({f.field, f.label, value});
    }
    return cut;
}

void restoreCutValues(const Ui::frmmain &ui, PanelSettings &settings, const QList<CutValue> &cut)
{
    for (const LimitedField &f : limitedFields(ui)) {
        for (const CutValue &c : cut) {
            if (c.field == f.field)
                f.value(settings, f.index) = c.value;
        }
    }
}
