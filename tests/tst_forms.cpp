// The real forms, loaded offscreen: the menus, the start values and limits
// of the settings controls, the lamps, and how the dialogs take keys.
#include "frmmain.h"
#include "frmopen.h"
#include "frmpassword.h"

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
    void menus_data();
    void menus();
    void startValues();
    void clearSettingsKeepsZoneFields();
    void listTextSelectsExactItem_data();
    void listTextSelectsExactItem();
    void passwordDialog();
    void captionsShownWhole_data();
    void captionsShownWhole();

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

void TestForms::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    QTest::newRow("File") << "File" << "File"
                          << QStringList{"File_open", "File_save", "File_del", "JJ", "eqit", "recordsSeparator",
                                         "recordsInUse"}
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
    auto *m = m_window->findChild<QMenu *>(menu);
    QVERIFY(m);
    QCOMPARE(m->title(), title);
    QStringList visible;
    QStringList invisible;
    for (QAction *action : m->actions()) {
        (action->isVisible() ? visible : invisible) << action->objectName();
        QVERIFY(action->shortcut().isEmpty());
    }
    QCOMPARE(visible, shown);
    QCOMPARE(invisible, hidden);
    const QList<QAction *> bar = m_window->menuBar()->actions();
    QCOMPARE(bar.size(), 3);
    QCOMPARE(bar.at(0)->menu()->objectName(), QString("File"));
    QCOMPARE(bar.at(1)->menu()->objectName(), QString("com_set"));
    QCOMPARE(bar.at(2)->menu()->objectName(), QString("help"));
}

void TestForms::startValues()
{
    const PanelSettings s = m_window->settings();
    QCOMPARE(s, PanelSettings::startValues());
    for (int n = 1; n <= 6; ++n) {
        auto *list = child<QComboBox>(m_window, qPrintable(QString("Cmb%1").arg(n)));
        QCOMPARE(list->currentText(), QString("alarm type"));
        QCOMPARE(list->currentIndex(), -1);
        QCOMPARE(list->count(), 5);
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
    QTest::newRow("other letter case") << "sms alarm" << -1;
    QTest::newRow("typed text") << "pager" << -1;
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
    auto *text = child<QLineEdit>(&dialog, "Text1");
    QTest::keyClicks(text, "12");
    QCOMPARE(text->displayText(), QString("**"));
    QTRY_VERIFY(text->hasFocus());
    // Esc presses nothing: the dialog stays. Enter presses OK with at most
    // four characters.
    QTest::keyClick(text, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    QSignalSpy entered(&dialog, &frmPassWord::passwordEntered);
    QTest::keyClicks(text, "3456");
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE(entered.count(), 1);
    QCOMPARE(entered.at(0).at(0).toString(), QString("1234"));
    QVERIFY(dialog.isVisible());
}

void TestForms::captionsShownWhole_data()
{
    QTest::addColumn<QString>("form");
    QTest::newRow("main window") << "frmmain";
    QTest::newRow("password dialog") << "frmPassWord";
    QTest::newRow("open dialog") << "frmOpen";
}

// Every caption fits on one line in its control's fixed size, in the font
// the form gives it.
void TestForms::captionsShownWhole()
{
    QFETCH(QString, form);
    frmPassWord password;
    frmOpen open;
    QWidget *window = form == "frmmain" ? static_cast<QWidget *>(m_window)
                    : form == "frmPassWord" ? static_cast<QWidget *>(&password)
                                            : static_cast<QWidget *>(&open);
    int checked = 0;
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (label->text().isEmpty() || label->objectName().startsWith("qt_"))
            continue;
        const QSize text = label->fontMetrics().size(Qt::TextSingleLine, label->text());
        QVERIFY2(text.width() <= label->contentsRect().width(), qPrintable(label->text()));
        QVERIFY2(text.height() <= label->contentsRect().height(), qPrintable(label->text()));
        ++checked;
    }
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        if (button->text().isEmpty())
            continue;
        int needed = button->fontMetrics().horizontalAdvance(button->text());
        if (qobject_cast<QPushButton *>(button))
            needed += button->icon().isNull() ? 8 : button->iconSize().width() + 12;
        else
            needed = button->sizeHint().width();
        QVERIFY2(needed <= button->width(), qPrintable(button->text()));
        ++checked;
    }
    for (QGroupBox *group : window->findChildren<QGroupBox *>()) {
        const int needed = group->fontMetrics().horizontalAdvance(group->title());
        QVERIFY2(needed <= group->width(), qPrintable(group->title()));
    }
    QVERIFY(checked > 0);
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
