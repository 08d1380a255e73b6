// The real forms, loaded offscreen: every control where the layout puts it,
// with its caption, limits and start values.
#include "frmmain.h"
#include "frmopen.h"
#include "frmpassword.h"
#include "portlamps.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

class TestForms : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void mainWindowGeometry_data();
    void mainWindowGeometry();
    void mainWindowCaptions_data();
    void mainWindowCaptions();
    void transferButtons();
    void menus_data();
    void menus();
    void lamps();
    void startValues();
    void maximumLengths_data();
    void maximumLengths();
    void clearSettingsKeepsZoneFields();
    void listTextSelectsExactItem_data();
    void listTextSelectsExactItem();
    void passwordDialog();
    void passwordDialogEnterPressesOk();
    void openDialog();

private:
    template<typename T = QWidget>
    T *child(QWidget *window, const char *name)
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning("no control named %s", name);
        return found;
    }
    frmmain *m_window = nullptr;
};

void TestForms::initTestCase()
{
    m_window = new frmmain;
    m_window->InitialiseRecord();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestForms::mainWindowGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("identity strip") << "FrameIdentity" << QRect(5, 1, 494, 37);
    QTest::newRow("receiving numbers") << "FrameJieTel" << QRect(4, 40, 496, 163);
    QTest::newRow("SIM balance") << "FrameTian" << QRect(5, 211, 497, 240);
    QTest::newRow("GSM numbers") << "FrameDuanXin" << QRect(503, 0, 358, 149);
    QTest::newRow("parameters") << "FrameParam" << QRect(504, 151, 359, 125);
    QTest::newRow("zone messages") << "FrameZone" << QRect(504, 285, 361, 201);
    QTest::newRow("ComSend") << "ComSend" << QRect(100, 457, 97, 40);
    QTest::newRow("CmdRead") << "CmdRead" << QRect(269, 457, 97, 40);
    QTest::newRow("progress bar") << "ProgressBar1" << QRect(166, 506, 301, 17);
    QTest::newRow("port strip") << "Picture1" << QRect(584, 498, 271, 20);
}

void TestForms::mainWindowGeometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QWidget *w = m_window->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), geometry);
    QVERIFY(w->isVisible());
    QCOMPARE(m_window->centralWidget()->size(), QSize(870, 528));
    QCOMPARE(m_window->windowTitle(), QString("KV-4810G programming software"));
    QVERIFY(!m_window->windowIcon().isNull());
}

void TestForms::mainWindowCaptions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("FrameJieTel") << "FrameJieTel" << "alarm receiving number";
    QTest::newRow("FrameTian") << "FrameTian" << "remind inquire SIM card balance";
    QTest::newRow("FrameDuanXin") << "FrameDuanXin" << "Numbers to program GSM module";
    QTest::newRow("FrameParam") << "FrameParam" << "Parameters setting";
    QTest::newRow("FrameZone") << "FrameZone" << "upload/download message content";
    QTest::newRow("ComSend") << "ComSend" << "Download";
    QTest::newRow("CmdRead") << "CmdRead" << "Upload";
    QTest::newRow("CmdDXSend") << "CmdDXSend" << "Download";
    QTest::newRow("Command2") << "Command2" << "Upload";
    QTest::newRow("CkNX") << "CkNX" << "inside";
    for (int n = 1; n <= 6; ++n) {
        QTest::addRow("CkShangBao%d", n) << QString("CkShangBao%1").arg(n) << QString::number(n);
        QTest::addRow("CkTel%d", n) << QString("CkTel%1").arg(n) << QString::number(n);
    }
    const QStringList labels = {
        "Name:", "No.:", "the 1st alarm receiving number:", "the 2nd alarm receiving number:",
        "the 3rd alarm receiving number:", "the 4th alarm receiving number:",
        "the 5th alarm receiving number:", "the 6th alarm receiving number:",
        "The first number to program GSM module:", "The second number to program GSM module:",
        "The third number to program GSM module:", "N.O relay state:", "N.C relay state:",
        "wireless module password:", "remind interval:", "day", "send report to",
        "receiving number", "telephone line fault alarm:", "zone number:",
        "zone message content:", "download/upload speed box:", "serial port:"};
    for (const QString &label : labels)
        QTest::newRow(qPrintable("label " + label)) << QString() << label;
}

