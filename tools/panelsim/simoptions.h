#pragma once

#include "replyplan.h"
#include "replywriter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class QCommandLineParser;

// What the command line asks of the simulator.
struct SimOptions
{
    QString linkPath;                           // --link
    QString statePath;                          // --state
    QByteArray accessPassword = "1234";         // --password
    int gapMs = 30;                             // --gap
    ReplyWriter::Pacing pacing;                 // --no-pacing, --reply-gap
    ReplyShape shape;                           // --split, --coalesce, --stray
    bool trace = false;                         // --trace
    bool silent = false;                        // --silent
    int detectDelayMs = 0;                      // --detect-delay
    bool refuse = false;                        // --refuse
    int refuseCommand = -1;                     // --refuse-command, -1: none
    int hangupAfter = 0;                        // --hangup-after, 0: never
};

// Declares the options on `parser` (with --help) and reads `arguments`
// (the program name first). False with the reason on a bad argument;
// the caller shows help when parser.isSet("help").
bool parseSimOptions(QCommandLineParser &parser, const QStringList &arguments, SimOptions *options,
                     QString *error);
