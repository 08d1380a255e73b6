#include "replydispatch.h"

#include "panelframes.h"
#include "transferprogress.h"

namespace {

bool startsWith(QStringView reply, const char *code)
{
    return reply.startsWith(QLatin1String(code));
}

ReplyMatch matchCodeAtStart(QStringView reply)
{
    using namespace PanelFrames;
    if (startsWith(reply, DataError))
        return {ReplyKind::DataError, 0};
    if (startsWith(reply, PanelAnswer))
        return {ReplyKind::PanelAnswer, 0};
    if (startsWith(reply, PasswordAccepted))
        return {ReplyKind::PasswordAccepted, 0};
    if (startsWith(reply, PasswordRefused))
        return {ReplyKind::PasswordRefused, 0};
    for (int n = 0; n < 6; ++n) {
        if (startsWith(reply, ReceivingNumberReply[n]))
            return {ReplyKind::ReceivingNumber, n + 1};
    }
    for (int n = 0; n < 3; ++n) {
        if (startsWith(reply, GsmNumberReply[n]))
            return {ReplyKind::GsmNumber, n + 1};
    }
    if (startsWith(reply, PasswordRelaysReply))
        return {ReplyKind::PasswordRelays, 0};
    if (startsWith(reply, ReminderReply))
        return {ReplyKind::Reminder, 0};
    if (startsWith(reply, IgnoredReply))
        return {ReplyKind::Ignored, 0};
    return {};
}

} // namespace

ReplyMatch MatchReply(const QString &reply)
{
    for (int start = 0; start < reply.size(); start += 2) {
        ReplyMatch match = matchCodeAtStart(QStringView(reply).mid(start));
        if (match.kind != ReplyKind::Unknown) {
            match.start = start;
            return match;
        }
    }
    return {};
}

ReplyDispatch::ReplyDispatch(TransferProgress *progress, QObject *parent)
    : QObject(parent)
    , m_progress(progress)
{
}

void ReplyDispatch::setDiversion(std::function<void(const QString &)> consumer)
{
    m_diversion = std::move(consumer);
}

void ReplyDispatch::deliver(const QString &reply)
{
    if (m_diversion) {
        // A copy: the consumer may end the diversion while it runs.
        const auto consumer = m_diversion;
        consumer(reply);
    } else if (ZoneTextMode == 1) {
        emit zoneTextReceived(reply);
    } else {
        DispatchReply(reply);
    }
}

void ReplyDispatch::DispatchReply(const QString &text)
{
    const ReplyMatch match = MatchReply(text);
    // Actions read their fields at fixed positions from the code on.
    const QString reply = text.mid(match.start);
    switch (match.kind) {
    case ReplyKind::DataError:
        m_progress->stop();
        emit dataError();
        break;
    case ReplyKind::PanelAnswer:
        PanelFound = 1;
        break;
    case ReplyKind::PasswordAccepted:
        emit passwordAccepted(reply);
        break;
    case ReplyKind::PasswordRefused:
        emit passwordRefused(reply);
        break;
    case ReplyKind::ReceivingNumber:
        emit receivingNumberReply(match.index, reply);
        break;
    case ReplyKind::GsmNumber:
        emit gsmNumberReply(match.index, reply);
        break;
    case ReplyKind::PasswordRelays:
        emit passwordRelaysReply(reply);
        break;
    case ReplyKind::Reminder:
        emit reminderReply(reply);
        break;
    case ReplyKind::Ignored:
    case ReplyKind::Unknown:
        break;
    }
}
