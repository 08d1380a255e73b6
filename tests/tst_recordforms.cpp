// The File menu's Save, Delete and Open on the real windows, against a
// record file in a temporary folder.
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

namespace {

// A stored record whose every field tells it apart.
PanelSettings stored(const QString &number, const QString &name)
{
    PanelSettings s = PanelSettings::cleared();
    s.TxtAni = number;
    s.TxtName = name;
    s.Txt[0] = "5550" + number;
    s.Cmb[0] = SettingsLists::withText(SettingsLists::alarmTypes(), "SMS alarm");
    s.CmbChanKai = SettingsLists::withText(SettingsLists::relayStates(), "pull in");
    s.TxtMiMa = "1234";
    s.CkNX = true;
    return s;
}

} // namespace

class TestRecordForms : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fileMenu_data();
    void fileMenu();
    void savedRecordRestoresAllControls();

private:
    QAction *action(const char *name) { return m_window->findChild<QAction *>(QLatin1String(name)); }
    // Open(&O), the option, the key typed into its list, OK.
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
        if (question)
            return m_answer ? Messages::Answer::Yes : Messages::Answer::No;
        return Messages::Answer::Ok;
    });
}

// A window on an empty store of this kind: a file, or the test server's
// database; false when there is no test server.
bool TestRecordForms::useStore(const QString &store)
{
    if (store == "sqlite") {
        qputenv("KV4810G_RECORDS", m_dir->filePath("4810G.mdb").toLocal8Bit());
    } else {
        const QString database = "kv_tst_recordforms";
        if (!PgServer::missing().isEmpty())
            return false;
        if (!PgServer::exec(database, "DROP TABLE IF EXISTS tb4810").isEmpty() && !PgServer::recreate(database).isEmpty())
            return false;
        qputenv("KV4810G_RECORDS", PgServer::address(database).toLocal8Bit());
    }
    m_window.reset();
    m_window = std::make_unique<frmmain>();
    m_window->InitialiseRecord();
    return true;
}

void TestRecordForms::cleanup()
{
    Messages::setResponder(nullptr);
    m_window.reset();
}

void TestRecordForms::openThroughDialog(int mode, const QString &key)
{
    action("File_open")->trigger();
    auto *dialog = m_window->findChild<frmOpen *>();
    QVERIFY(dialog && dialog->isVisible());
    auto *option = dialog->findChild<QRadioButton *>(mode == 0 ? "Option1" : "Option2");
    QVERIFY(mode == 1 || option->isChecked()); // "Code:" is selected at first
    option->setChecked(true);
    dialog->findChild<QComboBox *>(mode == 0 ? "Text1" : "Text2")->setEditText(key);
    QPointer<frmOpen> open = dialog;
    QTest::mouseClick(dialog->findChild<QPushButton *>("CmdOK"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!open); // OK always closes the dialog
}

QStringList TestRecordForms::storedRows()
{
    const std::unique_ptr<RecordStore> store = openRecordStore(qEnvironmentVariable("KV4810G_RECORDS"));
    RecordStore::Keys keys;
    QString error;
    if (!store->listKeys(&keys, &error) || keys.numbers.size() != keys.names.size())
        return {error};
    QStringList rows;
    for (int i = 0; i < keys.numbers.size(); ++i)
        rows << keys.numbers[i] + "/" + keys.names[i];
    return rows;
}

void TestRecordForms::fileMenu_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QStringList>("before");  // number/name rows stored first
    QTest::addColumn<QString>("number");      // "No.:" in the window
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("key");         // typed into the open dialog
    QTest::addColumn<bool>("yes");            // answer to the question
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("shown");       // number of the record the window shows after

    const QString add = "7158K: add success!";
    const QString replace = "inquire: this No. is existed, replace it?";
    const QString noNumber = "7158K: Please input No!";
    const QString noMatch = "7158K: No this No, please check!";
    const QStringList one{"17/old"};
    for (const char *store : {"sqlite", "postgresql"}) {
        QTest::addRow("%s, save new", store) << store << QStringList{} << "17" << "save" << "" << true
                                     << QStringList{add} << QStringList{"17/window"} << "17";
        QTest::addRow("%s, save blanks as number", store) << store << QStringList{} << " " << "save" << "" << true
                                                  << QStringList{add} << QStringList{" /window"} << " ";
        QTest::addRow("%s, save existing, Yes", store) << store << one << "17" << "save" << "" << true
                                               << QStringList{replace, "7158K: edit success!"}
                                               << QStringList{"17/window"} << "17";
        QTest::addRow("%s, save existing, No", store) << store << one << "17" << "save" << "" << false
                                              << QStringList{replace} << one << "17";
        QTest::addRow("%s, save without number", store) << store << one << "" << "save" << "" << true
                                                << QStringList{noNumber} << one << "";
        QTest::addRow("%s, delete present", store) << store << QStringList{"17/old", "18/other"} << "17" << "delete" << "" << true
                                           << QStringList{"7158K: Delete success!"} << QStringList{"18/other"} << "17";
        QTest::addRow("%s, delete absent", store) << store << QStringList{"18/other"} << "17" << "delete" << "" << true
                                          << QStringList{} << QStringList{"18/other"} << "17";
        QTest::addRow("%s, delete without number", store) << store << one << "" << "delete" << "" << true
                                                  << QStringList{noNumber} << one << "";
        QTest::addRow("%s, open by number", store) << store << QStringList{"17/old", "18/other"} << "" << "open number" << "18" << true
                                           << QStringList{} << QStringList{"17/old", "18/other"} << "18";
        QTest::addRow("%s, open by name", store) << store << QStringList{"17/old", "18/other"} << "" << "open name" << "old" << true
                                         << QStringList{} << QStringList{"17/old", "18/other"} << "17";
        QTest::addRow("%s, open absent number", store) << store << one << "5" << "open number" << "18" << true
                                               << QStringList{noMatch} << one << "5";
        QTest::addRow("%s, open absent name", store) << store << one << "5" << "open name" << "new" << true
                                             << QStringList{noMatch} << one << "5";
        QTest::addRow("%s, open empty number", store) << store << one << "5" << "open number" << "" << true
                                              << QStringList{noNumber} << one << "5";
        QTest::addRow("%s, open empty name", store) << store << one << "5" << "open name" << "" << true
                                            << QStringList{"7158K: Please input Name!"} << one << "5";
    }
}

