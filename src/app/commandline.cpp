#include "commandline.h"

#include "messages.h"
#include "protocoltrace.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#ifndef KV4810G_VERSION
#define KV4810G_VERSION "unknown"
#endif

namespace CommandLine {

namespace {

const char ProgramName[] = "kv4810g";

QCommandLineOption traceOption()
{
    return QCommandLineOption(QStringLiteral("trace"),
                              QStringLiteral("Write the protocol trace (every frame sent to the panel and every "
                                             "reply received, from the start-up search on) to <file>, readable "
                                             "by you only: it holds the panel's settings. The passwords are "
                                             "written as ****."),
                              QStringLiteral("file"));
}

void declare(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "KV-4810G programming software: writes the settings of a KV-4810G GSM alarm panel over a serial "
        "line and reads them back.\n\n"
        "Environment:\n"
        "  KV4810G_PORTS      the serial devices for ports 1, 2, ..., separated as in PATH,\n"
        "                     e.g. /dev/ttyUSB0:/dev/ttyS0 (an empty entry: a port without a device)\n"
        "  KV4810G_RECORDS    where the records are kept instead of 4810G.mdb beside the program:\n"
        "                     a record file (/srv/kv/4810G.mdb), or a shared PostgreSQL database,\n"
        "                     postgresql://user@host:5432/database (a Unix socket folder as the\n"
        "                     host is written %2Frun%2Fpostgresql; the password from PGPASSWORD\n"
        "                     or ~/.pgpass)\n"
        "  QT_LOGGING_RULES   \"kv4810g.trace=true\" writes the protocol trace on standard error"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(traceOption());
}

void setProgramInfo()
{
    QCoreApplication::setApplicationVersion(QStringLiteral(KV4810G_VERSION));
}

// The arguments without the options that QGuiApplication and QApplication
// take for themselves (-style fusion, --platform=offscreen, ...), which
// are not the program's to judge before the toolkit has seen them.
QStringList withoutToolkitOptions(const QStringList &arguments)
{
    static const QStringList withValue{"platform", "platformpluginpath", "platformtheme", "plugin",
                                       "qmljsdebugger", "qwindowgeometry", "qwindowicon", "qwindowtitle",
                                       "session", "display", "geometry", "style", "stylesheet"};
    static const QStringList flags{"reverse", "nograb", "dograb", "sync", "widgetcount"};
    QStringList kept;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--")) {
            kept += arguments.mid(i);
            break;
        }
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1).section('=', 0, 0);
        if (i > 0 && argument.startsWith('-') && withValue.contains(name)) {
            if (!argument.contains('='))
                ++i;
            continue;
        }
        if (i == 0 || !argument.startsWith('-') || !flags.contains(name))
            kept << argument;
    }
    return kept;
}

bool asksInformation(const QCommandLineParser &parser)
{
    return parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))
        || parser.isSet(QStringLiteral("version"));
}

// A command line the program cannot take: said on standard error, exit status 2.
int refuse(const QString &error)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", ProgramName, qPrintable(error),
                 ProgramName);
    return 2;
}

} // namespace

int answerInformation(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    declare(parser);
    const QStringList own = withoutToolkitOptions(arguments);
    const bool parsed = parser.parse(own);
    if (parsed && !asksInformation(parser))
        return -1;
    // No window is made, so no display is needed.
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(ProgramName));
    setProgramInfo();
    if (!parsed)
        return refuse(parser.errorText());
    parser.process(own); // shows the help or the version and ends the process
    return 0;
}

bool apply(const QStringList &arguments, ProtocolTrace &trace, int *exitCode)
{
    setProgramInfo();
    QCommandLineParser parser;
    declare(parser);
    if (!parser.parse(arguments)) {
        *exitCode = refuse(parser.errorText());
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s: unexpected argument '%s'\nTry '%s --help' for more information.\n",
                     ProgramName, qPrintable(parser.positionalArguments().first()), ProgramName);
        *exitCode = 2;
        return false;
    }
    if (parser.isSet(QStringLiteral("trace"))) {
        const QString path = parser.value(QStringLiteral("trace"));
        QString error;
        if (!trace.setFile(path, &error)) {
            const QString message = QStringLiteral("The trace file %1 cannot be written: %2").arg(path, error);
            std::fprintf(stderr, "%s: %s\n", ProgramName, qPrintable(message));
            Messages::inform(nullptr, message, QLatin1String(Messages::SystemInformation));
            *exitCode = 1;
            return false;
        }
    }
    return true;
}

} // namespace CommandLine
