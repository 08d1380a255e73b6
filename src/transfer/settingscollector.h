#pragma once

#include "settingscomparison.h"

#include <QObject>
#include <QTimer>

// Gathers the panel's answers to one upload request ("FF0000") into a
// PanelReading, with the upload's decoders, and writes nothing anywhere
// else: the window's controls stay as they are. It is fed complete replies
// (take) and ends on the last reply "FF5B", on "FF5000", when no reply has
// come for ReplyWaitMs (after start or after the reply before), or when
// cancelled. Replies other than the settings replies are dropped.
class SettingsCollector : public QObject
{
    Q_OBJECT
public:
    enum class End {
        Complete,  // "FF5B" came (groups before it may still be missing)
        TimedOut,  // the panel went quiet before "FF5B"
        DataError, // the panel answered "FF5000"
        Cancelled, // cancel(): another operation needs the replies
    };
    Q_ENUM(End)

    static constexpr int ReplyWaitMs = 3000;

    explicit SettingsCollector(QObject *parent = nullptr);
    void setReplyWaitMs(int ms) { m_wait.setInterval(ms); }

    // Starts over with nothing received.
    void start();
    bool isGathering() const { return m_gathering; }
    // One complete reply, as the link hands it out. Ignored when not gathering.
    void take(const QString &reply);
    // Ends a gathering now (nothing happens when none runs).
    void cancel();

    // What has come so far; kept after the end until the next start.
    const PanelReading &reading() const { return m_reading; }

signals:
    void finished(SettingsCollector::End end);

private:
    void finish(End end);

    QTimer m_wait;
    PanelReading m_reading;
    bool m_gathering = false;
};
