#include "replydispatch.h"

#include "panelframes.h"
#include "transferprogress.h"

namespace {

bool startsWith(const QString &reply, const char *code)
{
    return reply.startsWith(QLatin1String(code));
}

} // namespace

ReplyMatch MatchReply(const QString &reply)
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

ReplyDispatch::ReplyDispatch(TransferProgress *progress, QObject *parent)
    : QObject(parent)
    , m_progress(progress)
{
}

void ReplyDispatch::deliver(const QString &reply)
{
    if (ZoneTextMode == 1)
        emit zoneTextReceived(reply);
    else
        DispatchReply(reply);
}

void ReplyDispatch::DispatchReply(const QString &reply)
{
    const ReplyMatch match = MatchReply(reply);
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