void TestForms::mainWindowCaptions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    if (name.isEmpty()) {
        bool shown = false;
        const auto labels = m_window->findChildren<QLabel *>();
        for (QLabel *label : labels)
            shown = shown || (label->text() == caption && label->isVisible());
        QVERIFY2(shown, qPrintable("no label shows " + caption));
        return;
    }
    QWidget *w = m_window->findChild<QWidget *>(name);
    QVERIFY(w);
    if (auto *group = qobject_cast<QGroupBox *>(w))
        QCOMPARE(group->title(), caption);
    else
        QCOMPARE(qobject_cast<QAbstractButton *>(w)->text(), caption);
}

void TestForms::transferButtons()
{
    for (const char *name : {"ComSend", "CmdRead", "CmdDXSend", "Command2"}) {
        auto *button = child<QPushButton>(m_window, name);
        QVERIFY(button);
        QVERIFY(button->isEnabled());
        QCOMPARE(button->font().family(), QString("Arial"));
        QCOMPARE(button->font().pointSize(), 9);
        QVERIFY(button->font().bold());
    }
    QVERIFY(QFile::exists(":/icons/app.png"));
    QVERIFY(!child<QPushButton>(m_window, "ComSend")->icon().isNull());
    QVERIFY(!child<QPushButton>(m_window, "CmdRead")->icon().isNull());
    QCOMPARE(child(m_window, "CmdDXSend")->size(), QSize(83, 31));
    QCOMPARE(child(m_window, "Command2")->size(), QSize(83, 31));
    QCOMPARE(child(m_window, "Text6")->size(), QSize(345, 73));
    auto *bar = child<QProgressBar>(m_window, "ProgressBar1");
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 0);
}

void TestForms::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    QTest::newRow("File") << "File" << "File"
                          << QStringList{"File_open", "File_save", "File_del", "JJ", "eqit"}
                          << QStringList{"open_set", "save_set", "opem_sms", "save_sms", "dd"};
    QTest::newRow("Setting") << "com_set" << "Setting"
                             << QStringList{"open_com", "Close_com", "compareWithPanel"} << QStringList{};
    QTest::newRow("Help") << "help" << "Help" << QStringList{"About", "protocolTrace"}
                          << QStringList{"kv_4810d", "instruction_sheet"};
}

void TestForms::menus()
{
    QFETCH(QString, menu);
    QFETCH(QString, title);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    static const QHash<QString, QString> captions = {
        {"File_open", "Open(&O)"}, {"File_save", "Save(&S)"}, {"File_del", "Delete(&D)"},
        {"open_set", "Open Setting"}, {"save_set", "Save Setting"}, {"opem_sms", "Open SMS"},
        {"save_sms", "Save SMS"}, {"eqit", "Exit"}, {"open_com", "Open port"},
        {"Close_com", "Close port"}, {"kv_4810d", "Operation Instruction"},
        {"instruction_sheet", "Instruction sheet for KV-48100"}, {"About", "About"},
        {"compareWithPanel", "Compare with panel"}, {"protocolTrace", "Protocol trace"}};

    auto *m = m_window->findChild<QMenu *>(menu);
    QVERIFY(m);
    QCOMPARE(m->title(), title);
    QStringList visible;
    QStringList invisible;
    for (QAction *action : m->actions()) {
        (action->isVisible() ? visible : invisible) << action->objectName();
        QVERIFY(action->shortcut().isEmpty());
        if (captions.contains(action->objectName()))
            QCOMPARE(action->text(), captions.value(action->objectName()));
    }
    QCOMPARE(visible, shown);
    QCOMPARE(invisible, hidden);
    const QList<QAction *> bar = m_window->menuBar()->actions();
    QCOMPARE(bar.size(), 3);
    QCOMPARE(bar.at(0)->menu()->objectName(), QString("File"));
    QCOMPARE(bar.at(1)->menu()->objectName(), QString("com_set"));
    QCOMPARE(bar.at(2)->menu()->objectName(), QString("help"));
}

void TestForms::lamps()
{
    const int xs[] = {3, 29, 55, 82, 108, 134, 160, 186, 213, 239};
    QWidget *strip = child(m_window, "Picture1");
    for (int i = 0; i < 10; ++i) {
        QWidget *lamp = strip->findChild<QWidget *>(QString("Shape_%1").arg(i));
        QVERIFY(lamp);
        QCOMPARE(lamp->geometry(), QRect(xs[i], 1, 22, 13));
        QCOMPARE(m_window->lamps().colour(i + 1), PortLamps::Failed);
    }
    // The painted lamp shows its colour in its centre.
    m_window->lamps().setPort(4, PortLamps::InUse, "Port 4: /dev/ttyS3");
    QWidget *lamp = strip->findChild<QWidget *>("Shape_3");
    const QImage painted = lamp->grab().toImage();
    QCOMPARE(QColor(painted.pixel(painted.rect().center())), PortLamps::InUse);
    QCOMPARE(lamp->toolTip(), QString("Port 4: /dev/ttyS3"));
    m_window->lamps().setPort(12, PortLamps::InUse, "no lamp"); // ports 11..16 have none
    m_window->lamps().setPort(4, PortLamps::Failed, "Port 4");
}

