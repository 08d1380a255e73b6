#include "serverrecordstore.h"

#include "postgresrecordstore.h"
#include "serverlink.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <condition_variable>

namespace {

// How long a call that was cut off may take to give up.
constexpr int GraceMs = 500;
// How often the caller looks at the clock while it waits.
constexpr int TickMs = 50;

// What a call gives back; the call's thread fills it in.
struct Answer
{
    RecordStore::Outcome outcome = RecordStore::Outcome::Failed;
    bool ok = false;
    QString error;
    PanelSettings settings;
    RecordStore::Keys keys;
    QList<PanelSettings> rows;
    QList<RecordStore::Outcome> outcomes;
    QStringList reasons;
    QList<HistoryEntry> history;
};

// Whether a call has ended, and how to wake its caller.
class CallState
{
public:
    CallState()
        : m_dispatcher(QAbstractEventDispatcher::instance())
    {
    }
    void finish()
    {
        const std::lock_guard<std::mutex> hold(m_mutex);
        m_done = true;
        if (m_waiting && m_dispatcher)
            m_dispatcher->wakeUp();
        m_ended.notify_all();
    }
    bool done()
    {
        const std::lock_guard<std::mutex> hold(m_mutex);
        return m_done;
    }
    // Waits for the end or the next look at the clock.
    void wait()
    {
        if (m_dispatcher) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
            return;
        }
        std::unique_lock<std::mutex> hold(m_mutex);
        m_ended.wait_for(hold, std::chrono::milliseconds(TickMs), [this] { return m_done; });
    }
    // The caller has stopped waiting: nothing wakes it any more.
    void leave()
    {
        const std::lock_guard<std::mutex> hold(m_mutex);
        m_waiting = false;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
    QAbstractEventDispatcher *m_dispatcher;
    bool m_done = false;
    bool m_waiting = true;
};

} // namespace

// A thread with the connection on it.
class ServerLine
{
public:
    explicit ServerLine(const QString &address)
        : store(std::make_unique<PostgresRecordStore>(address, &watch))
    {
        context.moveToThread(&thread);
        thread.start();
    }
    // Ends the thread, the connection closed on it; false when a call still
    // holds it after the wait.
    bool end(int waitMs)
    {
        QMetaObject::invokeMethod(&context, [this] { store.reset(); }, Qt::QueuedConnection);
        thread.quit();
        return thread.wait(QDeadlineTimer(waitMs));
    }
    ~ServerLine()
    {
        if (thread.isRunning())
            end(ServerRecordStore::SilentMs);
    }

    LinkWatch watch;
    std::unique_ptr<PostgresRecordStore> store;
    QThread thread;
    QObject context;
};

ServerRecordStore::ServerRecordStore(const QString &address)
    : m_address(address)
{
    const PostgresRecordStore named(address);
    m_location = named.location();
    m_description = named.description();
}

ServerRecordStore::~ServerRecordStore()
{
    m_line.reset();
    for (std::unique_ptr<ServerLine> &line : m_abandoned) {
        // A thread still stuck in a call on a silent link is left to the
        // end of the program rather than destroyed while it runs.
        if (!line->end(ServerRecordStore::SilentMs))
            line.release();
    }
}

bool ServerRecordStore::run(const std::function<void(PostgresRecordStore &)> &call, int boundMs,
                            const PostgresRecordStore **used)
{
    if (!m_line)
        m_line = std::make_unique<ServerLine>(m_address);
    ServerLine *line = m_line.get();
    if (used)
        *used = line->store.get();
    auto state = std::make_shared<CallState>();
    QMetaObject::invokeMethod(
        &line->context,
        [store = line->store.get(), call, state] {
            call(*store);
            state->finish();
        },
        Qt::QueuedConnection);

    QTimer tick;
    tick.start(TickMs);
    QElapsedTimer running, silent;
    running.start();
    silent.start();
    int answers = line->watch.answers();
    bool told = false, cut = false;
    while (!state->done()) {
        if (line->watch.answers() != answers) {
            answers = line->watch.answers();
            silent.restart();
        }
        if (!told && m_notice && running.elapsed() >= NoticeMs) {
            told = true;
            m_notice(true);
        }
        if (!cut && silent.elapsed() >= boundMs) {
            // Whatever the call waits for now, it ends at once; the next
            // call connects anew.
            cut = true;
            line->watch.cut();
            silent.restart();
        }
        if (cut && silent.elapsed() >= GraceMs)
            break;
        state->wait();
    }
    state->leave();
    if (told)
        m_notice(false);
    if (!state->done() && m_line.get() == line)
        m_abandoned.push_back(std::move(m_line));
    return !cut;
}

QString ServerRecordStore::silence(const QString &what) const
{
    return QStringLiteral("The record server %1 stopped answering for %2 seconds, %3")
        .arg(m_location)
        .arg(m_silentMs / 1000)
        .arg(what);
}

