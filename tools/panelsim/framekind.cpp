#include "framekind.h"

#include "panelcommands.h"

using namespace PanelCommands;

namespace {

bool isFlagPair(quint8 byte)
{
    return (byte >> 4) <= 1 && (byte & 0x0F) <= 1;
}

bool looksLikeReminder(const QByteArray &frame)
{
    if (frame.size() != PanelCommands::ReminderFrameBytes)
        return false;
    for (int i = 3; i <= 8; ++i) {
        if (!isFlagPair(quint8(frame.at(i))))
            return false;
    }
    return quint8(frame.at(9)) <= 1;
}

ClassifiedFrame request(const QByteArray &frame)
{
    if (frame.size() != RequestFrameBytes)
        return {};
    const int argument = quint8(frame.at(2));
    if (argument == DetectArgument)
        return {FrameKind::Detection};
    if (argument == UploadArgument)
        return {FrameKind::UploadRequest};
    if (argument >= 1 && argument <= ZoneCount)
        return {FrameKind::ZoneUpload, argument - 1};
    return {};
}

} // namespace

ClassifiedFrame classifyFrame(const QByteArray &frame)
{
    if (frame.size() < 2 || quint8(frame.at(0)) != FrameStart)
        return {};
    const int command = quint8(frame.at(1));
    if (command == RequestCommand)
        return request(frame);
    if (command == PasswordCommand) {
        if (frame.size() >= PasswordHeaderBytes && quint8(frame.at(2)) == PasswordArgument)
            return {FrameKind::Password};
        return {};
    }
    if (command >= FirstReceivingNumber && command <= LastReceivingNumber)
        return {FrameKind::ReceivingNumber, command - FirstReceivingNumber};
    if (command >= FirstGsmNumber && command <= LastGsmNumber)
        return {FrameKind::GsmNumber, command - FirstGsmNumber};
    if (command == PasswordRelays)
        return {FrameKind::PasswordRelays};
    if (command == Reminder && looksLikeReminder(frame))
        return {FrameKind::Reminder};
    if (command >= FirstZoneMessage && command <= LastZoneMessage)
        return {FrameKind::ZoneMessage, command - FirstZoneMessage};
    return {};
}
