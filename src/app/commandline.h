#pragma once

#include <QStringList>

class ProtocolTrace;

// The program's command line:
//   kv4810g [--trace FILE]
//   kv4810g --help | --version
namespace CommandLine {

// Answers --help and --version on standard output, before any window or
// display is needed. Returns the exit code when the program ends here
// (also for a bad command line given with them), -1 otherwise.
int answerInformation(int argc, char *argv[]);

// Reads the options that the running program uses (the toolkit's own
// options are gone by then) and acts on them: --trace FILE starts writing
// `trace` to FILE. False, with the message already given, when the program
// must end; *exitCode is then its exit code.
bool apply(const QStringList &arguments, ProtocolTrace &trace, int *exitCode);

} // namespace CommandLine