void TestRecordForms::fileMenu()
{
    QFETCH(QStringList, before);
    QFETCH(QString, number);
    QFETCH(QString, action);
    QFETCH(QString, key);
    QFETCH(bool, yes);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, after);
    QFETCH(QString, shown);
    QFETCH(QString, store);
    if (!useStore(store))
        QSKIP(qPrintable(PgServer::missing().isEmpty() ? "the test server cannot be used" : PgServer::missing()));

    const std::unique_ptr<RecordStore> records = openRecordStore(qEnvironmentVariable("KV4810G_RECORDS"));
    QCOMPARE(this->action("recordsInUse")->text(),
             store == "sqlite" ? QString("Records: 4810G.mdb") : "Records: shared, " + records->location());
    QString error;
    for (const QString &row : before)
        QCOMPARE(records->save(stored(row.section('/', 0, 0), row.section('/', 1)),
                            RecordStore::SaveMode::AddOnly, &error),
                 RecordStore::Outcome::Added);
    const PanelSettings window = stored(number, "window");
    m_window->setSettings(window);
    m_answer = yes;

    if (action == "save")
        this->action("File_save")->trigger();
    else if (action == "delete")
        this->action("File_del")->trigger();
    else
        openThroughDialog(action == "open number" ? 0 : 1, key);

    QCOMPARE(m_messages, messages);
    QCOMPARE(storedRows(), after);
    const PanelSettings now = m_window->settings();
    QCOMPARE(now.TxtAni, shown);
    if (action.startsWith("open") && shown != number) {
        PanelSettings expected;
        QCOMPARE(records->find(RecordStore::Key::Number, shown, &expected, &error), RecordStore::Outcome::Found);
        QCOMPARE(now, expected);
    } else {
        QCOMPARE(now, window);
    }
}

void TestRecordForms::savedRecordRestoresAllControls()
{
    const QStringList types = SettingsLists::alarmTypes();
    const QStringList relays = SettingsLists::relayStates();
    PanelSettings s;
    s.TxtName = "Bakery \"Nord\"";
    s.TxtAni = "K-17";
    const QStringList typeTexts{"ADEMCO 4+2", "pager", "alarm type", "", "voice alarm", "ADEMCO slow speed"};
    for (int i = 0; i < 6; ++i) {
        s.Txt[i] = QString("55501%1").arg(i);
        s.Cmb[i] = SettingsLists::withText(types, typeTexts[i]);
        s.CkShangBao[i] = i % 2 == 0;
        s.CkTel[i] = i % 3 == 0;
    }
    s.TxtDuanXin = {"1301", "1302", "1303"};
    s.CmbChanKai = SettingsLists::withText(relays, "pull in");
    s.CmbChanBi = SettingsLists::withText(relays, "half open");
    s.TxtMiMa = "9876";
    s.TxtTian = "15";
    s.CkNX = true;
    m_window->setSettings(s);
    action("File_save")->trigger();
    QCOMPARE(m_messages, QStringList{"7158K: add success!"});

    m_window->setSettings(PanelSettings::startValues());
    openThroughDialog(0, "k-17"); // letter case aside
    QCOMPARE(m_window->settings(), s);
}

QTEST_MAIN(TestRecordForms)
#include "tst_recordforms.moc"
