#pragma once

#include "panelsettings.h"

#include <QDateTime>
#include <QStringList>

// One operation that reached a panel's line, as the history keeps it: who,
// where, what, and how it ended. Entries are only ever added.
struct HistoryEntry
{
    qint64 id = 0;           // given by the store
    QDateTime at;            // UTC
    QString login;           // the computer's user
    QString serverUser;      // the shared server's user, filled in by the server
    QString host, program, version;
    QString device;
    int port = 0;            // 1 to 16, 0: a device named directly
    QString operation;       // one of HistoryEntry::Operations
    QString recordNumber, recordName;
    QString source;          // a console run's --record or --settings
    QString outcome;         // one of HistoryEntry::Outcomes
    QString detail;          // the end in words: frames, the refused frame, differences
    // A download's settings as the frames carried them, an upload's or a
    // comparison's as the panel answered; missing: the groups that did not
    // arrive.
    bool hasSettings = false;
    PanelSettings settings;
    QStringList missing;
    QString zone, zoneText;  // a zone message transfer's

    static inline const QStringList Operations{"download", "upload", "compare", "zone download", "zone upload"};
    static inline const QStringList Outcomes{"complete", "stopped", "refused", "line lost", "incomplete", "differs"};
};

// Which entries to read, the newest first.
struct HistoryQuery
{
    qint64 id = 0;           // 0: any
    QString recordNumber;    // empty: any
    QString device;          // empty: any
    QDateTime since;         // invalid: from the first
    int limit = 1000;
};