void TestForms::startValues()
{
    const PanelSettings s = m_window->settings();
    QCOMPARE(s, PanelSettings::startValues());
    for (int n = 1; n <= 6; ++n) {
        auto *list = child<QComboBox>(m_window, qPrintable(QString("Cmb%1").arg(n)));
        QCOMPARE(list->currentText(), QString("alarm type"));
        QCOMPARE(list->currentIndex(), -1);
        QCOMPARE(s.Cmb[n - 1].panelCode(), 0);
        QVERIFY(list->isEditable());
        QCOMPARE(list->count(), 5);
        QCOMPARE(list->itemText(4), QString("ADEMCO slow speed"));
    }
    QCOMPARE(s.CmbChanKai.text, QString("disconnect"));
    QCOMPARE(s.CmbChanKai.panelCode(), 2);
    QCOMPARE(s.CmbChanBi.text, QString("pull in"));
    QCOMPARE(s.CmbChanBi.panelCode(), 1);
    QCOMPARE(child<QLineEdit>(m_window, "TxtMiMa")->text(), QString("5793"));
    QCOMPARE(child<QLineEdit>(m_window, "TxtTian")->text(), QString("00"));
    const auto boxes = m_window->findChildren<QCheckBox *>();
    QCOMPARE(boxes.size(), 13);
    for (QCheckBox *box : boxes)
        QVERIFY(!box->isChecked());
    auto *zone = child<QComboBox>(m_window, "CmbFangQu");
    QCOMPARE(zone->currentText(), QString("1"));
    QCOMPARE(zone->count(), 3);
}

void TestForms::maximumLengths_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("accepted");
    for (int n = 1; n <= 6; ++n)
        QTest::addRow("Txt%d", n) << QString("Txt%1").arg(n) << 16;
    for (int n = 1; n <= 3; ++n)
        QTest::addRow("TxtDuanXin%d", n) << QString("TxtDuanXin%1").arg(n) << 16;
    QTest::newRow("TxtMiMa") << "TxtMiMa" << 4;
    QTest::newRow("TxtTian") << "TxtTian" << 2;
    QTest::newRow("TxtName") << "TxtName" << 40;
    QTest::newRow("TxtAni") << "TxtAni" << 40;
}

void TestForms::maximumLengths()
{
    QFETCH(QString, name);
    QFETCH(int, accepted);
    auto *field = m_window->findChild<QLineEdit *>(name);
    QVERIFY(field);
    field->clear();
    QTest::keyClicks(field, QString(40, '7'));
    QCOMPARE(field->text().size(), accepted);
}

void TestForms::clearSettingsKeepsZoneFields()
{
    auto *zone = child<QComboBox>(m_window, "CmbFangQu");
    auto *text = child<QPlainTextEdit>(m_window, "Text6");
    zone->setCurrentIndex(2);
    text->setPlainText("Door");
    PanelSettings filled = PanelSettings::startValues();
    filled.TxtName = "shop";
    filled.Txt[2] = "5550187";
    filled.CkTel[5] = true;
    filled.CkNX = true;
    m_window->setSettings(filled);

    m_window->ClearSettings();
    QCOMPARE(m_window->settings(), PanelSettings::cleared());
    QCOMPARE(child<QLineEdit>(m_window, "TxtMiMa")->text(), QString());
    QCOMPARE(child<QComboBox>(m_window, "Cmb1")->currentText(), QString());
    QCOMPARE(child<QComboBox>(m_window, "CmbChanKai")->currentText(), QString());
    QCOMPARE(zone->currentText(), QString("3"));
    QCOMPARE(text->toPlainText(), QString("Door"));
    m_window->setSettings(PanelSettings::startValues());
}

