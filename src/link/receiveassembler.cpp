#include "receiveassembler.h"

#include "frametext.h"

QStringList ReceiveAssembler::feed(const QByteArray &bytes)
{
    QStringList replies;
    m_pending.append(bytes);
    // Only the new bytes are searched; one byte back in case the 0D of the
    // terminator ended the previous piece.
    int from = qMax(0, m_scanned - 1);
    int consumed = 0;
    for (;;) {
        const int at = m_pending.indexOf("\r\n", from);
        if (at < 0)
            break;
        const int end = at + 2;
        replies.append(FrameText::fromBytes(m_pending.mid(consumed, end - consumed)));
        consumed = end;
        from = end;
    }
    if (consumed > 0)
        m_pending.remove(0, consumed);
    if (m_pending.size() > MaxPendingBytes)
        m_pending.remove(0, m_pending.size() - MaxPendingBytes);
    m_scanned = m_pending.size();
    return replies;
}

QString ReceiveAssembler::pendingText() const
{
    return FrameText::fromBytes(m_pending);
}

void ReceiveAssembler::clear()
{
    m_pending.clear();
    m_scanned = 0;
}
