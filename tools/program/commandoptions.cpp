#include "commandoptions.h"

#include "passwordprompt.h"
#include "historyview.h"
#include "recordsource.h"
#include "recordstore.h"
#include "settingsfile.h"

#include "panelcommands.h"
#include "settingstransfer.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

namespace {

const char Name[] = "kv4810g-program";

const char Description[] =
    "Programs KV-4810G GSM alarm panels from the command line, one or several at once.\n"
    "\n"
    "Commands:\n"
    "  detect [--all]                        search ports 1 to 16 for a panel (--all: every panel)\n"
    "  download (--record NO | --settings FILE | --history ID)\n"
    "                                        test the password, write the settings into the panel\n"
    "  upload [--output FILE] [--save NO]    read the panel's settings: print them, write the\n"
    "                                        settings file, save them as record NO\n"
    "  compare (--record NO | --settings FILE)\n"
    "                                        say, field by field, whether the panel holds them\n"
    "  zone-download --zone N --text TEXT    write zone N's message text\n"
    "  zone-upload --zone N                  read zone N's message text\n"
    "  records list | records show NO        the stored records\n"
    "  history [--record NO] [--device PATH] [--since DATE] [--limit N]\n"
    "                                        the programming history, newest first (tab-separated:\n"
    "                                        id, time, operation, device, No., name, outcome, detail)\n"
    "\n"
    "The panel: --device PATH (several for several panels at once), --port N, or else the\n"
    "search over ports 1 to 16. The password: KV4810G_PASSWORD, --password-file FILE, or a\n"
    "prompt without echo; never on the command line.\n"
    "\n"
    "The settings file is one JSON object: \"format\": 1 and the record's fields by their\n"
    "column names (name, ID, JieTel1..6, JieTelEM1..6, MiMa, ChangKai, ChangBi, shouji1..3,\n"
    "zhouqi, shangbao1..6, TelGZ1..6, NeiXian), texts as the window shows them, check boxes\n"
    "true or false; every field but name and ID must be there, each once. Upload --output\n"
    "writes one to start from, readable by you only.\n"
    "\n"
    "Exit status, with several panels the highest of them all:\n"
    "  0 done; 1 usage; 2 no panel found; 3 password refused; 4 line lost, operation\n"
    "  incomplete or refused by the panel; 5 record store fault or record missing;\n"
    "  6 compare found differences; 7 bad settings file; 8 a file or the standard output\n"
    "  could not be written.\n"
    "\n"
    "Environment: KV4810G_PORTS (the devices of ports 1, 2, ..., separated as in PATH),\n"
    "KV4810G_RECORDS (a record file or postgresql://user@host/db), KV4810G_PASSWORD.";

const QStringList Commands{"detect",      "download",    "upload",  "compare",
                           "zone-download", "zone-upload", "records", "history"};

// The panel password of the window's password box: 1 to 4 characters, each one byte.
const int MaxPasswordChars = 4;

// A device by what it is: a symbolic link and its target, a relative and an
// absolute path are one device. A path that does not exist stays as given,
// made absolute, so that its open says so.
QString resolvedDevice(const QString &device)
{
    const QFileInfo info(device);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

int fail(int status, const QString &error)
{
    std::fprintf(stderr, "%s: %s\n", Name, qPrintable(error));
    return status;
}

int parseOptions(const QStringList &arguments, Options *options, QString *error)
{
    const auto usage = [error](const QString &why) {
        *error = why;
        return ExitStatus::Usage;
    };
    options->json = arguments.mid(1).contains(QStringLiteral("--json")); // for a command line that does not parse
    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(Description));
    parser.addHelpOption();
    parser.addVersionOption();
    const auto option = [&parser](const char *name, const char *help, const char *value = nullptr) {
        parser.addOption(value ? QCommandLineOption(QLatin1String(name), QLatin1String(help), QLatin1String(value))
                               : QCommandLineOption(QLatin1String(name), QLatin1String(help)));
    };
    option("device", "The panel's serial device; several for several panels at once.", "path");
    option("port", "The panel's port number, 1 to 16 (see KV4810G_PORTS).", "n");
    option("all", "detect: go on after the first panel and list every panel found.");
    option("record", "The settings of stored record NO.", "no");
    option("settings", "The settings of a settings file.", "file");
    option("output", "upload: write the settings file FILE instead of printing them.", "file");
    option("save", "upload: also save the settings as record NO.", "no");
    option("zone", "zone-download, zone-upload: the zone, 1 to 3.", "n");
    option("text", "zone-download: the message text.", "text");
    option("records", "The record store instead of KV4810G_RECORDS: a file or postgresql:// address.", "where");
    option("history", "download: the settings of history entry ID.", "id");
    option("since", "history: entries from DATE on (2026-12-01, or 2026-12-01T08:00), local time.", "date");
    option("limit", "history: at most N entries (default 1000).", "n");
    option("password-file", "Read the panel's password from the first line of FILE.", "file");
    option("json", "Print the results as JSON.");
    option("trace", "Write the protocol trace of every panel to FILE, readable by you only: it holds the "
                    "panels' settings (the passwords written as ****).", "file");
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do (see above)."));
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        options->shown = parser.isSet(QStringLiteral("help"))
            ? parser.helpText().chopped(1)
            : QStringLiteral("%1 %2").arg(QLatin1String(Name), QCoreApplication::applicationVersion());
        return ExitStatus::Done;
    }
    Options &o = *options;
    o.arguments = parser.positionalArguments();
    o.command = o.arguments.value(0);
    if (o.command.isEmpty())
        return usage(QStringLiteral("no command given"));
    if (!Commands.contains(o.command))
        return usage(QStringLiteral("unknown command '%1'").arg(o.command));
    o.devices = parser.values(QStringLiteral("device"));
    o.all = parser.isSet(QStringLiteral("all"));
    o.json = parser.isSet(QStringLiteral("json"));
    o.record = parser.value(QStringLiteral("record"));
    o.settingsPath = parser.value(QStringLiteral("settings"));
    o.outputPath = parser.value(QStringLiteral("output"));
    o.saveNumber = parser.value(QStringLiteral("save"));
    o.zone = parser.value(QStringLiteral("zone"));
    o.text = parser.value(QStringLiteral("text"));
    o.textGiven = parser.isSet(QStringLiteral("text"));
    o.records = parser.value(QStringLiteral("records"));
    o.passwordFile = parser.value(QStringLiteral("password-file"));
    o.tracePath = parser.value(QStringLiteral("trace"));
    if (parser.isSet(QStringLiteral("port"))) {
        bool number = false;
        o.port = parser.value(QStringLiteral("port")).toInt(&number);
        if (!number || o.port < 1 || o.port > 16)
            return usage(QStringLiteral("--port takes a number from 1 to 16"));
    }
    if (o.port && !o.devices.isEmpty())
        return usage(QStringLiteral("give --port or --device, not both"));
    if (parser.isSet(QStringLiteral("history"))) {
        bool number = false;
        o.historyId = parser.value(QStringLiteral("history")).toLongLong(&number);
        if (!number || o.historyId < 1 || o.command != QLatin1String("download"))
            return usage(QStringLiteral("--history takes a history entry's id, for download"));
    }
    const bool needsSettings = o.command == QLatin1String("download") || o.command == QLatin1String("compare");
    const int sources = !o.record.isEmpty() + !o.settingsPath.isEmpty() + (o.historyId > 0);
    if (needsSettings && sources != 1)
        return usage(o.command == QLatin1String("download")
                         ? QStringLiteral("download takes --record NO, --settings FILE or --history ID")
                         : QStringLiteral("compare takes --record NO or --settings FILE"));
    if (o.command == QLatin1String("history")) {
        o.history.recordNumber = o.record;
        if (!o.devices.isEmpty())
            o.history.device = resolvedDevice(o.devices.value(0));
        if (o.devices.size() > 1)
            return usage(QStringLiteral("history takes one --device"));
        if (parser.isSet(QStringLiteral("since"))) {
            o.history.since = HistoryView::parseSince(parser.value(QStringLiteral("since")));
            if (!o.history.since.isValid())
                return usage(QStringLiteral("--since takes a date, 2026-12-01, or a date and time, 2026-12-01T08:00"));
        }
        if (parser.isSet(QStringLiteral("limit"))) {
            bool number = false;
            o.history.limit = parser.value(QStringLiteral("limit")).toInt(&number);
            if (!number || o.history.limit < 1)
                return usage(QStringLiteral("--limit takes a number of at least 1"));
        }
        if (o.arguments.size() > 1)
            return usage(QStringLiteral("unexpected argument '%1'").arg(o.arguments.at(1)));
        return -1;
    }
    if (o.command.startsWith(QLatin1String("zone")) && !SettingsLists::zoneNumbers().contains(o.zone))
        return usage(QStringLiteral("%1 takes --zone 1, 2 or 3").arg(o.command));
    if (o.command == QLatin1String("zone-download") && !o.textGiven)
        return usage(QStringLiteral("zone-download takes --text TEXT"));
    if (o.command == QLatin1String("records")
        && !(o.arguments.value(1) == QLatin1String("list") && o.arguments.size() == 2)
        && !(o.arguments.value(1) == QLatin1String("show") && o.arguments.size() == 3))
        return usage(QStringLiteral("records takes 'list' or 'show NO'"));
    if (o.command != QLatin1String("records") && o.arguments.size() > 1)
        return usage(QStringLiteral("unexpected argument '%1'").arg(o.arguments.at(1)));
    if (o.command == QLatin1String("upload") && (!o.outputPath.isEmpty() || !o.saveNumber.isEmpty())
        && o.devices.size() > 1)
        return usage(QStringLiteral("--output and --save take the settings of one panel"));
    if (parser.isSet(QStringLiteral("save")) && o.saveNumber.trimmed().isEmpty())
        return usage(QStringLiteral("--save takes a record No."));
    o.deviceNames = o.devices;
    for (QString &device : o.devices)
        device = resolvedDevice(device);
    for (int i = 0; i < o.devices.size(); ++i) {
        if (const int first = int(o.devices.indexOf(o.devices.at(i))); first != i)
            return usage(QStringLiteral("one device given twice: %1 and %2 are both %3")
                             .arg(o.deviceNames.at(first), o.deviceNames.at(i), o.devices.at(i)));
    }
    if (o.command == QLatin1String("zone-download")) {
        if (const QString refusal = PanelSession::zoneTextRefusal(o.zone, o.text); !refusal.isEmpty())
            return usage(refusal);
    }
    return -1;
}

