// The File menu's Save, Delete and Open on the real windows, on a record file or the test server.
#include "frmmain.h"
#include "frmopen.h"
#include "messages.h"
#include "pgserver.h"
#include "recordstore.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

// A stored record whose every field tells it apart; list texts of items, of none, and empty.
static PanelSettings stored(const QString &number, const QString &name)
{
    PanelSettings s = PanelSettings::cleared();
    s.TxtAni = number;
    s.TxtName = name;
    const QStringList types{"ADEMCO 4+2", "pager", "alarm type", "", "voice alarm", "ADEMCO slow speed"};
    for (int i = 0; i < 6; ++i) {
        s.Txt[i] = QString("55501%1").arg(i) + number;
        s.Cmb[i] = SettingsLists::withText(SettingsLists::alarmTypes(), types[i]);
        s.CkShangBao[i] = i % 2 == 0;
        s.CkTel[i] = i % 3 == 0;
    }
    s.TxtDuanXin = {"1301", "", "1303" + number};
    s.CmbChanKai = SettingsLists::withText(SettingsLists::relayStates(), "pull in");
    s.CmbChanBi = SettingsLists::withText(SettingsLists::relayStates(), "half open");
    s.TxtMiMa = "1234";
    s.TxtTian = name.left(2);
    s.CkNX = true;
    return s;
}

class TestRecordForms : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup()
    {
        Messages::setResponder(nullptr);
        m_window.reset();
    }
    void fileMenu_data();
    void fileMenu();

private:
    QAction *action(const char *name) { return m_window->findChild<QAction *>(QLatin1String(name)); }
    void openThroughDialog(int mode, const QString &key);
    QStringList storedRows();
    bool useStore(const QString &store);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<frmmain> m_window;
    QStringList m_messages;
    bool m_answer = true;
};

void TestRecordForms::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    useStore("sqlite");
    m_messages.clear();
    Messages::setResponder([this](const QString &text, const QString &title, bool question) {
        m_messages << title + ": " + text;
        return !question ? Messages::Answer::Ok : m_answer ? Messages::Answer::Yes : Messages::Answer::No;
    });
}

// A window on an empty file or test server database; false without a usable server.
bool TestRecordForms::useStore(const QString &store)
{
    QString where = m_dir->filePath("4810G.mdb");
    if (store != "sqlite") {
        where = PgServer::address("kv_tst_recordforms");
        if (!PgServer::missing().isEmpty()
            || (!PgServer::exec("kv_tst_recordforms", "DROP TABLE IF EXISTS tb4810").isEmpty()
                && !PgServer::recreate("kv_tst_recordforms").isEmpty()))
            return false;
    }
    qputenv("KV4810G_RECORDS", where.toLocal8Bit());
    m_window.reset();
    m_window = std::make_unique<frmmain>();
    m_window->InitialiseRecord();
    return true;
}

