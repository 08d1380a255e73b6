#pragma once

#include <QByteArray>
#include <QList>

// Cuts the program's byte stream into frames. Frames carry no length and
// no terminator, so a frame ends either when the length its command
// implies has arrived, or, for the frames whose length varies (password,
// zone messages and FF 0C, whose command byte is shared by the reminder
// settings and zone 1's message), when the line goes quiet. The caller
// keeps the clock: it calls lineQuiet() once no byte has come for the gap.
// Bytes that do not start with FF while no frame is open are skipped.
class FrameSplitter
{
public:
    // No frame is longer than a zone message of 255 characters; a frame
    // still open at this size is handed out as it stands.
    static constexpr int MaxFrameBytes = 3 + 255;

    // Length of a frame from its first bytes: the byte count, 0 when the
    // quiet gap ends it, -1 while the command byte has not arrived.
    static int expectedLength(const QByteArray &head);

    // Appends bytes; returns the frames they complete by length, in order.
    QList<QByteArray> feed(const QByteArray &bytes);
    // Ends the open frame (empty when none), whatever its length.
    QByteArray lineQuiet();
    bool hasOpenFrame() const { return !m_open.isEmpty(); }

private:
    QByteArray m_open;
};
