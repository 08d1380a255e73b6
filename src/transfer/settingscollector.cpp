#include "settingscollector.h"

#include "settingstransfer.h"

SettingsCollector::SettingsCollector(QObject *parent)
    : QObject(parent)
{
    m_wait.setSingleShot(true);
    m_wait.setInterval(ReplyWaitMs);
    connect(&m_wait, &QTimer::timeout, this, [this] { finish(End::TimedOut); });
}

void SettingsCollector::start()
{
    m_reading = PanelReading{};
    m_gathering = true;
    m_wait.start();
}

void SettingsCollector::cancel()
{
    if (m_gathering)
        finish(End::Cancelled);
}

void SettingsCollector::take(const QString &text)
{
    if (!m_gathering)
        return;
    m_wait.start(); // the panel is still talking
    const ReplyMatch match = MatchReply(text);
    if (match.kind == ReplyKind::DataError)
        return finish(End::DataError);
    if (DecodeSettingsReply(match, text, m_reading) == SettingsGroups::Reminder)
        finish(End::Complete); // the panel's last reply
}

void SettingsCollector::finish(End end)
{
    m_wait.stop();
    m_gathering = false;
    emit finished(end);
}
