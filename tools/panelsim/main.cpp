// kv4810g-panelsim: a KV-4810G panel on a pseudo-terminal, for trying and
// testing the programming tool without the hardware.

#include "panelsim.h"
#include "pseudoterminal.h"
#include "quitsignals.h"
#include "simoptions.h"
#include "statefile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

namespace {

int fail(const QString &message, int code = 1)
{
    std::fprintf(stderr, "kv4810g-panelsim: %s\n", qPrintable(message));
    return code;
}

// Loads the state file, or creates it with the factory state when missing.
bool prepareState(const QString &path, PanelState *state, QString *error)
{
    if (path.isEmpty())
        return true;
    if (QFileInfo::exists(path))
        return StateFile::load(path, state, error);
    return StateFile::save(path, *state, error);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kv4810g-panelsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KV4810G_VERSION));

    QCommandLineParser parser;
    SimOptions options;
    QString error;
    const bool parsed = parseSimOptions(parser, app.arguments(), &options, &error);
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parsed)
        return fail(error + QStringLiteral(" (see --help)"), 2);

    PanelState state;
    if (!prepareState(options.statePath, &state, &error))
        return fail(error);

    PseudoTerminal line;
    if (!line.open(&error))
        return fail(error);
    PanelSim panel(options, state, &line);
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &app, &QCoreApplication::quit);
    QObject::connect(&panel, &PanelSim::lineClosed, &app, &QCoreApplication::quit);

    // Only now: whoever sees the link or the device may stop the simulator at once.
    if (!options.linkPath.isEmpty() && !line.makeLink(options.linkPath, &error))
        return fail(error);
    std::printf("%s\n", qPrintable(line.slavePath()));
    std::fflush(stdout);
    return app.exec(); // the line closes, and its link goes, on the way out
}
