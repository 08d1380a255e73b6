#include "panelresponder.h"

#include "frametext.h"
#include "panelcommands.h"
#include "settingsframes.h"
#include "uploadreplies.h"

namespace {

QByteArray bytesOf(const QString &frameText)
{
    QByteArray bytes;
    QString error;
    FrameText::toBytes(frameText, &bytes, &error);
    return bytes;
}

QByteArray reply(const char *code)
{
    return bytesOf(QLatin1String(code) + QLatin1String(PanelAnswers::Terminator));
}

} // namespace

PanelResponder::PanelResponder(const QByteArray &accessPassword, bool refuseSettings, int refuseCommand)
    : m_accessPassword(accessPassword)
    , m_refuseSettings(refuseSettings)
    , m_refuseCommand(refuseCommand)
{
}

PanelResponder::Response PanelResponder::respond(const QByteArray &frame, PanelState *state) const
{
    const ClassifiedFrame classified = classifyFrame(frame);
    const bool refused = classified.kind != FrameKind::Unknown && quint8(frame.at(1)) == m_refuseCommand;
    Response response;
    response.kind = classified.kind;
    switch (classified.kind) {
    case FrameKind::Detection:
        response.replies << reply(PanelAnswers::Present);
        break;
    case FrameKind::Password: {
        const bool right = frame.mid(PanelCommands::PasswordHeaderBytes) == m_accessPassword;
        response.replies << reply(right ? PanelAnswers::PasswordRight : PanelAnswers::PasswordWrong);
        break;
    }
    case FrameKind::UploadRequest:
        for (const QString &text : UploadReplies::settings(*state))
            response.replies << bytesOf(text);
        break;
    case FrameKind::ZoneUpload:
        response.replies << bytesOf(UploadReplies::zoneText(*state, classified.index));
        break;
    case FrameKind::ZoneMessage:
        response.stateChanged = !refused && SettingsFrames::storeZoneMessage(classified.index, frame, state);
        if (!response.stateChanged)
            response.replies << reply(PanelAnswers::Refused);
        break;
    case FrameKind::ReceivingNumber:
    case FrameKind::GsmNumber:
    case FrameKind::PasswordRelays:
    case FrameKind::Reminder:
        response.stateChanged = !m_refuseSettings && !refused && SettingsFrames::store(classified, frame, state);
        if (!response.stateChanged)
            response.replies << reply(PanelAnswers::Refused);
        break;
    case FrameKind::Unknown:
        break;
    }
    return response;
}
