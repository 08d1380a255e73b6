#include "framesplitter.h"

#include "panelcommands.h"

using namespace PanelCommands;

int FrameSplitter::expectedLength(const QByteArray &head)
{
    if (head.size() < 2)
        return -1;
    const int command = quint8(head.at(1));
    if (command == RequestCommand)
        return RequestFrameBytes;
    if (command >= FirstReceivingNumber && command <= LastReceivingNumber)
        return PanelCommands::ReceivingNumberFrameBytes;
    if (command >= FirstGsmNumber && command <= LastGsmNumber)
        return PanelCommands::GsmNumberFrameBytes;
    if (command == PasswordRelays)
        return PanelCommands::PasswordRelaysFrameBytes;
    return 0;
}

QList<QByteArray> FrameSplitter::feed(const QByteArray &bytes)
{
    QList<QByteArray> frames;
    for (const char byte : bytes) {
        if (m_open.isEmpty() && quint8(byte) != FrameStart)
            continue;
        m_open.append(byte);
        const int length = expectedLength(m_open);
        if ((length > 0 && m_open.size() == length) || m_open.size() == MaxFrameBytes) {
            frames.append(m_open);
            m_open.clear();
        }
    }
    return frames;
}

QByteArray FrameSplitter::lineQuiet()
{
    QByteArray frame;
    frame.swap(m_open);
    return frame;
}
