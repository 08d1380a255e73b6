#pragma once

#include "historyentry.h"
#include "paneljob.h"

#include <QStringList>
#include <vector>

// The command line of kv4810g-program, read once.
struct Options
{
    QString command;       // detect, download, upload, compare, zone-download, zone-upload, records, history
    QStringList arguments; // the positional arguments, the command first
    QStringList devices;     // resolved: what each device is
    QStringList deviceNames; // as given
    int port = 0;
    bool all = false;
    bool json = false;
    QString record;
    QString settingsPath;
    QString outputPath;
    QString saveNumber;
    QString zone;
    QString text;
    bool textGiven = false;
    QString records;       // the record store, when not KV4810G_RECORDS
    QString passwordFile;
    QString tracePath;
    QString shown;         // --help or --version: what to print
    qint64 historyId = 0;  // download --history ID
    HistoryQuery history;  // the history command's
};

// Reads the command line into *options. Returns -1 to go on, or the exit
// status when the program ends here: --help and --version (their text in
// options->shown), a usage error (*error says which). options->json is
// set even then.
int parseOptions(const QStringList &arguments, Options *options, QString *error);

// One request per panel: the settings, the password and the devices to use,
// every input checked before any line is touched. Returns ExitStatus::Done,
// or the status with *error saying why.
int buildRequests(const Options &options, std::vector<JobRequest> *requests, QString *error);

// Says the error on standard error and returns the status.
int fail(int status, const QString &error);
