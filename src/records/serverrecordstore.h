#pragma once

#include "recordstore.h"

#include <functional>
#include <memory>
#include <vector>

class PostgresRecordStore;
class ServerLine;

// The shared store as the program uses it. Each call runs on a thread that
// owns the connection (PostgresRecordStore), while the caller's thread
// goes on serving its event loop, user input aside: a window repaints, a
// panel's line is served, and no second record call starts from a click.
// Every call ends within a bound of the program's own: when the server
// has not answered for SilentMs, the connection is cut off, the call says
// that the server stopped answering, and the next call connects anew. A
// save or delete whose write had gone out is read back on a new
// connection, within ReadBackMs, to tell whether it was made.
class ServerRecordStore : public RecordStore
{
public:
    static constexpr int SilentMs = 6000;
    static constexpr int ReadBackMs = 3000;
    // How long a call runs before the wait is shown.
    static constexpr int NoticeMs = 300;

    explicit ServerRecordStore(const QString &address);
    ~ServerRecordStore() override;
    // The silence that cuts a call off (tests may shorten it).
    void setSilentMs(int ms) { m_silentMs = ms; }

    QString location() const override { return m_location; }
    QString description() const override { return m_description; }
    Outcome save(const PanelSettings &settings, SaveMode mode, QString *error) override;
    Outcome remove(const QString &number, QString *error) override;
    Outcome find(Key by, const QString &key, PanelSettings *settings, QString *error) override;
    bool listKeys(Keys *keys, QString *error) override;
    bool readAll(QList<PanelSettings> *rows, QString *error) override;
    bool addAll(const QList<PanelSettings> &records, bool keepGoing, QList<Outcome> *outcomes, QStringList *reasons,
                QString *error) override;
    bool addHistory(QList<HistoryEntry> *entries, QString *error) override;
    bool readHistory(const HistoryQuery &query, QList<HistoryEntry> *entries, QString *error) override;
    void setWaitNotice(std::function<void(bool waiting)> notice) override { m_notice = std::move(notice); }

private:
    // Runs the call on the line's thread, *used the store it ran on: false
    // when the server stopped answering for boundMs and the call was cut
    // off.
    bool run(const std::function<void(PostgresRecordStore &)> &call, int boundMs,
             const PostgresRecordStore **used = nullptr);
    QString silence(const QString &what) const;

    QString m_address, m_location, m_description;
    std::unique_ptr<ServerLine> m_line;
    // Lines given up while their call still ran; each ends by itself.
    std::vector<std::unique_ptr<ServerLine>> m_abandoned;
    std::function<void(bool)> m_notice;
    int m_silentMs = SilentMs;
};
