#include "replymatch.h"

#include "frametext.h"
#include "panelframes.h"

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
    // Matched where the code begins past line noise, never further in: a
    // reply with an unknown code may carry bytes that look like another.
    const int start = FrameText::replyStart(reply);
    ReplyMatch match = matchCodeAtStart(QStringView(reply).mid(start));
    if (match.kind != ReplyKind::Unknown)
        match.start = start;
    return match;
}
