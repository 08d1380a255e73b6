#include "settingsform.h"

#include "settingscomparison.h"
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