void TestForms::listTextSelectsExactItem_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::newRow("item") << "SMS alarm" << 3;
    QTest::newRow("first item") << "ADEMCO 4+2" << 0;
    QTest::newRow("other letter case") << "sms alarm" << -1;
    QTest::newRow("typed text") << "pager" << -1;
    QTest::newRow("prompt") << "alarm type" << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestForms::listTextSelectsExactItem()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    PanelSettings s = PanelSettings::startValues();
    s.Cmb[0] = ListField{3, "SMS alarm"}; // a previous selection must not linger
    m_window->setSettings(s);
    s.Cmb[0] = SettingsLists::withText(SettingsLists::alarmTypes(), text);
    m_window->setSettings(s);
    const PanelSettings shown = m_window->settings();
    QCOMPARE(shown.Cmb[0].text, text);
    QCOMPARE(shown.Cmb[0].position, position);
    m_window->setSettings(PanelSettings::startValues());
}

void TestForms::passwordDialog()
{
    frmPassWord dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QString("Operation test"));
    QCOMPARE(dialog.size(), QSize(220, 102));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
    auto *label = child<QLabel>(&dialog, "Label1");
    QCOMPARE(label->text(), QString("KV-4810GF password test:"));
    QCOMPARE(label->geometry(), QRect(6, 5, 214, 25));
    auto *text = child<QLineEdit>(&dialog, "Text1");
    QCOMPARE(text->geometry(), QRect(10, 26, 190, 24));
    QCOMPARE(text->echoMode(), QLineEdit::Password);
    QCOMPARE(text->maxLength(), 4);
    QTest::keyClicks(text, "12");
    QCOMPARE(text->displayText(), QString("**"));
    text->clear();
    QTRY_VERIFY(text->hasFocus());
    auto *ok = child<QPushButton>(&dialog, "Command1");
    auto *exit = child<QPushButton>(&dialog, "Command2");
    QCOMPARE(ok->text(), QString("OK"));
    QCOMPARE(ok->geometry(), QRect(16, 57, 77, 38));
    QVERIFY(ok->isDefault());
    QCOMPARE(exit->text(), QString("Exit"));
    QCOMPARE(exit->geometry(), QRect(121, 56, 77, 37));
    for (QPushButton *button : {ok, exit}) {
        QCOMPARE(button->font().family(), QString("Arial"));
        QVERIFY(button->font().bold());
        QVERIFY(!button->icon().isNull());
    }
    // Esc presses nothing: the dialog stays.
    QTest::keyClick(text, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
}

void TestForms::passwordDialogEnterPressesOk()
{
    frmPassWord dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy entered(&dialog, &frmPassWord::passwordEntered);
    auto *text = child<QLineEdit>(&dialog, "Text1");
    QTest::keyClicks(text, "123456");
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE(entered.count(), 1);
    QCOMPARE(entered.at(0).at(0).toString(), QString("1234"));
    QVERIFY(dialog.isVisible());
}

void TestForms::openDialog()
{
    frmOpen dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QString("Open"));
    QCOMPARE(dialog.size(), QSize(284, 151));
    auto *option1 = child<QRadioButton>(&dialog, "Option1");
    auto *option2 = child<QRadioButton>(&dialog, "Option2");
    QCOMPARE(option1->text(), QString("Code:"));
    QCOMPARE(option1->pos(), QPoint(24, 23));
    QCOMPARE(option2->text(), QString("Name:"));
    QCOMPARE(option2->pos(), QPoint(25, 73));
    QVERIFY(!option1->isChecked() && !option2->isChecked());
    QCOMPARE(child(&dialog, "Text1")->geometry(), QRect(91, 22, 159, 20));
    QCOMPARE(child(&dialog, "Text2")->geometry(), QRect(90, 66, 159, 20));
    QVERIFY(child<QComboBox>(&dialog, "Text1")->isEditable());
    QCOMPARE(child<QComboBox>(&dialog, "Text1")->count(), 0);
    for (const char *name : {"CmdOK", "CmdExit"}) {
        auto *button = child<QPushButton>(&dialog, name);
        QCOMPARE(button->size(), QSize(84, 38));
        QVERIFY(!button->isDefault());
        QVERIFY(!button->autoDefault());
        QVERIFY(!button->icon().isNull());
    }
    QCOMPARE(child(&dialog, "CmdOK")->pos(), QPoint(38, 101));
    QCOMPARE(child(&dialog, "CmdExit")->pos(), QPoint(158, 101));
    QCOMPARE(child<QPushButton>(&dialog, "CmdOK")->text(), QString("OK"));
    QCOMPARE(child<QPushButton>(&dialog, "CmdExit")->text(), QString("Exit"));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
