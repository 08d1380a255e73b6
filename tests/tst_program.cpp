// kv4810g-program against panel simulators: sub-commands, exit statuses, output and JSON, eight panels at once.
#include "exitstatus.h"
#include "ptypair.h"
#include "simulatorprocess.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
    // The result of the i-th panel in the JSON.
    QJsonObject panel(int i = 0) const { return json().value("panels").toArray().at(i).toObject(); }
};

// The program run to its end; the password in the environment unless "KV4810G_PASSWORD=" removes it.
Run program(const QStringList &arguments, const QStringList &env = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KV4810G_PASSWORD", "1234");
    for (const QString &setting : env) {
        if (setting.endsWith('='))
            environment.remove(setting.chopped(1));
        else
            environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
    }
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral(PROGRAM_PATH), arguments);
    const bool ended = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

const QByteArray GoodSettings = R"({"format": 1, "JieTel1": "5550187", "JieTelEM1": "SMS alarm", "shangbao1": true})";

} // namespace

class TestProgram : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    // Every kind of end or message stands for one exit status.
    void exitStatuses_data()
    {
        QTest::addColumn<QList<PanelOutcome>>("kinds");
        QTest::addColumn<int>("status");
        using O = PanelOutcome;
        QTest::newRow("done") << QList<O>{O::None, O::PanelFound, O::DownloadFinished, O::UploadFinished,
                                          O::ZoneDownloadFinished, O::ZoneUploadFinished, O::ComparisonSame} << 0;
        QTest::newRow("usage") << QList<O>{O::InputRefused, O::TextRefused} << 1;
        QTest::newRow("no panel") << QList<O>{O::NoPanel, O::HardwareFail, O::NoHardware, O::AlreadyOpen,
                                              O::DeviceUnavailable} << 2;
        QTest::newRow("password") << QList<O>{O::PasswordRefused} << 3;
        QTest::newRow("incomplete") << QList<O>{O::DownloadRefused, O::DownloadIncomplete, O::UploadRefused,
                                                O::UploadIncomplete, O::ZoneUploadIncomplete, O::ComparisonIncomplete,
                                                O::DataError, O::LineLost, O::DownloadInProgress, O::SearchInProgress,
                                                O::NotOpen} << 4;
        QTest::newRow("differences") << QList<O>{O::ComparisonDiffers} << 6;
    }
    void exitStatuses()
    {
        QFETCH(QList<PanelOutcome>, kinds);
        QFETCH(int, status);
        for (const PanelOutcome kind : kinds)
            QCOMPARE(ExitStatus::of(kind), status);
    }

    // Ports are "panel", "silent" or a missing device.
    void detect_data()
    {
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<bool>("all");
        QTest::addColumn<int>("found"); // panels the JSON reports found; none: exit status 2
        QTest::newRow("behind a missing port") << QStringList{"missing", "panel"} << false << 1;
        QTest::newRow("no panel") << QStringList{"missing", "silent"} << false << 0;
        QTest::newRow("every panel") << QStringList{"panel", "silent", "panel"} << true << 2;
    }
    void detect()
    {
        QFETCH(QStringList, ports);
        QFETCH(bool, all);
        QFETCH(int, found);
        std::vector<std::unique_ptr<SimulatorProcess>> panels;
        QStringList devices;
        for (const QString &port : ports) {
            const QStringList silent = port == "silent" ? QStringList{"--silent"} : QStringList();
            if (port != "missing")
                panels.push_back(std::make_unique<SimulatorProcess>(silent));
            devices << (port == "missing" ? QString("/dev/kv4810g-missing") : panels.back()->device());
        }
        const QStringList env{"KV4810G_PORTS=" + devices.join(':')};
        const Run run = program(QStringList{"detect", "--json"} + (all ? QStringList{"--all"} : QStringList()), env);
        QCOMPARE(run.status, found > 0 ? 0 : 2);
        int panelsFound = 0;
        for (const QJsonValue panel : run.json().value("panels").toArray())
            panelsFound += panel.toObject().value("status").toInt() == 0;
        QCOMPARE(panelsFound, found);
        // Without --json, a line for every port tried.
        if (!all && found > 0)
            QVERIFY(program({"detect"}, env).out.startsWith("port 1 (/dev/kv4810g-missing): no such device\n"));
    }

    void download_data()
    {
        QTest::addColumn<QStringList>("simulator"); // "mute": a line on which nothing ever answers
        QTest::addColumn<QByteArray>("settings");   // the settings file; empty: --record 99 of an empty store
        QTest::addColumn<QStringList>("env");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says"); // on standard error, or in the result
        const auto row = [](const char *name, int status, const QString &says, const QStringList &simulator = {},
                            const QByteArray &settings = GoodSettings, const QStringList &env = {}) {
            QTest::newRow(name) << simulator << settings << env << status << says;
        };
        row("done", 0, "finish download!");
        row("wrong password", 3, "Enter the password wrong operation", {"--password", "9999"});
        row("line lost", 4, "download not complete", {"--hangup-after", "3"});
        row("data refused", 4, "Data Error!", {"--refuse", "--trace"}); // every frame sent all the same
        row("no answer", 4, "the panel did not answer the password", {"mute"});
        row("record missing", 5, "No this No", {}, QByteArray());
        row("unknown member", 7, "unknown member \"JieTel7\"", {}, R"({"format": 1, "JieTel7": "1"})");
        row("a value refused", 7, "\"MiMa\": password format error!", {}, R"({"format": 1, "MiMa": "12"})");
        row("a wrong type", 7, "\"NeiXian\" must be true or false", {}, R"({"format": 1, "NeiXian": 1})");
        row("settings file missing", 7, "settings.json", {}, "no file");
        row("not a settings file", 7, "settings.json: not a settings file (not one object)", {}, "[1]");
        row("no password", 1, "no panel password", {}, GoodSettings, {"KV4810G_PASSWORD="});
    }
    void download()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QByteArray, settings);
        QFETCH(QStringList, env);
        QFETCH(int, status);
        QFETCH(QString, says);
        const bool mute = simulator == QStringList{"mute"};
        PtyPair muteLine;
        SimulatorProcess panel(mute ? QStringList{"--silent"} : simulator << "--state" << m_dir->filePath("panel.json"));
        QVERIFY(panel.isReady() && muteLine.isValid());
        const QString file = m_dir->filePath("settings.json");
        if (settings != "no file")
            writeFile(file, settings);
        const QStringList source = settings.isEmpty()
            ? QStringList{"--record", "99", "--records", m_dir->filePath("r.mdb")} : QStringList{"--settings", file};
        const QString device = mute ? muteLine.devicePath() : panel.device();
        const Run run = program(QStringList{"download", "--device", device, "--json"} + source, env);
        QCOMPARE(run.status, status);
        QVERIFY2((run.err + run.out).contains(says), qPrintable(run.err + run.out));
        if (simulator.contains("--refuse"))
            QVERIFY(panel.waitForFrame("FF0C0010000000000000"));
        if (status == 0) {
            QCOMPARE(run.panel().value("status").toInt(), 0);
            QTRY_COMPARE(panel.state().value("receivingNumbers").toArray().at(0).toObject().value("number").toString(),
                         QString("5550187"));
        }
    }

    // Upload to a file and a record, that file compared, one field changed and compared again.
    void uploadAndCompare()
    {
        // A slow panel: the comparison outlasts the wait for the password's answer.
        SimulatorProcess panel({"--state", m_dir->filePath("panel.json"), "--reply-gap", "300"});
        QVERIFY(panel.isReady());
        const QString file = m_dir->filePath("panel-settings.json");
        const QString records = m_dir->filePath("r.mdb");
        QFile traced(m_dir->filePath("trace.txt"));
        const Run upload = program({"upload", "--device", panel.device(), "--output", file, "--save", "12",
                                    "--records", records, "--trace", traced.fileName()});
        QCOMPARE(upload.status, 0);
        QVERIFY(upload.out.contains(panel.device() + ": finish Upload!"));
        // The trace: every line marked with its panel, both passwords masked, its owner's alone.
        QVERIFY(traced.open(QIODevice::ReadOnly));
        const QString lines = QString::fromUtf8(traced.readAll());
        QVERIFY2(lines.contains(panel.device() + " ") && lines.contains("-> FF0102****")
                     && lines.contains("<- FF5A****0201") && !lines.contains("31323334"),
                 qPrintable(lines));
        QCOMPARE(traced.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        QCOMPARE(program({"compare", "--device", panel.device(), "--settings", file}).status, 0);
        QCOMPARE(program({"compare", "--device", panel.device(), "--record", "12", "--records", records}).status, 0);
        QJsonObject json = readJsonFile(file);
        json.insert("shouji2", "4711");
        writeFile(file, QJsonDocument(json).toJson());
        const Run compare = program({"compare", "--device", panel.device(), "--settings", file});
        QCOMPARE(compare.status, 6);
        QVERIFY2(compare.out.contains("The second number to program GSM module: 4711 | (empty)  [differs]"),
                 qPrintable(compare.out));
        QCOMPARE(compare.out.count("[differs]"), 1);
    }

    // Zone messages, the panel searched for without --device or --port, records, and commands refused for their usage.
    void zonesAndRecords()
    {
        SimulatorProcess panel;
        QVERIFY(panel.isReady());
        QCOMPARE(program({"zone-download", "--device", panel.device(), "--zone", "2", "--text", "Back\ndoor"}).status, 0);
        const Run zone = program({"zone-upload", "--device", panel.device(), "--zone", "2", "--json"});
        QCOMPARE(zone.status, 0);
        QCOMPARE(zone.panel().value("text").toString(), QString("Back\ndoor"));
        const Run searched = program({"zone-upload", "--zone", "2"}, {"KV4810G_PORTS=/dev/kv4810g-missing:" + panel.device()});
        QCOMPARE(searched.status, 0);
        QVERIFY2(searched.out.contains("zone 2: Back\ndoor"), qPrintable(searched.out));
        const QString records = m_dir->filePath("r.mdb");
        const Run upload = program({"upload", "--device", panel.device(), "--save", "7", "--records", records});
        QCOMPARE(upload.status, 0);
        QVERIFY2(upload.out.contains("\n  MiMa: 5793\n"), qPrintable(upload.out)); // the settings, for people
        const Run list = program({"records", "list", "--records", records});
        QCOMPARE(list.status, 0);
        QCOMPARE(list.out, QString("7\t\n"));
        const Run show = program({"records", "show", "7", "--records", records, "--json"});
        QCOMPARE(show.json().value("MiMa").toString(), QString("5793"));
        QCOMPARE(program({"records", "show", "8", "--records", records}).status, 5);
        QCOMPARE(program({"zone-upload", "--device", panel.device(), "--zone", "4"}).status, 1);
        const Run unknown = program({"detects"});
        QCOMPARE(unknown.status, 1);
        QVERIFY2(unknown.err.contains("unknown command 'detects'"), qPrintable(unknown.err));
    }

    // One command, eight panels, each its own line and result; the last has another password.
    void eightPanelsAtOnce()
    {
        std::vector<std::unique_ptr<SimulatorProcess>> panels;
        QStringList arguments{"download", "--json", "--settings", m_dir->filePath("s.json")};
        writeFile(m_dir->filePath("s.json"), R"({"format": 1, "zhouqi": "15"})");
        for (int i = 0; i < 8; ++i) {
            const QStringList password = i < 7 ? QStringList() : QStringList{"--password", "9999"};
            panels.push_back(std::make_unique<SimulatorProcess>(
                password + QStringList{"--state", m_dir->filePath(QString("panel%1.json").arg(i))}));
            QVERIFY(panels.back()->isReady());
            arguments << "--device" << panels.back()->device();
        }
        const Run run = program(arguments);
        QCOMPARE(run.status, 3); // the worst of them all
        QCOMPARE(run.json().value("panels").toArray().size(), 8);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(run.panel(i).value("device").toString(), panels[i]->device());
            QCOMPARE(run.panel(i).value("status").toInt(), i < 7 ? 0 : 3);
            if (i < 7)
                QCOMPARE(panels[i]->state().value("interval").toString(), QString("15"));
        }
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
