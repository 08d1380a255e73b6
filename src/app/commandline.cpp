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
                                             "reply received, from the start-up search on) to <file>. The "
                                             "password is written as ****."),
                              QStringLiteral("file"));
}

void declare(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "KV-4810G programming software: writes the settings of a KV-4810G GSM alarm panel over a serial "
        "line and reads them back.\n\n"
        "Environment:\n"
        "  KV4810G_PORTS      the serial devices for ports 1, 2, ..., separated as in PATH\n"
        "  KV4810G_RECORDS    the record file to use instead of 4810G.mdb beside the program\n"
        "  QT_LOGGING_RULES   \"kv4810g.trace=true\" writes the protocol trace on standard error"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(traceOption());
}

void setProgramInfo()
{
    QCoreApplication::setApplicationVersion(QStringLiteral(KV4810G_VERSION));
}

} // namespace

int answerInformation(int argc, char *argv[])
{
    static const QStringList asks = {QStringLiteral("-h"), QStringLiteral("--help"), QStringLiteral("-?"),
                                     QStringLiteral("--help-all"), QStringLiteral("-v"),
                                     QStringLiteral("--version")};
    bool asked = false;
    for (int i = 1; i < argc && !asked; ++i)
        asked = asks.contains(QString::fromLocal8Bit(argv[i]));
    if (!asked)
        return -1;
    // No window is made, so no display is needed.
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(ProgramName));
    setProgramInfo();
    QCommandLineParser parser;
    declare(parser);
    parser.process(core); // shows the help or the version and ends the process
    return 0;
}

bool apply(const QStringList &arguments, ProtocolTrace &trace, int *exitCode)
{
    setProgramInfo();
    QCommandLineParser parser;
    declare(parser);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", ProgramName,
                     qPrintable(parser.errorText()), ProgramName);
        *exitCode = 2;
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