RecordStore::Outcome ServerRecordStore::save(const PanelSettings &settings, SaveMode mode, QString *error)
{
    auto answer = std::make_shared<Answer>();
    const PostgresRecordStore *used = nullptr;
    const bool answered = run([answer, settings, mode](PostgresRecordStore &store) {
        answer->outcome = store.save(settings, mode, &answer->error);
    }, m_silentMs, &used);
    if (answered && answer->outcome != Outcome::Failed)
        return answer->outcome;
    if (!used->writeSent())
        return failed(error, answered ? answer->error : silence(QStringLiteral("nothing was saved: try again!")));
    // The write and its COMMIT went out and no answer came: a new
    // connection tells whether the server made it.
    const Outcome meant = used->writeMeant();
    auto stored = std::make_shared<Answer>();
    const QString number = settings.TxtAni;
    const bool readBack = run([stored, number](PostgresRecordStore &store) {
        stored->outcome = store.find(Key::Number, number, &stored->settings, &stored->error);
    }, ReadBackMs);
    const QString lost = answered ? QStringLiteral("The connection to the record server %1 was lost while the record "
                                                   "was saved")
                                        .arg(m_location)
                                  : QStringLiteral("The record server %1 stopped answering while the record was saved")
                                        .arg(m_location);
    if (readBack && stored->outcome == Outcome::Found && stored->settings == settings)
        return meant;
    if (readBack && stored->outcome != Outcome::Failed)
        return failed(error, lost + QStringLiteral(", it was not saved: try again!"));
    return failed(error, lost + QStringLiteral(": open the record to see whether it was!"));
}

RecordStore::Outcome ServerRecordStore::remove(const QString &number, QString *error)
{
    auto answer = std::make_shared<Answer>();
    const PostgresRecordStore *used = nullptr;
    if (run([answer, number](PostgresRecordStore &store) {
            answer->outcome = store.remove(number, &answer->error);
        }, m_silentMs, &used)) {
        if (answer->outcome == Outcome::Failed)
            report(error, answer->error);
        return answer->outcome;
    }
    return failed(error, used->writeSent() ? QStringLiteral("The record server %1 stopped answering while the record "
                                                            "was deleted: open the record to see whether it was!")
                                                 .arg(m_location)
                                           : silence(QStringLiteral("nothing was deleted: try again!")));
}

RecordStore::Outcome ServerRecordStore::find(Key by, const QString &key, PanelSettings *settings, QString *error)
{
    auto answer = std::make_shared<Answer>();
    if (!run([answer, by, key](PostgresRecordStore &store) {
            answer->outcome = store.find(by, key, &answer->settings, &answer->error);
        }, m_silentMs))
        return failed(error, silence(QStringLiteral("nothing was read: try again!")));
    if (answer->outcome == Outcome::Found && settings)
        *settings = answer->settings;
    if (answer->outcome == Outcome::Failed)
        report(error, answer->error);
    return answer->outcome;
}

bool ServerRecordStore::listKeys(Keys *keys, QString *error)
{
    *keys = Keys{};
    auto answer = std::make_shared<Answer>();
    if (!run([answer](PostgresRecordStore &store) { answer->ok = store.listKeys(&answer->keys, &answer->error); },
             m_silentMs))
        return report(error, silence(QStringLiteral("nothing was read: try again!")));
    *keys = answer->keys;
    return answer->ok || report(error, answer->error);
}

bool ServerRecordStore::readAll(QList<PanelSettings> *rows, QString *error)
{
    rows->clear();
    auto answer = std::make_shared<Answer>();
    if (!run([answer](PostgresRecordStore &store) { answer->ok = store.readAll(&answer->rows, &answer->error); },
             m_silentMs))
        return report(error, silence(QStringLiteral("nothing was read: try again!")));
    *rows = answer->rows;
    return answer->ok || report(error, answer->error);
}

bool ServerRecordStore::addAll(const QList<PanelSettings> &records, bool keepGoing, QList<Outcome> *outcomes,
                               QStringList *reasons, QString *error)
{
    outcomes->clear();
    reasons->clear();
    auto answer = std::make_shared<Answer>();
    if (!run([answer, records, keepGoing](PostgresRecordStore &store) {
            answer->ok = store.addAll(records, keepGoing, &answer->outcomes, &answer->reasons, &answer->error);
        }, m_silentMs))
        return report(error, silence(QStringLiteral("nothing was written: try again!")));
    *outcomes = answer->outcomes;
    *reasons = answer->reasons;
    return answer->ok || report(error, answer->error);
}

bool ServerRecordStore::addHistory(QList<HistoryEntry> *entries, QString *error)
{
    auto answer = std::make_shared<Answer>();
    answer->history = *entries;
    const PostgresRecordStore *used = nullptr;
    if (!run([answer](PostgresRecordStore &store) { answer->ok = store.addHistory(&answer->history, &answer->error); },
             m_silentMs, &used))
        return report(error, silence(QStringLiteral("the history entry may not have been written!")));
    *entries = answer->history;
    return answer->ok || report(error, answer->error);
}

bool ServerRecordStore::readHistory(const HistoryQuery &query, QList<HistoryEntry> *entries, QString *error)
{
    entries->clear();
    auto answer = std::make_shared<Answer>();
    if (!run([answer, query](PostgresRecordStore &store) {
            answer->ok = store.readHistory(query, &answer->history, &answer->error);
        }, m_silentMs))
        return report(error, silence(QStringLiteral("nothing was read: try again!")));
    *entries = answer->history;
    return answer->ok || report(error, answer->error);
}