int buildRequests(const Options &options, std::vector<JobRequest> *requests, QString *error)
{
    using Op = JobRequest::Operation;
    JobRequest request;
    static const QHash<QString, Op> operations{{"detect", Op::Detect}, {"download", Op::Download},
                                               {"upload", Op::Upload}, {"compare", Op::Compare},
                                               {"zone-download", Op::ZoneDownload}, {"zone-upload", Op::ZoneUpload}};
    request.operation = operations.value(options.command);
    request.zone = options.zone;
    request.text = options.text;
    request.port = options.port;
    request.historySource.recordNumber = options.record;
    request.historySource.source = !options.settingsPath.isEmpty() ? QStringLiteral("--settings ") + options.settingsPath
                                   : options.historyId > 0 ? QStringLiteral("--history %1").arg(options.historyId)
                                   : !options.record.isEmpty() ? QStringLiteral("--record ") + options.record
                                                               : QString();
    if (!options.settingsPath.isEmpty() && !SettingsFile::read(options.settingsPath, &request.settings, error))
        return ExitStatus::BadSettingsFile;
    if (options.historyId > 0) {
        QList<HistoryEntry> found;
        HistoryQuery query;
        query.id = options.historyId;
        if (!openRecords(options.records)->readHistory(query, &found, error))
            return ExitStatus::RecordStore;
        if (found.isEmpty() || !found.first().hasSettings) {
            *error = found.isEmpty() ? QStringLiteral("history entry %1 does not exist").arg(options.historyId)
                                     : QStringLiteral("history entry %1 holds no settings").arg(options.historyId);
            return ExitStatus::RecordStore;
        }
        request.settings = found.first().settings;
        request.historySource.recordNumber = found.first().recordNumber;
        request.historySource.recordName = found.first().recordName;
    }
    if (!options.record.isEmpty()) {
        if (!findRecord(*openRecords(options.records), options.record, &request.settings, error))
            return ExitStatus::RecordStore;
        request.historySource.recordName = request.settings.TxtName;
        // A record written by another program may hold what a download refuses.
        if (const QString refusal = SettingsDownloadFrames(AlignRelayLists(request.settings)).refusal;
            !refusal.isEmpty()) {
            *error = QStringLiteral("record %1: %2").arg(options.record, refusal);
            return ExitStatus::BadSettingsFile;
        }
    }
    if (request.operation != Op::Detect) {
        if (!readPassword(options.passwordFile, &request.password, error))
            return ExitStatus::Usage;
        if (request.password.isEmpty() || request.password.size() > MaxPasswordChars
            || !PasswordFrame(request.password).ok()) {
            *error = QStringLiteral("the panel password must be 1 to %1 characters, each of one byte (Latin-1)")
                         .arg(MaxPasswordChars);
            return ExitStatus::Usage;
        }
    }
    if (request.operation == Op::Detect && options.all) {
        // Every port probed at once, each by a session of its own.
        for (int port = 1; port <= 16; ++port) {
            request.firstPort = request.lastPort = port;
            requests->push_back(request);
        }
        return ExitStatus::Done;
    }
    if (options.devices.isEmpty()) {
        requests->push_back(request);
        return ExitStatus::Done;
    }
    for (int i = 0; i < options.devices.size(); ++i) {
        request.device = options.devices.at(i);
        request.deviceName = options.deviceNames.at(i);
        requests->push_back(request);
    }
    return ExitStatus::Done;
}
