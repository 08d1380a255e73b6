// kv4810g-program against panel simulators: sub-commands, exit statuses, output and JSON, eight panels at once.
#include "exitstatus.h"
#include "programrun.h"
#include "ptypair.h"
#include "simulatorprocess.h"

#include <QFile>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <memory>
#include <poll.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

Run program(const QStringList &arguments, const QStringList &env = {}, const std::function<void()> &child = {})
{
    return ProgramRun(PROGRAM_PATH, arguments, env, child).finished();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

// A settings file naming every member a download sends, as a fresh window holds them, with `changed` put in.
QByteArray settingsFile(const QVariantMap &changed = {})
{
    QJsonObject json{{"format", 1}, {"MiMa", "5793"}, {"ChangKai", ""}, {"ChangBi", ""}, {"zhouqi", "00"},
                     {"NeiXian", false}};
    for (int i = 1; i <= 6; ++i)
        for (const QString &member : QStringList{"JieTel", "JieTelEM", "shangbao", "TelGZ", "shouji"}.mid(0, i > 3 ? 4 : 5))
            json.insert(member + QString::number(i), member.startsWith('J') || member == "shouji" ? QJsonValue("") : QJsonValue(false));
    for (auto it = changed.begin(); it != changed.end(); ++it)
        json.insert(it.key(), QJsonValue::fromVariant(it.value()));
    return QJsonDocument(json).toJson();
}

} // namespace