// Open(&O), the option ("Code:" is selected at first), the key typed into its list, OK.
void TestRecordForms::openThroughDialog(int mode, const QString &key)
{
    action("File_open")->trigger();
    auto *dialog = m_window->findChild<frmOpen *>();
    QVERIFY(dialog && dialog->isVisible());
    auto *option = dialog->findChild<QRadioButton *>(mode == 0 ? "Option1" : "Option2");
    QVERIFY(mode == 1 || option->isChecked());
    option->setChecked(true);
    dialog->findChild<QComboBox *>(mode == 0 ? "Text1" : "Text2")->setEditText(key);
    QPointer<frmOpen> open = dialog;
    QTest::mouseClick(dialog->findChild<QPushButton *>("CmdOK"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!open); // OK always closes the dialog
}

// The stored rows as number/name.
QStringList TestRecordForms::storedRows()
{
    RecordStore::Keys keys;
    QString error;
    if (!openRecordStore(qEnvironmentVariable("KV4810G_RECORDS"))->listKeys(&keys, &error)
        || keys.numbers.size() != keys.names.size())
        return {error};
    QStringList rows;
    for (int i = 0; i < keys.numbers.size(); ++i)
        rows << keys.numbers[i] + "/" + keys.names[i];
    return rows;
}

void TestRecordForms::fileMenu_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QString>("before");   // number/name rows stored first, comma-separated
    QTest::addColumn<QString>("number");   // "No.:" in the window
    QTest::addColumn<QString>("action");   // save, delete, open number:KEY, open name:KEY; ", No" answers No
    QTest::addColumn<QString>("messages"); // |-separated
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("shown");    // number of the record the window shows after
    const QString add = "7158K: add success!", replace = "inquire: this No. is existed, replace it?";
    const QString noNumber = "7158K: Please input No!", noMatch = "7158K: No this No, please check!";
    const QString one = "17/old", two = "17/old,18/other";
    for (const char *s : {"sqlite", "postgresql"}) {
        QTest::addRow("%s, save new", s) << s << "" << "17" << "save" << add << "17/window" << "17";
        QTest::addRow("%s, save blanks as number", s) << s << "" << " " << "save" << add << " /window" << " ";
        QTest::addRow("%s, save existing, Yes", s) << s << one << "17" << "save" << replace + "|7158K: edit success!"
                                                  << "17/window" << "17";
        QTest::addRow("%s, save existing, No", s) << s << one << "17" << "save, No" << replace << one << "17";
        QTest::addRow("%s, save without number", s) << s << one << "" << "save" << noNumber << one << "";
        QTest::addRow("%s, delete present", s) << s << two << "17" << "delete" << "7158K: Delete success!" << "18/other"
                                              << "17";
        QTest::addRow("%s, delete absent", s) << s << "18/other" << "17" << "delete" << "" << "18/other" << "17";
        QTest::addRow("%s, delete without number", s) << s << one << "" << "delete" << noNumber << one << "";
        QTest::addRow("%s, open by number", s) << s << two << "" << "open number:18" << "" << two << "18";
        QTest::addRow("%s, open by name", s) << s << two << "" << "open name:old" << "" << two << "17";
        QTest::addRow("%s, open number in other case", s) << s << "k-17/old" << "" << "open number:K-17" << ""
                                                           << "k-17/old" << "k-17";
        QTest::addRow("%s, open absent number", s) << s << one << "5" << "open number:18" << noMatch << one << "5";
        QTest::addRow("%s, open absent name", s) << s << one << "5" << "open name:new" << noMatch << one << "5";
        QTest::addRow("%s, open empty number", s) << s << one << "5" << "open number:" << noNumber << one << "5";
        QTest::addRow("%s, open empty name", s) << s << one << "5" << "open name:" << "7158K: Please input Name!" << one << "5";
    }
}

void TestRecordForms::fileMenu()
{
    QFETCH(QString, store);
    QFETCH(QString, before);
    QFETCH(QString, number);
    QFETCH(QString, action);
    QFETCH(QString, messages);
    QFETCH(QString, after);
    QFETCH(QString, shown);
    if (!useStore(store))
        QSKIP(qPrintable(PgServer::missing().isEmpty() ? "the test server cannot be used" : PgServer::missing()));
    const std::unique_ptr<RecordStore> records = openRecordStore(qEnvironmentVariable("KV4810G_RECORDS"));
    QCOMPARE(this->action("recordsInUse")->text(),
             store == "sqlite" ? QString("Records: 4810G.mdb") : "Records: shared, " + records->location());
    QString error;
    for (const QString &row : before.split(',', Qt::SkipEmptyParts))
        QCOMPARE(records->save(stored(row.section('/', 0, 0), row.section('/', 1)), RecordStore::SaveMode::AddOnly,
                               &error),
                 RecordStore::Outcome::Added);
    const PanelSettings window = stored(number, "window");
    m_window->setSettings(window);
    m_answer = !action.endsWith(", No");
    if (action.startsWith("save"))
        this->action("File_save")->trigger();
    else if (action == "delete")
        this->action("File_del")->trigger();
    else
        openThroughDialog(action.startsWith("open number") ? 0 : 1, action.section(':', 1));

    QCOMPARE(m_messages, messages.split('|', Qt::SkipEmptyParts));
    QCOMPARE(storedRows().join(','), after);
    // Every control shows what the window held, or the record opened, field by field.
    PanelSettings expected = window;
    for (const QString &row : before.split(',', Qt::SkipEmptyParts)) {
        if (action.startsWith("open") && row.section('/', 0, 0) == shown)
            expected = stored(shown, row.section('/', 1));
    }
    QCOMPARE(m_window->settings().TxtAni, shown);
    QCOMPARE(m_window->settings(), expected);
}

QTEST_MAIN(TestRecordForms)
#include "tst_recordforms.moc"
