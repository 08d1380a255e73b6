// The real forms, loaded offscreen: the start values of the settings
// controls, clearing them, list texts, the password dialog's keys, and
// captions that fit.
#include "frmmain.h"
#include "frmopen.h"
#include "frmpassword.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

class TestForms : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_window = new frmmain;
        m_window->InitialiseRecord();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }

    // What a fresh window shows, control by control.
    void startValues()
    {
        for (const auto &[name, text] : QList<QPair<QString, QString>>{{"TxtMiMa", "5793"}, {"TxtTian", "00"},
                 {"Cmb1", "alarm type"}, {"Cmb6", "alarm type"}, {"CmbChanKai", "disconnect"},
                 {"CmbChanBi", "pull in"}, {"CmbFangQu", "1"}}) {
            auto *edit = m_window->findChild<QLineEdit *>(name);
            auto *list = m_window->findChild<QComboBox *>(name);
            QCOMPARE(edit ? edit->text() : list ? list->currentText() : "no control " + name, text);
        }
        QCOMPARE(m_window->findChild<QComboBox *>("Cmb1")->currentIndex(), -1);
        for (QCheckBox *box : m_window->findChildren<QCheckBox *>())
            QVERIFY(!box->isChecked());
        QCOMPARE(m_window->settings(), PanelSettings::startValues());
    }

    void clearSettingsKeepsZoneFields()
    {
        auto *zone = m_window->findChild<QComboBox *>("CmbFangQu");
        auto *text = m_window->findChild<QPlainTextEdit *>("Text6");
        zone->setCurrentIndex(2);
        text->setPlainText("Door");
        PanelSettings filled = PanelSettings::startValues();
        filled.Txt[2] = "5550187";
        filled.CkTel[5] = filled.CkNX = true;
        m_window->setSettings(filled);
        m_window->ClearSettings();
        QCOMPARE(m_window->settings(), PanelSettings::cleared());
        QCOMPARE(m_window->findChild<QComboBox *>("Cmb1")->currentText(), QString());
        QCOMPARE(zone->currentText(), QString("3"));
        QCOMPARE(text->toPlainText(), QString("Door"));
        m_window->setSettings(PanelSettings::startValues());
    }

    void listTextSelectsExactItem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("position");
        QTest::newRow("item") << "SMS alarm" << 3;
        QTest::newRow("other letter case") << "sms alarm" << -1;
        QTest::newRow("typed text") << "pager" << -1;
        QTest::newRow("empty") << "" << -1;
    }

    void listTextSelectsExactItem()
    {
        QFETCH(QString, text);
        QFETCH(int, position);
        PanelSettings s = PanelSettings::startValues();
        s.Cmb[0] = ListField{3, "SMS alarm"}; // a previous selection must not linger
        m_window->setSettings(s);
        s.Cmb[0] = SettingsLists::withText(SettingsLists::alarmTypes(), text);
        m_window->setSettings(s);
        QCOMPARE(m_window->settings().Cmb[0], (ListField{position, text}));
        m_window->setSettings(PanelSettings::startValues());
    }

    // Masked; Esc presses nothing; Enter presses OK with at most four characters.
    void passwordDialog()
    {
        frmPassWord dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *text = dialog.findChild<QLineEdit *>("Text1");
        QTest::keyClicks(text, "12");
        QCOMPARE(text->displayText(), QString("**"));
        QTRY_VERIFY(text->hasFocus());
        QTest::keyClick(text, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QSignalSpy entered(&dialog, &frmPassWord::passwordEntered);
        QTest::keyClicks(text, "3456");
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(entered.count(), 1);
        QCOMPARE(entered.at(0).at(0).toString(), QString("1234"));
        QVERIFY(dialog.isVisible());
    }

    // Every caption fits on one line in its control's fixed size, in the font the form gives it.
    void captionsShownWhole()
    {
        frmPassWord password;
        frmOpen open;
        for (QWidget *window : {static_cast<QWidget *>(m_window), static_cast<QWidget *>(&password),
                                static_cast<QWidget *>(&open)}) {
            for (QLabel *label : window->findChildren<QLabel *>()) {
                const QSize text = label->fontMetrics().size(Qt::TextSingleLine, label->text());
                QVERIFY2(label->objectName().startsWith("qt_") || (text.width() <= label->contentsRect().width()
                                                                   && text.height() <= label->contentsRect().height()),
                         qPrintable(label->text()));
            }
            for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
                if (button->text().isEmpty())
                    continue;
                int needed = button->fontMetrics().horizontalAdvance(button->text());
                if (!qobject_cast<QPushButton *>(button))
                    needed = button->sizeHint().width();
                else
                    needed += button->icon().isNull() ? 8 : button->iconSize().width() + 12;
                QVERIFY2(needed <= button->width(), qPrintable(button->text()));
            }
            for (QGroupBox *group : window->findChildren<QGroupBox *>())
                QVERIFY2(group->fontMetrics().horizontalAdvance(group->title()) <= group->width(),
                         qPrintable(group->title()));
        }
    }

private:
    frmmain *m_window = nullptr;
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
