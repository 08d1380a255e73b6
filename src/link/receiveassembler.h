#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Collects the panel's bytes into replies. A reply is complete when the
// bytes 0D 0A have arrived; it is handed out as frame text, terminator
// included, together with any stray bytes that stood in front of it.
// Bytes after a terminator start the next reply.
class ReceiveAssembler
{
public:
    // Unterminated bytes kept at most; the oldest are dropped beyond it.
    static constexpr int MaxPendingBytes = 4096;

    // Appends bytes and returns every reply they complete, in order.
    QStringList feed(const QByteArray &bytes);

    // The received bytes not yet part of a complete reply, as frame text.
    QString pendingText() const;
    int pendingBytes() const { return m_pending.size(); }
    void clear();

private:
    QByteArray m_pending;
    int m_scanned = 0; // bytes of m_pending already searched for 0D 0A
};
