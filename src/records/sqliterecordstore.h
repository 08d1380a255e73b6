#pragma once

#include "recordstore.h"

// The records in an SQLite file (created with its table on the first
// save). Each call opens the file and releases it again, so nothing holds
// it between two calls. Keys are bound parameters. Writes run in one transaction that waits a few seconds for a lock
// another copy of the program holds. A file that is not an SQLite database
// (an Access file of an earlier program, say) is never opened, so it is
// never written.
class SqliteRecordStore : public RecordStore
{
public:
    explicit SqliteRecordStore(const QString &path);

    QString location() const override { return m_path; }
    QString description() const override;
    Outcome save(const PanelSettings &settings, SaveMode mode, QString *error) override;
    Outcome remove(const QString &number, QString *error) override;
    Outcome find(Key by, const QString &key, PanelSettings *settings, QString *error) override;
    bool listKeys(Keys *keys, QString *error) override;
    bool readAll(QList<PanelSettings> *rows, QString *error) override;
    bool addAll(const QList<PanelSettings> &records, bool keepGoing, QList<Outcome> *outcomes, QStringList *reasons,
                QString *error) override;
    bool addHistory(QList<HistoryEntry> *entries, QString *error) override;
    bool readHistory(const HistoryQuery &query, QList<HistoryEntry> *entries, QString *error) override;

    // How long a write waits for another copy's lock.
    static constexpr int BusyTimeoutMs = 5000;

private:
    QString m_path;
};