class TestProgram : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("KV4810G_RECORDS", m_dir->filePath("4810G.mdb").toLocal8Bit()); // the history's, too
    }

    // Without KV4810G_PASSWORD or --password-file the password is asked on the terminal and not echoed; typed or
    // interrupted, the terminal echoes again as before.
    void passwordPrompt_data()
    {
        QTest::addColumn<bool>("typed");
        QTest::newRow("typed") << true;
        QTest::newRow("interrupted") << false;
    }
    void passwordPrompt()
    {
        QFETCH(bool, typed);
        SimulatorProcess panel;
        PtyPair terminal;
        const int tty = ::open(QFile::encodeName(terminal.devicePath()).constData(), O_RDWR | O_NOCTTY);
        termios mode{};
        QVERIFY(tty >= 0 && ::tcgetattr(tty, &mode) == 0);
        const auto closeTty = qScopeGuard([tty] { ::close(tty); });
        mode.c_lflag |= ECHO | ICANON;
        QCOMPARE(::tcsetattr(tty, TCSANOW, &mode), 0);
        const auto echoes = [&] { return ::tcgetattr(tty, &mode) == 0 && (mode.c_lflag & ECHO) != 0; };
        ProgramRun run(PROGRAM_PATH, {"upload", "--device", panel.device()}, {"KV4810G_PASSWORD="}, [tty] { ::dup2(tty, 0); });
        QTRY_VERIFY(!echoes()); // the prompt waits for the line
        QVERIFY(typed ? terminal.write("1234\n") == 5 : ::kill(pid_t(run.pid()), SIGINT) == 0);
        const Run ended = run.finished();
        QCOMPARE(ended.status, typed ? 0 : -1);
        QVERIFY2(ended.err.startsWith(typed ? "Panel password: \n" : "Panel password: "), qPrintable(ended.err));
        QVERIFY(echoes());
        QCOMPARE(terminal.read(0), QByteArray());
    }

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
        QTest::newRow("incomplete") << QList<O>{O::DownloadRefused, O::DownloadIncomplete, O::ZoneDownloadRefused,
                                                O::ZoneDownloadIncomplete, O::UploadRefused, O::UploadIncomplete,
                                                O::ZoneUploadIncomplete, O::ComparisonIncomplete, O::DataError,
                                                O::LineLost, O::DownloadInProgress, O::SearchInProgress, O::NotOpen} << 4;
        QTest::newRow("differences") << QList<O>{O::ComparisonDiffers} << 6;
    }
    void exitStatuses()
    {
        QFETCH(QList<PanelOutcome>, kinds);
        QFETCH(int, status);
        for (const PanelOutcome kind : kinds)
            QCOMPARE(ExitStatus::of(kind), status);
    }

    // A command line the program cannot take ends it with status 1 and the reason, before any line is opened. The
    // edges of each range are taken: the next check speaks.
    void usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("says");
        const QString port = "--port takes a number from 1 to 16", history = "--history takes a history entry's id";
        const QString portAndDevice = "give --port or --device, not both", records = "records takes 'list' or 'show NO'";
        const QString unexpected = "unexpected argument 'x'", download = "download takes --record NO, --settings FILE";
        const QList<std::pair<QStringList, QString>> rows{
            {{}, "no command given"},
            {{"--bogus", "upload"}, "Unknown option 'bogus'."},
            {{"upload", "--port", "0"}, port},
            {{"upload", "--port", "17"}, port},
            {{"upload", "--port", "1", "--device", "/dev/a"}, portAndDevice},
            {{"upload", "--port", "16", "--device", "/dev/a"}, portAndDevice},
            {{"download", "--history", "0"}, history},
            {{"compare", "--history", "1"}, history},
            {{"download"}, download},
            {{"download", "--record", "1", "--settings", "s.json"}, download},
            {{"compare"}, "compare takes --record NO or --settings FILE"},
            {{"history", "--device", "/dev/a", "--device", "/dev/b"}, "history takes one --device"},
            {{"history", "--since", "yesterday"}, "--since takes a date"},
            {{"history", "--limit", "0"}, "--limit takes a number of at least 1"},
            {{"history", "--limit", "1", "x"}, unexpected},
            {{"zone-download", "--zone", "1"}, "zone-download takes --text TEXT"},
            {{"records", "show"}, records},
            {{"records", "list", "x"}, records},
            {{"upload", "x"}, unexpected},
            {{"upload", "--save", "1", "--device", "/dev/a", "--device", "/dev/b"}, "--save take the settings of one panel"},
        };
        for (const auto &[arguments, says] : rows)
            QTest::newRow(arguments.isEmpty() ? "nothing" : qPrintable(arguments.join(" "))) << arguments << says;
    }
    void usage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        const Run run = program(arguments, {"KV4810G_PORTS=/dev/kv4810g-missing"});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(says) && run.err.endsWith(" --help' for more information.\n"), qPrintable(run.err));
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
        QTest::newRow("no panel on any port") << QStringList{"missing"} << true << 0;
        QTest::newRow("on the last port") << (QStringList(15, "missing") << "panel") << true << 1;
    }
    void detect()
    {
        QFETCH(QStringList, ports);
        QFETCH(bool, all);
        QFETCH(int, found);
        std::vector<std::unique_ptr<SimulatorProcess>> panels;
        QStringList devices;
        for (const QString &port : ports) {
            if (port != "missing")
                panels.push_back(std::make_unique<SimulatorProcess>(port == "silent" ? QStringList{"--silent"} : QStringList()));
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

    // Every way a command can end but the plain one: the status, the message, the JSON, and what the panel got.
    // The rows wait on lines and timers, not on the processor: the first row starts them all, each on a panel of
    // its own, and each row then checks its own.
    void outcomes_data()
    {
        QTest::addColumn<int>("row");
        const QStringList download{"download", "--settings", "FILE"};
        const QStringList zone{"zone-download", "--zone", "1", "--text"};
        const QByteArray good = settingsFile({{"JieTel1", "5550187"}, {"JieTelEM1", "SMS alarm"}});
        m_outcomes.clear();
        // arguments: DEV the panel, LINK a symbolic link to it, FILE the file (`file` its content; none when null),
        // FULL the row's folder on a full disk (holding old.json); simulator "mute": a line on which nothing ever answers; says: on standard error or
        // output; got: a frame the panel took, the first digits; empty: nothing at all.
        const auto row = [this](const char *name, int status, const QString &says, const QString &got,
                                const QStringList &arguments, const QByteArray &file = {},
                                const QStringList &simulator = {}, const QStringList &env = {}) {
            QTest::newRow(name) << int(m_outcomes.size());
            Outcome &o = m_outcomes.emplace_back();
            std::tie(o.status, o.says, o.got, o.arguments, o.file, o.simulator, o.env) =
                std::tie(status, says, got, arguments, file, simulator, env);
        };
        row("line lost", 4, "download not complete", "FF03", download, good, {"--hangup-after", "3"});
        row("no answer", 4, "the panel did not answer the password", "", download, good, {"mute"});
        row("the last frame refused", 4, "Data Error! The panel refused frame 11 of 11.", "FF0C", download, good,
            {"--refuse-command", "0C"});
        row("a zone message refused", 4, "The panel refused zone 1's message text.", "FF0C0444", zone + QStringList{"Door"},
            {}, {"--refuse-command", "0C"});
        row("standard output full", 8, "the standard output could not be written", "FF0000", {"upload", ">/dev/full"});
        row("upload to a full disk", 8, "old.json", "FF0000", {"upload", "--output", "FULL/old.json"});
        row("trace on a full disk", 8, "trace.txt", "FF0000", {"upload", "--trace", "FULL/trace.txt"});
        row("store fails after upload", 5, "finish Upload!", "FF0000", {"upload", "--save", "3", "--records", "FILE/r.mdb"}, "x");
        row("record missing", 5, "No this No", "", {"download", "--record", "99", "--records", "FILE"});
        row("unknown member", 7, "unknown member", "", download, R"({"format": 1, "JieTel7": "1"})");
        row("a value refused", 7, "password format error!", "", download, settingsFile({{"MiMa", "12"}}));
        row("not an item of the list", 7, "\"JieTelEM1\" must be one of: ", "", download, settingsFile({{"JieTelEM1", "pager"}}));
        row("not a relay state", 7, "\"ChangBi\" must be one of: ", "", download, settingsFile({{"ChangBi", "open"}}));
        row("members left out", 7, "members missing (a download sends them all): JieTel1, JieTel2,", "", download,
            R"({"format": 1, "zhouqi": "15"})");
        row("a member twice", 7, "given twice", "", download, settingsFile().replace("{", R"({"MiMa": "1111",)"));
        row("not a settings file", 7, "not a settings file (not one object)", "", download, "[1]");
        row("another format", 7, "\"format\" must be 1", "", download, settingsFile({{"format", 2}}));
        row("a box not true or false", 7, "\"NeiXian\" must be true or false", "", download, settingsFile({{"NeiXian", 1}}));
        row("a settings file too large", 7, "larger than 65536 bytes", "", download, QByteArray(64 * 1024 + 1, ' '));
        row("a settings file missing", 7, "/none: ", "", {"download", "--settings", "FILE/none"});
        row("no password", 1, "no panel password", "", download, good, {}, {"KV4810G_PASSWORD="});
        row("a password too long", 1, "1 to 4 characters", "", download, good, {}, {"KV4810G_PASSWORD=12345"});
        row("a password not of bytes", 1, "1 to 4 characters", "", download, good, {}, {"KV4810G_PASSWORD=١٢٣٤"});
        row("an empty password file", 1, "1 to 4 characters", "", zone + QStringList{"A", "--password-file", "FILE"}, "\n");
        row("a zone text too long", 1, "longer than 255", "", zone + QStringList{QString(256, 'A')});
        row("a device twice", 1, "one device given twice", "", {"upload", "--device", "LINK"});
        row("a blank record No.", 1, "--save takes a record No.", "", {"upload", "--save", "   "});
        row("an unknown command", 1, "unknown command 'detects'", "", {"detects"});
        row("an unknown zone", 1, "takes --zone 1, 2 or 3", "", {"zone-upload", "--zone", "4"});
        row("detect on a device", 0, "panel found", "FF0018", {"detect"});
        row("detect a silent device", 2, "\"opened\": true", "FF0018", {"detect"}, {}, {"--silent"});
        row("a zone text twice", 0, R"("text": "one\ntwo\nthree")", "FF0001", {"zone-upload", "--zone", "1"}, {}, {"--twice"});
    }
    void outcomes()
    {
        QFETCH(int, row);
        if (m_outcomes.front().panel == nullptr)
            startOutcomes();
        Outcome &o = m_outcomes[row];
        QVERIFY(o.run && o.panel->isReady() && o.muteLine.isValid()); // all started
        const Run run = o.run->finished();
        QCOMPARE(run.status, o.status);
        QVERIFY2((run.err + run.out).contains(o.says), qPrintable(run.err + run.out));
        if (!o.arguments.contains(">/dev/full")) { // one document on every path, its panels' statuses theirs
            QCOMPARE(run.json().value("status").toInt(), o.status);
            if (!run.json().value("panels").toArray().isEmpty())
                QCOMPARE(run.panel().value("status").toInt(), o.status);
            // Its messages: all the panel said beyond its steps, and a failure after an upload last.
            const QStringList messages = run.panel().value("messages").toVariant().toStringList();
            const QRegularExpression said("^/dev/[^:]+: (?!opening$|password$|transfer$|searching)(.*)$",
                                          QRegularExpression::MultilineOption);
            for (const QRegularExpressionMatch &line : said.globalMatch(run.err))
                QVERIFY2(messages.contains(line.captured(1)), qPrintable(line.captured(1)));
            if (o.status != 0 && messages.contains("finish Upload!"))
                QCOMPARE(messages.last(), run.panel().value("message").toString());
        }
        QFile old(o.dir.filePath("old.json"));
        QVERIFY(!o.full || (old.open(QIODevice::ReadOnly) && old.readAll() == "old")); // whole or not at all
        if (o.got.isEmpty())
            QVERIFY2(!o.panel->trace().contains(" <- "), qPrintable(o.panel->trace()));
        else
            QVERIFY2(o.panel->waitForFrame(o.got, false), qPrintable(o.panel->trace()));
    }

    // Upload to a file and a record, that file compared, one field changed and compared again.
    void uploadAndCompare()
    {
        SimulatorProcess panel({"--state", m_dir->filePath("panel.json")});
        const QString file = m_dir->filePath("panel-settings.json");
        const QString records = m_dir->filePath("r.mdb");
        QFile traced(m_dir->filePath("trace.txt"));
        const Run upload = program({"upload", "--device", panel.device(), "--output", file, "--save", "12",
                                    "--records", records, "--trace", traced.fileName()});
        QCOMPARE(upload.status, 0);
        QVERIFY(upload.out.contains(panel.device() + ": finish Upload!"));
        QVERIFY2(upload.err.contains(panel.device() + ": finish Upload!\n"), qPrintable(upload.err)); // as it came
        // The trace: every line marked with its panel, its owner's alone.
        QVERIFY(traced.open(QIODevice::ReadOnly));
        const QString lines = QString::fromUtf8(traced.readAll());
        QVERIFY2(lines.contains(panel.device() + " ") && lines.contains("<- FF5A****0201"), qPrintable(lines));
        QCOMPARE(traced.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        // The same settings on a slow panel, one field changed in the file: that comparison outlasts the wait for the
        // password's answer; it runs beside the other two.
        QJsonObject json = readJsonFile(file);
        json.insert("shouji2", "4711");
        const QString changed = m_dir->filePath("changed.json");
        writeFile(changed, QJsonDocument(json).toJson());
        SimulatorProcess slow({"--state", m_dir->filePath("slow.json"), "--reply-gap", "300"});
        ProgramRun slowComparison(PROGRAM_PATH, {"compare", "--device", slow.device(), "--settings", changed});
        QCOMPARE(program({"compare", "--device", panel.device(), "--settings", file}).status, 0);
        QCOMPARE(program({"compare", "--device", panel.device(), "--record", "12", "--records", records}).status, 0);
        const Run compare = slowComparison.finished();
        QCOMPARE(compare.status, 6);
        QVERIFY2(compare.out.contains("The second number to program GSM module: 4711 | (empty)  [differs]"),
                 qPrintable(compare.out));
        QCOMPARE(compare.out.count("[differs]"), 1);
    }

    // Zone messages, the panel searched for without --device or --port, records.
    void zonesAndRecords()
    {
        SimulatorProcess panel;
        QCOMPARE(program({"zone-download", "--device", panel.device(), "--zone", "2", "--text", "Back\ndoor"}).status, 0);
        const QStringList ports{"KV4810G_PORTS=/dev/kv4810g-missing:" + panel.device()};
        const Run searched = program({"zone-upload", "--zone", "2"}, ports);
        QCOMPARE(searched.status, 0);
        QVERIFY2(searched.out.contains("zone 2: Back\ndoor"), qPrintable(searched.out));
        QCOMPARE(program({"zone-upload", "--zone", "2", "--port", "2"}, ports).out, searched.out); // or on its port
        for (const QStringList &missing : {QStringList{"--port", "1"}, QStringList{"--device", "/dev/kv4810g-missing"}})
            QCOMPARE(program(QStringList{"upload"} + missing, ports).status, 2);
        const QString records = m_dir->filePath("r.mdb");
        const Run upload = program({"upload", "--device", panel.device(), "--save", "7", "--records", records});
        QCOMPARE(upload.status, 0);
        QVERIFY2(upload.out.contains("\n  MiMa: 5793\n  NeiXian: false\n"), qPrintable(upload.out)); // for people
        const Run list = program({"records", "list", "--records", records});
        QCOMPARE(list.status, 0);
        QCOMPARE(list.out, QString("7\t\n"));
        const QJsonValue listed = program({"records", "list", "--records", records, "--json"}).json().value("records");
        QCOMPARE(listed, QJsonValue(QJsonArray{QJsonObject{{"ID", "7"}, {"name", ""}}}));
        const QJsonObject zoned = program({"history", "--json"}).json().value("entries").toArray().last().toObject();
        QCOMPARE(zoned.value("zone").toString() + ": " + zoned.value("text").toString(), QString("2: Back\ndoor"));
        const Run show = program({"records", "show", "7", "--records", records, "--json"});
        QCOMPARE(show.json().value("MiMa").toString(), QString("5793"));
        QCOMPARE(program({"records", "show", "8", "--records", records}).status, 5);
    }

    // One command, eight panels, each its own line and result; the last has another password. Standard error is a
    // pipe whose reader goes away after the first line: that ends the progress, nothing else.
    void eightPanelsAtOnce()
    {
        std::vector<std::unique_ptr<SimulatorProcess>> panels;
        QStringList arguments{"download", "--json", "--settings", m_dir->filePath("s.json")};
        writeFile(m_dir->filePath("s.json"), settingsFile({{"zhouqi", "15"}, {"JieTel1", "5550187"}, {"JieTelEM1", "SMS alarm"}}));
        for (int i = 0; i < 8; ++i) {
            const QStringList password = i < 7 ? QStringList() : QStringList{"--password", "9999"};
            panels.push_back(std::make_unique<SimulatorProcess>(
                password + QStringList{"--state", m_dir->filePath(QString("panel%1.json").arg(i))}));
            QVERIFY(panels.back()->isReady());
            arguments << "--device" << panels.back()->device();
        }
        int errorPipe[2]; // after the simulators, which would hold it open; its reader goes at the first line
        QCOMPARE(::pipe(errorPipe), 0);
        std::thread reader([&] {
            pollfd readable{errorPipe[0], POLLIN, 0};
            ::poll(&readable, 1, 10000);
            ::close(errorPipe[0]);
        });
        const Run run = program(arguments, {}, [&] {
            ::dup2(errorPipe[1], STDERR_FILENO);
            ::close(errorPipe[0]);
            ::close(errorPipe[1]);
        });
        reader.join();
        ::close(errorPipe[1]);
        QCOMPARE(run.status, 3); // the worst of them all
        QCOMPARE(run.json().value("panels").toArray().size(), 8);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(run.panel(i).value("device").toString(), panels[i]->device());
            QCOMPARE(run.panel(i).value("status").toInt(), i < 7 ? 0 : 3);
            QCOMPARE(run.panel(i).value("message").toString(),
                     i < 7 ? "finish download!" : "Enter the password wrong operation");
            const QJsonObject number = panels[i]->state().value("receivingNumbers").toArray().at(0).toObject();
            if (i < 7)
                QCOMPARE(panels[i]->state().value("interval").toString() + " " + number.value("number").toString() + " "
                             + QString::number(number.value("type").toInt()),
                         QString("15 5550187 4")); // "SMS alarm" travels as type 4
        }

        // One history entry a panel programmed; an entry's settings go into a panel again; a store that cannot
        // take an entry says so and leaves the status alone.
        const QJsonArray entries = program({"history", "--json"}).json().value("entries").toArray();
        QCOMPARE(entries.size(), 7);
        QSet<QString> devices;
        for (const QJsonValue entry : entries) {
            const QJsonObject e = entry.toObject();
            devices << e.value("device").toString();
            QCOMPARE(e.value("operation").toString() + e.value("outcome").toString() + e.value("source").toString(),
                     "downloadcomplete--settings " + m_dir->filePath("s.json"));
        }
        QCOMPARE(devices.size(), 7);
        const QString first = panels[0]->device();
        const QJsonArray own = program({"history", "--json", "--device", first}).json().value("entries").toArray();
        QCOMPARE(own.size(), 1);
        const QString id = QString::number(own.at(0).toObject().value("id").toInteger());
        const QString last = panels[7]->device(); // not programmed yet: its other password
        QCOMPARE(program({"download", "--history", id, "--device", last}, {"KV4810G_PASSWORD=9999"}).status, 0);
        QCOMPARE(panels[7]->state().value("interval").toString(), QString("15"));
        QCOMPARE(program({"history", "--limit", "1"}).out.section('\t', 5, 5), "--history " + id);
        writeFile(m_dir->filePath("foreign.mdb"), "not records");
        const Run refused = program({"zone-download", "--zone", "1", "--text", "x", "--device", first, "--records",
                                     m_dir->filePath("foreign.mdb")});
        QCOMPARE(refused.status, 0);
        QVERIFY2(refused.out.contains(QRegularExpression("\n  [^\n]*not a record file")), qPrintable(refused.out));
    }

private:
    // Every outcome row's panel and program, started side by side.
    void startOutcomes()
    {
        for (Outcome &o : m_outcomes) {
            writeFile(o.dir.filePath("panel.json"), R"({"zoneTexts": ["one\r\ntwo\r\nthree", "", ""]})");
            o.panel = std::make_unique<SimulatorProcess>((o.simulator == QStringList{"mute"} ? QStringList{"--silent"} : o.simulator)
                                                         << "--trace" << "--state" << o.dir.filePath("panel.json"));
            o.full = !o.arguments.filter("FULL").isEmpty();
            writeFile(o.dir.filePath("old.json"), "old"); // what a write to the full disk must leave as it is
            if (!o.file.isNull())
                writeFile(o.dir.filePath("file"), o.file);
        }
        for (Outcome &o : m_outcomes) {
            const QString device = o.simulator == QStringList{"mute"} ? o.muteLine.devicePath() : o.panel->device();
            QVERIFY(QFile::link(device, o.dir.filePath("link")));
            o.arguments.replaceInStrings("FILE", o.dir.filePath("file"))
                .replaceInStrings("LINK", o.dir.filePath("link"))
                .replaceInStrings("FULL", o.dir.path());
            o.run = std::make_unique<ProgramRun>(PROGRAM_PATH, o.arguments + QStringList{"--device", device, "--json"},
                                                 o.env + QStringList{"KV4810G_RECORDS=" + o.dir.filePath("4810G.mdb")},
                                                 o.full ? fileSizeBound(512) : std::function<void()>());
        }
    }

    struct Outcome
    {
        int status = 0;
        QString says;
        QString got;
        QStringList arguments;
        QByteArray file;
        QStringList simulator;
        QStringList env;
        QTemporaryDir dir;
        PtyPair muteLine;
        std::unique_ptr<SimulatorProcess> panel;
        bool full = false;
        std::unique_ptr<ProgramRun> run;
    };
    std::deque<Outcome> m_outcomes;
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
